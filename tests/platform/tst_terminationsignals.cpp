#include "platform/TerminationSignals.h"

#include <QTest>

#include <atomic>
#include <csignal>
#include <thread>

namespace {

void earlierHandler(int) { }

void (*handlerOf(int signal))(int)
{
    struct sigaction current = {};
    ::sigaction(signal, nullptr, &current);
    return current.sa_handler;
}

} // namespace

// The termination signals reach the listener on a thread of its own; the handlers found
// before come back when it goes.
class TestTerminationSignals : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void signalReachesListener_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void signalReachesListener()
    {
        QFETCH(int, signal);
        struct sigaction earlier = {};
        earlier.sa_handler = earlierHandler;
        sigemptyset(&earlier.sa_mask);
        struct sigaction saved = {};
        QCOMPARE(::sigaction(signal, &earlier, &saved), 0);

        std::atomic<int> received {0};
        std::atomic<int> calls {0};
        std::atomic<bool> onMainThread {false};
        const std::thread::id mainThread = std::this_thread::get_id();
        {
            TerminationSignals caught([&](int s) {
                onMainThread = std::this_thread::get_id() == mainThread;
                received = s;
                ++calls;
            });
            QVERIFY(caught.isActive());
            QVERIFY(handlerOf(signal) != earlierHandler);
            QCOMPARE(::raise(signal), 0);
            QTRY_COMPARE(received.load(), signal);
            QVERIFY(!onMainThread);
            // Each signal is told once.
            QCOMPARE(::raise(signal), 0);
            QTRY_COMPARE(calls.load(), 2);
        }
        QVERIFY(handlerOf(signal) == earlierHandler);
        ::sigaction(signal, &saved, nullptr);
    }

    void oneAtATime()
    {
        TerminationSignals first([](int) {});
        TerminationSignals second([](int) {});
        QVERIFY(first.isActive());
        QVERIFY(!second.isActive());
    }
};

QTEST_GUILESS_MAIN(TestTerminationSignals)

#include "tst_terminationsignals.moc"
