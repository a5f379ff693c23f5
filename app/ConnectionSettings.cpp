#include "app/ConnectionSettings.h"

#include "app/ProgramFiles.h"
#include "platform/SettingsStore.h"

#include <QCoreApplication>

const QString ConnectionSettings::section = QStringLiteral("Software\\Brenk\\Kodra");

QString ConnectionSettings::defaultFolder()
{
    return ProgramFiles::catalogueFolder(QCoreApplication::applicationDirPath());
}

QString ConnectionSettings::quoted(const QString &path)
{
    return QLatin1Char('"') + path + QLatin1Char('"');
}

ConnectionSettings ConnectionSettings::read(const SettingsStore &store)
{
    ConnectionSettings s;
    s.databaseName = store.readString(section, QStringLiteral("DatabaseName"),
                                      quoted(defaultFolder() + QStringLiteral("kodra_my.gdb")));
    s.databaseBackup = store.readString(section, QStringLiteral("DatabaseBackup"),
                                        quoted(defaultFolder() + QStringLiteral("kodra_my.fbk")));
    s.userName = store.readString(section, QStringLiteral("UserName"), QStringLiteral("KODRA"));
    s.userPass = store.readString(section, QStringLiteral("UserPass"), QStringLiteral("TARLO"));
    s.cd = store.readString(section, QStringLiteral("CD"), QStringLiteral("D"));
    return s;
}

void ConnectionSettings::write(SettingsStore &store) const
{
    store.writeString(section, QStringLiteral("DataBaseName"), databaseName);
    store.writeString(section, QStringLiteral("DataBaseBackup"), databaseBackup);
    store.writeString(section, QStringLiteral("UserName"), userName);
    store.writeString(section, QStringLiteral("UserPass"), userPass);
    store.writeString(section, QStringLiteral("CD"), cd);
}

QString ConnectionSettings::databasePath() const
{
    QString path = databaseName;
    path.remove(QLatin1Char('"'));
    return path;
}

QStringList ConnectionSettings::connectionParams() const
{
    return {QStringLiteral("USER_NAME=") + userName, QStringLiteral("PASSWORD=") + userPass,
            QStringLiteral("lc_ctype=UTF8")};
}
