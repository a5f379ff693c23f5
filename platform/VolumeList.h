#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The mounted volumes the disk reader offers as drives: local file systems on removable,
// fixed and optical media and RAM file systems. Network and pseudo file systems are left
// out. A volume is named by its mount point, which stands where Windows has a drive letter.
class VolumeList
{
public:
    enum class Kind { Removable, Fixed, Optical, Ram };

    struct Volume
    {
        QString mountPoint;
        QString device; // the mount source as the kernel gives it, e.g. /dev/sdb1 or tmpfs
        QString fsType;
        Kind kind = Kind::Fixed;
        qint64 totalBytes = 0;
    };

    // The listed volumes, sorted by mount point; sizes from the file systems.
    static QList<Volume> mounted();
    // Every mount of this process as listed in /proc/self/mountinfo, later mounts over the
    // same point replacing earlier ones; kinds and sizes are not filled in.
    static QList<Volume> allMounts();
    // The mount that holds path (the longest mount point that is a prefix of its canonical
    // form); an empty mount point when none is found.
    static Volume mountHolding(const QString &path);

    // Parses mountinfo text (octal escapes such as \040 decoded) into unsized mounts.
    static QList<Volume> parseMountInfo(const QByteArray &text);
    // Whether a mount of this type at this point is a volume the user can read as a disk.
    static bool isListed(const QString &fsType, const QString &mountPoint);
    // The kind by file system type and device name; removable comes from sysfs.
    static Kind kindOf(const QString &fsType, const QString &device);
};
