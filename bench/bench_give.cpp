// The debtors list over 100,000 lendings.
//
// Prints the time from creating the window to its first screen of rows, unfiltered and with
// "Невозвращенные" on, as ratios to fetching the first 1000 rows of the same statement alone
// on the same connection in the same run. Goal: ratio <= 2.

#include "app/Catalogue.h"
#include "bench/BenchDisk.h"
#include "lending/uGive.h"
#include "platform/SettingsStore.h"
#include "store/Statement.h"
#include "tests/support/TestCatalogue.h"
#include "widgets/DBGrid.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

using BenchDisk::bestMs;
using BenchDisk::die;
using BenchDisk::say;

// 200 folders two levels deep, 50 people, 20,000 disks, 100,000 lendings: a third of the
// disks the user's own, a third of the lendings still out, some without a due date.
void fill(const TestCatalogue &cat)
{
    cat.exec({
        QStringLiteral("execute block as declare i integer = 0; begin while (i < 200) do begin "
                       "insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                       "(100000 + :i, 'Папка ' || :i, iif(:i < 20, 0, 100000 + mod(:i, 20))); "
                       "i = i + 1; end end"),
        QStringLiteral("execute block as declare i integer = 0; begin while (i < 50) do begin "
                       "insert into TMAN (FMANID, FNAME) values (500 + :i, 'Человек ' || :i); "
                       "i = i + 1; end end"),
        QStringLiteral("execute block as declare i integer = 0; begin while (i < 20000) do "
                       "begin insert into TDISK (FDISKID, FFOLDERID, FMANID, FTYPEID, FNAME, FNN) "
                       "values (300000 + :i, 100000 + mod(:i, 200), iif(mod(:i, 3) = 0, 1, "
                       "500 + mod(:i, 50)), 2 + mod(:i, 7), 'Диск ' || :i, :i); i = i + 1; end "
                       "end"),
        QStringLiteral("execute block as declare i integer = 0; declare d date; begin "
                       "while (i < 100000) do begin d = date '2020-01-01' + mod(:i, 1500); "
                       "insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE, FCTRLDATE, "
                       "FRETDATE) values (400000 + :i, 300000 + mod(:i, 20000), 500 + mod(:i, "
                       "50), :d, iif(mod(:i, 7) = 0, null, :d + 30), iif(mod(:i, 3) = 0, null, "
                       ":d + mod(:i, 60))); i = i + 1; end end"),
    });
}

double fetchAlone(Connection &connection, const QStringList &select)
{
    return bestMs(3, [&] {
        Statement stmt(connection);
        stmt.prepare(select.join(QLatin1Char('\n')));
        stmt.execute();
        for (int i = 0; i < 1000 && stmt.fetch(); ++i) { }
        stmt.closeCursor();
    });
}

// The view lays its rows out, fetching what fills the screen, once the window is shown.
void showFirstScreen(TfGive &give)
{
    DataSetModel &model = *give.DBGridEh1->dataSetModel();
    for (int i = 0; i < 100 && model.rowCount() < 2 && model.canFetchMore({}); ++i)
        QCoreApplication::processEvents();
    give.DBGridEh1->repaint();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    TestCatalogue cat;
    if (!cat.isValid())
        die(cat.error());
    fill(cat);

    Catalogue data;
    cat.configure(data.DefDatabase());
    data.DefDatabase().open();
    data.DefDatabase().transaction().start();
    QTemporaryDir dir;
    // Settings of its own: the window keeps its layout there, not in the user's file.
    SettingsStore store(dir.filePath(QStringLiteral("Kodra.ini")));

    const QStringList plain = Debtors::statement({}, Debtors::defaultOrdering);
    const QStringList out
        = Debtors::statement({false, false, true, false}, Debtors::defaultOrdering);
    const double alone = fetchAlone(data.DefDatabase(), plain);
    const double aloneOut = fetchAlone(data.DefDatabase(), out);

    int rows = 0;
    int fetched = 0;
    const double window = bestMs(3, [&] {
        TfGive give(data, &store);
        give.resize(900, 700);
        give.show();
        showFirstScreen(give);
        fetched = give.dtGive.fetchedCount();
        rows = give.DBGridEh1->dataSetModel()->rowCount();
    });
    if (rows == 0)
        die(QStringLiteral("the list shows no rows"));
    say(QStringLiteral("debtors list, 100,000 lendings: first 1000 rows alone %1 ms, window to "
                       "its first screen %2 ms (%3 rows fetched), ratio %4 (goal <= 2)")
            .arg(alone, 0, 'f', 1)
            .arg(window, 0, 'f', 1)
            .arg(fetched)
            .arg(window / alone, 0, 'f', 2));

    int outRows = 0;
    double toggled = 1e18;
    {
        TfGive give(data, &store);
        give.resize(900, 700);
        give.show();
        QCoreApplication::processEvents();
        for (int run = 0; run < 3; ++run) {
            if (give.isOn(Debtors::NotReturned)) {
                give.aOwnExecute(give.aGiven);
                QCoreApplication::processEvents();
            }
            QElapsedTimer t;
            t.start();
            give.aOwnExecute(give.aGiven);
            showFirstScreen(give);
            toggled = std::min(toggled, t.nsecsElapsed() / 1e6);
            outRows = give.dtGive.fetchedCount();
        }
    }
    say(QStringLiteral("\"Невозвращенные\" on: first 1000 rows alone %1 ms, toggle to the first "
                       "screen %2 ms (%3 rows fetched), ratio %4 (goal <= 2)")
            .arg(aloneOut, 0, 'f', 1)
            .arg(toggled, 0, 'f', 1)
            .arg(outRows)
            .arg(toggled / aloneOut, 0, 'f', 2));
    data.DefDatabase().close();
    return 0;
}
