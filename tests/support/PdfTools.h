#pragma once

#include <QImage>
#include <QSizeF>
#include <QString>
#include <QStringList>

// What poppler-utils make of a PDF file: its text, its number of pages and a page as a picture.
// Each call fails with a message naming the missing tool rather than passing in silence.
class PdfTools
{
public:
    // Empty on success, else what went wrong.
    static QString text(const QString &pdf, QString &text, int firstPage = 0, int lastPage = 0);
    // The text of each page, as pdftotext separates them (form feeds).
    static QString pages(const QString &pdf, QStringList &pages);
    static QString pageCount(const QString &pdf, int &count);
    // The size of the first page in points, as pdfinfo reads it.
    static QString pageSize(const QString &pdf, QSizeF &points);
    // The words with their boxes in points, as pdftotext -bbox gives them, one per element:
    // xMin, yMin, xMax, yMax, text.
    struct Word
    {
        double xMin = 0;
        double yMin = 0;
        double xMax = 0;
        double yMax = 0;
        int page = 0;
        QString text;
    };
    static QString words(const QString &pdf, QList<Word> &words);
    // One page drawn at a resolution (dots per inch).
    static QString render(const QString &pdf, int page, int dpi, QImage &image);

private:
    static QString run(const QString &program, const QStringList &arguments, QByteArray &output);
};
