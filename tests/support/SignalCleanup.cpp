#include "tests/support/SignalCleanup.h"

#include "platform/TerminationSignals.h"

#include <QDir>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace {

std::mutex g_mutex;
QStringList g_folders;

void cleanUpAndExit(int signal)
{
    {
        const std::lock_guard lock(g_mutex);
        for (const QString &folder : std::as_const(g_folders))
            QDir(folder).removeRecursively();
    }
    std::fprintf(stderr, "%s: stopped by signal %d (%s), temporary folders removed\n",
                 program_invocation_short_name, signal, strsignal(signal));
    std::fflush(stderr);
    // At once: the main thread may be anywhere, in the middle of a database call.
    ::_exit(128 + signal);
}

} // namespace

void SignalCleanup::install()
{
    static TerminationSignals caught(cleanUpAndExit);
}

void SignalCleanup::addFolder(const QString &path)
{
    const std::lock_guard lock(g_mutex);
    g_folders.append(path);
}

void SignalCleanup::removeFolder(const QString &path)
{
    const std::lock_guard lock(g_mutex);
    g_folders.removeOne(path);
}
