#include "tests/support/ResourceWatchdog.h"

#include <QFile>
#include <QtGlobal>
#include <unistd.h>

ResourceWatchdog::ResourceWatchdog(std::chrono::milliseconds time, qint64 growth,
                                   const QString &what)
{
    m_thread = std::thread(&ResourceWatchdog::watch, this, time, residentBytes() + growth, what);
}

ResourceWatchdog::~ResourceWatchdog()
{
    {
        std::lock_guard lock(m_mutex);
        m_done = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

qint64 ResourceWatchdog::residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

void ResourceWatchdog::watch(std::chrono::milliseconds time, qint64 limit, QString what)
{
    const auto deadline = std::chrono::steady_clock::now() + time;
    std::unique_lock lock(m_mutex);
    while (!m_wake.wait_for(lock, std::chrono::milliseconds(10), [this] { return m_done; })) {
        if (std::chrono::steady_clock::now() > deadline)
            qFatal("%s: still running after %lld ms", qPrintable(what), qint64(time.count()));
        if (residentBytes() > limit)
            qFatal("%s: the process grew beyond its bound", qPrintable(what));
    }
}
