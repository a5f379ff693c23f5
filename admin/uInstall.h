#pragma once

#include <QDialog>

class AdminRequest;
class CatalogueService;
class ServiceProgress;
class FileNameEdit;
class Catalogue;
class QLineEdit;
class QPushButton;
struct ConnectionSettings;

// Installation dialog: the catalogue owner's account on the server, and a new empty catalogue
// restored from the template backup Kodra.fbk.
class TfInstall : public QDialog
{
    Q_OBJECT

public:
    TfInstall(Catalogue &data, ConnectionSettings &settings, QWidget *parent = nullptr);
    ~TfInstall() override;

    // The buttons' commands, callable from tests as the buttons call them.
    void bCreateUserClick();
    void bChangeUserClick();
    void bCreateClearClick();
    void bOKClick();

    // Kodra.fbk in the program's folder, else in ../share/kodra beside it.
    static QString defaultTemplatePath();
    const QString &templatePath() const { return m_templatePath; }
    void setTemplatePath(const QString &path) { m_templatePath = path; }

    CatalogueService &service() { return *m_service; }
    ServiceProgress &progress() { return *m_progress; }

    QLineEdit *eSYSDBA;
    QLineEdit *eSYSPass;
    QLineEdit *eKodra;
    QLineEdit *eKodraPass;
    QPushButton *bCreateUser;
    QPushButton *bChangeUser;
    FileNameEdit *eDatabaseName;
    QPushButton *bCreateClear;
    QPushButton *bOK;
    QPushButton *bCancel;

    void done(int result) override;

private:
    // The steps of "Создать новую пустую базу"; false when they stopped or failed.
    bool createClearDatabase();
    // add: create the owner; otherwise change the owner's password.
    void ownerRequest(bool add);
    AdminRequest request();

    Catalogue &m_data;
    ConnectionSettings &m_settings;
    ServiceProgress *m_progress;
    CatalogueService *m_service;
    QString m_templatePath;
};
