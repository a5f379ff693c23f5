#include "disk/VolumeSource.h"

#include "platform/VolumeId.h"

#include <QFileInfo>
#include <QStorageInfo>

namespace {
const VolumeSource *g_current = nullptr;
} // namespace

VolumeSource::Info VolumeSource::info(const QString &drive) const
{
    Info result;
    if (drive.isEmpty() || !QFileInfo(drive).isDir())
        return result;
    const VolumeId::Info id = VolumeId::forPath(drive);
    result.label = id.label;
    result.serial = id.serial;
    const QStorageInfo storage(drive);
    if (storage.isValid() && storage.isReady()) {
        result.totalBytes = qMax<qint64>(0, storage.bytesTotal());
        result.usedBytes = qMax<qint64>(0, storage.bytesTotal() - storage.bytesFree());
    }
    return result;
}

QList<VolumeList::Volume> VolumeSource::drives() const
{
    return VolumeList::mounted();
}

const VolumeSource &VolumeSource::instance()
{
    static const VolumeSource real;
    return g_current ? *g_current : real;
}

void VolumeSource::setInstance(const VolumeSource *source)
{
    g_current = source;
}
