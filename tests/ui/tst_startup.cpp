#include "admin/FileNameEdit.h"
#include "admin/uInstall.h"
#include "browser/uMain.h"
#include "disk/uEdtDisk.h"
#include "platform/SettingsStore.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/TestCatalogue.h"
#include "tests/support/Typing.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// Program start, the connection command and the settings it keeps, through the real window.
class TestStartup : public QObject
{
    Q_OBJECT

private:
    const QString section = QStringLiteral("Software\\Brenk\\Kodra");
    std::unique_ptr<TestCatalogue> m_cat;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<RecordingPrompt> m_prompt;

    // A store that has been saved before, pointing at the test catalogue.
    void writeConnection(const QString &databaseName)
    {
        m_store->writeString(section, QStringLiteral("NormPos"), QStringLiteral("10,10,706,490"));
        m_store->writeString(section, QStringLiteral("DataBaseName"), databaseName);
        m_store->writeString(section, QStringLiteral("UserName"), QStringLiteral("KODRA"));
        m_store->writeString(section, QStringLiteral("UserPass"), QStringLiteral("TARLO"));
    }
    std::unique_ptr<TfMain> start()
    {
        auto w = std::make_unique<TfMain>(m_store.get());
        QSignalSpy finished(w.get(), &TfMain::startupFinished);
        w->show();
        if (finished.isEmpty())
            finished.wait(30000);
        return w;
    }
    // Acts on the next modal dialog once it is up (dialogs run their own event loop).
    void whenModal(const std::function<void(QWidget *)> &act)
    {
        auto *timer = new QTimer(this);
        timer->setInterval(10);
        connect(timer, &QTimer::timeout, this, [timer, act] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                timer->stop();
                timer->deleteLater();
                act(modal);
            }
        });
        timer->start();
    }
    static int currentKey(QueryDataSet &ds, const char *field)
    {
        return ds.fieldByName(QString::fromLatin1(field)).asInteger();
    }

private Q_SLOTS:
    void init()
    {
        m_cat = std::make_unique<TestCatalogue>(TestCatalogue::Folders::None);
        QVERIFY2(m_cat->isValid(), qPrintable(m_cat->error()));
        m_cat->exec({
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(1001, 'A', 0)"),
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(1002, 'B', 0)"),
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(1003, 'Empty', 0)"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                           "(2001, 1001, 1, 'a1', 1)"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                           "(2002, 1002, 1, 'b1', 1)"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                           "(2003, 1002, 1, 'b2', 2)"),
        });
        m_dir = std::make_unique<QTemporaryDir>();
        m_store = std::make_unique<SettingsStore>(m_dir->filePath(QStringLiteral("Kodra.ini")));
        m_prompt = std::make_unique<RecordingPrompt>();
    }
    void cleanup()
    {
        m_prompt.reset();
        m_store.reset();
    }

    // A clean store belongs to a first run: the installation dialog opens, not a connection.
    void cleanStoreOpensInstallation()
    {
        QString shownDialog;
        whenModal([&shownDialog](QWidget *modal) {
            shownDialog = QString::fromLatin1(modal->metaObject()->className());
            static_cast<QDialog *>(modal)->reject();
        });
        auto w = start();
        QCOMPARE(shownDialog, QStringLiteral("TfInstall"));
        QVERIFY(!w->data().DefDatabase().isConnected());
        QVERIFY(m_prompt->shown.isEmpty());
        QCOMPARE(w->aConnect->text(), QStringLiteral("Соединение"));
        // The defaults are in memory: the program's folder, KODRA, TARLO.
        QCOMPARE(w->settings().databaseName,
                 QLatin1Char('"') + QCoreApplication::applicationDirPath()
                     + QStringLiteral("/kodra_my.gdb\""));
        QCOMPARE(w->settings().userName, QStringLiteral("KODRA"));
        QCOMPARE(w->settings().userPass, QStringLiteral("TARLO"));
    }

    // A new user's first day: "Создать новую пустую базу" and OK connect, and the settings are
    // saved at once; the catalogue's own folder is current and takes a disk through the real
    // editor (Insert, a name, Ctrl+O); the next start connects.
    void firstRunCreatesCatalogueAndNextStartConnects()
    {
        const QString path = m_dir->filePath(QStringLiteral("Мои диски/kodra_my.gdb"));
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        whenModal([&path](QWidget *modal) {
            auto *install = qobject_cast<TfInstall *>(modal);
            QVERIFY(install);
            install->eDatabaseName->setText(QLatin1Char('"') + path + QLatin1Char('"'));
            install->bCreateClearClick();
            install->bOKClick();
        });
        {
            auto w = start();
            QVERIFY(w->data().DefDatabase().isConnected());
            QVERIFY(w->data().dtDisk().isOpen());
            QCOMPARE(w->data().dtFolder().fieldByName(QStringLiteral("FFOLDER")).asString(),
                     TestCatalogue::startFolderName());
            QCOMPARE(m_prompt->shown.size(), 1);
            QCOMPARE(m_prompt->shown.first().caption, QStringLiteral("База создана"));
            // On disk already, before any close: a program that dies now connects next time.
            const SettingsStore saved(m_store->fileName());
            QVERIFY(!saved.readString(section, QStringLiteral("NormPos"), {}).isEmpty());
            QCOMPARE(saved.readString(section, QStringLiteral("DataBaseName"), {}),
                     QLatin1Char('"') + path + QLatin1Char('"'));

            QVERIFY(w->aAddDisk->isEnabled());
            whenModal([](QWidget *modal) {
                auto *editor = qobject_cast<TfEdtDisk *>(modal);
                QVERIFY(editor);
                // Ctrl+O is the editor's shortcut: it works once the editor is the active window.
                QVERIFY(MainWindowFixture::activate(editor));
                auto *name = editor->findChild<DBEdit *>(QStringLiteral("eNAME"));
                QVERIFY(name);
                // Shortcuts reach the active window only.
                MainWindowFixture::activate(editor);
                name->setFocus();
                typeText(name, QStringLiteral("Первый диск"));
                QTest::keyClick(name, Qt::Key_O, Qt::ControlModifier);
                // A test that fails here must not leave the editor waiting for a user.
                if (editor->isVisible())
                    editor->reject();
            });
            QVERIFY(MainWindowFixture::activate(w.get()));
            QTest::keyClick(w->DBGridEh1, Qt::Key_Insert);
            QVERIFY(!QApplication::activeModalWidget());
            QCOMPARE(m_prompt->shown.size(), 1);
            QCOMPARE(w->data().dtDisk().fieldByName(QStringLiteral("FNAME")).asString(),
                     QStringLiteral("Первый диск"));
            QCOMPARE(TestCatalogue::rowsIn(path,
                                           QStringLiteral("select d.FNAME, f.FFOLDER from "
                                                          "TDISK d join TFOLDER f on "
                                                          "f.FFOLDERID = d.FFOLDERID")),
                     QList<QVariantList>(
                         {{QStringLiteral("Первый диск"), TestCatalogue::startFolderName()}}));
            w->close();
        }
        QVERIFY(QFileInfo::exists(path));
        QVERIFY(!m_store->readString(section, QStringLiteral("NormPos"), {}).isEmpty());
        m_prompt->shown.clear();
        auto again = start();
        QVERIFY(m_prompt->shown.isEmpty());
        QVERIFY(again->data().DefDatabase().isConnected());
        QCOMPARE(again->data().DefDatabase().databaseName(), path);
    }

    // A newcomer presses Enter (OK) before any catalogue exists: the program offers to make the
    // one the dialog names; Да makes it and connects, Нет leaves the dialog open.
    void okBeforeAnyCatalogueOffersToMakeIt_data()
    {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::newRow("Да") << QMessageBox::Yes;
        QTest::newRow("Нет") << QMessageBox::No;
    }
    void okBeforeAnyCatalogueOffersToMakeIt()
    {
        QFETCH(QMessageBox::StandardButton, answer);
        const QString path = m_dir->filePath(QStringLiteral("Мои диски/kodra_my.gdb"));
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        // A first run (no layout saved); only the place of the catalogue is set, so that it is
        // made in the test's folder and not beside the test program.
        m_store->writeString(section, QStringLiteral("DataBaseName"),
                             QLatin1Char('"') + path + QLatin1Char('"'));
        bool stayedOpen = false;
        whenModal([this, answer, &stayedOpen](QWidget *modal) {
            auto *install = qobject_cast<TfInstall *>(modal);
            QVERIFY(install);
            QVERIFY(MainWindowFixture::activate(install));
            m_prompt->answers << answer;
            QTest::keyClick(install->focusWidget() ? install->focusWidget() : install,
                            Qt::Key_Return);
            stayedOpen = install->isVisible();
            if (stayedOpen)
                install->reject();
        });
        auto w = start();
        QVERIFY(!m_prompt->shown.isEmpty());
        const RecordingPrompt::Shown question = m_prompt->shown.first();
        QCOMPARE(question.text,
                 QStringLiteral("Базы данных ещё нет: %1. Создать новую пустую базу?").arg(path));
        QCOMPARE(question.icon, QMessageBox::Question);
        QCOMPARE(question.buttons, QMessageBox::Yes | QMessageBox::No);
        if (answer == QMessageBox::No) {
            QVERIFY(stayedOpen);
            QCOMPARE(m_prompt->shown.size(), 1);
            QVERIFY(!QFileInfo::exists(path));
            QVERIFY(!w->data().DefDatabase().isConnected());
            return;
        }
        QVERIFY(!stayedOpen);
        QCOMPARE(m_prompt->shown.size(), 2);
        QCOMPARE(m_prompt->shown.at(1).caption, QStringLiteral("База создана"));
        QVERIFY(w->data().DefDatabase().isConnected());
        QCOMPARE(w->data().DefDatabase().databaseName(), path);
        QCOMPARE(w->data().dtFolder().fieldByName(QStringLiteral("FFOLDER")).asString(),
                 TestCatalogue::startFolderName());
        // The disk list takes a disk: Insert opens the disk editor.
        QString editor;
        whenModal([&editor](QWidget *modal) {
            editor = QString::fromLatin1(modal->metaObject()->className());
            static_cast<QDialog *>(modal)->reject();
        });
        QVERIFY(MainWindowFixture::activate(w.get()));
        QTest::keyClick(w->DBGridEh1, Qt::Key_Insert);
        QCOMPARE(editor, QStringLiteral("TfEdtDisk"));
        QCOMPARE(m_prompt->shown.size(), 2);
    }

    // A catalogue made before the disk list had an index of its own gets it on connecting; the
    // list keeps its rows and their order (no number first, then by number and name).
    void olderCatalogueGetsTheDiskOrderIndex()
    {
        const QString indexCount = QStringLiteral(
            "select count(*) from RDB$INDICES where RDB$INDEX_NAME = 'IX_TDISK_FOLDER_ORDER'");
        QCOMPARE(m_cat->scalar(indexCount).toInt(), 1);
        m_cat->exec({QStringLiteral("drop index IX_TDISK_FOLDER_ORDER"),
                     QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) "
                                    "values (2004, 1002, 1, 'b0', null)"),
                     QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) "
                                    "values (2005, 1002, 1, 'Ба', 2)"),
                     QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) "
                                    "values (2006, 1002, 1, 'аб', 2)")});
        QCOMPARE(m_cat->scalar(indexCount).toInt(), 0);
        writeConnection(m_cat->path());
        m_store->writeInteger(section, QStringLiteral("FolderID"), 1002);
        auto w = start();
        QVERIFY(m_prompt->shown.isEmpty());
        QCOMPARE(m_cat->scalar(indexCount).toInt(), 1);
        QueryDataSet &disks = w->data().dtDisk();
        QStringList names;
        for (disks.first(); !disks.eof(); disks.next())
            names << disks.fieldByName(QStringLiteral("FNAME")).asString();
        QCOMPARE(names, QStringList({"b0", "b1", "b2", "аб", "Ба"}));
    }

    void normPosOnlyConnectsWithDefaults()
    {
        m_store->writeString(section, QStringLiteral("NormPos"), QStringLiteral("10,10,706,490"));
        auto w = start();
        const Connection &db = w->data().DefDatabase();
        QCOMPARE(db.databaseName(),
                 QCoreApplication::applicationDirPath() + QStringLiteral("/kodra_my.gdb"));
        QCOMPARE(const_cast<Connection &>(db).params(),
                 QStringList({QStringLiteral("USER_NAME=KODRA"), QStringLiteral("PASSWORD=TARLO"),
                              QStringLiteral("lc_ctype=UTF8")}));
    }

    void quotedAndUnquotedPathsOpenTheSameFile_data()
    {
        QTest::addColumn<bool>("quoted");
        QTest::newRow("quoted") << true;
        QTest::newRow("plain") << false;
    }
    void quotedAndUnquotedPathsOpenTheSameFile()
    {
        QFETCH(bool, quoted);
        writeConnection(quoted ? QLatin1Char('"') + m_cat->path() + QLatin1Char('"')
                               : m_cat->path());
        auto w = start();
        QVERIFY(m_prompt->shown.isEmpty());
        QVERIFY(w->data().DefDatabase().isConnected());
        QCOMPARE(w->data().DefDatabase().databaseName(), m_cat->path());
        QVERIFY(w->data().dtFolder().isOpen());
        QVERIFY(w->data().dtDisk().isOpen());
        QCOMPARE(w->aConnect->text(), QStringLiteral("Соединение есть"));
        QVERIFY(w->aConnect->isChecked());
        // Connecting while connected disconnects.
        w->aConnect->trigger();
        QVERIFY(!w->data().DefDatabase().isConnected());
        QCOMPARE(w->aConnect->text(), QStringLiteral("Соединения нет"));
        QVERIFY(!w->aConnect->isChecked());
    }

    void otherVersionIsRefused_data()
    {
        QTest::addColumn<QString>("version");
        QTest::newRow("trailing blank") << "1.0 ";
        QTest::newRow("trailing zero") << "1.00";
        QTest::newRow("empty") << "";
        QTest::newRow("newer") << "2.0";
    }
    void otherVersionIsRefused()
    {
        QFETCH(QString, version);
        m_cat->exec({QStringLiteral("alter procedure GETVERSION returns (VERSION varchar(10)) as "
                                    "begin VERSION = '%1'; end")
                         .arg(version)});
        writeConnection(m_cat->path());
        auto w = start();
        QCOMPARE(m_prompt->shown.size(), 1);
        const auto &box = m_prompt->shown.first();
        QCOMPARE(box.text,
                 QStringLiteral("Версия указанной базы данных ") + version
                     + QStringLiteral(" не поддерживается данным клиентом !"));
        QCOMPARE(box.caption, QStringLiteral("Не соответствуют версии !"));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(w->data().DefDatabase().isConnected());
        QVERIFY(!w->data().dtFolder().isOpen());
        QVERIFY(!w->data().dtDisk().isOpen());
        w->aConnectExecute();
        QVERIFY(!w->data().DefDatabase().isConnected());
    }

    void storedFolderAndDiskAreFound_data()
    {
        QTest::addColumn<QString>("folderId");
        QTest::addColumn<QString>("diskId");
        QTest::addColumn<int>("folder");
        QTest::addColumn<int>("disk");
        QTest::newRow("both found") << "1002"
                                    << "2003" << 1002 << 2003;
        QTest::newRow("disk gone") << "1002"
                                   << "9999" << 1002 << 2002;
        QTest::newRow("folder gone") << "9999"
                                     << "2003" << 1001 << 2001;
        QTest::newRow("not numbers") << "abc"
                                     << "" << 1001 << 2001;
        QTest::newRow("missing") << QString() << QString() << 1001 << 2001;
    }
    void storedFolderAndDiskAreFound()
    {
        QFETCH(QString, folderId);
        QFETCH(QString, diskId);
        QFETCH(int, folder);
        QFETCH(int, disk);
        writeConnection(m_cat->path());
        if (!folderId.isNull())
            m_store->writeString(section, QStringLiteral("FolderID"), folderId);
        if (!diskId.isNull())
            m_store->writeString(section, QStringLiteral("DiskID"), diskId);
        auto w = start();
        QVERIFY(m_prompt->shown.isEmpty());
        QCOMPARE(currentKey(w->data().dtFolder(), "FFOLDERID"), folder);
        QCOMPARE(currentKey(w->data().dtDisk(), "FDISKID"), disk);
    }

    void savingKeepsOrWritesTheLists()
    {
        writeConnection(m_cat->path());
        m_store->writeString(section, QStringLiteral("FolderID"), QStringLiteral("1002"));
        m_store->writeString(section, QStringLiteral("DiskID"), QStringLiteral("2003"));
        auto w = start();
        // Connected: an empty folder saves DiskID 0.
        w->data().dtFolder().locate(QStringLiteral("FFOLDERID"), 1003);
        w->aSaveSetupExecute();
        QCOMPARE(m_store->readString(section, QStringLiteral("FolderID"), {}),
                 QStringLiteral("1003"));
        QCOMPARE(m_store->readString(section, QStringLiteral("DiskID"), {}), QStringLiteral("0"));
        // Not connected: the stored keys stay as they were.
        w->data().dtFolder().locate(QStringLiteral("FFOLDERID"), 1002);
        w->aSaveSetupExecute();
        w->aConnectExecute();
        QVERIFY(!w->data().DefDatabase().isConnected());
        m_store->writeString(section, QStringLiteral("DiskID"), QStringLiteral("2003"));
        w->settings().userName = QStringLiteral("SOMEONE");
        w->aSaveSetupExecute();
        QCOMPARE(m_store->readString(section, QStringLiteral("FolderID"), {}),
                 QStringLiteral("1002"));
        QCOMPARE(m_store->readString(section, QStringLiteral("DiskID"), {}),
                 QStringLiteral("2003"));
        QCOMPARE(m_store->readString(section, QStringLiteral("username"), {}),
                 QStringLiteral("SOMEONE"));
        QVERIFY(m_store->contains(section, QStringLiteral("DatabaseName")));
        QVERIFY(m_store->contains(section, QStringLiteral("DatabaseBackup")));
        QVERIFY(m_store->contains(section, QStringLiteral("CD")));
    }

    void closingSavesAndCommits()
    {
        writeConnection(m_cat->path());
        auto w = start();
        w->data().dtFolder().locate(QStringLiteral("FFOLDERID"), 1002);
        w->data().dtDisk().edit();
        w->data().dtDisk().fieldByName(QStringLiteral("FCOMMENT")).setString(QStringLiteral("x"));
        w->data().dtDisk().post();
        w->aExit->trigger();
        QVERIFY(!w->isVisible());
        QCOMPARE(m_store->readString(section, QStringLiteral("FolderID"), {}),
                 QStringLiteral("1002"));
        w.reset();
        QCOMPARE(m_cat->scalar(QStringLiteral("select FCOMMENT from TDISK where FDISKID=2002"))
                     .toString(),
                 QStringLiteral("x"));
    }

    // Each says in Russian what to do; the engine's own words are in the box's details.
    void badCatalogueShowsServerTextAndStaysUsable_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("sentence");
        QTest::newRow("missing file")
            << "missing"
            << QStringLiteral("Файл базы не найден: %1. Создайте новую базу: База данных > "
                              "Создать новую.");
        QTest::newRow("not a database")
            << "garbage"
            << QStringLiteral("Файл %1 не является базой Kodra этой версии или повреждён. "
                              "Укажите другую базу (База данных > Настройки) или восстановите её "
                              "из резервной копии.");
    }
    void badCatalogueShowsServerTextAndStaysUsable()
    {
        QFETCH(QString, kind);
        QFETCH(QString, sentence);
        QString path = m_dir->filePath(QStringLiteral("nothere.gdb"));
        if (kind == QLatin1String("garbage")) {
            path = m_dir->filePath(QStringLiteral("garbage.gdb"));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(20000, 'x'));
        }
        writeConnection(path);
        auto w = start();
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.first().caption, QStringLiteral("Kodra"));
        QCOMPARE(m_prompt->shown.first().icon, QMessageBox::Critical);
        QCOMPARE(m_prompt->shown.first().text, sentence.arg(path));
        QVERIFY2(m_prompt->shown.first().details.contains(kind == QLatin1String("missing")
                                                              ? QStringLiteral("No such file")
                                                              : QStringLiteral("garbage.gdb")),
                 qPrintable(m_prompt->shown.first().details));
        QVERIFY(!w->data().DefDatabase().isConnected());
        QCOMPARE(w->aConnect->text(), QStringLiteral("Соединение"));
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        // The user corrects the path and connects.
        w->settings().databaseName = m_cat->path();
        w->aConnectExecute();
        QVERIFY(w->data().DefDatabase().isConnected());
        QVERIFY(w->data().dtDisk().isOpen());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
