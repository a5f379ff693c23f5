#pragma once

// What the benchmarks share: their output, a best-of timer, and for those that write a disk's
// entries a fresh catalogue with its starting folder holding one empty disk.

#include "tests/support/TestCatalogue.h"

#include <QElapsedTimer>
#include <QString>
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

inline std::unique_ptr<TestCatalogue> freshCatalogue()
{
    auto cat = std::make_unique<TestCatalogue>();
    if (!cat->isValid())
        die(QStringLiteral("no catalogue: ") + cat->error());
    cat->exec({QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME) values "
                              "(%1, %2, 1, 'Bench disk')")
                   .arg(DiskId)
                   .arg(FolderId)});
    return cat;
}

} // namespace BenchDisk
