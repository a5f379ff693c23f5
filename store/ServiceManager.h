#pragma once

#include <ibase.h>

#include <QByteArray>
#include <QString>
#include <functional>

// One attachment to a server's service manager (backup, restore, user administration).
// Owns the service handle: detaches when it goes away.
class ServiceManager
{
public:
    ServiceManager() = default;
    ~ServiceManager();
    ServiceManager(const ServiceManager &) = delete;
    ServiceManager &operator=(const ServiceManager &) = delete;

    // The service manager serving a catalogue path: "service_mgr" (the embedded engine) for a
    // path without a server part, "host:service_mgr" for "host:/file".
    static QString serviceName(const QString &databasePath);
    // The path as the serving engine knows it: "host:" is taken off.
    static QString serverPath(const QString &databasePath);

    // Attach parameters: version 2, 2; user name; password (one-byte lengths).
    static QByteArray attachRequest(const QString &userName, const QString &password);
    static constexpr quint32 restorePageSize = 16384;

    // Start parameters of the four requests, items in the order the server documents them.
    static QByteArray backupRequest(const QString &databaseName, const QString &backupFile);
    static QByteArray restoreRequest(const QString &backupFile, const QString &databaseName);
    static QByteArray addUserRequest(const QString &userName, const QString &password);
    static QByteArray modifyUserRequest(const QString &userName, const QString &password);
    // Asks the server to send the request's progress as text lines (backup and restore).
    static QByteArray verbose();

    void attach(const QString &serviceName, const QString &userName, const QString &password);
    void detach();
    bool isAttached() const { return m_handle != 0; }

    // Starts a request; returns as soon as the server has accepted it.
    void start(const QByteArray &request);
    // Follows the running request's output until the request ends; each line goes to onLine.
    // Throws DbError with the server's text when the request failed.
    void waitForFinish(const std::function<void(const QString &)> &onLine = {});

    isc_svc_handle *handle() { return &m_handle; }

private:
    void waitForEnd();
    static int threadCount();

    isc_svc_handle m_handle = 0;
    bool m_local = false;
    int m_threadsBefore = 0;
};
