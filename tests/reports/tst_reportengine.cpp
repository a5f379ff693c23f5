#include "reportengine/BuiltReport.h"
#include "reportengine/ReportBuilder.h"
#include "reportengine/ReportExporter.h"
#include "reportengine/ReportFormatter.h"
#include "reports/DataSetRowSource.h"
#include "reportui/Report.h"
#include "reportui/ReportPreview.h"
#include "store/Connection.h"
#include "store/QueryDataSet.h"
#include "tests/reports/ReportCases.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/ModalWatch.h"
#include "tests/support/PdfTools.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/ScriptedFilePicker.h"
#include "tests/support/TestCatalogue.h"
#include "widgets/FilePicker.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <memory>

namespace {

ReportObject textBox(const QString &text, QRectF geometry, Qt::Alignment align = Qt::AlignLeft)
{
    ReportObject o;
    o.text = text;
    o.geometry = geometry;
    o.alignment = align | Qt::AlignTop;
    return o;
}

// Every kind of object with every property off its default.
ReportTemplate everyKind()
{
    std::vector<ReportObject> objects;
    for (int k = 0; k <= int(ObjectKind::Line); ++k) {
        ReportObject o = textBox(QStringLiteral("Объект [FNAME] %1").arg(k),
                                 QRectF(1.5 + k, 2.25, 30.125, 7 + k / 3.0));
        o.kind = ObjectKind(k);
        o.name = QStringLiteral("Obj%1").arg(k);
        o.fontFamily = QStringLiteral("Courier");
        o.fontSize = 11.5;
        o.bold = k % 2;
        o.italic = k % 3 == 0;
        o.underline = true;
        o.color = QColor(10, 20, 30 + k);
        o.alignment = Qt::AlignRight | Qt::AlignVCenter;
        o.frame = true;
        o.frameWidth = 0.35;
        o.frameColor = QColor(200, 0, 0, 128);
        o.fill = k % 2 ? QColor(Qt::yellow) : QColor();
        o.wordWrap = false;
        o.stretch = false;
        o.format = ValueFormat(k % 4);
        objects.push_back(o);
    }
    ReportTemplate t
        = onePage({band(BandKind::ReportTitle, 12.5, objects), band(BandKind::PageHeader, 5, {}),
                   band(BandKind::MasterData, 20, objects, QStringLiteral("frDisks")),
                   band(BandKind::MasterFooter, 4, {}), band(BandKind::PageFooter, 6, {})});
    ReportPage landscape;
    landscape.size = QSizeF(297, 210);
    landscape.margins = QMarginsF(5, 6, 7, 8);
    t.pages.push_back(landscape);
    return t;
}

} // namespace

class TestReportEngine : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestCatalogue> m_cat;
    std::unique_ptr<Connection> m_conn;
    std::unique_ptr<QueryDataSet> m_disks;
    std::unique_ptr<DataSetRowSource> m_source;
    const QDateTime m_start {QDate(2024, 3, 9), QTime(14, 5, 7)};

    // The disks of folder 1001 by number, as frDisks: count of them, in the one catalogue of
    // this run, each with ten files per number.
    void openDisks(int count)
    {
        if (m_disks)
            m_disks->close();
        QStringList rows {QStringLiteral("delete from TDISK")};
        for (int i = 1; i <= count; ++i)
            rows << QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, "
                                   "FFILES) values (%1, 1001, 1, 'Диск %2', %2, %3)")
                        .arg(2000 + i)
                        .arg(i)
                        .arg(i * 10);
        m_cat->exec(rows);
        m_disks->open();
    }

    BuiltReport build(const ReportTemplate &t)
    {
        ReportBuilder builder(t, {m_source.get()});
        builder.setStartTime(m_start);
        builder.setLocale(QLocale(QLocale::Russian, QLocale::Russia));
        return builder.build(QStringLiteral("Наклейки"));
    }

    static QStringList texts(const BuiltReport &r)
    {
        QStringList all;
        for (int p = 0; p < r.pageCount(); ++p)
            all << r.pageTexts(p);
        return all;
    }

    // 25 labels, four to a row of bands, so that they run over two pages.
    ReportTemplate labels()
    {
        ReportObject name = textBox(QStringLiteral("[FNAME]"), QRectF(10, 1, 60, 8));
        name.frame = true;
        ReportObject number
            = textBox(QStringLiteral("№ [frDisks.\"FNN\"]"), QRectF(80, 1, 30, 8), Qt::AlignRight);
        return onePage(
            {band(BandKind::PageHeader, 10,
                  {textBox(QStringLiteral("Стр. [PAGE#] из [TOTALPAGES]"), QRectF(10, 0, 80, 8))}),
             band(BandKind::MasterData, 20, {name, number}),
             band(BandKind::MasterFooter, 10,
                  {textBox(QStringLiteral("Файлов [SUM([FFILES])]"), QRectF(10, 0, 80, 8))})});
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_cat = std::make_unique<TestCatalogue>();
        QVERIFY2(m_cat->isValid(), qPrintable(m_cat->error()));
        m_cat->exec({QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) "
                                    "values (1001, 'Диски', 0)")});
        m_conn = m_cat->connection();
        m_conn->open();
        m_disks = std::make_unique<QueryDataSet>(*m_conn, QStringLiteral("dtDisk"));
        m_disks->setSelectSql({QStringLiteral("select FDISKID, FNAME, FNN, FFILES from TDISK "
                                              "where FFOLDERID = 1001"),
                               QStringLiteral("order by"), QStringLiteral("FNN")});
        m_source = std::make_unique<DataSetRowSource>(QStringLiteral("frDisks"), *m_disks);
    }

    void cleanupTestCase()
    {
        m_source.reset();
        m_disks.reset();
        m_conn.reset();
        m_cat.reset();
    }

    void storedFormSurvivesSaveLoadSave_data()
    {
        QTest::addColumn<ReportTemplate>("report");
        QTest::newRow("empty") << ReportTemplate();
        QTest::newRow("one blank page") << onePage({});
        QTest::newRow("every kind of object") << everyKind();
    }

    void storedFormSurvivesSaveLoadSave()
    {
        QFETCH(ReportTemplate, report);
        const QByteArray first = report.save();
        QVERIFY(first.startsWith("KODRARPT"));
        ReportTemplate read = onePage({band(BandKind::MasterData, 3, {})});
        QString error;
        QVERIFY2(read.load(first, &error), qPrintable(error));
        QVERIFY(error.isEmpty());
        QVERIFY(read == report);
        QCOMPARE(read.save(), first);

        // Through the report object's streams, as the label window stores it.
        Report r;
        QBuffer in;
        in.setData(first);
        in.open(QIODevice::ReadOnly);
        QVERIFY(r.loadFromStream(in));
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        r.saveToStream(out);
        QCOMPARE(out.data(), first);
    }

    void damagedStreamIsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const QByteArray good = everyKind().save();
        const QString damaged = QStringLiteral("Файл отчёта повреждён и не может быть прочитан.");
        const QString unknown = QStringLiteral("Это не файл отчёта Kodra.");
        QByteArray flipped = good;
        flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x5A);
        QByteArray newer = good;
        newer[9] = 2; // the version's low byte
        QTest::newRow("empty") << QByteArray() << unknown;
        QTest::newRow("foreign") << QByteArray("<?xml version=\"1.0\"?><report/>") << unknown;
        QTest::newRow("header cut") << good.left(12) << damaged;
        QTest::newRow("cut short") << good.left(good.size() - 7) << damaged;
        QTest::newRow("byte changed") << flipped << damaged;
        QTest::newRow("trailing byte") << good + 'x' << damaged;
        QTest::newRow("newer version")
            << newer << QStringLiteral("Файл отчёта записан более новой версией программы.");
    }

    void damagedStreamIsRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        ReportTemplate t = everyKind();
        QString error;
        QVERIFY(!t.load(bytes, &error));
        QCOMPARE(error, message);
        QVERIFY(t.isEmpty());

        // The report object says so in a box and is left empty.
        RecordingPrompt prompt;
        Report r;
        r.reportTemplate() = everyKind();
        QBuffer in;
        in.setData(bytes);
        in.open(QIODevice::ReadOnly);
        QVERIFY(!r.loadFromStream(in));
        QCOMPARE(prompt.shown.size(), 1);
        QCOMPARE(prompt.shown[0].text, message);
        QCOMPARE(prompt.shown[0].caption, QStringLiteral("Ошибка"));
        QVERIFY(r.reportTemplate().isEmpty());
    }

    void valueFormats_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("expected");
        const QString g = QLocale(QLocale::Russian, QLocale::Russia).groupSeparator();
        const int plain = int(ValueFormat::Plain);
        const int decimals = int(ValueFormat::GroupedDecimals);
        const int whole = int(ValueFormat::GroupedInteger);
        const int date = int(ValueFormat::Date);
        QTest::newRow("plain integer") << QVariant(1234567) << plain << QStringLiteral("1234567");
        QTest::newRow("plain text")
            << QVariant(QStringLiteral("Папка")) << plain << QStringLiteral("Папка");
        QTest::newRow("plain date")
            << QVariant(QDate(2024, 3, 9)) << plain << QStringLiteral("09.03.2024");
        QTest::newRow("plain time")
            << QVariant(QTime(14, 5, 7)) << plain << QStringLiteral("14:05:07");
        QTest::newRow("plain fraction") << QVariant(2.5) << plain << QStringLiteral("2,5");
        QTest::newRow("decimals zero blank") << QVariant(0) << decimals << QString();
        QTest::newRow("decimals whole")
            << QVariant(1234) << decimals << QStringLiteral("1") + g + QStringLiteral("234");
        QTest::newRow("decimals one")
            << QVariant(1234.5) << decimals << QStringLiteral("1") + g + QStringLiteral("234,5");
        QTest::newRow("decimals rounded")
            << QVariant(1234567.456) << decimals
            << QStringLiteral("1") + g + QStringLiteral("234") + g + QStringLiteral("567,46");
        QTest::newRow("decimals no leading zero")
            << QVariant(0.5) << decimals << QStringLiteral(",5");
        QTest::newRow("decimals carry")
            << QVariant(999.999) << decimals << QStringLiteral("1") + g + QStringLiteral("000");
        QTest::newRow("whole zero") << QVariant(0.0) << whole << QStringLiteral("0");
        QTest::newRow("whole small") << QVariant(999) << whole << QStringLiteral("999");
        QTest::newRow("whole rounded")
            << QVariant(1234.6) << whole << QStringLiteral("1") + g + QStringLiteral("235");
        QTest::newRow("whole terabytes") << QVariant(5497558138880.0) << whole
                                         << QStringList {"5", "497", "558", "138", "880"}.join(g);
        QTest::newRow("whole big integer")
            << QVariant(qlonglong(123456789012345)) << whole
            << QStringList {"123", "456", "789", "012", "345"}.join(g);
        QTest::newRow("whole 15 digits")
            << QVariant(12345678901234567.0) << whole
            << QStringList {"12", "345", "678", "901", "234", "600"}.join(g);
        QTest::newRow("whole negative")
            << QVariant(-1500) << whole << QStringLiteral("-1") + g + QStringLiteral("500");
        QTest::newRow("date") << QVariant(QDate(2024, 12, 31)) << date
                              << QStringLiteral("31.12.2024");
        for (int f : {plain, decimals, whole, date})
            QTest::addRow("no value, format %d", f) << QVariant() << f << QString();
    }

    void valueFormats()
    {
        QFETCH(QVariant, value);
        QFETCH(int, format);
        QFETCH(QString, expected);
        QCOMPARE(ReportFormatter::format(value, ValueFormat(format),
                                         QLocale(QLocale::Russian, QLocale::Russia)),
                 expected);
    }

    // Grouped numbers take the separators of the locale; the C locale writes no groups.
    void numbersFollowTheLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("expected");
        const int plain = int(ValueFormat::Plain);
        const int decimals = int(ValueFormat::GroupedDecimals);
        const int whole = int(ValueFormat::GroupedInteger);
        const QString nb(QChar(0x00A0));
        struct Row
        {
            const char *locale;
            QVariant value;
            int format;
            QString expected;
        };
        const Row rows[] = {
            {"en_US", 1234567.25, decimals, QStringLiteral("1,234,567.25")},
            {"en_US", -1500.5, decimals, QStringLiteral("-1,500.5")},
            {"en_US", 0.5, decimals, QStringLiteral(".5")},
            {"en_US", 5497558138880.0, whole, QStringLiteral("5,497,558,138,880")},
            {"en_US", 2.5, plain, QStringLiteral("2.5")},
            {"ru_RU", 1234567.25, decimals, QStringList {"1", "234", "567,25"}.join(nb)},
            {"ru_RU", 5497558138880.0, whole,
             QStringList {"5", "497", "558", "138", "880"}.join(nb)},
            {"C", 1234567.25, decimals, QStringLiteral("1234567.25")},
            {"C", qlonglong(1234567), whole, QStringLiteral("1234567")},
            {"C", 2.5, plain, QStringLiteral("2.5")},
        };
        for (const Row &r : rows) {
            QTest::addRow("%s %s", r.locale, qPrintable(r.expected))
                << QString::fromLatin1(r.locale) << r.value << r.format << r.expected;
        }
    }

    void numbersFollowTheLocale()
    {
        QFETCH(QString, locale);
        QFETCH(QVariant, value);
        QFETCH(int, format);
        QFETCH(QString, expected);
        QCOMPARE(ReportFormatter::format(value, ValueFormat(format), QLocale(locale)), expected);
    }

    void expressions_data()
    {
        addExpressionCases();
        QTest::newRow("dataset and field") << "[dtDisk.FNN]" << 0 << "5";
    }

    // A footer box evaluated after five disks, on the disk the run over them leaves current;
    // the title, before the run, reads the disk that was current, the third.
    void expressions()
    {
        QFETCH(QString, text);
        QFETCH(int, format);
        QFETCH(QString, expected);
        openDisks(5);
        ReportObject box = textBox(text, QRectF(10, 0, 150, 8));
        box.format = ValueFormat(format);
        m_disks->moveTo(2);
        const BuiltReport r = build(
            onePage({band(BandKind::ReportTitle, 10,
                          {textBox(QStringLiteral("[FNAME]"), QRectF(0, 0, 50, 8))}),
                     band(BandKind::MasterData, 5, {}), band(BandKind::MasterFooter, 10, {box})}));
        QCOMPARE(r.pageCount(), 1);
        QCOMPARE(r.pages[0].objects.size(), size_t(2));
        QCOMPARE(r.pages[0].objects[0].text, QStringLiteral("Диск 3"));
        QCOMPARE(r.pages[0].objects[1].text, expected);
        QCOMPARE(m_disks->currentRow(), 4);
    }

    void masterDataRunsFirstToLastAndPagesBreak()
    {
        openDisks(25);
        m_disks->moveTo(7);
        const BuiltReport r = build(labels());
        // 297 - 2 * 10 margins - 10 header leaves 267 mm: 13 bands of 20 mm on a page.
        QCOMPARE(r.pageCount(), 2);
        QCOMPARE(m_disks->currentRow(), 24);
        QStringList names;
        for (const BuiltPage &page : r.pages) {
            for (const ReportObject &o : page.objects) {
                if (o.text.startsWith(QStringLiteral("Диск ")))
                    names << o.text;
            }
        }
        QCOMPARE(names.size(), 25);
        for (int i = 0; i < 25; ++i)
            QCOMPARE(names[i], QStringLiteral("Диск %1").arg(i + 1));
        const QStringList first = r.pageTexts(0);
        QCOMPARE(first.first(), QStringLiteral("Стр. 1 из 2"));
        QCOMPARE(r.pageTexts(1).first(), QStringLiteral("Стр. 2 из 2"));
        // The 14th label opens the second page right under its header.
        const auto fourteenth = std::find_if(
            r.pages[1].objects.begin(), r.pages[1].objects.end(),
            [](const ReportObject &o) { return o.text == QStringLiteral("Диск 14"); });
        QVERIFY(fourteenth != r.pages[1].objects.end());
        QCOMPARE(qRound(fourteenth->geometry.top() * 10), 10 * (10 + 10 + 1));
        QCOMPARE(r.pageTexts(1).last(), QStringLiteral("Файлов 3250"));
        QCOMPARE(r.pageTexts(1)[r.pageTexts(1).size() - 2], QStringLiteral("№ 25"));
    }

    // The report title opens the first page, above the page header; later pages have only the
    // header.
    void titleComesFirstThenThePageHeader()
    {
        openDisks(30);
        const BuiltReport r
            = build(onePage({band(BandKind::PageHeader, 5,
                                  {textBox(QStringLiteral("Шапка"), QRectF(10, 0, 50, 5))}),
                             band(BandKind::ReportTitle, 12,
                                  {textBox(QStringLiteral("Заголовок"), QRectF(10, 1, 50, 8))}),
                             band(BandKind::MasterData, 10,
                                  {textBox(QStringLiteral("[FNAME]"), QRectF(10, 0, 50, 8))})}));
        QCOMPARE(r.pageCount(), 2);
        const auto &first = r.pages[0].objects;
        QCOMPARE(first[0].text, QStringLiteral("Заголовок"));
        QCOMPARE(first[0].geometry.top(), 11.0);
        QCOMPARE(first[1].text, QStringLiteral("Шапка"));
        QCOMPARE(first[1].geometry.top(), 22.0);
        QCOMPARE(first[2].text, QStringLiteral("Диск 1"));
        QCOMPARE(first[2].geometry.top(), 27.0);
        // 297 - 10 - 27 leaves room for 26 rows.
        QCOMPARE(first.back().text, QStringLiteral("Диск 26"));
        const auto &second = r.pages[1].objects;
        QCOMPARE(second[0].text, QStringLiteral("Шапка"));
        QCOMPARE(second[0].geometry.top(), 10.0);
        QCOMPARE(second[1].text, QStringLiteral("Диск 27"));
        QCOMPARE(second[1].geometry.top(), 15.0);
    }

    // Page footers stand at the foot of every page, above the bottom margin, and count pages.
    void pageFootersStandAtTheFoot()
    {
        openDisks(5);
        const BuiltReport r = build(onePage(
            {band(BandKind::MasterData, 100,
                  {textBox(QStringLiteral("[FNAME]"), QRectF(10, 0, 50, 8))}),
             band(BandKind::PageFooter, 8,
                  {textBox(QStringLiteral("[PAGE#]/[TOTALPAGES]"), QRectF(150, 2, 40, 5))})}));
        // 297 - 10 - 10 - 8 leaves 269 mm: two bands a page.
        QCOMPARE(r.pageCount(), 3);
        for (int p = 0; p < 3; ++p) {
            const ReportObject &footer = r.pages[size_t(p)].objects.back();
            QCOMPARE(footer.text, QStringLiteral("%1/3").arg(p + 1));
            QCOMPARE(footer.geometry.top(), 297 - 10 - 8 + 2.0);
        }
        QCOMPARE(r.pageTexts(2), (QStringList {QStringLiteral("Диск 5"), QStringLiteral("3/3")}));
    }

    // Each kind of object leaves ink inside its box and none outside; a check box shows its
    // mark only when its expression holds.
    void everyKindIsDrawnInItsBox()
    {
        openDisks(2);
        std::vector<ReportObject> objects;
        auto add = [&](ObjectKind kind, const QString &text, QRectF box) {
            ReportObject o = textBox(text, box);
            o.kind = kind;
            o.frameWidth = 0.5;
            objects.push_back(o);
        };
        add(ObjectKind::Text, QStringLiteral("[FNAME]"), QRectF(10, 5, 40, 8));
        add(ObjectKind::RichText, QStringLiteral("<b>[FNAME]</b> <i>курсив</i>"),
            QRectF(60, 5, 60, 8));
        add(ObjectKind::CheckBox, QStringLiteral("0"), QRectF(130, 5, 8, 8));
        add(ObjectKind::CheckBox, QStringLiteral("FNN"), QRectF(145, 5, 8, 8));
        add(ObjectKind::Rectangle, QString(), QRectF(10, 20, 30, 15));
        add(ObjectKind::RoundedRectangle, QString(), QRectF(50, 20, 30, 15));
        add(ObjectKind::Ellipse, QString(), QRectF(90, 20, 30, 15));
        add(ObjectKind::Line, QString(), QRectF(130, 20, 30, 15));
        const BuiltReport r = build(onePage({band(BandKind::MasterData, 40, objects)}));
        QCOMPARE(r.pageCount(), 1);
        constexpr double PerMm = 8;
        QImage page(qRound(210 * PerMm), qRound(297 * PerMm), QImage::Format_RGB32);
        page.fill(Qt::white);
        {
            QPainter painter(&page);
            r.drawPage(painter, 0, PerMm);
        }
        auto ink = [&](const QRectF &mm) {
            int dark = 0;
            const QRect px = QRectF(mm.topLeft() * PerMm, mm.size() * PerMm).toAlignedRect();
            for (int y = std::max(0, px.top()); y <= std::min(page.height() - 1, px.bottom()); ++y)
                for (int x = std::max(0, px.left()); x <= std::min(page.width() - 1, px.right());
                     ++x)
                    dark += qGray(page.pixel(x, y)) < 160;
            return dark;
        };
        int total = 0;
        for (const ReportObject &o : r.pages[0].objects) {
            const int inside = ink(o.geometry.adjusted(-0.5, -0.5, 0.5, 0.5));
            QVERIFY2(
                inside > 20,
                qPrintable(
                    QStringLiteral("kind %1 at %2 mm").arg(int(o.kind)).arg(o.geometry.top())));
            total += inside;
        }
        QCOMPARE(ink(QRectF(0, 0, 210, 297)), total);
        // A check box of a constant 0 is empty; one over a disk's number is marked.
        const ReportObject &unchecked = r.pages[0].objects[2];
        const ReportObject &checked = r.pages[0].objects[3];
        QCOMPARE(unchecked.text, QStringLiteral("0"));
        QCOMPARE(checked.text, QStringLiteral("1"));
        QVERIFY(ink(checked.geometry.adjusted(2, 2, -2, -2)) > 0);
        QCOMPARE(ink(unchecked.geometry.adjusted(2, 2, -2, -2)), 0);
    }

    void growingBoxPushesTheBand()
    {
        openDisks(2);
        m_disks->moveTo(0);
        ReportObject longText = textBox(QStringLiteral("[FNAME] ") + QString(40, QLatin1Char('x'))
                                            + QStringLiteral(" слово слово слово слово слово "
                                                             "слово слово слово слово слово"),
                                        QRectF(10, 1, 30, 5));
        ReportObject beside = textBox(QStringLiteral("[FNN]"), QRectF(50, 1, 20, 5));
        ReportObject fixed = longText;
        fixed.stretch = false;
        fixed.geometry.moveLeft(100);
        const BuiltReport r
            = build(onePage({band(BandKind::MasterData, 7, {longText, beside, fixed})}));
        const auto &objects = r.pages[0].objects;
        QCOMPARE(objects.size(), size_t(6));
        // The first band starts at the top margin; its long box grew by whole lines and pushed
        // the second band down by as much.
        QCOMPARE(objects[0].geometry.top(), 11.0);
        QVERIFY2(objects[0].geometry.height() > 15,
                 qPrintable(QString::number(objects[0].geometry.height())));
        QCOMPARE(objects[1].geometry.height(), 5.0);
        QCOMPARE(objects[2].geometry.height(), 5.0);
        const double grown = objects[0].geometry.height() - 5;
        QCOMPARE(objects[3].geometry.top(), 10 + 7 + grown + 1);
        QCOMPARE(objects[4].geometry.top(), objects[3].geometry.top());
    }

    void nothingToPrintGivesNoPages_data()
    {
        QTest::addColumn<ReportTemplate>("report");
        QTest::addColumn<int>("disks");
        QTest::newRow("no pages") << ReportTemplate() << 3;
        QTest::newRow("blank page") << onePage({}) << 3;
        ReportTemplate onlyLabels = labels();
        onlyLabels.pages[0].bands.erase(onlyLabels.pages[0].bands.begin() + 2);
        QTest::newRow("no disks") << onlyLabels << 0;
    }

    void nothingToPrintGivesNoPages()
    {
        QFETCH(ReportTemplate, report);
        QFETCH(int, disks);
        openDisks(disks);
        QCOMPARE(build(report).pageCount(), 0);

        // show() then opens no preview.
        RecordingPrompt prompt;
        Report r;
        r.addDataSource(m_source.get());
        r.reportTemplate() = report;
        // A preview would be closed at once and counted.
        ModalWatch watch;
        QVERIFY(!r.show());
        QVERIFY(watch.seen.isEmpty());
        QVERIFY(prompt.shown.isEmpty());
    }

    void buildErrorShowsABoxAndNoPreview_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown field") << "[FNOSUCH]"
                                       << ""
                                       << "Неизвестное поле \"FNOSUCH\" в выражении [FNOSUCH]";
        QTest::newRow("unknown source in text")
            << "[dtNone.\"FNAME\"]"
            << ""
            << "Неизвестный источник данных \"dtNone\" в выражении [dtNone.\"FNAME\"]";
        QTest::newRow("unknown band source") << "[FNAME]"
                                             << "frNone"
                                             << "Неизвестный источник данных \"frNone\"";
    }

    void buildErrorShowsABoxAndNoPreview()
    {
        QFETCH(QString, text);
        QFETCH(QString, source);
        QFETCH(QString, message);
        openDisks(2);
        RecordingPrompt prompt;
        Report r;
        r.addDataSource(m_source.get());
        r.reportTemplate() = onePage(
            {band(BandKind::MasterData, 10, {textBox(text, QRectF(0, 0, 50, 5))}, source)});
        QVERIFY(!r.show());
        QCOMPARE(prompt.shown.size(), 1);
        QCOMPARE(prompt.shown[0].caption, QStringLiteral("Ошибка"));
        QCOMPARE(prompt.shown[0].text, message);
        QCOMPARE(prompt.shown[0].icon, QMessageBox::Critical);
    }

    void previewPagesZoomsFindsSavesAndOpens()
    {
        openDisks(25);
        RecordingPrompt prompt;
        ScriptedFilePicker picker;
        QTemporaryDir dir;
        Report r;
        r.addDataSource(m_source.get());
        r.reportTemplate() = labels();
        r.setTitle(QStringLiteral("Наклейки"));
        QString caption;
        QList<int> pages;
        QList<int> zooms;
        BuiltReport reopened;
        BuiltReport shown;
        const QString file = dir.filePath(QStringLiteral("labels.kdr"));
        MainWindowFixture::whenModal([&](QWidget *w) {
            auto *preview = qobject_cast<ReportPreview *>(w);
            if (!preview) {
                w->close();
                return;
            }
            QVERIFY(MainWindowFixture::activate(preview));
            caption = preview->windowTitle();
            shown = preview->report();
            QWidget *view = preview->view();
            pages << preview->currentPage();
            QTest::keyClick(view, Qt::Key_PageDown);
            pages << preview->currentPage();
            QTest::keyClick(view, Qt::Key_PageDown);
            pages << preview->currentPage();
            QTest::keyClick(view, Qt::Key_Home);
            pages << preview->currentPage();
            QTest::keyClick(view, Qt::Key_End);
            pages << preview->currentPage();
            preview->aWholePage->trigger();
            zooms << int(preview->view()->zoomMode());
            preview->aActualSize->trigger();
            zooms << int(preview->view()->zoomMode());
            preview->aPageWidth->trigger();
            zooms << int(preview->view()->zoomMode());

            // Finding "Диск 5" from page 2 goes round to page 1; "Диск 20" is on page 2.
            prompt.inputs = QStringList {QStringLiteral("Диск 5"), QStringLiteral("диск 20"),
                                         QStringLiteral("нет такого")};
            preview->aFindExecute();
            pages << preview->currentPage();
            preview->aFindExecute();
            pages << preview->currentPage();
            preview->aFindExecute();
            pages << preview->currentPage();

            picker.answers = QStringList {file, file};
            preview->aSaveExecute();
            preview->aOpenExecute();
            reopened = preview->report();
            preview->aHelpExecute();
            preview->aClose->trigger();
        });
        QVERIFY(r.show());
        QCOMPARE(caption, QStringLiteral("Предварительный просмотр - Наклейки"));
        QCOMPARE(pages, (QList<int> {1, 2, 2, 1, 2, 1, 2, 2}));
        QCOMPARE(
            zooms,
            (QList<int> {int(QPrintPreviewWidget::FitInView), int(QPrintPreviewWidget::CustomZoom),
                         int(QPrintPreviewWidget::FitToWidth)}));
        QCOMPARE(prompt.shown.size(), 2);
        QCOMPARE(prompt.shown[0].text, QStringLiteral("Текст \"нет такого\" не найден"));
        QCOMPARE(prompt.shown[1].caption, QStringLiteral("Справка"));
        QCOMPARE(shown.pageCount(), 2);
        QVERIFY(reopened == shown);
        QCOMPARE(picker.requests.size(), 2);
        QVERIFY(picker.requests[0].filter.contains(QStringLiteral("*.htm")));
        QCOMPARE(m_disks->currentRow(), 24);

        // Without a title the caption stands alone.
        QCOMPARE(ReportPreview::captionFor(QString()), QStringLiteral("Предварительный просмотр"));
    }

    // The preview's save: the filter chosen decides the format and the missing suffix, and an
    // existing file is replaced only after a yes.
    void saveWritesTheFormatChosen()
    {
        openDisks(3);
        RecordingPrompt prompt;
        ScriptedFilePicker picker;
        QTemporaryDir dir;
        const QString spine = dir.filePath(QStringLiteral("spine"));
        const QString kept = dir.filePath(QStringLiteral("kept.csv"));
        QFile old(kept);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("keep");
        old.close();
        Report r;
        r.addDataSource(m_source.get());
        r.reportTemplate() = labels();
        MainWindowFixture::whenModal([&](QWidget *w) {
            auto *preview = qobject_cast<ReportPreview *>(w);
            if (preview) {
                picker.answers = QStringList {spine, kept, QString(), kept};
                picker.filters = QStringList {
                    QStringLiteral("Документ PDF (*.pdf)"), QStringLiteral("Таблица CSV (*.csv)"),
                    QStringLiteral("Таблица CSV (*.csv)"), QStringLiteral("Таблица CSV (*.csv)")};
                preview->aSaveExecute(); // spine as PDF
                prompt.answers = {QMessageBox::No};
                preview->aSaveExecute(); // kept.csv: no, then cancelled
                prompt.answers = {QMessageBox::Yes};
                preview->aSaveExecute(); // kept.csv: yes
            }
            w->close();
        });
        QVERIFY(r.show());
        QVERIFY(!QFile::exists(spine + QStringLiteral(".kdr")));
        QFile pdf(spine + QStringLiteral(".pdf"));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.readAll().startsWith("%PDF"));
        QCOMPARE(picker.requests.size(), 4);
        for (const FilePickRequest &request : std::as_const(picker.requests))
            QCOMPARE(request.mode, FilePickRequest::Mode::SaveFile);
        QVERIFY(QFileInfo(picker.requests[0].folder).isDir());
        // The next save starts where the last one went; after a no the name is proposed again.
        QCOMPARE(picker.requests[1].folder, dir.path());
        QCOMPARE(picker.requests[2].folder, kept);
        QCOMPARE(prompt.shown.size(), 2);
        QCOMPARE(prompt.shown[0].text,
                 QStringLiteral("Файл «kept.csv» уже существует.\n"
                                "Заменить его?"));
        QCOMPARE(prompt.shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QFile csv(kept);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QVERIFY(csv.readAll().contains("Диск 3"));
    }

    void suffixFollowsTheFilter_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("expected");
        const QString pdf = QStringLiteral("Документ PDF (*.pdf)");
        QTest::newRow("none: the filter's") << "spine" << pdf << "spine.pdf";
        QTest::newRow("the filter's, any case") << "spine.PDF" << pdf << "spine.PDF";
        QTest::newRow("another offered: typed") << "spine.txt" << pdf << "spine.txt";
        QTest::newRow("unknown: the filter's") << "spine.v2" << pdf << "spine.v2.pdf";
        QTest::newRow("any file") << "spine"
                                  << "Все файлы (*)"
                                  << "spine";
    }

    void suffixFollowsTheFilter()
    {
        QFETCH(QString, typed);
        QFETCH(QString, chosen);
        QFETCH(QString, expected);
        const QStringList offered = FilePicker::nameFilters(
            ReportExporter::saveFilter() + QStringLiteral("|Все файлы (*.*)|*.*"));
        QVERIFY(offered.contains(chosen));
        QCOMPARE(FilePicker::withSuffixOf(typed, chosen, offered), expected);
    }

    // The real save dialog: a save dialog by its accept button, its filter reported back.
    void saveDialogIsASaveDialog()
    {
        QTemporaryDir dir;
        RecordingPrompt prompt;
        QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
        QString accept;
        QString start;
        MainWindowFixture::whenModal([&](QWidget *w) {
            auto *dialog = qobject_cast<QFileDialog *>(w);
            QVERIFY(dialog);
            mode = dialog->acceptMode();
            accept = dialog->labelText(QFileDialog::Accept);
            start = dialog->directory().absolutePath();
            dialog->selectNameFilter(QStringLiteral("Страница HTML (*.htm)"));
            // selectFile() leaves the name field alone while it has the focus, which depends on
            // how soon the dialog became active: type the name as a user would.
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(QStringLiteral("spine"));
            static_cast<QDialog *>(dialog)->accept();
            // A refused accept must fail the test, not leave it waiting for a user.
            if (dialog->isVisible())
                static_cast<QDialog *>(dialog)->reject();
        });
        FilePickRequest request;
        request.title = QStringLiteral("Сохранить отчёт");
        request.filter = ReportExporter::saveFilter();
        request.defaultExtension = QStringLiteral("*.kdr");
        request.folder = dir.path();
        const QString chosen = FilePicker::saveFileName(nullptr, request);
        QCOMPARE(mode, QFileDialog::AcceptSave);
        QCOMPARE(accept, QStringLiteral("Сохранить"));
        QCOMPARE(start, dir.path());
        QCOMPARE(chosen, dir.filePath(QStringLiteral("spine.htm")));
    }

    // HTML and RTF keep the lines and frames where they stand: a vertical line stays vertical,
    // a middle-aligned text stays in the middle, and RTF draws every frame and shape.
    void htmlAndRtfHoldTheShapes()
    {
        openDisks(1);
        ReportObject framed = textBox(QStringLiteral("Рамка"), QRectF(10, 2, 30, 20));
        framed.frame = true;
        framed.alignment = Qt::AlignHCenter | Qt::AlignVCenter;
        auto shape = [](ObjectKind kind, QRectF geometry) {
            ReportObject o;
            o.kind = kind;
            o.geometry = geometry;
            o.frameWidth = 0.5;
            o.frameColor = QColor(255, 0, 0);
            return o;
        };
        ReportObject filled = shape(ObjectKind::Rectangle, QRectF(120, 2, 40, 20));
        filled.fill = QColor(0, 0, 255);
        const BuiltReport built
            = build(onePage({band(BandKind::ReportTitle, 50,
                                  {framed, shape(ObjectKind::Line, QRectF(50, 2, 0, 30)),
                                   shape(ObjectKind::Line, QRectF(10, 40, 100, 0)), filled,
                                   shape(ObjectKind::Ellipse, QRectF(165, 2, 30, 20))})}));
        QCOMPARE(built.pageCount(), 1);
        const double top = built.pages[0].objects[0].geometry.top() - 2; // the band's top

        const QString html = QString::fromUtf8(ReportExporter::toHtml(built));
        const QString red = QStringLiteral("0.5mm solid #ff0000");
        QVERIFY2(
            html.contains(QStringLiteral("left: 50.0mm; top: %1; width: 0.0mm; height: 30.0mm; "
                                         "border-left: %2;")
                              .arg(QString::number(top + 2, 'f', 1) + QStringLiteral("mm"), red)),
            qPrintable(html));
        QVERIFY(
            html.contains(QStringLiteral("left: 10.0mm; top: %1; width: 100.0mm; height: 0.0mm; "
                                         "border-top: %2;")
                              .arg(QString::number(top + 40, 'f', 1) + QStringLiteral("mm"), red)));
        QVERIFY(html.contains(QStringLiteral("justify-content: center;")));
        QVERIFY(html.contains(QStringLiteral("border-radius: 50%; border: %1;").arg(red)));

        const QString rtf = QString::fromLatin1(ReportExporter::toRtf(built));
        static const QRegularExpression shapeRe(QStringLiteral(
            "\\\\shpleft(\\d+)\\\\shptop(\\d+)\\\\shpright(\\d+)\\\\shpbottom(\\d+).*?"
            "\\{\\\\sn shapeType\\}\\{\\\\sv (\\d+)\\}"));
        QStringList found;
        for (auto it = shapeRe.globalMatch(rtf); it.hasNext();) {
            const auto m = it.next();
            found << QStringLiteral("%1 %2 %3 %4 %5")
                         .arg(m.captured(5), m.captured(1), m.captured(2), m.captured(3),
                              m.captured(4));
        }
        auto tw = [](double mm) { return QString::number(qRound(mm * 1440 / 25.4)); };
        const QStringList expected {
            QStringList {"1", tw(10), tw(top + 2), tw(40), tw(top + 22)}.join(' '),
            QStringList {"20", tw(50), tw(top + 2), tw(50), tw(top + 32)}.join(' '),
            QStringList {"20", tw(10), tw(top + 40), tw(110), tw(top + 40)}.join(' '),
            QStringList {"1", tw(120), tw(top + 2), tw(160), tw(top + 22)}.join(' '),
            QStringList {"3", tw(165), tw(top + 2), tw(195), tw(top + 22)}.join(' '),
        };
        QCOMPARE(found, expected);
        QVERIFY(rtf.contains(QStringLiteral("{\\sn lineColor}{\\sv 255}")));
        QVERIFY(rtf.contains(QStringLiteral("{\\sn fillColor}{\\sv 16711680}")));
        QVERIFY(rtf.contains(QStringLiteral("{\\sn lineWidth}{\\sv 18000}")));
    }

    // The page buttons turn the pages and show where the reader is; Find marks the box found
    // in yellow and F3 steps on to the next box holding the text, over the pages and round.
    void previewPageButtonsAndFindNext()
    {
        openDisks(25);
        RecordingPrompt prompt;
        Report r;
        r.addDataSource(m_source.get());
        r.reportTemplate() = labels();
        QList<int> pages;
        QList<bool> enabled;
        QStringList found;
        int yellowBefore = -1;
        int yellowAfter = -1;
        auto yellow = [](ReportPreview *preview) {
            QApplication::processEvents();
            const QImage shot = preview->view()->grab().toImage();
            int n = 0;
            for (int y = 0; y < shot.height(); ++y) {
                for (int x = 0; x < shot.width(); ++x) {
                    const QColor c = shot.pixelColor(x, y);
                    n += c.red() > 200 && c.green() > 200 && c.blue() < 80;
                }
            }
            return n;
        };
        MainWindowFixture::whenModal([&](QWidget *w) {
            auto *preview = qobject_cast<ReportPreview *>(w);
            if (!preview) {
                w->close();
                return;
            }
            QVERIFY(MainWindowFixture::activate(preview));
            preview->aWholePage->trigger();
            QToolBar *bar = preview->pageBar();
            for (QAction *a :
                 {preview->aFirstPage, preview->aPriorPage, preview->aNextPage, preview->aLastPage})
                QVERIFY(bar->widgetForAction(a));
            QCOMPARE(preview->pageBox()->parentWidget(), bar);
            auto state = [&] {
                pages << preview->currentPage() << preview->pageBox()->value();
                enabled << preview->aFirstPage->isEnabled() << preview->aLastPage->isEnabled();
            };
            state();
            QTest::mouseClick(bar->widgetForAction(preview->aNextPage), Qt::LeftButton);
            state();
            QTest::mouseClick(bar->widgetForAction(preview->aFirstPage), Qt::LeftButton);
            preview->pageBox()->setValue(2);
            state();

            preview->aFirstPage->trigger();
            yellowBefore = yellow(preview);
            auto foundText = [&] {
                const ReportObject &o = preview->report()
                                            .pages[size_t(preview->foundPage() - 1)]
                                            .objects[size_t(preview->foundObject())];
                found << QStringLiteral("%1:%2").arg(preview->foundPage()).arg(o.text);
            };
            prompt.inputs = QStringList {QStringLiteral("диск 2")};
            preview->aFindExecute();
            foundText();
            yellowAfter = yellow(preview);
            QVERIFY(preview->grab().save(QStringLiteral(KODRA_BINARY_DIR "/tst_preview_find.png")));
            for (int i = 0; i < 7; ++i) {
                QTest::keyClick(preview->view(), Qt::Key_F3);
                foundText();
            }
            preview->aClose->trigger();
        });
        QVERIFY(r.show());
        QCOMPARE(pages, (QList<int> {1, 1, 2, 2, 2, 2}));
        QCOMPARE(enabled, (QList<bool> {false, true, true, false, true, false}));
        QCOMPARE(found,
                 (QStringList {"1:Диск 2", "2:Диск 20", "2:Диск 21", "2:Диск 22", "2:Диск 23",
                               "2:Диск 24", "2:Диск 25", "1:Диск 2"}));
        QCOMPARE(yellowBefore, 0);
        QVERIFY2(yellowAfter > 100, qPrintable(QString::number(yellowAfter)));
        QVERIFY(prompt.shown.isEmpty());
    }

    void exports_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("text") << "txt";
        QTest::newRow("rtf") << "rtf";
        QTest::newRow("csv") << "csv";
        QTest::newRow("html") << "htm";
        QTest::newRow("pdf") << "pdf";
        QTest::newRow("own") << "kdr";
    }

    // The labels of 25 disks in each format: every name, the totals and the page split.
    void exports()
    {
        QFETCH(QString, suffix);
        openDisks(25);
        ReportTemplate t = labels();
        // Texts the formats must escape.
        t.pages[0].bands[2].objects.push_back(
            textBox(QStringLiteral("a;b \"c\" <d> & {e}\\"), QRectF(100, 0, 90, 8)));
        const BuiltReport built = build(t);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("labels.") + suffix);
        QString error;
        QVERIFY2(ReportExporter::exportFile(built, file, &error), qPrintable(error));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QStringList pages;
        QString all;
        if (suffix == QLatin1String("txt")) {
            pages = QString::fromUtf8(bytes).split(QLatin1Char('\f'));
            // Right-aligned numbers end where their boxes end: 110 mm is column 55.
            const QStringList lines = pages[0].split(QLatin1Char('\n'));
            QCOMPARE(lines[1],
                     QString(5, QLatin1Char(' ')) + QStringLiteral("Диск 1")
                         + QString(55 - 5 - 6 - 3, QLatin1Char(' ')) + QStringLiteral("№ 1"));
        } else if (suffix == QLatin1String("pdf")) {
            const QString failed = PdfTools::pages(file, pages);
            QVERIFY2(failed.isEmpty(), qPrintable(failed));
        } else if (suffix == QLatin1String("kdr")) {
            BuiltReport read;
            QVERIFY2(read.load(bytes, &error), qPrintable(error));
            QVERIFY(read == built);
            for (int p = 0; p < read.pageCount(); ++p)
                pages << read.pageTexts(p).join(QLatin1Char('\n'));
        } else if (suffix == QLatin1String("rtf")) {
            QVERIFY(bytes.startsWith("{\\rtf1"));
            QString decoded;
            static const QRegularExpression unicode(QStringLiteral("\\\\u(-?\\d+)\\?"));
            QString raw = QString::fromLatin1(bytes);
            qsizetype at = 0;
            for (auto m = unicode.globalMatch(raw); m.hasNext();) {
                const auto match = m.next();
                decoded += raw.mid(at, match.capturedStart() - at);
                decoded += QChar(ushort(match.captured(1).toShort()));
                at = match.capturedEnd();
            }
            decoded += raw.mid(at);
            pages = decoded.split(QStringLiteral("\\page"));
            QVERIFY(decoded.contains(QStringLiteral("a;b \"c\" <d> & \\{e\\}\\\\")));
        } else if (suffix == QLatin1String("csv")) {
            QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
            all = QString::fromUtf8(bytes);
            if (all.startsWith(QChar(0xFEFF)))
                all.remove(0, 1);
            QVERIFY(all.contains(QStringLiteral("Диск 7;№ 7\r\n")));
            QVERIFY(all.contains(QStringLiteral("Файлов 3250;\"a;b \"\"c\"\" <d> & {e}\\\"\r\n")));
            // One table without pages: each page's lines follow its header.
            const qsizetype second = all.indexOf(QStringLiteral("Стр. 2 из 2"));
            QVERIFY(second > 0);
            pages = QStringList {all.left(second), all.mid(second)};
        } else if (suffix == QLatin1String("htm")) {
            all = QString::fromUtf8(bytes);
            QVERIFY(all.contains(QStringLiteral("<meta charset=\"utf-8\">")));
            QVERIFY(all.contains(QStringLiteral("a;b &quot;c&quot; &lt;d&gt; &amp; {e}\\")));
            QVERIFY(all.contains(QStringLiteral("left: 80.0mm; top: 21.0mm; width: 30.0mm;")));
            pages = all.split(QStringLiteral("<div class=\"page\""));
            pages.removeFirst();
        }
        QCOMPARE(pages.size(), 2);
        for (int i = 1; i <= 25; ++i) {
            const QString name = QStringLiteral("Диск %1").arg(i);
            const QString &page = pages[i <= 13 ? 0 : 1];
            QVERIFY2(page.contains(name + QLatin1Char('\n'))
                         || page.contains(name + QLatin1Char('<'))
                         || page.contains(name + QLatin1Char(';'))
                         || page.contains(name + QLatin1Char('}'))
                         || page.contains(name + QLatin1Char(' ')),
                     qPrintable(suffix + QLatin1Char(' ') + name));
        }
        QVERIFY(pages[1].contains(QStringLiteral("Файлов 3250")));
        QVERIFY(pages[0].contains(QStringLiteral("Стр. 1 из 2")));
        QVERIFY(!pages[0].contains(QStringLiteral("Файлов 3250")));
    }
};

QTEST_MAIN(TestReportEngine)
#include "tst_reportengine.moc"
