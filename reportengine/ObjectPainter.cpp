#include "reportengine/ObjectPainter.h"

#include "reportengine/RichTextDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

constexpr double U = ObjectPainter::UnitsPerMm;

QRectF units(const QRectF &mm)
{
    return QRectF(mm.x() * U, mm.y() * U, mm.width() * U, mm.height() * U);
}

QRectF textArea(const QRectF &mm)
{
    return units(mm.adjusted(ObjectPainter::TextInsetX, ObjectPainter::TextInsetY,
                             -ObjectPainter::TextInsetX, -ObjectPainter::TextInsetY));
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
    doc.setDefaultFont(ObjectPainter::font(o));
    doc.setBoundedHtml(o.text);
    doc.setTextWidth(std::max(1.0, (o.geometry.width() - 2 * ObjectPainter::TextInsetX) * U));
}

} // namespace

QString ObjectPainter::fontFamily(const ReportObject &o)
{
    // A name Qt would split into none (empty, blanks, commas) leaves the font without a
    // family, which the preview's font handling does not survive: the default stands in.
    const QString family = o.fontFamily.trimmed();
    if (family.isEmpty() || family.count(QLatin1Char(',')) == family.size())
        return ReportObject().fontFamily;
    return family;
}

QFont ObjectPainter::font(const ReportObject &o)
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

int ObjectPainter::textFlags(const ReportObject &o)
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

double ObjectPainter::textHeight(const ReportObject &o, const QFont &font)
{
    if (o.text.isEmpty())
        return 0;
    const QFontMetricsF metrics(font);
    const QRectF area = textArea(o.geometry);
    const QRectF needed
        = metrics.boundingRect(QRectF(0, 0, area.width(), 1e9), textFlags(o), o.text);
    return needed.height() / U + 2 * TextInsetY;
}

double ObjectPainter::richTextHeight(const ReportObject &o)
{
    RichTextDocument doc;
    setUpDocument(doc, o);
    return doc.size().height() / U + 2 * TextInsetY;
}

void ObjectPainter::draw(QPainter &p, const ReportObject &o)
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
