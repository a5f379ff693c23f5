#include "reportengine/ReportTemplate.h"

#include "reportengine/ReportLimits.h"
#include "reportengine/ReportStream.h"

#include <QDataStream>
#include <QIODevice>

// The stored form of a template (TREPORT.FFRF), framed as ReportStream describes with the
// magic "KODRARPT" and version 1. The payload:
//   quint32 page count, then per page:
//     width, height, left, top, right, bottom margin (doubles, mm),
//     quint32 band count, then per band:
//       kind (quint8: 0 report title, 1 page header, 2 master data, 3 master footer,
//       4 page footer), height (double, mm), data source name (QString),
//       quint32 object count, then the object records.
// Nothing follows the last page. Every value has one way of being written, so a template read
// back is written again byte for byte.

namespace {

const QByteArray Magic = QByteArrayLiteral("KODRARPT");
constexpr quint16 Version = 1;

bool readCount(QDataStream &in, quint32 &count)
{
    in >> count;
    // Each item takes at least one byte: a count beyond what is left is damage.
    return in.status() == QDataStream::Ok && count <= quint32(in.device()->bytesAvailable());
}

} // namespace

QByteArray ReportTemplate::save() const
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << quint32(pages.size());
    for (const ReportPage &page : pages) {
        out << page.size.width() << page.size.height() << page.margins.left() << page.margins.top()
            << page.margins.right() << page.margins.bottom();
        out << quint32(page.bands.size());
        for (const ReportBand &band : page.bands) {
            out << quint8(band.kind) << band.height << band.dataSource;
            out << quint32(band.objects.size());
            for (const ReportObject &object : band.objects)
                ReportStream::writeObject(out, object);
        }
    }
    return ReportStream::frame(Magic, Version, payload);
}

bool ReportTemplate::load(const QByteArray &bytes, QString *error)
{
    pages.clear();
    QByteArray payload;
    quint16 version = 0;
    if (!ReportStream::unframe(bytes, Magic, Version, payload, version, error))
        return false;

    std::vector<ReportPage> read;
    QDataStream in(payload);
    in.setVersion(QDataStream::Qt_6_0);
    bool ok = true;
    quint32 pageCount = 0;
    ok = readCount(in, pageCount);
    for (quint32 p = 0; ok && p < pageCount; ++p) {
        ReportPage page;
        double w = 0, h = 0, l = 0, t = 0, r = 0, b = 0;
        in >> w >> h >> l >> t >> r >> b;
        page.size = QSizeF(w, h);
        page.margins = QMarginsF(l, t, r, b);
        quint32 bandCount = 0;
        ok = ReportStream::isLength(w, 0) && ReportStream::isLength(h, 0)
            && ReportStream::isLength(l, 0) && ReportStream::isLength(t, 0)
            && ReportStream::isLength(r, 0) && ReportStream::isLength(b, 0)
            && readCount(in, bandCount);
        for (quint32 i = 0; ok && i < bandCount; ++i) {
            ReportBand band;
            int kind = 0;
            ok = ReportStream::readEnum(in, int(BandKind::PageFooter), kind);
            band.kind = BandKind(kind);
            in >> band.height >> band.dataSource;
            quint32 objectCount = 0;
            ok = ok && ReportStream::isLength(band.height, 0)
                && band.dataSource.size() <= ReportLimits::MaxFontFamily
                && readCount(in, objectCount);
            for (quint32 k = 0; ok && k < objectCount; ++k) {
                ReportObject object;
                ok = ReportStream::readObject(in, object);
                band.objects.push_back(std::move(object));
            }
            page.bands.push_back(std::move(band));
        }
        read.push_back(std::move(page));
    }
    if (!ok || in.status() != QDataStream::Ok || !in.atEnd()) {
        if (error)
            *error = ReportStream::damagedText();
        return false;
    }
    pages = std::move(read);
    return true;
}
