// A read killed midway: the catalogue must open cleanly afterwards and keep every entry the
// reader had written up to its last commit. The program is its own child: started with
// --read-child it reads a tree into a disk and reports its progress on stdout.

#include "app/Catalogue.h"
#include "app/ConnectionSettings.h"
#include "disk/ContentWriter.h"
#include "disk/DiskReader.h"
#include "disk/EditorReadWatch.h"
#include "store/DbError.h"
#include "store/Statement.h"
#include "tests/support/CatalogueSample.h"
#include "tests/support/FixedVolumeSource.h"
#include "tests/support/FixtureTree.h"
#include "tests/support/SignalCleanup.h"
#include "tests/support/TestCatalogue.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/types.h>
#include <vector>

namespace {

// The folder every new catalogue starts with.
constexpr int kFolderId = TestCatalogue::startFolderId;
constexpr int kDiskId = 17;
// The child reports every this many entries.
constexpr qint64 kReportEvery = 500;
// Commits with retain come at least once a second; what was written this long before the kill
// must be there.
constexpr qint64 kCommittedWithinMs = 1500;
// The kill comes once the child has written this many entries and has been reporting this
// long, so that some counts came in well before the kill.
constexpr qint64 kKillAfterEntries = 20000;
constexpr qint64 kKillAfterMs = 2000;
// Large enough that the fastest read seen here (about 110,000 entries a second) is far from
// through when the kill comes.
constexpr int kFiles = 400000;
const char kChildArg[] = "--read-child";

// The child: reads tree into disk diskId of catalogue, printing "written N" every
// kReportEvery entries and "finished N" at the end.
int readChild(int argc, char *argv[])
{
    SignalCleanup::install();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: %s %s <catalogue> <tree> <diskId>\n", argv[0], kChildArg);
        return 2;
    }
    const QString tree = args[3];
    const int diskId = args[4].toInt();
    FixedVolumeSource volumes;
    volumes.volumes.insert(tree, {QStringLiteral("kill"), QStringLiteral("0BADF00D"), 1LL << 30});

    Catalogue data;
    ConnectionSettings settings;
    settings.databaseName = args[2];
    settings.userName = QStringLiteral("KODRA");
    settings.userPass = QStringLiteral("TARLO");
    if (!CatalogueSample::connectMain(data, settings))
        return 3;
    if (!data.dtDisk().locate(QStringLiteral("FDISKID"), diskId)) {
        std::fprintf(stderr, "disk %d is not in the list\n", diskId);
        return 4;
    }
    ContentWriter dtContent(data.DefDatabase(), data.spNextID(), QStringLiteral("dtContent"));
    EditorReadWatch watch(nullptr);
    DiskReader reader(data, dtContent, watch);
    qint64 written = 0;
    QObject::connect(&reader, &DiskReader::entryWritten, [&written](qint64 entries) {
        written = entries;
        if (entries % kReportEvery == 0) {
            std::printf("written %lld\n", static_cast<long long>(entries));
            std::fflush(stdout);
        }
    });
    try {
        reader.read(tree, DiskReader::Mode::Replace);
    } catch (const DbError &e) {
        std::fprintf(stderr, "read failed: %s\n", e.what());
        return 5;
    }
    std::printf("finished %lld\n", static_cast<long long>(written));
    std::fflush(stdout);
    return 0;
}

// The first row of a select on the connection.
QVariantList firstRow(Connection &db, const QString &select)
{
    Statement stmt(db);
    stmt.prepare(select);
    stmt.execute();
    QVariantList row;
    if (stmt.fetch()) {
        for (int i = 0; i < stmt.columnCount(); ++i)
            row << stmt.value(i);
    }
    return row;
}

} // namespace

class TestKillRead : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_tree;
    qint64 m_entries = 0;

private Q_SLOTS:
    void initTestCase()
    {
        // In memory where there is a tmpfs: on a disk, making and removing this many files
        // takes minutes. The catalogue stays on the disk.
        const QFileInfo shm(QStringLiteral("/dev/shm"));
        m_dir = shm.isDir() && shm.isWritable()
            ? std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/tst_killread-XXXXXX"))
            : std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_tree = m_dir->filePath(QStringLiteral("drive"));
        m_entries = FixtureTree::buildCollection(m_tree, kFiles);
        QVERIFY(m_entries > 0);
    }

    // Into an empty disk, and again in place over entries stored before under a root entry of
    // the same volume: those not yet compared stay, under the one root entry.
    void killedReadKeepsCommittedEntries_data()
    {
        QTest::addColumn<int>("storedBefore");
        QTest::newRow("empty disk") << 0;
        QTest::newRow("read again in place") << 300;
    }
    void killedReadKeepsCommittedEntries()
    {
        QFETCH(int, storedBefore);
        TestCatalogue cat;
        QVERIFY2(cat.isValid(), qPrintable(cat.error()));
        cat.exec({QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME) values "
                                 "(%1, %2, 1, 'Killed')")
                      .arg(kDiskId)
                      .arg(kFolderId)});
        int oldRoot = 0;
        if (storedBefore > 0) {
            cat.exec({QStringLiteral(
                          "execute block as declare r integer; declare i integer = 0; begin "
                          "r = gen_id(SQ_MAIN, 1); insert into TCONTENT (FCONTENTID, FDISKID, "
                          "FOWNCONTENTID, FTYPE, FCONTENT, FSIZE) values (:r, %1, null, 2, '%2', "
                          "0); while (i < %3) do begin insert into TCONTENT (FCONTENTID, FDISKID, "
                          "FOWNCONTENTID, FTYPE, FCONTENT, FSIZE) values (gen_id(SQ_MAIN, 1), %1, "
                          ":r, 0, 'stored before ' || :i, 1); i = i + 1; end end")
                          .arg(kDiskId)
                          .arg(DiskReader::rootText(m_tree, QStringLiteral("KILL"),
                                                    QStringLiteral("0BADF00D")))
                          .arg(storedBefore)});
            oldRoot = cat.scalar(QStringLiteral("select FCONTENTID from TCONTENT where FDISKID = "
                                                "%1 and FOWNCONTENTID is null")
                                     .arg(kDiskId))
                          .toInt();
            QVERIFY(oldRoot > 0);
        }

        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(kChildArg), cat.path(), m_tree, QString::number(kDiskId)});
        QVERIFY2(child.waitForStarted(30000), qPrintable(child.errorString()));

        // Each count with the time it arrived.
        struct Report
        {
            qint64 ms;
            qint64 entries;
        };
        std::vector<Report> reports;
        qint64 finishedWith = -1;
        auto takeLines = [&] {
            while (child.canReadLine()) {
                const QList<QByteArray> words = child.readLine().trimmed().split(' ');
                if (words.size() != 2)
                    continue;
                if (words[0] == "written")
                    reports.push_back({clock.elapsed(), words[1].toLongLong()});
                else if (words[0] == "finished")
                    finishedWith = words[1].toLongLong();
            }
        };
        auto timeToKill = [&] {
            return !reports.empty() && reports.back().entries >= kKillAfterEntries
                && reports.back().ms - reports.front().ms >= kKillAfterMs;
        };
        while (finishedWith < 0 && !timeToKill()) {
            if (!child.waitForReadyRead(60000))
                break;
            takeLines();
        }
        if (child.state() != QProcess::Running || finishedWith >= 0) {
            child.waitForFinished(30000);
            takeLines();
            QFAIL(qPrintable(QStringLiteral("the child ended before it could be killed (exit code "
                                            "%1, %2 of %3 entries reported): make the tree "
                                            "bigger")
                                 .arg(child.exitCode())
                                 .arg(reports.empty() ? 0 : reports.back().entries)
                                 .arg(m_entries)));
        }
        QVERIFY2(timeToKill(), "the child stopped reporting");

        const qint64 killedAt = clock.elapsed();
        QCOMPARE(::kill(pid_t(child.processId()), SIGKILL), 0);
        QVERIFY(child.waitForFinished(30000));
        // Lines the child wrote before it died are still in the pipe.
        takeLines();
        QVERIFY2(finishedWith < 0 && child.exitStatus() == QProcess::CrashExit,
                 "the child finished before the kill landed: make the tree bigger");
        const qint64 lastReported = reports.back().entries;
        qint64 committedFloor = 0;
        for (const Report &r : reports) {
            if (r.ms <= killedAt - kCommittedWithinMs)
                committedFloor = r.entries;
        }
        QVERIFY2(committedFloor >= kReportEvery, "no count came in well before the kill");

        Connection db;
        cat.configure(db);
        try {
            db.open();
            db.transaction().start();
            // Every row of the disk is read: its count, its owners, its names and sizes.
            const QVariantList all = firstRow(
                db,
                QStringLiteral("select count(*), count(FOWNCONTENTID), sum(char_length(FCONTENT)), "
                               "sum(FSIZE) from TCONTENT where FDISKID = %1")
                    .arg(kDiskId));
            const QVariantList roots = firstRow(
                db,
                QStringLiteral("select count(*), min(FTYPE), max(FCONTENTID) from TCONTENT where "
                               "FDISKID = %1 and FOWNCONTENTID is null")
                    .arg(kDiskId));
            const QVariantList before = firstRow(
                db,
                QStringLiteral("select count(*) from TCONTENT where FDISKID = %1 and FCONTENT "
                               "starting with 'stored before '")
                    .arg(kDiskId));
            const QVariantList orphans = firstRow(
                db,
                QStringLiteral("select count(*) from TCONTENT c where c.FDISKID = %1 and "
                               "c.FOWNCONTENTID is not null and not exists (select 1 from "
                               "TCONTENT p where p.FCONTENTID = c.FOWNCONTENTID and p.FDISKID = "
                               "%1 and p.FTYPE > 0)")
                    .arg(kDiskId));
            const QVariantList disk = firstRow(
                db,
                QStringLiteral("select FLABEL, FUNIQUE, FFILES from TDISK where FDISKID = %1")
                    .arg(kDiskId));
            db.close();

            // The entries stored before and not yet met by the walk are still there.
            QCOMPARE(before.value(0).toInt(), storedBefore);
            if (storedBefore > 0)
                QVERIFY(roots.value(2).toInt() != oldRoot);
            const qint64 stored = all.value(0).toLongLong() - storedBefore;
            const Report &first = reports.front();
            const Report &last = reports.back();
            qInfo("killed after %lld ms at %lld entries reported (%lld entries of the tree, "
                  "%lld entries/s); %lld stored besides the root, %lld reported at least %lld ms "
                  "before the kill",
                  killedAt, lastReported, m_entries,
                  (last.entries - first.entries) * 1000 / qMax<qint64>(1, last.ms - first.ms),
                  stored - 1, committedFloor, kCommittedWithinMs);
            QCOMPARE(roots.value(0).toLongLong(), 1);
            QCOMPARE(roots.value(1).toInt(), int(ContentWriter::Root));
            QCOMPARE(all.value(1).toLongLong(), stored + storedBefore - 1);
            QVERIFY(all.value(2).toLongLong() > 0);
            QCOMPARE(orphans.value(0).toLongLong(), 0);
            QVERIFY2(stored - 1 >= committedFloor,
                     qPrintable(QStringLiteral("%1 entries kept, %2 were reported %3 ms before "
                                               "the kill")
                                    .arg(stored - 1)
                                    .arg(committedFloor)
                                    .arg(kCommittedWithinMs)));
            QVERIFY2(stored - 1 <= lastReported + kReportEvery,
                     qPrintable(QStringLiteral("%1 entries kept, only %2 reported")
                                    .arg(stored - 1)
                                    .arg(lastReported)));
            QVERIFY(stored - 1 < m_entries);
            // The disk record was stored before the walk; the file count only comes at its end.
            QCOMPARE(disk.value(0).toString(), QStringLiteral("KILL"));
            QCOMPARE(disk.value(1).toString(), QStringLiteral("0BADF00D"));
            QVERIFY(disk.value(2).isNull());
        } catch (const DbError &e) {
            QFAIL(qPrintable(QStringLiteral("the catalogue after the kill: ") + e.text()));
        }
    }
};

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], kChildArg) == 0)
        return readChild(argc, argv);
    QApplication app(argc, argv);
    TestKillRead test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_killread.moc"
