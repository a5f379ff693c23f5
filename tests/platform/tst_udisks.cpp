#include "platform/UDisksClient.h"
#include "tests/support/FakeUDisks.h"

#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

// The disk service's client against a stand-in service on a bus of its own.
class TestUDisks : public QObject
{
    Q_OBJECT

private:
    FakeUDisks m_service;
    QString m_skip;

    // A client that has listed the service's objects.
    std::unique_ptr<UDisksClient> listedClient()
    {
        auto client = std::make_unique<UDisksClient>();
        QSignalSpy listed(client.get(), &UDisksClient::listed);
        client->refresh();
        if (!listed.wait(5000))
            return nullptr;
        return client;
    }
    // Ejects the volume at point and returns the error told (empty: ejected).
    static QString ejectAt(UDisksClient &client, const QString &point)
    {
        QSignalSpy ejected(&client, &UDisksClient::ejected);
        client.eject(point);
        if (ejected.isEmpty() && !ejected.wait(5000))
            return QStringLiteral("<no answer>");
        return ejected.first().at(1).toString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString error = m_service.start();
        if (!error.isEmpty())
            QSKIP(qPrintable(error));
    }
    void init() { m_service.clear(); }

    // No service on the bus: listing ends with nothing listed and nothing to eject.
    void withoutTheService()
    {
        // The name given up: the bus answers that nobody holds it.
        QDBusConnection service(QStringLiteral("kodra-fake-udisks"));
        QVERIFY(service.unregisterService(UDisksClient::service));
        const auto back = qScopeGuard([&] { service.registerService(UDisksClient::service); });
        UDisksClient client;
        QSignalSpy listed(&client, &UDisksClient::listed);
        client.refresh();
        QVERIFY(listed.wait(5000));
        QVERIFY(!client.isListed());
        QVERIFY(!client.canEject(QStringLiteral("/media/disc")));
        QVERIFY(!ejectAt(client, QStringLiteral("/media/disc")).isEmpty());
    }

    void canEject_data()
    {
        QTest::addColumn<bool>("ejectable");
        QTest::addColumn<QString>("mounted");
        QTest::addColumn<QString>("asked");
        QTest::addColumn<bool>("expected");
        const QString disc = QStringLiteral("/media/user/Диск с пробелом");
        QTest::newRow("optical, its point") << true << disc << disc << true;
        QTest::newRow("trailing slash asked") << true << disc << disc + QLatin1Char('/') << true;
        QTest::newRow("fixed drive") << false << disc << disc << false;
        QTest::newRow("another point") << true << disc << QStringLiteral("/media/user") << false;
        QTest::newRow("a folder below") << true << disc << disc + QStringLiteral("/sub") << false;
    }
    void canEject()
    {
        QFETCH(bool, ejectable);
        QFETCH(QString, mounted);
        QFETCH(QString, asked);
        QFETCH(bool, expected);
        m_service.addDrive(QStringLiteral("DVD"), ejectable);
        m_service.addFilesystem(QStringLiteral("sr0"), QStringLiteral("DVD"), {mounted});
        const auto client = listedClient();
        QVERIFY(client);
        QVERIFY(client->isListed());
        QCOMPARE(client->canEject(asked), expected);
    }

    // Every mounted file system of the drive goes before the drive ejects; a refusal stops
    // the chain and is told.
    void ejectChain_data()
    {
        QTest::addColumn<QString>("refused");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QString>("error");
        QTest::newRow("ejected") << QString()
                                 << QStringList {"Unmount sdb1", "Unmount sdb2", "Eject STICK"}
                                 << QString();
        QTest::newRow("unmount refused")
            << "Unmount" << QStringList {"Unmount sdb1"} << "target is busy";
        QTest::newRow("eject refused")
            << "Eject" << QStringList {"Unmount sdb1", "Unmount sdb2", "Eject STICK"}
            << "target is busy";
    }
    void ejectChain()
    {
        QFETCH(QString, refused);
        QFETCH(QStringList, calls);
        QFETCH(QString, error);
        m_service.addDrive(QStringLiteral("STICK"), true);
        m_service.addDrive(QStringLiteral("OTHER"), true);
        m_service.addFilesystem(QStringLiteral("sdb1"), QStringLiteral("STICK"), {"/media/a"});
        m_service.addFilesystem(QStringLiteral("sdb2"), QStringLiteral("STICK"), {"/media/b"});
        m_service.addFilesystem(QStringLiteral("sdc1"), QStringLiteral("OTHER"), {"/media/c"});
        if (!refused.isEmpty())
            m_service.refuse.insert(refused, QStringLiteral("target is busy"));
        const auto client = listedClient();
        QVERIFY(client);
        QCOMPARE(ejectAt(*client, QStringLiteral("/media/b")), error);
        QCOMPARE(m_service.calls, calls);
    }

    void notEjectableIsNotCalled()
    {
        m_service.addDrive(QStringLiteral("HDD"), false);
        m_service.addFilesystem(QStringLiteral("sda1"), QStringLiteral("HDD"), {"/data"});
        const auto client = listedClient();
        QVERIFY(client);
        QVERIFY(!ejectAt(*client, QStringLiteral("/data")).isEmpty());
        QVERIFY(m_service.calls.isEmpty());
    }

    // A disc coming is seen without asking: the service's signal lists the objects again.
    void arrivalIsFollowed()
    {
        const auto client = listedClient();
        QVERIFY(client);
        QVERIFY(!client->canEject(QStringLiteral("/media/new")));
        m_service.addDrive(QStringLiteral("DVD"), true);
        m_service.addFilesystem(QStringLiteral("sr0"), QStringLiteral("DVD"), {"/media/new"});
        QSignalSpy listed(client.get(), &UDisksClient::listed);
        m_service.announce();
        QVERIFY(listed.wait(5000));
        QVERIFY(client->canEject(QStringLiteral("/media/new")));
    }
};

QTEST_GUILESS_MAIN(TestUDisks)
#include "tst_udisks.moc"
