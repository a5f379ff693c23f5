#include "cli/CliProgram.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    // The window program's names: the same settings file and search index cache.
    QCoreApplication::setApplicationName(QStringLiteral("Kodra"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KODRA_VERSION));
    QCoreApplication::setOrganizationName(QStringLiteral("Brenk"));
    QCoreApplication app(argc, argv);
    CliProgram program(QCoreApplication::arguments());
    return program.run();
}
