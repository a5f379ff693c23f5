#include "reports/StarterLabels.h"

#include <QFile>
#include <cstdio>

// Writes the template catalogue's script of starter label templates to the file named.
int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s output.sql\n", argv[0]);
        return 2;
    }
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || out.write(StarterLabels::insertScript().toUtf8()) < 0 || !out.flush()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
