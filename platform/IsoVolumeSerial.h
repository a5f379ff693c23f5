#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The serial number Windows shows for a CD or DVD with an ISO 9660 file system: a checksum of
// the volume descriptor the file system is read through, Joliet's supplementary descriptor
// when the disc has one, else the primary descriptor. The mastering date alone is no serial:
// every disc mastered on one day would share it.
class IsoVolumeSerial
{
public:
    static constexpr int sectorSize = 2048;
    // Volume descriptors start at this sector of the first session.
    static constexpr int firstDescriptor = 16;

    // The serial of the volume on device (a block device or an image file); nothing when the
    // device cannot be read or holds no ISO 9660 volume descriptors.
    static std::optional<quint32> forDevice(const QString &device);
    // The serial from the volume descriptor set, read from sector 16 onward: sectors holds
    // whole 2048-byte sectors starting at sector 16.
    static std::optional<quint32> fromDescriptors(const QByteArray &sectors);
    // The checksum of one 2048-byte descriptor: byte k of every 4-byte group is added, with
    // each byte of the sum wrapping on its own, into byte 3 - k of the little-endian result.
    static quint32 checksum(const QByteArray &sector);
    // "%8.8X".
    static QString text(quint32 serial);
};
