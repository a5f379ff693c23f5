#pragma once

// What the benchmarks share: their output, a best-of timer, and for those that write a disk's
// entries a fresh catalogue with its starting folder holding one empty disk.

#include "tests/support/SignalCleanup.h"
#include "tests/support/TestCatalogue.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace BenchDisk {

// The folder every new catalogue starts with.
inline constexpr int FolderId = TestCatalogue::startFolderId;
inline constexpr int DiskId = 17;

inline void say(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

[[noreturn]] inline void die(const QString &text)
{
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, qPrintable(text));
    std::exit(1);
}

// The shortest of runs runs of f, in milliseconds.
template<typename F> double bestMs(int runs, F f)
{
    double best = 1e18;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

// The template restored with pages of pageSize bytes once per run (0: the template itself).
inline QString templateWithPages(int pageSize)
{
    if (pageSize == 0)
        return TestCatalogue::templatePath();
    static QTemporaryDir dir;
    SignalCleanup::addFolder(dir.path());
    const QString backup = dir.filePath(QStringLiteral("pages%1.fbk").arg(pageSize));
    if (QFile::exists(backup))
        return backup;
    const QString db = dir.filePath(QStringLiteral("pages.fdb"));
    QFile::remove(db);
    const QStringList user {QStringLiteral("-user"), QStringLiteral("KODRA")};
    if (!dir.isValid()
        || QProcess::execute(
               QStringLiteral("gbak"),
               QStringList {QStringLiteral("-c"), QStringLiteral("-p"), QString::number(pageSize)}
                   + user + QStringList {TestCatalogue::templatePath(), db})
            != 0
        || QProcess::execute(QStringLiteral("gbak"),
                             QStringList {QStringLiteral("-b")} + user + QStringList {db, backup})
            != 0)
        die(QStringLiteral("no template with pages of %1 bytes").arg(pageSize));
    QFile::remove(db);
    return backup;
}

inline std::unique_ptr<TestCatalogue> freshCatalogue(int pageSize = 0)
{
    auto cat = std::make_unique<TestCatalogue>(templateWithPages(pageSize));
    if (!cat->isValid())
        die(QStringLiteral("no catalogue: ") + cat->error());
    cat->exec({QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME) values "
                              "(%1, %2, 1, 'Bench disk')")
                   .arg(DiskId)
                   .arg(FolderId)});
    return cat;
}

} // namespace BenchDisk
