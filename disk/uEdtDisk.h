#pragma once

#include "store/QueryDataSet.h"
#include "widgets/FormStorage.h"

#include <QDialog>
#include <memory>

class ContentTree;
class ContentWriter;
class DBGrid;
class DiskReader;
class DrivePicker;
class EditorReadWatch;
class FileSearch;
class MountWatcher;
class Catalogue;
class QAction;
class QCheckBox;
class QSplitter;
class SettingsStore;
class UDisksClient;
struct ConnectionSettings;

// The disk editor: the current disk of the main window's disk list, its lending history, the
// reading of a drive into its contents and the tree of those contents with a file search.
// It edits the main window's rows in place; Cancel is the caller's to apply.
class TfEdtDisk : public QDialog
{
    Q_OBJECT

public:
    TfEdtDisk(Catalogue &data, ConnectionSettings &settings, SettingsStore *store,
              QWidget *parent = nullptr);
    ~TfEdtDisk() override;

    // Commands, callable from tests as the buttons call them.
    void aOKExecute();
    void aExitExecute();
    void aReadExecute();
    void aFindFileExecute();

    QAction *aFindFile = nullptr;
    QAction *aRead = nullptr;
    QAction *aExit = nullptr;
    QAction *aOK = nullptr;

    QueryDataSet dtGive;
    DBGrid *DBGridEh1 = nullptr;
    ContentTree *tvDisk = nullptr;
    DrivePicker *eDriveCD = nullptr;
    // Ejects the disc once a read has run to its end, where the system can eject the drive.
    QCheckBox *cbEject = nullptr;
    QWidget *pContent = nullptr;
    QSplitter *splitter() const { return m_splitter; }
    DiskReader &reader() { return *m_reader; }
    EditorReadWatch &readWatch() { return *m_readWatch; }
    FormStorage &formStorage() { return fsEdtDisk; }

    // Whether a read is running (the window then refuses to close).
    bool isReading() const { return m_reading; }

Q_SIGNALS:
    // A read of the disk with this key has ended (also one stopped or failed half-way): its
    // entries changed.
    void contentsRead(int diskId);

public Q_SLOTS:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QWidget *createRecordArea();
    QWidget *createLendingArea();
    QWidget *createContentArea();
    void createActions();
    void setupGive();
    void volumesChanged();
    void updateEject();
    void ejected(const QString &mountPoint, const QString &error);
    void dtGiveBeforeInsert(QueryDataSet &ds);
    void dtGiveAfterInsert(QueryDataSet &ds);
    void layoutInitially(int recordHeight);
    int contentHeight() const;
    void setContentHeight(int height);

    Catalogue &m_data;
    ConnectionSettings &m_settings;
    std::unique_ptr<ContentWriter> dtContent;
    std::unique_ptr<EditorReadWatch> m_readWatch;
    std::unique_ptr<DiskReader> m_reader;
    std::unique_ptr<FileSearch> m_search;
    std::unique_ptr<MountWatcher> m_volumes;
    std::unique_ptr<UDisksClient> m_udisks;
    SettingsStore *m_store = nullptr;
    QSplitter *m_splitter = nullptr;
    QWidget *m_buttonBar = nullptr;
    qreal m_scale = 1;
    int m_pendingContentHeight = 0;
    bool m_reading = false;
    FormStorage fsEdtDisk;
};
