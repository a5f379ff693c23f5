#include "browser/uMain.h"

#include "platform/SettingsStore.h"
#include "store/DbError.h"
#include "widgets/ErrorBox.h"
#include "widgets/Prompt.h"

#include <QAction>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QTreeView>

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

    m_splitter = new QSplitter(Qt::Horizontal, this);
    DBTreeView1 = new QTreeView(m_splitter);
    DBTreeView1->setObjectName(QStringLiteral("DBTreeView1"));
    DBTreeView1->setHeaderHidden(true);
    DBGridEh1 = new QTableView(m_splitter);
    DBGridEh1->setObjectName(QStringLiteral("DBGridEh1"));
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({kTreeWidth, width() - kTreeWidth});
    setCentralWidget(m_splitter);

    createActions();
    createMenus();

    fsMain.addStoredProperty(
        QStringLiteral("DBTreeView1.Width"), [this] { return DBTreeView1->width(); },
        [this](int w) {
            QList<int> sizes = m_splitter->sizes();
            const int total = sizes.value(0) + sizes.value(1);
            m_splitter->setSizes({w, qMax(0, total - w)});
        });
    connect(&fsMain, &FormStorage::placementRestored, this, &TfMain::layoutRestored);
    connect(&fsMain, &FormStorage::placementSaved, this, &TfMain::layoutSaved);

    Connection &db = m_data->DefDatabase;
    connect(&db, &Connection::afterConnect, this, [this] { updateConnectCaption(true); });
    connect(&db, &Connection::afterDisconnect, this, [this] { updateConnectCaption(false); });
}

TfMain::~TfMain() = default;

void TfMain::createActions()
{
    auto make = [this](const char *name, const QString &caption) {
        auto *action = new QAction(caption, this);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    aConnect = make("aConnect", QStringLiteral("Соединение"));
    aConnect->setCheckable(true);
    aConnect->setIcon(QIcon::fromTheme(QStringLiteral("network-connect")));
    connect(aConnect, &QAction::triggered, this, &TfMain::aConnectExecute);

    aRefresh = make("aRefresh", QStringLiteral("Переоткрыть"));
    aRefresh->setShortcut(QKeySequence(Qt::Key_F5));
    aRefresh->setStatusTip(QStringLiteral("Переоткрыть"));
    aRefresh->setIcon(QIcon::fromTheme(QStringLiteral("view-refresh")));
    aRefresh->setEnabled(false);

    aInstall = make("aInstall", QStringLiteral("Создать новую"));
    aInstall->setIcon(QIcon::fromTheme(QStringLiteral("document-new")));
    aInstall->setEnabled(false);

    aSetup = make("aSetup", QStringLiteral("Настройки"));
    aSetup->setIcon(QIcon::fromTheme(QStringLiteral("preferences-system")));
    aSetup->setEnabled(false);

    aSaveSetup = make("aSaveSetup", QStringLiteral("Сохранить настройки"));
    aSaveSetup->setIcon(QIcon::fromTheme(QStringLiteral("document-save")));
    connect(aSaveSetup, &QAction::triggered, this, &TfMain::aSaveSetupExecute);

    aExit = make("aExit", QStringLiteral("Выход"));
    aExit->setIcon(QIcon::fromTheme(QStringLiteral("application-exit")));
    connect(aExit, &QAction::triggered, this, &TfMain::aExitExecute);
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
    if (!normPos.isEmpty())
        aConnectExecute();
    // A store never saved belongs to a first run; the installation dialog comes with the
    // administration commands, until then the program stays unconnected.
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
