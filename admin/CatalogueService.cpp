#include "admin/CatalogueService.h"

#include "admin/AdminLog.h"
#include "admin/ServiceWatch.h"
#include "store/Connection.h"
#include "store/DatabaseCreators.h"
#include "store/DbError.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// New catalogues and backups on this machine: each holds the whole catalogue.
constexpr QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;

} // namespace

CatalogueService::CatalogueService(ServiceWatch *watch, QObject *parent)
    : QObject(parent), m_watch(watch)
{ }

CatalogueService::~CatalogueService() = default;

void CatalogueService::attach(const QString &databasePath, const QString &userName,
                              const QString &password)
{
    m_manager.detach();
    m_manager.attach(ServiceManager::serviceName(databasePath), userName, password);
    m_databasePath = databasePath;
    m_userName = userName;
    m_password = password;
}

void CatalogueService::run(const QByteArray &request, const QString &caption,
                           const QString &completion)
{
    if (m_watch)
        m_watch->begin(caption);
    struct EndWatch
    {
        ServiceWatch *watch;
        ~EndWatch()
        {
            if (watch)
                watch->end();
        }
    } endWatch {m_watch};
    m_manager.start(request);
    QString lastLine;
    bool completed = completion.isEmpty();
    m_manager.waitForFinish([&](const QString &line) {
        if (!line.isEmpty()) {
            lastLine = line;
            completed = completed || line.contains(completion);
            Q_EMIT output(line);
        }
        if (m_watch)
            m_watch->output(line);
    });
    // The tool's last line is the one sign of success: a backup file that ends too early
    // makes it stop with no error in the status and a prompt for the next volume on the
    // server's console.
    if (!completed)
        throw DbError(QStringLiteral("The server ended the request before it was finished; "
                                     "the last step was: %1")
                          .arg(lastLine.trimmed()));
}

void CatalogueService::backup(const QString &databaseFile, const QString &backupFile)
{
    run(ServiceManager::backupRequest(ServiceManager::serverPath(databaseFile), backupFile)
            + ServiceManager::verbose(),
        QStringLiteral("Резервное копирование базы"),
        QStringLiteral("closing file, committing, and finishing"));
    // The engine in this process wrote the copy with the common mode; it holds the whole
    // catalogue, so only its owner may read it.
    if (Connection::isLocalPath(databaseFile))
        QFile::setPermissions(backupFile, ownerOnly);
}

QString CatalogueService::restoringFile(const QString &databaseFile)
{
    const QFileInfo info(databaseFile);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName()
        + QStringLiteral(".restoring");
}

bool CatalogueService::isDatabaseFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Header page: page type 1 at offset 0; at offset 18 the on-disk structure version, whose
    // high bit marks a Firebird database.
    const QByteArray head = file.read(20);
    return head.size() == 20 && head.at(0) == 1 && (quint8(head.at(19)) & 0x80);
}

void CatalogueService::detachQuietly()
{
    try {
        m_manager.detach();
    } catch (const DbError &e) {
        qCInfo(lcAdmin) << "service manager detached with" << e.text();
    }
}

bool CatalogueService::exists(const QString &databaseFile, const QString &userName,
                              const QString &password)
{
    if (databaseFile.isEmpty())
        return false;
    if (Connection::isLocalPath(databaseFile))
        return QFileInfo::exists(databaseFile);
    // The server's files are seen only through the server: one that it opens exists.
    try {
        Connection probe;
        probe.setDatabaseName(databaseFile);
        probe.setParams(credentials(userName, password));
        probe.open();
        probe.close();
        return true;
    } catch (const DbError &e) {
        qCInfo(lcAdmin) << "taken as missing:" << databaseFile << e.text();
        return false;
    }
}

QStringList CatalogueService::credentials(const QString &userName, const QString &password)
{
    return {QStringLiteral("USER_NAME=") + userName, QStringLiteral("PASSWORD=") + password,
            QStringLiteral("lc_ctype=UTF8")};
}

void CatalogueService::restore(const QString &backupFile, const QString &databaseFile)
{
    const QString caption = QStringLiteral("Восстановление базы из резервной копии");
    const QString restoreCompletion = QStringLiteral("finishing, closing, and going home");
    if (!Connection::isLocalPath(databaseFile)) {
        // On a server the file is out of reach: the server replaces it in place.
        run(ServiceManager::restoreRequest(backupFile, ServiceManager::serverPath(databaseFile))
                + ServiceManager::verbose(),
            caption, restoreCompletion);
        return;
    }
    const QString restored = restoringFile(databaseFile);
    QFile::remove(restored);
    try {
        run(ServiceManager::restoreRequest(backupFile, restored) + ServiceManager::verbose(),
            caption, restoreCompletion);
        replace(restored, databaseFile);
    } catch (...) {
        QFile::remove(restored);
        throw;
    }
}

void CatalogueService::replace(const QString &restored, const QString &databaseFile)
{
    if (QFileInfo::exists(databaseFile)) {
        if (isDatabaseFile(databaseFile)) {
            // A catalogue that another program has open stays where it is: attaching to it
            // fails as the server's own replace would.
            Connection check;
            check.setDatabaseName(databaseFile);
            check.setParams(credentials(m_userName, m_password));
            check.open();
            check.close();
        }
        QFile::setPermissions(restored, QFile::permissions(databaseFile));
    } else {
        QFile::setPermissions(restored, ownerOnly);
    }
    // rename() replaces the old file in one step: a reader sees either catalogue, never none.
    if (std::rename(QFile::encodeName(restored).constData(),
                    QFile::encodeName(databaseFile).constData())
        != 0)
        throw DbError(QStringLiteral("Cannot replace %1: %2")
                          .arg(databaseFile, QString::fromLocal8Bit(std::strerror(errno))));
}

void CatalogueService::addUser(const QString &userName, const QString &password)
{
    // The server would refuse such a name only after the request; nothing is sent for it.
    if (userName.isEmpty()
        || std::any_of(userName.begin(), userName.end(), [](QChar c) { return c.isSpace(); }))
        throw DbError(QStringLiteral("start Parameters missing or incorrect"));
    // The right comes before the account: an account made without it could not be made again
    // to get it, as the server refuses a name it has.
    grantCreateDatabase(userName);
    run(ServiceManager::addUserRequest(userName, password),
        QStringLiteral("Создание владельца базы"));
}

void CatalogueService::modifyUser(const QString &userName, const QString &password)
{
    if (userName.isEmpty())
        throw DbError(QStringLiteral("start Parameters missing or incorrect"));
    run(ServiceManager::modifyUserRequest(userName, password),
        QStringLiteral("Смена пароля владельца базы"));
    // An account left without the right (its grant failed once) gets it here; granting it
    // again changes nothing.
    grantCreateDatabase(userName);
}

void CatalogueService::grantCreateDatabase(const QString &userName)
{
    if (Connection::isLocalPath(m_databasePath))
        return;
    // The owner restores the new catalogue, which creates a database: on a server that takes
    // the right to create databases. The grant is made in a scratch database beside the
    // catalogue, where the server has to be able to write anyway.
    const QString host = m_databasePath.left(m_databasePath.indexOf(QLatin1Char(':')));
    const QString folder = QFileInfo(ServiceManager::serverPath(m_databasePath)).path();
    DatabaseCreators::grant(host + QLatin1Char(':') + folder + QStringLiteral("/.kodra-owner-")
                                + QString::number(QCoreApplication::applicationPid())
                                + QStringLiteral(".fdb"),
                            m_userName, m_password, userName);
}
