#include "store/EngineLockFolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace {

const char variable[] = "FIREBIRD_LOCK";

bool isPrivateFolder(const QString &path)
{
    struct stat st
    {
    };
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &st) == 0
        && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

} // namespace

QString EngineLockFolder::choose(const QString &runtimeFolder, const QString &cacheFolder)
{
    if (isPrivateFolder(runtimeFolder))
        return runtimeFolder + QStringLiteral("/kodra");
    return cacheFolder + QStringLiteral("/kodra/firebird-lock");
}

QString EngineLockFolder::prepare()
{
    if (const char *set = std::getenv(variable); set && *set)
        return QFile::decodeName(set);
    const QString folder
        = choose(qEnvironmentVariable("XDG_RUNTIME_DIR"),
                 QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation));
    if (!QDir().mkpath(folder))
        return {};
    // The engine's files there hold no secret, but no other account has business there.
    const QByteArray encoded = QFile::encodeName(folder);
    ::chmod(encoded.constData(), 0700);
    ::setenv(variable, encoded.constData(), 1);
    return folder;
}
