// The report engine's core over rows in memory: no display, no catalogue.

#include "reportengine/BuiltReport.h"
#include "reportengine/ReportBuilder.h"
#include "reportengine/ReportExporter.h"
#include "reportengine/ReportRowTable.h"
#include "reportengine/TemplateEdit.h"
#include "tests/reports/ReportCases.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

ReportObject box(const QString &text, QRectF geometry, ObjectKind kind = ObjectKind::Text)
{
    ReportObject o;
    o.kind = kind;
    o.text = text;
    o.geometry = geometry;
    return o;
}

// Disks numbered 1 to count, ten files per number; the fifth one current.
ReportRowTable disks(int count)
{
    ReportRowTable rows(QStringLiteral("frDisks"),
                        {QStringLiteral("FNAME"), QStringLiteral("FNN"), QStringLiteral("FFILES"),
                         QStringLiteral("FSIZE")});
    for (int i = 1; i <= count; ++i)
        rows.addRow({QStringLiteral("Диск %1").arg(i), i, qlonglong(i * 10),
                     i % 2 ? QVariant(i * 1.5) : QVariant()});
    rows.setCurrentRow(4);
    return rows;
}

BuiltReport build(const ReportTemplate &t, std::vector<ReportRowSource *> sources)
{
    ReportBuilder builder(t, std::move(sources));
    builder.setStartTime(QDateTime(QDate(2024, 3, 9), QTime(14, 5, 7)));
    builder.setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    return builder.build(QStringLiteral("Наклейки"));
}

} // namespace

class TestReportCore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void expressions_data()
    {
        addExpressionCases();
        QTest::newRow("source in any case") << "[FRDISKS.fnn]" << 0 << "5";
        // 1.5 + 4.5 + 7.5: the empty values of the even disks are left out.
        QTest::newRow("sum of decimals over blanks") << "[SUM([FSIZE])]" << 0 << "13,5";
    }

    // Boxes outside the run over the disks, a title before it and a footer after it, read the
    // current disk; rows in memory stay where they were.
    void expressions()
    {
        QFETCH(QString, text);
        QFETCH(int, format);
        QFETCH(QString, expected);
        ReportRowTable rows = disks(5);
        ReportObject footer = box(text, QRectF(10, 0, 150, 8));
        footer.format = ValueFormat(format);
        const BuiltReport r = build(
            onePage(
                {band(BandKind::ReportTitle, 10, {box(QStringLiteral("[FNAME]"), {0, 0, 50, 8})}),
                 band(BandKind::MasterData, 5, {}), band(BandKind::MasterFooter, 10, {footer})}),
            {&rows});
        QCOMPARE(r.pageCount(), 1);
        QCOMPARE(r.pageTexts(0), (QStringList {QStringLiteral("Диск 5"), expected}));
    }

    void errorsNameWhatIsWrong_data()
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

    void errorsNameWhatIsWrong()
    {
        QFETCH(QString, text);
        QFETCH(QString, source);
        QFETCH(QString, message);
        ReportRowTable rows = disks(2);
        const ReportTemplate t
            = onePage({band(BandKind::MasterData, 10, {box(text, {0, 0, 50, 5})}, source)});
        try {
            build(t, {&rows});
            QFAIL("built");
        } catch (const ReportBuilder::Error &e) {
            QCOMPARE(e.text(), message);
        }
    }

    // 25 labels of 20 mm under a 10 mm header: 13 to a page of 267 mm, the 14th opening the
    // second page right under its header.
    void masterDataRunsFirstToLastAndPagesBreak()
    {
        ReportRowTable rows = disks(25);
        const BuiltReport r = build(
            onePage(
                {band(BandKind::PageHeader, 10,
                      {box(QStringLiteral("Стр. [PAGE#] из [TOTALPAGES]"), {10, 0, 80, 8})}),
                 band(BandKind::MasterData, 20, {box(QStringLiteral("[FNAME]"), {10, 1, 60, 8})}),
                 band(BandKind::MasterFooter, 10,
                      {box(QStringLiteral("Файлов [SUM([FFILES])]"), {10, 0, 80, 8})})}),
            {&rows});
        QCOMPARE(r.pageCount(), 2);
        QStringList first = r.pageTexts(0);
        QCOMPARE(first.takeFirst(), QStringLiteral("Стр. 1 из 2"));
        QCOMPARE(first.size(), 13);
        QCOMPARE(first.last(), QStringLiteral("Диск 13"));
        QStringList second = r.pageTexts(1);
        QCOMPARE(second.takeFirst(), QStringLiteral("Стр. 2 из 2"));
        QCOMPARE(second.takeLast(), QStringLiteral("Файлов 3250"));
        QCOMPARE(second.first(), QStringLiteral("Диск 14"));
        QCOMPARE(second.size(), 12);
        QCOMPARE(r.pages[1].objects[1].geometry.top(), 10 + 10 + 1.0);
    }

    // An empty source prints no data band; with nothing else there is no page.
    void emptySourceGivesNoPages()
    {
        ReportRowTable rows = disks(0);
        const BuiltReport r = build(onePage({band(BandKind::MasterData, 20,
                                                  {box(QStringLiteral("[FNAME]"), {0, 0, 9, 9})})}),
                                    {&rows});
        QVERIFY(r.isEmpty());
    }

    void checkBoxFollowsItsValue_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("mark");
        QTest::newRow("one") << QVariant(1) << "1";
        QTest::newRow("zero") << QVariant(0) << "0";
        QTest::newRow("fraction") << QVariant(0.25) << "1";
        QTest::newRow("true") << QVariant(true) << "1";
        QTest::newRow("text false") << QVariant(QStringLiteral(" false ")) << "0";
        QTest::newRow("text zero") << QVariant(QStringLiteral("0")) << "0";
        QTest::newRow("text") << QVariant(QStringLiteral("да")) << "1";
        QTest::newRow("none") << QVariant() << "0";
    }

    void checkBoxFollowsItsValue()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, mark);
        ReportRowTable rows(QStringLiteral("frFlags"), {QStringLiteral("FLAG")}, {{value}});
        const BuiltReport r = build(
            onePage({band(BandKind::MasterData, 10,
                          {box(QStringLiteral("FLAG"), {0, 0, 5, 5}, ObjectKind::CheckBox)})}),
            {&rows});
        QCOMPARE(r.pageCount(), 1);
        QCOMPARE(r.pages[0].objects[0].text, mark);
    }

    // The designer's edits without the designer: bands go where they print, a new object is
    // kept on the paper, numbered on the page and grows its band; sizes keep their least.
    void templateEdits()
    {
        ReportPage page;
        QCOMPARE(TemplateEdit::addBand(page, BandKind::PageFooter, QString()), 0);
        QCOMPARE(TemplateEdit::addBand(page, BandKind::MasterData, QStringLiteral("frDisks")), 0);
        QCOMPARE(TemplateEdit::addBand(page, BandKind::ReportTitle, QString()), 0);
        QCOMPARE(TemplateEdit::addBand(page, BandKind::MasterData, QString()), 2);
        QCOMPARE(page.bands[1].dataSource, QStringLiteral("frDisks"));
        QCOMPARE(page.bands[1].height, 20.0);
        QCOMPARE(page.bands[3].kind, BandKind::PageFooter);

        QCOMPARE(TemplateEdit::placeObject(page, 0, ObjectKind::Text, {200.04, 7.26}), 0);
        QCOMPARE(TemplateEdit::placeObject(page, 1, ObjectKind::Line, {-3, -2}), 0);
        const ReportObject &text = page.bands[0].objects[0];
        QCOMPARE(text.geometry, QRectF(160, 7.3, 50, 6));
        QCOMPARE(page.bands[0].height, 7.3 + 6);
        QCOMPARE(page.bands[1].objects[0].geometry, QRectF(0, 0, 50, 0));
        QCOMPARE(page.bands[1].objects[0].name.right(1), QStringLiteral("2"));

        QCOMPARE(TemplateEdit::moved({10, 5, 50, 6}, {170, -9}, 210), QRectF(160, 0, 50, 6));
        QCOMPARE(TemplateEdit::side(5, -9, ObjectKind::Rectangle), TemplateEdit::MinimalSide);
        QCOMPARE(TemplateEdit::side(5, -9, ObjectKind::Line), 0.0);
        QCOMPARE(TemplateEdit::bandHeight(page.bands[0], 2), 7.3 + 6);
        QCOMPARE(TemplateEdit::bandHeight(page.bands[2], -4), 1.0);
    }

    void exportsWriteEveryFormat_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("text") << "txt" << QByteArray("   Диск 1");
        QTest::newRow("rtf") << "rtf" << QByteArray("{\\rtf1");
        QTest::newRow("csv") << "csv" << QByteArray("\xEF\xBB\xBF");
        QTest::newRow("html") << "htm" << QByteArray("<!DOCTYPE html>");
        QTest::newRow("pdf") << "pdf" << QByteArray("%PDF-");
        QTest::newRow("own") << "kdr" << QByteArray("KODRAPRN");
    }

    // Each format is written and names every disk; a folder that is not there is refused with
    // a message naming the file.
    void exportsWriteEveryFormat()
    {
        QFETCH(QString, suffix);
        QFETCH(QByteArray, start);
        ReportRowTable rows = disks(3);
        const BuiltReport built
            = build(onePage({band(BandKind::MasterData, 10,
                                  {box(QStringLiteral("[FNAME]"), {5, 0, 50, 8})})}),
                    {&rows});
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("labels.") + suffix);
        QString error;
        QVERIFY2(ReportExporter::exportFile(built, file, &error), qPrintable(error));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY2(bytes.startsWith(start), bytes.left(40).constData());
        if (suffix != QLatin1String("pdf")) {
            QString all = QString::fromUtf8(bytes);
            if (suffix == QLatin1String("rtf") || suffix == QLatin1String("kdr")) {
                BuiltReport read;
                if (suffix == QLatin1String("kdr")) {
                    QVERIFY2(read.load(bytes, &error), qPrintable(error));
                    QVERIFY(read == built);
                }
                all = built.pageTexts(0).join(QLatin1Char('\n'));
            }
            for (int i = 1; i <= 3; ++i)
                QVERIFY2(all.contains(QStringLiteral("Диск %1").arg(i)), qPrintable(suffix));
        }

        const QString nowhere = dir.filePath(QStringLiteral("нет/labels.") + suffix);
        QVERIFY(!ReportExporter::exportFile(built, nowhere, &error));
        QCOMPARE(error, QStringLiteral("Не удалось записать файл %1").arg(nowhere));
        QVERIFY(!QFile::exists(nowhere));
    }
};

QTEST_MAIN(TestReportCore)
#include "tst_reportcore.moc"
