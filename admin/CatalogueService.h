#pragma once

#include "store/ServiceManager.h"

#include <QObject>
#include <QStringList>

class ServiceWatch;

// The requests of the administration dialogs to the service manager serving a catalogue:
// each one waits until the server has finished and fails with the server's text.
class CatalogueService : public QObject
{
    Q_OBJECT

public:
    // watch (may be null) follows each request while it runs.
    explicit CatalogueService(ServiceWatch *watch = nullptr, QObject *parent = nullptr);
    ~CatalogueService() override;

    // Detaches from an earlier service manager and attaches to the one serving databasePath.
    void attach(const QString &databasePath, const QString &userName, const QString &password);
    void detach() { m_manager.detach(); }
    // At a dialog's end: a server that went away has nothing more to say.
    void detachQuietly();
    bool isAttached() const { return m_manager.isAttached(); }

    void backup(const QString &databaseFile, const QString &backupFile);
    // A catalogue on this machine is restored beside the existing file, which is replaced only
    // once the restore has succeeded.
    void restore(const QString &backupFile, const QString &databaseFile);
    // On a server the account also gets the right to create databases, which restoring a
    // catalogue needs: before it is added, and again when its password is changed.
    void addUser(const QString &userName, const QString &password);
    void modifyUser(const QString &userName, const QString &password);

    // The file a local restore writes before it replaces databaseFile.
    static QString restoringFile(const QString &databaseFile);
    // Whether the catalogue exists: a file on this machine, or one the server opens.
    static bool exists(const QString &databaseFile, const QString &userName,
                       const QString &password);
    // Whether a file begins with a Firebird database header.
    static bool isDatabaseFile(const QString &path);

Q_SIGNALS:
    // Each line of a request's output.
    void output(const QString &line);

private:
    static QStringList credentials(const QString &userName, const QString &password);
    // completion: text of the line that ends a successful request (empty: none expected).
    void run(const QByteArray &request, const QString &caption,
             const QString &completion = QString());
    void replace(const QString &restored, const QString &databaseFile);
    // On a server, as the attached administrator; granting it twice is harmless.
    void grantCreateDatabase(const QString &userName);

    ServiceManager m_manager;
    ServiceWatch *m_watch;
    QString m_databasePath;
    QString m_userName;
    QString m_password;
};
