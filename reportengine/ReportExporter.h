#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <vector>

class BuiltReport;
struct BuiltPage;
struct ReportObject;

// Writes a built report as plain text, RTF, CSV, HTML or PDF, or in our own file ("*.kdr").
// The text formats read each page as lines: boxes whose tops lie within a millimetre of each
// other form one line, left to right.
class ReportExporter
{
public:
    enum class Format { Own, Pdf, Text, Rtf, Csv, Html };

    // The format a file name asks for by its suffix; Own when it has none we know.
    static Format formatOf(const QString &fileName);
    // The filter of the save dialog, in the program's "Desc (*.x)|*.x" form, own format first.
    static QString saveFilter();
    static QString openFilter();

    // False with a message for the user in *error when the file cannot be written.
    static bool exportFile(const BuiltReport &report, const QString &fileName, QString *error);
    static bool exportPdf(const BuiltReport &report, const QString &fileName,
                          QString *error = nullptr);

    static QByteArray toText(const BuiltReport &report);
    static QByteArray toCsv(const BuiltReport &report);
    static QByteArray toHtml(const BuiltReport &report);
    static QByteArray toRtf(const BuiltReport &report);

    // The lines of a page: each line its text boxes left to right. Empty boxes are left out
    // unless asked for, as a table needs them to keep its columns.
    using Line = std::vector<const ReportObject *>;
    static std::vector<Line> lines(const BuiltPage &page, bool withEmpty = false);
    // A field of a CSV row: numbers without digit groups, so that a spreadsheet reads them
    // back; quoted when it holds the separator, a quote or a line break.
    static QString csvField(const QString &text, const QLocale &locale);
    // The plain text of a text or rich text box.
    static QString plainText(const ReportObject &object);
};
