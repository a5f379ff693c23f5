#include "browser/uMain.h"

#include "admin/uInstall.h"
#include "admin/uSetup.h"
#include "app/ConnectFailure.h"
#include "app/uAbout.h"
#include "browser/FolderCommands.h"
#include "browser/TDBTreeView.h"
#include "browser/VolumeWatch.h"
#include "disk/uEdtDisk.h"
#include "lending/uGive.h"
#include "platform/SettingsStore.h"
#include "refbooks/uSprGroup.h"
#include "refbooks/uSprMan.h"
#include "refbooks/uSprType.h"
#include "reports/uFreeRep.h"
#include "reports/uStat1.h"
#include "search/uFind.h"
#include "store/DbError.h"
#include "widgets/DBGrid.h"
#include "widgets/ErrorBox.h"
#include "widgets/IconSet.h"
#include "widgets/Prompt.h"
#include "widgets/ScreenCentre.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QMenuBar>
#include <QSplitter>
#include <QVBoxLayout>

namespace {

const QString watchVolumesName = QStringLiteral("WatchVolumes");
constexpr int kTreeWidth = 177;
} // namespace

TfMain::TfMain(SettingsStore *store, QWidget *parent)
    : QMainWindow(parent),
      m_store(store),
      m_data(std::make_unique<Catalogue>()),
      m_session(*m_data, *store),
      fsMain(this, store, ConnectionSettings::section)
{
    setObjectName(QStringLiteral("fMain"));
    setWindowTitle(QStringLiteral("Kodra"));
    resize(696, 480);
    moveToScreenCentre(*this);

    createActions();
    createMenus();
    createPanes();

    fsMain.addStoredProperty(
        QStringLiteral("DBTreeView1.Width"), [this] { return DBTreeView1->width(); },
        [this](int w) {
            QList<int> sizes = m_splitter->sizes();
            const int total = sizes.value(0) + sizes.value(1);
            m_splitter->setSizes({w, qMax(0, total - w)});
        });
    connect(&fsMain, &FormStorage::placementRestored, this, &TfMain::layoutRestored);
    connect(&fsMain, &FormStorage::placementSaved, this, &TfMain::layoutSaved);

    m_data->dtDisk().afterInsert = [this](QueryDataSet &ds) { dtDiskAfterInsert(ds); };
    m_data->dtFolder().afterScroll = [this](QueryDataSet &) { folderScrolled(); };
    QueryDataSet *folder = &m_data->dtFolder();
    connect(folder, &QueryDataSet::dataReset, this, &TfMain::updateDiskCommands);
    connect(folder, &QueryDataSet::dataSetChanged, this, &TfMain::updateDiskCommands);
    connect(folder, &QueryDataSet::currentRowChanged, this, &TfMain::updateDiskCommands);
    connect(folder, &QueryDataSet::stateChanged, this, &TfMain::updateDiskCommands);
    setDiskEditor([](TfMain &main) {
        TfEdtDisk editor(main.data(), main.settings(), &main.store(), &main);
        // The search index takes in what a read wrote once the read is over.
        connect(&editor, &TfEdtDisk::contentsRead, &main.data().searchIndex(),
                &SearchIndex::refreshInBackground);
        return editor.exec() == QDialog::Accepted;
    });

    // A disk gone to from another window is shown in the disk list, which takes the keys.
    connect(m_data.get(), &Catalogue::wentTo, this, [this] { DBGridEh1->setFocus(); });
    Connection &db = m_data->DefDatabase();
    connect(&db, &Connection::afterConnect, this, [this] {
        updateConnectCaption(true);
        m_volumes->catalogueChanged();
    });
    connect(&db, &Connection::afterDisconnect, this, [this] { updateConnectCaption(false); });
}

TfMain::~TfMain()
{
    fsMain.formDestroying();
}

void TfMain::createPanes()
{
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setChildrenCollapsible(false);
    DBTreeView1 = new TDBTreeView(m_splitter);
    DBTreeView1->setObjectName(QStringLiteral("DBTreeView1"));
    FolderCommands::setupFolderTree(*DBTreeView1, m_data->dtFolder());
    PopupMenu1 = new QMenu(this);
    PopupMenu1->addAction(aAddFolder);
    PopupMenu1->addAction(aDelFolder);
    PopupMenu1->addAction(aRenameFolder);
    DBTreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBTreeView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu1->popup(DBTreeView1->mapToGlobal(pos)); });
    connect(aAddFolder, &QAction::triggered, this,
            [this] { runCommand(this, [this] { FolderCommands::addFolder(*DBTreeView1); }); });
    connect(aDelFolder, &QAction::triggered, this,
            [this] { runCommand(this, [this] { FolderCommands::delFolder(*DBTreeView1); }); });
    connect(aRenameFolder, &QAction::triggered, this,
            [this] { runCommand(this, [this] { FolderCommands::renameFolder(*DBTreeView1); }); });
    DBTreeView1->OnDragOver
        = [this](QObject *sender, QObject *source, const QPoint &pos, TDBTreeView::DragState state,
                 bool &accept) { DBTreeView1DragOver(sender, source, pos, state, accept); };
    DBTreeView1->OnDragDropTreeNode
        = [this](const QModelIndex &target, const QModelIndex &dragged, bool &accept) {
              DBTreeView1DragDropTreeNode(target, dragged, accept);
          };
    DBTreeView1->OnDragDrop = [this](QObject *sender, QObject *source, const QPoint &pos) {
        DBTreeView1DragDrop(sender, source, pos);
    };

    // The disk list with the bars about volumes in the drive above it.
    auto *diskPane = new QWidget(m_splitter);
    auto *diskLayout = new QVBoxLayout(diskPane);
    diskLayout->setContentsMargins(0, 0, 0, 0);
    diskLayout->setSpacing(2);
    DBGridEh1 = new DBGrid(diskPane);
    diskLayout->addWidget(DBGridEh1);
    m_volumes = new VolumeWatch(
        diskLayout,
        [this]() -> Connection * {
            Connection &db = m_data->DefDatabase();
            return m_data->dtFolder().isOpen() ? &db : nullptr;
        },
        {}, this);
    connect(m_volumes, &VolumeWatch::goRequested, this,
            [this](const VolumeRecognition::Disk &disk) { goToDisk(disk.folderId, disk.diskId); });
    connect(m_volumes, &VolumeWatch::rereadRequested, this, &TfMain::rereadVolume);
    connect(m_volumes, &VolumeWatch::addRequested, this, &TfMain::addVolume);
    DBGridEh1->setObjectName(QStringLiteral("DBGridEh1"));
    createDiskList();

    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({kTreeWidth, width() - kTreeWidth});
    setCentralWidget(m_splitter);
    setTabOrder(DBTreeView1, DBGridEh1);
}

void TfMain::createDiskList()
{
    m_diskList = new DiskList(DBGridEh1, m_data->dtDisk(), this);
    PopupMenu2 = new QMenu(this);
    PopupMenu2->addAction(aAddDisk);
    PopupMenu2->addAction(aEditDisk);
    PopupMenu2->addAction(aDelDisk);
    DBGridEh1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGridEh1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu2->popup(DBGridEh1->mapToGlobal(pos)); });
    connect(DBGridEh1, &DBGrid::activatedByKey, this, &TfMain::diskListActivated);
    connect(DBGridEh1, &DBGrid::activatedByDoubleClick, this, &TfMain::diskListActivated);
}

void TfMain::folderScrolled()
{
    const QueryDataSet &folder = m_data->dtFolder();
    if (folder.isOpen() && folder.currentRow() >= 0)
        DBGridEh1->dataSetModel()->setColumnTitle(
            0, folder.fieldByName(QStringLiteral("FFOLDER")).asString());
}

void TfMain::diskListActivated()
{
    QueryDataSet &disk = m_data->dtDisk();
    if (!m_diskEditor || !hasCurrentFolder() || disk.state() != QueryDataSet::State::Browse)
        return;
    if (disk.isEmpty())
        aAddDiskExecute();
    else
        aEditDiskExecute();
}

void TfMain::createActions()
{
    auto make = [this](const char *name, const QString &caption, int icon = -1,
                       const QKeySequence &shortcut = {}, const QString &hint = {}) {
        auto *action = new QAction(caption, this);
        action->setObjectName(QString::fromLatin1(name));
        if (icon >= 0)
            action->setIcon(IconSet::icon(icon));
        action->setShortcut(shortcut);
        action->setStatusTip(hint);
        action->setToolTip(hint.isEmpty() ? caption : hint);
        // Shortcuts work wherever the focus is in the window.
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        // Connected before the command itself: text typed into a cell of the list reaches
        // its row before the command moves, re-reads or leaves that row.
        connect(action, &QAction::triggered, this, &TfMain::commitListEdit);
        return action;
    };
    aConnect = make("aConnect", QStringLiteral("Соединение"), IconSet::Connect);
    aConnect->setCheckable(true);
    aRefresh = make("aRefresh", QStringLiteral("Переоткрыть"), IconSet::Refresh,
                    QKeySequence(Qt::Key_F5), QStringLiteral("Переоткрыть"));
    aInstall = make("aInstall", QStringLiteral("Создать новую"), IconSet::Install);
    aSetup = make("aSetup", QStringLiteral("Настройки"), IconSet::Setup);
    aSaveSetup = make("aSaveSetup", QStringLiteral("Сохранить настройки"), IconSet::Save);
    // Ctrl+Q and F1 as on every desktop.
    aExit
        = make("aExit", QStringLiteral("Выход"), IconSet::Exit, QKeySequence(Qt::CTRL | Qt::Key_Q));
    aMan = make("aMan", QStringLiteral("Люди"), IconSet::People);
    aType = make("aType", QStringLiteral("Типы"), IconSet::Types);
    aGroups = make("aGroups", QStringLiteral("Группы"), IconSet::Groups);
    aReports = make("aReports", QStringLiteral("Редактор наклеек"), IconSet::Reports,
                    QKeySequence(Qt::Key_F4));
    aStat1 = make("aStat1", QStringLiteral("Количество"));
    aFind = make("aFind", QStringLiteral("Найти"), IconSet::Find, QKeySequence(Qt::Key_F7));
    aGive = make("aGive", QStringLiteral("Должники"), IconSet::Give, QKeySequence(Qt::Key_F3));
    aWatchVolumes = make("aWatchVolumes", QStringLiteral("Узнавать диски в приводе"), -1, {},
                         QStringLiteral("Сообщать, какой диск каталога вставлен в привод"));
    aWatchVolumes->setCheckable(true);
    aAddDisk = make("aAddDisk", QStringLiteral("Добавить"), IconSet::Add,
                    QKeySequence(Qt::Key_Insert), QStringLiteral("Внести в базу"));
    aEditDisk = make("aEditDisk", QStringLiteral("Редактировать"), IconSet::Edit);
    aDelDisk = make("aDelDisk", QStringLiteral("Удалить"), IconSet::Delete,
                    QKeySequence(Qt::CTRL | Qt::Key_Delete), QStringLiteral("Удалить из базы"));
    aAbout
        = make("aAbout", QStringLiteral("О программе"), IconSet::About, QKeySequence(Qt::Key_F1));
    aAddFolder = make("aAddFolder", QStringLiteral("Новая папка"));
    aDelFolder = make("aDelFolder", QStringLiteral("Удалить"));
    aRenameFolder = make("aRenameFolder", QStringLiteral("Переименовать"));

    connect(aConnect, &QAction::triggered, this, &TfMain::aConnectExecute);
    connect(aRefresh, &QAction::triggered, this, &TfMain::aRefreshExecute);
    connect(aSaveSetup, &QAction::triggered, this, &TfMain::aSaveSetupExecute);
    connect(aExit, &QAction::triggered, this, &TfMain::aExitExecute);
    connect(aAddDisk, &QAction::triggered, this, &TfMain::aAddDiskExecute);
    connect(aEditDisk, &QAction::triggered, this, &TfMain::aEditDiskExecute);
    connect(aDelDisk, &QAction::triggered, this, &TfMain::aDelDiskExecute);
    connect(aAbout, &QAction::triggered, this, &TfMain::aAboutExecute);
    connect(aSetup, &QAction::triggered, this, &TfMain::aSetupExecute);
    connect(aInstall, &QAction::triggered, this, &TfMain::aInstallExecute);
    connect(aGive, &QAction::triggered, this, &TfMain::aGiveExecute);
    connect(aMan, &QAction::triggered, this, &TfMain::aManExecute);
    connect(aType, &QAction::triggered, this, &TfMain::aTypeExecute);
    connect(aGroups, &QAction::triggered, this, &TfMain::aGroupsExecute);
    connect(aFind, &QAction::triggered, this, &TfMain::aFindExecute);
    connect(aStat1, &QAction::triggered, this, &TfMain::aStat1Execute);
    connect(aReports, &QAction::triggered, this, &TfMain::aReportsExecute);
}

void TfMain::createMenus()
{
    // Each title opens with Alt and its underlined letter, no two alike.
    QMenu *database = menuBar()->addMenu(QStringLiteral("&База данных"));
    database->addAction(aConnect);
    database->addAction(aRefresh);
    database->addSeparator();
    database->addAction(aInstall);
    database->addSeparator();
    database->addAction(aSetup);
    database->addAction(aSaveSetup);
    database->addSeparator();
    database->addAction(aExit);

    QMenu *books = menuBar()->addMenu(QStringLiteral("&Справочники"));
    books->addAction(aMan);
    books->addAction(aType);
    books->addAction(aGroups);

    menuBar()->addMenu(QStringLiteral("&Наклейки"))->addAction(aReports);
    menuBar()->addMenu(QStringLiteral("С&татистика"))->addAction(aStat1);

    QMenu *disk = menuBar()->addMenu(QStringLiteral("Н&оситель"));
    disk->addAction(aFind);
    disk->addAction(aGive);
    disk->addAction(aWatchVolumes);
    disk->addSeparator();
    disk->addAction(aAddDisk);
    disk->addAction(aEditDisk);
    disk->addAction(aDelDisk);

    menuBar()->addMenu(QStringLiteral("&?"))->addAction(aAbout);
}

void TfMain::setDiskEditor(DiskEditor editor)
{
    m_diskEditor = std::move(editor);
    updateDiskCommands();
}

bool TfMain::hasCurrentFolder() const
{
    const QueryDataSet &folder = m_data->dtFolder();
    return folder.isOpen() && !folder.isEmpty() && folder.currentRow() >= 0;
}

void TfMain::updateDiskCommands()
{
    // A disk belongs to a folder: without a current one a new disk could never be posted.
    const bool folder = hasCurrentFolder();
    aAddDisk->setEnabled(folder && bool(m_diskEditor));
    aEditDisk->setEnabled(folder && bool(m_diskEditor));
    aDelDisk->setEnabled(folder);
    // Moving down past the last row starts a disk exactly as the add command does.
    DBGridEh1->setAppendOnDown(folder && bool(m_diskEditor));
}

void TfMain::commitListEdit()
{
    DBGridEh1->commitEdit();
}

void TfMain::dtDiskAfterInsert(QueryDataSet &ds)
{
    ds.fieldByName(QStringLiteral("FFOLDERID"))
        .setValue(m_data->dtFolder().fieldByName(QStringLiteral("FFOLDERID")).value());
    ds.fieldByName(QStringLiteral("FMANID")).setInteger(1);
    // A disk added from a volume's bar is named after the volume's label.
    if (!m_newDiskName.isEmpty())
        ds.fieldByName(QStringLiteral("FNAME")).setString(std::exchange(m_newDiskName, {}));
    editDisk();
}

void TfMain::editDisk()
{
    if (!m_diskEditor)
        return;
    QueryDataSet &disk = m_data->dtDisk();
    const auto cancelPending = [&disk] {
        if (disk.state() == QueryDataSet::State::Edit
            || disk.state() == QueryDataSet::State::Insert)
            disk.cancel();
    };
    bool ok = false;
    try {
        ok = m_diskEditor(*this);
    } catch (...) {
        // An editor that could not open leaves no half-made disk behind.
        cancelPending();
        throw;
    }
    if (ok)
        aRefreshExecute();
    else
        cancelPending();
}

void TfMain::goToDisk(int folder, int disk)
{
    runCommand(this, [this, folder, disk] { m_data->goTo(folder, disk); });
}

void TfMain::rereadVolume(const VolumeRecognition::Disk &disk, const QString &mountPoint)
{
    goToDisk(disk.folderId, disk.diskId);
    if (m_data->currentDisk() != disk.diskId)
        return;
    // The editor chooses the drive last used.
    settings().cd = mountPoint;
    aEditDiskExecute();
}

void TfMain::addVolume(const QString &mountPoint, const QString &label)
{
    if (!aAddDisk->isEnabled())
        return;
    settings().cd = mountPoint;
    m_newDiskName = label.isEmpty() ? mountPoint.section(QLatin1Char('/'), -1) : label;
    aAddDiskExecute();
    m_newDiskName.clear();
}

void TfMain::aAddDiskExecute()
{
    QueryDataSet &disk = m_data->dtDisk();
    // A row edited in place is stored by the insert first; a new row is already the editor's.
    if (!aAddDisk->isEnabled() || disk.state() == QueryDataSet::State::Insert)
        return;
    runCommand(this, [&disk] { disk.insert(); });
}

void TfMain::aEditDiskExecute()
{
    if (!aEditDisk->isEnabled())
        return;
    runCommand(this, [this] { editDisk(); });
}

void TfMain::aDelDiskExecute()
{
    if (!aDelDisk->isEnabled())
        return;
    QueryDataSet &disk = m_data->dtDisk();
    const QString name
        = disk.isOpen() ? disk.fieldByName(QStringLiteral("FNAME")).asString() : QString();
    const auto answer = Prompt::instance().message(
        this, QStringLiteral("Удалить ") + name + QStringLiteral(" ?"), QStringLiteral("Удалить ?"),
        QMessageBox::Question, QMessageBox::Ok | QMessageBox::Cancel);
    if (answer != QMessageBox::Ok)
        return;
    runCommand(this, [&disk] { disk.remove(); });
}

void TfMain::aRefreshExecute()
{
    runCommand(this, [this] {
        WaitCursor wait;
        Catalogue &d = *m_data;
        // Re-reading leaves the row being edited: it is stored first, as leaving it would.
        d.dtFolder().checkBrowseMode();
        d.dtDisk().checkBrowseMode();
        const int folder = d.dtFolder().isOpen()
            ? d.dtFolder().fieldByName(QStringLiteral("FFOLDERID")).asInteger()
            : 0;
        const int disk = d.dtDisk().isOpen()
            ? d.dtDisk().fieldByName(QStringLiteral("FDISKID")).asInteger()
            : 0;
        d.dtDisk().close();
        d.dtFolder().close();
        d.dtFolder().open();
        d.dtDisk().open();
        d.dtFolder().locate(QStringLiteral("FFOLDERID"), folder);
        d.dtDisk().locate(QStringLiteral("FDISKID"), disk);
    });
}

void TfMain::DBTreeView1DragOver(QObject *, QObject *, const QPoint &, TDBTreeView::DragState,
                                 bool &accept)
{
    accept = true;
}

void TfMain::DBTreeView1DragDropTreeNode(const QModelIndex &, const QModelIndex &, bool &accept)
{
    accept = true;
}

void TfMain::DBTreeView1DragDrop(QObject *sender, QObject *source, const QPoint &)
{
    // The tree has selected the drop target: dtFolder is on the folder the disk goes to.
    if (source != DBGridEh1 || sender != DBTreeView1 || !DBTreeView1->currentIndex().isValid())
        return;
    const int disk = m_diskList->draggedDisk();
    const bool moved = runCommand(this, [this, disk] {
        Catalogue &d = *m_data;
        d.dtMoveDisk().setParam(QStringLiteral("FDISKID"), disk);
        d.dtMoveDisk().setParam(QStringLiteral("FFOLDERID"),
                                d.dtFolder().fieldByName(QStringLiteral("FFOLDERID")).value());
        d.dtMoveDisk().execute();
    });
    if (!moved)
        return;
    aRefreshExecute();
    runCommand(this, [this, disk] { m_data->dtDisk().locate(QStringLiteral("FDISKID"), disk); });
}

void TfMain::aSetupExecute()
{
    TfSetup dialog(*m_data, settings(), this);
    if (dialog.exec() == QDialog::Accepted && !m_data->DefDatabase().isConnected())
        aConnectExecute();
}

void TfMain::aInstallExecute()
{
    TfInstall dialog(*m_data, settings(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!m_data->DefDatabase().isConnected())
        aConnectExecute();
    // A new catalogue is known from now on: a program that dies before its first close must
    // not greet the user with the installation dialog again.
    if (m_data->DefDatabase().isConnected())
        aSaveSetupExecute();
}

void TfMain::aAboutExecute()
{
    TfAbout about(*m_data, this);
    about.exec();
}

void TfMain::aGiveExecute()
{
    int folder = 0;
    int disk = 0;
    runCommand(this, [this, &folder, &disk] {
        TfGive give(*m_data, m_store, this);
        if (give.exec() != QDialog::Accepted)
            return;
        const QueryDataSet &list = give.dtGive;
        if (!list.isOpen() || list.isEmpty())
            return;
        folder = list.fieldByName(QStringLiteral("FFOLDERID")).asInteger();
        disk = list.fieldByName(QStringLiteral("FDISKID")).asInteger();
    });
    // The lists closed (disconnected) have nothing to show the disk in.
    if (folder != 0)
        runCommand(this, [this, folder, disk] { m_data->goTo(folder, disk); });
}

void TfMain::aManExecute()
{
    runRefBook([this] { return std::make_unique<TfSprMan>(*m_data, this); }, m_data->dtMan());
}

void TfMain::aTypeExecute()
{
    runRefBook([this] { return std::make_unique<TfSprType>(*m_data, this); }, m_data->dtType());
}

void TfMain::aGroupsExecute()
{
    runRefBook([this] { return std::make_unique<TfSprGroup>(*m_data, this); }, m_data->dtGroup());
}

void TfMain::runRefBook(const std::function<std::unique_ptr<QDialog>()> &make, QueryDataSet &lookup)
{
    runCommand(this, [&make] { make()->exec(); });
    // Names added, changed or deleted there show in the list and the editor at once; a
    // closed lookup reads them when it opens.
    if (lookup.isOpen())
        runCommand(this, [&lookup] { lookup.refresh(); });
}

void TfMain::aFindExecute()
{
    // The search window asks the catalogue to go to a found disk; its result is not needed.
    TfFind find(*m_data, this, m_store);
    find.exec();
}

void TfMain::aReportsExecute()
{
    // The templates print over the disk list as it stands.
    TfFreeRep reports(*m_data, this, m_store);
    reports.exec();
}

void TfMain::aStat1Execute()
{
    // The holder lives for this one run; it goes also when the query or the build fails.
    runCommand(this, [this] {
        TfStat1 stat(*m_data, this);
        {
            WaitCursor wait;
            stat.dtStat1.open();
        }
        stat.frStat1.show();
    });
}

void TfMain::updateConnectCaption(bool connected)
{
    aConnect->setChecked(connected);
    aConnect->setText(connected ? QStringLiteral("Соединение есть")
                                : QStringLiteral("Соединения нет"));
}

void TfMain::layoutRestored()
{
    m_session.readSettings();
    if (m_shown)
        return;
    m_shown = true;
    // Connect once the window is on screen, so that a slow or failing connect shows over it.
    QMetaObject::invokeMethod(this, &TfMain::firstShow, Qt::QueuedConnection);
}

void TfMain::firstShow()
{
    // Watching starts with the window; the choice is the user's and kept.
    aWatchVolumes->setChecked(
        m_store->readBool(ConnectionSettings::section, watchVolumesName, true));
    connect(aWatchVolumes, &QAction::toggled, this, [this](bool on) {
        m_store->writeBool(ConnectionSettings::section, watchVolumesName, on);
        m_volumes->setEnabled(on);
    });
    m_volumes->setEnabled(aWatchVolumes->isChecked());
    // A store never saved belongs to a first run, which starts with the installation dialog.
    if (m_session.hasRunBefore())
        aConnectExecute();
    else
        aInstallExecute();
    Q_EMIT startupFinished();
}

void TfMain::aConnectExecute()
{
    Connection &db = m_data->DefDatabase();
    if (db.isConnected()) {
        runCommand(this, [&db] { db.close(); });
        return;
    }
    try {
        WaitCursor wait;
        if (!m_session.connect())
            Prompt::instance().message(
                this, CatalogueSession::wrongVersionText(m_session.foundVersion()),
                CatalogueSession::wrongVersionCaption(), QMessageBox::Critical, QMessageBox::Ok);
    } catch (const DbError &e) {
        if (db.isConnected()) {
            showErrorBox(this, e.text());
            return;
        }
        // Not even attached: say what to do, the engine's words kept as details.
        const ConnectFailure failure
            = ConnectFailure::explain(m_session.settings().databasePath(), e);
        showErrorBox(this, failure.text, failure.details);
    } catch (const std::exception &e) {
        showErrorBox(this, QString::fromLocal8Bit(e.what()));
    }
}

void TfMain::layoutSaved()
{
    m_session.saveSettings();
}

void TfMain::aSaveSetupExecute()
{
    if (!fsMain.isRestored())
        return;
    fsMain.saveFormPlacement();
    if (!m_store->lastError().isEmpty())
        showErrorBox(this, m_store->lastError());
}

void TfMain::aExitExecute()
{
    close();
}
