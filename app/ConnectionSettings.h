#pragma once

#include <QString>
#include <QStringList>

class SettingsStore;

// The five connection values the main window keeps in memory from its first show on.
struct ConnectionSettings
{
    QString databaseName;
    QString databaseBackup;
    QString userName;
    QString userPass;
    QString cd;

    // The main window's section of the settings store.
    static const QString section;

    static ConnectionSettings read(const SettingsStore &store);
    void write(SettingsStore &store) const;

    // The path the connection opens: the stored text with every double quote removed.
    QString databasePath() const;
    // USER_NAME, PASSWORD and lc_ctype lines, in this order.
    QStringList connectionParams() const;

    // Where a new user's catalogue goes (ProgramFiles::catalogueFolder for this program).
    static QString defaultFolder();
    static QString quoted(const QString &path);
};
