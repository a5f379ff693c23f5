#include "app/ConnectionSettings.h"
#include "disk/DrivePicker.h"
#include "disk/uEdtDisk.h"
#include "platform/SettingsStore.h"
#include "platform/UDisksClient.h"
#include "tests/support/FakeUDisks.h"
#include "tests/support/FixedVolumeSource.h"
#include "tests/support/FixtureTree.h"
#include "tests/support/MainWindowFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QDBusMessage>
#include <QTemporaryDir>
#include <QTest>

// "Извлечь" in the disk editor against a stand-in disk service: the disc goes out after a read
// that ran to its end, only where the service can eject the drive, and the choice is kept.
class TestEject : public QObject
{
    Q_OBJECT

private:
    FakeUDisks m_service;
    QTemporaryDir m_drive;
    std::unique_ptr<MainWindowFixture> m_f;
    std::unique_ptr<FixedVolumeSource> m_volumes;

    std::unique_ptr<TfEdtDisk> editor()
    {
        m_f = std::make_unique<MainWindowFixture>();
        m_volumes = std::make_unique<FixedVolumeSource>();
        m_volumes->volumes.insert(m_drive.path(),
                                  {QStringLiteral("DISC"), QStringLiteral("1234-ABCD"), 1 << 20});
        const QString error = m_f->start({QStringLiteral(
            "insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values (2001, 1001, 1, "
            "'Disc', 1)")});
        if (!error.isEmpty() || !m_f->locateDisk(2001)) {
            qWarning("%s", qPrintable(error));
            return nullptr;
        }
        auto editor = m_f->openEditor();
        editor->eDriveCD->setDrive(m_drive.path());
        // The service's first answer has come once the box shows.
        if (!QTest::qWaitFor([&] { return editor->cbEject->isVisibleTo(editor.get()); }, 5000))
            return nullptr;
        return editor;
    }

    // Every call the editor sent the service has been handled once the service answers this.
    static bool settled()
    {
        const QDBusMessage ping
            = QDBusMessage::createMethodCall(UDisksClient::service, UDisksClient::root,
                                             QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                             QStringLiteral("GetManagedObjects"));
        return QDBusConnection::systemBus().call(ping, QDBus::BlockWithGui, 5000).type()
            == QDBusMessage::ReplyMessage;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_drive.isValid());
        QVERIFY(FixtureTree::writeFile(QFile::encodeName(m_drive.path() + "/track01.cda"), "x"));
        const QString error = m_service.start();
        if (!error.isEmpty())
            QSKIP(qPrintable(error));
    }
    void init()
    {
        m_service.clear();
        m_service.addDrive(QStringLiteral("DVD"), true);
        m_service.addFilesystem(QStringLiteral("sr0"), QStringLiteral("DVD"), {m_drive.path()});
    }
    void cleanup()
    {
        m_f.reset();
        m_volumes.reset();
    }

    void ejectAfterRead_data()
    {
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<int>("messages");
        QTest::newRow("checked") << true << QString() << QStringList {"Unmount sr0", "Eject DVD"}
                                 << 0;
        QTest::newRow("not checked") << false << QString() << QStringList() << 0;
        QTest::newRow("refused") << true << QStringLiteral("Device is busy")
                                 << QStringList {"Unmount sr0"} << 1;
    }
    void ejectAfterRead()
    {
        QFETCH(bool, checked);
        QFETCH(QString, refusal);
        QFETCH(QStringList, calls);
        QFETCH(int, messages);
        if (!refusal.isEmpty())
            m_service.refuse.insert(QStringLiteral("Unmount"), refusal);
        auto edit = editor();
        QVERIFY(edit);
        QVERIFY(edit->cbEject->isEnabled());
        edit->cbEject->setChecked(!checked);
        edit->cbEject->setChecked(checked);
        // The choice is kept for the next editor.
        QCOMPARE(m_f->store().readBool(ConnectionSettings::section,
                                       QStringLiteral("EjectAfterRead"), !checked),
                 checked);
        edit->aReadExecute();
        QVERIFY(settled());
        QTRY_COMPARE(m_service.calls, calls);
        QTRY_COMPARE(m_f->prompt().shown.size(), messages);
        if (messages) {
            QVERIFY(m_f->prompt().shown.first().text.contains(m_drive.path()));
            QCOMPARE(m_f->prompt().shown.first().details, refusal);
        }
        QCOMPARE(m_f->catalogue()
                     .scalar(QStringLiteral("select count(*) from TCONTENT where FDISKID = 2001"))
                     .toInt(),
                 2);
    }

    // A folder or a drive the service cannot eject leaves the box unusable and nothing asked.
    void onlyWhereTheDriveEjects()
    {
        m_service.clear();
        m_service.addDrive(QStringLiteral("HDD"), false);
        m_service.addFilesystem(QStringLiteral("sda1"), QStringLiteral("HDD"), {m_drive.path()});
        auto edit = editor();
        QVERIFY(edit);
        QVERIFY(!edit->cbEject->isEnabled());
        edit->cbEject->setChecked(true);
        edit->aReadExecute();
        QVERIFY(settled());
        QVERIFY(m_service.calls.isEmpty());
    }
};

QTEST_MAIN(TestEject)
#include "tst_eject.moc"
