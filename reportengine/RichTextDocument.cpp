#include "reportengine/RichTextDocument.h"

#include "reportengine/ObjectPainter.h"
#include "reportengine/ReportLimits.h"

#include <QImage>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <vector>

namespace {

// Layout units: a point is 10 of them.
constexpr double MaxFontUnits = ReportLimits::MaxFontSize * 10;
constexpr double MaxImageUnits = ReportLimits::MaxLength * ObjectPainter::UnitsPerMm;

} // namespace

RichTextDocument::RichTextDocument(QObject *parent) : QTextDocument(parent) { }

void RichTextDocument::setBoundedHtml(const QString &html)
{
    const QString bounded
        = html.size() > ReportLimits::MaxRichText ? html.left(ReportLimits::MaxRichText) : html;
    // Qt's time for nested tables grows steeply with their number: more than a label can use
    // are shown as the plain text between the tags.
    if (bounded.count(QLatin1String("<table"), Qt::CaseInsensitive) > ReportLimits::MaxRichTables) {
        static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
        setPlainText(QString(bounded).remove(tag));
        return;
    }
    setHtml(bounded);
    boundSizes();
}

QString RichTextDocument::plainText(const QString &html)
{
    RichTextDocument doc;
    doc.setBoundedHtml(html);
    return doc.toPlainText();
}

QString RichTextDocument::safeHtml(const QString &html)
{
    RichTextDocument doc;
    doc.setBoundedHtml(html);
    const QString whole = QTextDocumentFragment(&doc).toHtml();
    const QString start = QStringLiteral("<!--StartFragment-->");
    const qsizetype from = whole.indexOf(start);
    const qsizetype to = whole.lastIndexOf(QStringLiteral("<!--EndFragment-->"));
    if (from < 0 || to < from)
        return doc.toPlainText().toHtmlEscaped();
    return whole.mid(from + start.size(), to - from - start.size());
}

QVariant RichTextDocument::loadResource(int type, const QUrl &)
{
    // Nothing named in the text is read. An image is a blank point: a null one would make Qt
    // load the file itself.
    if (type == ImageResource) {
        QImage blank(1, 1, QImage::Format_ARGB32);
        blank.fill(Qt::transparent);
        return blank;
    }
    return QString();
}

void RichTextDocument::boundSizes()
{
    struct Fix
    {
        int from;
        int to;
        QTextCharFormat format;
    };
    std::vector<Fix> fixes;
    for (QTextBlock block = begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextCharFormat format = fragment.charFormat();
            bool changed = false;
            if (format.hasProperty(QTextFormat::FontPointSize)
                && !(format.fontPointSize() <= MaxFontUnits)) {
                format.setFontPointSize(MaxFontUnits);
                changed = true;
            }
            if (format.hasProperty(QTextFormat::FontPixelSize)
                && !(format.intProperty(QTextFormat::FontPixelSize) <= MaxFontUnits)) {
                format.setProperty(QTextFormat::FontPixelSize, int(MaxFontUnits));
                changed = true;
            }
            if (format.isImageFormat()) {
                QTextImageFormat image = format.toImageFormat();
                // What it named is never read; its name is not passed on either.
                if (!image.name().isEmpty()) {
                    image.setName(QString());
                    changed = true;
                }
                if (image.hasProperty(QTextFormat::ImageWidth)
                    && !(image.width() <= MaxImageUnits)) {
                    image.setWidth(MaxImageUnits);
                    changed = true;
                }
                if (image.hasProperty(QTextFormat::ImageHeight)
                    && !(image.height() <= MaxImageUnits)) {
                    image.setHeight(MaxImageUnits);
                    changed = true;
                }
                format = image;
            }
            if (changed)
                fixes.push_back(
                    {fragment.position(), fragment.position() + fragment.length(), format});
        }
    }
    for (const Fix &fix : fixes) {
        QTextCursor cursor(this);
        cursor.setPosition(fix.from);
        cursor.setPosition(fix.to, QTextCursor::KeepAnchor);
        cursor.setCharFormat(fix.format);
    }
}
