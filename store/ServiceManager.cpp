#include "store/ServiceManager.h"

#include "store/Connection.h"
#include "store/DbError.h"
#include "store/FbApi.h"
#include "store/StoreLog.h"

#include <QDir>
#include <QStringList>
#include <QThread>

namespace {

// Start requests: numbers are four bytes and texts carry a two-byte length, both little-endian.
class StartBlock
{
public:
    explicit StartBlock(char action) { m_bytes.append(action); }

    StartBlock &text(char item, const QString &value)
    {
        // An empty text is left out: the server then uses its default or reports the omission.
        if (value.isEmpty())
            return *this;
        const QByteArray bytes = value.toUtf8();
        if (bytes.size() > 0xFFFF)
            throw DbError(QStringLiteral("start Parameters missing or incorrect"));
        m_bytes.append(item);
        m_bytes.append(char(bytes.size() & 0xFF));
        m_bytes.append(char((bytes.size() >> 8) & 0xFF));
        m_bytes.append(bytes);
        return *this;
    }
    StartBlock &number(char item, quint32 value)
    {
        m_bytes.append(item);
        for (int shift = 0; shift < 32; shift += 8)
            m_bytes.append(char((value >> shift) & 0xFF));
        return *this;
    }
    QByteArray bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

// The host part of "host:/file" or "host/port:/file"; empty for a path on this machine.
QString hostOf(const QString &databasePath)
{
    if (Connection::isLocalPath(databasePath))
        return {};
    return databasePath.left(databasePath.indexOf(QLatin1Char(':')));
}

quint16 readLength(const char *p)
{
    return quint16(quint8(p[0]) | (quint8(p[1]) << 8));
}

} // namespace

ServiceManager::~ServiceManager()
{
    try {
        detach();
    } catch (const DbError &e) {
        // The server has gone; the handle is released all the same.
        qCDebug(lcStore) << "service manager detach failed:" << e.text();
    }
}

QString ServiceManager::serviceName(const QString &databasePath)
{
    const QString host = hostOf(databasePath);
    if (host.isEmpty())
        return QStringLiteral("service_mgr");
    return host + QStringLiteral(":service_mgr");
}

QString ServiceManager::serverPath(const QString &databasePath)
{
    const QString host = hostOf(databasePath);
    if (host.isEmpty())
        return databasePath;
    return databasePath.mid(host.size() + 1);
}

QByteArray ServiceManager::attachRequest(const QString &userName, const QString &password)
{
    QByteArray spb;
    spb.append(char(isc_spb_version));
    spb.append(char(isc_spb_current_version));
    auto add = [&spb](char item, const QString &value) {
        const QByteArray bytes = value.toUtf8();
        // The attach block has one-byte lengths; 255 bytes is far beyond any real password.
        if (bytes.size() > 255)
            throw DbError(QStringLiteral("User name or password is too long (at most 255 bytes)"));
        spb.append(item);
        spb.append(char(bytes.size()));
        spb.append(bytes);
    };
    add(char(isc_spb_user_name), userName);
    add(char(isc_spb_password), password);
    return spb;
}

QByteArray ServiceManager::backupRequest(const QString &databaseName, const QString &backupFile)
{
    return StartBlock(isc_action_svc_backup)
        .text(isc_spb_dbname, databaseName)
        .number(isc_spb_options, 0)
        .text(isc_spb_bkp_file, backupFile)
        .number(isc_spb_bkp_length, 2048)
        .bytes();
}

QByteArray ServiceManager::restoreRequest(const QString &backupFile, const QString &databaseName)
{
    // Pages of 16384 bytes: a catalogue in UTF-8 needs them for the index on FUNIQUE (255
    // characters, up to 1020 bytes a key), which 4096-byte pages cannot hold. No file length
    // is sent: Firebird 3 takes a length of 0 for a second database file named "0" in the
    // engine's working folder.
    return StartBlock(isc_action_svc_restore)
        .number(isc_spb_options, isc_spb_res_replace | isc_spb_res_create)
        .number(isc_spb_res_page_size, restorePageSize)
        .text(isc_spb_bkp_file, backupFile)
        .text(isc_spb_dbname, databaseName)
        .bytes();
}

QByteArray ServiceManager::addUserRequest(const QString &userName, const QString &password)
{
    return StartBlock(isc_action_svc_add_user)
        .text(isc_spb_sec_username, userName)
        .number(isc_spb_sec_userid, 0)
        .number(isc_spb_sec_groupid, 0)
        .text(isc_spb_sec_password, password)
        .bytes();
}

QByteArray ServiceManager::modifyUserRequest(const QString &userName, const QString &password)
{
    return StartBlock(isc_action_svc_modify_user)
        .text(isc_spb_sec_username, userName)
        .text(isc_spb_sec_password, password)
        .bytes();
}

QByteArray ServiceManager::verbose()
{
    return QByteArray(1, char(isc_spb_verbose));
}

void ServiceManager::attach(const QString &serviceName, const QString &userName,
                            const QString &password)
{
    detach();
    const FbApi &fb = FbClient::api();
    const QByteArray spb = attachRequest(userName, password);
    const QByteArray name = serviceName.toUtf8();
    ISC_STATUS_ARRAY status;
    isc_svc_handle handle = 0;
    fb.isc_service_attach(status, 0, name.constData(), &handle, quint16(spb.size()),
                          spb.constData());
    DbError::check(status);
    m_handle = handle;
    m_local = !serviceName.contains(QLatin1Char(':'));
}

void ServiceManager::detach()
{
    if (!m_handle)
        return;
    const FbApi &fb = FbClient::api();
    ISC_STATUS_ARRAY status;
    fb.isc_service_detach(status, &m_handle);
    m_handle = 0;
    DbError::check(status);
}

void ServiceManager::start(const QByteArray &request)
{
    if (!m_handle)
        throw DbError(QStringLiteral("Service manager is not attached"));
    const FbApi &fb = FbClient::api();
    if (m_local)
        m_threadsBefore = threadCount();
    ISC_STATUS_ARRAY status;
    fb.isc_service_start(status, &m_handle, nullptr, quint16(request.size()), request.constData());
    DbError::check(status);
}

void ServiceManager::waitForFinish(const std::function<void(const QString &)> &onLine)
{
    if (!m_handle)
        throw DbError(QStringLiteral("Service manager is not attached"));
    const FbApi &fb = FbClient::api();
    // Wait at most a second for each line, so that the caller's window stays painted.
    const char send[] = {char(isc_info_svc_timeout), 4, 0, 1, 0, 0, 0};
    const char receive[] = {char(isc_info_svc_line)};
    QByteArray buffer(16 * 1024, Qt::Uninitialized);
    QStringList errors;
    for (bool finished = false; !finished;) {
        ISC_STATUS_ARRAY status;
        fb.isc_service_query(status, &m_handle, nullptr, sizeof send, send, sizeof receive, receive,
                             quint16(buffer.size()), buffer.data());
        if (status[0] == 1 && status[1] != 0) {
            const DbError error = DbError::fromStatus(status);
            waitForEnd();
            throw error;
        }
        bool emptyLine = false;
        bool waiting = false;
        const char *p = buffer.constData();
        const char *end = p + buffer.size();
        while (p < end && *p != char(isc_info_end)) {
            const char item = *p++;
            if (item == char(isc_info_svc_line)) {
                if (end - p < 2)
                    break;
                const quint16 length = qMin<quint16>(readLength(p), quint16(end - p - 2));
                p += 2;
                const QString line = QString::fromUtf8(p, length);
                p += length;
                emptyLine = line.isEmpty();
                const qsizetype marker = line.indexOf(QLatin1String("ERROR:"));
                // A request that fails after its output began (a verbose restore) reports
                // the failure as output lines, not in the status.
                if (marker >= 0)
                    errors << line.mid(marker + 6).trimmed();
                if (onLine)
                    onLine(line);
            } else if (item == char(isc_info_svc_timeout)
                       || item == char(isc_info_data_not_ready)) {
                waiting = true;
            } else if (item == char(isc_info_truncated)) {
                // The line did not fit; the rest comes with the next call.
                waiting = true;
            } else {
                break;
            }
        }
        // An empty line without a timeout: the request has ended and said all it had to say.
        finished = emptyLine && !waiting;
    }
    waitForEnd();
    errors.removeAll(QString());
    if (!errors.isEmpty())
        throw DbError(errors.join(QStringLiteral("\r\n")));
}

void ServiceManager::waitForEnd()
{
    // The request's last output comes a moment before its worker stops; wait for the stop,
    // so that nothing of it still runs when the caller goes on (or the program ends).
    const FbApi &fb = FbClient::api();
    const char receive[] = {char(isc_info_svc_running)};
    char buffer[16];
    for (int attempt = 0; attempt < 1000; ++attempt) {
        ISC_STATUS_ARRAY status;
        fb.isc_service_query(status, &m_handle, nullptr, 0, nullptr, sizeof receive, receive,
                             sizeof buffer, buffer);
        if ((status[0] == 1 && status[1] != 0) || buffer[0] != char(isc_info_svc_running))
            return;
        const quint32 running = quint8(buffer[1]) | (quint8(buffer[2]) << 8)
            | (quint8(buffer[3]) << 16) | (quint32(quint8(buffer[4])) << 24);
        if (!running)
            break;
        QThread::msleep(10);
    }
    if (!m_local)
        return;
    // The embedded engine's worker still closes the catalogue for a moment after it reports
    // the end; a program that ended meanwhile would unload the engine under it. Its thread is
    // gone once the process has as many threads as before the request (a restore may leave
    // one of the engine's own behind, hence the bound).
    for (int waited = 0; waited < 100 && threadCount() > m_threadsBefore; ++waited)
        QThread::msleep(1);
}

int ServiceManager::threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
}
