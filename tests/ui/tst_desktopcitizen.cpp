// How the program lives beside other accounts and other copies of itself: the engine's lock
// folder of the user's own, one engine per catalogue file, private new catalogues and backups,
// one running copy per user and catalogue, Qt's own texts in Russian.
#include "admin/CatalogueService.h"
#include "admin/ServiceProgress.h"
#include "app/Catalogue.h"
#include "app/CatalogueSession.h"
#include "app/LocalCatalogueGuard.h"
#include "app/QtTranslation.h"
#include "app/SingleInstance.h"
#include "app/uAbout.h"
#include "browser/DiskListFormat.h"
#include "browser/uMain.h"
#include "lending/LendingColors.h"
#include "lending/uGive.h"
#include "platform/SettingsStore.h"
#include "store/Connection.h"
#include "store/DbError.h"
#include "store/EngineLockFolder.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/TestCatalogue.h"
#include "widgets/ContrastColour.h"
#include "widgets/DBGridDelegate.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

const char kHoldChild[] = "--hold";
const char kStartChild[] = "--start";

// The runtime folder this test process gives itself before the client library loads.
QString &runtimeFolder()
{
    static QString folder;
    return folder;
}

int modeOf(const QString &path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// Another program on the catalogue: "kodra" as this program connects, "engine" as any other
// program of the engine (isql, gbak) opens it. Holds it until its input closes.
int holdChild(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString how = QString::fromLocal8Bit(argv[2]);
    const QString path = QString::fromLocal8Bit(argv[3]);
    try {
        Connection connection;
        connection.setDatabaseName(path);
        connection.setParams(TestCatalogue::params());
        LocalCatalogueGuard guard;
        if (how == QLatin1String("kodra"))
            guard.take(path);
        connection.open();
        std::printf("holding\n");
        std::fflush(stdout);
        char line[16];
        while (std::fgets(line, sizeof line, stdin)) { }
        connection.close();
    } catch (const DbError &e) {
        std::fprintf(stderr, "hold: %s\n", qPrintable(e.text()));
        return 2;
    }
    return 0;
}

// A later start of the program: 0 when a running copy took over, 1 when this one would run.
int startChild(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SingleInstance instance(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    return instance.handOver() ? 0 : 1;
}

// A dark theme as desktops ship them: light text on dark grounds.
QPalette darkPalette()
{
    QPalette p(QColor(53, 53, 53));
    p.setColor(QPalette::Window, QColor(45, 45, 45));
    p.setColor(QPalette::WindowText, QColor(230, 230, 230));
    p.setColor(QPalette::Base, QColor(30, 30, 30));
    p.setColor(QPalette::AlternateBase, QColor(40, 40, 40));
    p.setColor(QPalette::Text, QColor(230, 230, 230));
    p.setColor(QPalette::Button, QColor(53, 53, 53));
    p.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    p.setColor(QPalette::Link, QColor(42, 130, 218));
    return p;
}

QPalette themePalette(const QString &theme)
{
    return theme == QLatin1String("dark")
        ? darkPalette()
        : QStyleFactory::create(QStringLiteral("Fusion"))->standardPalette();
}

// Where KODRA_SCREENSHOTS names a folder, the windows these tests look at are saved there.
void keepPicture(QWidget &window, const QString &name)
{
    const QString folder = qEnvironmentVariable("KODRA_SCREENSHOTS");
    if (!folder.isEmpty())
        window.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

class ExposedDelegate : public DBGridDelegate
{
public:
    using DBGridDelegate::initStyleOption;
};

} // namespace

class TestDesktopCitizen : public QObject
{
    Q_OBJECT

private:
    static QProcessEnvironment childEnvironment(const QString &lockFolder)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("FIREBIRD_LOCK"), lockFolder);
        return env;
    }

private Q_SLOTS:
    void lockFolderChoice_data()
    {
        QTest::addColumn<int>("runtimeMode");
        QTest::addColumn<bool>("inRuntime");
        QTest::newRow("private runtime folder") << 0700 << true;
        QTest::newRow("runtime folder others may read") << 0755 << false;
        QTest::newRow("no runtime folder") << -1 << false;
    }
    void lockFolderChoice()
    {
        QFETCH(int, runtimeMode);
        QFETCH(bool, inRuntime);
        QTemporaryDir dir;
        const QString runtime = dir.filePath(QStringLiteral("run"));
        if (runtimeMode >= 0) {
            QVERIFY(QDir().mkdir(runtime));
            QCOMPARE(::chmod(QFile::encodeName(runtime).constData(), mode_t(runtimeMode)), 0);
        }
        const QString cache = dir.filePath(QStringLiteral("cache"));
        QCOMPARE(EngineLockFolder::choose(runtime, cache),
                 inRuntime ? runtime + QStringLiteral("/kodra")
                           : cache + QStringLiteral("/kodra/firebird-lock"));
    }

    // The engine of this process keeps its lock files in the user's runtime folder, not in
    // the machine's /tmp/firebird that the first account or the server owns.
    void engineLocksInTheUsersFolder()
    {
        TestCatalogue catalogue;
        QVERIFY2(catalogue.isValid(), qPrintable(catalogue.error()));
        auto connection = catalogue.connection();
        connection->open();
        const QString folder = runtimeFolder() + QStringLiteral("/kodra");
        QCOMPARE(qEnvironmentVariable("FIREBIRD_LOCK"), folder);
        QCOMPARE(modeOf(folder), 0700);
        QVERIFY2(!QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty(), qPrintable(folder));
        connection->close();
    }

    // Two engines with lock folders of their own never both open one file: the second is
    // told in Russian, with the path, and connects once the first has let go.
    void catalogueHeldByAnotherProgram_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("another copy of the program") << QStringLiteral("kodra");
        QTest::newRow("another program of the engine") << QStringLiteral("engine");
    }
    void catalogueHeldByAnotherProgram()
    {
        QFETCH(QString, how);
        TestCatalogue catalogue;
        QVERIFY2(catalogue.isValid(), qPrintable(catalogue.error()));
        QTemporaryDir otherLocks;
        QProcess child;
        child.setProcessEnvironment(childEnvironment(otherLocks.path()));
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(kHoldChild), how, catalogue.path()});
        QVERIFY(child.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(child.canReadLine() || child.state() != QProcess::Running, 30000);
        QCOMPARE(child.readLine(), QByteArray("holding\n"));

        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("Kodra.ini")));
        Catalogue data;
        CatalogueSession session(data, store);
        session.settings().databaseName = catalogue.path();
        session.settings().userName = QStringLiteral("KODRA");
        session.settings().userPass = QStringLiteral("TARLO");
        QString text;
        try {
            session.connect();
        } catch (const DbError &e) {
            text = e.text();
        }
        QVERIFY2(text.startsWith(QStringLiteral("База данных %1 уже открыта другой программой.")
                                     .arg(catalogue.path())),
                 qPrintable(text));
        QVERIFY(!data.DefDatabase().isConnected());

        child.closeWriteChannel();
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), 0);
        session.connect();
        QVERIFY(data.DefDatabase().isConnected());
        data.DefDatabase().close();
    }

    // A catalogue file of another account is named as such, with the way to share one.
    void catalogueOfAnotherAccount()
    {
        if (::geteuid() != 0)
            QSKIP("giving a file to another account takes root");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("their.gdb"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(LocalCatalogueGuard::reason(path, false).isEmpty());
        QCOMPARE(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
        const QString reason = LocalCatalogueGuard::reason(path, false);
        QVERIFY2(reason.startsWith(QStringLiteral("Файл базы данных %1 принадлежит другой "
                                                  "учётной записи (")
                                       .arg(path)),
                 qPrintable(reason));
        QVERIFY2(reason.contains(QStringLiteral("сервер Firebird")), qPrintable(reason));
        const DbError explained
            = LocalCatalogueGuard::explained(path, DbError(QStringLiteral("engine text")));
        QVERIFY(explained.text().startsWith(reason + QStringLiteral("\r\n")));
        QVERIFY(explained.text().endsWith(QStringLiteral("engine text")));
    }

    // A backup and a new catalogue hold the whole catalogue: their owner's alone.
    void backupAndNewCatalogueOwnerOnly()
    {
        TestCatalogue catalogue;
        QVERIFY2(catalogue.isValid(), qPrintable(catalogue.error()));
        QTemporaryDir dir;
        const QString backup = dir.filePath(QStringLiteral("copy.fbk"));
        const QString restored = dir.filePath(QStringLiteral("new.gdb"));
        const mode_t before = ::umask(022);
        QWidget window;
        ServiceProgress progress(&window);
        CatalogueService service(&progress);
        service.attach(catalogue.path(), QStringLiteral("KODRA"), QStringLiteral("TARLO"));
        service.backup(catalogue.path(), backup);
        service.restore(backup, restored);
        service.detach();
        ::umask(before);
        QCOMPARE(modeOf(backup), 0600);
        QCOMPARE(modeOf(restored), 0600);
        QCOMPARE(TestCatalogue::rowsIn(restored, QStringLiteral("select count(*) from TFOLDER")),
                 TestCatalogue::rowsIn(catalogue.path(),
                                       QStringLiteral("select count(*) from TFOLDER")));
    }

    // A later start on the same catalogue asks the running copy to the front and ends; on
    // another catalogue it runs beside it. A socket left by a copy that died is taken over.
    void oneRunningCopyPerCatalogue_data()
    {
        QTest::addColumn<QString>("later");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("same catalogue") << QStringLiteral("/data/kodra_my.gdb") << 0;
        QTest::newRow("another catalogue") << QStringLiteral("/data/other.gdb") << 1;
    }
    void oneRunningCopyPerCatalogue()
    {
        QFETCH(QString, later);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        const QString catalogue = QStringLiteral("/data/kodra_my.gdb");
        // Left over from a copy that died: a file where the socket would be.
        QFile stale(SingleInstance::socketPath(dir.path(), catalogue));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        SingleInstance running(dir.path(), catalogue);
        QVERIFY(!running.handOver());
        QSignalSpy raised(&running, &SingleInstance::activationRequested);

        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        QSignalSpy finished(&child, &QProcess::finished);
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(kStartChild), dir.path(), later});
        QVERIFY(finished.wait(30000));
        QCOMPARE(child.exitCode(), exitCode);
        QCOMPARE(raised.size(), exitCode == 0 ? 1 : 0);
    }

    // The colours that say lent, overdue, lost or returned late keep a contrast of 4.5:1 to
    // the list's ground on a light theme and on a dark one, plain and alternate rows.
    void statusColoursRead_data()
    {
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QString>("theme");
        const QDate today = QDate::currentDate();
        const QList<std::pair<const char *, QColor>> colours = {
            {"lent", *DiskListFormat::cellColour({}, 2, true)},
            {"overdue", *DiskListFormat::cellColour({}, 3, true)},
            {"lost", *DiskListFormat::cellColour(today, 0, false)},
            {"deadline passed", LendingColors::deadline(today.addDays(-1), {}, today)},
            {"deadline ahead", LendingColors::deadline(today.addDays(1), {}, today)},
            {"returned in time", LendingColors::returned(today, today.addDays(-1))},
            {"returned late", LendingColors::returned(today.addDays(-1), today)},
        };
        for (const QString &theme : {QStringLiteral("light"), QStringLiteral("dark")}) {
            for (const auto &[name, colour] : colours)
                QTest::addRow("%s, %s", name, qPrintable(theme)) << colour << theme;
        }
    }
    void statusColoursRead()
    {
        QFETCH(QColor, colour);
        QFETCH(QString, theme);
        QStandardItemModel model(1, 1);
        model.setData(model.index(0, 0), QStringLiteral("Bach"));
        model.setData(model.index(0, 0), colour, Qt::ForegroundRole);
        ExposedDelegate delegate;
        for (const bool alternate : {false, true}) {
            QStyleOptionViewItem option;
            option.palette = themePalette(theme);
            if (alternate)
                option.features |= QStyleOptionViewItem::Alternate;
            delegate.initStyleOption(&option, model.index(0, 0));
            const QColor ground
                = option.palette.color(alternate ? QPalette::AlternateBase : QPalette::Base);
            const QColor text = option.palette.color(QPalette::Text);
            QVERIFY2(ContrastColour::ratio(text, ground) >= 4.5,
                     qPrintable(QStringLiteral("%1 on %2: %3:1")
                                    .arg(text.name(), ground.name())
                                    .arg(ContrastColour::ratio(text, ground))));
            // The hue still tells which state it is.
            if (colour.hsvSaturation() > 0)
                QVERIFY(std::abs(text.hsvHue() - colour.hsvHue()) <= 2);
        }
    }

    // Every text of the About box reads on its ground under both themes: 4.5:1, the large
    // title 3:1.
    void aboutBoxReads_data()
    {
        QTest::addColumn<QString>("theme");
        QTest::newRow("light") << QStringLiteral("light");
        QTest::newRow("dark") << QStringLiteral("dark");
    }
    void aboutBoxReads()
    {
        QFETCH(QString, theme);
        const QPalette before = QApplication::palette();
        QApplication::setPalette(themePalette(theme));
        Catalogue data;
        {
            TfAbout about(data);
            const QColor ground = about.palette().color(QPalette::Window);
            for (const QLabel *label : about.findChildren<QLabel *>()) {
                QColor text = label->palette().color(QPalette::WindowText);
                const auto link = QRegularExpression(QStringLiteral("color:(#[0-9a-f]{6})"))
                                      .match(label->text());
                if (link.hasMatch())
                    text = QColor(link.captured(1));
                const double minimum = label->text() == QLatin1String("KODRA") ? 3.0 : 4.5;
                QVERIFY2(ContrastColour::ratio(text, ground) >= minimum,
                         qPrintable(QStringLiteral("\"%1\": %2 on %3")
                                        .arg(label->text(), text.name(), ground.name())));
            }
            keepPicture(about, QStringLiteral("about-") + theme);
        }
        QApplication::setPalette(before);
    }

    // The main window and the debtors list on a catalogue with a lent and a lost disk, for a
    // look at both themes: the lists show their coloured rows readable.
    void windowsOnBothThemes_data() { aboutBoxReads_data(); }
    void windowsOnBothThemes()
    {
        QFETCH(QString, theme);
        const QPalette before = QApplication::palette();
        QApplication::setPalette(themePalette(theme));
        {
            MainWindowFixture fixture;
            const QString error = fixture.start({
                QStringLiteral("insert into TMAN (FMANID, FNAME) values (501, 'Иванов')"),
                QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) "
                               "values (2001, 1001, 1, 'Bach', 1)"),
                QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, "
                               "FDELDATE) values (2002, 1001, 1, 'Mozart', 2, '2020-01-01')"),
                QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) "
                               "values (2003, 1001, 1, 'Chopin', 3)"),
                QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE, "
                               "FCTRLDATE) values (3001, 2003, 501, '2019-12-01', "
                               "'2020-01-10')"),
            });
            QVERIFY2(error.isEmpty(), qPrintable(error));
            fixture.main().aRefreshExecute();
            QVERIFY(fixture.main().data().dtDisk().isOpen());
            keepPicture(fixture.main(), QStringLiteral("main-") + theme);
            TfGive give(fixture.main().data(), &fixture.store());
            give.resize(700, 400);
            give.show();
            QVERIFY(QTest::qWaitForWindowExposed(&give));
            keepPicture(give, QStringLiteral("debtors-") + theme);
        }
        QApplication::setPalette(before);
    }

    // F1 opens the About box, the menus open with Alt and a letter, Ctrl+Q ends the program,
    // as on every desktop.
    void desktopKeys()
    {
        MainWindowFixture fixture;
        const QString error = fixture.start();
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QString opened;
        MainWindowFixture::whenModal([&opened](QWidget *modal) {
            opened = modal->windowTitle();
            modal->close();
        });
        QVERIFY(MainWindowFixture::activate(&fixture.main()));
        QTest::keyClick(&fixture.main(), Qt::Key_F1);
        QTRY_COMPARE(opened, QStringLiteral("О программе"));
        // Every menu title has a letter of its own for Alt.
        QSet<QChar> letters;
        for (const QAction *menu : fixture.main().menuBar()->actions()) {
            const QString title = menu->text();
            const qsizetype amp = title.indexOf(QLatin1Char('&'));
            QVERIFY2(amp >= 0 && amp + 1 < title.size(), qPrintable(title));
            const QChar letter = title.at(amp + 1).toLower();
            QVERIFY2(!letters.contains(letter), qPrintable(title));
            letters.insert(letter);
        }
        QVERIFY(MainWindowFixture::activate(&fixture.main()));
        QTest::keyClick(&fixture.main(), Qt::Key_Q, Qt::ControlModifier);
        QTRY_VERIFY(!fixture.main().isVisible());
    }

    // The search window and the label window open at the size and place they were left.
    void windowsComeBackAsLeft_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("search window") << QStringLiteral("aFind");
        QTest::newRow("label window") << QStringLiteral("aReports");
    }
    void windowsComeBackAsLeft()
    {
        QFETCH(QString, command);
        MainWindowFixture fixture;
        const QString error = fixture.start();
        QVERIFY2(error.isEmpty(), qPrintable(error));
        auto *action = fixture.main().findChild<QAction *>(command);
        QVERIFY(action);
        const QRect left(130, 90, 900, 560);
        MainWindowFixture::whenModal([&left](QWidget *modal) {
            modal->setGeometry(left);
            modal->close();
        });
        action->trigger();
        QRect found;
        MainWindowFixture::whenModal([&found](QWidget *modal) {
            found = modal->geometry();
            modal->close();
        });
        action->trigger();
        QCOMPARE(found.size(), left.size());
        QCOMPARE(found.topLeft(), left.topLeft());
    }

    // Qt's standard texts speak Russian: the questions' buttons, the file and print dialogs.
    void qtTextsInRussian()
    {
        QVERIFY(QtTranslation::installRussian(*qApp));
        QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отмена"));
        QFileDialog files;
        files.setOption(QFileDialog::DontUseNativeDialog);
        QStringList labels;
        for (const QLabel *label : files.findChildren<QLabel *>())
            labels << label->text();
        QVERIFY2(labels.contains(QStringLiteral("Перейти к:")), qPrintable(labels.join(u'|')));
        QPrintPreviewDialog preview;
        QCOMPARE(preview.windowTitle(), QStringLiteral("Просмотр печати"));
        preview.resize(700, 500);
        keepPicture(preview, QStringLiteral("print-preview"));
        files.resize(700, 450);
        keepPicture(files, QStringLiteral("file-dialog"));
        QMessageBox question(QMessageBox::Question, QStringLiteral("Kodra"),
                             QStringLiteral("Удалить диск?"),
                             QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(question.button(QMessageBox::No)->text(), QStringLiteral("&Нет"));
        keepPicture(question, QStringLiteral("question"));
    }
};

int main(int argc, char *argv[])
{
    if (argc > 3 && qstrcmp(argv[1], kHoldChild) == 0)
        return holdChild(argc, argv);
    if (argc > 3 && qstrcmp(argv[1], kStartChild) == 0)
        return startChild(argc, argv);
    // A runtime folder of this run's own, named before the client library loads.
    const QTemporaryDir runtime;
    runtimeFolder() = runtime.path();
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    qunsetenv("FIREBIRD_LOCK");
    QApplication app(argc, argv);
    TestDesktopCitizen test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktopcitizen.moc"
