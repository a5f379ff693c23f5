// Backup and restore of a catalogue through the program (the settings dialog's requests to the
// embedded engine's service manager, following their output) against gbak doing the same on the
// same file in the same run. Goal: ratio <= 1.1, the program adds nothing to the engine's work.
//
// Usage: bench_admin [entries] [rounds]   (defaults: 1000000 content entries, 3 rounds)

#include "admin/CatalogueService.h"
#include "admin/ServiceProgress.h"
#include "app/ConnectionSettings.h"
#include "store/DbError.h"
#include "tests/support/CatalogueSample.h"
#include "tests/support/SignalCleanup.h"
#include "tests/support/TestCatalogue.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <vector>

namespace {

void say(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

[[noreturn]] void die(const QString &text)
{
    std::fputs(qPrintable(QStringLiteral("bench_admin: ") + text + QLatin1Char('\n')), stderr);
    std::exit(1);
}

double seconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

// CPU seconds of this process (the embedded engine works in it) or of its finished children
// (gbak): on a machine shared with other work they are steadier than wall time.
double cpuSeconds(int who)
{
    rusage usage {};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Times
{
    std::vector<double> wall;
    std::vector<double> cpu;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void gbak(const QStringList &arguments, Times &times)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    const double cpu = cpuSeconds(RUSAGE_CHILDREN);
    p.start(QStringLiteral("gbak"), arguments);
    if (!p.waitForFinished(-1) || p.exitCode() != 0)
        die(QStringLiteral("gbak %1 failed: %2")
                .arg(arguments.join(QLatin1Char(' ')), QString::fromLocal8Bit(p.readAll())));
    times.wall.push_back(seconds(timer));
    times.cpu.push_back(cpuSeconds(RUSAGE_CHILDREN) - cpu);
}

template<typename F> void program(F &&request, Times &times)
{
    QElapsedTimer timer;
    timer.start();
    const double cpu = cpuSeconds(RUSAGE_SELF);
    request();
    times.wall.push_back(seconds(timer));
    times.cpu.push_back(cpuSeconds(RUSAGE_SELF) - cpu);
}

void report(const char *what, const Times &ours, const Times &theirs)
{
    say(QStringLiteral("%1 (median of %2): program %3 s wall, %4 s cpu; gbak %5 s wall, %6 s "
                       "cpu; ratio wall %7, cpu %8 (goal <= 1.1)")
            .arg(QString::fromLatin1(what))
            .arg(ours.wall.size())
            .arg(median(ours.wall), 0, 'f', 2)
            .arg(median(ours.cpu), 0, 'f', 2)
            .arg(median(theirs.wall), 0, 'f', 2)
            .arg(median(theirs.cpu), 0, 'f', 2)
            .arg(median(ours.wall) / median(theirs.wall), 0, 'f', 2)
            .arg(median(ours.cpu) / median(theirs.cpu), 0, 'f', 2));
}

} // namespace

int main(int argc, char *argv[])
{
    SignalCleanup::install();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int entries = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

    QTemporaryDir dir;
    if (!dir.isValid())
        die(QStringLiteral("no temporary folder"));
    SignalCleanup::addFolder(dir.path());
    const QString db = dir.filePath(QStringLiteral("bench.gdb"));
    const QString backup = dir.filePath(QStringLiteral("bench.fbk"));
    const QString restored = dir.filePath(QStringLiteral("restored.gdb"));
    const QString gbakBackupFile = dir.filePath(QStringLiteral("gbak.fbk"));
    const QString gbakRestored = dir.filePath(QStringLiteral("gbak.gdb"));
    const QString error = TestCatalogue::restore(TestCatalogue::templatePath(), db);
    if (!error.isEmpty())
        die(error);
    const QStringList params = TestCatalogue::params();
    const QString user = QStringLiteral("KODRA");
    const QString password = QStringLiteral("TARLO");

    QElapsedTimer fill;
    fill.start();
    try {
        CatalogueSample::exec(db, params, CatalogueSample::rows());
        // One folder of directories and files per disk entry, made by the engine itself.
        CatalogueSample::exec(
            db, params,
            {QStringLiteral(
                 "execute block as declare i integer = 0; begin "
                 "while (i < %1) do begin "
                 "insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, FCONTENT, "
                 "FSIZE, FDATE) values (:i + 1000000, 301, "
                 "iif(mod(:i, 100) = 0, 401, 1000000 + :i - mod(:i, 100)), "
                 "iif(mod(:i, 100) = 0, 1, 0), 'file number ' || :i || ' of the bench.dat', "
                 ":i * 17, timestamp '2020-01-01 00:00:00' + mod(:i, 1000)); "
                 "i = i + 1; end end")
                 .arg(entries)});
    } catch (const DbError &e) {
        die(e.text());
    }
    say(QStringLiteral("catalogue with %1 content entries: %2 MB, filled in %3 s")
            .arg(entries)
            .arg(QFileInfo(db).size() / 1048576)
            .arg(seconds(fill), 0, 'f', 1));

    QWidget window;
    ServiceProgress progress(&window);
    CatalogueService service(&progress);
    Times programBackup, gbakBackup, programRestore, gbakRestore;
    try {
        for (int round = 0; round < rounds; ++round) {
            auto ourBackup = [&] {
                QFile::remove(backup);
                program(
                    [&] {
                        service.attach(db, user, password);
                        service.backup(db, backup);
                    },
                    programBackup);
            };
            auto theirBackup = [&] {
                QFile::remove(gbakBackupFile);
                gbak({QStringLiteral("-b"), QStringLiteral("-user"), user, db, gbakBackupFile},
                     gbakBackup);
            };
            // The program restores beside an existing catalogue and replaces it.
            auto ourRestore = [&] {
                if (!QFileInfo::exists(restored))
                    QFile::copy(db, restored);
                program(
                    [&] {
                        service.attach(restored, user, password);
                        service.restore(backup, restored);
                    },
                    programRestore);
            };
            auto theirRestore = [&] {
                QFile::remove(gbakRestored);
                gbak({QStringLiteral("-c"), QStringLiteral("-user"), user,
                      QStringLiteral("-page_size"),
                      QString::number(ServiceManager::restorePageSize), gbakBackupFile,
                      gbakRestored},
                     gbakRestore);
            };
            // Turn about, so that neither side always finds the files in a warm cache.
            if (round % 2 == 0) {
                ourBackup();
                theirBackup();
                ourRestore();
                theirRestore();
            } else {
                theirBackup();
                ourBackup();
                theirRestore();
                ourRestore();
            }
            say(QStringLiteral("round %1: backup %2 s (gbak %3 s), restore %4 s (gbak %5 s)")
                    .arg(round + 1)
                    .arg(programBackup.wall.back(), 0, 'f', 2)
                    .arg(gbakBackup.wall.back(), 0, 'f', 2)
                    .arg(programRestore.wall.back(), 0, 'f', 2)
                    .arg(gbakRestore.wall.back(), 0, 'f', 2));
        }
        service.detach();
    } catch (const DbError &e) {
        die(e.text());
    }
    report("backup ", programBackup, gbakBackup);
    report("restore", programRestore, gbakRestore);
    say(QStringLiteral("backup file %1 MB").arg(QFileInfo(backup).size() / 1048576));
    return 0;
}
