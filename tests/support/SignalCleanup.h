#pragma once

#include <QString>

// Benchmarks and test helpers on SIGTERM, SIGINT or SIGHUP: the temporary folders still
// registered (their catalogues among them) are removed and the process ends at once with
// 128 + the signal, saying so on stderr. Nothing waits for a window or a database then.
class SignalCleanup
{
public:
    // Catches the signals for the rest of the process; later calls do nothing. Call it first
    // thing in main, before any catalogue is opened.
    static void install();
    static void addFolder(const QString &path);
    static void removeFolder(const QString &path);
};
