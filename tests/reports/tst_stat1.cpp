#include "app/Catalogue.h"
#include "browser/uMain.h"
#include "reportengine/ReportExporter.h"
#include "reportengine/ReportFormatter.h"
#include "reports/uStat1.h"
#include "reportui/ReportPreview.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/ModalWatch.h"
#include "tests/support/PdfTools.h"
#include "tests/support/ScriptedFilePicker.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

constexpr double TB = 2199023255552.0; // 2 TiB

// Folders "Диски" (1001) with "Музыка" and two siblings both named "Архив" inside, and
// "Фильмы" at the top; each holds disks.
QStringList catalogueRows()
{
    QStringList rows {
        QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                       "(1002, 'Музыка', 1001)"),
        QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                       "(1003, 'Фильмы', 0)"),
        QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                       "(1004, 'Архив', 1001)"),
        QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                       "(1005, 'Архив', 1001)"),
    };
    struct Disk
    {
        int id, folder, files;
        double size;
        bool lost;
    };
    const Disk disks[] = {
        {2001, 1001, 100, 1000, false}, {2002, 1001, 50, 2000, true},
        {2003, 1002, 0, 0, false},      {2004, 1002, 0, 0, false},
        {2005, 1003, 1000, TB, false},  {2006, 1003, 1000, TB, false},
        {2007, 1003, 1000, TB, false},  {2008, 1004, 7, 10, false},
        {2009, 1005, 8, 20, false},
    };
    for (const Disk &d : disks) {
        rows << QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FFILES, "
                               "FFULLSIZE, FDELDATE) values (%1, %2, 1, 'Диск %1', %3, %4, %5)")
                    .arg(d.id)
                    .arg(d.folder)
                    .arg(d.files)
                    .arg(QString::number(d.size, 'f', 0),
                         d.lost ? QStringLiteral("'2020-01-01'") : QStringLiteral("null"));
    }
    return rows;
}

QString grouped(QStringList parts)
{
    return parts.join(QLocale().groupSeparator());
}

// pdftotext writes a no-break space as a plain one.
QString spaced(QString text)
{
    return text.replace(QChar(0x00A0), QLatin1Char(' ')).replace(QChar(0x202F), QLatin1Char(' '));
}

} // namespace

class TestStat1 : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainWindowFixture> m_fixture;
    // Expected lines: path, disks, files, bytes.
    QList<QStringList> m_rows;

    const ReportObject *find(const BuiltPage &page, const QString &text)
    {
        for (const ReportObject &o : page.objects) {
            if (o.text == text)
                return &o;
        }
        return nullptr;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        m_fixture = std::make_unique<MainWindowFixture>();
        const QString error = m_fixture->start(catalogueRows());
        QVERIFY2(error.isEmpty(), qPrintable(error));
        m_rows = {
            {QStringLiteral("Диски"), QStringLiteral("2"), QStringLiteral("150"),
             grouped({"3", "000"})},
            {QStringLiteral("Диски / Музыка"), QStringLiteral("2"), QString(), QStringLiteral("0")},
            {QStringLiteral("Фильмы"), QStringLiteral("3"), grouped({"3", "000"}),
             grouped({"6", "597", "069", "766", "656"})},
            {QStringLiteral("Диски / Архив"), QStringLiteral("2"), QStringLiteral("15"),
             QStringLiteral("30")},
        };
    }

    void cleanupTestCase() { m_fixture.reset(); }

    // One row per folder path: equal paths count as one, files of 0 leave the box empty,
    // terabytes print in full; the totals sum every row.
    void rowsAndTotals()
    {
        TfStat1 stat(m_fixture->data(), &m_fixture->main());
        stat.dtStat1.open();
        const QDateTime start(QDate(2024, 3, 9), QTime(14, 5, 7));
        const BuiltReport built = stat.frStat1.build(start);
        QCOMPARE(built.title, QStringLiteral("Количество"));
        QCOMPARE(built.pageCount(), 1);
        const BuiltPage &page = built.pages[0];
        QCOMPARE(page.objects.size(), size_t(6 + 4 * m_rows.size() + 4));
        QCOMPARE(page.objects[1].text, QStringLiteral("09.03.2024 14:05:07"));
        for (const QStringList &row : m_rows) {
            const ReportObject *path = find(page, row[0]);
            QVERIFY2(path, qPrintable(row[0]));
            const size_t at = size_t(path - page.objects.data());
            QStringList shown;
            for (size_t i = at; i < at + 4; ++i)
                shown << page.objects[i].text;
            QCOMPARE(shown, row);
        }
        const QStringList totals {QStringLiteral("Всего"), QStringLiteral("9"),
                                  grouped({"3", "165"}),
                                  grouped({"6", "597", "069", "769", "686"})};
        QStringList shown;
        for (size_t i = page.objects.size() - 4; i < page.objects.size(); ++i)
            shown << page.objects[i].text;
        QCOMPARE(shown, totals);

        // The statistics without a window build the same pages, reading the rows themselves.
        FolderStatistics statistics(m_fixture->data().DefDatabase());
        QVERIFY(!statistics.rows().isOpen());
        QVERIFY(statistics.build(start) == built);
    }

    // A CSV export keeps one field per column of a band: the empty files box of "Музыка"
    // stays an empty field, the titles head the columns, and numbers carry no digit groups.
    void csvKeepsEveryColumn()
    {
        TfStat1 stat(m_fixture->data(), &m_fixture->main());
        stat.dtStat1.open();
        const QByteArray bytes = ReportExporter::toCsv(stat.frStat1.build());
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QString csv = QString::fromUtf8(bytes.mid(3));
        QStringList rows = csv.split(QStringLiteral("\r\n"));
        QCOMPARE(rows.takeLast(), QString());
        QVERIFY(rows.contains(QStringLiteral("Папка;Носителей, шт;Файлов, шт;Объем, байт")));
        for (const QStringList &row : m_rows) {
            QStringList fields = row;
            for (QString &f : fields)
                f.remove(QLocale().groupSeparator());
            const QString line = fields.join(QLatin1Char(';'));
            QVERIFY2(rows.contains(line), qPrintable(line + QLatin1Char('\n') + csv));
        }
        QVERIFY(rows.contains(QStringLiteral("Всего;9;3165;6597069769686")));
        const qsizetype header
            = rows.indexOf(QStringLiteral("Папка;Носителей, шт;Файлов, шт;Объем, байт"));
        for (qsizetype i = header; i < rows.size(); ++i)
            QCOMPARE(rows[i].count(QLatin1Char(';')), 3);
    }

    void boxesStandWhereTheLayoutSays_data()
    {
        QTest::addColumn<int>("index"); // into the page's objects; negative: from the end
        QTest::addColumn<QRectF>("box");
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<int>("align");
        // Tops on the page: the title band at the 10 mm margin, 23.3 mm tall, then the rows,
        // 6.7 mm each, then the footer.
        const double title = 10;
        const double row = title + 23.3;
        const double footer = row + 4 * 6.7;
        const int L = Qt::AlignLeft, R = Qt::AlignRight, C = Qt::AlignHCenter;
        QTest::newRow("heading") << 0 << QRectF(5.6, title + 1.1, 196.5, 10.5) << 16.0 << false
                                 << C;
        QTest::newRow("date") << 1 << QRectF(5.6, title + 11.9, 196.5, 5.3) << 10.0 << true << L;
        QTest::newRow("Папка") << 2 << QRectF(5.6, title + 17.5, 106.1, 5.0) << 10.0 << true << L;
        QTest::newRow("Носителей")
            << 3 << QRectF(111.4, title + 17.5, 28.8, 5.0) << 10.0 << true << R;
        QTest::newRow("Файлов") << 4 << QRectF(140.4, title + 17.5, 25.4, 5.0) << 10.0 << true << R;
        QTest::newRow("Объем") << 5 << QRectF(165.2, title + 17.5, 36.6, 5.0) << 10.0 << true << R;
        for (int r = 0; r < 4; ++r) {
            const double top = row + r * 6.7 + 0.8;
            const int base = 6 + 4 * r;
            QTest::addRow("row %d path", r)
                << base << QRectF(6.7, top, 104.7, 5.0) << 10.0 << false << L;
            QTest::addRow("row %d disks", r)
                << base + 1 << QRectF(111.4, top, 28.8, 5.0) << 10.0 << false << R;
            QTest::addRow("row %d files", r)
                << base + 2 << QRectF(140.4, top, 24.3, 5.0) << 10.0 << false << R;
            QTest::addRow("row %d bytes", r)
                << base + 3 << QRectF(165.2, top, 36.6, 5.0) << 10.0 << false << R;
        }
        QTest::newRow("Всего") << -4 << QRectF(5.6, footer + 0.8, 26.8, 5.5) << 12.0 << true << L;
        QTest::newRow("total disks")
            << -3 << QRectF(111.7, footer + 1.1, 28.8, 5.0) << 10.0 << true << R;
        QTest::newRow("total files")
            << -2 << QRectF(140.7, footer + 1.1, 24.3, 5.0) << 10.0 << true << R;
        QTest::newRow("total bytes")
            << -1 << QRectF(165.5, footer + 1.1, 36.6, 5.0) << 10.0 << true << R;
    }

    void boxesStandWhereTheLayoutSays()
    {
        QFETCH(int, index);
        QFETCH(QRectF, box);
        QFETCH(double, points);
        QFETCH(bool, bold);
        QFETCH(int, align);
        TfStat1 stat(m_fixture->data(), &m_fixture->main());
        stat.dtStat1.open();
        const BuiltReport built = stat.frStat1.build();
        QCOMPARE(built.pageCount(), 1);
        const BuiltPage &page = built.pages[0];
        QCOMPARE(page.size, QSizeF(210, 297));
        const ReportObject &o
            = page.objects[size_t(index < 0 ? int(page.objects.size()) + index : index)];
        // To a tenth of a millimetre.
        const QRectF g = o.geometry;
        const QString at
            = QStringLiteral("%1 %2 %3 %4").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height());
        QVERIFY2(qAbs(g.x() - box.x()) < 0.05, qPrintable(at));
        QVERIFY2(qAbs(g.y() - box.y()) < 0.05, qPrintable(at));
        QVERIFY2(qAbs(g.width() - box.width()) < 0.05, qPrintable(at));
        QVERIFY2(qAbs(g.height() - box.height()) < 0.05, qPrintable(at));
        QCOMPARE(o.fontFamily, QStringLiteral("Arial"));
        QCOMPARE(o.fontSize, points);
        QCOMPARE(o.bold, bold);
        QCOMPARE(int(o.alignment & Qt::AlignHorizontal_Mask), align);
        QCOMPARE(o.color, QColor(Qt::black));
        QVERIFY(!o.frame);
        QVERIFY(!o.fill.isValid());
        QVERIFY(o.wordWrap);
        QVERIFY(o.stretch);
    }

    // The main window's command: the preview captioned with the title, saved from there as
    // PDF and as text; the holder is gone afterwards.
    void commandShowsThePreviewAndExports()
    {
        ScriptedFilePicker picker;
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("stat.pdf"));
        const QString txt = dir.filePath(QStringLiteral("stat.txt"));
        picker.answers = QStringList {pdf, txt};
        QString caption;
        int pages = 0;
        MainWindowFixture::whenModal([&](QWidget *w) {
            caption = w->windowTitle();
            if (auto *preview = qobject_cast<ReportPreview *>(w)) {
                pages = preview->report().pageCount();
                preview->aSaveExecute();
                preview->aSaveExecute();
            }
            w->close();
        });
        const QDate today = QDate::currentDate();
        m_fixture->main().aStat1->trigger();
        QVERIFY(m_fixture->main().aStat1->isEnabled());
        QCOMPARE(caption, QStringLiteral("Предварительный просмотр - Количество"));
        QCOMPARE(pages, 1);
        QVERIFY(m_fixture->main().findChildren<TfStat1 *>().isEmpty());
        QVERIFY(m_fixture->prompt().shown.isEmpty());

        QString text;
        const QString failed = PdfTools::text(pdf, text);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        QFile plain(txt);
        QVERIFY(plain.open(QIODevice::ReadOnly));
        const QString exported = QString::fromUtf8(plain.readAll());
        const QString date = ReportFormatter::format(today, ValueFormat::Plain);
        for (const QString &shown : {spaced(text), spaced(exported)}) {
            const QStringList lines = shown.split(QLatin1Char('\n'));
            QVERIFY(shown.contains(QStringLiteral("Общее количество внесенных в базу данных "
                                                  "носителей")));
            QVERIFY2(shown.contains(date + QLatin1Char(' ')), qPrintable(shown));
            for (const QStringList &row : m_rows) {
                // The path, then the numbers in their columns, on one line.
                QStringList found;
                for (const QString &line : lines) {
                    if (line.trimmed().startsWith(row[0] + QStringLiteral("  ")))
                        found << line.simplified();
                }
                QStringList cells = row;
                cells.removeAll(QString());
                QCOMPARE(found, QStringList {spaced(cells.join(QLatin1Char(' ')))});
            }
            QVERIFY(shown.contains(
                QRegularExpression(QStringLiteral("Всего\\s+9\\s+3 165\\s+6 597 069 769 686"))));
        }

        // The page as a picture, for a look: dark text on white paper, the title on top, the
        // rows and totals below it, and nothing further down.
        QImage page;
        const QString drawn = PdfTools::render(pdf, 1, 100, page);
        QVERIFY2(drawn.isEmpty(), qPrintable(drawn));
        page.save(QStringLiteral(KODRA_BINARY_DIR "/tst_stat1_page.png"));
        const double perMm = 100 / 25.4;
        auto inked = [&](double fromMm, double toMm) {
            int dark = 0;
            for (int y = int(fromMm * perMm); y < int(toMm * perMm); ++y) {
                for (int x = 0; x < page.width(); ++x)
                    dark += qGray(page.pixel(x, y)) < 128;
            }
            return dark;
        };
        QCOMPARE(page.width(), qRound(210 * perMm));
        QVERIFY(inked(0, 10) == 0); // the margin
        QVERIFY(inked(11, 21) > 500); // the heading
        QVERIFY(inked(33.3, 33.3 + 4 * 6.7 + 7.8) > 1000); // rows and totals
        QVERIFY(inked(80, 297) == 0);
    }

    // A query that cannot run shows the data layer's error in the standard box; no preview
    // opens and the holder is gone. (Last: it leaves the catalogue disconnected.)
    void queryFailureShowsTheErrorAndNoPreview()
    {
        Connection &db = m_fixture->data().DefDatabase();
        db.close();
        db.setDatabaseName(m_fixture->catalogue().folder() + QStringLiteral("/missing.gdb"));
        ModalWatch watch;
        m_fixture->prompt().shown.clear();
        m_fixture->main().aStat1->trigger();
        QVERIFY(watch.seen.isEmpty());
        QCOMPARE(m_fixture->prompt().shown.size(), 1);
        QCOMPARE(m_fixture->prompt().shown[0].caption, QStringLiteral("Kodra"));
        QVERIFY(m_fixture->prompt().shown[0].text.contains(QStringLiteral("missing.gdb")));
        QVERIFY(m_fixture->main().findChildren<TfStat1 *>().isEmpty());
    }
};

QTEST_MAIN(TestStat1)
#include "tst_stat1.moc"
