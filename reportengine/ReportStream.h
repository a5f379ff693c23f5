#pragma once

#include "reportengine/ReportTemplate.h"

#include <QByteArray>
#include <QString>

class QDataStream;

// The framing and the object record shared by the stored template and the saved built report.
//
// A framed file is: 8 bytes of magic, a quint16 format version, a quint32 payload length, a
// quint16 CRC-16 (ISO 3309, qChecksum) of the payload, then the payload. Everything inside is
// written by QDataStream at Qt_6_0, big-endian: doubles as 64-bit IEEE, texts as QString
// (quint32 byte length, then UTF-16), enums as quint8.
//
// An object record: kind, name, left, top, width, height, text, font family, font size,
// bold, italic, underline, colour, alignment (quint32), frame, frame width, frame colour,
// fill, word wrap, stretch, value format. A colour is a quint8 (0: none, 1: set) followed,
// when set, by its quint32 #AARRGGBB.
class ReportStream
{
public:
    static QByteArray frame(const QByteArray &magic, quint16 version, const QByteArray &payload);
    // The payload of a framed file; empty with a message in *error when the frame is wrong.
    static bool unframe(const QByteArray &bytes, const QByteArray &magic, quint16 maxVersion,
                        QByteArray &payload, quint16 &version, QString *error);

    static void writeObject(QDataStream &out, const ReportObject &object);
    // False when the record is cut short or holds a value out of range (ReportLimits).
    static bool readObject(QDataStream &in, ReportObject &object);

    static void writeColor(QDataStream &out, const QColor &color);
    static bool readColor(QDataStream &in, QColor &color);
    // A bool stored as a quint8, 0 or 1.
    static bool readBool(QDataStream &in, bool &value);
    // A length in mm from least to ReportLimits::MaxLength; false for NaN and infinities.
    static bool isLength(double value, double least);
    // An enum stored as a quint8, checked against its last value.
    static bool readEnum(QDataStream &in, int last, int &value);

    // The messages the user sees when a file cannot be read.
    static QString damagedText();
    static QString unknownText();
    static QString newerText();
};
