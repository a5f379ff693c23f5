#include "reportengine/ReportStream.h"

#include "reportengine/ReportLimits.h"

#include <QDataStream>
#include <QIODevice>

namespace {

constexpr int HeaderSize = 8 + 2 + 4 + 2;

} // namespace

QString ReportStream::damagedText()
{
    return QStringLiteral("Файл отчёта повреждён и не может быть прочитан.");
}

QString ReportStream::unknownText()
{
    return QStringLiteral("Это не файл отчёта Kodra.");
}

QString ReportStream::newerText()
{
    return QStringLiteral("Файл отчёта записан более новой версией программы.");
}

QByteArray ReportStream::frame(const QByteArray &magic, quint16 version, const QByteArray &payload)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out.writeRawData(magic.constData(), int(magic.size()));
    out << version << quint32(payload.size()) << qChecksum(payload);
    out.writeRawData(payload.constData(), int(payload.size()));
    return bytes;
}

bool ReportStream::unframe(const QByteArray &bytes, const QByteArray &magic, quint16 maxVersion,
                           QByteArray &payload, quint16 &version, QString *error)
{
    auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    if (bytes.size() < magic.size() || !bytes.startsWith(magic))
        return fail(unknownText());
    if (bytes.size() < HeaderSize)
        return fail(damagedText());
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_0);
    in.skipRawData(int(magic.size()));
    quint32 length = 0;
    quint16 checksum = 0;
    in >> version >> length >> checksum;
    // Whole first, then whose: a damaged header must not pass for a newer program's file.
    if (qsizetype(length) != bytes.size() - HeaderSize)
        return fail(damagedText());
    payload = bytes.mid(HeaderSize);
    if (qChecksum(payload) != checksum || version == 0) {
        payload.clear();
        return fail(damagedText());
    }
    if (version > maxVersion) {
        payload.clear();
        return fail(newerText());
    }
    return true;
}

void ReportStream::writeColor(QDataStream &out, const QColor &color)
{
    out << quint8(color.isValid() ? 1 : 0);
    if (color.isValid())
        out << quint32(color.rgba());
}

bool ReportStream::readColor(QDataStream &in, QColor &color)
{
    quint8 set = 0;
    in >> set;
    if (set > 1)
        return false;
    color = QColor();
    if (set) {
        quint32 rgba = 0;
        in >> rgba;
        color = QColor::fromRgba(rgba);
    }
    return in.status() == QDataStream::Ok;
}

bool ReportStream::readBool(QDataStream &in, bool &value)
{
    // One way of writing each value: a byte that is neither 0 nor 1 is damage.
    quint8 v = 0;
    in >> v;
    value = v == 1;
    return in.status() == QDataStream::Ok && v <= 1;
}

bool ReportStream::isLength(double value, double least)
{
    return value >= least && value <= ReportLimits::MaxLength;
}

bool ReportStream::readEnum(QDataStream &in, int last, int &value)
{
    quint8 v = 0;
    in >> v;
    value = v;
    return in.status() == QDataStream::Ok && v <= last;
}

void ReportStream::writeObject(QDataStream &out, const ReportObject &o)
{
    out << quint8(o.kind) << o.name << o.geometry.x() << o.geometry.y() << o.geometry.width()
        << o.geometry.height() << o.text << o.fontFamily << o.fontSize << o.bold << o.italic
        << o.underline;
    writeColor(out, o.color);
    out << quint32(o.alignment.toInt()) << o.frame << o.frameWidth;
    writeColor(out, o.frameColor);
    writeColor(out, o.fill);
    out << o.wordWrap << o.stretch << quint8(o.format);
}

bool ReportStream::readObject(QDataStream &in, ReportObject &o)
{
    int kind = 0;
    if (!readEnum(in, int(ObjectKind::Line), kind))
        return false;
    o.kind = ObjectKind(kind);
    double x = 0, y = 0, w = 0, h = 0;
    in >> o.name >> x >> y >> w >> h >> o.text >> o.fontFamily >> o.fontSize;
    o.geometry = QRectF(x, y, w, h);
    if (!readBool(in, o.bold) || !readBool(in, o.italic) || !readBool(in, o.underline)
        || !readColor(in, o.color))
        return false;
    quint32 alignment = 0;
    in >> alignment;
    o.alignment = Qt::Alignment(int(alignment));
    if (!readBool(in, o.frame))
        return false;
    in >> o.frameWidth;
    if (!readColor(in, o.frameColor) || !readColor(in, o.fill) || !readBool(in, o.wordWrap)
        || !readBool(in, o.stretch))
        return false;
    int format = 0;
    if (!readEnum(in, int(ValueFormat::Date), format))
        return false;
    o.format = ValueFormat(format);
    if (in.status() != QDataStream::Ok)
        return false;

    // Every value that goes to Qt is one it can draw: finite, within the page's reach.
    using namespace ReportLimits;
    const qsizetype maxText = o.kind == ObjectKind::RichText ? MaxRichText : MaxText;
    return isLength(x, -MaxLength) && isLength(y, -MaxLength) && isLength(w, -MaxLength)
        && isLength(h, -MaxLength) && o.fontSize > 0 && o.fontSize <= MaxFontSize
        && o.frameWidth >= 0 && o.frameWidth <= MaxFrameWidth
        && o.fontFamily.size() <= MaxFontFamily && o.name.size() <= MaxFontFamily
        && o.text.size() <= maxText
        && !(alignment & ~quint32(Qt::AlignHorizontal_Mask | Qt::AlignVertical_Mask));
}
