#pragma once

#include "app/Catalogue.h"
#include "app/CatalogueSession.h"
#include "browser/DiskList.h"
#include "browser/TDBTreeView.h"
#include "disk/VolumeRecognition.h"
#include "widgets/FormStorage.h"

#include <QMainWindow>
#include <functional>

class DBGrid;
class QAction;
class QDialog;
class QMenu;
class QSplitter;
class SettingsStore;
class SortableTitles;
class VolumeWatch;

// The main window: owns the connection and the shared datasets, keeps the connection settings
// and the window layout in the settings store.
class TfMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit TfMain(SettingsStore *store, QWidget *parent = nullptr);
    ~TfMain() override;

    Catalogue &data() { return *m_data; }
    SettingsStore &store() { return *m_store; }
    // The in-memory connection settings (read on the first show, written at each save).
    ConnectionSettings &settings() { return m_session.settings(); }
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
    void aGiveExecute();
    void aManExecute();
    void aTypeExecute();
    void aGroupsExecute();
    void aReportsExecute();
    void aStat1Execute();

    // Drag and drop on the folder tree: every drag is accepted; a disk of the list dropped onto
    // a folder moves there.
    void DBTreeView1DragOver(QObject *sender, QObject *source, const QPoint &pos,
                             TDBTreeView::DragState state, bool &accept);
    void DBTreeView1DragDropTreeNode(const QModelIndex &target, const QModelIndex &dragged,
                                     bool &accept);
    void DBTreeView1DragDrop(QObject *sender, QObject *source, const QPoint &pos);

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
    QAction *aWatchVolumes = nullptr;
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
    DiskList &diskList() { return *m_diskList; }
    SortableTitles &diskTitles() { return m_diskList->titles(); }

Q_SIGNALS:
    // The first show's connection attempt (or the decision not to connect) is over.
    void startupFinished();

private:
    void createActions();
    void createMenus();
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
    // The volume bars' wishes: show the disk, read it again from the drive, add it here.
    void goToDisk(int folder, int disk);
    void rereadVolume(const VolumeRecognition::Disk &disk, const QString &mountPoint);
    void addVolume(const QString &mountPoint, const QString &label);
    void diskListActivated();
    void folderScrolled();
    void runRefBook(const std::function<std::unique_ptr<QDialog>()> &make, QueryDataSet &lookup);

private:
    SettingsStore *m_store;
    std::unique_ptr<Catalogue> m_data;
    CatalogueSession m_session;
    QSplitter *m_splitter = nullptr;
    bool m_shown = false;
    DiskEditor m_diskEditor;
    DiskList *m_diskList = nullptr;
    VolumeWatch *m_volumes = nullptr;
    QString m_newDiskName;
    FormStorage fsMain;
};
