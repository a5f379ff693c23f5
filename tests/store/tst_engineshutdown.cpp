#include "store/Connection.h"
#include "store/DbError.h"
#include "store/EngineShutdown.h"
#include "store/Statement.h"
#include "tests/support/TestCatalogue.h"

#include <QTest>

#include <atomic>
#include <csignal>

// The client library catches SIGINT and SIGTERM once a catalogue is attached and shuts its
// engine down, leaving "invalid database handle" behind; EngineShutdown refuses that shutdown
// and tells the program instead.
class TestEngineShutdown : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // The test library's crash handler catches these signals too, and the client would
        // call it from its own handler: the client is to find the signals as a program has
        // them.
        for (const int signal : {SIGTERM, SIGINT})
            std::signal(signal, SIG_DFL);
    }

    void signalShutdownIsRefused_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
    }
    void signalShutdownIsRefused()
    {
        QFETCH(int, signal);
        TestCatalogue cat;
        QVERIFY2(cat.isValid(), qPrintable(cat.error()));
        Connection db;
        cat.configure(db);
        try {
            db.open();
            db.transaction().start();
        } catch (const DbError &e) {
            QFAIL(qPrintable(e.text()));
        }
        struct sigaction current = {};
        ::sigaction(signal, nullptr, &current);
        QVERIFY2(current.sa_handler != SIG_DFL && current.sa_handler != SIG_IGN,
                 "the client library caught no signal: nothing to refuse");

        std::atomic<int> told {0};
        EngineShutdown refusal([&told] { ++told; });
        QVERIFY(refusal.isActive());
        QCOMPARE(::raise(signal), 0);
        QTRY_COMPARE(told.load(), 1);

        // The attachment and its transaction are as they were.
        try {
            Statement stmt(db);
            stmt.prepare(QStringLiteral("select count(*) from TFOLDER"));
            stmt.execute();
            QVERIFY(stmt.fetch());
            QVERIFY(stmt.value(0).toInt() > 0);
            db.close();
        } catch (const DbError &e) {
            QFAIL(qPrintable(QStringLiteral("after the signal: ") + e.text()));
        }
    }
};

QTEST_GUILESS_MAIN(TestEngineShutdown)

#include "tst_engineshutdown.moc"
