// The engine's share of a read: the rows of a read of files entries, made in memory, written
// into TCONTENT by the reader's own writer (one prepared block of k inserts, commits with retain
// once a second). Each variant of the catalogue or of the block is timed against the
// reader's own way, the rounds interleaved; given as the median in microseconds per row.
//
// Usage: bench_rowcost [files [rounds [variant,variant...]]]
//   files: default 100000 (and files/10 folders); rounds: default 3. Variants: page8k (pages
//   of 8192 bytes), noix / nopk / noindex (without IX_TCONTENT_DISK_OWNER, PK_TCONTENT, both),
//   v255 / octets / none (the block's name parameters as VARCHAR(255) UTF8, or as long as
//   FCONTENT in bytes in OCTETS or NONE), kN (N rows per call), bufN (N page buffers), colN (a
//   copy of the table whose name column holds N characters), async (forced writes off).

#include "bench/BenchDisk.h"
#include "disk/ContentWriter.h"
#include "store/Connection.h"
#include "store/DbError.h"
#include "store/StoredProc.h"
#include "store/Transaction.h"
#include "tests/support/SignalCleanup.h"
#include "tests/support/TestCatalogue.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <random>
#include <vector>

namespace {

using BenchDisk::die;
using BenchDisk::say;

struct Row
{
    QString name;
    int owner = -1; // the row's place among the rows, -1 for the root entry
    int type = 0;
    qint64 size = 0;
    QDateTime date;
};

// One root, files/10 folders ten to a folder, the files spread evenly; names as bench_reader.
std::vector<Row> makeRows(int files)
{
    std::minstd_rand rng(20240501);
    std::vector<Row> rows;
    const QDateTime when = QDateTime::currentDateTime();
    rows.push_back({QStringLiteral("/tmp/drive: BENCH, ID=1A2B3C4D"), -1, 2, 0, when});
    const int folderCount = std::max(1, files / 10);
    std::vector<int> folders;
    for (int f = 0; f < folderCount; ++f) {
        const int owner = f < 10 ? 0 : folders[size_t(f / 10 - 1)];
        folders.push_back(int(rows.size()));
        rows.push_back({QStringLiteral("Photos 2019 %1").arg(f), owner, 1, 0, when});
    }
    for (int i = 0; i < files; ++i) {
        QString name;
        switch (rng() % 8) {
        case 0:
            name = QStringLiteral("IMG_%1.JPG").arg(i, 6, 10, QLatin1Char('0'));
            break;
        case 1:
            name = QStringLiteral("%1 - Track %2 - Concerto in D minor, BWV 1052.flac")
                       .arg(i)
                       .arg(rng() % 20 + 1, 2, 10, QLatin1Char('0'));
            break;
        case 2:
            name = QStringLiteral("report_2021-03-%1_final (copy %2).docx")
                       .arg(rng() % 28 + 1, 2, 10, QLatin1Char('0'))
                       .arg(i);
            break;
        case 3:
            name = QStringLiteral("Документ %1 — черновик.odt").arg(i);
            break;
        case 4:
            name = QStringLiteral("libkodra-%1.so.%2").arg(i).arg(rng() % 9);
            break;
        case 5:
            name = QStringLiteral("holiday photo %1.jpeg").arg(i);
            break;
        case 6:
            name = QStringLiteral("README.%1").arg(i);
            break;
        default:
            name = QStringLiteral(".config_%1.ini").arg(i);
        }
        rows.push_back({name, folders[size_t(i % folderCount)], 0, i % 3 == 0 ? 0 : i % 97, when});
    }
    return rows;
}

struct Variant
{
    QString name;
    int pageSize = 0; // 0: the template's
    QStringList ddl; // run on the fresh catalogue before the rows
    int k = 32;
    QString textType; // the block's parameter type of FCONTENT; empty: type of column
    bool asyncWrites = false;
    int buffers = 0;
    QString table = QStringLiteral("TCONTENT");
};

Variant variant(const QString &name)
{
    Variant v;
    v.name = name;
    if (name == QLatin1String("now")) {
    } else if (name == QLatin1String("page8k")) {
        v.pageSize = 8192;
    } else if (name == QLatin1String("noix")) {
        v.ddl << QStringLiteral("drop index IX_TCONTENT_DISK_OWNER");
    } else if (name == QLatin1String("nopk")) {
        v.ddl << QStringLiteral("alter table TCONTENT drop constraint PK_TCONTENT");
    } else if (name == QLatin1String("noindex")) {
        v.ddl << QStringLiteral("drop index IX_TCONTENT_DISK_OWNER")
              << QStringLiteral("alter table TCONTENT drop constraint PK_TCONTENT");
    } else if (name == QLatin1String("v255")) {
        v.textType = QStringLiteral("varchar(255) character set UTF8");
    } else if (name == QLatin1String("octets")) {
        v.textType = QStringLiteral("varchar(4096) character set OCTETS");
    } else if (name == QLatin1String("none")) {
        v.textType = QStringLiteral("varchar(4096) character set NONE");
    } else if (name.startsWith(QLatin1String("col"))) {
        // A copy of the table with the name column this many characters long.
        v.table = QStringLiteral("TCOPY");
        v.ddl << QStringLiteral("create table TCOPY (FCONTENTID INTEGER NOT NULL, FDISKID INTEGER, "
                                "FOWNCONTENTID INTEGER, FTYPE INTEGER, FCONTENT VARCHAR(%1) "
                                "COLLATE UNICODE, FSIZE DOUBLE PRECISION, FDATE TIMESTAMP, "
                                "CONSTRAINT PK_TCOPY PRIMARY KEY (FCONTENTID))")
                     .arg(name.mid(3).toInt())
              << QStringLiteral("create index IX_TCOPY ON TCOPY (FDISKID, FOWNCONTENTID)");
    } else if (name.startsWith(QLatin1String("buf"))) {
        v.buffers = name.mid(3).toInt();
    } else if (name == QLatin1String("async")) {
        v.asyncWrites = true;
    } else if (name.startsWith(QLatin1Char('k'))) {
        v.k = name.mid(1).toInt();
    } else {
        die(QStringLiteral("no variant ") + name);
    }
    return v;
}

// The reader's writer with the variant's statement in place of its own.
class VariantWriter : public ContentWriter
{
public:
    VariantWriter(Connection &connection, StoredProc &nextId, const Variant &v)
        : ContentWriter(connection, nextId, QStringLiteral("dtContent")), m_variant(v)
    {
        setTuning({Tuning().maxKeysPerDraw, v.k});
    }

protected:
    QString changeSql(Change change, int rows) const override
    {
        return ContentWriter::changeSql(change, rows, m_variant.table, m_variant.textType);
    }

private:
    const Variant &m_variant;
};

std::unique_ptr<TestCatalogue> catalogueFor(const Variant &v)
{
    auto cat = BenchDisk::freshCatalogue(v.pageSize);
    for (const QString &ddl : v.ddl)
        cat->exec({ddl});
    if (v.asyncWrites
        && QProcess::execute(QStringLiteral("gfix"),
                             {QStringLiteral("-write"), QStringLiteral("async"),
                              QStringLiteral("-user"), QStringLiteral("KODRA"), cat->path()})
            != 0)
        die(QStringLiteral("gfix failed"));
    if (v.buffers > 0
        && QProcess::execute(QStringLiteral("gfix"),
                             {QStringLiteral("-buffers"), QString::number(v.buffers),
                              QStringLiteral("-user"), QStringLiteral("KODRA"), cat->path()})
            != 0)
        die(QStringLiteral("gfix failed"));
    return cat;
}

// Bytes this process has sent to storage: the embedded engine's page writes.
qint64 writtenBytes()
{
    QFile f(QStringLiteral("/proc/self/io"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("write_bytes:"))
            return line.mid(12).trimmed().toLongLong();
    }
    return 0;
}

struct Written
{
    double us = 0; // per row
    double mb = 0; // sent to storage during the writes
};

Written writeOnce(const Variant &v, int files)
{
    const auto cat = catalogueFor(v);
    auto c = cat->connection();
    c->open();
    c->transaction().start();
    const std::vector<Row> rows = makeRows(files);
    StoredProc nextId(*c, QStringLiteral("spNextID"), QStringLiteral("GETNEXTID"));
    VariantWriter writer(*c, nextId, v);
    writer.open(BenchDisk::DiskId);
    std::vector<int> keys;
    keys.reserve(rows.size());
    ::sync();
    const qint64 bytesBefore = writtenBytes();
    QElapsedTimer t;
    t.start();
    {
        Transaction::CommitHold hold(c->transaction());
        for (const Row &row : rows)
            keys.push_back(writer.append(row.owner < 0 ? 0 : keys[size_t(row.owner)],
                                         ContentWriter::EntryType(row.type), row.name, row.size,
                                         row.date));
        writer.flush();
    }
    const Written result {double(t.nsecsElapsed()) / 1e3 / double(rows.size()),
                          double(writtenBytes() - bytesBefore) / 1048576};
    writer.close();
    c->transaction().commit();
    c->close();
    // Every row as written: a variant that changes what is stored is no way to keep.
    const QList<QVariantList> stored = cat->rows(
        QStringLiteral("select FCONTENTID, FOWNCONTENTID, FTYPE, FCONTENT, FSIZE from %1 where "
                       "FDISKID = %2 order by FCONTENTID")
            .arg(v.table)
            .arg(BenchDisk::DiskId));
    if (stored.size() != qsizetype(rows.size()))
        die(v.name + QStringLiteral(": stored %1 of %2").arg(stored.size()).arg(rows.size()));
    for (size_t r = 0; r < rows.size(); ++r) {
        const QVariantList &got = stored[qsizetype(r)];
        const Row &row = rows[r];
        const int owner = row.owner < 0 ? 0 : keys[size_t(row.owner)];
        if (got[0].toInt() != keys[r] || got[1].toInt() != owner || got[2].toInt() != row.type
            || got[3].toString() != row.name || got[4].toDouble() != double(row.size))
            die(v.name
                + QStringLiteral(": row %1 is stored as %2, written as %3")
                      .arg(keys[r])
                      .arg(got[3].toString(), row.name));
    }
    return result;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    SignalCleanup::install();
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int files = args.size() > 1 ? args[1].toInt() : 100000;
    const int rounds = args.size() > 2 ? args[2].toInt() : 3;
    QStringList names {QStringLiteral("now")};
    for (const QString &n : args.value(3).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (n != QLatin1String("now"))
            names << n;
    }
    std::vector<Variant> list;
    for (const QString &n : names)
        list.push_back(variant(n));
    std::vector<std::vector<double>> us(list.size());
    std::vector<std::vector<double>> mb(list.size());
    try {
        for (int round = 0; round < rounds; ++round) {
            for (size_t w = 0; w < list.size(); ++w) {
                const Written r = writeOnce(list[w], files);
                us[w].push_back(r.us);
                mb[w].push_back(r.mb);
            }
        }
    } catch (const DbError &e) {
        die(e.text());
    }
    for (size_t w = 0; w < list.size(); ++w) {
        QStringList all;
        for (const double x : us[w])
            all << QString::number(x, 'f', 2);
        say(QStringLiteral("%1: %2 us/row median (%3), %4 x now; %5 MB written")
                .arg(list[w].name, -8)
                .arg(median(us[w]), 0, 'f', 2)
                .arg(all.join(QLatin1Char(' ')))
                .arg(median(us[w]) / median(us[0]), 0, 'f', 3)
                .arg(median(mb[w]), 0, 'f', 1));
    }
    return 0;
}
