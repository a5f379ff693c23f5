#include "admin/CatalogueService.h"
#include "admin/FileNameEdit.h"
#include "admin/uInstall.h"
#include "admin/uSetup.h"
#include "app/Catalogue.h"
#include "app/ConnectionSettings.h"
#include "browser/uMain.h"
#include "disk/ContentWriter.h"
#include "disk/DiskReader.h"
#include "disk/EditorReadWatch.h"
#include "platform/SettingsStore.h"
#include "store/DbError.h"
#include "store/ServiceManager.h"
#include "store/Statement.h"
#include "tests/support/CatalogueSample.h"
#include "tests/support/FixedVolumeSource.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/TestCatalogue.h"
#include "widgets/ErrorBox.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

// The shared mode: a Firebird server on 127.0.0.1, started by the test script with an
// administrator password of its own. The owner account is made through the installation
// dialog, the catalogue lives on the server, and backup and restore go through the server's
// service manager.
class TestServer : public QObject
{
    Q_OBJECT

private:
    QString m_host;
    QString m_adminPassword;
    QString m_control;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path; // the catalogue as the server sees it
    QString m_owner;
    QString m_ownerPassword;
    std::unique_ptr<Catalogue> m_data;
    ConnectionSettings m_settings;
    std::unique_ptr<RecordingPrompt> m_prompt;

    QString serverPath(const QString &path) const { return m_host + QLatin1Char(':') + path; }
    // False, with the server's text, when the catalogue cannot be opened.
    bool connectMain() { return CatalogueSample::connectMain(*m_data, m_settings); }
    QStringList snapshot() const
    {
        return CatalogueSample::snapshot(serverPath(m_path), m_settings.connectionParams());
    }
    bool control(const char *command)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(m_control, {QString::fromLatin1(command)});
        const bool ok = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit
            && p.exitCode() == 0;
        if (!ok)
            qWarning("%s %s: %s", qPrintable(m_control), command, p.readAll().constData());
        return ok;
    }
    // The installation dialog's fields for the test's owner and catalogue on the server.
    void fillOwner(TfInstall &dlg) const
    {
        dlg.eSYSPass->setText(m_adminPassword);
        dlg.eKodra->setText(m_owner);
        dlg.eKodraPass->setText(m_ownerPassword);
        dlg.eDatabaseName->setText(ConnectionSettings::quoted(serverPath(m_path)));
    }
    // Through the installation dialog, as a user would: the owner account, then the catalogue.
    // Callers check QTest::currentTestFailed() after it.
    void createOwnerAndCatalogue()
    {
        TfInstall dlg(*m_data, m_settings);
        fillOwner(dlg);
        dlg.bCreateUserClick();
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.first().text, QStringLiteral("Владелец базы успешно создан."));
        QCOMPARE(m_prompt->shown.first().caption, QStringLiteral("Владелец создан"));
        QCOMPARE(m_settings.userName, m_owner);
        QCOMPARE(m_settings.userPass, m_ownerPassword);
        dlg.bCreateClearClick();
        QCOMPARE(m_prompt->shown.size(), 2);
        QCOMPARE(m_prompt->shown.last().text,
                 QStringLiteral("ОК. Создание чистовой базы выполненно успешно."));
        dlg.bOKClick();
        QCOMPARE(m_settings.databaseName, ConnectionSettings::quoted(serverPath(m_path)));
        // The scratch database of the owner's grant is gone again.
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({QStringLiteral("shared kodra.gdb")}));
        m_prompt->shown.clear();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_host = qEnvironmentVariable("KODRA_TEST_SERVER");
        m_adminPassword = qEnvironmentVariable("KODRA_TEST_SYSDBA_PASSWORD");
        m_control = qEnvironmentVariable("KODRA_TEST_SERVER_CTL");
        if (m_host.isEmpty() || m_adminPassword.isEmpty())
            QSKIP("No Firebird server for the shared-mode tests: scripts/test.sh starts one on "
                  "127.0.0.1 with scripts/firebird-server.sh (package firebird3.0-server)");
        // A server that was announced has to answer.
        ServiceManager probe;
        try {
            probe.attach(m_host + QStringLiteral(":service_mgr"), QStringLiteral("SYSDBA"),
                         m_adminPassword);
        } catch (const DbError &e) {
            QFAIL(qPrintable(QStringLiteral("the test server does not answer: ") + e.text()));
        }
    }
    void cleanupTestCase()
    {
        // A test that stopped the server and failed before starting it again.
        if (!m_control.isEmpty() && !m_host.isEmpty())
            control("start");
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_path = m_dir->filePath(QStringLiteral("shared kodra.gdb"));
        m_owner = QStringLiteral("KODRA_%1").arg(QDateTime::currentMSecsSinceEpoch() % 100000000);
        m_ownerPassword = QStringLiteral("a long owner password 2024");
        m_settings.databaseName = ConnectionSettings::quoted(serverPath(m_path));
        m_settings.databaseBackup
            = ConnectionSettings::quoted(m_dir->filePath(QStringLiteral("shared kodra.fbk")));
        m_settings.userName = QStringLiteral("KODRA");
        m_settings.userPass = QStringLiteral("TARLO");
        m_settings.cd = QStringLiteral("D");
        m_data = std::make_unique<Catalogue>();
        m_prompt = std::make_unique<RecordingPrompt>();
    }
    void cleanup()
    {
        m_data.reset();
        m_prompt.reset();
        m_dir.reset();
    }

    void servicePathsOfAServerCatalogue()
    {
        QCOMPARE(ServiceManager::serviceName(serverPath(m_path)),
                 m_host + QStringLiteral(":service_mgr"));
        QCOMPARE(ServiceManager::serverPath(serverPath(m_path)), m_path);
        QCOMPARE(ServiceManager::serviceName(m_path), QStringLiteral("service_mgr"));
    }

    void ownerAndCatalogueThroughTheInstallationDialog()
    {
        createOwnerAndCatalogue();
        if (QTest::currentTestFailed())
            return;
        // The catalogue is the owner's, and the main connection opens it on the server.
        QVERIFY(connectMain());
        QCOMPARE(m_data->dtFolder().fieldByName(QStringLiteral("FFOLDER")).asString(),
                 TestCatalogue::startFolderName());
        m_data->spVer().execute();
        QCOMPARE(m_data->spVer().paramAsString(QStringLiteral("VERSION")), QStringLiteral("1.0"));
        Statement owner(m_data->DefDatabase());
        owner.prepare(QStringLiteral("select MON$OWNER from MON$DATABASE"));
        owner.execute();
        QVERIFY(owner.fetch());
        QCOMPARE(owner.value(0).toString().trimmed(), m_owner);
        owner.closeCursor();

        // The same account again: the server's refusal, the settings as they were.
        m_settings.userName = QStringLiteral("KODRA");
        TfInstall again(*m_data, m_settings);
        again.eSYSPass->setText(m_adminPassword);
        again.eKodra->setText(m_owner);
        again.eKodraPass->setText(QStringLiteral("other"));
        again.bCreateUserClick();
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.first().caption, QStringLiteral("Kodra"));
        QCOMPARE(m_prompt->shown.first().icon, QMessageBox::Critical);
        QVERIFY2(m_prompt->shown.first().text.contains(m_owner),
                 qPrintable(m_prompt->shown.first().text));
        QCOMPARE(m_settings.userName, QStringLiteral("KODRA"));
        QVERIFY(!m_data->DefDatabase().isConnected());
    }

    void ownerPasswordChange()
    {
        createOwnerAndCatalogue();
        if (QTest::currentTestFailed())
            return;
        const QString newPassword = QStringLiteral("an even longer new owner password");
        TfInstall dlg(*m_data, m_settings);
        dlg.eSYSPass->setText(m_adminPassword);
        dlg.eKodraPass->setText(newPassword);
        dlg.bChangeUserClick();
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.first().text,
                 QStringLiteral("Пароль базы успешно сменен на новый."));
        QCOMPARE(m_prompt->shown.first().caption, QStringLiteral("Пароль сменен"));
        QCOMPARE(m_settings.userPass, newPassword);
        QVERIFY(connectMain());
        QVERIFY(m_data->DefDatabase().isConnected());
        // The old password no longer opens the catalogue.
        Connection old;
        old.setDatabaseName(m_settings.databasePath());
        old.setParams({QStringLiteral("USER_NAME=") + m_owner,
                       QStringLiteral("PASSWORD=") + m_ownerPassword,
                       QStringLiteral("lc_ctype=UTF8")});
        QVERIFY_THROWS_EXCEPTION(DbError, old.open());
    }

    void wrongAdministratorPassword()
    {
        TfInstall dlg(*m_data, m_settings);
        dlg.eSYSPass->setText(m_adminPassword + QStringLiteral("-wrong"));
        dlg.eKodra->setText(m_owner);
        dlg.eKodraPass->setText(m_ownerPassword);
        dlg.eDatabaseName->setText(ConnectionSettings::quoted(serverPath(m_path)));
        dlg.bCreateUserClick();
        QCOMPARE(m_prompt->shown.size(), 1);
        const RecordingPrompt::Shown &box = m_prompt->shown.first();
        QCOMPARE(box.caption, QStringLiteral("Kodra"));
        QCOMPARE(box.icon, QMessageBox::Critical);
        qInfo("server's text: %s", qPrintable(box.text));
        QVERIFY(box.text.contains(QLatin1String("password")));
        QCOMPARE(m_settings.userName, QStringLiteral("KODRA"));
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        // The dialog goes on working: with the right password the owner is made.
        m_prompt->shown.clear();
        dlg.eSYSPass->setText(m_adminPassword);
        dlg.bCreateUserClick();
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.first().caption, QStringLiteral("Владелец создан"));
    }

    // The catalogue's folder is not there yet, so the grant's scratch database cannot be made
    // beside it; once the folder is made, the owner is created and may restore a catalogue.
    void ownerRetriedAfterAFailedGrant()
    {
        const QString folder = m_dir->filePath(QStringLiteral("made later"));
        m_path = folder + QStringLiteral("/shared kodra.gdb");
        TfInstall dlg(*m_data, m_settings);
        fillOwner(dlg);
        dlg.bCreateUserClick();
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.first().caption, QStringLiteral("Kodra"));
        QCOMPARE(m_prompt->shown.first().icon, QMessageBox::Critical);
        qInfo("server's text: %s", qPrintable(m_prompt->shown.first().text));
        QCOMPARE(m_settings.userName, QStringLiteral("KODRA"));

        m_prompt->shown.clear();
        QVERIFY(QDir().mkpath(folder));
        dlg.bCreateUserClick();
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.first().text, QStringLiteral("Владелец базы успешно создан."));
        QCOMPARE(m_settings.userName, m_owner);
        dlg.bCreateClearClick();
        QCOMPARE(m_prompt->shown.size(), 2);
        QCOMPARE(m_prompt->shown.last().text,
                 QStringLiteral("ОК. Создание чистовой базы выполненно успешно."));
        dlg.bOKClick();
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                 QStringList({QStringLiteral("shared kodra.gdb")}));
        QVERIFY(connectMain());
        m_data->spVer().execute();
        QCOMPARE(m_data->spVer().paramAsString(QStringLiteral("VERSION")), QStringLiteral("1.0"));
    }

    void ownerLeftWithoutTheRight_data()
    {
        QTest::addColumn<bool>("create");
        QTest::addColumn<QString>("report");
        // The server refuses the account it has, but the right is granted on the way.
        QTest::newRow("Создать владельца") << true << QString();
        QTest::newRow("Сменить пароль владельца")
            << false << QStringLiteral("Пароль базы успешно сменен на новый.");
    }

    // The account as an attempt whose grant failed left it: added, without the right to
    // create databases. Either owner button puts the right back.
    void ownerLeftWithoutTheRight()
    {
        QFETCH(bool, create);
        QFETCH(QString, report);
        {
            ServiceManager admin;
            admin.attach(m_host + QStringLiteral(":service_mgr"), QStringLiteral("SYSDBA"),
                         m_adminPassword);
            admin.start(ServiceManager::addUserRequest(m_owner, m_ownerPassword));
            admin.waitForFinish();
        }
        m_settings.userName = m_owner;
        m_settings.userPass = m_ownerPassword;
        TfInstall dlg(*m_data, m_settings);
        fillOwner(dlg);
        // Without the right the restore is refused.
        dlg.bCreateClearClick();
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.first().icon, QMessageBox::Critical);
        qInfo("server's text: %s", qPrintable(m_prompt->shown.first().text));
        QVERIFY(!QFileInfo::exists(m_path));

        m_prompt->shown.clear();
        if (create)
            dlg.bCreateUserClick();
        else
            dlg.bChangeUserClick();
        QCOMPARE(m_prompt->shown.size(), 1);
        if (report.isEmpty()) {
            QCOMPARE(m_prompt->shown.first().icon, QMessageBox::Critical);
            QVERIFY2(m_prompt->shown.first().text.contains(m_owner),
                     qPrintable(m_prompt->shown.first().text));
        } else {
            QCOMPARE(m_prompt->shown.first().text, report);
        }
        m_prompt->shown.clear();
        dlg.bCreateClearClick();
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.first().text,
                 QStringLiteral("ОК. Создание чистовой базы выполненно успешно."));
        dlg.bOKClick();
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({QStringLiteral("shared kodra.gdb")}));
        QVERIFY(connectMain());
    }

    void twoConnectionsSeeEachOthersCommittedWork()
    {
        createOwnerAndCatalogue();
        if (QTest::currentTestFailed())
            return;
        Connection first;
        Connection second;
        for (Connection *c : {&first, &second}) {
            c->setDatabaseName(m_settings.databasePath());
            c->setParams(m_settings.connectionParams());
            c->open();
        }
        // The second keeps a dataset open, and with it its transaction, as the main window's
        // lookup lists do.
        QueryDataSet held(second, QStringLiteral("dtHeld"));
        held.setSelectSql({QStringLiteral("select * from TMAN")});
        held.open();
        QueryDataSet folders(second, QStringLiteral("dtFolders"));
        // Beside the folder every catalogue starts with.
        folders.setSelectSql({QStringLiteral("select * from TFOLDER where FFOLDERID <> %1")
                                  .arg(TestCatalogue::startFolderId)});
        folders.open();
        QVERIFY(folders.isEmpty());
        folders.close();

        first.transaction().start();
        {
            Statement insert(first);
            insert.prepare(QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER) values (:ID, "
                                          ":NAME)"));
            insert.setParam(QStringLiteral("ID"), 777);
            insert.setParam(QStringLiteral("NAME"), QStringLiteral("Общая папка"));
            insert.execute();
        }
        first.transaction().commit();

        // Not before the second connects again: it reads the catalogue as its transaction began.
        folders.open();
        QVERIFY(folders.isEmpty());
        folders.close();
        held.close();
        second.close();
        second.open();
        folders.open();
        QVERIFY(!folders.isEmpty());
        QCOMPARE(folders.fieldByName(QStringLiteral("FFOLDER")).asString(),
                 QStringLiteral("Общая папка"));
        folders.close();
        second.close();
        first.close();
    }

    // A read on one workstation while another draws keys: the read's keys ascend in writing
    // order and none of them is the other workstation's.
    void readBesideAnotherWorkstation()
    {
        createOwnerAndCatalogue();
        if (QTest::currentTestFailed())
            return;
        QTemporaryDir drive;
        QVERIFY(drive.isValid());
        for (int d = 0; d < 5; ++d) {
            const QString folder = drive.filePath(QStringLiteral("Папка %1").arg(d));
            QVERIFY(QDir().mkpath(folder));
            for (int f = 0; f < 40; ++f) {
                QFile file(folder + QStringLiteral("/файл %1.txt").arg(f));
                QVERIFY(file.open(QIODevice::WriteOnly));
                QCOMPARE(file.write(QByteArray(f, 'x')), qint64(f));
            }
        }
        FixedVolumeSource volumes;
        volumes.volumes.insert(drive.path(),
                               {QStringLiteral("SHARED"), QStringLiteral("0A0B0C0D"), 1 << 20});

        Connection other;
        other.setDatabaseName(m_settings.databasePath());
        other.setParams(m_settings.connectionParams());
        other.open();
        other.transaction().start();
        {
            Statement disk(other);
            disk.prepare(QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME) "
                                        "values (5001, %1, 1, 'Общий диск')")
                             .arg(TestCatalogue::startFolderId));
            disk.execute();
        }
        other.transaction().commit();
        QVERIFY(connectMain());
        QVERIFY(m_data->dtDisk().locate(QStringLiteral("FDISKID"), 5001));

        ContentWriter dtContent(m_data->DefDatabase(), m_data->spNextID(),
                                QStringLiteral("dtContent"));
        EditorReadWatch watch(nullptr);
        DiskReader reader(*m_data, dtContent, watch);
        QList<int> otherKeys;
        const auto drawing = connect(&reader, &DiskReader::entryWritten, this, [&](qint64 entries) {
            if (entries % 50 != 0)
                return;
            other.transaction().start();
            Statement nextId(other);
            nextId.prepare(QStringLiteral("execute procedure GETNEXTID"));
            nextId.execute();
            otherKeys << nextId.value(0).toInt();
            other.transaction().commit();
        });
        try {
            QCOMPARE(reader.read(drive.path(), DiskReader::Mode::Replace),
                     DiskReader::Outcome::Read);
        } catch (const DbError &e) {
            QFAIL(qPrintable(e.text()));
        }
        QCOMPARE(otherKeys.size(), 4);

        other.transaction().start();
        QList<int> keys;
        QHash<int, int> ownerOf;
        {
            Statement rows(other);
            rows.prepare(QStringLiteral("select FCONTENTID, FOWNCONTENTID from TCONTENT where "
                                        "FDISKID = 5001 order by FCONTENTID"));
            rows.execute();
            while (rows.fetch()) {
                keys << rows.value(0).toInt();
                ownerOf.insert(keys.last(), rows.value(1).toInt());
            }
        }
        other.transaction().commit();
        other.close();
        QCOMPARE(keys.size(), 1 + 5 + 200);
        for (const int key : otherKeys)
            QVERIFY2(!keys.contains(key), qPrintable(QString::number(key)));
        // The root entry first, and every entry after its folder.
        QCOMPARE(ownerOf.value(keys.first()), 0);
        for (const int key : keys.mid(1))
            QVERIFY(ownerOf.value(key) < key && keys.contains(ownerOf.value(key)));
        QCOMPARE(m_data->dtDisk().fieldByName(QStringLiteral("FFILES")).asInteger(), 200);

        // Read again in place: the stored entries come through an attachment of their own to
        // the server; every entry keeps its key, the root entry takes a new one.
        disconnect(drawing);
        try {
            QCOMPARE(reader.read(drive.path(), DiskReader::Mode::Replace),
                     DiskReader::Outcome::Read);
        } catch (const DbError &e) {
            QFAIL(qPrintable(e.text()));
        }
        QList<int> again;
        {
            Statement rows(m_data->DefDatabase());
            rows.prepare(QStringLiteral("select FCONTENTID from TCONTENT where FDISKID = 5001 and "
                                        "FOWNCONTENTID is not null order by FCONTENTID"));
            rows.execute();
            while (rows.fetch())
                again << rows.value(0).toInt();
        }
        QCOMPARE(again, keys.mid(1));
    }

    void aFetchStopsOnTheServer()
    {
        createOwnerAndCatalogue();
        if (QTest::currentTestFailed())
            return;
        Connection db;
        db.setDatabaseName(m_settings.databasePath());
        db.setParams(m_settings.connectionParams());
        db.open();
        db.transaction().start();
        // Minutes of counting on the server before the first row; stopped after 100 ms.
        Statement slow(db);
        bool waited = false;
        slow.setFetchWait([&waited](QThread &worker, const std::function<void()> &stop) {
            waited = true;
            QEventLoop loop;
            QObject::connect(&worker, &QThread::finished, &loop, &QEventLoop::quit);
            QTimer::singleShot(100, &loop, stop);
            if (!worker.isFinished())
                loop.exec();
        });
        slow.prepare(QStringLiteral("execute block returns (N integer) as declare i integer = 0; "
                                    "begin while (i < 2000000000) do i = i + 1; N = i; suspend; "
                                    "end"));
        QElapsedTimer clock;
        clock.start();
        slow.execute();
        QVERIFY(!slow.fetch());
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(waited);
        QVERIFY(slow.wasStopped());
        // The connection goes on: no cancel is left over for the next statement.
        Statement next(db);
        next.prepare(QStringLiteral("select count(*) from TFOLDER"));
        next.execute();
        QVERIFY(next.fetch());
        QCOMPARE(next.value(0).toInt(), 1);
        db.transaction().commit();
        db.close();
    }

    void backupAndRestoreThroughTheServersServiceManager()
    {
        createOwnerAndCatalogue();
        if (QTest::currentTestFailed())
            return;
        CatalogueSample::exec(m_settings.databasePath(), m_settings.connectionParams(),
                              CatalogueSample::rows());
        const QStringList atBackup = snapshot();
        QVERIFY(connectMain());
        TfSetup dlg(*m_data, m_settings);
        QSignalSpy output(&dlg.service(), &CatalogueService::output);
        dlg.bBackupClick();
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.first().text,
                 QStringLiteral("ОК. Резервное копирование выполненно успешно."));
        QVERIFY(!m_data->DefDatabase().isConnected());
        // The server wrote the file (this machine is the server).
        QVERIFY(QFileInfo::exists(m_dir->filePath(QStringLiteral("shared kodra.fbk"))));
        QVERIFY(!output.isEmpty());

        CatalogueSample::exec(
            m_settings.databasePath(), m_settings.connectionParams(),
            {QStringLiteral("delete from TGIVE"),
             QStringLiteral("delete from TDISK where FDISKID=302"),
             QStringLiteral("update TFOLDER set FFOLDER='x' where FFOLDERID=201")});
        QVERIFY(snapshot() != atBackup);
        m_prompt->shown.clear();
        dlg.bRestoreClick();
        // The catalogue on the server exists: one question, then the report.
        QCOMPARE(m_prompt->shown.size(), 2);
        QCOMPARE(m_prompt->shown.first().text,
                 QStringLiteral("Файл базы существует. Перезаписать при восстановлении ?"));
        QCOMPARE(m_prompt->shown.last().text,
                 QStringLiteral("ОК. Восстановление из резервной копии выполнено успешно."));
        QCOMPARE(snapshot(), atBackup);
        QVERIFY(connectMain());
        QVERIFY(!m_data->dtFolder().isEmpty());
    }

    void backupWithAWrongOwnerPassword()
    {
        createOwnerAndCatalogue();
        if (QTest::currentTestFailed())
            return;
        const QStringList before = snapshot();
        m_settings.userPass = QStringLiteral("not the password");
        TfSetup dlg(*m_data, m_settings);
        dlg.bBackupClick();
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.first().caption, QStringLiteral("Kodra"));
        QCOMPARE(m_prompt->shown.first().icon, QMessageBox::Critical);
        qInfo("server's text: %s", qPrintable(m_prompt->shown.first().text));
        QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("shared kodra.fbk"))));
        m_settings.userPass = m_ownerPassword;
        QCOMPARE(snapshot(), before);
    }

    void serverStoppedMidSession()
    {
        if (m_control.isEmpty())
            QSKIP("KODRA_TEST_SERVER_CTL is not set: the server cannot be stopped and started");
        createOwnerAndCatalogue();
        if (QTest::currentTestFailed())
            return;
        CatalogueSample::exec(m_settings.databasePath(), m_settings.connectionParams(),
                              CatalogueSample::rows());
        // The program as a user starts it, connected to the catalogue on the server.
        QTemporaryDir storeDir;
        SettingsStore store(storeDir.filePath(QStringLiteral("Kodra.ini")));
        m_settings.write(store);
        store.writeString(ConnectionSettings::section, QStringLiteral("NormPos"),
                          QStringLiteral("10,10,706,490"));
        TfMain w(&store);
        QSignalSpy started(&w, &TfMain::startupFinished);
        w.show();
        QVERIFY(started.wait(30000));
        QVERIFY(w.data().DefDatabase().isConnected());
        QVERIFY(m_prompt->shown.isEmpty());

        QVERIFY(control("stop"));
        // The next command that needs the server gets its text in the error box.
        w.data().dtFolder().close();
        const bool ok = runCommand(&w, [&w] { w.data().dtFolder().open(); });
        QVERIFY(!ok);
        QVERIFY(!m_prompt->shown.isEmpty());
        QCOMPARE(m_prompt->shown.last().caption, QStringLiteral("Kodra"));
        QCOMPARE(m_prompt->shown.last().icon, QMessageBox::Critical);
        qInfo("server's text: %s", qPrintable(m_prompt->shown.last().text));
        // Disconnecting works whatever the server says.
        w.aConnectExecute();
        QVERIFY(!w.data().DefDatabase().isConnected());

        QVERIFY(control("start"));
        m_prompt->shown.clear();
        w.aConnectExecute();
        QVERIFY(m_prompt->shown.isEmpty());
        QVERIFY(w.data().DefDatabase().isConnected());
        QVERIFY(w.data().dtFolder().isOpen());
        QVERIFY(!w.data().dtFolder().isEmpty());
        w.aConnectExecute();
    }
};

QTEST_MAIN(TestServer)
#include "tst_server.moc"
