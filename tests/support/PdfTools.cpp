#include "tests/support/PdfTools.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

QString PdfTools::run(const QString &program, const QStringList &arguments, QByteArray &output)
{
    if (QStandardPaths::findExecutable(program).isEmpty())
        return program + QStringLiteral(" is missing (Debian package poppler-utils)");
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        return program + QStringLiteral(" failed: ")
            + QString::fromLocal8Bit(process.readAllStandardError());
    output = process.readAllStandardOutput();
    return {};
}

QString PdfTools::text(const QString &pdf, QString &text, int firstPage, int lastPage)
{
    QStringList arguments {QStringLiteral("-layout"), QStringLiteral("-enc"),
                           QStringLiteral("UTF-8")};
    if (firstPage > 0)
        arguments << QStringLiteral("-f") << QString::number(firstPage);
    if (lastPage > 0)
        arguments << QStringLiteral("-l") << QString::number(lastPage);
    arguments << pdf << QStringLiteral("-");
    QByteArray output;
    const QString error = run(QStringLiteral("pdftotext"), arguments, output);
    text = QString::fromUtf8(output);
    return error;
}

QString PdfTools::pages(const QString &pdf, QStringList &pages)
{
    QString all;
    const QString error = text(pdf, all);
    pages = all.split(QLatin1Char('\f'));
    // pdftotext ends the last page with a form feed too.
    if (!pages.isEmpty() && pages.constLast().trimmed().isEmpty())
        pages.removeLast();
    return error;
}

QString PdfTools::pageCount(const QString &pdf, int &count)
{
    QByteArray output;
    const QString error = run(QStringLiteral("pdfinfo"), {pdf}, output);
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"),
                                                         QRegularExpression::MultilineOption)
                                          .match(QString::fromUtf8(output));
    count = m.hasMatch() ? m.captured(1).toInt() : -1;
    return error;
}

QString PdfTools::pageSize(const QString &pdf, QSizeF &points)
{
    QByteArray output;
    const QString error = run(QStringLiteral("pdfinfo"), {pdf}, output);
    const QRegularExpressionMatch m
        = QRegularExpression(QStringLiteral("^Page size:\\s+([\\d.]+) x ([\\d.]+) pts"),
                             QRegularExpression::MultilineOption)
              .match(QString::fromUtf8(output));
    points = m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
    return error;
}

QString PdfTools::words(const QString &pdf, QList<Word> &words)
{
    QByteArray output;
    const QString error = run(QStringLiteral("pdftotext"),
                              {QStringLiteral("-bbox"), QStringLiteral("-enc"),
                               QStringLiteral("UTF-8"), pdf, QStringLiteral("-")},
                              output);
    const QString html = QString::fromUtf8(output);
    static const QRegularExpression page(QStringLiteral("<page "));
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">([^<]*)</word>"));
    int pageNumber = 0;
    qsizetype at = 0;
    while (true) {
        const QRegularExpressionMatch nextWord = word.match(html, at);
        if (!nextWord.hasMatch())
            break;
        const qsizetype nextPage = html.indexOf(page, int(at));
        if (nextPage >= 0 && nextPage < nextWord.capturedStart()) {
            ++pageNumber;
            at = nextPage + 1;
            continue;
        }
        Word w;
        w.xMin = nextWord.captured(1).toDouble();
        w.yMin = nextWord.captured(2).toDouble();
        w.xMax = nextWord.captured(3).toDouble();
        w.yMax = nextWord.captured(4).toDouble();
        w.page = pageNumber;
        w.text = nextWord.captured(5)
                     .replace(QStringLiteral("&amp;"), QStringLiteral("&"))
                     .replace(QStringLiteral("&lt;"), QStringLiteral("<"))
                     .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
                     .replace(QStringLiteral("&quot;"), QStringLiteral("\""));
        words << w;
        at = nextWord.capturedEnd();
    }
    return error;
}

QString PdfTools::render(const QString &pdf, int page, int dpi, QImage &image)
{
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    QByteArray output;
    const QString error = run(QStringLiteral("pdftoppm"),
                              {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi),
                               QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                               QString::number(page), QStringLiteral("-singlefile"), pdf, prefix},
                              output);
    if (!error.isEmpty())
        return error;
    if (!image.load(prefix + QStringLiteral(".png")))
        return QStringLiteral("pdftoppm wrote no picture");
    return {};
}
