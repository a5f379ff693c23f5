// kodra-cli find as a whole process (start, open the catalogue, check the index, answer) on a
// large catalogue: by default 10,000,000 content entries, generated as bench_index makes them.
//
// Prints, as ratios in one run: the whole process for a rare name against grep -c -F over a
// flat file of the same names and against the server's FIND for the same text; the first 100
// rows of a common text against the same two; the process's peak memory. Where the time goes:
// the bare start (--version) and the start with the catalogue opened (folders). Times are
// medians of several runs, each a whole process started and waited for here.
//
// Usage: bench_cli [entries]

#include "bench/BenchCatalogue.h"
#include "bench/BenchDisk.h"
#include "searchindex/ContentIndex.h"
#include "searchindex/SearchIndex.h"
#include "store/Connection.h"
#include "store/Statement.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using BenchDisk::die;
using BenchDisk::say;

constexpr int kRuns = 9;
constexpr int kFirstRows = 100;

struct Process
{
    double ms = 0;
    int exitCode = -1;
};

// Where the programs' output goes: a file, not /dev/null, which grep takes as a sign that
// nobody reads its answer and stops at the first match.
QString &outputFile()
{
    static QString file;
    return file;
}

// Runs a program with its output to outputFile(), timing it from the spawn to its end.
Process spawnAndWait(const QStringList &args)
{
    std::vector<QByteArray> bytes;
    for (const QString &a : args)
        bytes.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray out = QFile::encodeName(outputFile());
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        die(QStringLiteral("cannot start %1").arg(args.first()));
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid)
        die(QStringLiteral("lost %1").arg(args.first()));
    Process p;
    p.ms = clock.nsecsElapsed() / 1e6;
    p.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return p;
}

double medianMs(const QStringList &args, int expectedExit)
{
    std::vector<double> times;
    for (int r = 0; r < kRuns; ++r) {
        const Process p = spawnAndWait(args);
        if (p.exitCode != expectedExit)
            die(QStringLiteral("%1 ended with %2")
                    .arg(args.join(QLatin1Char(' ')))
                    .arg(p.exitCode));
        times.push_back(p.ms);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The peak resident memory of a run in MB, as GNU time reports it: a process started from
// this large one would count this one's memory as its own (the peak is kept across exec).
QString peakMb(const QStringList &args, const QString &report)
{
    if (!QFile::exists(QStringLiteral("/usr/bin/time")))
        return QStringLiteral("- (no /usr/bin/time: package time)");
    const Process p
        = spawnAndWait(QStringList {QStringLiteral("/usr/bin/time"), QStringLiteral("-f"),
                                    QStringLiteral("%M"), QStringLiteral("-o"), report}
                       + args);
    QFile file(report);
    if (p.exitCode != 0 || !file.open(QIODevice::ReadOnly))
        return QStringLiteral("-");
    return QString::number(file.readAll().trimmed().toLongLong() / 1024.0, 'f', 0)
        + QStringLiteral(" MB");
}

// FIND's rows in this process, as the search window reads them; up to limit rows (0: all).
double findMs(Connection &db, const QString &text, int limit)
{
    std::vector<double> times;
    for (int r = 0; r < kRuns; ++r) {
        QElapsedTimer clock;
        clock.start();
        if (!db.transaction().isActive())
            db.transaction().start();
        Statement s(db);
        s.prepare(QStringLiteral("select * from FIND(:VCONTENT, '')"));
        s.setParam(QStringLiteral("VCONTENT"), text.toUpper());
        s.execute();
        int rows = 0;
        while (s.fetch()) {
            for (int c = 0; c < s.columnCount(); ++c)
                s.value(c);
            if (limit > 0 && ++rows >= limit)
                break;
        }
        s.closeCursor();
        db.transaction().commit();
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

QString ms(double v)
{
    return QString::number(v, 'f', v < 10 ? 1 : 0) + QStringLiteral(" ms");
}

QString ratio(double a, double b)
{
    return b <= 0 ? QStringLiteral("-") : QString::number(a / b, 'f', 2) + QStringLiteral("x");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qint64 entries = 10000000;
    if (argc > 2 || (argc == 2 && QString::fromLocal8Bit(argv[1]).toLongLong() <= 0))
        die(QStringLiteral("usage: bench_cli [entries]"));
    if (argc == 2)
        entries = QString::fromLocal8Bit(argv[1]).toLongLong();
    const int disks = int(std::max<qint64>(1, entries / BenchCatalogue::kEntriesPerDisk));
    const QString cli = QStringLiteral(KODRA_BINARY_DIR "/kodra-cli");
    if (!QFile::exists(cli))
        die(cli + QStringLiteral(" is not built"));

    TestCatalogue cat;
    if (!cat.isValid())
        die(cat.error());
    QElapsedTimer building;
    building.start();
    BenchCatalogue::build(cat, disks);
    QTemporaryDir dir;
    outputFile() = dir.filePath(QStringLiteral("output.txt"));
    const QString flat = dir.filePath(QStringLiteral("names.txt"));
    const QString rare = QStringLiteral("Zanzibar");
    const QString common = QStringLiteral("mp3");
    double findRare = 0;
    double findCommon = 0;
    {
        auto db = cat.connection();
        db->open();
        if (!BenchCatalogue::writeNames(*db, flat))
            die(QStringLiteral("cannot write ") + flat);
        db->transaction().commit();
        say(QStringLiteral("catalogue: %1 disks, %2 entries, generated in %3 s")
                .arg(disks)
                .arg(qint64(disks) * BenchCatalogue::kEntriesPerDisk)
                .arg(building.elapsed() / 1000.0, 0, 'f', 1));
        // The server's FIND, before the program holds the catalogue: the embedded engine lets
        // one process open it.
        findRare = findMs(*db, rare, 0);
        findCommon = findMs(*db, common, kFirstRows);
        db->close();
    }

    // The program's own settings and index cache.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("cache"))));
    const QStringList database {QStringLiteral("--database"), cat.path()};
    // The first search finds no index: FIND answers, the index is built before the program
    // ends.
    QElapsedTimer first;
    first.start();
    const Process cold
        = spawnAndWait(QStringList {cli, QStringLiteral("find"), rare, QStringLiteral("--format"),
                                    QStringLiteral("csv")}
                       + database);
    if (cold.exitCode != 0)
        die(QStringLiteral("the first find ended with %1").arg(cold.exitCode));
    say(QStringLiteral("first find (no index yet: FIND, then the index built): %1")
            .arg(ms(cold.ms)));

    const double version = medianMs({cli, QStringLiteral("--version")}, 0);
    // Started, connected, the version checked and one small query answered (no such folder).
    const double opened
        = medianMs(QStringList {cli, QStringLiteral("disks"), QStringLiteral("--folder"),
                                QStringLiteral("no such folder")}
                       + database,
                   1);
    // What a find adds before it searches: the index's files mapped and checked.
    double indexLoad = 0;
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Brenk"));
        QCoreApplication::setApplicationName(QStringLiteral("Kodra"));
        std::vector<double> times;
        for (int r = 0; r < kRuns; ++r) {
            ContentIndex index(SearchIndex::folderFor(cat.path()));
            QElapsedTimer clock;
            clock.start();
            if (!index.load())
                die(QStringLiteral("the program's index did not load here"));
            times.push_back(clock.nsecsElapsed() / 1e6);
        }
        std::sort(times.begin(), times.end());
        indexLoad = times[times.size() / 2];
    }
    const double cliRare = medianMs(QStringList {cli, QStringLiteral("find"), rare,
                                                 QStringLiteral("--format"), QStringLiteral("csv")}
                                        + database,
                                    0);
    const double cliCommon = medianMs(
        QStringList {cli, QStringLiteral("find"), common, QStringLiteral("--limit"),
                     QString::number(kFirstRows), QStringLiteral("--format"), QStringLiteral("csv")}
            + database,
        0);
    const double grepRare = medianMs(
        {QStringLiteral("grep"), QStringLiteral("-c"), QStringLiteral("-F"), rare, flat}, 0);
    const double grepCommon = medianMs(
        {QStringLiteral("grep"), QStringLiteral("-c"), QStringLiteral("-F"), common, flat}, 0);

    say(QStringLiteral("rare text '%1': kodra-cli find %2, %3 of grep -c -F (%4), %5 of FIND "
                       "(%6); goals 1.5x and 0.1x")
            .arg(rare, ms(cliRare), ratio(cliRare, grepRare), ms(grepRare),
                 ratio(cliRare, findRare), ms(findRare)));
    say(QStringLiteral("common text '%1', first %2 rows: kodra-cli find %3, %4 of grep -c -F "
                       "(%5), %6 of FIND's first %2 rows (%7); goals 1.5x and 0.1x")
            .arg(common)
            .arg(kFirstRows)
            .arg(ms(cliCommon), ratio(cliCommon, grepCommon), ms(grepCommon),
                 ratio(cliCommon, findCommon), ms(findCommon)));
    say(QStringLiteral(
            "where the time goes: start and end alone (--version) %1; started and "
            "the catalogue opened (one small query, no index) %2; the index loaded and checked "
            "(in this process) %3; the whole rare search %4")
            .arg(ms(version), ms(opened), ms(indexLoad), ms(cliRare)));
    const QString report = dir.filePath(QStringLiteral("time.txt"));
    say(QStringLiteral("peak memory of the process: rare %1, common first %2 rows %3, --version "
                       "%4")
            .arg(peakMb(QStringList {cli, QStringLiteral("find"), rare} + database, report))
            .arg(kFirstRows)
            .arg(peakMb(QStringList {cli, QStringLiteral("find"), common, QStringLiteral("--limit"),
                                     QString::number(kFirstRows)}
                            + database,
                        report),
                 peakMb({cli, QStringLiteral("--version")}, report)));
    say(QStringLiteral("times are medians of %1 runs; the names file is %2 MB")
            .arg(kRuns)
            .arg(QFileInfo(flat).size() / 1e6, 0, 'f', 0));
    return 0;
}
