// The search over a large catalogue with the local index: by default 10,000,000 content
// entries on 10,000 disks, names from a vocabulary of English and Russian words.
//
// For a common, a rare and a one-letter file text prints the first screen and the last row
// with the index and by the server's FIND, and grep -c -i over a flat file of the same names,
// as ratios in one run (first screens as medians of several runs); then the index's build
// time, size on disk, load time and memory.
//
// Usage: bench_index [entries] [--all-last-rows] [--keep]
//   entries          content entries to generate (default 10000000; 1000 per disk)
//   --all-last-rows  also the last row of texts with more than 200,000 matches (long)
//   --keep           keep the generated catalogue in the temporary folder and use it again
//                    in later runs of the same size (generating 10,000,000 takes long)

#include "bench/BenchCatalogue.h"
#include "bench/BenchDisk.h"
#include "searchindex/ContentIndex.h"
#include "searchindex/IndexedFind.h"
#include "store/Connection.h"
#include "store/Statement.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <vector>

namespace {

using BenchDisk::die;
using BenchDisk::say;

using BenchCatalogue::kEntriesPerDisk;
constexpr int kScreen = 40;
constexpr int kFullLimit = 200000;
// Runs whose first screens give the median printed.
constexpr int kScreenRuns = 9;
// New sessions whose first searches give the medians printed.
constexpr int kSessionRuns = 5;

// A field of /proc/self/status in kB: VmRSS now, VmHWM the highest so far.
qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// The index's own reads end the transaction they started, as the program's data objects do.
void inTransaction(Connection &db)
{
    if (!db.transaction().isActive())
        db.transaction().start();
}

struct Times
{
    double firstScreen = -1;
    double lastRow = -1;
    qint64 rows = 0;
};

// Rows of FIND as the search window reads them: every column of each row.
Times byFind(Connection &db, const QString &text, bool toTheEnd)
{
    Times t;
    QElapsedTimer clock;
    clock.start();
    inTransaction(db);
    Statement s(db);
    s.prepare(QStringLiteral("select * from FIND(:VCONTENT, '')"));
    s.setParam(QStringLiteral("VCONTENT"), text);
    s.execute();
    while (s.fetch()) {
        for (int c = 0; c < s.columnCount(); ++c)
            s.value(c);
        if (++t.rows == kScreen)
            t.firstScreen = clock.nsecsElapsed() / 1e6;
        if (!toTheEnd && t.rows >= kScreen)
            break;
    }
    if (t.firstScreen < 0)
        t.firstScreen = clock.nsecsElapsed() / 1e6;
    if (toTheEnd)
        t.lastRow = clock.nsecsElapsed() / 1e6;
    s.closeCursor();
    return t;
}

// The same through the index, including the check that it is current.
Times byIndex(Connection &db, ContentIndex &index, DiskOrder &disks, const QString &text,
              bool toTheEnd)
{
    Times t;
    QElapsedTimer clock;
    clock.start();
    if (index.update(db, 20000) == ContentIndex::Update::Foreign)
        die(QStringLiteral("the index does not belong to the catalogue"));
    inTransaction(db);
    IndexedFind find(db, index, disks, text, QString());
    std::vector<QVariant> row;
    while (find.next(row)) {
        if (++t.rows == kScreen)
            t.firstScreen = clock.nsecsElapsed() / 1e6;
        if (!toTheEnd && t.rows >= kScreen)
            break;
    }
    if (t.firstScreen < 0)
        t.firstScreen = clock.nsecsElapsed() / 1e6;
    if (toTheEnd)
        t.lastRow = clock.nsecsElapsed() / 1e6;
    return t;
}

struct Grep
{
    double ms = 0;
    qint64 count = 0;
};

Grep grepCount(const QString &file, const QString &text)
{
    QProcess grep;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    grep.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    grep.start(QStringLiteral("grep"), {QStringLiteral("-c"), QStringLiteral("-i"), text, file});
    grep.waitForFinished(-1);
    Grep g;
    g.ms = clock.nsecsElapsed() / 1e6;
    g.count = grep.readAllStandardOutput().trimmed().toLongLong();
    return g;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QString ms(double v)
{
    return v < 0 ? QStringLiteral("-") : QString::number(v, 'f', v < 10 ? 1 : 0) + " ms";
}

QString ratio(double a, double b)
{
    return a < 0 || b <= 0 ? QStringLiteral("-") : QString::number(a / b, 'f', 2) + "x";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qint64 entries = 10000000;
    bool allLastRows = false;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--all-last-rows"))
            allLastRows = true;
        else if (arg == QLatin1String("--keep"))
            keep = true;
        else if (arg.toLongLong() > 0)
            entries = arg.toLongLong();
        else
            die(QStringLiteral("usage: bench_index [entries] [--all-last-rows] [--keep]"));
    }
    const int disks = int(std::max<qint64>(1, entries / kEntriesPerDisk));

    // A kept catalogue is named after its size; it is moved there only once complete.
    const QString kept
        = QDir::temp().filePath(QStringLiteral("kodra-bench-index-%1.gdb").arg(disks));
    const bool reuse = keep && QFileInfo::exists(kept);
    std::unique_ptr<TestCatalogue> cat;
    QElapsedTimer building;
    building.start();
    QString path = kept;
    if (!reuse) {
        cat = std::make_unique<TestCatalogue>();
        if (!cat->isValid())
            die(cat->error());
        path = cat->path();
        BenchCatalogue::build(*cat, disks);
        if (keep) {
            if (!QFile::rename(path, kept) && !QFile::copy(path, kept))
                die(QStringLiteral("the catalogue was not kept as %1").arg(kept));
            path = kept;
        }
    }
    auto db = std::make_unique<Connection>();
    db->setDatabaseName(path);
    db->setParams(TestCatalogue::params());
    db->open();
    db->transaction().start();
    const qint64 stored = [&] {
        Statement s(*db);
        s.prepare(QStringLiteral("select count(*) from TCONTENT"));
        s.execute();
        s.fetch();
        return s.value(0).toLongLong();
    }();
    say(QStringLiteral("catalogue: %1 disks, %2 content entries, %3 in %4 s")
            .arg(disks)
            .arg(stored)
            .arg(reuse ? QStringLiteral("kept from an earlier run (%1)").arg(kept)
                       : QStringLiteral("generated"))
            .arg(building.elapsed() / 1000.0, 0, 'f', 1));

    // The flat file grep reads: every name, one a line.
    QTemporaryDir dir;
    const QString flat = dir.filePath(QStringLiteral("names.txt"));
    if (!BenchCatalogue::writeNames(*db, flat))
        die(QStringLiteral("cannot write ") + flat);

    const qint64 rssBefore = statusKb("VmRSS:");
    const qint64 peakBefore = statusKb("VmHWM:");
    QElapsedTimer indexing;
    indexing.start();
    const QString folder = dir.filePath(QStringLiteral("index"));
    {
        ContentIndex fresh(folder);
        fresh.build(*db);
        if (!fresh.isBuilt())
            die(QStringLiteral("the index was not built"));
    }
    const double buildMs = indexing.nsecsElapsed() / 1e6;
    const qint64 peakAfter = statusKb("VmHWM:");
    const qint64 rssBuilt = statusKb("VmRSS:");
    ContentIndex index(folder);
    QElapsedTimer loading;
    loading.start();
    if (!index.load())
        die(QStringLiteral("the index did not load"));
    const double loadMs = loading.nsecsElapsed() / 1e6;
    const qint64 namesBytes = QFileInfo(flat).size();
    // The first search of a session reads the disks in FIND's order: from the server when
    // nothing is kept (today's first session, or disks changed since), else from the order kept
    // beside the index by an earlier session. Each new DiskOrder is a new session; the runs
    // alternate so that both find the caches alike.
    const QString firstText = QLocale().toUpper(QStringLiteral("mp3"));
    std::vector<double> fromServer;
    std::vector<double> fromFile;
    std::vector<double> refreshServer;
    std::vector<double> refreshFile;
    for (int r = 0; r < kSessionRuns; ++r) {
        for (const bool useFile : {false, true}) {
            if (!useFile)
                QFile::remove(QDir(folder).filePath(DiskOrder::fileName()));
            DiskOrder session;
            session.setFolder(folder);
            {
                // The reading of the disks alone, in a session of its own.
                DiskOrder alone;
                alone.setFolder(folder);
                if (!useFile)
                    QFile::remove(QDir(folder).filePath(DiskOrder::fileName()));
                inTransaction(*db);
                QElapsedTimer t;
                t.start();
                alone.refresh(*db);
                const double took = t.nsecsElapsed() / 1e6;
                const auto want = useFile ? DiskOrder::Source::File : DiskOrder::Source::Server;
                if (alone.lastSource() != want)
                    die(QStringLiteral("the disks' order was not read as meant"));
                (useFile ? refreshFile : refreshServer).push_back(took);
                if (!useFile)
                    QFile::remove(QDir(folder).filePath(DiskOrder::fileName()));
            }
            const Times first = byIndex(*db, index, session, firstText, false);
            (useFile ? fromFile : fromServer).push_back(first.firstScreen);
        }
    }
    say(QStringLiteral("first search of a session ('mp3', first screen): %1 with the disks' "
                       "order kept beside the index, %2 reading it from the server (%3); the "
                       "order alone %4 from the file, %5 from the server; medians of %6 "
                       "alternating runs; goal <= 100 ms")
            .arg(ms(median(fromFile)), ms(median(fromServer)),
                 ratio(median(fromFile), median(fromServer)), ms(median(refreshFile)),
                 ms(median(refreshServer)))
            .arg(kSessionRuns));
    // The disks in FIND's order, read by the first search and kept while they do not change.
    DiskOrder order;
    order.setFolder(folder);

    struct Case
    {
        const char *kind;
        QString text;
    };
    for (const Case &c :
         {Case {"common", QStringLiteral("mp3")}, Case {"rare", QStringLiteral("zanzibar")},
          Case {"one-letter", QStringLiteral("ё")}}) {
        const QString upper = QLocale().toUpper(c.text);
        const Grep g = grepCount(flat, c.text);
        const bool toTheEnd = allLastRows || g.count <= kFullLimit;
        // The index first, then FIND: each runs twice and the second run counts, so that both
        // read from a warm cache; the index's first run is the first search of a session,
        // which reads the disks' order.
        const Times cold = byIndex(*db, index, order, upper, toTheEnd);
        Times ix = byIndex(*db, index, order, upper, toTheEnd);
        byFind(*db, upper, false);
        Times fd = byFind(*db, upper, toTheEnd);
        // The first screens again: on a busy machine one run says little.
        std::vector<double> ixScreens {ix.firstScreen};
        std::vector<double> fdScreens {fd.firstScreen};
        for (int r = 1; r < kScreenRuns; ++r) {
            ixScreens.push_back(byIndex(*db, index, order, upper, false).firstScreen);
            fdScreens.push_back(byFind(*db, upper, false).firstScreen);
        }
        ix.firstScreen = median(ixScreens);
        fd.firstScreen = median(fdScreens);
        if (toTheEnd && ix.rows != fd.rows)
            die(QStringLiteral("%1: %2 rows by the index, %3 by FIND")
                    .arg(QLatin1String(c.kind))
                    .arg(ix.rows)
                    .arg(fd.rows));
        say(QStringLiteral("%1 text '%2': grep -c -i %3 names in %4; index first screen %5 "
                           "(%6 of grep, %7 of FIND's %8), last row %9 (%10 of grep, %11 of "
                           "FIND's %12; %13 rows); the first run's first screen %14; first screens "
                           "are medians "
                           "of %15 runs")
                .arg(QLatin1String(c.kind), c.text)
                .arg(g.count)
                .arg(ms(g.ms), ms(ix.firstScreen), ratio(ix.firstScreen, g.ms),
                     ratio(ix.firstScreen, fd.firstScreen), ms(fd.firstScreen))
                .arg(ms(ix.lastRow), ratio(ix.lastRow, g.ms), ratio(ix.lastRow, fd.lastRow),
                     ms(fd.lastRow))
                .arg(toTheEnd ? QString::number(ix.rows) : QStringLiteral("not read to the end"),
                     ms(cold.firstScreen))
                .arg(kScreenRuns));
    }
    say(QStringLiteral("index: built in %1 s, %2 MB on disk (names alone %3 MB, %4x), loaded "
                       "in %5; memory %6 MB resident after the searches (%7 MB before the "
                       "build, %8 MB after it; the build raised the peak from %9 to %10 MB)")
            .arg(buildMs / 1000, 0, 'f', 1)
            .arg(index.fileBytes() / 1e6, 0, 'f', 0)
            .arg(namesBytes / 1e6, 0, 'f', 0)
            .arg(double(index.fileBytes()) / double(namesBytes), 0, 'f', 2)
            .arg(ms(loadMs))
            .arg(statusKb("VmRSS:") / 1024.0, 0, 'f', 0)
            .arg(rssBefore / 1024.0, 0, 'f', 0)
            .arg(rssBuilt / 1024.0, 0, 'f', 0)
            .arg(peakBefore / 1024.0, 0, 'f', 0)
            .arg(peakAfter / 1024.0, 0, 'f', 0));
    say(QStringLiteral("goals: first screen < 300 ms for every text, last row of the rare text "
                       "< 500 ms"));
    db->close();
    return 0;
}
