#include "reportengine/BuiltReport.h"

#include "reportengine/HeapReserve.h"
#include "reportengine/ObjectPainter.h"
#include "reportengine/ReportLimits.h"
#include "reportengine/ReportStream.h"
#include "reportengine/RichTextDocument.h"

#include <QDataStream>
#include <QFile>
#include <QIODevice>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// A saved built report ("*.kdr"), framed as ReportStream describes with the magic "KODRAPRN"
// and version 1. The payload: the title (QString), quint32 page count, then per page its
// width and height (doubles, mm), quint32 object count and the object records, each placed on
// the page with its text resolved.

namespace {

const QByteArray Magic = QByteArrayLiteral("KODRAPRN");
constexpr quint16 Version = 1;

} // namespace

void BuiltReport::drawPage(QPainter &p, int page, double pixelsPerMm) const
{
    if (page < 0 || page >= pageCount())
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(pixelsPerMm / ObjectPainter::UnitsPerMm, pixelsPerMm / ObjectPainter::UnitsPerMm);
    for (const ReportObject &o : pages[size_t(page)].objects)
        ObjectPainter::draw(p, o);
    p.restore();
}

bool BuiltReport::paint(QPagedPaintDevice &device) const
{
    if (pages.empty())
        return false;
    const HeapReserve reserve;
    auto layoutOf = [](const BuiltPage &page) {
        const bool landscape = page.size.width() > page.size.height();
        const QSizeF portrait = landscape ? page.size.transposed() : page.size;
        return QPageLayout(QPageSize(portrait, QPageSize::Millimeter),
                           landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                           QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    };
    device.setPageLayout(layoutOf(pages.front()));
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    for (int i = 0; i < pageCount(); ++i) {
        if (i > 0) {
            // A printer takes one paper for the whole job; a PDF writer takes one per page.
            if (pages[size_t(i)].size != pages[size_t(i) - 1].size)
                device.setPageLayout(layoutOf(pages[size_t(i)]));
            if (!device.newPage())
                return false;
        }
        // The painter's origin is the paper's corner once the margins are 0.
        const double pixelsPerMm = device.logicalDpiX() / 25.4;
        const QRect paper = device.pageLayout().fullRectPixels(device.logicalDpiX());
        painter.save();
        painter.translate(-device.pageLayout().paintRectPixels(device.logicalDpiX()).topLeft()
                          + paper.topLeft());
        drawPage(painter, i, pixelsPerMm);
        painter.restore();
    }
    return painter.end();
}

std::vector<int> BuiltReport::readingOrder(int page) const
{
    std::vector<int> order;
    if (page < 0 || page >= pageCount())
        return order;
    const std::vector<ReportObject> &objects = pages[size_t(page)].objects;
    for (int i = 0; i < int(objects.size()); ++i) {
        if (objects[size_t(i)].kind == ObjectKind::Text
            || objects[size_t(i)].kind == ObjectKind::RichText)
            order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&objects](int x, int y) {
        const QRectF &a = objects[size_t(x)].geometry;
        const QRectF &b = objects[size_t(y)].geometry;
        if (std::fabs(a.top() - b.top()) > 0.05)
            return a.top() < b.top();
        return a.left() < b.left();
    });
    return order;
}

QStringList BuiltReport::pageTexts(int page) const
{
    QStringList texts;
    if (page < 0 || page >= pageCount())
        return texts;
    for (const int i : readingOrder(page)) {
        const ReportObject &o = pages[size_t(page)].objects[size_t(i)];
        texts << (o.kind == ObjectKind::RichText ? RichTextDocument::plainText(o.text) : o.text);
    }
    return texts;
}

QByteArray BuiltReport::save() const
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << title << quint32(pages.size());
    for (const BuiltPage &page : pages) {
        out << page.size.width() << page.size.height() << quint32(page.objects.size());
        for (const ReportObject &o : page.objects)
            ReportStream::writeObject(out, o);
    }
    return ReportStream::frame(Magic, Version, payload);
}

bool BuiltReport::load(const QByteArray &bytes, QString *error)
{
    QByteArray payload;
    quint16 version = 0;
    if (!ReportStream::unframe(bytes, Magic, Version, payload, version, error))
        return false;
    QDataStream in(payload);
    in.setVersion(QDataStream::Qt_6_0);
    BuiltReport read;
    quint32 count = 0;
    in >> read.title >> count;
    bool ok = in.status() == QDataStream::Ok && count <= quint32(payload.size())
        && read.title.size() <= ReportLimits::MaxText;
    for (quint32 i = 0; ok && i < count; ++i) {
        BuiltPage page;
        double w = 0, h = 0;
        quint32 objects = 0;
        in >> w >> h >> objects;
        page.size = QSizeF(w, h);
        ok = in.status() == QDataStream::Ok && objects <= quint32(payload.size())
            && ReportStream::isLength(w, 0) && ReportStream::isLength(h, 0);
        for (quint32 k = 0; ok && k < objects; ++k) {
            ReportObject o;
            ok = ReportStream::readObject(in, o);
            page.objects.push_back(std::move(o));
        }
        read.pages.push_back(std::move(page));
    }
    if (!ok || in.status() != QDataStream::Ok || !in.atEnd()) {
        if (error)
            *error = ReportStream::damagedText();
        return false;
    }
    *this = std::move(read);
    return true;
}

bool BuiltReport::loadFile(const QString &fileName, QString *error)
{
    auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    const QString cannot = QStringLiteral("Не удалось открыть файл %1").arg(fileName);
    // Opened without waiting for a writer, and looked at through the handle itself, so that
    // what is read is what was checked.
    const int fd = ::open(QFile::encodeName(fileName).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return fail(cannot);
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(cannot);
    }
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return fail(ReportStream::unknownText());
    if (st.st_size > ReportLimits::MaxFileSize)
        return fail(QStringLiteral("Файл %1 слишком велик для отчёта Kodra.").arg(fileName));
    const QByteArray bytes = file.read(ReportLimits::MaxFileSize + 1);
    if (bytes.size() > ReportLimits::MaxFileSize)
        return fail(QStringLiteral("Файл %1 слишком велик для отчёта Kodra.").arg(fileName));
    return load(bytes, error);
}
