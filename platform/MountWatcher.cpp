#include "platform/MountWatcher.h"

#include <QSocketNotifier>

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The same volume: a volume mounted again elsewhere, or another device at the same point,
// is a new one.
bool sameVolume(const VolumeList::Volume &a, const VolumeList::Volume &b)
{
    return a.mountPoint == b.mountPoint && a.device == b.device && a.fsType == b.fsType;
}

bool contains(const QList<VolumeList::Volume> &list, const VolumeList::Volume &volume)
{
    return std::any_of(list.begin(), list.end(),
                       [&](const VolumeList::Volume &v) { return sameVolume(v, volume); });
}

} // namespace

MountWatcher::MountWatcher(Lister lister, QObject *parent)
    : QObject(parent), m_lister(lister ? std::move(lister) : Lister(&VolumeList::mounted))
{ }

MountWatcher::~MountWatcher()
{
    stop();
}

bool MountWatcher::start()
{
    stop();
    m_fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return false;
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Exception);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &MountWatcher::tableChanged);
    // Reading the table arms the mark for the next change.
    drain();
    m_known.clear();
    tell(m_lister(), true);
    return true;
}

void MountWatcher::stop()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void MountWatcher::drain()
{
    // The mark stays until the file is read again from its start.
    char buffer[8192];
    ::lseek(m_fd, 0, SEEK_SET);
    while (::read(m_fd, buffer, sizeof buffer) > 0) { }
}

void MountWatcher::tableChanged()
{
    if (m_fd < 0)
        return;
    drain();
    rescan();
}

void MountWatcher::rescan()
{
    tell(m_lister(), false);
}

void MountWatcher::tell(const QList<VolumeList::Volume> &now, bool atStart)
{
    const QList<VolumeList::Volume> before = m_known;
    m_known = now;
    for (const VolumeList::Volume &v : before) {
        if (!contains(now, v))
            Q_EMIT gone(v);
    }
    for (const VolumeList::Volume &v : now) {
        if (!contains(before, v))
            Q_EMIT appeared(v, atStart);
    }
}
