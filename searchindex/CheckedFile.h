#pragma once

#include <QByteArray>

// The framing of the index's small files: a magic number, a version, the CRC-32 of the body
// and the body itself, as QDataStream writes them.
namespace CheckedFile {

QByteArray frame(quint32 magic, quint32 version, const QByteArray &body);
// The body of bytes; false when the frame, the magic number, the version or the CRC is wrong.
bool unframe(const QByteArray &bytes, quint32 magic, quint32 version, QByteArray *body);

} // namespace CheckedFile
