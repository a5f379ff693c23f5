#pragma once

#include <QString>

#include <functional>

class CatalogueService;
class Connection;
class QWidget;

// How the administration dialogs run one request to the service manager: refuse what is
// missing, ask before overwriting, close the program's own connection, attach to the server
// serving the catalogue, run with the hourglass and the dialog disabled, and tell the success.
class AdminRequest
{
public:
    AdminRequest(QWidget *dialog, CatalogueService &service, Connection &mainConnection);

    // A warning with OK; false, so that a check reads `return request.refuse(...)`.
    bool refuse(const QString &text, const QString &caption) const;
    // "Перезаписать ?" with OK / Cancel when the file exists; whether to go on.
    bool mayOverwrite(bool exists, const QString &question) const;

    struct Account
    {
        QString database;
        QString userName;
        QString password;
    };
    // False when it failed: the standard error box has been shown, the success text not.
    bool run(const Account &account, const std::function<void(CatalogueService &)> &work,
             const QString &success, const QString &successCaption) const;

private:
    QWidget *m_dialog;
    CatalogueService &m_service;
    Connection &m_mainConnection;
};
