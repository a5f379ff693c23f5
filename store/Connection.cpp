#include "store/Connection.h"

#include "store/DbError.h"
#include "store/FbApi.h"
#include "store/StoreLog.h"

#include <algorithm>
#include <optional>

bool Connection::isLocalPath(const QString &databaseName)
{
    // "host:/path" and "host/port:/path" name a server; a plain path is opened in-process,
    // also one with a colon in a folder name ("/data/a:b/x.gdb") or a drive letter ("C:").
    const qsizetype colon = databaseName.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return true;
    const QString prefix = databaseName.left(colon);
    return prefix.size() < 2 || prefix.startsWith(QLatin1Char('/'))
        || prefix.startsWith(QLatin1Char('.')) || prefix.startsWith(QLatin1Char('~'));
}

Connection::Connection(QObject *parent)
    : QObject(parent), m_transaction(std::make_unique<Transaction>(*this))
{ }

Connection::~Connection()
{
    try {
        close();
    } catch (const DbError &e) {
        // Nothing to report to at destruction; the server rolls back what was not committed.
        qCWarning(lcStore) << "closing at destruction failed:" << e.text();
    }
}

QByteArray Connection::buildDpb(const QStringList &params)
{
    QByteArray dpb;
    dpb.append(char(isc_dpb_version1));
    auto add = [&dpb](char tag, const QByteArray &value) {
        if (value.size() > 255)
            throw DbError(QStringLiteral("Connection parameter is too long"));
        dpb.append(tag);
        dpb.append(char(value.size()));
        dpb.append(value);
    };
    for (const QString &line : params) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const QString name = line.left(eq).trimmed().toLower();
        const QByteArray value = eq < 0 ? QByteArray() : line.mid(eq + 1).toUtf8();
        if (name == QLatin1String("user_name"))
            add(isc_dpb_user_name, value);
        else if (name == QLatin1String("password"))
            add(isc_dpb_password, value);
        else if (name == QLatin1String("lc_ctype"))
            add(isc_dpb_lc_ctype, value);
        else if (name == QLatin1String("sql_role_name"))
            add(isc_dpb_sql_role_name, value);
        else
            throw DbError(QStringLiteral("Unknown connection parameter '%1'").arg(line));
    }
    dpb.append(char(isc_dpb_sql_dialect));
    dpb.append(char(1));
    dpb.append(char(SQL_DIALECT_V6));
    // The path reaches the server as UTF-8, so folders with Cyrillic names work.
    dpb.append(char(isc_dpb_utf8_filename));
    dpb.append(char(0));
    return dpb;
}

void Connection::open()
{
    if (isConnected())
        return;
    const FbApi &fb = FbClient::api();
    if (m_databaseName.isEmpty())
        throw DbError(QStringLiteral("Database name is missing"));
    const QByteArray dpb = buildDpb(m_params);
    const QByteArray name = m_databaseName.toUtf8();
    ISC_STATUS_ARRAY status;
    isc_db_handle handle = 0;
    fb.isc_attach_database(status, 0, name.constData(), &handle, short(dpb.size()),
                           dpb.constData());
    if (status[0] == 1 && status[1] != 0) {
        const DbError error = DbError::fromStatus(status);
        if (isLocalPath(m_databaseName) && !FbClient::isEngineInstalled())
            throw DbError(QStringLiteral("Встроенный сервер Firebird не установлен (нет файла %1), "
                                         "поэтому локальная база данных не открывается.\r\n%2")
                              .arg(FbClient::enginePluginPath(), error.text()),
                          error.code());
        throw error;
    }
    m_handle = handle;
    Q_EMIT afterConnect();
}

void Connection::ensureConnected()
{
    if (!isConnected())
        open();
}

void Connection::close()
{
    if (!isConnected())
        return;
    const std::vector<ConnectionClient *> clients = m_clients;
    for (ConnectionClient *client : clients)
        client->connectionClosing();

    const FbApi &fb = FbClient::api();
    ISC_STATUS_ARRAY status;
    std::optional<DbError> failure;
    try {
        m_transaction->commit();
    } catch (const DbError &e) {
        failure = e;
        // A commit that failed (server gone) leaves nothing to keep: drop the handle.
        fb.isc_rollback_transaction(status, m_transaction->handle());
        m_transaction->forget();
    }
    fb.isc_detach_database(status, &m_handle);
    if (status[0] == 1 && status[1] != 0 && !failure)
        failure = DbError::fromStatus(status);
    m_handle = 0;
    Q_EMIT afterDisconnect();
    if (failure)
        throw *failure;
}

void Connection::cancelOperation()
{
    if (!isConnected())
        return;
    ISC_STATUS_ARRAY status;
    // "Nothing to cancel" is no failure here: the call may just have ended.
    FbClient::api().fb_cancel_operation(status, &m_handle, fb_cancel_raise);
}

void Connection::clearCancel()
{
    if (!isConnected())
        return;
    ISC_STATUS_ARRAY status;
    // Disabling cancels drops one that is pending; enabling them again drops it as well.
    FbClient::api().fb_cancel_operation(status, &m_handle, fb_cancel_disable);
    FbClient::api().fb_cancel_operation(status, &m_handle, fb_cancel_enable);
}

void Connection::addClient(ConnectionClient *client)
{
    m_clients.push_back(client);
}

void Connection::removeClient(ConnectionClient *client)
{
    m_clients.erase(std::remove(m_clients.begin(), m_clients.end(), client), m_clients.end());
}
