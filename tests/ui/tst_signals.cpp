// SIGTERM, SIGINT and SIGHUP end the program as a normal close does. The program is its own
// child: started with --main-child it runs the real main window with the program's own ending
// on a catalogue, opens what a row asks for and says "ready" on stdout once it is up; started
// with --helper-child it is a test helper busy on a catalogue of its own.

#include "app/Catalogue.h"
#include "app/GracefulExit.h"
#include "app/uAbout.h"
#include "browser/uMain.h"
#include "disk/DiskReader.h"
#include "disk/DrivePicker.h"
#include "disk/uEdtDisk.h"
#include "platform/SettingsStore.h"
#include "store/DbError.h"
#include "tests/support/EchoPrompt.h"
#include "tests/support/FixedVolumeSource.h"
#include "tests/support/FixtureTree.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/SignalCleanup.h"
#include "tests/support/TestCatalogue.h"
#include "widgets/DBGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

const char kMainChild[] = "--main-child";
const char kHelperChild[] = "--helper-child";
constexpr int kFolderId = 1001;
constexpr int kDiskId = 502;
// Large enough that a read is far from through when the signal comes.
constexpr int kFiles = 100000;
constexpr qint64 kReadyAfterEntries = 2000;
constexpr int kExitWithinMs = 5000;

void say(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

// Runs act once a modal window of class W is up (dialogs run their own event loop).
template<typename W> void whenModal(std::function<void(W *)> act)
{
    auto *timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, qApp, [timer, act] {
        if (auto *modal = qobject_cast<W *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        }
    });
    timer->start();
}

// In the child, once the main window has connected: folder kFolderId and disk kDiskId become
// current, then the window of the mode opens.
void openWindow(TfMain &main, const QString &mode, const QString &tree)
{
    Catalogue &d = main.data();
    if (!d.dtDisk().isOpen() || !d.dtFolder().locate(QStringLiteral("FFOLDERID"), kFolderId)
        || !d.dtDisk().locate(QStringLiteral("FDISKID"), kDiskId)) {
        say(QStringLiteral("failed: the disk is not in the list"));
        QCoreApplication::exit(3);
        return;
    }
    const auto ready = [] { say(QStringLiteral("ready")); };
    if (mode == QLatin1String("about")) {
        whenModal<TfAbout>([ready](TfAbout *) { ready(); });
        main.aAboutExecute();
    } else if (mode == QLatin1String("menu")) {
        main.PopupMenu2->popup(main.DBGridEh1->mapToGlobal(QPoint(20, 20)));
        if (QApplication::activePopupWidget() == main.PopupMenu2)
            ready();
    } else if (mode == QLatin1String("delete")) {
        whenModal<QMessageBox>([ready](QMessageBox *) { ready(); });
        main.aDelDiskExecute();
    } else if (mode == QLatin1String("editor")) {
        whenModal<TfEdtDisk>([&d, ready](TfEdtDisk *) {
            // A change the user has not confirmed.
            d.dtDisk().edit();
            d.dtDisk().fieldByName(QStringLiteral("FNAME")).setString(QStringLiteral("Изменено"));
            ready();
        });
        main.aEditDiskExecute();
    } else if (mode == QLatin1String("find")) {
        whenModal<TfEdtDisk>([ready](TfEdtDisk *editor) {
            whenModal<QInputDialog>([ready](QInputDialog *) { ready(); });
            QMetaObject::invokeMethod(editor, &TfEdtDisk::aFindFileExecute, Qt::QueuedConnection);
        });
        main.aEditDiskExecute();
    } else if (mode == QLatin1String("read")) {
        whenModal<TfEdtDisk>([tree, ready](TfEdtDisk *editor) {
            editor->eDriveCD->setDrive(tree);
            QObject::connect(&editor->reader(), &DiskReader::entryWritten, editor,
                             [ready](qint64 entries) {
                                 if (entries == kReadyAfterEntries)
                                     ready();
                             });
            QMetaObject::invokeMethod(editor, &TfEdtDisk::aReadExecute, Qt::QueuedConnection);
        });
        main.aEditDiskExecute();
    }
}

// The program as main() runs it, on the given settings file.
int mainChild(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: %s %s <mode> <settings> <tree>\n", argv[0], kMainChild);
        return 2;
    }
    const QString mode = args[2];
    const QString tree = args[4];
    EchoPrompt prompt;
    FixedVolumeSource volumes;
    volumes.volumes.insert(tree,
                           {QStringLiteral("signals"), QStringLiteral("5167AB01"), 1LL << 30});

    SettingsStore store(args[3]);
    TfMain window(&store);
    const auto ending = GracefulExit::catchTerminationSignals(&window);
    QObject::connect(
        &window, &TfMain::startupFinished, &window,
        [&window, mode, tree] { openWindow(window, mode, tree); }, Qt::QueuedConnection);
    window.show();
    const int code = app.exec();
    say(QStringLiteral("ended on signal %1").arg(ending->signal()));
    return code;
}

// A helper as the benchmarks are: busy on a catalogue of its own, never in an event loop.
int helperChild(int argc, char *argv[])
{
    SignalCleanup::install();
    QCoreApplication app(argc, argv);
    TestCatalogue cat;
    if (!cat.isValid()) {
        std::fprintf(stderr, "%s\n", qPrintable(cat.error()));
        return 2;
    }
    say(QStringLiteral("catalogue ") + cat.folder());
    say(QStringLiteral("ready"));
    try {
        for (;;)
            cat.exec({QStringLiteral("update TFOLDER set FFOLDER = FFOLDER")});
    } catch (const DbError &e) {
        std::fprintf(stderr, "helper: %s\n", qPrintable(e.text()));
    }
    return 4;
}

} // namespace

class TestSignals : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_tree;

    // Starts the child with the arguments and waits until it says "ready"; the lines it wrote
    // before go to lines.
    static bool startChild(QProcess &child, const QStringList &args, QStringList &lines)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // The child's search index goes with the test's files, not into the user's cache.
        static const QTemporaryDir cache;
        env.insert(QStringLiteral("XDG_CACHE_HOME"), cache.path());
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), args);
        if (!child.waitForStarted(30000))
            return false;
        for (;;) {
            while (child.canReadLine()) {
                const QString line = QString::fromUtf8(child.readLine()).trimmed();
                lines << line;
                if (line == QLatin1String("ready"))
                    return true;
            }
            if (!child.waitForReadyRead(60000))
                return false;
        }
    }

    static void takeLines(QProcess &child, QStringList &lines)
    {
        while (child.canReadLine())
            lines << QString::fromUtf8(child.readLine()).trimmed();
    }

private Q_SLOTS:
    void initTestCase()
    {
        // In memory where there is a tmpfs: on a disk, making this many files takes long.
        const QFileInfo shm(QStringLiteral("/dev/shm"));
        m_dir = shm.isDir() && shm.isWritable()
            ? std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/tst_signals-XXXXXX"))
            : std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_tree = m_dir->filePath(QStringLiteral("drive"));
        QVERIFY(FixtureTree::buildCollection(m_tree, kFiles) > 0);
    }

    void endsAsCloseDoes_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("signal");
        // What the child's message and input boxes said and answered, in order.
        QTest::addColumn<QStringList>("prompts");
        const QStringList none;
        QTest::newRow("about box, SIGTERM") << "about" << SIGTERM << none;
        QTest::newRow("context menu, SIGINT") << "menu" << SIGINT << none;
        QTest::newRow("delete question, SIGINT")
            << "delete" << SIGINT
            << QStringList {QStringLiteral("message: Удалить Бета ?"), QStringLiteral("answer: 0")};
        QTest::newRow("editor with a change, SIGHUP") << "editor" << SIGHUP << none;
        QTest::newRow("input box over the editor, SIGTERM")
            << "find" << SIGTERM
            << QStringList {QStringLiteral("input: Найти файл"), QStringLiteral("input cancelled")};
        QTest::newRow("read, SIGTERM") << "read" << SIGTERM << none;
        QTest::newRow("read, SIGINT") << "read" << SIGINT << none;
        QTest::newRow("read, SIGHUP") << "read" << SIGHUP << none;
    }
    void endsAsCloseDoes()
    {
        QFETCH(QString, mode);
        QFETCH(int, signal);
        QFETCH(QStringList, prompts);

        TestCatalogue cat;
        QVERIFY2(cat.isValid(), qPrintable(cat.error()));
        cat.exec({
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(%1, 'Диски', 0)")
                .arg(kFolderId),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME) values "
                           "(501, %1, 1, 'Альфа')")
                .arg(kFolderId),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME) values "
                           "(%1, %2, 1, 'Бета')")
                .arg(kDiskId)
                .arg(kFolderId),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME) values "
                           "(503, %1, 1, 'Гамма')")
                .arg(kFolderId),
        });
        QTemporaryDir settingsDir;
        const QString settings = settingsDir.filePath(QStringLiteral("Kodra.ini"));
        {
            // A program that has run before, with no folder or disk of its own yet.
            SettingsStore store(settings);
            MainWindowFixture::prepareStore(store, cat.path());
        }

        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList lines;
        QVERIFY2(
            startChild(child, {QString::fromLatin1(kMainChild), mode, settings, m_tree}, lines),
            qPrintable(lines.join(QLatin1Char('\n'))));

        QElapsedTimer clock;
        clock.start();
        QCOMPARE(::kill(pid_t(child.processId()), signal), 0);
        const bool finished = child.waitForFinished(kExitWithinMs);
        const qint64 took = clock.elapsed();
        if (!finished) {
            child.kill();
            child.waitForFinished(30000);
        }
        takeLines(child, lines);
        QVERIFY2(finished,
                 qPrintable(QStringLiteral("still running %1 ms after the signal: ").arg(took)
                            + lines.join(QStringLiteral(" | "))));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QVERIFY(lines.contains(QStringLiteral("ended on signal %1").arg(signal)));

        QStringList shown;
        for (const QString &line : std::as_const(lines)) {
            if (line.startsWith(QLatin1String("message: "))
                || line.startsWith(QLatin1String("answer: "))
                || line.startsWith(QLatin1String("input")))
                shown << line;
        }
        // No "invalid database handle" or other error box on the way out.
        QCOMPARE(shown, prompts);

        // The settings the close saved: the child's own folder and disk.
        const SettingsStore after(settings);
        QCOMPARE(after.readInteger(MainWindowFixture::section, QStringLiteral("FolderID"), -1),
                 kFolderId);
        QCOMPARE(after.readInteger(MainWindowFixture::section, QStringLiteral("DiskID"), -1),
                 kDiskId);

        // Cancelled windows changed nothing: the disk is there as it was.
        QCOMPARE(
            cat.scalar(QStringLiteral("select FNAME from TDISK where FDISKID = %1").arg(kDiskId))
                .toString(),
            QStringLiteral("Бета"));
        const qint64 files = cat.scalar(QStringLiteral("select count(*) from TCONTENT where "
                                                       "FDISKID = %1 and FTYPE = 0")
                                            .arg(kDiskId))
                                 .toLongLong();
        const QVariant counted = cat.scalar(
            QStringLiteral("select FFILES from TDISK where FDISKID = %1").arg(kDiskId));
        if (mode != QLatin1String("read")) {
            QCOMPARE(files, 0);
            QVERIFY(counted.isNull());
            return;
        }
        // The read stopped early and kept what it had read, its file count with it.
        qInfo("%lld of %d files read before the signal ended the read", files, kFiles);
        QVERIFY(files > 0);
        QVERIFY2(files < kFiles, "the read was through before the signal: make the tree bigger");
        QCOMPARE(counted.toLongLong(), files);
        QCOMPARE(cat.scalar(QStringLiteral("select count(*) from TCONTENT where FDISKID = %1 and "
                                           "FOWNCONTENTID is null and FTYPE = 2")
                                .arg(kDiskId))
                     .toInt(),
                 1);
    }

    void helperEndsAndCleansUp_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void helperEndsAndCleansUp()
    {
        QFETCH(int, signal);
        QProcess child;
        QStringList lines;
        QVERIFY2(startChild(child, {QString::fromLatin1(kHelperChild)}, lines),
                 qPrintable(lines.join(QLatin1Char('\n'))
                            + QString::fromLocal8Bit(child.readAllStandardError())));
        QString folder;
        for (const QString &line : std::as_const(lines)) {
            if (line.startsWith(QLatin1String("catalogue ")))
                folder = line.mid(10);
        }
        QVERIFY(QFileInfo(folder).isDir());

        QElapsedTimer clock;
        clock.start();
        QCOMPARE(::kill(pid_t(child.processId()), signal), 0);
        const bool finished = child.waitForFinished(kExitWithinMs);
        if (!finished) {
            child.kill();
            child.waitForFinished(30000);
        }
        const QString errors = QString::fromLocal8Bit(child.readAllStandardError());
        QVERIFY2(finished,
                 qPrintable(
                     QStringLiteral("still running %1 ms after the signal").arg(clock.elapsed())));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 128 + signal);
        QVERIFY2(errors.contains(QStringLiteral("stopped by signal %1").arg(signal)),
                 qPrintable(errors));
        QVERIFY2(!QFileInfo::exists(folder), qPrintable(folder));
    }
};

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], kMainChild) == 0)
        return mainChild(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], kHelperChild) == 0)
        return helperChild(argc, argv);
    QApplication app(argc, argv);
    TestSignals test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_signals.moc"
