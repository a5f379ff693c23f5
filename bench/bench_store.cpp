// Data layer against the bare client library: the disk reader's entry writes, and opening a
// dataset over a large table.
//
// Usage: bench_store [entries] [write|read]   (defaults: 100000, both parts)

#include "app/Catalogue.h"
#include "bench/BenchDisk.h"
#include "store/DbError.h"
#include "store/FbApi.h"
#include "store/Statement.h"
#include "tests/support/SignalCleanup.h"
#include "tests/support/TestCatalogue.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

namespace {

constexpr int kFolderId = BenchDisk::FolderId;
constexpr int kDiskId = BenchDisk::DiskId;
using BenchDisk::die;
using BenchDisk::freshCatalogue;
using BenchDisk::say;
constexpr int kJulianDayOfIscEpoch = 2400001;

const char kInsertSql[]
    = "insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, FCONTENT, FSIZE, FDATE) "
      "values (:FCONTENTID, :FDISKID, :FOWNCONTENTID, :FTYPE, :FCONTENT, :FSIZE, :FDATE)";
const char kRawInsertSql[]
    = "insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, FCONTENT, FSIZE, FDATE) "
      "values (?, ?, ?, ?, ?, ?, ?)";

void check(const ISC_STATUS *status)
{
    DbError::check(status);
}

qint64 residentKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Wall time and the process's CPU time (the embedded engine runs in this process too); on a
// machine shared with other work the CPU figure is the steadier one.
class Stopwatch
{
public:
    Stopwatch()
    {
        m_wall.start();
        m_cpu = cpuNow();
    }
    double wallSeconds() const { return double(m_wall.nsecsElapsed()) / 1e9; }
    double cpuSeconds() const { return cpuNow() - m_cpu; }

private:
    static double cpuNow()
    {
        timespec ts {};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
    }
    QElapsedTimer m_wall;
    double m_cpu = 0;
};

struct Rate
{
    double wall = 0; // entries per second of wall time
    double cpu = 0; // entries per second of CPU time
};

Rate rateOf(size_t entries, const Stopwatch &watch)
{
    return {double(entries) / watch.wallSeconds(), double(entries) / watch.cpuSeconds()};
}

// One entry as the volume walk hands it over: parent is an index into the same list.
struct Entry
{
    int parent = -1;
    int type = 0;
    QString name;
    double size = 0;
    QDateTime date;
};

// A volume's tree, depth first as the reader walks it: a root entry, then each listing in
// order, a directory's contents right after the directory.
class TreeBuilder
{
public:
    explicit TreeBuilder(int count) : m_count(count) { }

    std::vector<Entry> build()
    {
        m_entries.reserve(size_t(m_count));
        add(-1, 2, QStringLiteral("/media/cdrom: BENCH, ID=1A2B3C4D"), 0);
        while (int(m_entries.size()) < m_count)
            walk(0, 0);
        return std::move(m_entries);
    }

private:
    int add(int parent, int type, const QString &name, double size)
    {
        Entry e;
        e.parent = parent;
        e.type = type;
        e.name = name;
        e.size = size;
        e.date = m_base.addSecs(qint64(m_rng() % (3 * 365 * 86400u)));
        m_entries.push_back(std::move(e));
        return int(m_entries.size()) - 1;
    }

    void walk(int dir, int depth)
    {
        const int files = 4 + int(m_rng() % 40);
        const int dirs = depth < 6 ? int(m_rng() % 6) : 0;
        const int total = files + dirs;
        for (int k = 0; k < total; ++k) {
            if (int(m_entries.size()) >= m_count)
                return;
            ++m_serial;
            // Directories come among the files, as a listing returns them.
            if (int(m_rng() % unsigned(total)) < dirs) {
                const int d = add(dir, 1, QStringLiteral("dir_%1").arg(m_serial), 0);
                walk(d, depth + 1);
            } else {
                add(dir, 0, QStringLiteral("file_%1.dat").arg(m_serial),
                    double(m_rng() % 50000000u));
            }
        }
    }

    int m_count;
    int m_serial = 0;
    std::minstd_rand m_rng {20240501};
    QDateTime m_base {QDate(2021, 3, 1), QTime(9, 0)};
    std::vector<Entry> m_entries;
};

void verifyWritten(const TestCatalogue &cat, const std::vector<Entry> &tree)
{
    const int rows
        = cat.scalar(
                 QStringLiteral("select count(*) from TCONTENT where FDISKID = %1").arg(kDiskId))
              .toInt();
    const int orphans
        = cat.scalar(QStringLiteral("select count(*) from TCONTENT c where c.FOWNCONTENTID is not "
                                    "null and not exists (select 1 from TCONTENT p where "
                                    "p.FCONTENTID = c.FOWNCONTENTID and p.FTYPE > 0)"))
              .toInt();
    if (rows != int(tree.size()) || orphans != 0)
        die(QStringLiteral("wrote %1 rows of %2, %3 without a directory parent")
                .arg(rows)
                .arg(tree.size())
                .arg(orphans));
}

// The data layer as the disk reader uses it: spNextID, then one executed insert per entry,
// commits held for the bulk.
Rate writeLayer(const std::vector<Entry> &tree)
{
    const auto cat = freshCatalogue();
    Catalogue data;
    cat->configure(data.DefDatabase());
    data.DefDatabase().open();
    data.DefDatabase().transaction().start();
    SqlStatement insert(data.DefDatabase(), QStringLiteral("dtContentInsert"));
    insert.setSql(QString::fromLatin1(kInsertSql));
    std::vector<int> ids(tree.size());

    const Stopwatch watch;
    {
        Transaction::CommitHold hold(data.DefDatabase().transaction());
        for (size_t i = 0; i < tree.size(); ++i) {
            const Entry &e = tree[i];
            data.spNextID().execute();
            ids[i] = data.spNextID().paramAsInteger(QStringLiteral("ID"));
            insert.setParam(QStringLiteral("FCONTENTID"), ids[i]);
            insert.setParam(QStringLiteral("FDISKID"), kDiskId);
            insert.setParam(QStringLiteral("FOWNCONTENTID"),
                            e.parent < 0 ? QVariant() : QVariant(ids[size_t(e.parent)]));
            insert.setParam(QStringLiteral("FTYPE"), e.type);
            insert.setParam(QStringLiteral("FCONTENT"), e.name);
            insert.setParam(QStringLiteral("FSIZE"), e.size);
            insert.setParam(QStringLiteral("FDATE"), e.date);
            insert.execute();
        }
    }
    const Rate rate = rateOf(tree.size(), watch);
    data.DefDatabase().close();
    verifyWritten(*cat, tree);
    return rate;
}

// Owns a DSQL statement handle of the raw side.
class RawStatement
{
public:
    explicit RawStatement(isc_db_handle *db) : m_db(db)
    {
        ISC_STATUS_ARRAY status;
        FbClient::api().isc_dsql_allocate_statement(status, m_db, &m_handle);
        check(status);
    }
    ~RawStatement()
    {
        if (m_handle && *m_db) {
            ISC_STATUS_ARRAY status;
            FbClient::api().isc_dsql_free_statement(status, &m_handle, DSQL_drop);
        }
    }
    RawStatement(const RawStatement &) = delete;
    RawStatement &operator=(const RawStatement &) = delete;
    isc_stmt_handle *handle() { return &m_handle; }

private:
    isc_db_handle *m_db;
    isc_stmt_handle m_handle = 0;
};

using Sqlda = std::unique_ptr<XSQLDA, void (*)(void *)>;

Sqlda allocSqlda(int vars)
{
    auto *da = static_cast<XSQLDA *>(std::calloc(1, XSQLDA_LENGTH(vars)));
    if (!da)
        throw std::bad_alloc();
    da->version = SQLDA_VERSION1;
    da->sqln = short(vars);
    return {da, std::free};
}

// The same writes on the bare client library: two prepared statements, typed buffers, one
// commit with retain a second. The layer's Connection only attaches and starts.
Rate writeRaw(const std::vector<Entry> &tree)
{
    const auto cat = freshCatalogue();
    Connection db;
    cat->configure(db);
    db.open();
    db.transaction().start();
    const FbApi &fb = FbClient::api();
    ISC_STATUS_ARRAY status;
    isc_tr_handle *tr = db.transaction().handle();

    RawStatement nextId(db.handle());
    Sqlda idOut = allocSqlda(1);
    fb.isc_dsql_prepare(status, tr, nextId.handle(), 0, "EXECUTE PROCEDURE GETNEXTID",
                        SQL_DIALECT_V6, idOut.get());
    check(status);
    ISC_LONG id = 0;
    short idNull = 0;
    idOut->sqlvar[0].sqltype = SQL_LONG | 1;
    idOut->sqlvar[0].sqlscale = 0;
    idOut->sqlvar[0].sqldata = reinterpret_cast<char *>(&id);
    idOut->sqlvar[0].sqlind = &idNull;

    RawStatement insert(db.handle());
    fb.isc_dsql_prepare(status, tr, insert.handle(), 0, kRawInsertSql, SQL_DIALECT_V6, nullptr);
    check(status);
    Sqlda in = allocSqlda(7);
    fb.isc_dsql_describe_bind(status, insert.handle(), SQLDA_VERSION1, in.get());
    check(status);
    ISC_LONG contentId = 0, diskId = kDiskId, ownId = 0, type = 0;
    double size = 0;
    ISC_TIMESTAMP date {};
    std::vector<char> name(size_t(in->sqlvar[4].sqllen) + 2);
    short nulls[7] = {};
    auto bind = [&](int i, short sqltype, void *data, short len) {
        XSQLVAR &v = in->sqlvar[i];
        v.sqltype = short(sqltype | 1);
        v.sqldata = static_cast<char *>(data);
        v.sqlind = &nulls[i];
        v.sqlscale = 0;
        if (len)
            v.sqllen = len;
    };
    bind(0, SQL_LONG, &contentId, sizeof contentId);
    bind(1, SQL_LONG, &diskId, sizeof diskId);
    bind(2, SQL_LONG, &ownId, sizeof ownId);
    bind(3, SQL_LONG, &type, sizeof type);
    bind(4, SQL_VARYING, name.data(), 0);
    bind(5, SQL_DOUBLE, &size, sizeof size);
    bind(6, SQL_TIMESTAMP, &date, sizeof date);
    std::vector<int> ids(tree.size());

    const Stopwatch watch;
    QElapsedTimer sinceCommit;
    sinceCommit.start();
    for (size_t i = 0; i < tree.size(); ++i) {
        const Entry &e = tree[i];
        fb.isc_dsql_execute2(status, tr, nextId.handle(), SQLDA_VERSION1, nullptr, idOut.get());
        check(status);
        ids[i] = id;
        contentId = id;
        nulls[2] = e.parent < 0 ? -1 : 0;
        ownId = e.parent < 0 ? 0 : ids[size_t(e.parent)];
        type = e.type;
        const QByteArray utf8 = e.name.toUtf8();
        const auto len = static_cast<unsigned short>(utf8.size());
        std::memcpy(name.data(), &len, 2);
        std::memcpy(name.data() + 2, utf8.constData(), len);
        size = e.size;
        date.timestamp_date = ISC_DATE(e.date.date().toJulianDay() - kJulianDayOfIscEpoch);
        date.timestamp_time = ISC_TIME(e.date.time().msecsSinceStartOfDay()) * 10;
        fb.isc_dsql_execute(status, tr, insert.handle(), SQLDA_VERSION1, in.get());
        check(status);
        if (sinceCommit.elapsed() >= 1000) {
            fb.isc_commit_retaining(status, tr);
            check(status);
            sinceCommit.start();
        }
    }
    fb.isc_commit_retaining(status, tr);
    check(status);
    const Rate rate = rateOf(tree.size(), watch);
    db.close();
    verifyWritten(*cat, tree);
    return rate;
}

void benchWrite(int count)
{
    const std::vector<Entry> tree = TreeBuilder(count).build();
    int dirs = 0;
    for (const Entry &e : tree)
        dirs += e.type == 1 ? 1 : 0;
    say(QStringLiteral("write: %1 entries (%2 directories), one GETNEXTID and one insert each, "
                       "fresh catalogue per run")
            .arg(tree.size())
            .arg(dirs));
    Rate bestLayer, bestRaw;
    auto keepBest = [](Rate &best, const Rate &r) {
        best.wall = qMax(best.wall, r.wall);
        best.cpu = qMax(best.cpu, r.cpu);
    };
    auto line = [](const QString &what, const Rate &r) {
        return QStringLiteral("%1 %2 entries/s (%3 entries per CPU second)")
            .arg(what)
            .arg(qRound64(r.wall))
            .arg(qRound64(r.cpu));
    };
    for (int round = 1; round <= 2; ++round) {
        const Rate layer = writeLayer(tree);
        say(line(QStringLiteral("  run %1: layer").arg(round), layer));
        const Rate raw = writeRaw(tree);
        say(line(QStringLiteral("  run %1: raw  ").arg(round), raw));
        keepBest(bestLayer, layer);
        keepBest(bestRaw, raw);
    }
    say(QStringLiteral("write: layer %1 entries/s, raw %2 entries/s, ratio %3 (goal >= 0.8)")
            .arg(qRound64(bestLayer.wall))
            .arg(qRound64(bestRaw.wall))
            .arg(bestLayer.wall / bestRaw.wall, 0, 'f', 2));
    say(QStringLiteral("write (CPU time): layer %1 entries/s, raw %2 entries/s, ratio %3")
            .arg(qRound64(bestLayer.cpu))
            .arg(qRound64(bestRaw.cpu))
            .arg(bestLayer.cpu / bestRaw.cpu, 0, 'f', 2));
}

// A catalogue whose TCONTENT holds rows entries of one disk, filled on a connection of its own.
std::unique_ptr<TestCatalogue> filledCatalogue(int rows)
{
    auto cat = freshCatalogue();
    // Every 20th entry is a directory; the others hang under the directory before them.
    cat->exec({QStringLiteral(
                   "execute block as\n"
                   "declare i integer = 1;\n"
                   "begin\n"
                   "  while (i <= %1) do\n"
                   "  begin\n"
                   "    insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, "
                   "FCONTENT, FSIZE, FDATE)\n"
                   "    values (:i, %2, iif(:i = 1, null, :i - mod(:i - 1, 20)),\n"
                   "            iif(:i = 1, 2, iif(mod(:i - 1, 20) = 0, 1, 0)),\n"
                   "            'file_' || :i || '.dat', mod(:i * 7919, 5000000),\n"
                   "            dateadd(mod(:i, 100000) second to timestamp '2021-03-01 09:00'));\n"
                   "    i = i + 1;\n"
                   "  end\n"
                   "end")
                   .arg(rows)
                   .arg(kDiskId)});
    return cat;
}

// The server's plan for a select on the connection (prepared on the bare library).
QString planOf(Connection &db, const QByteArray &sql)
{
    const FbApi &fb = FbClient::api();
    ISC_STATUS_ARRAY status;
    RawStatement stmt(db.handle());
    fb.isc_dsql_prepare(status, db.transaction().handle(), stmt.handle(), 0, sql.constData(),
                        SQL_DIALECT_V6, nullptr);
    check(status);
    static const char item[] = {isc_info_sql_get_plan};
    char info[1024] = {};
    fb.isc_dsql_sql_info(status, stmt.handle(), sizeof item, item, sizeof info, info);
    check(status);
    if (info[0] != isc_info_sql_get_plan)
        return {};
    const int len = int(quint8(info[1])) | (int(quint8(info[2])) << 8);
    return QString::fromUtf8(info + 3, len).simplified();
}

struct OpenResult
{
    double bestMs = 0;
    qint64 rssBefore = 0;
    qint64 rssAfter = 0;
    int fetched = 0;
    QString plan;
};

// Opens the dataset and reads its first 1000 rows, several times; the best time counts.
OpenResult timeOpen(const TestCatalogue &cat, const QString &select)
{
    constexpr int kRepeats = 5;
    OpenResult result;
    Connection db;
    cat.configure(db);
    db.open();
    db.transaction().start();
    result.plan = planOf(db, parseNamedSql(select).sql);
    QueryDataSet ds(db, QStringLiteral("dtBench"));
    ds.setSelectSql({select});
    ds.setParam(QStringLiteral("d"), kDiskId);
    for (int i = 0; i < kRepeats; ++i) {
        if (i == 0)
            result.rssBefore = residentKiB();
        QElapsedTimer timer;
        timer.start();
        ds.open();
        ds.moveTo(999);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (i == 0) {
            result.rssAfter = residentKiB();
            result.fetched = ds.fetchedCount();
            if (ds.currentRow() != 999)
                die(QStringLiteral("dataset did not reach row 1000"));
        }
        ds.close();
        result.bestMs = i == 0 ? ms : qMin(result.bestMs, ms);
    }
    db.close();
    return result;
}

void benchRead()
{
    constexpr int kSmall = 1000;
    constexpr int kLarge = 1000000;
    // Ordered by the primary key, the server walks PK_TCONTENT and hands rows over as it goes.
    const QString select = QStringLiteral("select * from TCONTENT order by FCONTENTID");
    QElapsedTimer fill;
    fill.start();
    const auto small = filledCatalogue(kSmall);
    const auto large = filledCatalogue(kLarge);
    say(QStringLiteral("read: \"%1\", catalogues of %2 and %3 rows (filled in %4 s)")
            .arg(select)
            .arg(kSmall)
            .arg(kLarge)
            .arg(double(fill.elapsed()) / 1000, 0, 'f', 1));

    const OpenResult s = timeOpen(*small, select);
    const OpenResult l = timeOpen(*large, select);
    say(QStringLiteral("read: server plan %1 (streamed, no sort)").arg(l.plan));
    say(QStringLiteral("read: open + first 1000 rows: %1 ms over %2 rows, %3 ms over %4 rows, "
                       "ratio %5 (goal <= 2)")
            .arg(l.bestMs, 0, 'f', 2)
            .arg(kLarge)
            .arg(s.bestMs, 0, 'f', 2)
            .arg(kSmall)
            .arg(l.bestMs / s.bestMs, 0, 'f', 2));
    say(QStringLiteral("read: VmRSS %1 KiB before open, %2 KiB after 1000 rows (+%3 KiB, %4 rows "
                       "held) over %5 rows")
            .arg(l.rssBefore)
            .arg(l.rssAfter)
            .arg(l.rssAfter - l.rssBefore)
            .arg(l.fetched)
            .arg(kLarge));

    // For comparison: the same disk's rows through the (disk, parent) index, sorted by key.
    const QString byDisk
        = QStringLiteral("select * from TCONTENT where FDISKID = :d order by FCONTENTID");
    const OpenResult ds = timeOpen(*small, byDisk);
    const OpenResult dl = timeOpen(*large, byDisk);
    say(QStringLiteral("read (for comparison): \"%1\", plan %2: %3 ms over %4 rows, %5 ms over "
                       "%6 rows, ratio %7")
            .arg(byDisk, dl.plan)
            .arg(dl.bestMs, 0, 'f', 2)
            .arg(kLarge)
            .arg(ds.bestMs, 0, 'f', 2)
            .arg(kSmall)
            .arg(dl.bestMs / ds.bestMs, 0, 'f', 2));
}

} // namespace

int main(int argc, char *argv[])
{
    SignalCleanup::install();
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = args.size() > 1 ? args[1].toInt() : 100000;
    const QString part = args.value(2);
    if (count < 1)
        die(QStringLiteral("usage: bench_store [entries] [write|read]"));
    try {
        if (part.isEmpty() || part == QLatin1String("write"))
            benchWrite(count);
        if (part.isEmpty() || part == QLatin1String("read"))
            benchRead();
    } catch (const DbError &e) {
        die(e.text());
    }
    return 0;
}
