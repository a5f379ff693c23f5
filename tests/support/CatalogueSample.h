#pragma once

#include <QStringList>

class Connection;
class Catalogue;
struct ConnectionSettings;

// A small catalogue's worth of rows (folders, disks, contents, lendings, a label template)
// and a snapshot of everything a catalogue holds, to compare a catalogue before and after.
class CatalogueSample
{
public:
    // Insert statements; run them on a fresh catalogue restored from the template.
    static QStringList rows();
    // Every row of every catalogue table in key order, and the generator's value, as text.
    static QStringList snapshot(Connection &connection);
    static QStringList snapshot(const QString &databaseName, const QStringList &params);
    // Runs statements on a connection of their own, committed at once.
    static void exec(const QString &databaseName, const QStringList &params,
                     const QStringList &statements);
    // Connects the main window's data objects as the connection command does and opens the
    // lists; false, with the server's text as a warning, when the catalogue cannot be opened.
    static bool connectMain(Catalogue &data, const ConnectionSettings &settings);
};
