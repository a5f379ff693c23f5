#pragma once

#include <QString>

// Label and 32-bit serial number of a volume, as the disk reader stores them. The serial is
// eight upper-case hexadecimal digits, or empty when it cannot be known.
class VolumeId
{
public:
    struct Info
    {
        QString label; // as the file system gives it; the caller upper-cases it
        QString serial;
        QString fsType; // as the file system's superblock names it, when it could be read
    };

    // Reads the device (or an image file) with libblkid, and a CD or DVD's serial from its
    // ISO 9660 volume descriptors (IsoVolumeSerial); when the device cannot be opened (no
    // permission), falls back on the udev links under /dev/disk/by-uuid and
    // /dev/disk/by-label, taking the type from mountFsType.
    static Info forDevice(const QString &device, const QString &mountFsType = QString());
    // The label and serial of the volume that holds path, so any folder can be read as one.
    static Info forPath(const QString &path);

    // The serial text for a file system type and the UUID libblkid reports: for FAT and
    // exFAT ("1A2B-3C4D") and NTFS (16 hex digits, of which Windows shows the low 32 bits)
    // the number Windows shows; otherwise the first 32 bits of the UUID.
    static QString serialFromUuid(const QString &fsType, const QString &uuid);
    // Decodes the \xNN escapes udev writes into /dev/disk/by-label names.
    static QString decodeUdevLabel(const QString &linkName);
};
