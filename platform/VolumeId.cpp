#include "platform/VolumeId.h"

#include "platform/IsoVolumeSerial.h"
#include "platform/VolumeList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <blkid.h>
#include <memory>

namespace {

struct ProbeDeleter
{
    void operator()(blkid_probe probe) const { blkid_free_probe(probe); }
};
using Probe = std::unique_ptr<std::remove_pointer_t<blkid_probe>, ProbeDeleter>;

QString probeValue(blkid_probe probe, const char *name)
{
    const char *data = nullptr;
    size_t length = 0;
    if (blkid_probe_lookup_value(probe, name, &data, &length) != 0 || !data)
        return {};
    return QString::fromUtf8(data);
}

bool isHex(const QString &text)
{
    for (QChar c : text) {
        if (!c.isDigit() && !(c >= QLatin1Char('a') && c <= QLatin1Char('f'))
            && !(c >= QLatin1Char('A') && c <= QLatin1Char('F')))
            return false;
    }
    return !text.isEmpty();
}

// The name under folder whose link resolves to node; empty when there is none.
QString linkNameFor(const QString &folder, const QString &node)
{
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (QFileInfo(dir.filePath(name)).canonicalFilePath() == node)
            return name;
    }
    return {};
}

} // namespace

QString VolumeId::serialFromUuid(const QString &fsType, const QString &uuid)
{
    QString digits = uuid.trimmed();
    digits.remove(QLatin1Char('-'));
    digits = digits.toUpper();
    if (!isHex(digits))
        return {};
    const bool fat = fsType == QLatin1String("vfat") || fsType == QLatin1String("msdos")
        || fsType == QLatin1String("fat") || fsType == QLatin1String("exfat");
    const bool ntfs = fsType == QLatin1String("ntfs") || fsType == QLatin1String("ntfs3")
        || (fsType == QLatin1String("fuseblk") && digits.size() == 16);
    if (fat)
        return digits.size() == 8 ? digits : QString();
    if (ntfs)
        return digits.size() == 16 ? digits.right(8) : QString();
    // Short identifiers are numbers: pad as "%8.8X" does.
    if (digits.size() < 8)
        return digits.rightJustified(8, QLatin1Char('0'));
    return digits.left(8);
}

QString VolumeId::decodeUdevLabel(const QString &linkName)
{
    QByteArray bytes = linkName.toUtf8();
    QByteArray out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes.at(i) == '\\' && i + 3 < bytes.size() && bytes.at(i + 1) == 'x') {
            bool ok = false;
            const int value = bytes.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                out.append(char(value));
                i += 3;
                continue;
            }
        }
        out.append(bytes.at(i));
    }
    return QString::fromUtf8(out);
}

VolumeId::Info VolumeId::forDevice(const QString &device, const QString &mountFsType)
{
    Info info;
    if (!device.startsWith(QLatin1Char('/')))
        return info;
    Probe probe(blkid_new_probe_from_filename(QFile::encodeName(device).constData()));
    if (probe) {
        blkid_probe_enable_superblocks(probe.get(), 1);
        blkid_probe_set_superblocks_flags(
            probe.get(), BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID | BLKID_SUBLKS_TYPE);
        if (blkid_do_safeprobe(probe.get()) == 0) {
            info.label = probeValue(probe.get(), "LABEL");
            info.fsType = probeValue(probe.get(), "TYPE");
            info.serial = serialFromUuid(info.fsType, probeValue(probe.get(), "UUID"));
        }
        // A disc with ISO 9660 descriptors takes their checksum, as Windows shows it; that
        // includes a UDF disc with an ISO 9660 bridge, whose descriptors carry the mastering
        // time to the hundredth of a second and the volume's size.
        if (info.fsType == QLatin1String("iso9660") || info.fsType == QLatin1String("udf")) {
            if (const std::optional<quint32> serial = IsoVolumeSerial::forDevice(device))
                info.serial = IsoVolumeSerial::text(*serial);
            else if (info.fsType == QLatin1String("iso9660"))
                info.serial.clear();
        }
        return info;
    }
    // Without read access to the device, udev's links still name its UUID and label.
    const QString node = QFileInfo(device).canonicalFilePath();
    if (node.isEmpty())
        return info;
    info.fsType = mountFsType;
    info.serial
        = serialFromUuid(mountFsType, linkNameFor(QStringLiteral("/dev/disk/by-uuid"), node));
    info.label = decodeUdevLabel(linkNameFor(QStringLiteral("/dev/disk/by-label"), node));
    return info;
}

VolumeId::Info VolumeId::forPath(const QString &path)
{
    const VolumeList::Volume mount = VolumeList::mountHolding(path);
    if (mount.mountPoint.isEmpty())
        return {};
    return forDevice(mount.device, mount.fsType);
}
