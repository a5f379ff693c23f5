#include "tests/support/FixedVolumeSource.h"

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
