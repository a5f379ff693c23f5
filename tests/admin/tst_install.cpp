#include "admin/CatalogueService.h"
#include "admin/FileNameEdit.h"
#include "admin/uInstall.h"
#include "app/Catalogue.h"
#include "app/ConnectionSettings.h"
#include "platform/SettingsStore.h"
#include "store/DbError.h"
#include "store/Statement.h"
#include "tests/support/CatalogueSample.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/ScriptedFilePicker.h"
#include "tests/support/TestCatalogue.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

// The installation dialog on the embedded engine: its fields, the new empty catalogue from the
// template, the owner buttons' checks, and a new user's first run. Creating owner accounts on
// a server is in tst_server.
class TestInstall : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;
    QString m_db;
    std::unique_ptr<Catalogue> m_data;
    ConnectionSettings m_settings;
    std::unique_ptr<RecordingPrompt> m_prompt;
    std::unique_ptr<ScriptedFilePicker> m_picker;

    static QString quoted(const QString &path) { return ConnectionSettings::quoted(path); }
    // False, with the server's text, when the catalogue cannot be opened.
    bool connectMain() { return CatalogueSample::connectMain(*m_data, m_settings); }
    QString versionOf(const QString &path) const
    {
        Connection c;
        c.setDatabaseName(path);
        c.setParams(m_settings.connectionParams());
        c.open();
        c.transaction().start();
        QString version;
        {
            Statement stmt(c);
            stmt.prepare(QStringLiteral("execute procedure GETVERSION"));
            stmt.execute();
            version = stmt.value(0).toString();
        }
        c.close();
        return version;
    }
    void expectOneBox(const QString &text, const QString &caption, QMessageBox::Icon icon,
                      QMessageBox::StandardButtons buttons)
    {
        QCOMPARE(m_prompt->shown.size(), 1);
        const RecordingPrompt::Shown &box = m_prompt->shown.first();
        QCOMPARE(box.text, text);
        QCOMPARE(box.caption, caption);
        QCOMPARE(box.icon, icon);
        QCOMPARE(box.buttons, buttons);
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_folder = m_dir->filePath(QStringLiteral("мои каталоги"));
        QVERIFY(QDir().mkpath(m_folder));
        m_db = m_folder + QStringLiteral("/kodra my.gdb");
        m_settings.databaseName = quoted(m_db);
        m_settings.databaseBackup = quoted(m_folder + QStringLiteral("/kodra my.fbk"));
        m_settings.userName = QStringLiteral("KODRA");
        m_settings.userPass = QStringLiteral("TARLO");
        m_settings.cd = QStringLiteral("D");
        m_data = std::make_unique<Catalogue>();
        m_prompt = std::make_unique<RecordingPrompt>();
        m_picker = std::make_unique<ScriptedFilePicker>();
    }
    void cleanup()
    {
        m_data.reset();
        m_picker.reset();
        m_prompt.reset();
        m_dir.reset();
    }

    void showsItsFields()
    {
        TfInstall dlg(*m_data, m_settings);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Установка новой базы"));
        QCOMPARE(dlg.minimumSize(), QSize(455, 234));
        QCOMPARE(dlg.maximumSize(), QSize(455, 234));
        QStringList labels;
        QStringList bold;
        for (const QLabel *label : dlg.findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
            labels << label->text();
            if (label->font().bold())
                bold << label->text();
        }
        QCOMPARE(bold,
                 QStringList({QStringLiteral("1. Создание владельца базы"),
                              QStringLiteral("2. Создание чистовой базы")}));
        for (const char *text :
             {"Имя администратора:", "Пароль:", "Имя владельца базы:", "Местоположение базы:"})
            QVERIFY2(labels.contains(QString::fromUtf8(text)), text);
        QCOMPARE(labels.count(QStringLiteral("Пароль:")), 2);
        QCOMPARE(dlg.eSYSDBA->text(), QStringLiteral("SYSDBA"));
        QCOMPARE(dlg.eSYSPass->text(), QStringLiteral("bluefjord"));
        QCOMPARE(dlg.eSYSPass->echoMode(), QLineEdit::Password);
        QCOMPARE(dlg.eKodra->text(), m_settings.userName);
        QCOMPARE(dlg.eKodraPass->text(), m_settings.userPass);
        QCOMPARE(dlg.eKodraPass->echoMode(), QLineEdit::Password);
        QCOMPARE(dlg.eDatabaseName->text(), quoted(m_db));
        QCOMPARE(dlg.bCreateUser->text(), QStringLiteral("Создать владельца"));
        QCOMPARE(dlg.bChangeUser->text(), QStringLiteral("Сменить пароль владельца"));
        QCOMPARE(dlg.bCreateClear->text(), QStringLiteral("Создать новую пустую базу"));
        QCOMPARE(dlg.bOK->text(), QStringLiteral("OK"));
        QVERIFY(dlg.bOK->isDefault());
        QCOMPARE(dlg.bCancel->text(), QStringLiteral("Отмена"));
    }

    void pickerAcceptsANewFile()
    {
        TfInstall dlg(*m_data, m_settings);
        const QString picked = m_folder + QStringLiteral("/новый каталог.gdb");
        m_picker->answers << picked;
        QTest::mouseClick(dlg.eDatabaseName->browseButton(), Qt::LeftButton);
        QCOMPARE(m_picker->requests.size(), 1);
        const FilePickRequest &request = m_picker->requests.first();
        QCOMPARE(request.folder, m_folder);
        QCOMPARE(request.filter, QStringLiteral("Файл базы данных (*.gdb)|*.gdb"));
        QCOMPARE(request.defaultExtension, QStringLiteral("*.gdb"));
        QCOMPARE(request.mode, FilePickRequest::Mode::FileInExistingFolder);
        QCOMPARE(dlg.eDatabaseName->text(), quoted(picked));
    }

    void administratorPasswordOfAnyLength()
    {
        TfInstall dlg(*m_data, m_settings);
        dlg.show();
        const QString password = QStringLiteral("a long passphrase of the administrator, 2024");
        dlg.eSYSPass->clear();
        QTest::keyClicks(dlg.eSYSPass, password);
        QCOMPARE(dlg.eSYSPass->text(), password);
    }

    void emptyAdministratorPassword_data()
    {
        QTest::addColumn<bool>("create");
        QTest::addColumn<QString>("text");
        QTest::newRow("create the owner")
            << true
            << "Не указан пароль администратора базы. Только администратор может создать "
               "владельца базы.";
        QTest::newRow("change the owner's password")
            << false
            << "Не указан пароль администратора базы. Только администратор может менять пароль "
               "пользователя.";
    }
    void emptyAdministratorPassword()
    {
        QFETCH(bool, create);
        QFETCH(QString, text);
        QCOMPARE(TestCatalogue::restore(TestCatalogue::templatePath(), m_db), QString());
        QVERIFY(connectMain());
        TfInstall dlg(*m_data, m_settings);
        dlg.eSYSPass->clear();
        dlg.eKodra->setText(QStringLiteral("NEWOWNER"));
        if (create)
            dlg.bCreateUserClick();
        else
            dlg.bChangeUserClick();
        expectOneBox(text, QStringLiteral("Не указан пароль"), QMessageBox::NoIcon,
                     QMessageBox::Ok);
        QVERIFY(m_data->DefDatabase().isConnected());
        QCOMPARE(m_settings.userName, QStringLiteral("KODRA"));
    }

    void ownerNameRefusedBeforeAnyRequest_data()
    {
        QTest::addColumn<bool>("create");
        QTest::addColumn<QString>("owner");
        QTest::newRow("create: name with a blank") << true << "KODRA OWNER";
        QTest::newRow("create: empty name") << true << "";
        QTest::newRow("change: empty name") << false << "";
    }
    void ownerNameRefusedBeforeAnyRequest()
    {
        QFETCH(bool, create);
        QFETCH(QString, owner);
        TfInstall dlg(*m_data, m_settings);
        dlg.eKodra->setText(owner);
        dlg.eKodraPass->setText(QStringLiteral("secret"));
        if (create)
            dlg.bCreateUserClick();
        else
            dlg.bChangeUserClick();
        expectOneBox(QStringLiteral("start Parameters missing or incorrect."),
                     QStringLiteral("Kodra"), QMessageBox::Critical, QMessageBox::Ok);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(m_settings.userName, QStringLiteral("KODRA"));
        QCOMPARE(m_settings.userPass, QStringLiteral("TARLO"));
    }

    void createTheEmptyCatalogue_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::newRow("no file yet") << false << QMessageBox::NoButton;
        QTest::newRow("over a catalogue, OK") << true << QMessageBox::Ok;
        QTest::newRow("over a catalogue, Cancel") << true << QMessageBox::Cancel;
    }
    void createTheEmptyCatalogue()
    {
        QFETCH(bool, existing);
        QFETCH(QMessageBox::StandardButton, answer);
        if (existing) {
            QCOMPARE(TestCatalogue::restore(TestCatalogue::templatePath(), m_db), QString());
            CatalogueSample::exec(m_db, m_settings.connectionParams(), CatalogueSample::rows());
            QVERIFY(connectMain());
        }
        const QStringList before = existing
            ? CatalogueSample::snapshot(m_db, m_settings.connectionParams())
            : QStringList();
        TfInstall dlg(*m_data, m_settings);
        if (answer != QMessageBox::NoButton)
            m_prompt->answers << answer;
        dlg.bCreateClearClick();

        const QString done = QStringLiteral("ОК. Создание чистовой базы выполненно успешно.");
        if (existing) {
            QCOMPARE(m_prompt->shown.first().text,
                     QStringLiteral("Файл базы существует. Перезаписать чистовой базой ?"));
            QCOMPARE(m_prompt->shown.first().caption, QStringLiteral("Перезаписать ?"));
            QCOMPARE(m_prompt->shown.first().icon, QMessageBox::Warning);
            QCOMPARE(m_prompt->shown.first().buttons, QMessageBox::Ok | QMessageBox::Cancel);
            m_prompt->shown.removeFirst();
        }
        if (answer == QMessageBox::Cancel) {
            QVERIFY(m_prompt->shown.isEmpty());
            QVERIFY(m_data->DefDatabase().isConnected());
            QCOMPARE(CatalogueSample::snapshot(m_db, m_settings.connectionParams()), before);
            return;
        }
        expectOneBox(done, QStringLiteral("База создана"), QMessageBox::NoIcon, QMessageBox::Ok);
        QVERIFY(!m_data->DefDatabase().isConnected());
        // The restore has finished when the message shows: OK connects to a whole catalogue.
        dlg.bOKClick();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(connectMain());
        // One folder to put disks in, current at once.
        QCOMPARE(m_data->dtFolder().fieldByName(QStringLiteral("FFOLDER")).asString(),
                 TestCatalogue::startFolderName());
        QCOMPARE(versionOf(m_db), QStringLiteral("1.0"));
        const QStringList rows = CatalogueSample::snapshot(m_db, m_settings.connectionParams());
        QCOMPARE(rows.filter(QStringLiteral("TFOLDER:")).size(), 1);
        QCOMPARE(rows.filter(QStringLiteral("TDISK:")).size(), 0);
        QCOMPARE(rows.filter(QStringLiteral("TMAN:")).size(), 1);
        QVERIFY(!QFileInfo::exists(CatalogueService::restoringFile(m_db)));
    }

    void messagesBeforeCreating_data()
    {
        QTest::addColumn<bool>("missingTemplate");
        QTest::addColumn<QString>("databaseText");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("caption");
        QTest::newRow("no template")
            << true << "\"%D\""
            << "Файл \"kodra.fbk\" чистовой базы не обнаружен. Неоткуда восстанавливать."
            << "Нет файла";
        QTest::newRow("empty database field") << false << ""
                                              << "Не указано имя файла базы данных"
                                              << "Нет файла базы";
    }
    void messagesBeforeCreating()
    {
        QFETCH(bool, missingTemplate);
        QFETCH(QString, databaseText);
        QFETCH(QString, text);
        QFETCH(QString, caption);
        QCOMPARE(TestCatalogue::restore(TestCatalogue::templatePath(), m_db), QString());
        QVERIFY(connectMain());
        TfInstall dlg(*m_data, m_settings);
        if (missingTemplate)
            dlg.setTemplatePath(m_folder + QStringLiteral("/Kodra.fbk"));
        dlg.eDatabaseName->setText(databaseText.replace(QStringLiteral("%D"), m_db));
        dlg.bCreateClearClick();
        expectOneBox(text, caption, QMessageBox::Warning, QMessageBox::Ok);
        QVERIFY(m_data->DefDatabase().isConnected());
    }

    void templateLiesBesideTheProgram()
    {
        QCOMPARE(TfInstall::defaultTemplatePath(),
                 QCoreApplication::applicationDirPath() + QStringLiteral("/Kodra.fbk"));
        QVERIFY(QFileInfo::exists(TfInstall::defaultTemplatePath()));
    }

    void createRestoresUnderTheStoredOwner()
    {
        TfInstall dlg(*m_data, m_settings);
        // Typed, but neither owner button pressed: the stored account is used.
        dlg.eKodra->setText(QStringLiteral("SOMEONE_ELSE"));
        dlg.eKodraPass->setText(QStringLiteral("other"));
        dlg.bCreateClearClick();
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.first().caption, QStringLiteral("База создана"));
        Connection c;
        c.setDatabaseName(m_db);
        c.setParams(m_settings.connectionParams());
        c.open();
        c.transaction().start();
        QString owner;
        {
            Statement stmt(c);
            // The catalogue's owner is the account that restored it.
            stmt.prepare(QStringLiteral("select MON$OWNER from MON$DATABASE"));
            stmt.execute();
            QVERIFY(stmt.fetch());
            owner = stmt.value(0).toString().trimmed();
        }
        c.close();
        QCOMPARE(owner, m_settings.userName);
        QCOMPARE(m_settings.userName, QStringLiteral("KODRA"));
    }

    void failedCreateKeepsTheOldCatalogue()
    {
        QCOMPARE(TestCatalogue::restore(TestCatalogue::templatePath(), m_db), QString());
        CatalogueSample::exec(m_db, m_settings.connectionParams(), CatalogueSample::rows());
        const QStringList before = CatalogueSample::snapshot(m_db, m_settings.connectionParams());
        QFile full(TestCatalogue::templatePath());
        QVERIFY(full.open(QIODevice::ReadOnly));
        const QString broken = m_folder + QStringLiteral("/Kodra.fbk");
        QFile out(broken);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(full.readAll().left(int(full.size() / 3)));
        out.close();
        TfInstall dlg(*m_data, m_settings);
        dlg.setTemplatePath(broken);
        dlg.bCreateClearClick();
        QCOMPARE(m_prompt->shown.size(), 2);
        QCOMPARE(m_prompt->shown.last().caption, QStringLiteral("Kodra"));
        QCOMPARE(m_prompt->shown.last().icon, QMessageBox::Critical);
        QCOMPARE(CatalogueSample::snapshot(m_db, m_settings.connectionParams()), before);
        QVERIFY(!QFileInfo::exists(CatalogueService::restoringFile(m_db)));
        QVERIFY(connectMain());
        QVERIFY(!m_data->dtFolder().isEmpty());
    }

    void okStoresTheFieldsAndCancelDoesNot_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::newRow("OK") << true;
        QTest::newRow("Отмена") << false;
    }
    void okStoresTheFieldsAndCancelDoesNot()
    {
        QFETCH(bool, ok);
        const ConnectionSettings before = m_settings;
        TfInstall dlg(*m_data, m_settings);
        dlg.eKodra->setText(QStringLiteral("OWNER2"));
        dlg.eKodraPass->setText(QStringLiteral("a password longer than eight"));
        // An existing file: OK only stores the fields.
        const QString other = m_folder + QStringLiteral("/other.gdb");
        QFile file(other);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        dlg.eDatabaseName->setText(other);
        (ok ? dlg.bOK : dlg.bCancel)->click();
        QCOMPARE(dlg.result(), int(ok ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(m_settings.userName, ok ? QStringLiteral("OWNER2") : before.userName);
        QCOMPARE(m_settings.userPass,
                 ok ? QStringLiteral("a password longer than eight") : before.userPass);
        QCOMPARE(m_settings.databaseName, ok ? other : before.databaseName);
        QCOMPARE(m_settings.databaseBackup, before.databaseBackup);
        QVERIFY(m_prompt->shown.isEmpty());
    }

    // OK on a local catalogue that does not exist asks to make it; a server's path and an
    // existing file are taken as they are.
    void okOnACatalogueNotMadeYet_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<bool>("templatePresent");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<bool>("accepted");
        const QString question = QStringLiteral("Установка новой базы");
        QTest::newRow("server") << "server" << QMessageBox::NoButton << true << QStringList()
                                << true;
        QTest::newRow("Нет") << "local" << QMessageBox::No << true << QStringList {question}
                             << false;
        QTest::newRow("Да") << "local" << QMessageBox::Yes << true
                            << QStringList {question, QStringLiteral("База создана")} << true;
        QTest::newRow("Да, no template")
            << "local" << QMessageBox::Yes << false
            << QStringList {question, QStringLiteral("Нет файла")} << false;
    }
    void okOnACatalogueNotMadeYet()
    {
        QFETCH(QString, where);
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(bool, templatePresent);
        QFETCH(QStringList, captions);
        QFETCH(bool, accepted);
        const QString path
            = where == QLatin1String("server") ? QStringLiteral("otherhost:/srv/kodra.gdb") : m_db;
        const QString before = m_settings.databaseName;
        TfInstall dlg(*m_data, m_settings);
        if (!templatePresent)
            dlg.setTemplatePath(m_dir->filePath(QStringLiteral("none.fbk")));
        dlg.eDatabaseName->setText(quoted(path));
        if (answer != QMessageBox::NoButton)
            m_prompt->answers << answer;
        dlg.bOKClick();

        QStringList shownCaptions;
        for (const RecordingPrompt::Shown &box : std::as_const(m_prompt->shown))
            shownCaptions << box.caption;
        QCOMPARE(shownCaptions, captions);
        if (!captions.isEmpty()) {
            const RecordingPrompt::Shown &asked = m_prompt->shown.first();
            QCOMPARE(
                asked.text,
                QStringLiteral("Базы данных ещё нет: %1. Создать новую пустую базу?").arg(m_db));
            QCOMPARE(asked.icon, QMessageBox::Question);
            QCOMPARE(asked.buttons, QMessageBox::Yes | QMessageBox::No);
        }
        QCOMPARE(dlg.result(), int(accepted ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(m_settings.databaseName, accepted ? quoted(path) : before);
        if (where == QLatin1String("local")) {
            QCOMPARE(QFileInfo::exists(m_db), accepted);
            if (accepted) {
                QVERIFY(connectMain());
                QCOMPARE(versionOf(m_db), QStringLiteral("1.0"));
            }
        }
    }

    void firstRunOnACleanStore()
    {
        // The settings a first run has in memory: the defaults of an empty store.
        const SettingsStore store(m_dir->filePath(QStringLiteral("Kodra.ini")));
        QVERIFY(store.isEmpty());
        m_settings = ConnectionSettings::read(store);
        TfInstall shown(*m_data, m_settings);
        QCOMPARE(shown.eKodra->text(), QStringLiteral("KODRA"));
        QCOMPARE(shown.eDatabaseName->text(),
                 quoted(ConnectionSettings::defaultFolder() + QStringLiteral("kodra_my.gdb")));

        // "Создать новую пустую базу", then OK; the main window then connects.
        m_settings.databaseName = quoted(m_db);
        TfInstall dlg(*m_data, m_settings);
        dlg.bCreateClearClick();
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.first().caption, QStringLiteral("База создана"));
        dlg.bOKClick();
        QVERIFY(!m_data->DefDatabase().isConnected());
        QVERIFY(connectMain());
        QVERIFY(m_data->DefDatabase().isConnected());
        QVERIFY(m_data->dtDisk().isOpen());
        QCOMPARE(versionOf(m_db), QStringLiteral("1.0"));
    }
};

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
