#include "browser/VolumeWatch.h"

#include "browser/BrowserLog.h"
#include "store/Connection.h"
#include "store/DbError.h"

#include <QBoxLayout>
#include <QToolButton>

VolumeWatch::VolumeWatch(QBoxLayout *bars, std::function<Connection *()> catalogue,
                         MountWatcher::Lister lister, QObject *parent)
    : QObject(parent),
      m_layout(bars),
      m_catalogue(std::move(catalogue)),
      m_watcher(std::move(lister))
{
    connect(&m_watcher, &MountWatcher::appeared, this, &VolumeWatch::appeared);
    connect(&m_watcher, &MountWatcher::gone, this, &VolumeWatch::gone);
}

VolumeWatch::~VolumeWatch() = default;

bool VolumeWatch::isOffered(const VolumeList::Volume &volume, bool atStart)
{
    if (volume.kind == VolumeList::Kind::Ram)
        return false;
    return !atStart || volume.kind == VolumeList::Kind::Removable
        || volume.kind == VolumeList::Kind::Optical;
}

void VolumeWatch::setEnabled(bool enabled)
{
    if (enabled == isEnabled())
        return;
    if (!enabled) {
        m_watcher.stop();
        const QStringList points = m_offered;
        for (const QString &point : points)
            removeBar(point);
        m_offered.clear();
        return;
    }
    if (!m_watcher.start())
        qCInfo(lcBrowser) << "the mount table cannot be watched";
}

void VolumeWatch::catalogueChanged()
{
    for (const QString &point : std::as_const(m_offered))
        showBar(point);
}

void VolumeWatch::appeared(const VolumeList::Volume &volume, bool atStart)
{
    if (!isOffered(volume, atStart))
        return;
    if (!m_offered.contains(volume.mountPoint))
        m_offered << volume.mountPoint;
    showBar(volume.mountPoint);
}

void VolumeWatch::gone(const VolumeList::Volume &volume)
{
    m_offered.removeAll(volume.mountPoint);
    removeBar(volume.mountPoint);
}

void VolumeWatch::showBar(const QString &mountPoint)
{
    removeBar(mountPoint);
    Connection *catalogue = m_catalogue();
    if (!catalogue || !catalogue->isConnected())
        return;
    VolumeRecognition::Volume found;
    try {
        found = VolumeRecognition::recognise(*catalogue, mountPoint);
    } catch (const DbError &e) {
        // A catalogue that cannot answer now gets asked again when it changes.
        qCInfo(lcBrowser) << "volume" << mountPoint << "not looked up:" << e.text();
        return;
    }
    auto *bar = new VolumeBar(found, m_layout->parentWidget());
    connect(bar, &VolumeBar::goRequested, this, &VolumeWatch::goRequested);
    connect(bar, &VolumeBar::rereadRequested, this, &VolumeWatch::rereadRequested);
    connect(bar, &VolumeBar::addRequested, this, &VolumeWatch::addRequested);
    // Closed by the user: not shown again until the volume comes back.
    connect(bar->closeButton, &QToolButton::clicked, this,
            [this, mountPoint] { m_offered.removeAll(mountPoint); });
    // The bars stand above the last widget of the layout, the disk list.
    m_layout->insertWidget(qMax(0, m_layout->count() - 1), bar);
    m_bars.insert(mountPoint, bar);
}

void VolumeWatch::removeBar(const QString &mountPoint)
{
    // A bar closed by its own button is gone already.
    if (QPointer<VolumeBar> bar = m_bars.take(mountPoint))
        delete bar.data();
}
