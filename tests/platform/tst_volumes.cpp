#include "platform/IsoVolumeSerial.h"
#include "platform/VolumeId.h"
#include "platform/VolumeList.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>
#include <unistd.h>

using Kind = VolumeList::Kind;

namespace {

// Runs a program; false when it could not run or failed. Its standard output goes to out.
bool run(const QString &program, const QStringList &arguments, QByteArray *out = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        return false;
    if (out)
        *out = process.readAllStandardOutput().trimmed();
    return true;
}

// One 2048-byte sector, zero but for the given bytes at the given offsets.
QByteArray sector(std::initializer_list<std::pair<int, QByteArray>> bytes)
{
    QByteArray data(IsoVolumeSerial::sectorSize, '\0');
    for (const auto &[offset, value] : bytes)
        data.replace(offset, value.size(), value);
    return data;
}

// A volume descriptor: type, "CD001", version 1, and more bytes where given.
QByteArray descriptor(quint8 type, std::initializer_list<std::pair<int, QByteArray>> more = {})
{
    QByteArray data = sector({{0, QByteArray(1, char(type))},
                              {1, QByteArrayLiteral("CD001")},
                              {6, QByteArrayLiteral("\x01")}});
    for (const auto &[offset, value] : more)
        data.replace(offset, value.size(), value);
    return data;
}

// Writes an image: sixteen empty sectors, then the descriptors from sector 16 on.
bool writeImage(const QString &path, const QList<QByteArray> &descriptors)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray image(IsoVolumeSerial::firstDescriptor * IsoVolumeSerial::sectorSize, '\0');
    for (const QByteArray &d : descriptors)
        image.append(d);
    return file.write(image) == image.size();
}

QByteArray sectorOf(const QString &image, int index)
{
    QFile file(image);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(qint64(index) * IsoVolumeSerial::sectorSize))
        return {};
    return file.read(IsoVolumeSerial::sectorSize);
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// Masters folder into image with genisoimage under the label "KODRA SET".
bool makeIsoImage(const QString &folder, const QString &image, const QStringList &options)
{
    const QString genisoimage = QStandardPaths::findExecutable(QStringLiteral("genisoimage"));
    if (genisoimage.isEmpty()) {
        qWarning("genisoimage is not installed (scripts/install-deps.sh installs it)");
        return false;
    }
    return run(genisoimage,
               QStringList({QStringLiteral("-quiet"), QStringLiteral("-volid"),
                            QStringLiteral("KODRA SET")})
                   + options + QStringList({QStringLiteral("-o"), image, folder}));
}

} // namespace

class TestVolumes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rootFileSystemListed();
    void noPseudoOrNetworkFileSystems();
    void stableOrder();
    void listed_data();
    void listed();
    void kindByType_data();
    void kindByType();
    void mountInfoEscapes();
    void serialFromUuid_data();
    void serialFromUuid();
    void udevLabel();
    void folderTakesItsVolume();
    void rootMatchesBlkid();
    void loopMountedExt4();
    void isoSerialByHand_data();
    void isoSerialByHand();
    void isoSerialOfImages_data();
    void isoSerialOfImages();
    void loopMountedIso();
};

void TestVolumes::rootFileSystemListed()
{
    const QList<VolumeList::Volume> volumes = VolumeList::mounted();
    const VolumeList::Volume holder = VolumeList::mountHolding(QStringLiteral("/"));
    if (!VolumeList::isListed(holder.fsType, holder.mountPoint))
        QSKIP(qPrintable(
            QStringLiteral("the root file system here is %1, not a volume").arg(holder.fsType)));
    const auto root
        = std::find_if(volumes.cbegin(), volumes.cend(), [](const VolumeList::Volume &volume) {
              return volume.mountPoint == QLatin1String("/");
          });
    QVERIFY(root != volumes.cend());
    QCOMPARE(root->fsType, holder.fsType);
    QCOMPARE(root->device, holder.device);
    QVERIFY(root->totalBytes > 0);
}

void TestVolumes::noPseudoOrNetworkFileSystems()
{
    const QStringList unwanted
        = {QStringLiteral("proc"),     QStringLiteral("sysfs"),     QStringLiteral("devpts"),
           QStringLiteral("cgroup"),   QStringLiteral("cgroup2"),   QStringLiteral("mqueue"),
           QStringLiteral("devtmpfs"), QStringLiteral("nfs"),       QStringLiteral("nfs4"),
           QStringLiteral("cifs"),     QStringLiteral("fuse.sshfs")};
    const QList<VolumeList::Volume> volumes = VolumeList::mounted();
    QVERIFY(!volumes.isEmpty());
    for (const VolumeList::Volume &volume : volumes) {
        QVERIFY2(!unwanted.contains(volume.fsType), qPrintable(volume.mountPoint));
        QVERIFY2(volume.mountPoint != QLatin1String("/proc")
                     && !volume.mountPoint.startsWith(QLatin1String("/proc/"))
                     && !volume.mountPoint.startsWith(QLatin1String("/sys/"))
                     && volume.mountPoint != QLatin1String("/sys"),
                 qPrintable(volume.mountPoint));
    }
}

void TestVolumes::stableOrder()
{
    const QList<VolumeList::Volume> first = VolumeList::mounted();
    QStringList points;
    for (const VolumeList::Volume &volume : first)
        points.append(volume.mountPoint);
    QStringList sorted = points;
    sorted.sort();
    QCOMPARE(points, sorted);
    QStringList again;
    for (const VolumeList::Volume &volume : VolumeList::mounted())
        again.append(volume.mountPoint);
    QCOMPARE(again, points);
}

void TestVolumes::listed_data()
{
    QTest::addColumn<QString>("fsType");
    QTest::addColumn<QString>("mountPoint");
    QTest::addColumn<bool>("listed");

    const auto row = [](const char *type, const char *point, bool listed) {
        QTest::addRow("%s at %s", type, point)
            << QString::fromLatin1(type) << QString::fromLatin1(point) << listed;
    };
    row("ext4", "/", true);
    row("vfat", "/media/user/STICK", true);
    row("exfat", "/media/user/CARD", true);
    row("ntfs3", "/mnt/windows", true);
    row("fuseblk", "/mnt/windows", true);
    row("iso9660", "/media/cdrom", true);
    row("udf", "/media/dvd", true);
    row("tmpfs", "/mnt/ramdisk", true);
    row("ramfs", "/mnt/ram", true);
    row("xfs", "/data", true);
    row("btrfs", "/home", true);
    row("overlay", "/", true);
    row("overlay", "/var/lib/docker/overlay2/x/merged", false);
    row("proc", "/proc", false);
    row("sysfs", "/sys", false);
    row("cgroup2", "/sys/fs/cgroup", false);
    row("devpts", "/dev/pts", false);
    row("devtmpfs", "/dev", false);
    row("mqueue", "/dev/mqueue", false);
    row("securityfs", "/sys/kernel/security", false);
    row("debugfs", "/sys/kernel/debug", false);
    row("tracefs", "/sys/kernel/tracing", false);
    row("bpf", "/sys/fs/bpf", false);
    row("autofs", "/proc/sys/fs/binfmt_misc", false);
    row("fusectl", "/sys/fs/fuse/connections", false);
    row("configfs", "/sys/kernel/config", false);
    row("pstore", "/sys/fs/pstore", false);
    row("binfmt_misc", "/proc/sys/fs/binfmt_misc", false);
    row("hugetlbfs", "/dev/hugepages", false);
    row("nsfs", "/run/netns/x", false);
    row("nfs", "/net/server", false);
    row("nfs4", "/net/server", false);
    row("cifs", "/mnt/share", false);
    row("smb3", "/mnt/share", false);
    row("sshfs", "/mnt/remote", false);
    row("fuse.sshfs", "/mnt/remote", false);
    row("9p", "/mnt/host", false);
    row("fuse.gvfsd-fuse", "/run/user/1000/gvfs", false);
    row("squashfs", "/snap/core/1", false);
    row("squashfs", "/mnt/image", true);
    row("tmpfs", "/tmp", true);
    row("tmpfs", "/sys/fs/cgroup", false);
    row("tmpfs", "/dev/shm", false);
    row("tmpfs", "/run", false);
    row("tmpfs", "/run/user/1000", false);
    row("vfat", "/run/media/user/STICK", true);
}

void TestVolumes::listed()
{
    QFETCH(QString, fsType);
    QFETCH(QString, mountPoint);
    QFETCH(bool, listed);
    QCOMPARE(VolumeList::isListed(fsType, mountPoint), listed);
}

void TestVolumes::kindByType_data()
{
    QTest::addColumn<QString>("fsType");
    QTest::addColumn<QString>("device");
    QTest::addColumn<Kind>("kind");

    QTest::newRow("tmpfs") << QStringLiteral("tmpfs") << QStringLiteral("tmpfs") << Kind::Ram;
    QTest::newRow("ramfs") << QStringLiteral("ramfs") << QStringLiteral("none") << Kind::Ram;
    QTest::newRow("iso9660") << QStringLiteral("iso9660") << QStringLiteral("/dev/loop7")
                             << Kind::Optical;
    QTest::newRow("udf") << QStringLiteral("udf") << QStringLiteral("/dev/sr0") << Kind::Optical;
    QTest::newRow("optical drive")
        << QStringLiteral("vfat") << QStringLiteral("/dev/sr1") << Kind::Optical;
    QTest::newRow("no device") << QStringLiteral("ext4") << QStringLiteral("none") << Kind::Fixed;
}

void TestVolumes::kindByType()
{
    QFETCH(QString, fsType);
    QFETCH(QString, device);
    QFETCH(Kind, kind);
    QCOMPARE(VolumeList::kindOf(fsType, device), kind);
}

void TestVolumes::mountInfoEscapes()
{
    const QByteArray text
        = "22 28 0:21 / /proc rw,relatime - proc proc rw\n"
          "28 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
          "40 28 8:17 / /media/user/My\\040Disk rw,nosuid shared:5 - vfat /dev/sdb1 rw\n"
          "41 28 0:40 / /mnt/ram rw - tmpfs tmpfs rw\n"
          "42 28 0:41 / /mnt/ram rw - ramfs none rw\n";
    const QList<VolumeList::Volume> mounts = VolumeList::parseMountInfo(text);
    QCOMPARE(mounts.size(), 4);
    QCOMPARE(mounts.at(0).mountPoint, QStringLiteral("/proc"));
    QCOMPARE(mounts.at(1).device, QStringLiteral("/dev/vda"));
    QCOMPARE(mounts.at(2).mountPoint, QStringLiteral("/media/user/My Disk"));
    QCOMPARE(mounts.at(2).fsType, QStringLiteral("vfat"));
    QCOMPARE(mounts.at(2).device, QStringLiteral("/dev/sdb1"));
    // The later mount over /mnt/ram hides the earlier one.
    QCOMPARE(mounts.at(3).fsType, QStringLiteral("ramfs"));
}

void TestVolumes::serialFromUuid_data()
{
    QTest::addColumn<QString>("fsType");
    QTest::addColumn<QString>("uuid");
    QTest::addColumn<QString>("serial");

    QTest::newRow("vfat") << QStringLiteral("vfat") << QStringLiteral("1A2B-3C4D")
                          << QStringLiteral("1A2B3C4D");
    QTest::newRow("vfat lower case")
        << QStringLiteral("vfat") << QStringLiteral("0a0b-c0d0") << QStringLiteral("0A0BC0D0");
    QTest::newRow("exfat") << QStringLiteral("exfat") << QStringLiteral("64F1-0E3A")
                           << QStringLiteral("64F10E3A");
    QTest::newRow("vfat malformed")
        << QStringLiteral("vfat") << QStringLiteral("1A2B-3C") << QString();
    QTest::newRow("ntfs") << QStringLiteral("ntfs") << QStringLiteral("01D2F6A4C3B29E80")
                          << QStringLiteral("C3B29E80");
    QTest::newRow("ntfs3 lower case")
        << QStringLiteral("ntfs3") << QStringLiteral("5e8a0c1d0012ab34")
        << QStringLiteral("0012AB34");
    QTest::newRow("ntfs-3g mount")
        << QStringLiteral("fuseblk") << QStringLiteral("01D2F6A4C3B29E80")
        << QStringLiteral("C3B29E80");
    QTest::newRow("ntfs malformed")
        << QStringLiteral("ntfs") << QStringLiteral("01D2F6A4") << QString();
    QTest::newRow("ext4") << QStringLiteral("ext4")
                          << QStringLiteral("3e6be9de-8139-11d1-9106-a43f08d823a6")
                          << QStringLiteral("3E6BE9DE");
    QTest::newRow("xfs") << QStringLiteral("xfs")
                         << QStringLiteral("00c1f2e3-d4b5-4a69-8788-99aabbccddee")
                         << QStringLiteral("00C1F2E3");
    QTest::newRow("btrfs") << QStringLiteral("btrfs")
                           << QStringLiteral("b1a2c3d4-0000-1111-2222-333344445555")
                           << QStringLiteral("B1A2C3D4");
    QTest::newRow("iso9660 date") << QStringLiteral("iso9660")
                                  << QStringLiteral("2023-05-17-10-21-33-00")
                                  << QStringLiteral("20230517");
    QTest::newRow("short number") << QStringLiteral("hfsplus") << QStringLiteral("ABC")
                                  << QStringLiteral("00000ABC");
    QTest::newRow("empty") << QStringLiteral("ext4") << QString() << QString();
    QTest::newRow("not hex") << QStringLiteral("ext4") << QStringLiteral("zz-top") << QString();
}

void TestVolumes::serialFromUuid()
{
    QFETCH(QString, fsType);
    QFETCH(QString, uuid);
    QFETCH(QString, serial);
    QCOMPARE(VolumeId::serialFromUuid(fsType, uuid), serial);
}

void TestVolumes::udevLabel()
{
    QCOMPARE(VolumeId::decodeUdevLabel(QStringLiteral("MY\\x20DISC")), QStringLiteral("MY DISC"));
    QCOMPARE(VolumeId::decodeUdevLabel(QStringLiteral("\\xd0\\x94\\xd0\\xb8\\xd1\\x81\\xd0\\xba")),
             QStringLiteral("Диск"));
}

void TestVolumes::folderTakesItsVolume()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("a/b")));
    const VolumeList::Volume holder = VolumeList::mountHolding(dir.path());
    QVERIFY(!holder.mountPoint.isEmpty());
    QCOMPARE(VolumeList::mountHolding(dir.filePath(QStringLiteral("a/b"))).mountPoint,
             holder.mountPoint);
    const VolumeId::Info folder = VolumeId::forPath(dir.filePath(QStringLiteral("a/b")));
    const VolumeId::Info volume = VolumeId::forPath(holder.mountPoint);
    QCOMPARE(folder.label, volume.label);
    QCOMPARE(folder.serial, volume.serial);
}

void TestVolumes::rootMatchesBlkid()
{
    const QString blkid = QStandardPaths::findExecutable(QStringLiteral("blkid"));
    if (blkid.isEmpty())
        QSKIP("the blkid program is not installed");
    const VolumeList::Volume holder = VolumeList::mountHolding(QStringLiteral("/"));
    if (!holder.device.startsWith(QLatin1String("/dev/"))
        || ::access(qPrintable(holder.device), R_OK) != 0)
        QSKIP("the root file system's device cannot be read here");
    const auto value = [&](const char *tag, QByteArray *out) {
        return run(blkid,
                   {QStringLiteral("-p"), QStringLiteral("-o"), QStringLiteral("value"),
                    QStringLiteral("-s"), QString::fromLatin1(tag), holder.device},
                   out);
    };
    QByteArray uuid;
    QByteArray type;
    QByteArray label;
    if (!value("UUID", &uuid) || !value("TYPE", &type))
        QSKIP("blkid cannot read the root file system's device here");
    value("LABEL", &label);
    const VolumeId::Info info = VolumeId::forPath(QStringLiteral("/"));
    QCOMPARE(info.fsType, QString::fromUtf8(type));
    QCOMPARE(info.label, QString::fromUtf8(label));
    QCOMPARE(info.serial,
             VolumeId::serialFromUuid(QString::fromUtf8(type), QString::fromUtf8(uuid)));
    QCOMPARE(info.serial.size(), 8);
}

void TestVolumes::loopMountedExt4()
{
    if (::geteuid() != 0)
        QSKIP("mounting an image needs root");
    const QString mkfs = QStandardPaths::findExecutable(QStringLiteral("mkfs.ext4"));
    if (mkfs.isEmpty())
        QSKIP("mkfs.ext4 is not installed");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString image = dir.filePath(QStringLiteral("disk.img"));
    const QString point = dir.filePath(QStringLiteral("mnt"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("mnt")));
    {
        QFile file(image);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(16 * 1024 * 1024));
    }
    QVERIFY(run(mkfs,
                {QStringLiteral("-q"), QStringLiteral("-F"), QStringLiteral("-L"),
                 QStringLiteral("KodraDisc"), QStringLiteral("-U"),
                 QStringLiteral("c0ffee12-3456-4789-abcd-ef0123456789"), image}));
    if (!run(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("loop"), image, point}))
        QSKIP("the image cannot be loop-mounted here");
    const auto unmount
        = qScopeGuard([&] { ::umount2(QFile::encodeName(point).constData(), MNT_DETACH); });

    const QString canonicalPoint = QFileInfo(point).canonicalFilePath();
    const QList<VolumeList::Volume> volumes = VolumeList::mounted();
    const auto found
        = std::find_if(volumes.cbegin(), volumes.cend(), [&](const VolumeList::Volume &volume) {
              return volume.mountPoint == canonicalPoint;
          });
    QVERIFY(found != volumes.cend());
    QCOMPARE(found->fsType, QStringLiteral("ext4"));
    QCOMPARE(found->kind, Kind::Fixed);
    QVERIFY(found->totalBytes > 8 * 1024 * 1024);
    QVERIFY(found->totalBytes <= 16 * 1024 * 1024);

    const VolumeId::Info info = VolumeId::forPath(point);
    QCOMPARE(info.label, QStringLiteral("KodraDisc"));
    QCOMPARE(info.serial, QStringLiteral("C0FFEE12"));
    QCOMPARE(info.fsType, QStringLiteral("ext4"));
}

void TestVolumes::isoSerialByHand_data()
{
    QTest::addColumn<QList<QByteArray>>("descriptors");
    QTest::addColumn<QString>("serial");

    // The primary descriptor below holds 01 "CD001" 01 at offsets 0 to 6 and "AB" at 40. Byte
    // k of each 4-byte group goes to lane k:
    //   lane 0: offsets 0, 4, 40: 01 + 30 + 41 = 72
    //   lane 1: offsets 1, 5, 41: 43 + 31 + 42 = B6
    //   lane 2: offsets 2, 6:     44 + 01      = 45
    //   lane 3: offset 3:         30
    // The sum's bytes, lowest first, are lanes 3, 2, 1, 0: 30 45 B6 72, read as a little-endian
    // number 72B64530.
    const QByteArray primary = descriptor(1, {{40, QByteArrayLiteral("AB")}});
    // FF at offsets 11, 15 and 19 adds 2FD to lane 3: 30 + 2FD = 32D, of which 2D stays; no
    // carry reaches lane 2.
    const QByteArray wrapping = descriptor(1,
                                           {{40, QByteArrayLiteral("AB")},
                                            {11, QByteArrayLiteral("\xff")},
                                            {15, QByteArrayLiteral("\xff")},
                                            {19, QByteArrayLiteral("\xff")}});
    // Joliet level 3: 02 "CD001" 01, escape "%/E" (25 2F 45) at offset 88, which is lane 0:
    //   lane 0: 02 + 30 + 25 = 57; lane 1: 43 + 31 + 2F = A3; lane 2: 44 + 01 + 45 = 8A;
    //   lane 3: 30. Serial 57A38A30.
    const QByteArray joliet3 = descriptor(2, {{88, QByteArrayLiteral("%/E")}});
    // Joliet level 1, "%/@": lane 2 is 44 + 01 + 40 = 85. Serial 57A38530.
    const QByteArray joliet1 = descriptor(2, {{88, QByteArrayLiteral("%/@")}});
    const QByteArray supplementary = descriptor(2);
    const QByteArray boot = descriptor(0);
    const QByteArray terminator = descriptor(255);

    QTest::newRow("primary") << QList<QByteArray>({primary, terminator})
                             << QStringLiteral("72B64530");
    QTest::newRow("each byte of the sum wraps alone")
        << QList<QByteArray>({wrapping, terminator}) << QStringLiteral("72B6452D");
    QTest::newRow("Joliet level 3 is the one read")
        << QList<QByteArray>({primary, joliet3, terminator}) << QStringLiteral("57A38A30");
    QTest::newRow("Joliet level 1")
        << QList<QByteArray>({primary, joliet1, terminator}) << QStringLiteral("57A38530");
    QTest::newRow("supplementary but not Joliet")
        << QList<QByteArray>({primary, supplementary, terminator}) << QStringLiteral("72B64530");
    QTest::newRow("boot record first")
        << QList<QByteArray>({boot, primary, terminator}) << QStringLiteral("72B64530");
    QTest::newRow("nothing after the terminator")
        << QList<QByteArray>({primary, terminator, joliet3}) << QStringLiteral("72B64530");
    QTest::newRow("no terminator") << QList<QByteArray>({primary}) << QStringLiteral("72B64530");
    QTest::newRow("no primary") << QList<QByteArray>({boot, terminator}) << QString();
    QTest::newRow("not ISO 9660") << QList<QByteArray>({sector({{1, QByteArrayLiteral("BEA01")}})})
                                  << QString();
    QTest::newRow("too short") << QList<QByteArray>() << QString();
}

void TestVolumes::isoSerialByHand()
{
    QFETCH(QList<QByteArray>, descriptors);
    QFETCH(QString, serial);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString image = dir.filePath(QStringLiteral("hand.iso"));
    QVERIFY(writeImage(image, descriptors));
    const std::optional<quint32> value = IsoVolumeSerial::forDevice(image);
    QCOMPARE(value ? IsoVolumeSerial::text(*value) : QString(), serial);
}

void TestVolumes::isoSerialOfImages_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("fsType");
    QTest::addColumn<int>("descriptorSector");

    QTest::newRow("ISO 9660") << QStringList() << QStringLiteral("iso9660") << 16;
    QTest::newRow("Joliet") << QStringList({QStringLiteral("-J")}) << QStringLiteral("iso9660")
                            << 17;
    // A UDF disc with an ISO 9660 bridge (a DVD's usual form) takes the bridge's checksum.
    QTest::newRow("UDF bridge") << QStringList({QStringLiteral("-J"), QStringLiteral("-udf")})
                                << QStringLiteral("udf") << 17;
}

void TestVolumes::isoSerialOfImages()
{
    QFETCH(QStringList, options);
    QFETCH(QString, fsType);
    QFETCH(int, descriptorSector);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Two discs of one set, mastered on the same day under the same label.
    const QDir root(dir.path());
    QVERIFY(root.mkpath(QStringLiteral("disc1")));
    QVERIFY(root.mkpath(QStringLiteral("disc2/docs")));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("disc1/part1.txt")), "first part\n"));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("disc2/part2.txt")), "second part\n"));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("disc2/docs/readme.txt")), "read me\n"));
    QStringList images;
    for (const char *disc : {"disc1", "disc2"}) {
        const QString image = dir.filePath(QString::fromLatin1(disc) + QStringLiteral(".iso"));
        QVERIFY(makeIsoImage(dir.filePath(QString::fromLatin1(disc)), image, options));
        images.append(image);
    }

    const VolumeId::Info first = VolumeId::forDevice(images.at(0));
    const VolumeId::Info second = VolumeId::forDevice(images.at(1));
    QCOMPARE(first.fsType, fsType);
    QCOMPARE(second.fsType, fsType);
    QCOMPARE(first.label, QStringLiteral("KODRA SET"));
    const QRegularExpression hex(QStringLiteral("^[0-9A-F]{8}$"));
    QVERIFY2(hex.match(first.serial).hasMatch(), qPrintable(first.serial));
    QVERIFY2(hex.match(second.serial).hasMatch(), qPrintable(second.serial));
    QVERIFY2(first.serial != second.serial, qPrintable(first.serial));

    // The serial belongs to the disc's bytes: probed again, or from a copy, it is the same.
    QCOMPARE(VolumeId::forDevice(images.at(0)).serial, first.serial);
    const QString copy = dir.filePath(QStringLiteral("copy.iso"));
    QVERIFY(QFile::copy(images.at(0), copy));
    QCOMPARE(VolumeId::forDevice(copy).serial, first.serial);

    // It is the checksum of the descriptor the file system is read through.
    for (const QString &image : images) {
        const QString serial = VolumeId::forDevice(image).serial;
        QCOMPARE(
            serial,
            IsoVolumeSerial::text(IsoVolumeSerial::checksum(sectorOf(image, descriptorSector))));
        if (descriptorSector != 16)
            QVERIFY(serial
                    != IsoVolumeSerial::text(IsoVolumeSerial::checksum(sectorOf(image, 16))));
    }

    // blkid agrees on the type and label; its identifier of an ISO 9660 disc is the
    // mastering time, which is no longer the serial.
    QString blkid = QStandardPaths::findExecutable(QStringLiteral("blkid"));
    if (blkid.isEmpty())
        blkid = QStandardPaths::findExecutable(
            QStringLiteral("blkid"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    QVERIFY2(!blkid.isEmpty(), "blkid (util-linux) is not installed");
    const auto value = [&](const char *tag, QByteArray *out) {
        return run(blkid,
                   {QStringLiteral("-p"), QStringLiteral("-o"), QStringLiteral("value"),
                    QStringLiteral("-s"), QString::fromLatin1(tag), images.at(0)},
                   out);
    };
    QByteArray type;
    QByteArray label;
    QByteArray uuid;
    QVERIFY(value("TYPE", &type));
    QVERIFY(value("LABEL", &label));
    QVERIFY(value("UUID", &uuid));
    QCOMPARE(QString::fromUtf8(type), first.fsType);
    QCOMPARE(QString::fromUtf8(label), first.label);
    QVERIFY(first.serial != VolumeId::serialFromUuid(fsType, QString::fromUtf8(uuid)));
}

void TestVolumes::loopMountedIso()
{
    if (::geteuid() != 0)
        QSKIP("a loop device needs root");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("disc/sub")));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("mnt")));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("disc/sub/file.txt")), "on the disc\n"));
    const QString image = dir.filePath(QStringLiteral("disc.iso"));
    QVERIFY(makeIsoImage(dir.filePath(QStringLiteral("disc")), image, {QStringLiteral("-J")}));
    const QString serial = IsoVolumeSerial::text(IsoVolumeSerial::checksum(sectorOf(image, 17)));

    // The disc as a block device, read as a drive's device is.
    QByteArray loop;
    if (!run(QStringLiteral("losetup"),
             {QStringLiteral("--find"), QStringLiteral("--show"), QStringLiteral("--read-only"),
              image},
             &loop))
        QSKIP("no loop device here");
    const auto detach = qScopeGuard([&] {
        run(QStringLiteral("losetup"), {QStringLiteral("-d"), QString::fromUtf8(loop)});
    });
    const VolumeId::Info device = VolumeId::forDevice(QString::fromUtf8(loop));
    QCOMPARE(device.fsType, QStringLiteral("iso9660"));
    QCOMPARE(device.label, QStringLiteral("KODRA SET"));
    QCOMPARE(device.serial, serial);

    // Mounted, any folder on it gives the same.
    const QString point = dir.filePath(QStringLiteral("mnt"));
    if (!run(QStringLiteral("mount"),
             {QStringLiteral("-t"), QStringLiteral("iso9660"), QStringLiteral("-o"),
              QStringLiteral("ro"), QString::fromUtf8(loop), point}))
        QSKIP("this kernel cannot mount ISO 9660");
    const auto unmount
        = qScopeGuard([&] { ::umount2(QFile::encodeName(point).constData(), MNT_DETACH); });
    const QString canonicalPoint = QFileInfo(point).canonicalFilePath();
    const QList<VolumeList::Volume> volumes = VolumeList::mounted();
    const auto found
        = std::find_if(volumes.cbegin(), volumes.cend(), [&](const VolumeList::Volume &volume) {
              return volume.mountPoint == canonicalPoint;
          });
    QVERIFY(found != volumes.cend());
    QCOMPARE(found->kind, Kind::Optical);
    QCOMPARE(VolumeId::forPath(dir.filePath(QStringLiteral("mnt/sub"))).serial, serial);
}

QTEST_GUILESS_MAIN(TestVolumes)
#include "tst_volumes.moc"
