#include "reportengine/ReportExporter.h"

#include "reportengine/BuiltReport.h"
#include "reportengine/ObjectPainter.h"
#include "reportengine/ReportLog.h"
#include "reportengine/RichTextDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QPdfWriter>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

namespace {

// Width of one character of the plain text export, mm: an A4 line holds 105.
constexpr double CharMm = 2.0;

QString mm(double v)
{
    return QString::number(v, 'f', 1) + QStringLiteral("mm");
}

QString cssColor(const QColor &c)
{
    return c.name(QColor::HexRgb);
}

QByteArray rtfText(const QString &text)
{
    QByteArray out;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (c == QLatin1Char('\\') || c == QLatin1Char('{') || c == QLatin1Char('}')) {
            out += '\\';
            out += char(u);
        } else if (c == QLatin1Char('\n')) {
            out += "\\line ";
        } else if (u >= 0x20 && u < 0x80) {
            out += char(u);
        } else if (u >= 0x80) {
            // RTF's \u takes a signed 16-bit number, then one stand-in character.
            out += "\\u" + QByteArray::number(qint16(u)) + '?';
        }
    }
    return out;
}

// A line from the top left to the bottom right corner of its box: a border of a box without
// width or height when it runs straight, else drawn by SVG.
QString htmlLine(const ReportObject &o)
{
    const QRectF r = o.geometry;
    const QString pen = QStringLiteral("%1 solid %2").arg(mm(o.frameWidth), cssColor(o.frameColor));
    if (std::fabs(r.width()) < 0.05 || std::fabs(r.height()) < 0.05) {
        const QRectF n = r.normalized();
        const bool vertical = std::fabs(r.width()) < 0.05;
        return QStringLiteral("<div style=\"left: %1; top: %2; width: %3; height: %4; %5: %6;\">"
                              "</div>\n")
            .arg(mm(n.left()), mm(n.top()), vertical ? mm(0) : mm(n.width()),
                 vertical ? mm(n.height()) : mm(0),
                 vertical ? QStringLiteral("border-left") : QStringLiteral("border-top"), pen);
    }
    const QRectF n = r.normalized();
    // In the box's own millimetres; the ends where the line's corners are.
    const double x1 = r.left() - n.left(), y1 = r.top() - n.top();
    const double x2 = r.right() - n.left(), y2 = r.bottom() - n.top();
    return QStringLiteral(
               "<svg style=\"position: absolute; left: %1; top: %2; overflow: visible;\" "
               "width=\"%3\" height=\"%4\" viewBox=\"0 0 %5 %6\"><line x1=\"%7\" "
               "y1=\"%8\" x2=\"%9\" y2=\"%10\" stroke=\"%11\" stroke-width=\"%12\"/>"
               "</svg>\n")
        .arg(mm(n.left()), mm(n.top()), mm(n.width()), mm(n.height()))
        .arg(n.width())
        .arg(n.height())
        .arg(x1)
        .arg(y1)
        .arg(x2)
        .arg(y2)
        .arg(cssColor(o.frameColor))
        .arg(o.frameWidth);
}

constexpr double TwipsPerMm = 1440 / 25.4;

QByteArray twips(double mm)
{
    return QByteArray::number(qRound(mm * TwipsPerMm));
}

QByteArray rtfColor(const QColor &c)
{
    // Drawing properties take colours as 0x00BBGGRR.
    return QByteArray::number(c.red() + c.green() * 256 + c.blue() * 65536);
}

QByteArray rtfProperty(const char *name, const QByteArray &value)
{
    return QByteArrayLiteral("{\\sp{\\sn ") + name + QByteArrayLiteral("}{\\sv ") + value
        + QByteArrayLiteral("}}");
}

// The shapes of a page as RTF drawing shapes placed on the page, behind the text: frames of
// boxes, rectangles, ellipses and lines.
QByteArray rtfShapes(const BuiltPage &page)
{
    QByteArray out;
    int z = 0;
    for (const ReportObject &o : page.objects) {
        int type = 0;
        switch (o.kind) {
        case ObjectKind::Rectangle:
            type = 1;
            break;
        case ObjectKind::RoundedRectangle:
            type = 2;
            break;
        case ObjectKind::Ellipse:
            type = 3;
            break;
        case ObjectKind::Line:
            type = 20;
            break;
        default:
            type = o.frame || o.fill.isValid() ? 1 : 0;
            break;
        }
        if (type == 0)
            continue;
        const QRectF n = o.geometry.normalized();
        out += "{\\shp{\\*\\shpinst\\shpleft" + twips(n.left()) + "\\shptop" + twips(n.top())
            + "\\shpright" + twips(n.right()) + "\\shpbottom" + twips(n.bottom())
            + "\\shpfhdr0\\shpbxpage\\shpbxignore\\shpbypage\\shpbyignore\\shpwr3\\shpwrk0"
              "\\shpfblwtxt1\\shpz"
            + QByteArray::number(z++) + rtfProperty("shapeType", QByteArray::number(type))
            + rtfProperty("posrelh", "1") + rtfProperty("posrelv", "1");
        if (type == 20) {
            // A line runs between the corners of its box as given, so it may be mirrored.
            const bool flipH = o.geometry.width() < 0 && o.geometry.height() >= 0;
            const bool flipV = o.geometry.height() < 0 && o.geometry.width() >= 0;
            out += rtfProperty("fFlipH", flipH ? "1" : "0")
                + rtfProperty("fFlipV", flipV ? "1" : "0");
        }
        const bool outlined = type != 1 || o.frame || o.kind == ObjectKind::Rectangle;
        out += rtfProperty("fLine", outlined ? "1" : "0")
            + rtfProperty("lineColor", rtfColor(o.frameColor))
            + rtfProperty("lineWidth", QByteArray::number(qRound(o.frameWidth * 36000)));
        if (o.fill.isValid() && type != 20)
            out += rtfProperty("fFilled", "1") + rtfProperty("fillColor", rtfColor(o.fill));
        else
            out += rtfProperty("fFilled", "0");
        out += "}}";
    }
    return out;
}

} // namespace

QString ReportExporter::plainText(const ReportObject &o)
{
    return o.kind == ObjectKind::RichText ? RichTextDocument::plainText(o.text) : o.text;
}

std::vector<ReportExporter::Line> ReportExporter::lines(const BuiltPage &page, bool withEmpty)
{
    std::vector<const ReportObject *> boxes;
    for (const ReportObject &o : page.objects) {
        if ((o.kind == ObjectKind::Text || o.kind == ObjectKind::RichText)
            && (withEmpty || !o.text.isEmpty()))
            boxes.push_back(&o);
    }
    std::stable_sort(boxes.begin(), boxes.end(), [](const ReportObject *a, const ReportObject *b) {
        return a->geometry.top() < b->geometry.top();
    });
    std::vector<Line> out;
    double lineTop = 0;
    for (const ReportObject *o : boxes) {
        if (out.empty() || o->geometry.top() - lineTop > 1.0) {
            out.emplace_back();
            lineTop = o->geometry.top();
        }
        out.back().push_back(o);
    }
    for (Line &line : out) {
        std::stable_sort(line.begin(), line.end(),
                         [](const ReportObject *a, const ReportObject *b) {
                             return a->geometry.left() < b->geometry.left();
                         });
    }
    return out;
}

ReportExporter::Format ReportExporter::formatOf(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("pdf"))
        return Format::Pdf;
    if (suffix == QLatin1String("txt"))
        return Format::Text;
    if (suffix == QLatin1String("rtf"))
        return Format::Rtf;
    if (suffix == QLatin1String("csv"))
        return Format::Csv;
    if (suffix == QLatin1String("htm") || suffix == QLatin1String("html"))
        return Format::Html;
    return Format::Own;
}

QString ReportExporter::openFilter()
{
    return QStringLiteral("Отчёт Kodra (*.kdr)|*.kdr");
}

QString ReportExporter::saveFilter()
{
    return openFilter()
        + QStringLiteral("|Документ PDF (*.pdf)|*.pdf|Текст (*.txt)|*.txt|Документ RTF "
                         "(*.rtf)|*.rtf|Таблица CSV (*.csv)|*.csv|Страница HTML (*.htm)|*.htm");
}

namespace {

// The user is told which file could not be written; why goes to the log.
bool writeFailed(const QString &fileName, const QString &why, QString *error)
{
    qCWarning(reportLog) << "writing" << fileName << "failed:" << why;
    if (error)
        *error = QStringLiteral("Не удалось записать файл %1").arg(fileName);
    return false;
}

} // namespace

bool ReportExporter::exportPdf(const BuiltReport &report, const QString &fileName, QString *error)
{
    // Written aside and renamed into place, so that a failure leaves the old file whole.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return writeFailed(fileName, file.errorString(), error);
    {
        QPdfWriter writer(&file);
        writer.setCreator(QStringLiteral("Kodra"));
        writer.setTitle(report.title);
        writer.setResolution(1200);
        if (!report.paint(writer))
            return writeFailed(fileName, QStringLiteral("no page could be painted"), error);
    }
    if (!file.commit())
        return writeFailed(fileName, file.errorString(), error);
    return true;
}

bool ReportExporter::exportFile(const BuiltReport &report, const QString &fileName, QString *error)
{
    QByteArray bytes;
    switch (formatOf(fileName)) {
    case Format::Pdf:
        return exportPdf(report, fileName, error);
    case Format::Own:
        bytes = report.save();
        break;
    case Format::Text:
        bytes = toText(report);
        break;
    case Format::Rtf:
        bytes = toRtf(report);
        break;
    case Format::Csv:
        bytes = toCsv(report);
        break;
    case Format::Html:
        bytes = toHtml(report);
        break;
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return writeFailed(fileName, file.errorString(), error);
    return true;
}

QByteArray ReportExporter::toText(const BuiltReport &report)
{
    QString out;
    for (int p = 0; p < report.pageCount(); ++p) {
        if (p > 0)
            out += QLatin1Char('\f');
        for (const Line &line : lines(report.pages[size_t(p)])) {
            QString text;
            for (const ReportObject *o : line) {
                const QString value = plainText(*o).simplified();
                qsizetype column = qsizetype(std::lround(o->geometry.left() / CharMm));
                if (o->alignment & Qt::AlignRight)
                    column = qsizetype(std::lround(o->geometry.right() / CharMm)) - value.size();
                else if (o->alignment & Qt::AlignHCenter)
                    column = qsizetype(std::lround(o->geometry.center().x() / CharMm))
                        - value.size() / 2;
                // Never over the text already on the line.
                if (!text.isEmpty())
                    column = std::max(column, text.size() + 1);
                column = std::max<qsizetype>(column, 0);
                text = text.leftJustified(column, QLatin1Char(' ')) + value;
            }
            out += text + QLatin1Char('\n');
        }
    }
    return out.toUtf8();
}

QString ReportExporter::csvField(const QString &text, const QLocale &locale)
{
    QString value = text;
    bool number = false;
    locale.toDouble(value, &number);
    if (number) {
        value.remove(locale.groupSeparator());
        return value;
    }
    if (value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('"'))
        || value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'))) {
        value.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        value = QLatin1Char('"') + value + QLatin1Char('"');
    }
    return value;
}

QByteArray ReportExporter::toCsv(const BuiltReport &report)
{
    // Separated by semicolons, as spreadsheets of a locale with a decimal comma expect; the
    // byte order mark tells them the text is UTF-8. A band's empty boxes stay empty fields, so
    // that every value keeps the column of its title.
    const QLocale locale;
    QString out = QString(QChar(0xFEFF));
    for (const BuiltPage &page : report.pages) {
        for (const Line &line : lines(page, true)) {
            QStringList cells;
            for (const ReportObject *o : line)
                cells << csvField(plainText(*o), locale);
            // A line of boxes that are all empty is no row of the table.
            if (!cells.join(QString()).isEmpty())
                out += cells.join(QLatin1Char(';')) + QStringLiteral("\r\n");
        }
    }
    return out.toUtf8();
}

QByteArray ReportExporter::toHtml(const BuiltReport &report)
{
    QString out
        = QStringLiteral(
              "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>%1</title>\n"
              "<style>\n.page { position: relative; margin: 0 auto 5mm auto; background: white; "
              "page-break-after: always; }\n.page div { position: absolute; overflow: hidden; "
              "box-sizing: border-box; }\n</style>\n</head>\n<body>\n")
              .arg(report.title.toHtmlEscaped());
    for (const BuiltPage &page : report.pages) {
        out += QStringLiteral("<div class=\"page\" style=\"width: %1; height: %2;\">\n")
                   .arg(mm(page.size.width()), mm(page.size.height()));
        for (const ReportObject &o : page.objects) {
            QString style = QStringLiteral("left: %1; top: %2; width: %3; height: %4;")
                                .arg(mm(o.geometry.left()), mm(o.geometry.top()),
                                     mm(o.geometry.width()), mm(o.geometry.height()));
            QString content;
            switch (o.kind) {
            case ObjectKind::Text:
                style += QStringLiteral(" font-family: '%1'; font-size: %2pt; color: %3;"
                                        " padding: %4 %5;")
                             .arg(o.fontFamily)
                             .arg(o.fontSize)
                             .arg(cssColor(o.color), mm(ObjectPainter::TextInsetY),
                                  mm(ObjectPainter::TextInsetX));
                if (o.bold)
                    style += QStringLiteral(" font-weight: bold;");
                if (o.italic)
                    style += QStringLiteral(" font-style: italic;");
                if (o.underline)
                    style += QStringLiteral(" text-decoration: underline;");
                if (o.alignment & Qt::AlignRight)
                    style += QStringLiteral(" text-align: right;");
                else if (o.alignment & Qt::AlignHCenter)
                    style += QStringLiteral(" text-align: center;");
                if (!o.wordWrap)
                    style += QStringLiteral(" white-space: nowrap;");
                // A column of one block puts the text at the box's top, middle or bottom.
                if (o.alignment & (Qt::AlignVCenter | Qt::AlignBottom)) {
                    style += QStringLiteral(" display: flex; flex-direction: column;"
                                            " justify-content: %1;")
                                 .arg(o.alignment & Qt::AlignVCenter ? QStringLiteral("center")
                                                                     : QStringLiteral("flex-end"));
                }
                content = QStringLiteral("<span style=\"display: block;\">%1</span>")
                              .arg(o.text.toHtmlEscaped().replace(QLatin1Char('\n'),
                                                                  QStringLiteral("<br>")));
                break;
            case ObjectKind::RichText:
                content = RichTextDocument::safeHtml(o.text);
                break;
            case ObjectKind::CheckBox:
                content = o.text == QLatin1String("1") ? QStringLiteral("&#9746;")
                                                       : QStringLiteral("&#9744;");
                break;
            case ObjectKind::Ellipse:
                style += QStringLiteral(" border-radius: 50%;");
                break;
            case ObjectKind::RoundedRectangle:
                style += QStringLiteral(" border-radius: 2mm;");
                break;
            default:
                break;
            }
            const bool outlined = o.frame || o.kind == ObjectKind::Rectangle
                || o.kind == ObjectKind::RoundedRectangle || o.kind == ObjectKind::Ellipse;
            if (o.kind == ObjectKind::Line) {
                out += htmlLine(o);
                continue;
            }
            if (outlined) {
                style += QStringLiteral(" border: %1 solid %2;")
                             .arg(mm(o.frameWidth), cssColor(o.frameColor));
            }
            if (o.fill.isValid())
                style += QStringLiteral(" background: %1;").arg(cssColor(o.fill));
            out += QStringLiteral("<div style=\"%1\">%2</div>\n").arg(style, content);
        }
        out += QStringLiteral("</div>\n");
    }
    out += QStringLiteral("</body>\n</html>\n");
    return out.toUtf8();
}

QByteArray ReportExporter::toRtf(const BuiltReport &report)
{
    // One paragraph per line, its boxes at tab stops where they stand on the page; frames,
    // shapes and lines as drawing shapes placed on the page, anchored in its first paragraph.
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\n";
    for (int p = 0; p < report.pageCount(); ++p) {
        const BuiltPage &page = report.pages[size_t(p)];
        if (p == 0) {
            out += "\\paperw" + twips(page.size.width()) + "\\paperh" + twips(page.size.height())
                + "\\margl0\\margr0\\margt0\\margb0\n";
        } else {
            out += "\\page\n";
        }
        QByteArray shapes = rtfShapes(page);
        const std::vector<Line> pageLines = lines(page);
        if (pageLines.empty() && !shapes.isEmpty())
            out += "\\pard " + shapes + "\\par\n";
        for (const Line &line : pageLines) {
            QByteArray stops;
            QByteArray text;
            for (size_t i = 0; i < line.size(); ++i) {
                const ReportObject &o = *line[i];
                if (o.alignment & Qt::AlignRight) {
                    stops += "\\tqr\\tx" + twips(o.geometry.right());
                } else if (o.alignment & Qt::AlignHCenter) {
                    stops += "\\tqc\\tx" + twips(o.geometry.center().x());
                } else {
                    stops += "\\tx" + twips(o.geometry.left());
                }
                text += "\\tab{\\f0\\fs" + QByteArray::number(qRound(o.fontSize * 2));
                if (o.bold)
                    text += "\\b";
                if (o.italic)
                    text += "\\i";
                text += ' ' + rtfText(plainText(o)) + '}';
            }
            out += "\\pard" + stops + ' ' + shapes + text + "\\par\n";
            shapes.clear();
        }
    }
    out += "}\n";
    return out;
}
