// The folder tree and the disk list on large catalogues.
//
// Prints the full load of 20,000 folders into the tree as a ratio to fetching the same rows
// alone, one folder renamed among them as a ratio to that load, and the time until a folder with
// 100,000 disks shows its first screen as a ratio to one with 100 disks.

#include "bench/BenchDisk.h"
#include "browser/FolderCommands.h"
#include "browser/FolderTreeModel.h"
#include "browser/TDBTreeView.h"
#include "browser/uMain.h"
#include "platform/SettingsStore.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/SignalCleanup.h"
#include "tests/support/TestCatalogue.h"
#include "widgets/DBGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace {

using BenchDisk::bestMs;
using BenchDisk::die;
using BenchDisk::say;

void folderTree(const TestCatalogue &cat)
{
    // 20,000 folders: 200 top-level folders of 10 children of 10 grandchildren, parents
    // inserted after their children half the time so that re-parenting has work to do.
    cat.exec({QStringLiteral(
        "execute block as declare i integer = 0; declare p integer; begin "
        "while (i < 20000) do begin "
        "p = case when mod(i, 111) = 0 then 0 when mod(i, 111) <= 10 then i - mod(i, 111) "
        "else i - mod(mod(i, 111) - 11, 10) - 1 end; "
        "insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values (100000 + :i, "
        "'Папка ' || (20000 - :i), iif(:p = 0, 0, 100000 + :p)); i = i + 1; end end")});
    Catalogue data;
    cat.configure(data.DefDatabase());
    data.DefDatabase().open();

    const double fetchOnly = bestMs(3, [&] {
        data.dtFolder().close();
        data.dtFolder().open();
        data.dtFolder().fetchAll();
    });
    data.dtFolder().close();
    const int rows = data.dtFolder().fetchedCount();

    TDBTreeView tree;
    FolderCommands::setupFolderTree(tree, data.dtFolder());
    tree.resize(300, 600);
    tree.show();
    const double load = bestMs(3, [&] {
        data.dtFolder().close();
        data.dtFolder().open();
        QCoreApplication::processEvents();
    });
    const int nodes = tree.folderModel()->folderCount();
    say(QStringLiteral("tree: %1 folders, fetch alone %2 ms, full load into the tree %3 ms "
                       "(%4 nodes), ratio %5 (goal <= 3)")
            .arg(rows ? rows : 20000)
            .arg(fetchOnly, 0, 'f', 1)
            .arg(load, 0, 'f', 1)
            .arg(nodes)
            .arg(load / fetchOnly, 0, 'f', 2));

    // One folder renamed and posted: the tree follows that row alone.
    int round = 0;
    const double rename = bestMs(3, [&] {
        data.dtFolder().locate(QStringLiteral("FFOLDERID"), 100007);
        data.dtFolder().edit();
        data.dtFolder()
            .fieldByName(QStringLiteral("FFOLDER"))
            .setString(QStringLiteral("Переименованная %1").arg(++round));
        data.dtFolder().post();
        QCoreApplication::processEvents();
    });
    say(QStringLiteral("tree: one folder renamed and posted among them %1 ms, ratio to the full "
                       "load %2")
            .arg(rename, 0, 'f', 1)
            .arg(rename / load, 0, 'f', 3));
}

void diskList(const TestCatalogue &cat)
{
    cat.exec({
        QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values (9001, "
                       "'Большая', 0)"),
        QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values (9002, "
                       "'Маленькая', 0)"),
        QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values (9003, "
                       "'Пустая', 0)"),
        QStringLiteral("execute block as declare i integer = 0; begin while (i < 100000) do "
                       "begin insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, "
                       "FFULLSIZE) values (200000 + :i, 9001, 1, 'Диск ' || :i, mod(:i, 500), "
                       "700000000); i = i + 1; end end"),
        QStringLiteral("execute block as declare i integer = 0; begin while (i < 100) do "
                       "begin insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, "
                       "FFULLSIZE) values (400000 + :i, 9002, 1, 'Диск ' || :i, mod(:i, 500), "
                       "700000000); i = i + 1; end end"),
    });
    QTemporaryDir dir;
    SignalCleanup::addFolder(dir.path());
    // Settings of its own, as a program that has run before leaves them: the first show
    // connects to the benchmark's catalogue and no dialog waits for a user.
    SettingsStore store(dir.filePath(QStringLiteral("Kodra.ini")));
    MainWindowFixture::prepareStore(store, cat.path());
    RecordingPrompt prompt;
    TfMain window(&store);
    QSignalSpy started(&window, &TfMain::startupFinished);
    window.resize(900, 700);
    window.show();
    if (!started.wait(60000))
        die(QStringLiteral("the main window did not start"));
    if (!prompt.shown.isEmpty())
        die(prompt.shown.first().text);
    if (!window.data().dtFolder().isOpen())
        die(QStringLiteral("the main window did not connect"));
    QueryDataSet &folder = window.data().dtFolder();
    auto firstScreen = [&](int key) {
        return bestMs(3, [&] {
            folder.locate(QStringLiteral("FFOLDERID"), 9003);
            QCoreApplication::processEvents();
            folder.locate(QStringLiteral("FFOLDERID"), key);
            window.DBGridEh1->repaint();
            QCoreApplication::processEvents();
        });
    };
    const double small = firstScreen(9002);
    const double large = firstScreen(9001);
    say(QStringLiteral("disk list: first screen of 100 disks %1 ms, of 100,000 disks %2 ms "
                       "(%3 rows fetched), ratio %4 (goal <= 2)")
            .arg(small, 0, 'f', 1)
            .arg(large, 0, 'f', 1)
            .arg(window.data().dtDisk().fetchedCount())
            .arg(large / small, 0, 'f', 2));
}

} // namespace

int main(int argc, char *argv[])
{
    SignalCleanup::install();
    QApplication app(argc, argv);
    TestCatalogue treeCat;
    if (!treeCat.isValid())
        die(treeCat.error());
    folderTree(treeCat);
    TestCatalogue listCat;
    if (!listCat.isValid())
        die(listCat.error());
    diskList(listCat);
    return 0;
}
