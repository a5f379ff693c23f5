// The search window on a large catalogue: 1,000,000 content entries over 1,000 disks.
//
// For a common file text (a quarter of the entries) and a rare one (ten entries), prints the
// window's time from Enter to its first screen of results and to the last row, as ratios to
// the bare CONTAINING scan of the content table in the same run, beside FIND fetched alone.
// Then, while the rare text scans, how often the window got to its events and how soon Esc
// ended the search.
//
// Usage: bench_find [runs]   (default 3; the best run of each counts)

#include "app/Catalogue.h"
#include "bench/BenchDisk.h"
#include "browser/uMain.h"
#include "platform/SettingsStore.h"
#include "search/uFind.h"
#include "store/Statement.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/RecordingPrompt.h"
#include "widgets/DBGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>

namespace {

using BenchDisk::bestMs;
using BenchDisk::die;
using BenchDisk::say;

constexpr int kDisks = 1000;
constexpr int kEntriesPerDisk = 1000;

// Ten folders under one; per disk a root entry, 50 directories and 949 files, each
// directory's files together as a reading stores them. A quarter of the files are .mp3; one
// file on every hundredth disk has the rare name.
void buildCatalogue(const TestCatalogue &cat)
{
    cat.exec({
        QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values (900, "
                       "'Архив', 0)"),
        QStringLiteral("execute block as declare f integer = 0; begin while (f < 10) do begin "
                       "insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                       "(901 + :f, 'Полка ' || :f, 900); f = f + 1; end end"),
        QStringLiteral("execute block as declare d integer = 0; begin while (d < %1) do begin "
                       "insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, FCOMMENT, "
                       "FGETDATE) values (10000 + :d, 901 + mod(:d, 10), 1, 'Диск ' || :d, :d, "
                       "'Сборник', '2021-01-01'); d = d + 1; end end")
            .arg(kDisks),
        QStringLiteral(
            "execute block as declare d integer = 0; declare i integer; declare b integer; "
            "begin while (d < %1) do begin b = 1000000 + d * %2; "
            "insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, FCONTENT) "
            "values (:b, 10000 + :d, null, 2, '/media/cdrom: DISK' || :d); "
            "i = 1; while (i < %2) do begin "
            "if (i <= 50) then insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, "
            "FTYPE, FCONTENT, FDATE) values (:b + :i, 10000 + :d, :b, 1, 'Папка ' || :i, "
            "'2020-01-01'); "
            "else insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, FCONTENT, "
            "FSIZE, FDATE) values (:b + :i, 10000 + :d, :b + 1 + (:i - 51) / 19, 0, "
            "case when mod(:d, 100) = 37 and :i = 777 then 'Zanzibar ' || :d || '.doc' "
            "when mod(:i, 4) = 0 then 'Песня ' || :i || '.mp3' "
            "when mod(:i, 4) = 1 then 'Photo ' || :i || '.jpg' "
            "when mod(:i, 4) = 2 then 'Document ' || :i || '.txt' "
            "else 'Image ' || :i || '.png' end, 1000 + :i, '2021-02-03 04:05:06'); "
            "i = i + 1; end d = d + 1; end end")
            .arg(kDisks)
            .arg(kEntriesPerDisk),
    });
}

// Every row of a select, every column read, as a dataset reads them.
int fetchAll(Connection &db, const QString &sql, const QString &text)
{
    Statement stmt(db);
    stmt.prepare(sql);
    stmt.setParam(QStringLiteral("T"), text);
    stmt.execute();
    int rows = 0;
    while (stmt.fetch()) {
        for (int c = 0; c < stmt.columnCount(); ++c)
            stmt.value(c);
        ++rows;
    }
    return rows;
}

struct Times
{
    double firstScreen = 1e18;
    double lastRow = 1e18;
    int rows = 0;
};

// Enter in the window with a file text: the time until the grid has painted its first screen
// (or every row, when fewer), and until the last row is in the grid.
Times windowSearch(TfFind &find, const QString &text, int runs)
{
    Times best;
    DBGrid *grid = find.DBGridEh1;
    for (int run = 0; run < runs; ++run) {
        find.eFile->clear();
        QElapsedTimer clock;
        clock.start();
        find.eFile->setText(text);
        find.BitBtn1Click();
        DataSetModel *model = grid->dataSetModel();
        const int screen
            = grid->viewport()->height() / grid->verticalHeader()->defaultSectionSize();
        // The view fetches what it shows as its layout runs.
        while (model->rowCount() < screen && model->canFetchMore({}))
            QCoreApplication::processEvents();
        grid->repaint();
        const double firstScreen = clock.nsecsElapsed() / 1e6;
        while (model->canFetchMore({})) {
            model->fetchMore({});
            QCoreApplication::processEvents();
        }
        const double lastRow = clock.nsecsElapsed() / 1e6;
        best.firstScreen = std::min(best.firstScreen, firstScreen);
        best.lastRow = std::min(best.lastRow, lastRow);
        best.rows = model->rowCount();
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    TestCatalogue cat;
    if (!cat.isValid())
        die(cat.error());
    QElapsedTimer building;
    building.start();
    buildCatalogue(cat);
    say(QStringLiteral("catalogue: %1 disks, %2 content entries, built in %3 s")
            .arg(cat.scalar(QStringLiteral("select count(*) from TDISK")).toInt())
            .arg(cat.scalar(QStringLiteral("select count(*) from TCONTENT")).toInt())
            .arg(building.elapsed() / 1000.0, 0, 'f', 1));

    QTemporaryDir dir;
    // Settings of its own: the first show connects to the benchmark's catalogue.
    SettingsStore store(dir.filePath(QStringLiteral("Kodra.ini")));
    MainWindowFixture::prepareStore(store, cat.path());
    RecordingPrompt prompt;
    TfMain window(&store);
    QSignalSpy started(&window, &TfMain::startupFinished);
    window.show();
    if (!started.wait(60000))
        die(QStringLiteral("the main window did not start"));
    if (!prompt.shown.isEmpty())
        die(prompt.shown.first().text);
    Connection &db = window.data().DefDatabase();

    TfFind find(window.data(), &window);
    find.setModal(false);
    find.show();

    const QString bare = QStringLiteral("select FCONTENTID, FDISKID, FOWNCONTENTID, FCONTENT, "
                                        "FDATE, FSIZE from TCONTENT where FCONTENT containing :T");
    const QString alone = QStringLiteral("select * from FIND(:T, '')");
    struct Case
    {
        const char *name;
        QString text;
    };
    for (const Case &c :
         {Case {"common", QStringLiteral("mp3")}, Case {"rare", QStringLiteral("zanzibar")}}) {
        const QString upper = c.text.toUpper();
        int bareRows = 0;
        const double scan = bestMs(runs, [&] { bareRows = fetchAll(db, bare, upper); });
        int findRows = 0;
        const double findAlone = bestMs(runs, [&] { findRows = fetchAll(db, alone, upper); });
        const Times w = windowSearch(find, c.text, runs);
        if (w.rows != findRows || findRows != bareRows)
            die(QStringLiteral("%1: %2 rows in the window, %3 from FIND, %4 from the scan")
                    .arg(QLatin1String(c.name))
                    .arg(w.rows)
                    .arg(findRows)
                    .arg(bareRows));
        say(QStringLiteral("%1 text '%2' (%3 rows): bare CONTAINING scan %4 ms; FIND alone %5 ms "
                           "(%6x); window: first screen %7 ms (%8x), last row %9 ms (%10x; %11x "
                           "of FIND alone)")
                .arg(QLatin1String(c.name), c.text)
                .arg(w.rows)
                .arg(scan, 0, 'f', 0)
                .arg(findAlone, 0, 'f', 0)
                .arg(findAlone / scan, 0, 'f', 2)
                .arg(w.firstScreen, 0, 'f', 0)
                .arg(w.firstScreen / scan, 0, 'f', 3)
                .arg(w.lastRow, 0, 'f', 0)
                .arg(w.lastRow / scan, 0, 'f', 2)
                .arg(w.lastRow / findAlone, 0, 'f', 2));
    }
    say(QStringLiteral("goals: last row within 1.1x of the bare scan; first screen of the "
                       "common text well under a second"));

    // Responsiveness while the rare text scans: the longest time between two turns of the
    // event loop, and how long the search runs on after Esc a quarter into the scan.
    const double rareScan = bestMs(1, [&] { fetchAll(db, alone, QStringLiteral("ZANZIBAR")); });
    QElapsedTimer sinceTick;
    double longestGap = 0;
    int ticks = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (find.isSearching()) {
            longestGap = std::max(longestGap, sinceTick.nsecsElapsed() / 1e6);
            ++ticks;
        }
        sinceTick.restart();
    });
    QElapsedTimer afterEsc;
    QTimer::singleShot(int(rareScan / 4), &find, [&] {
        afterEsc.start();
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(find.DBGridEh1, &esc);
    });
    find.eFile->clear();
    find.eFile->setText(QStringLiteral("zanzibar"));
    sinceTick.start();
    tick.start();
    QElapsedTimer whole;
    whole.start();
    find.BitBtn1Click();
    const double stopped = afterEsc.isValid() ? afterEsc.nsecsElapsed() / 1e6 : -1;
    tick.stop();
    say(QStringLiteral("rare text scan with Esc after %1 ms: the search ended %2 ms after Esc "
                       "(%3 ms in all, %4 rows kept); the window turned its event loop %5 "
                       "times, at most %6 ms apart")
            .arg(rareScan / 4, 0, 'f', 0)
            .arg(stopped, 0, 'f', 1)
            .arg(whole.nsecsElapsed() / 1e6, 0, 'f', 0)
            .arg(find.dtFind.fetchedCount())
            .arg(ticks)
            .arg(longestGap, 0, 'f', 1));
    return 0;
}
