#pragma once

#include "app/ConnectionSettings.h"
#include "app/MainData.h"
#include "widgets/FormStorage.h"

#include <QMainWindow>
#include <functional>

class DBGrid;
class QAction;
class QDrag;
class QMenu;
class QSplitter;
class SettingsStore;
class SortableTitles;
class TDBTreeView;

// The main window: owns the connection and the shared datasets, keeps the connection settings
// and the window layout in the settings store.
class TfMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit TfMain(SettingsStore *store, QWidget *parent = nullptr);
    ~TfMain() override;

    MainData &data() { return *m_data; }
    SettingsStore &store() { return *m_store; }
    // The in-memory connection settings (read on the first show, written at each save).
    ConnectionSettings &settings() { return m_settings; }
    FormStorage &formStorage() { return fsMain; }

    // Commands, callable from tests as the menu calls them.
    void aConnectExecute();
    void aSaveSetupExecute();
    void aExitExecute();
    void aRefreshExecute();
    void aAddDiskExecute();
    void aEditDiskExecute();
    void aDelDiskExecute();
    void aAboutExecute();
    void aFindExecute();
    void aSetupExecute();
    void aInstallExecute();

    // The disk editor, shown modally on the current disk row; true when it closed with OK.
    // Without one the disk commands that need it stay disabled.
    using DiskEditor = std::function<bool(TfMain &)>;
    void setDiskEditor(DiskEditor editor);

    QAction *aConnect = nullptr;
    QAction *aRefresh = nullptr;
    QAction *aInstall = nullptr;
    QAction *aSetup = nullptr;
    QAction *aSaveSetup = nullptr;
    QAction *aExit = nullptr;
    QAction *aMan = nullptr;
    QAction *aType = nullptr;
    QAction *aGroups = nullptr;
    QAction *aReports = nullptr;
    QAction *aStat1 = nullptr;
    QAction *aFind = nullptr;
    QAction *aGive = nullptr;
    QAction *aAddDisk = nullptr;
    QAction *aEditDisk = nullptr;
    QAction *aDelDisk = nullptr;
    QAction *aAbout = nullptr;
    QAction *aAddFolder = nullptr;
    QAction *aDelFolder = nullptr;
    QAction *aRenameFolder = nullptr;

    TDBTreeView *DBTreeView1 = nullptr;
    DBGrid *DBGridEh1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QMenu *PopupMenu2 = nullptr;
    SortableTitles &diskTitles() { return *m_diskTitles; }

    // The disk being dragged from the list (0 when none); the folder tree's drop reads it.
    int draggedDisk() const { return m_draggedDisk; }
    // Runs a drag the list started; tests replace it to avoid the nested drag loop.
    std::function<void(QDrag *)> runDrag;

Q_SIGNALS:
    // The first show's connection attempt (or the decision not to connect) is over.
    void startupFinished();

private:
    void createActions();
    void createMenus();
    void connectToCatalogue();
    void layoutRestored();
    void layoutSaved();
    void firstShow();
    void updateConnectCaption(bool connected);
    bool hasCurrentFolder() const;
    void updateDiskCommands();
    void commitListEdit();
    void editDisk();
    void dtDiskAfterInsert(QueryDataSet &ds);
    void createPanes();
    void createDiskList();
    void diskListActivated();
    void diskListClicked(const QModelIndex &index);
    bool diskListMouse(QEvent *event);
    void folderScrolled();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    SettingsStore *m_store;
    std::unique_ptr<MainData> m_data;
    ConnectionSettings m_settings;
    QSplitter *m_splitter = nullptr;
    bool m_shown = false;
    DiskEditor m_diskEditor;
    std::unique_ptr<SortableTitles> m_diskTitles;
    QPoint m_pressPos;
    int m_draggedDisk = 0;
    // Declared last: it saves a layout not yet saved while the window is destroyed.
    FormStorage fsMain;
};
