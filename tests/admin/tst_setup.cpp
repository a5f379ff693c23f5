#include "admin/CatalogueService.h"
#include "admin/FileNameEdit.h"
#include "admin/ServiceProgress.h"
#include "admin/uSetup.h"
#include "app/Catalogue.h"
#include "app/ConnectionSettings.h"
#include "store/Connection.h"
#include "store/DbError.h"
#include "store/Statement.h"
#include "store/Transaction.h"
#include "tests/support/CatalogueSample.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/ScriptedFilePicker.h"
#include "tests/support/TestCatalogue.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <unistd.h>

// The settings dialog on real catalogues in a folder whose name has blanks: its fields and
// pickers, backup and restore through the embedded engine's service manager, their questions,
// messages and faults.
class TestSetup : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;
    QString m_db;
    QString m_backup;
    std::unique_ptr<Catalogue> m_data;
    ConnectionSettings m_settings;
    std::unique_ptr<RecordingPrompt> m_prompt;
    std::unique_ptr<ScriptedFilePicker> m_picker;

    static QString quoted(const QString &path) { return ConnectionSettings::quoted(path); }
    // What the main window does on connecting, with the in-memory settings.
    // False, with the server's text, when the catalogue cannot be opened.
    bool connectMain() { return CatalogueSample::connectMain(*m_data, m_settings); }
    QStringList snapshot(const QString &path) const
    {
        return CatalogueSample::snapshot(path, m_settings.connectionParams());
    }
    static QByteArray hashOf(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1);
    }
    // Which catalogue the main window has open: a restore makes a new one with a creation time
    // of its own. The file's bytes are no witness: the engine writes to an open catalogue on its
    // own (its header and garbage collection), whatever the dialog did.
    QString catalogueStamp()
    {
        Connection &db = m_data->DefDatabase();
        if (!db.isConnected())
            return {};
        if (!db.transaction().isActive())
            db.transaction().start();
        Statement s(db);
        s.prepare(QStringLiteral("select MON$CREATION_DATE from MON$DATABASE"));
        s.execute();
        const QString stamp
            = s.fetch() ? s.value(0).toDateTime().toString(Qt::ISODateWithMs) : QString();
        s.closeCursor();
        return stamp;
    }
    QString makeBackup()
    {
        TfSetup dlg(*m_data, m_settings);
        dlg.bBackupClick();
        m_prompt->shown.clear();
        return QFileInfo::exists(m_backup) ? m_backup : QString();
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
        m_folder = m_dir->filePath(QStringLiteral("папка с пробелами"));
        QVERIFY(QDir().mkpath(m_folder));
        m_db = m_folder + QStringLiteral("/kodra base.gdb");
        m_backup = m_folder + QStringLiteral("/kodra base.fbk");
        const QString error = TestCatalogue::restore(TestCatalogue::templatePath(), m_db);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        m_settings.databaseName = quoted(m_db);
        m_settings.databaseBackup = quoted(m_backup);
        m_settings.userName = QStringLiteral("KODRA");
        m_settings.userPass = QStringLiteral("TARLO");
        m_settings.cd = QStringLiteral("D");
        CatalogueSample::exec(m_db, m_settings.connectionParams(), CatalogueSample::rows());
        m_data = std::make_unique<Catalogue>();
        QVERIFY(connectMain());
        m_prompt = std::make_unique<RecordingPrompt>();
        m_picker = std::make_unique<ScriptedFilePicker>();
    }
    void cleanup()
    {
        m_data.reset();
        m_picker.reset();
        m_prompt.reset();
        QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_dir.reset();
    }

    void showsTheStoredTexts()
    {
        TfSetup dlg(*m_data, m_settings);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Настройка"));
        QCOMPARE(dlg.eDatabaseName->text(), quoted(m_db));
        QCOMPARE(dlg.eDatabaseBackup->text(), quoted(m_backup));
        QCOMPARE(dlg.minimumSize(), QSize(455, 234));
        QCOMPARE(dlg.maximumSize(), QSize(455, 234));
        QStringList labels;
        const QList<QLabel *> own = dlg.findChildren<QLabel *>(Qt::FindDirectChildrenOnly);
        for (const QLabel *label : own)
            labels << label->text();
        QCOMPARE(labels,
                 QStringList({QStringLiteral("Настройка на базу данных"),
                              QStringLiteral("Координаты базы данных:"),
                              QStringLiteral("Резервная копия базы:")}));
        QVERIFY(own.first()->font().bold());
        QCOMPARE(dlg.bBackup->text(), QStringLiteral("Резервировать"));
        QCOMPARE(dlg.bBackup->toolTip(), QStringLiteral("Выполнить резервное копирование базы"));
        QCOMPARE(dlg.bRestore->text(), QStringLiteral("Восстановить"));
        QCOMPARE(dlg.bRestore->toolTip(), QStringLiteral("Восстановить из резервной копии"));
        QCOMPARE(dlg.bOK->text(), QStringLiteral("OK"));
        QVERIFY(dlg.bOK->isDefault());
        QCOMPARE(dlg.bCancel->text(), QStringLiteral("Отмена"));
    }

    void tabOrderAndKeys()
    {
        TfSetup dlg(*m_data, m_settings);
        dlg.show();
        QApplication::setActiveWindow(&dlg);
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        dlg.bOK->setFocus();
        const QList<QWidget *> expected {dlg.bCancel,
                                         dlg.eDatabaseName->lineEdit(),
                                         dlg.eDatabaseBackup->lineEdit(),
                                         dlg.bRestore,
                                         dlg.bBackup,
                                         dlg.bOK};
        for (QWidget *next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        // Enter runs OK, Escape cancels.
        dlg.eDatabaseBackup->setText(QStringLiteral("other.fbk"));
        QTest::keyClick(dlg.eDatabaseBackup->lineEdit(), Qt::Key_Escape);
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(m_settings.databaseBackup, quoted(m_backup));
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        dlg.eDatabaseBackup->lineEdit()->setFocus();
        QTest::keyClick(dlg.eDatabaseBackup->lineEdit(), Qt::Key_Return);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(m_settings.databaseBackup, QStringLiteral("other.fbk"));
    }

    void fileNameRule_data()
    {
        // %F stands for the test folder, whose name has blanks.
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("existing file with blanks, unquoted") << "%F/kodra base.gdb"
                                                             << "%F/kodra base.gdb";
        QTest::newRow("quoted") << "\"%F/kodra base.gdb\""
                                << "%F/kodra base.gdb";
        QTest::newRow("quoted, missing file") << "\"%F/nothing here.gdb\""
                                              << "%F/nothing here.gdb";
        QTest::newRow("unquoted, missing file, ends at the blank") << "/srv/nothing here.gdb"
                                                                   << "/srv/nothing";
        QTest::newRow("leading blanks, quote in the middle") << "  /a\"b c\"d e"
                                                             << "/ab cd";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("server path") << "server:/srv/kodra.gdb"
                                     << "server:/srv/kodra.gdb";
    }
    void fileNameRule()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        text.replace(QStringLiteral("%F"), m_folder);
        expected.replace(QStringLiteral("%F"), m_folder);
        QCOMPARE(FileNameEdit::fileNameOf(text), expected);
    }

    void pickers_data()
    {
        QTest::addColumn<bool>("database");
        QTest::addColumn<QString>("picked");
        QTest::addColumn<QString>("expectedText");
        QTest::newRow("database, path with a blank") << true << "/srv/my disks/k.gdb"
                                                     << "\"/srv/my disks/k.gdb\"";
        QTest::newRow("database, cancelled") << true << ""
                                             << "<unchanged>";
        QTest::newRow("backup, plain path") << false << "/srv/k.fbk"
                                            << "/srv/k.fbk";
        QTest::newRow("backup, cancelled") << false << ""
                                           << "<unchanged>";
    }
    void pickers()
    {
        QFETCH(bool, database);
        QFETCH(QString, picked);
        QFETCH(QString, expectedText);
        TfSetup dlg(*m_data, m_settings);
        FileNameEdit *field = database ? dlg.eDatabaseName : dlg.eDatabaseBackup;
        const QString before = field->text();
        m_picker->answers << picked;
        QTest::mouseClick(field->browseButton(), Qt::LeftButton);
        QCOMPARE(m_picker->requests.size(), 1);
        const FilePickRequest &request = m_picker->requests.first();
        QCOMPARE(request.folder, m_folder);
        if (database) {
            QCOMPARE(request.title, QString());
            QCOMPARE(request.filter, QStringLiteral("Файл базы данных (*.gdb)|*.gdb"));
            QCOMPARE(request.defaultExtension, QStringLiteral("*.gdb"));
            QCOMPARE(request.mode, FilePickRequest::Mode::ExistingFile);
        } else {
            QCOMPARE(request.title, QStringLiteral("Резервная копия"));
            QCOMPARE(request.filter,
                     QStringLiteral("Файл резервной копии (*.fbk)|*.fbk|Все файлы (*.*)|*.*"));
            QCOMPARE(request.defaultExtension, QStringLiteral("*.fbk"));
            QCOMPARE(request.mode, FilePickRequest::Mode::FileInExistingFolder);
        }
        QCOMPARE(field->text(),
                 expectedText == QLatin1String("<unchanged>") ? before : expectedText);
        QVERIFY(m_data->DefDatabase().isConnected());
    }

    void backupChangeRestoreReadsBackAsBackedUp()
    {
        const QStringList atBackup = snapshot(m_db);
        QVERIFY(atBackup.filter(QStringLiteral("TCONTENT:")).size() == 3);
        TfSetup dlg(*m_data, m_settings);
        QSignalSpy output(&dlg.service(), &CatalogueService::output);
        dlg.bBackupClick();
        expectOneBox(QStringLiteral("ОК. Резервное копирование выполненно успешно."),
                     QStringLiteral("Резервное копирование успешно"), QMessageBox::NoIcon,
                     QMessageBox::Ok);
        QVERIFY(QFileInfo::exists(m_backup));
        QVERIFY(!m_data->DefDatabase().isConnected());
        QVERIFY(!m_data->dtFolder().isOpen());
        QVERIFY(dlg.isEnabled());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        // The program followed the server's output to its end.
        QVERIFY(output.size() > 10);
        QVERIFY(output.last().first().toString().contains(QLatin1String("finishing")));

        CatalogueSample::exec(
            m_db, m_settings.connectionParams(),
            {QStringLiteral("delete from TGIVE"),
             QStringLiteral("delete from TDISK where FDISKID=302"),
             QStringLiteral("update TDISK set FNAME='Переименован' where FDISKID=301"),
             QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER) values (299, 'После')"),
             QStringLiteral("delete from TCONTENT where FCONTENTID=403"),
             QStringLiteral("alter sequence SQ_MAIN restart with 900")});
        QVERIFY(snapshot(m_db) != atBackup);
        QVERIFY(connectMain());

        m_prompt->shown.clear();
        dlg.bRestoreClick();
        QCOMPARE(m_prompt->shown.size(), 2);
        QCOMPARE(m_prompt->shown[0].text,
                 QStringLiteral("Файл базы существует. Перезаписать при восстановлении ?"));
        QCOMPARE(m_prompt->shown[0].caption, QStringLiteral("Перезаписать ?"));
        QCOMPARE(m_prompt->shown[0].icon, QMessageBox::Warning);
        QCOMPARE(m_prompt->shown[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(m_prompt->shown[1].text,
                 QStringLiteral("ОК. Восстановление из резервной копии выполнено успешно."));
        QCOMPARE(m_prompt->shown[1].caption, QStringLiteral("База восстановлена"));
        QCOMPARE(m_prompt->shown[1].icon, QMessageBox::NoIcon);
        QVERIFY(!m_data->DefDatabase().isConnected());

        QCOMPARE(snapshot(m_db), atBackup);
        QVERIFY(!QFileInfo::exists(CatalogueService::restoringFile(m_db)));
        // Closing with OK: the main window connects again.
        dlg.bOKClick();
        QVERIFY(connectMain());
        QCOMPARE(m_data->dtFolder().isEmpty(), false);
    }

    void progressShowsTheCurrentStep()
    {
        TfSetup dlg(*m_data, m_settings);
        dlg.show();
        dlg.progress().setMinimumDuration(0);
        QSignalSpy output(&dlg.service(), &CatalogueService::output);
        dlg.bBackupClick();
        QVERIFY(dlg.progress().appeared());
        QCOMPARE(dlg.progress().caption(), QStringLiteral("Резервное копирование базы"));
        // The last step shown is the server's last line, without the tool's prefix.
        QString last = output.last().first().toString();
        last = last.mid(last.indexOf(QLatin1Char(':')) + 1).trimmed();
        QCOMPARE(dlg.progress().step(), last);
        QVERIFY(!dlg.progress().isVisible());
    }

    void messages_data()
    {
        QTest::addColumn<bool>("backup");
        QTest::addColumn<QString>("databaseText");
        QTest::addColumn<QString>("backupText");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("caption");
        // %D the catalogue, %B the backup file, %T the template backup, all quoted.
        QTest::newRow("backup: no catalogue file") << true << "\"%F/nothing here.gdb\""
                                                   << "%B"
                                                   << "Файл базы не указан. Нечего резервировать."
                                                   << "Нет файла базы";
        QTest::newRow("backup: empty catalogue field")
            << true << ""
            << "%B"
            << "Файл базы не указан. Нечего резервировать."
            << "Нет файла базы";
        QTest::newRow("backup: empty backup field") << true << "%D"
                                                    << ""
                                                    << "Не указан файл резевной копии базы"
                                                    << "Нет файла резервной копии";
        QTest::newRow("restore: no backup file")
            << false << "%D"
            << "\"%F/nothing here.fbk\""
            << "Файл резервной копии не указан. Неоткуда восстанавливать."
            << "Нет файла резервной копии";
        QTest::newRow("restore: empty backup field")
            << false << "%D"
            << ""
            << "Файл резервной копии не указан. Неоткуда восстанавливать."
            << "Нет файла резервной копии";
        QTest::newRow("restore: empty catalogue field") << false << ""
                                                        << "%T"
                                                        << "Не указано имя файла базы данных"
                                                        << "Нет файла базы";
    }
    void messages()
    {
        QFETCH(bool, backup);
        QFETCH(QString, databaseText);
        QFETCH(QString, backupText);
        QFETCH(QString, text);
        QFETCH(QString, caption);
        auto expand = [this](QString s) {
            s.replace(QStringLiteral("%D"), quoted(m_db));
            s.replace(QStringLiteral("%B"), quoted(m_backup));
            s.replace(QStringLiteral("%T"), quoted(TestCatalogue::templatePath()));
            s.replace(QStringLiteral("%F"), m_folder);
            return s;
        };
        const QString before = catalogueStamp();
        QVERIFY(!before.isEmpty());
        TfSetup dlg(*m_data, m_settings);
        dlg.eDatabaseName->setText(expand(databaseText));
        dlg.eDatabaseBackup->setText(expand(backupText));
        if (backup)
            dlg.bBackupClick();
        else
            dlg.bRestoreClick();
        expectOneBox(text, caption, QMessageBox::Warning, QMessageBox::Ok);
        // Nothing else happened: the connection and its lists are still open.
        QVERIFY(m_data->DefDatabase().isConnected());
        QVERIFY(m_data->dtDisk().isOpen());
        QVERIFY(!QFileInfo::exists(m_backup));
        QCOMPARE(catalogueStamp(), before);
    }

    void overwriteQuestionCancelled_data()
    {
        QTest::addColumn<bool>("backup");
        QTest::newRow("backup over a backup file") << true;
        QTest::newRow("restore over the catalogue") << false;
    }
    void overwriteQuestionCancelled()
    {
        QFETCH(bool, backup);
        QVERIFY(!makeBackup().isEmpty());
        QVERIFY(connectMain());
        const QByteArray backupBefore = hashOf(m_backup);
        const QString databaseBefore = catalogueStamp();
        QVERIFY(!databaseBefore.isEmpty());
        TfSetup dlg(*m_data, m_settings);
        m_prompt->answers << QMessageBox::Cancel;
        if (backup)
            dlg.bBackupClick();
        else
            dlg.bRestoreClick();
        expectOneBox(backup ? QStringLiteral("Файл резервной копии существует. Перезаписать при "
                                             "резервировании ?")
                            : QStringLiteral("Файл базы существует. Перезаписать при "
                                             "восстановлении ?"),
                     QStringLiteral("Перезаписать ?"), QMessageBox::Warning,
                     QMessageBox::Ok | QMessageBox::Cancel);
        QVERIFY(m_data->DefDatabase().isConnected());
        QVERIFY(m_data->dtFolder().isOpen());
        QCOMPARE(hashOf(m_backup), backupBefore);
        QCOMPARE(catalogueStamp(), databaseBefore);
    }

    void restoreCreatesAnAbsentCatalogue()
    {
        const QString fresh = m_folder + QStringLiteral("/new catalogue.gdb");
        TfSetup dlg(*m_data, m_settings);
        dlg.eDatabaseName->setText(quoted(fresh));
        dlg.eDatabaseBackup->setText(quoted(TestCatalogue::templatePath()));
        dlg.bRestoreClick();
        // No question for a file that is not there.
        expectOneBox(QStringLiteral("ОК. Восстановление из резервной копии выполнено успешно."),
                     QStringLiteral("База восстановлена"), QMessageBox::NoIcon, QMessageBox::Ok);
        const QStringList rows = snapshot(fresh);
        // Only the folder a new catalogue starts with.
        QCOMPARE(rows.filter(QStringLiteral("TFOLDER:")).size(), 1);
        QCOMPARE(rows.filter(QStringLiteral("TTYPE:")).size(), 7);
    }

    void faultsLeaveTheCatalogueAndTheProgramUsable_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("backup into a missing folder") << "missing folder";
        QTest::newRow("backup into a read-only folder") << "read-only folder";
        QTest::newRow("restore of a truncated backup") << "truncated backup";
        QTest::newRow("restore of a file that is no backup") << "not a backup";
    }
    void faultsLeaveTheCatalogueAndTheProgramUsable()
    {
        QFETCH(QString, fault);
        const QStringList before = snapshot(m_db);
        TfSetup dlg(*m_data, m_settings);
        QString mentioned;
        bool backup = true;
        if (fault == QLatin1String("missing folder")) {
            mentioned = m_folder + QStringLiteral("/нет такой папки/k.fbk");
        } else if (fault == QLatin1String("read-only folder")) {
            const QString readOnly = m_folder + QStringLiteral("/только чтение");
            QVERIFY(QDir().mkpath(readOnly));
            QVERIFY(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner));
            // The superuser writes anywhere on a normal file system; /proc takes no files.
            mentioned = (::geteuid() == 0 ? QStringLiteral("/proc") : readOnly)
                + QStringLiteral("/k.fbk");
        } else {
            backup = false;
            QVERIFY(!makeBackup().isEmpty());
            QVERIFY(connectMain());
            QFile full(m_backup);
            QVERIFY(full.open(QIODevice::ReadOnly));
            const QByteArray bytes = full.readAll();
            mentioned = m_folder + QStringLiteral("/broken.fbk");
            QFile broken(mentioned);
            QVERIFY(broken.open(QIODevice::WriteOnly));
            broken.write(fault == QLatin1String("truncated backup") ? bytes.left(bytes.size() / 2)
                                                                    : QByteArray(4096, 'x'));
        }
        dlg.eDatabaseBackup->setText(quoted(mentioned));
        if (backup)
            dlg.bBackupClick();
        else
            dlg.bRestoreClick();

        // The server's text in the standard error box, and no success message.
        const QList<RecordingPrompt::Shown> boxes = m_prompt->shown;
        const RecordingPrompt::Shown &error = boxes.last();
        QCOMPARE(error.caption, QStringLiteral("Kodra"));
        QCOMPARE(error.icon, QMessageBox::Critical);
        QVERIFY2(!error.text.isEmpty(), qPrintable(error.text));
        QCOMPARE(boxes.size(), backup ? 1 : 2);
        qInfo("server's text: %s", qPrintable(error.text));
        if (backup)
            QVERIFY2(error.text.contains(mentioned), qPrintable(error.text));
        QVERIFY(dlg.isEnabled());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QVERIFY(!m_data->DefDatabase().isConnected());
        // The catalogue is as it was, nothing is left beside it, and the program goes on.
        QVERIFY(!QFileInfo::exists(CatalogueService::restoringFile(m_db)));
        QCOMPARE(snapshot(m_db), before);
        QVERIFY(connectMain());
        QVERIFY(m_data->dtDisk().isOpen());
    }

    void okReconnectsOnlyForAnotherCatalogue_data()
    {
        QTest::addColumn<bool>("changeDatabase");
        QTest::addColumn<bool>("changeBackup");
        QTest::newRow("nothing changed") << false << false;
        QTest::newRow("only the backup field") << false << true;
        QTest::newRow("the database field") << true << false;
    }
    void okReconnectsOnlyForAnotherCatalogue()
    {
        QFETCH(bool, changeDatabase);
        QFETCH(bool, changeBackup);
        const QString second = m_folder + QStringLiteral("/second one.gdb");
        QCOMPARE(TestCatalogue::restore(TestCatalogue::templatePath(), second), QString());
        TfSetup dlg(*m_data, m_settings);
        if (changeDatabase)
            dlg.eDatabaseName->setText(quoted(second));
        if (changeBackup)
            dlg.eDatabaseBackup->setText(quoted(m_folder + QStringLiteral("/other.fbk")));
        dlg.bOKClick();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(m_prompt->shown.isEmpty());
        QCOMPARE(m_data->DefDatabase().isConnected(), !changeDatabase);
        QCOMPARE(m_settings.databaseName, changeDatabase ? quoted(second) : quoted(m_db));
        QCOMPARE(m_settings.databaseBackup,
                 changeBackup ? quoted(m_folder + QStringLiteral("/other.fbk")) : quoted(m_backup));
        // The main window connects after OK when the connection is closed.
        if (!m_data->DefDatabase().isConnected())
            QVERIFY(connectMain());
        QCOMPARE(m_data->DefDatabase().databaseName(), changeDatabase ? second : m_db);
        // The new catalogue holds only the folder it starts with.
        m_data->dtFolder().fetchAll();
        QCOMPARE(m_data->dtFolder().fetchedCount() == 1, changeDatabase);
    }

    void cancelKeepsTheSettings()
    {
        const ConnectionSettings before = m_settings;
        TfSetup dlg(*m_data, m_settings);
        dlg.eDatabaseName->setText(QStringLiteral("/elsewhere.gdb"));
        dlg.eDatabaseBackup->setText(QStringLiteral("/elsewhere.fbk"));
        dlg.bCancel->click();
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(m_settings.databaseName, before.databaseName);
        QCOMPARE(m_settings.databaseBackup, before.databaseBackup);
        QVERIFY(m_data->DefDatabase().isConnected());
    }
};

QTEST_MAIN(TestSetup)
#include "tst_setup.moc"
