#pragma once

#include <QString>

// Where the program's own files lie. A build or portable folder holds the template Kodra.fbk
// beside the program; an installed program (prefix/bin) finds it in prefix/share/kodra.
class ProgramFiles
{
public:
    // Kodra.fbk beside the program, else in ../share/kodra; the first when neither exists, so
    // that the message about a missing template names the usual place.
    static QString templatePath(const QString &programFolder);

    // True for a program in an installed bin folder: that folder is shared by every user of
    // the machine, even when the current one (root) may write to it.
    static bool isInstalled(const QString &programFolder);

    // Where a new user's catalogue goes: the program's folder when it is writable and not an
    // installed one, else the per-user data folder (made when missing); with a '/' at the end.
    static QString catalogueFolder(const QString &programFolder);
};
