#include "app/Catalogue.h"
#include "store/DbError.h"
#include "tests/support/SignalCleanup.h"
#include "tests/support/TestCatalogue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

const char kChildFolders[] = "--child";
const char kChildBulk[] = "--child-bulk";

QString folderName(int i)
{
    return QStringLiteral("Папка %1").arg(i);
}

void say(const QByteArray &line)
{
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

[[noreturn]] void die()
{
    std::raise(SIGKILL);
    std::abort(); // not reached
}

void connect(Catalogue &data, const QString &path)
{
    data.DefDatabase().setDatabaseName(path);
    data.DefDatabase().setParams(TestCatalogue::params());
}

int committedEntries(const QString &path, int disk)
{
    Connection probe;
    probe.setDatabaseName(path);
    probe.setParams(TestCatalogue::params());
    QueryDataSet ds(probe, QStringLiteral("dtProbe"));
    ds.setSelectSql({QStringLiteral("select count(*) CNT from TCONTENT where FDISKID = :d")});
    ds.setParam(QStringLiteral("d"), disk);
    ds.open();
    const int n = ds.fieldByName(QStringLiteral("CNT")).asInteger();
    ds.close();
    probe.close();
    return n;
}

// Posts <count> folders through dtFolder, says so, and dies without disconnecting.
int childFolders(const QString &path, int count)
{
    Catalogue data;
    connect(data, path);
    data.dtFolder().open();
    for (int i = 0; i < count; ++i) {
        data.dtFolder().insert();
        data.dtFolder().fieldByName(QStringLiteral("FFOLDER")).setString(folderName(i));
        data.dtFolder().post();
    }
    say("posted");
    die();
}

// Writes entries of <disk> through a prepared statement as the disk reader does, holding the
// commits. It goes on until an entry was started more than a second after the transaction
// began, so that the hold has committed on its own at least once; then it counts on an
// attachment of its own what is committed, and dies. With <endHold> the hold ends first; a
// <whole> hold commits nothing before its end.
int childBulk(const QString &path, int disk, bool endHold, bool whole)
{
    Catalogue data;
    connect(data, path);
    data.dtFolder().open();
    Transaction &tr = data.DefDatabase().transaction();
    SqlStatement insert(data.DefDatabase(), QStringLiteral("dtContentInsert"));
    insert.setSql(QStringLiteral(
        "insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, FCONTENT, FSIZE, "
        "FDATE) values (:FCONTENTID, :FDISKID, null, 0, :FCONTENT, :FSIZE, :FDATE)"));
    insert.setParam(QStringLiteral("FDISKID"), disk);
    insert.setParam(QStringLiteral("FDATE"), QDateTime(QDate(2024, 2, 29), QTime(12, 0)));
    int inserted = 0;
    auto report = [&] {
        say("inserted " + QByteArray::number(inserted));
        say("committed " + QByteArray::number(committedEntries(path, disk)));
        die();
    };
    {
        Transaction::CommitHold hold(tr,
                                     whole ? Transaction::CommitHold::Mode::Whole
                                           : Transaction::CommitHold::Mode::OncePerSecond);
        // Started after the transaction, so it never runs ahead of the hold's own clock.
        QElapsedTimer clock;
        clock.start();
        qint64 startedAt = 0;
        do {
            startedAt = clock.elapsed();
            data.spNextID().execute();
            insert.setParam(QStringLiteral("FCONTENTID"),
                            data.spNextID().paramByName(QStringLiteral("ID")));
            insert.setParam(QStringLiteral("FCONTENT"),
                            QStringLiteral("файл %1.txt").arg(inserted));
            insert.setParam(QStringLiteral("FSIZE"), double(inserted));
            insert.execute();
            ++inserted;
        } while (startedAt <= 1100);
        if (!endHold)
            report();
    }
    report();
    return 0; // not reached
}

int runChild(int argc, char **argv)
{
    SignalCleanup::install();
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    try {
        if (args.value(1) == QLatin1String(kChildFolders) && args.size() == 4)
            return childFolders(args[2], args[3].toInt());
        if (args.value(1) == QLatin1String(kChildBulk) && args.size() == 5)
            return childBulk(args[2], args[3].toInt(), args[4] == QLatin1String("end"),
                             args[4] == QLatin1String("whole"));
    } catch (const DbError &e) {
        say("error " + e.text().toUtf8());
        return 2;
    }
    say("error bad arguments");
    return 2;
}

} // namespace

// A program killed in the middle of its work keeps what it committed, and the catalogue it
// leaves behind opens and takes new work.
class TestDurability : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestCatalogue> m_cat;

    // Runs this program as the child and returns what it printed; it must die by a signal.
    QStringList runKilledChild(const QStringList &args)
    {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), args);
        if (!child.waitForFinished(120000)) {
            child.kill();
            child.waitForFinished();
            return {QStringLiteral("error child did not finish")};
        }
        const QStringList lines = QString::fromUtf8(child.readAllStandardOutput())
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (child.exitStatus() != QProcess::CrashExit)
            return lines + QStringList {QStringLiteral("error child exited normally")};
        return lines;
    }
    static int valueOf(const QStringList &lines, const QString &key)
    {
        for (const QString &line : lines) {
            if (line.startsWith(key + QLatin1Char(' ')))
                return line.mid(key.size() + 1).toInt();
        }
        return -1;
    }

    // The catalogue validates without a complaint, reports its version and takes a new folder.
    void checkOpensCleanly()
    {
        const QString gfix = QStandardPaths::findExecutable(QStringLiteral("gfix"));
        QVERIFY(!gfix.isEmpty());
        QProcess validate;
        validate.setProcessChannelMode(QProcess::MergedChannels);
        validate.start(gfix,
                       {QStringLiteral("-v"), QStringLiteral("-full"), QStringLiteral("-n"),
                        QStringLiteral("-user"), QStringLiteral("KODRA"), m_cat->path()});
        QVERIFY(validate.waitForFinished(120000));
        const QString report = QString::fromLocal8Bit(validate.readAll());
        QCOMPARE(validate.exitStatus(), QProcess::NormalExit);
        QCOMPARE(validate.exitCode(), 0);
        // A killed writer may leave orphan pages, which the engine counts as warnings: space
        // lost, nothing broken. Any error fails.
        static const QRegularExpression allowed(
            QStringLiteral("^(Summary of validation errors|Number of \\w+( \\w+)* warnings\\s*:"
                           "\\s*\\d+)$"));
        for (const QString &line : report.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            QVERIFY2(allowed.match(line.trimmed()).hasMatch(), qPrintable(report));

        Catalogue data;
        m_cat->configure(data.DefDatabase());
        data.spVer().execute();
        QCOMPARE(data.spVer().paramAsString(QStringLiteral("VERSION")), QStringLiteral("1.0"));
        data.dtFolder().open();
        const int before = [&data] {
            data.dtFolder().fetchAll();
            return data.dtFolder().fetchedCount();
        }();
        data.dtFolder().insert();
        data.dtFolder().fieldByName(QStringLiteral("FFOLDER")).setString(QStringLiteral("После"));
        data.dtFolder().post();
        data.DefDatabase().close();
        QCOMPARE(m_cat->scalar(QStringLiteral("select count(*) from TFOLDER")).toInt(), before + 1);
    }

private Q_SLOTS:
    void init()
    {
        m_cat = std::make_unique<TestCatalogue>(TestCatalogue::Folders::None);
        QVERIFY2(m_cat->isValid(), qPrintable(m_cat->error()));
    }

    void postedFoldersSurvive_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("one") << 1;
        QTest::newRow("many") << 300;
    }
    void postedFoldersSurvive()
    {
        QFETCH(int, count);
        const QStringList said
            = runKilledChild({QLatin1String(kChildFolders), m_cat->path(), QString::number(count)});
        QCOMPARE(said, QStringList {QStringLiteral("posted")});

        // Every posted folder is there, on a fresh connection.
        Catalogue data;
        m_cat->configure(data.DefDatabase());
        data.dtFolder().open();
        QSet<QString> names;
        for (; !data.dtFolder().eof(); data.dtFolder().next())
            names.insert(data.dtFolder().fieldByName(QStringLiteral("FFOLDER")).asString());
        QSet<QString> expected;
        for (int i = 0; i < count; ++i)
            expected.insert(folderName(i));
        QCOMPARE(names, expected);
        QCOMPARE(data.dtFolder().fetchedCount(), count);
        data.DefDatabase().close();
        checkOpensCleanly();
    }

    void bulkWorkSurvives_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("killed while holding") << "hold";
        QTest::newRow("killed after the hold") << "end";
        QTest::newRow("killed while holding the whole work") << "whole";
    }
    void bulkWorkSurvives()
    {
        QFETCH(QString, mode);
        const bool endHold = mode == QLatin1String("end");
        const bool whole = mode == QLatin1String("whole");
        m_cat->exec({QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER) values (5001, 'F')"),
                     QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME) "
                                    "values (6001, 5001, 1, 'Disk')")});
        const QStringList said = runKilledChild(
            {QLatin1String(kChildBulk), m_cat->path(), QStringLiteral("6001"), mode});
        const int inserted = valueOf(said, QStringLiteral("inserted"));
        const int committed = valueOf(said, QStringLiteral("committed"));
        QVERIFY2(inserted > 0 && committed >= 0, qPrintable(said.join(QLatin1Char('\n'))));
        // The hold committed on its own within the run, unless it holds the whole work; its end
        // commits the rest.
        if (whole)
            QCOMPARE(committed, 0);
        else
            QVERIFY2(committed > 0, qPrintable(said.join(QLatin1Char('\n'))));
        QVERIFY(committed <= inserted);
        if (endHold)
            QCOMPARE(committed, inserted);

        // Exactly what was committed is there: the work after the last commit is gone whole.
        const int found
            = m_cat->scalar(QStringLiteral("select count(*) from TCONTENT where FDISKID = 6001"))
                  .toInt();
        QCOMPARE(found, committed);
        // The surviving entries are the first ones written, each complete.
        QCOMPARE(m_cat
                     ->scalar(QStringLiteral("select count(*) from TCONTENT where FDISKID = 6001 "
                                             "and FCONTENT = 'файл ' || cast(FSIZE as integer) "
                                             "|| '.txt' and FSIZE < %1")
                                  .arg(committed))
                     .toInt(),
                 committed);
        checkOpensCleanly();
    }
};

int main(int argc, char **argv)
{
    if (argc > 1 && std::strncmp(argv[1], "--child", 7) == 0)
        return runChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestDurability test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_durability.moc"
