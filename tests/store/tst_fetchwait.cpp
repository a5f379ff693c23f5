#include "store/Connection.h"
#include "store/DbError.h"
#include "store/QueryDataSet.h"
#include "store/Statement.h"
#include "tests/support/TestCatalogue.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QThread>
#include <QTimer>

// Rows fetched on a worker thread while the caller's events flow: the same rows as a plain
// fetch, a stop that ends a long search at once, errors where they belong.
class TestFetchWait : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestCatalogue> m_cat;
    std::unique_ptr<Connection> m_db;
    int m_waits = 0;
    int m_eventsWhileWaiting = 0;
    // Stops the rows this long after a block starts; negative: never.
    int m_stopAfterMs = -1;

    // A numbers select: 1..n, the server counting to spin before each row.
    static QString counting(int rows, int spin)
    {
        return QStringLiteral("execute block returns (N integer) as declare i integer = 0; "
                              "declare j integer; begin while (i < %1) do begin i = i + 1; "
                              "j = 0; while (j < %2) do j = j + 1; N = i; suspend; end end")
            .arg(rows)
            .arg(spin);
    }

    Statement::FetchWait wait()
    {
        return [this](QThread &worker, const std::function<void()> &stop) {
            ++m_waits;
            QEventLoop loop;
            connect(&worker, &QThread::finished, &loop, &QEventLoop::quit);
            QTimer ticks;
            connect(&ticks, &QTimer::timeout, this, [this] { ++m_eventsWhileWaiting; });
            ticks.start(5);
            if (m_stopAfterMs >= 0)
                QTimer::singleShot(m_stopAfterMs, &loop, stop);
            if (!worker.isFinished())
                loop.exec();
        };
    }

    QList<int> readAll(Statement &stmt)
    {
        QList<int> values;
        stmt.execute();
        while (stmt.fetch())
            values << stmt.value(0).toInt();
        return values;
    }

private Q_SLOTS:
    void init()
    {
        m_cat = std::make_unique<TestCatalogue>();
        QVERIFY2(m_cat->isValid(), qPrintable(m_cat->error()));
        m_db = m_cat->connection();
        m_db->open();
        m_db->transaction().start();
        m_waits = 0;
        m_eventsWhileWaiting = 0;
        m_stopAfterMs = -1;
    }
    void cleanup()
    {
        m_db.reset();
        m_cat.reset();
    }

    void sameRowsInBlocks_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("minWaits");
        QTest::newRow("none") << 0 << 1;
        QTest::newRow("one") << 1 << 1;
        QTest::newRow("a block and a half") << 1500 << 2;
        QTest::newRow("several blocks") << 3456 << 4;
    }
    void sameRowsInBlocks()
    {
        QFETCH(int, rows);
        QFETCH(int, minWaits);
        Statement plain(*m_db);
        plain.prepare(counting(rows, 0));
        Statement background(*m_db);
        background.setFetchWait(wait());
        background.prepare(counting(rows, 0));
        const QList<int> expected = readAll(plain);
        QCOMPARE(expected.size(), rows);
        QCOMPARE(readAll(background), expected);
        QVERIFY(m_waits >= minWaits);
        QVERIFY(!background.hasCursor());
        QVERIFY(!background.wasStopped());
        // Run again on the same statement: the rows start over.
        QCOMPARE(readAll(background), expected);
    }

    void everyTypeAsAPlainFetchGivesIt()
    {
        const QString sql = QStringLiteral(
            "select cast('abc' as char(5)) C, cast('привет' as varchar(20)) V, "
            "cast(null as varchar(10)) N, date '2020-01-02' D, timestamp '2020-01-02 03:04:05' T, "
            "cast(1.5 as double precision) F, cast(12.34 as numeric(18,2)) M, "
            "cast(-7 as smallint) S, cast(123456789012 as bigint) B, cast(42 as integer) I, "
            "cast('текст в blob' as blob sub_type text) X, true L, cast('' as varchar(5)) E "
            "from rdb$database union all "
            "select null, 'второй', 'x', null, null, null, null, null, null, null, null, false, "
            "null from rdb$database");
        auto rows = [&sql, this](bool background) {
            Statement stmt(*m_db);
            if (background)
                stmt.setFetchWait(wait());
            stmt.prepare(sql);
            stmt.execute();
            QList<QVariantList> all;
            while (stmt.fetch()) {
                QVariantList row;
                for (int c = 0; c < stmt.columnCount(); ++c)
                    row << stmt.value(c);
                all << row;
            }
            return all;
        };
        const QList<QVariantList> plain = rows(false);
        QCOMPARE(plain.size(), 2);
        QCOMPARE(plain[0][1].toString(), QStringLiteral("привет"));
        QCOMPARE(plain[0][10].toString(), QStringLiteral("текст в blob"));
        QVERIFY(plain[0][2].isNull());
        const QList<QVariantList> background = rows(true);
        QCOMPARE(background.size(), plain.size());
        for (int r = 0; r < plain.size(); ++r) {
            for (int c = 0; c < plain[r].size(); ++c) {
                QCOMPARE(background[r][c], plain[r][c]);
                QCOMPARE(background[r][c].isNull(), plain[r][c].isNull());
            }
        }
    }

    void stopEndsALongSearchAtOnce()
    {
        // About a second of counting before each row: a plain fetch of the first row blocks.
        Statement stmt(*m_db);
        stmt.setFetchWait(wait());
        stmt.prepare(counting(3, 20000000));
        m_stopAfterMs = 100;
        QElapsedTimer clock;
        clock.start();
        stmt.execute();
        QVERIFY(!stmt.fetch());
        QVERIFY2(clock.elapsed() < 700, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(stmt.wasStopped());
        QVERIFY(!stmt.hasCursor());
        // The window's events flowed while the server counted.
        QVERIFY(m_eventsWhileWaiting >= 5);
        // Nothing of the cancel stays behind for the next statement on the connection.
        Statement next(*m_db);
        next.prepare(counting(2, 1000));
        QCOMPARE(readAll(next), QList<int>({1, 2}));
        m_db->cancelOperation();
        QCOMPARE(readAll(next), QList<int>({1, 2}));
    }

    void stopKeepsTheRowsFound()
    {
        // Quick rows first, then a long search for the last one.
        Statement stmt(*m_db);
        stmt.setFetchWait(wait());
        stmt.prepare(QStringLiteral(
            "execute block returns (N integer) as declare i integer = 0; declare j integer; "
            "begin while (i < 5) do begin i = i + 1; N = i; suspend; end j = 0; "
            "while (j < 100000000) do j = j + 1; N = 6; suspend; end"));
        m_stopAfterMs = 200;
        QList<int> values;
        stmt.execute();
        while (stmt.fetch())
            values << stmt.value(0).toInt();
        QCOMPARE(values, QList<int>({1, 2, 3, 4, 5}));
        QVERIFY(stmt.wasStopped());
    }

    void errorComesAfterTheRowsBeforeIt()
    {
        const QString sql = QStringLiteral(
            "execute block returns (N integer) as declare i integer = 0; begin "
            "while (i < 10) do begin i = i + 1; N = 100 / (5 - i); suspend; end end");
        QStringList errors;
        for (const bool background : {false, true}) {
            Statement stmt(*m_db);
            if (background)
                stmt.setFetchWait(wait());
            stmt.prepare(sql);
            stmt.execute();
            QList<int> values;
            QString error;
            try {
                while (stmt.fetch())
                    values << stmt.value(0).toInt();
            } catch (const DbError &e) {
                error = e.text();
            }
            QCOMPARE(values, QList<int>({25, 33, 50, 100}));
            QVERIFY(!stmt.hasCursor());
            errors << error;
        }
        QVERIFY2(errors[0].contains(QStringLiteral("arithmetic exception")), qPrintable(errors[0]));
        QCOMPARE(errors[1], errors[0]);
    }

    void datasetFetchesInTheBackground()
    {
        QueryDataSet ds(*m_db, QStringLiteral("dtNumbers"));
        ds.setSelectSql({counting(2500, 0)});
        // A fetch asked for while the rows are on their way is not started.
        int offered = 0;
        int waitsWhileOpen = 0;
        ds.setFetchWait([&](QThread &worker, const std::function<void()> &stop) {
            if (ds.isOpen()) {
                ++waitsWhileOpen;
                offered += ds.canFetchMore() ? 1 : 0;
            }
            wait()(worker, stop);
        });
        ds.open();
        QCOMPARE(ds.fetchedCount(), 1);
        ds.fetchMore();
        QCOMPARE(ds.fetchedCount(), 1001);
        ds.fetchAll();
        QCOMPARE(ds.fetchedCount(), 2500);
        QCOMPARE(ds.value(2499, 0).toInt(), 2500);
        QVERIFY(!ds.canFetchMore());
        QVERIFY(waitsWhileOpen >= 2);
        QCOMPARE(offered, 0);
    }
};

QTEST_MAIN(TestFetchWait)
#include "tst_fetchwait.moc"
