#pragma once

#include "platform/VolumeList.h"

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

// Tells volumes appearing and going. The kernel marks /proc/self/mountinfo when the mount
// table changes, which poll() sees as an exceptional condition: nothing runs while idle.
class MountWatcher : public QObject
{
    Q_OBJECT

public:
    using Lister = std::function<QList<VolumeList::Volume>()>;
    // lister gives the volumes to compare; the mounted ones unless a test gives its own.
    explicit MountWatcher(Lister lister = {}, QObject *parent = nullptr);
    ~MountWatcher() override;

    // Starts watching: the volumes there now are told as appeared with atStart set. False when
    // the mount table cannot be watched (no /proc): nothing is told then.
    bool start();
    void stop();
    bool isWatching() const { return m_notifier != nullptr; }

    // Compares the volumes now with those known and tells the differences; the watcher calls
    // it on each change of the table.
    void rescan();

    const QList<VolumeList::Volume> &volumes() const { return m_known; }

Q_SIGNALS:
    void appeared(const VolumeList::Volume &volume, bool atStart);
    void gone(const VolumeList::Volume &volume);

private:
    void drain();
    void tableChanged();
    void tell(const QList<VolumeList::Volume> &now, bool atStart);

    Lister m_lister;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QList<VolumeList::Volume> m_known;
};
