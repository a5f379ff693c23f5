#include "searchindex/CheckedFile.h"

#include <QDataStream>
#include <QIODevice>
#include <zlib.h>

namespace {

quint32 crcOf(const QByteArray &bytes)
{
    return quint32(crc32_z(crc32_z(0, nullptr, 0),
                           reinterpret_cast<const Bytef *>(bytes.constData()),
                           size_t(bytes.size())));
}

} // namespace

QByteArray CheckedFile::frame(quint32 magic, quint32 version, const QByteArray &body)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << magic << version << crcOf(body) << body;
    return bytes;
}

bool CheckedFile::unframe(const QByteArray &bytes, quint32 magic, quint32 version, QByteArray *body)
{
    QDataStream head(bytes);
    quint32 keptMagic = 0;
    quint32 keptVersion = 0;
    quint32 crc = 0;
    head >> keptMagic >> keptVersion >> crc >> *body;
    return head.status() == QDataStream::Ok && keptMagic == magic && keptVersion == version
        && head.atEnd() && crc == crcOf(*body);
}
