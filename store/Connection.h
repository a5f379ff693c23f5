#pragma once

#include "store/Transaction.h"

#include <ibase.h>

#include <QObject>
#include <QStringList>
#include <memory>
#include <vector>

class ConnectionClient;

// One attachment to a catalogue (DefDatabase) and its one transaction (DefTransaction).
class Connection : public QObject
{
    Q_OBJECT

public:
    explicit Connection(QObject *parent = nullptr);
    ~Connection() override;

    void setDatabaseName(const QString &name) { m_databaseName = name; }
    const QString &databaseName() const { return m_databaseName; }
    // Lines of the form name=value: USER_NAME, PASSWORD, lc_ctype (names without regard to case).
    QStringList &params() { return m_params; }
    void setParams(const QStringList &params) { m_params = params; }

    // Attaches; fails with the server's text and stays closed.
    void open();
    // Closes every data object, commits the running transaction, detaches.
    void close();
    bool isConnected() const { return m_handle != 0; }
    // Opens with the current name and parameters when closed (datasets and procedure calls).
    void ensureConnected();

    Transaction &transaction() { return *m_transaction; }
    // Cancels the server call another thread is running on this attachment: it fails with
    // "operation was cancelled". Nothing happens when no call runs.
    void cancelOperation();
    // Drops a cancel that came too late to stop its call, so that it cannot stop the next one.
    void clearCancel();
    // The attachment parameter block for lines of the form name=value (see params()),
    // always in SQL dialect 3 with the path given as UTF-8.
    static QByteArray buildDpb(const QStringList &params);
    // A catalogue path without a server part, served by the embedded engine.
    static bool isLocalPath(const QString &databaseName);
    isc_db_handle *handle() { return &m_handle; }

    // Data objects register so that they release their server handles before a detach.
    void addClient(ConnectionClient *client);
    void removeClient(ConnectionClient *client);
    const std::vector<ConnectionClient *> &clients() const { return m_clients; }

Q_SIGNALS:
    void afterConnect();
    void afterDisconnect();

private:
    QString m_databaseName;
    QStringList m_params;
    isc_db_handle m_handle = 0;
    std::unique_ptr<Transaction> m_transaction;
    std::vector<ConnectionClient *> m_clients;
};

// A data object that holds server handles on a connection.
class ConnectionClient
{
public:
    virtual ~ConnectionClient() = default;
    // The connection is about to end the transaction and detach: drop every server handle.
    virtual void connectionClosing() = 0;
    // Whether this object keeps the transaction running (an open dataset does).
    virtual bool holdsTransaction() const { return false; }
};
