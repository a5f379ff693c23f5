#pragma once

#include <QDialog>

class AdminRequest;
class CatalogueService;
class ServiceProgress;
class FileNameEdit;
class Catalogue;
class QPushButton;
struct ConnectionSettings;

// Settings dialog: the catalogue's file and its backup file, backup and restore.
class TfSetup : public QDialog
{
    Q_OBJECT

public:
    TfSetup(Catalogue &data, ConnectionSettings &settings, QWidget *parent = nullptr);
    ~TfSetup() override;

    // The buttons' commands, callable from tests as the buttons call them.
    void bBackupClick();
    void bRestoreClick();
    void bOKClick();

    CatalogueService &service() { return *m_service; }
    ServiceProgress &progress() { return *m_progress; }

    FileNameEdit *eDatabaseName;
    FileNameEdit *eDatabaseBackup;
    QPushButton *bBackup;
    QPushButton *bRestore;
    QPushButton *bOK;
    QPushButton *bCancel;

    void done(int result) override;

private:
    AdminRequest request();

    Catalogue &m_data;
    ConnectionSettings &m_settings;
    ServiceProgress *m_progress;
    CatalogueService *m_service;
};
