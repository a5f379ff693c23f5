#include "tests/support/FixedVolumeSource.h"

#include <QStringList>

FixedVolumeSource::FixedVolumeSource()
{
    VolumeSource::setInstance(this);
}

FixedVolumeSource::~FixedVolumeSource()
{
    VolumeSource::setInstance(nullptr);
}

VolumeSource::Info FixedVolumeSource::info(const QString &drive) const
{
    return volumes.value(drive);
}

QList<VolumeList::Volume> FixedVolumeSource::drives() const
{
    return listed ? *listed : VolumeSource::drives();
}

QList<VolumeList::Volume> FixedVolumeSource::volumesOf(const QStringList &texts)
{
    static const QHash<QString, VolumeList::Kind> kinds {
        {QStringLiteral("fixed"), VolumeList::Kind::Fixed},
        {QStringLiteral("ram"), VolumeList::Kind::Ram},
        {QStringLiteral("removable"), VolumeList::Kind::Removable},
        {QStringLiteral("optical"), VolumeList::Kind::Optical}};
    QList<VolumeList::Volume> list;
    for (const QString &text : texts) {
        VolumeList::Volume volume;
        volume.mountPoint = text.section(QLatin1Char(':'), 0, 0);
        volume.kind = kinds.value(text.section(QLatin1Char(':'), 1));
        list << volume;
    }
    return list;
}
