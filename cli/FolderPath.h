#pragma once

#include <QString>
#include <QStringList>

class Connection;

// A folder of the catalogue named by its path: the folder names from the top joined by "/"
// ("Мои диски/Музыка/Рок"), or below the one top folder when the path does not start with
// a top folder's name ("Музыка/Рок"). Names are compared as stored; spaces around each "/"
// are ignored, so a path the search shows ("Мои диски / Музыка") names the folder too.
class FolderPath
{
public:
    static QStringList parts(const QString &path);
    // The folder's key, 0 when there is no such folder.
    static int resolve(Connection &connection, const QString &path);
};
