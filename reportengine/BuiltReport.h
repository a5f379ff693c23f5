#pragma once

#include "reportengine/ReportTemplate.h"

#include <QByteArray>
#include <QString>
#include <vector>

class QPagedPaintDevice;
class QPainter;

// A page as built: its paper and its objects with their place on the page (mm from the top
// left corner of the paper) and their texts resolved. A check box holds "1" or "0".
struct BuiltPage
{
    QSizeF size {210, 297};
    std::vector<ReportObject> objects;

    bool operator==(const BuiltPage &) const = default;
};

// A report as built: what the preview shows, prints and exports, and what it saves in a file
// of our own ("*.kdr").
class BuiltReport
{
public:
    QString title;
    std::vector<BuiltPage> pages;

    bool isEmpty() const { return pages.empty(); }
    int pageCount() const { return int(pages.size()); }

    // Draws one page; the painter's units are pixels of pixelsPerMm.
    void drawPage(QPainter &painter, int page, double pixelsPerMm) const;
    // Every page onto a printer or a PDF writer, each on paper of its size; false when the
    // device could not be painted on.
    bool paint(QPagedPaintDevice &device) const;

    // The texts of a page in reading order (top to bottom, then left to right).
    QStringList pageTexts(int page) const;
    // The text and rich text boxes of a page in that order, as indexes into its objects.
    std::vector<int> readingOrder(int page) const;

    QByteArray save() const;
    bool load(const QByteArray &bytes, QString *error);
    // A saved built report. Only a regular file of at most ReportLimits::MaxFileSize bytes is
    // read: a named pipe would block the window and a device would never end.
    bool loadFile(const QString &fileName, QString *error);

    bool operator==(const BuiltReport &) const = default;
};
