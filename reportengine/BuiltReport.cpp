#include "reportengine/BuiltReport.h"

#include "reportengine/ReportLimits.h"
#include "reportengine/ReportStream.h"
#include "reportengine/RichTextDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QDataStream>
#include <QFile>
#include <QFontMetricsF>
#include <QIODevice>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
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
constexpr double U = BuiltReport::UnitsPerMm;

QRectF units(const QRectF &mm)
{
    return QRectF(mm.x() * U, mm.y() * U, mm.width() * U, mm.height() * U);
}

QRectF textArea(const QRectF &mm)
{
    return units(mm.adjusted(BuiltReport::TextInsetX, BuiltReport::TextInsetY,
                             -BuiltReport::TextInsetX, -BuiltReport::TextInsetY));
}

QPen outline(const ReportObject &o)
{
    QPen pen(o.frameColor.isValid() ? o.frameColor : QColor(Qt::black));
    pen.setWidthF(std::max(0.05, o.frameWidth) * U);
    return pen;
}

void setUpDocument(RichTextDocument &doc, const ReportObject &o)
{
    doc.setDocumentMargin(0);
    doc.setDefaultFont(BuiltReport::font(o));
    doc.setBoundedHtml(o.text);
    doc.setTextWidth(std::max(1.0, (o.geometry.width() - 2 * BuiltReport::TextInsetX) * U));
}

} // namespace

QString BuiltReport::fontFamily(const ReportObject &o)
{
    // A name Qt would split into none (empty, blanks, commas) leaves the font without a
    // family, which the preview's font handling does not survive: the default stands in.
    const QString family = o.fontFamily.trimmed();
    if (family.isEmpty() || family.count(QLatin1Char(',')) == family.size())
        return ReportObject().fontFamily;
    return family;
}

QFont BuiltReport::font(const ReportObject &o)
{
    QFont f;
    f.setFamilies({fontFamily(o)});
    f.setPixelSize(std::max(1, int(std::lround(o.fontSize * 10))));
    f.setBold(o.bold);
    f.setItalic(o.italic);
    f.setUnderline(o.underline);
    // Outlines as they are, not fitted to the screen's pixels, so that every device breaks
    // the lines alike.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

int BuiltReport::textFlags(const ReportObject &o)
{
    int flags = int(o.alignment);
    if (!(o.alignment & Qt::AlignHorizontal_Mask))
        flags |= Qt::AlignLeft;
    if (!(o.alignment & Qt::AlignVertical_Mask))
        flags |= Qt::AlignTop;
    if (o.wordWrap)
        flags |= Qt::TextWordWrap;
    return flags;
}

double BuiltReport::textHeight(const ReportObject &o, const QFont &font)
{
    if (o.text.isEmpty())
        return 0;
    const QFontMetricsF metrics(font);
    const QRectF area = textArea(o.geometry);
    const QRectF needed
        = metrics.boundingRect(QRectF(0, 0, area.width(), 1e9), textFlags(o), o.text);
    return needed.height() / U + 2 * TextInsetY;
}

double BuiltReport::richTextHeight(const ReportObject &o)
{
    RichTextDocument doc;
    setUpDocument(doc, o);
    return doc.size().height() / U + 2 * TextInsetY;
}

void BuiltReport::drawObject(QPainter &p, const ReportObject &o)
{
    const QRectF r = units(o.geometry);
    switch (o.kind) {
    case ObjectKind::Text:
    case ObjectKind::RichText: {
        if (o.fill.isValid())
            p.fillRect(r, o.fill);
        if (o.kind == ObjectKind::Text) {
            // Unchanged state is not set again: a PDF writer records every change.
            const QFont f = font(o);
            if (p.font() != f)
                p.setFont(f);
            if (p.pen().color() != o.color || p.pen().style() != Qt::SolidLine
                || p.pen().widthF() != 0)
                p.setPen(QPen(o.color, 0));
            p.drawText(textArea(o.geometry), textFlags(o), o.text);
        } else {
            RichTextDocument doc;
            setUpDocument(doc, o);
            p.save();
            const QRectF area = textArea(o.geometry);
            p.translate(area.topLeft());
            QAbstractTextDocumentLayout::PaintContext context;
            context.palette.setColor(QPalette::Text, o.color);
            context.clip = QRectF(0, 0, area.width(), area.height());
            p.setClipRect(context.clip);
            doc.documentLayout()->draw(&p, context);
            p.restore();
        }
        if (o.frame) {
            p.setPen(outline(o));
            p.setBrush(Qt::NoBrush);
            p.drawRect(r);
        }
        break;
    }
    case ObjectKind::CheckBox: {
        const double side = std::min(r.width(), r.height());
        const QRectF box(r.center().x() - side / 2, r.center().y() - side / 2, side, side);
        QPen pen = outline(o);
        p.setPen(pen);
        p.setBrush(o.fill.isValid() ? QBrush(o.fill) : QBrush(Qt::NoBrush));
        p.drawRect(box);
        if (o.text == QLatin1String("1")) {
            const QRectF in = box.adjusted(side / 5, side / 5, -side / 5, -side / 5);
            pen.setColor(o.color);
            p.setPen(pen);
            p.drawLine(in.topLeft(), in.bottomRight());
            p.drawLine(in.topRight(), in.bottomLeft());
        }
        break;
    }
    case ObjectKind::Rectangle:
    case ObjectKind::RoundedRectangle:
    case ObjectKind::Ellipse:
        p.setPen(outline(o));
        p.setBrush(o.fill.isValid() ? QBrush(o.fill) : QBrush(Qt::NoBrush));
        if (o.kind == ObjectKind::Rectangle)
            p.drawRect(r);
        else if (o.kind == ObjectKind::Ellipse)
            p.drawEllipse(r);
        else {
            const double radius = std::min(r.width(), r.height()) / 5;
            p.drawRoundedRect(r, radius, radius);
        }
        break;
    case ObjectKind::Line:
        p.setPen(outline(o));
        p.drawLine(r.topLeft(), r.bottomRight());
        break;
    }
}

void BuiltReport::drawPage(QPainter &p, int page, double pixelsPerMm) const
{
    if (page < 0 || page >= pageCount())
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(pixelsPerMm / U, pixelsPerMm / U);
    for (const ReportObject &o : pages[size_t(page)].objects)
        drawObject(p, o);
    p.restore();
}

bool BuiltReport::paint(QPagedPaintDevice &device) const
{
    if (pages.empty())
        return false;
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

QStringList BuiltReport::pageTexts(int page) const
{
    QStringList texts;
    if (page < 0 || page >= pageCount())
        return texts;
    std::vector<const ReportObject *> order;
    for (const ReportObject &o : pages[size_t(page)].objects) {
        if (o.kind == ObjectKind::Text || o.kind == ObjectKind::RichText)
            order.push_back(&o);
    }
    std::stable_sort(order.begin(), order.end(), [](const ReportObject *a, const ReportObject *b) {
        if (std::fabs(a->geometry.top() - b->geometry.top()) > 0.05)
            return a->geometry.top() < b->geometry.top();
        return a->geometry.left() < b->geometry.left();
    });
    for (const ReportObject *o : order) {
        texts << (o->kind == ObjectKind::RichText ? RichTextDocument::plainText(o->text) : o->text);
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
