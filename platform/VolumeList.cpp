#include "platform/VolumeList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <sys/statvfs.h>

namespace {

QString unescapeMountField(const QByteArray &field)
{
    // mountinfo writes blank, tab, newline and backslash as \ooo.
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field.at(i) == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = false;
            const int value = digits.toInt(&ok, 8);
            if (ok && digits.size() == 3 && value < 256) {
                out.append(char(value));
                i += 3;
                continue;
            }
        }
        out.append(field.at(i));
    }
    return QFile::decodeName(out);
}

const QSet<QString> &excludedTypes()
{
    static const QSet<QString> types
        = {// pseudo file systems
           QStringLiteral("proc"), QStringLiteral("sysfs"), QStringLiteral("devtmpfs"),
           QStringLiteral("devpts"), QStringLiteral("cgroup"), QStringLiteral("cgroup2"),
           QStringLiteral("mqueue"), QStringLiteral("securityfs"), QStringLiteral("debugfs"),
           QStringLiteral("tracefs"), QStringLiteral("bpf"), QStringLiteral("autofs"),
           QStringLiteral("fusectl"), QStringLiteral("configfs"), QStringLiteral("pstore"),
           QStringLiteral("binfmt_misc"), QStringLiteral("hugetlbfs"), QStringLiteral("nsfs"),
           QStringLiteral("efivarfs"), QStringLiteral("rpc_pipefs"), QStringLiteral("nfsd"),
           QStringLiteral("selinuxfs"), QStringLiteral("rootfs"), QStringLiteral("devfs"),
           QStringLiteral("usbfs"), QStringLiteral("fuse.portal"),
           QStringLiteral("fuse.gvfsd-fuse"), QStringLiteral("fuse.lxcfs"),
           // network file systems
           QStringLiteral("nfs"), QStringLiteral("nfs4"), QStringLiteral("cifs"),
           QStringLiteral("smb3"), QStringLiteral("smbfs"), QStringLiteral("sshfs"),
           QStringLiteral("fuse.sshfs"), QStringLiteral("9p"), QStringLiteral("afs"),
           QStringLiteral("ncpfs"), QStringLiteral("ceph"), QStringLiteral("glusterfs"),
           QStringLiteral("fuse.glusterfs"), QStringLiteral("fuse.rclone"),
           QStringLiteral("fuse.s3fs"), QStringLiteral("davfs"), QStringLiteral("fuse.davfs2"),
           QStringLiteral("lustre"), QStringLiteral("virtiofs")};
    return types;
}

bool isRam(const QString &fsType)
{
    return fsType == QLatin1String("tmpfs") || fsType == QLatin1String("ramfs");
}

bool isOptical(const QString &fsType, const QString &device)
{
    return fsType == QLatin1String("iso9660") || fsType == QLatin1String("udf")
        || device.startsWith(QLatin1String("/dev/sr"))
        || device.startsWith(QLatin1String("/dev/scd"));
}

bool isUnder(const QString &path, const char *folder)
{
    const QLatin1String base(folder);
    return path == base || (path.startsWith(base) && path.at(base.size()) == QLatin1Char('/'));
}

// The sysfs folder of the whole disk that holds a block device, empty when it has none.
QString sysfsDisk(const QString &device)
{
    if (!device.startsWith(QLatin1Char('/')))
        return {};
    const QString node = QFileInfo(device).canonicalFilePath();
    if (node.isEmpty())
        return {};
    const QString name = QFileInfo(node).fileName();
    QString dir = QFileInfo(QStringLiteral("/sys/class/block/") + name).canonicalFilePath();
    if (dir.isEmpty())
        return {};
    if (QFileInfo::exists(dir + QStringLiteral("/partition")))
        dir = QFileInfo(dir).path();
    return dir;
}

} // namespace

QList<VolumeList::Volume> VolumeList::parseMountInfo(const QByteArray &text)
{
    QList<Volume> mounts;
    for (const QByteArray &line : text.split('\n')) {
        // id parent major:minor root mountpoint options [optional...] - fstype source super
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (dash < 6 || dash + 2 >= fields.size())
            continue;
        Volume volume;
        volume.mountPoint = unescapeMountField(fields.at(4));
        volume.fsType = unescapeMountField(fields.at(dash + 1));
        volume.device = unescapeMountField(fields.at(dash + 2));
        // A later mount over the same point hides the earlier one.
        mounts.removeIf([&](const Volume &v) { return v.mountPoint == volume.mountPoint; });
        mounts.append(volume);
    }
    return mounts;
}

bool VolumeList::isListed(const QString &fsType, const QString &mountPoint)
{
    if (fsType.isEmpty() || excludedTypes().contains(fsType))
        return false;
    // Kernel interfaces, whatever file system serves them.
    if (isUnder(mountPoint, "/proc") || isUnder(mountPoint, "/sys"))
        return false;
    // RAM file systems the system keeps for itself; a user's RAM disk sits elsewhere.
    if (isRam(fsType) && (isUnder(mountPoint, "/dev") || isUnder(mountPoint, "/run")))
        return false;
    // An overlay is only a volume as a container's root.
    if (fsType == QLatin1String("overlay") || fsType == QLatin1String("aufs"))
        return mountPoint == QLatin1String("/");
    // Of the FUSE file systems only block-device ones (ntfs-3g, exfat-fuse) are local disks.
    if (fsType.startsWith(QLatin1String("fuse.")) || fsType == QLatin1String("fuse"))
        return false;
    // Snap packages are images mounted by the system, not media.
    if (fsType == QLatin1String("squashfs") && mountPoint.startsWith(QLatin1String("/snap/")))
        return false;
    return true;
}

VolumeList::Kind VolumeList::kindOf(const QString &fsType, const QString &device)
{
    if (isRam(fsType))
        return Kind::Ram;
    if (isOptical(fsType, device))
        return Kind::Optical;
    const QString disk = sysfsDisk(device);
    if (!disk.isEmpty()) {
        QFile removable(disk + QStringLiteral("/removable"));
        if (removable.open(QIODevice::ReadOnly) && removable.readAll().trimmed() == "1")
            return Kind::Removable;
        // USB sticks and card readers often report themselves as fixed.
        if (disk.contains(QLatin1String("/usb")))
            return Kind::Removable;
    }
    return Kind::Fixed;
}

QList<VolumeList::Volume> VolumeList::allMounts()
{
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parseMountInfo(file.readAll());
}

QList<VolumeList::Volume> VolumeList::mounted()
{
    QList<Volume> volumes;
    for (Volume volume : allMounts()) {
        if (!isListed(volume.fsType, volume.mountPoint))
            continue;
        // Files bind-mounted into containers (/etc/hosts and the like) are no volumes.
        if (!QFileInfo(volume.mountPoint).isDir())
            continue;
        struct statvfs info
        {
        };
        if (::statvfs(QFile::encodeName(volume.mountPoint).constData(), &info) != 0)
            continue;
        volume.totalBytes = qint64(info.f_blocks) * qint64(info.f_frsize);
        volume.kind = kindOf(volume.fsType, volume.device);
        volumes.append(volume);
    }
    std::sort(volumes.begin(), volumes.end(),
              [](const Volume &a, const Volume &b) { return a.mountPoint < b.mountPoint; });
    return volumes;
}

VolumeList::Volume VolumeList::mountHolding(const QString &path)
{
    QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty())
        canonical = QDir::cleanPath(QDir(path).absolutePath());
    Volume best;
    for (const Volume &mount : allMounts()) {
        const QString &point = mount.mountPoint;
        const bool holds = point == QLatin1String("/") || canonical == point
            || canonical.startsWith(point + QLatin1Char('/'));
        if (holds && point.size() > best.mountPoint.size())
            best = mount;
    }
    return best;
}
