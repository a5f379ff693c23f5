#pragma once

#include "browser/VolumeBar.h"
#include "platform/MountWatcher.h"

#include <QHash>
#include <QObject>
#include <QPointer>

#include <functional>

class Connection;
class QBoxLayout;

// Puts a bar over the disk list for each volume that appears while the program runs (and for
// the removable and optical ones already there when it starts or connects), saying which
// catalogued disks it is; the bar goes when the volume goes. RAM file systems are left out.
class VolumeWatch : public QObject
{
    Q_OBJECT

public:
    // bars: the layout the bars go into, above its last widget; catalogue: the open
    // catalogue, or nullptr; lister: the volumes, the mounted ones unless a test gives its own.
    VolumeWatch(QBoxLayout *bars, std::function<Connection *()> catalogue,
                MountWatcher::Lister lister = {}, QObject *parent = nullptr);
    ~VolumeWatch() override;

    // Off: no watching and no bars.
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_watcher.isWatching(); }
    // The catalogue changed (connected, re-read): the bars are looked up again.
    void catalogueChanged();

    // Whether a volume gets a bar: one appearing later always, one there at the start only
    // when it is a removable or optical medium; RAM file systems never.
    static bool isOffered(const VolumeList::Volume &volume, bool atStart);

Q_SIGNALS:
    void goRequested(const VolumeRecognition::Disk &disk);
    void rereadRequested(const VolumeRecognition::Disk &disk, const QString &mountPoint);
    void addRequested(const QString &mountPoint, const QString &label);

private:
    void appeared(const VolumeList::Volume &volume, bool atStart);
    void gone(const VolumeList::Volume &volume);
    void showBar(const QString &mountPoint);
    void removeBar(const QString &mountPoint);

    QBoxLayout *m_layout;
    std::function<Connection *()> m_catalogue;
    MountWatcher m_watcher;
    QHash<QString, QPointer<VolumeBar>> m_bars;
    // The volumes offered a bar, by mount point, also while no catalogue is open.
    QStringList m_offered;
};
