#pragma once

#include "disk/VolumeSource.h"

#include <QHash>

// Label, serial and size of fixture drives, which have no volume of their own. A drive not
// given here reads as a drive with no volume information. Installs itself while it lives.
class FixedVolumeSource : public VolumeSource
{
public:
    FixedVolumeSource();
    ~FixedVolumeSource() override;

    Info info(const QString &drive) const override;

    QHash<QString, Info> volumes;
};
