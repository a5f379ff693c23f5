#include "platform/IsoVolumeSerial.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A set longer than this is no volume descriptor set worth trusting.
constexpr int maxDescriptors = 32;

enum DescriptorType : quint8 { Primary = 1, Supplementary = 2, Terminator = 255 };

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) { }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool isDescriptor(const char *sector)
{
    return sector[1] == 'C' && sector[2] == 'D' && sector[3] == '0' && sector[4] == '0'
        && sector[5] == '1';
}

// A supplementary descriptor whose escape sequences name one of the three Joliet levels.
bool isJoliet(const char *sector)
{
    return quint8(sector[0]) == Supplementary && sector[88] == '%' && sector[89] == '/'
        && (sector[90] == '@' || sector[90] == 'C' || sector[90] == 'E');
}

bool readAll(int fd, char *data, qint64 size, qint64 offset)
{
    while (size > 0) {
        const ssize_t n = ::pread(fd, data, size_t(size), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
        offset += n;
    }
    return true;
}

} // namespace

quint32 IsoVolumeSerial::checksum(const QByteArray &sector)
{
    std::array<quint8, 4> sum {};
    const qsizetype size = std::min<qsizetype>(sector.size(), sectorSize) & ~qsizetype(3);
    for (qsizetype i = 0; i < size; i += 4) {
        for (int k = 0; k < 4; ++k)
            sum[3 - k] = quint8(sum[3 - k] + quint8(sector.at(i + k)));
    }
    return quint32(sum[0]) | quint32(sum[1]) << 8 | quint32(sum[2]) << 16 | quint32(sum[3]) << 24;
}

std::optional<quint32> IsoVolumeSerial::fromDescriptors(const QByteArray &sectors)
{
    std::optional<qsizetype> primary;
    for (qsizetype at = 0; at + sectorSize <= sectors.size(); at += sectorSize) {
        const char *sector = sectors.constData() + at;
        if (!isDescriptor(sector) || quint8(sector[0]) == Terminator)
            break;
        if (isJoliet(sector))
            return checksum(sectors.mid(at, sectorSize));
        if (quint8(sector[0]) == Primary && !primary)
            primary = at;
    }
    if (!primary)
        return std::nullopt;
    return checksum(sectors.mid(*primary, sectorSize));
}

std::optional<quint32> IsoVolumeSerial::forDevice(const QString &device)
{
    const FileDescriptor fd(::open(QFile::encodeName(device).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return std::nullopt;
    QByteArray sectors;
    for (int i = 0; i < maxDescriptors; ++i) {
        QByteArray sector(sectorSize, Qt::Uninitialized);
        if (!readAll(fd.get(), sector.data(), sectorSize, qint64(firstDescriptor + i) * sectorSize))
            break;
        sectors.append(sector);
        if (!isDescriptor(sector.constData()) || quint8(sector.at(0)) == Terminator)
            break;
    }
    return fromDescriptors(sectors);
}

QString IsoVolumeSerial::text(quint32 serial)
{
    return QStringLiteral("%1").arg(serial, 8, 16, QLatin1Char('0')).toUpper();
}
