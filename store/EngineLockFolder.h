#pragma once

#include <QString>

// The embedded engine keeps its lock files in one folder per machine (/tmp/firebird) unless
// FIREBIRD_LOCK names another. The first account to use it owns it, and every other account,
// or one beside the Firebird server, is refused. Each user gets a folder of their own, named
// before the client library loads, as the engine reads the variable once.
class EngineLockFolder
{
public:
    // Creates the folder (mode 0700) and sets FIREBIRD_LOCK for this process, unless the
    // variable is set already; returns the folder in use, empty when none could be made.
    static QString prepare();
    // $XDG_RUNTIME_DIR/kodra when the runtime folder is the user's own and private, else
    // <cache folder>/kodra/firebird-lock.
    static QString choose(const QString &runtimeFolder, const QString &cacheFolder);
};
