#pragma once

// What the benchmarks that write a disk's entries share: their output, and a fresh catalogue
// with its starting folder holding one empty disk.

#include "tests/support/TestCatalogue.h"

#include <QString>
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
