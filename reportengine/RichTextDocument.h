#pragma once

#include <QTextDocument>

// The one document every rich text box is laid out, drawn and exported through. Rich text comes
// from templates and built reports of other hands: it must not make the program read files or
// devices (an image of /dev/zero, a named pipe), so every resource it names resolves to nothing,
// its length is bounded, and font and image sizes are brought within what can be drawn.
class RichTextDocument : public QTextDocument
{
    Q_OBJECT

public:
    explicit RichTextDocument(QObject *parent = nullptr);

    // setHtml over at most ReportLimits::MaxRichText characters, sizes bounded.
    void setBoundedHtml(const QString &html);

    // The text of rich text as the reader sees it.
    static QString plainText(const QString &html);
    // Rich text as markup for a page of its own: written again by Qt from the document, so
    // that no script, style sheet link or image source of the original goes with it.
    static QString safeHtml(const QString &html);

protected:
    QVariant loadResource(int type, const QUrl &name) override;

private:
    void boundSizes();
};
