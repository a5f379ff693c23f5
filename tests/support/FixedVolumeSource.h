#pragma once

#include "disk/VolumeSource.h"

#include <QHash>
#include <optional>

// Label, serial and size of fixture drives, which have no volume of their own. A drive not
// given here reads as a drive with no volume information. Installs itself while it lives.
class FixedVolumeSource : public VolumeSource
{
public:
    FixedVolumeSource();
    ~FixedVolumeSource() override;

    Info info(const QString &drive) const override;
    QList<VolumeList::Volume> drives() const override;

    // Volumes from "mount point:kind" texts, kind one of fixed, ram, removable, optical.
    static QList<VolumeList::Volume> volumesOf(const QStringList &texts);

    QHash<QString, Info> volumes;
    // The drives a picker lists; unset: the mounted volumes.
    std::optional<QList<VolumeList::Volume>> listed;
};
