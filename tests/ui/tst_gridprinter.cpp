#include "store/Connection.h"
#include "store/QueryDataSet.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/PdfTools.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/ScriptedFilePicker.h"
#include "tests/support/TestCatalogue.h"
#include "widgets/DBGrid.h"
#include "widgets/DataSetModel.h"
#include "widgets/GridPrinter.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

// Printing a grid: a dataset grid over a catalogue's disks, printed to PDF and previewed.
class TestGridPrinter : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestCatalogue> m_cat;
    std::unique_ptr<Connection> m_db;
    std::unique_ptr<QueryDataSet> m_ds;
    std::unique_ptr<DBGrid> m_grid;
    QTemporaryDir m_dir;
    RecordingPrompt m_prompt;

    static constexpr qreal MarginMm = 20;

    // disks rows named "Диск 001" ... in FNN order, the key column hidden.
    void makeGrid(int disks)
    {
        m_cat = std::make_unique<TestCatalogue>();
        QVERIFY2(m_cat->isValid(), qPrintable(m_cat->error()));
        m_cat->exec({QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) "
                                    "values (1001, 'Диски', 0)"),
                     QStringLiteral("execute block as declare i integer = 1; begin "
                                    "while (i <= %1) do begin insert into TDISK (FDISKID, "
                                    "FFOLDERID, FMANID, FNAME, FNN, FCOMMENT, FFULLSIZE) values "
                                    "(5000 + :i, 1001, 1, 'Диск ' || lpad(:i, 3, '0'), :i, "
                                    "'Ключ' || (5000 + :i), 1000 * :i); i = i + 1; end end")
                         .arg(disks)});
        m_db = m_cat->connection();
        m_db->open();
        m_ds = std::make_unique<QueryDataSet>(*m_db, QStringLiteral("dtList"));
        m_ds->setSelectSql({QStringLiteral("select FDISKID, FNAME, FNN, FCOMMENT, FFULLSIZE "
                                           "from TDISK"),
                            QStringLiteral("order by"), QStringLiteral(" FNN")});
        auto column = [](const char *field, const char *title, int width) {
            DataSetModel::Column c;
            c.fieldName = QString::fromLatin1(field);
            c.title = QString::fromUtf8(title);
            c.width = width;
            return c;
        };
        m_grid = std::make_unique<DBGrid>();
        m_grid->setWidthScale(1);
        m_grid->setDataSet(m_ds.get(),
                           {column("FDISKID", "Код", 40), column("FNAME", "Наименование", 120),
                            column("FNN", "Номер", 50), column("FCOMMENT", "Примечание", 90),
                            column("FFULLSIZE", "Размер", 80)});
        m_grid->setColumnHidden(0, true);
        m_grid->resize(500, 300);
        m_grid->show();
        m_ds->open();
    }

    // The paper the printer of the preview and of print() uses, in screen pixels.
    QSizeF paperInPixels(const QPageLayout &layout) const
    {
        const QRectF mm = layout.paintRect(QPageLayout::Millimeter);
        const qreal perMm = m_grid->logicalDpiX() / 25.4;
        return mm.size() * perMm;
    }
    int rowsPerSheet(const QPageLayout &layout) const
    {
        const int title = m_grid->horizontalHeader()->height();
        return int((paperInPixels(layout).height() - title)
                   / m_grid->verticalHeader()->defaultSectionSize());
    }
    int expectedPages(const QPageLayout &layout, int rows, int across = 1) const
    {
        const int perSheet = rowsPerSheet(layout);
        return std::max(1, (rows + perSheet - 1) / perSheet) * across;
    }
    QPageLayout pdfLayout() const
    {
        return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                           QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm),
                           QPageLayout::Millimeter);
    }
    QString pdfPath(const char *name) const
    {
        return m_dir.filePath(QString::fromLatin1(name) + QStringLiteral(".pdf"));
    }
    static QStringList diskNames(const QString &text)
    {
        QStringList names;
        static const QRegularExpression name(QStringLiteral("Диск \\d{3}"));
        for (auto it = name.globalMatch(text); it.hasNext();)
            names << it.next().captured();
        return names;
    }
    static QStringList expectedNames(int from, int to)
    {
        QStringList names;
        for (int i = from; i <= to; ++i)
            names << QStringLiteral("Диск %1").arg(i, 3, 10, QLatin1Char('0'));
        return names;
    }

private Q_SLOTS:
    void cleanup()
    {
        m_grid.reset();
        m_ds.reset();
        m_db.reset();
        m_cat.reset();
    }

    void previewPagesTheRows_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("500 rows") << 500;
        QTest::newRow("one row") << 1;
        QTest::newRow("no rows: the titles alone") << 0;
    }
    void previewPagesTheRows()
    {
        QFETCH(int, rows);
        makeGrid(rows);
        // Only the first block is fetched until the print asks for every row.
        QCOMPARE(m_ds->fetchedCount(), std::min(rows, 1));
        int shown = -1;
        QString dialogClass;
        MainWindowFixture::whenModal([&](QWidget *modal) {
            dialogClass = QString::fromLatin1(modal->metaObject()->className());
            if (auto *preview = modal->findChild<QPrintPreviewWidget *>())
                shown = preview->pageCount();
            modal->close();
        });
        QPrinter printer(QPrinter::HighResolution);
        GridPrinter::setUpPrinter(printer);
        GridPrinter::preview(m_grid.get(), nullptr);
        QCOMPARE(dialogClass, QStringLiteral("QPrintPreviewDialog"));
        QCOMPARE(m_ds->fetchedCount(), rows);
        QVERIFY(rowsPerSheet(printer.pageLayout()) > 10);
        QCOMPARE(shown, expectedPages(printer.pageLayout(), rows));
        QCOMPARE(GridPrinter(m_grid.get()).pageCount(printer), shown);
    }

    void pdfHoldsEveryRowInOrder()
    {
        makeGrid(500);
        const QString pdf = pdfPath("rows");
        QVERIFY(GridPrinter::savePdf(m_grid.get(), pdf));
        int pages = 0;
        QString error = PdfTools::pageCount(pdf, pages);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(pages, expectedPages(pdfLayout(), 500));

        QStringList texts;
        error = PdfTools::pages(pdf, texts);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(texts.size(), pages);
        const int perSheet = rowsPerSheet(pdfLayout());
        QStringList all;
        for (int p = 0; p < texts.size(); ++p) {
            const QString &page = texts[p];
            // Each sheet: the titles of the visible columns, then its share of the rows.
            for (const char *title : {"Наименование", "Номер", "Примечание", "Размер"})
                QVERIFY2(page.contains(QString::fromUtf8(title)), title);
            QVERIFY(!page.contains(QStringLiteral("Код")));
            QVERIFY(page.indexOf(QStringLiteral("Наименование"))
                    < page.indexOf(QStringLiteral("Диск")));
            const QStringList names = diskNames(page);
            QCOMPARE(names, expectedNames(p * perSheet + 1, std::min(500, (p + 1) * perSheet)));
            all << names;
        }
        QCOMPARE(all, expectedNames(1, 500));
        // The hidden key column is not printed; the comment beside it is.
        QList<PdfTools::Word> words;
        QVERIFY(PdfTools::words(pdf, words).isEmpty());
        int keys = 0;
        int comments = 0;
        for (const auto &w : words) {
            keys += w.text == QLatin1String("5123") ? 1 : 0;
            comments += w.text == QStringLiteral("Ключ5123") ? 1 : 0;
        }
        QCOMPARE(keys, 0);
        QCOMPARE(comments, 1);
        // The order is the grid's: the same grid re-sorted prints the other way round.
        m_ds->close();
        m_ds->setSelectSql({QStringLiteral("select FDISKID, FNAME, FNN, FCOMMENT, FFULLSIZE "
                                           "from TDISK"),
                            QStringLiteral("order by"), QStringLiteral(" FNN desc")});
        m_ds->open();
        QVERIFY(GridPrinter::savePdf(m_grid.get(), pdf));
        QString text;
        QVERIFY(PdfTools::text(pdf, text).isEmpty());
        QStringList reversed = expectedNames(1, 500);
        std::reverse(reversed.begin(), reversed.end());
        QCOMPARE(diskNames(text), reversed);
    }

    void columnsKeepTheirWidthsOnScreen()
    {
        makeGrid(3);
        m_grid->setColumnWidth(1, 200);
        m_grid->setColumnWidth(3, 150);
        // Moved on screen, printed where it is shown.
        m_grid->horizontalHeader()->moveSection(4, 2);
        const QString pdf = pdfPath("widths");
        QVERIFY(GridPrinter::savePdf(m_grid.get(), pdf));
        QList<PdfTools::Word> words;
        const QString error = PdfTools::words(pdf, words);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        auto wordAt = [&words](const QString &text) {
            for (const auto &w : words) {
                if (w.text == text)
                    return w;
            }
            return PdfTools::Word();
        };
        const qreal pointsPerPixel = 72.0 / m_grid->logicalDpiX();
        const qreal margin = MarginMm / 25.4 * 72;
        const qreal textMargin = 3 * pointsPerPixel;
        // Left-aligned texts start after the margin and the columns to their left; numbers
        // end before the right edge of their column.
        const qreal name = wordAt(QStringLiteral("Диск")).xMin;
        QVERIFY(std::abs(name - (margin + textMargin)) < 1.5);
        const int nameWidth = m_grid->columnWidth(1);
        const int sizeWidth = m_grid->columnWidth(4);
        const int numberWidth = m_grid->columnWidth(2);
        const qreal sizeEnd = wordAt(QStringLiteral("1000")).xMax;
        QVERIFY2(
            std::abs(sizeEnd - (margin + (nameWidth + sizeWidth) * pointsPerPixel - textMargin))
                < 1.5,
            qPrintable(QString::number(sizeEnd)));
        const qreal comment = wordAt(QStringLiteral("Ключ5001")).xMin;
        QVERIFY2(std::abs(comment
                          - (margin + (nameWidth + sizeWidth + numberWidth) * pointsPerPixel
                             + textMargin))
                     < 1.5,
                 qPrintable(QString::number(comment)));
        // The first row sits under the titles, the titles at the top margin.
        const PdfTools::Word title = wordAt(QStringLiteral("Наименование"));
        QVERIFY(title.yMin > margin - 1 && title.yMin < margin + 20);
        QVERIFY(wordAt(QStringLiteral("Диск")).yMin > title.yMax);
    }

    void wideColumnsGoOnToSheetsAcross()
    {
        makeGrid(120);
        // The name and the number fill most of a sheet, the comment nearly a whole one: the
        // size goes on a third sheet across, and each three sheets hold the same rows.
        const qreal paper = paperInPixels(pdfLayout()).width();
        m_grid->setColumnWidth(1, int(paper * 0.6));
        m_grid->setColumnWidth(3, int(paper * 0.9));
        const QString pdf = pdfPath("across");
        QVERIFY(GridPrinter::savePdf(m_grid.get(), pdf));
        QStringList texts;
        QString error = PdfTools::pages(pdf, texts);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const int down = expectedPages(pdfLayout(), 120);
        QVERIFY(down >= 2);
        QCOMPARE(texts.size(), 3 * down);
        const int perSheet = rowsPerSheet(pdfLayout());
        for (int d = 0; d < down; ++d) {
            const QString &first = texts[3 * d];
            const QString &second = texts[3 * d + 1];
            const QString &third = texts[3 * d + 2];
            QVERIFY(first.contains(QStringLiteral("Наименование")));
            QVERIFY(first.contains(QStringLiteral("Номер")));
            QVERIFY(!first.contains(QStringLiteral("Примечание")));
            QVERIFY(second.contains(QStringLiteral("Примечание")));
            QVERIFY(!second.contains(QStringLiteral("Размер")));
            QVERIFY(third.contains(QStringLiteral("Размер")));
            QVERIFY(!third.contains(QStringLiteral("Номер")));
            QCOMPARE(diskNames(first),
                     expectedNames(d * perSheet + 1, std::min(120, (d + 1) * perSheet)));
            QVERIFY(second.contains(QStringLiteral("Ключ%1").arg(5000 + d * perSheet + 1)));
            QVERIFY(third.contains(QString::number(1000 * (d * perSheet + 1))));
        }
    }

    void pagesAreBlackOnWhiteWithinTheMargins()
    {
        makeGrid(200);
        // Coloured on screen, black on paper.
        m_grid->dataSetModel()->setCellColor(
            [](int, int) -> std::optional<QColor> { return QColor(255, 0, 0); });
        m_grid->setShowGrid(true);
        const QString pdf = pdfPath("colours");
        QVERIFY(GridPrinter::savePdf(m_grid.get(), pdf));
        QImage page;
        const int dpi = 100;
        const QString error = PdfTools::render(pdf, 1, dpi, page);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        page.save(m_dir.filePath(QStringLiteral("page1.png")));
        const int margin = int(MarginMm / 25.4 * dpi);
        QRect ink;
        int coloured = 0;
        for (int y = 0; y < page.height(); ++y) {
            for (int x = 0; x < page.width(); ++x) {
                const QRgb p = page.pixel(x, y);
                if (qRed(p) != qGreen(p) || qGreen(p) != qBlue(p))
                    ++coloured;
                if (qGray(p) < 250)
                    ink |= QRect(x, y, 1, 1);
            }
        }
        QCOMPARE(coloured, 0);
        QVERIFY(!ink.isEmpty());
        QVERIFY2(ink.left() >= margin - 1 && ink.top() >= margin - 1,
                 qPrintable(QStringLiteral("ink from %1,%2").arg(ink.left()).arg(ink.top())));
        QVERIFY(ink.right() <= page.width() - margin && ink.bottom() <= page.height() - margin);
        // The table reaches down to the bottom margin: the sheet is used.
        QVERIFY(ink.bottom() > page.height() - margin - 3 * m_grid->rowHeight(0) * dpi / 96);
        if (qEnvironmentVariableIsSet("KODRA_KEEP_PAGE"))
            page.save(qEnvironmentVariable("KODRA_KEEP_PAGE"));
    }

    void previewSavesTheSamePagesAsPdf()
    {
        makeGrid(150);
        ScriptedFilePicker picker;
        const QString pdf = pdfPath("from-preview");
        picker.answers << pdf;
        int shown = -1;
        MainWindowFixture::whenModal([&shown](QWidget *modal) {
            shown = modal->findChild<QPrintPreviewWidget *>()->pageCount();
            auto *save = modal->findChild<QAction *>(QStringLiteral("aSavePdf"));
            QVERIFY(save);
            QVERIFY(save->isEnabled());
            save->trigger();
            modal->close();
        });
        GridPrinter::preview(m_grid.get(), nullptr);
        QCOMPARE(picker.requests.size(), 1);
        QCOMPARE(picker.requests[0].defaultExtension, QStringLiteral("*.pdf"));
        int pages = 0;
        QVERIFY(PdfTools::pageCount(pdf, pages).isEmpty());
        QVERIFY(shown > 1);
        QCOMPARE(pages, shown);
        QString text;
        QVERIFY(PdfTools::text(pdf, text).isEmpty());
        QCOMPARE(diskNames(text), expectedNames(1, 150));
        QVERIFY(m_prompt.shown.isEmpty());
    }

    // Paper, orientation and margins chosen in the preview go into the PDF saved from it.
    void previewPdfFollowsThePageSetup()
    {
        makeGrid(60);
        ScriptedFilePicker picker;
        const QString pdf = pdfPath("landscape");
        picker.answers << pdf;
        int shown = -1;
        MainWindowFixture::whenModal([&shown](QWidget *modal) {
            auto *dialog = qobject_cast<QPrintPreviewDialog *>(modal);
            QVERIFY(dialog);
            auto *view = modal->findChild<QPrintPreviewWidget *>();
            dialog->printer()->setPageSize(QPageSize(QPageSize::A5));
            dialog->printer()->setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
            view->setLandscapeOrientation();
            view->updatePreview();
            shown = view->pageCount();
            modal->findChild<QAction *>(QStringLiteral("aSavePdf"))->trigger();
            modal->close();
        });
        GridPrinter::preview(m_grid.get(), nullptr);
        QSizeF size;
        QVERIFY(PdfTools::pageSize(pdf, size).isEmpty());
        // A5 across: 210 by 148 mm.
        QVERIFY2(qAbs(size.width() - 595.3) < 1 && qAbs(size.height() - 419.5) < 1,
                 qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
        int pages = 0;
        QVERIFY(PdfTools::pageCount(pdf, pages).isEmpty());
        QCOMPARE(pages, shown);
        QList<PdfTools::Word> words;
        QVERIFY(PdfTools::words(pdf, words).isEmpty());
        QVERIFY(!words.isEmpty());
        double left = 1e9;
        for (const PdfTools::Word &w : words)
            left = std::min(left, w.xMin);
        // Within the 10 mm margin chosen, not the usual 20 mm.
        const double perMm = 72 / 25.4;
        QVERIFY2(left > 10 * perMm && left < 15 * perMm, qPrintable(QString::number(left)));
        QString text;
        QVERIFY(PdfTools::text(pdf, text).isEmpty());
        QCOMPARE(diskNames(text), expectedNames(1, 60));
    }

    void unwritablePdfFails()
    {
        makeGrid(2);
        QVERIFY(!GridPrinter::savePdf(m_grid.get(),
                                      m_dir.filePath(QStringLiteral("no/such/folder/x.pdf"))));
    }

    void printGoesThroughThePrintDialog()
    {
        makeGrid(5);
        QString dialogClass;
        MainWindowFixture::whenModal([&dialogClass](QWidget *modal) {
            dialogClass
                = qobject_cast<QPrintDialog *>(modal) ? QStringLiteral("QPrintDialog") : QString();
            modal->close();
        });
        QVERIFY(!GridPrinter::print(m_grid.get(), nullptr));
        QCOMPARE(dialogClass, QStringLiteral("QPrintDialog"));
        const QString pdf = pdfPath("printed");
        MainWindowFixture::whenModal([&pdf](QWidget *modal) {
            auto *dialog = qobject_cast<QPrintDialog *>(modal);
            // Without a printer the system's dialog prints to the file it names.
            auto *file = dialog->findChild<QLineEdit *>(QStringLiteral("filename"));
            QVERIFY(file);
            file->setText(pdf);
            dialog->accept();
        });
        QVERIFY(GridPrinter::print(m_grid.get(), nullptr));
        QString text;
        const QString error = PdfTools::text(pdf, text);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(diskNames(text), expectedNames(1, 5));
    }
};

QTEST_MAIN(TestGridPrinter)
#include "tst_gridprinter.moc"
