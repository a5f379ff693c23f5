#include "browser/uMain.h"

#include "admin/uInstall.h"
#include "admin/uSetup.h"
#include "app/uAbout.h"
#include "browser/DiskListFormat.h"
#include "browser/dbtree.h"
#include "browser/foldercommands.h"
#include "disk/uEdtDisk.h"
#include "platform/SettingsStore.h"
#include "search/uFind.h"
#include "store/DbError.h"
#include "widgets/DBGrid.h"
#include "widgets/ErrorBox.h"
#include "widgets/IconSet.h"
#include "widgets/Prompt.h"
#include "widgets/SortableTitles.h"

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QHeaderView>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QSplitter>

namespace {
const QString kVersion = QStringLiteral("1.0");
constexpr int kTreeWidth = 177;
} // namespace

TfMain::TfMain(SettingsStore *store, QWidget *parent)
    : QMainWindow(parent),
      m_store(store),
      m_data(std::make_unique<MainData>()),
      fsMain(this, store, ConnectionSettings::section)
{
    setObjectName(QStringLiteral("fMain"));
    setWindowTitle(QStringLiteral("Kodra"));
    resize(696, 480);
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());

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

    m_data->dtDisk.afterInsert = [this](QueryDataSet &ds) { dtDiskAfterInsert(ds); };
    m_data->dtDisk.afterClose = [this](QueryDataSet &) { DBGridEh1->setHintText(QString()); };
    m_data->dtFolder.afterScroll = [this](QueryDataSet &) { folderScrolled(); };
    QueryDataSet *folder = &m_data->dtFolder;
    connect(folder, &QueryDataSet::dataReset, this, &TfMain::updateDiskCommands);
    connect(folder, &QueryDataSet::dataSetChanged, this, &TfMain::updateDiskCommands);
    connect(folder, &QueryDataSet::currentRowChanged, this, &TfMain::updateDiskCommands);
    connect(folder, &QueryDataSet::stateChanged, this, &TfMain::updateDiskCommands);
    runDrag = [](QDrag *drag) { drag->exec(Qt::MoveAction); };
    setDiskEditor([](TfMain &main) {
        TfEdtDisk editor(main.data(), main.settings(), &main.store(), &main);
        return editor.exec() == QDialog::Accepted;
    });

    Connection &db = m_data->DefDatabase;
    connect(&db, &Connection::afterConnect, this, [this] { updateConnectCaption(true); });
    connect(&db, &Connection::afterDisconnect, this, [this] { updateConnectCaption(false); });
}

TfMain::~TfMain() = default;

void TfMain::createPanes()
{
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setChildrenCollapsible(false);
    DBTreeView1 = new TDBTreeView(m_splitter);
    DBTreeView1->setObjectName(QStringLiteral("DBTreeView1"));
    FolderCommands::setupFolderTree(*DBTreeView1, m_data->dtFolder);
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

    DBGridEh1 = new DBGrid(m_splitter);
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
    using Column = DataSetModel::Column;
    auto column = [](const char *field, const QString &title, int width, bool stretch) {
        Column c;
        c.fieldName = QString::fromLatin1(field);
        c.title = title;
        c.width = width;
        c.stretch = stretch;
        return c;
    };
    Column size = column("FFULLSIZE", QStringLiteral("Размер"), 78, false);
    size.format = &DiskListFormat::size;
    size.alignment = Qt::AlignRight | Qt::AlignVCenter;
    // The server computes the status: an edit there could never be stored.
    Column status = column("FSTATUS", QStringLiteral("Статус"), 57, true);
    status.readOnly = true;
    Column bought = column("FGETDATE", QStringLiteral("Приобретен"), 66, false);
    bought.format = [](const QVariant &v) {
        return v.isNull() ? QString() : QLocale().toString(v.toDate(), QLocale::ShortFormat);
    };
    const QList<Column> columns {
        column("FNAME", QStringLiteral("Наименование"), 171, true),
        column("FDISKIS", QStringLiteral("д."), 15, false),
        column("FDISKS", QStringLiteral("из"), 17, false),
        column("FTYPE", QStringLiteral("Тип"), 46, false),
        size,
        bought,
        status,
        column("FNN", QStringLiteral("№"), 30, false),
    };
    QueryDataSet &disk = m_data->dtDisk;
    DataSetModel *model = DBGridEh1->setDataSet(&disk, columns);
    model->setErrorParent(this);
    const int statusColumn = model->columnOfField(QStringLiteral("FSTATUS"));
    const int lost = disk.fieldByName(QStringLiteral("FDELDATE")).index();
    const int code = disk.fieldByName(QStringLiteral("FSTATUSCODE")).index();
    model->setCellColor([&disk, statusColumn, lost, code](int row, int col) {
        return DiskListFormat::cellColour(disk.value(row, lost), disk.value(row, code),
                                          col == statusColumn);
    });

    // The server sorts: a title click rewrites the order of the select. The lookup column
    // has no column of its own in the select and does not sort.
    m_diskTitles = std::make_unique<SortableTitles>(
        disk, int(columns.size()),
        [model](int col) {
            const Field *f = model->field(col);
            return f && !f->isLookup() ? f->name() : QString();
        },
        [model](int col, SortableTitles::Mark mark) {
            model->setSortMark(col, DataSetModel::SortMark(int(mark)));
        });
    DBGridEh1->setTitleClickHandler(
        [this](int col) { runCommand(this, [this, col] { m_diskTitles->titleClick(col); }); });

    PopupMenu2 = new QMenu(this);
    PopupMenu2->addAction(aAddDisk);
    PopupMenu2->addAction(aEditDisk);
    PopupMenu2->addAction(aDelDisk);
    DBGridEh1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGridEh1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu2->popup(DBGridEh1->mapToGlobal(pos)); });
    connect(DBGridEh1, &DBGrid::activatedByKey, this, &TfMain::diskListActivated);
    connect(DBGridEh1, &DBGrid::activatedByDoubleClick, this, &TfMain::diskListActivated);
    connect(DBGridEh1, &QAbstractItemView::clicked, this, &TfMain::diskListClicked);
    DBGridEh1->setAppendOnDown(false);
    DBGridEh1->viewport()->installEventFilter(this);
}

void TfMain::folderScrolled()
{
    const QueryDataSet &folder = m_data->dtFolder;
    if (folder.isOpen() && folder.currentRow() >= 0)
        DBGridEh1->dataSetModel()->setColumnTitle(
            0, folder.fieldByName(QStringLiteral("FFOLDER")).asString());
}

void TfMain::diskListActivated()
{
    QueryDataSet &disk = m_data->dtDisk;
    if (!m_diskEditor || !hasCurrentFolder() || disk.state() != QueryDataSet::State::Browse)
        return;
    if (disk.isEmpty())
        aAddDiskExecute();
    else
        aEditDiskExecute();
}

void TfMain::diskListClicked(const QModelIndex &index)
{
    const Field *f = DBGridEh1->dataSetModel()->field(index.column());
    if (f && f->name() == QLatin1String("FNAME") && m_data->dtDisk.isOpen())
        DBGridEh1->setHintText(m_data->dtDisk.fieldByName(QStringLiteral("FCOMMENT")).asString());
}

bool TfMain::eventFilter(QObject *watched, QEvent *event)
{
    if (DBGridEh1 && watched == DBGridEh1->viewport() && diskListMouse(event))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

bool TfMain::diskListMouse(QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        m_pressPos = static_cast<QMouseEvent *>(event)->position().toPoint();
        return false;
    }
    if (event->type() != QEvent::MouseMove)
        return false;
    const auto *move = static_cast<QMouseEvent *>(event);
    QueryDataSet &disk = m_data->dtDisk;
    if (!(move->buttons() & Qt::LeftButton) || !disk.isOpen() || disk.isEmpty()
        || disk.state() != QueryDataSet::State::Browse
        || DBGridEh1->currentFieldName() != QLatin1String("FNAME"))
        return false;
    m_draggedDisk = disk.fieldByName(QStringLiteral("FDISKID")).asInteger();
    if ((move->position().toPoint() - m_pressPos).manhattanLength()
        < QApplication::startDragDistance())
        return true;
    auto *drag = new QDrag(DBGridEh1);
    auto *mime = new QMimeData;
    mime->setData(QStringLiteral("application/x-kodra-disk"), QByteArray::number(m_draggedDisk));
    drag->setMimeData(mime);
    runDrag(drag);
    return true;
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
    aExit = make("aExit", QStringLiteral("Выход"), IconSet::Exit);
    aMan = make("aMan", QStringLiteral("Люди"), IconSet::People);
    aType = make("aType", QStringLiteral("Типы"), IconSet::Types);
    aGroups = make("aGroups", QStringLiteral("Группы"), IconSet::Groups);
    aReports = make("aReports", QStringLiteral("Редактор наклеек"), IconSet::Reports,
                    QKeySequence(Qt::Key_F4));
    aStat1 = make("aStat1", QStringLiteral("Количество"));
    aFind = make("aFind", QStringLiteral("Найти"), IconSet::Find, QKeySequence(Qt::Key_F7));
    aGive = make("aGive", QStringLiteral("Должники"), IconSet::Give, QKeySequence(Qt::Key_F3));
    aAddDisk = make("aAddDisk", QStringLiteral("Добавить"), IconSet::Add,
                    QKeySequence(Qt::Key_Insert), QStringLiteral("Внести в базу"));
    aEditDisk = make("aEditDisk", QStringLiteral("Редактировать"), IconSet::Edit);
    aDelDisk = make("aDelDisk", QStringLiteral("Удалить"), IconSet::Delete,
                    QKeySequence(Qt::CTRL | Qt::Key_Delete), QStringLiteral("Удалить из базы"));
    aAbout = make("aAbout", QStringLiteral("О программе"), IconSet::About);
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
    connect(aFind, &QAction::triggered, this, &TfMain::aFindExecute);

    // Their windows come with later work; until then the commands show but do nothing.
    for (QAction *a : {aMan, aType, aGroups, aReports, aStat1, aGive})
        a->setEnabled(false);
}

void TfMain::createMenus()
{
    QMenu *database = menuBar()->addMenu(QStringLiteral("База данных"));
    database->addAction(aConnect);
    database->addAction(aRefresh);
    database->addSeparator();
    database->addAction(aInstall);
    database->addSeparator();
    database->addAction(aSetup);
    database->addAction(aSaveSetup);
    database->addSeparator();
    database->addAction(aExit);

    QMenu *books = menuBar()->addMenu(QStringLiteral("Справочники"));
    books->addAction(aMan);
    books->addAction(aType);
    books->addAction(aGroups);

    menuBar()->addMenu(QStringLiteral("Наклейки"))->addAction(aReports);
    menuBar()->addMenu(QStringLiteral("Статистика"))->addAction(aStat1);

    QMenu *disk = menuBar()->addMenu(QStringLiteral("Носитель"));
    disk->addAction(aFind);
    disk->addAction(aGive);
    disk->addSeparator();
    disk->addAction(aAddDisk);
    disk->addAction(aEditDisk);
    disk->addAction(aDelDisk);

    menuBar()->addMenu(QStringLiteral("?"))->addAction(aAbout);
}

void TfMain::setDiskEditor(DiskEditor editor)
{
    m_diskEditor = std::move(editor);
    updateDiskCommands();
}

bool TfMain::hasCurrentFolder() const
{
    const QueryDataSet &folder = m_data->dtFolder;
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
        .setValue(m_data->dtFolder.fieldByName(QStringLiteral("FFOLDERID")).value());
    ds.fieldByName(QStringLiteral("FMANID")).setInteger(1);
    editDisk();
}

void TfMain::editDisk()
{
    if (!m_diskEditor)
        return;
    QueryDataSet &disk = m_data->dtDisk;
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

void TfMain::aAddDiskExecute()
{
    QueryDataSet &disk = m_data->dtDisk;
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
    QueryDataSet &disk = m_data->dtDisk;
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
        MainData &d = *m_data;
        // Re-reading leaves the row being edited: it is stored first, as leaving it would.
        d.dtFolder.checkBrowseMode();
        d.dtDisk.checkBrowseMode();
        const int folder = d.dtFolder.isOpen()
            ? d.dtFolder.fieldByName(QStringLiteral("FFOLDERID")).asInteger()
            : 0;
        const int disk
            = d.dtDisk.isOpen() ? d.dtDisk.fieldByName(QStringLiteral("FDISKID")).asInteger() : 0;
        d.dtDisk.close();
        d.dtFolder.close();
        d.dtFolder.open();
        d.dtDisk.open();
        d.dtFolder.locate(QStringLiteral("FFOLDERID"), folder);
        d.dtDisk.locate(QStringLiteral("FDISKID"), disk);
    });
}

void TfMain::aSetupExecute()
{
    TfSetup dialog(*m_data, m_settings, this);
    if (dialog.exec() == QDialog::Accepted && !m_data->DefDatabase.isConnected())
        aConnectExecute();
}

void TfMain::aInstallExecute()
{
    TfInstall dialog(*m_data, m_settings, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!m_data->DefDatabase.isConnected())
        aConnectExecute();
    // A new catalogue is known from now on: a program that dies before its first close must
    // not greet the user with the installation dialog again.
    if (m_data->DefDatabase.isConnected())
        aSaveSetupExecute();
}

void TfMain::aAboutExecute()
{
    TfAbout about(*m_data, this);
    about.exec();
}

void TfMain::aFindExecute()
{
    // The search window moves the lists to a found disk itself; its result is not needed.
    TfFind find(*m_data, DBGridEh1, this);
    find.exec();
}

void TfMain::updateConnectCaption(bool connected)
{
    aConnect->setChecked(connected);
    aConnect->setText(connected ? QStringLiteral("Соединение есть")
                                : QStringLiteral("Соединения нет"));
}

void TfMain::layoutRestored()
{
    m_settings = ConnectionSettings::read(*m_store);
    if (m_shown)
        return;
    m_shown = true;
    // Connect once the window is on screen, so that a slow or failing connect shows over it.
    QMetaObject::invokeMethod(this, &TfMain::firstShow, Qt::QueuedConnection);
}

void TfMain::firstShow()
{
    const QString normPos
        = m_store->readString(ConnectionSettings::section, QStringLiteral("NormPos"), QString());
    // A store never saved belongs to a first run, which starts with the installation dialog.
    if (!normPos.isEmpty())
        aConnectExecute();
    else
        aInstallExecute();
    Q_EMIT startupFinished();
}

void TfMain::aConnectExecute()
{
    Connection &db = m_data->DefDatabase;
    if (db.isConnected()) {
        runCommand(this, [&db] { db.close(); });
        return;
    }
    runCommand(this, [this] {
        WaitCursor wait;
        connectToCatalogue();
    });
}

void TfMain::connectToCatalogue()
{
    MainData &d = *m_data;
    d.DefDatabase.setDatabaseName(m_settings.databasePath());
    d.DefDatabase.setParams(m_settings.connectionParams());
    d.DefDatabase.open();

    d.spVer.execute();
    const QString version = d.spVer.paramAsString(QStringLiteral("VERSION"));
    if (version != kVersion) {
        Prompt::instance().message(this,
                                   QStringLiteral("Версия указанной базы данных ") + version
                                       + QStringLiteral(" не поддерживается данным клиентом !"),
                                   QStringLiteral("Не соответствуют версии !"),
                                   QMessageBox::Critical, QMessageBox::Ok);
        return;
    }
    d.dtFolder.open();
    d.dtDisk.open();
    d.dtFolder.locate(
        QStringLiteral("FFOLDERID"),
        m_store->readInteger(ConnectionSettings::section, QStringLiteral("FolderID"), 1));
    d.dtDisk.locate(QStringLiteral("FDISKID"),
                    m_store->readInteger(ConnectionSettings::section, QStringLiteral("DiskID"), 1));
}

void TfMain::layoutSaved()
{
    m_settings.write(*m_store);
    const MainData &d = *m_data;
    if (d.dtFolder.isOpen())
        m_store->writeInteger(ConnectionSettings::section, QStringLiteral("FolderID"),
                              d.dtFolder.fieldByName(QStringLiteral("FFOLDERID")).asInteger());
    if (d.dtDisk.isOpen())
        m_store->writeInteger(ConnectionSettings::section, QStringLiteral("DiskID"),
                              d.dtDisk.fieldByName(QStringLiteral("FDISKID")).asInteger());
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
