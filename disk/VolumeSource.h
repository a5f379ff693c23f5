#pragma once

#include "platform/VolumeList.h"

#include <QString>

// Where the disk editor takes its drives from, and the disk reader a drive's label, serial
// number and size: the mounted volumes and the volume that holds the drive's folder. Tests put
// their own in place, as a fixture tree in a temporary folder has no volume of its own.
class VolumeSource
{
public:
    struct Info
    {
        QString label; // as the file system gives it
        QString serial; // eight upper-case hexadecimal digits, or empty
        qint64 totalBytes = 0; // 0 when unknown
        qint64 usedBytes = 0; // what its files take; 0 when unknown
    };

    virtual ~VolumeSource() = default;
    // Empty when the drive is not there (no such folder, nothing mounted).
    virtual Info info(const QString &drive) const;
    // The drives the picker lists: the mounted volumes.
    virtual QList<VolumeList::Volume> drives() const;

    static const VolumeSource &instance();
    // Replaces the current source (nullptr restores the real one); the caller keeps ownership.
    static void setInstance(const VolumeSource *source);
};
