#include "app/LocalCatalogueGuard.h"

#include "store/DbError.h"

#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The owner's account name, or its number where the system knows no name.
QString otherOwner(const QString &path)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || st.st_uid == ::geteuid())
        return {};
    if (const passwd *pw = ::getpwuid(st.st_uid))
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(st.st_uid);
}

bool isHeldByEngine(const DbError &error)
{
    // The engine's words when another engine has the file open.
    return error.text().contains(QStringLiteral("already opened"), Qt::CaseInsensitive);
}

} // namespace

QString LocalCatalogueGuard::reason(const QString &path, bool heldElsewhere)
{
    const QString native = QFileInfo(path).absoluteFilePath();
    const QString owner = otherOwner(path);
    if (!owner.isEmpty())
        return QStringLiteral("Файл базы данных %1 принадлежит другой учётной записи (%2). "
                              "Локальную базу открывает только её владелец; для общей базы "
                              "используйте сервер Firebird (база вида 127.0.0.1:/путь/к/базе "
                              "в настройках).")
            .arg(native, owner);
    if (heldElsewhere)
        return QStringLiteral("База данных %1 уже открыта другой программой. Закройте её и "
                              "соединитесь снова; для работы нескольких программ с одной базой "
                              "используйте сервер Firebird.")
            .arg(native);
    return {};
}

void LocalCatalogueGuard::take(const QString &path)
{
    if (m_lock.lock(path) == ExclusiveFileLock::Result::HeldElsewhere)
        throw DbError(reason(path, true));
    // A file that cannot be opened is left to the engine, whose error says why.
}

DbError LocalCatalogueGuard::explained(const QString &path, const DbError &engineError)
{
    const QString sentence = reason(path, isHeldByEngine(engineError));
    if (sentence.isEmpty())
        return engineError;
    return DbError(sentence + QStringLiteral("\r\n") + engineError.text(), engineError.code());
}
