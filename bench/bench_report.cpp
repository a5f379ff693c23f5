// The report engine over the catalogue's own datasets.
//
// Prints the time to build and export to PDF the folder statistics over 1,000 folders and
// the labels of a folder of 10,000 disks (one text box, the disk's name, per label), each
// from opening its dataset to the written file, as a ratio to opening the same dataset and
// reading its rows alone on the same connection in the same run. Goal: ratio <= 2, the engine
// adding no more than the reading does.

#include "app/Catalogue.h"
#include "bench/BenchDisk.h"
#include "reportengine/BuiltReport.h"
#include "reportengine/ReportBuilder.h"
#include "reportengine/ReportExporter.h"
#include "reports/DataSetRowSource.h"
#include "reports/uStat1.h"
#include "tests/support/TestCatalogue.h"

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

using BenchDisk::bestMs;
using BenchDisk::die;
using BenchDisk::say;

constexpr int LabelFolder = 900000;

// 1,000 folders under 20 top ones, three disks in each; then one folder of 10,000 disks.
void fill(const TestCatalogue &cat)
{
    cat.exec({
        QStringLiteral("execute block as declare i integer = 0; begin while (i < 1000) do "
                       "begin insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                       "(100000 + :i, 'Папка ' || :i, iif(:i < 20, 0, 100000 + mod(:i, 20))); "
                       "i = i + 1; end end"),
        QStringLiteral("execute block as declare i integer = 0; begin while (i < 3000) do "
                       "begin insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FFILES, "
                       "FFULLSIZE) values (200000 + :i, 100000 + mod(:i, 1000), 1, 'Диск ' || "
                       ":i, :i * 7, :i * 1000000007.0); i = i + 1; end end"),
        QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values (%1, "
                       "'Наклейки', 0)")
            .arg(LabelFolder),
        QStringLiteral("execute block as declare i integer = 0; begin while (i < 10000) do "
                       "begin insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                       "(300000 + :i, %1, 1, 'Диск с наклейкой ' || :i, :i); i = i + 1; end "
                       "end")
            .arg(LabelFolder),
    });
}

// Labels 90 x 25 mm, one under another: one framed text box with the disk's name.
ReportTemplate labels()
{
    ReportObject name;
    name.text = QStringLiteral("[FNAME]");
    name.geometry = QRectF(10, 2, 90, 21);
    name.frame = true;
    name.fontSize = 12;
    ReportBand band;
    band.kind = BandKind::MasterData;
    band.height = 25;
    band.dataSource = QStringLiteral("frDisks");
    band.objects.push_back(name);
    ReportPage page;
    page.bands.push_back(band);
    ReportTemplate t;
    t.pages.push_back(page);
    return t;
}

void readAll(QueryDataSet &ds)
{
    ds.close();
    ds.open();
    ds.fetchAll();
}

void report(const QString &what, QueryDataSet &ds, const ReportTemplate &t,
            DataSetRowSource &source, const QString &pdf)
{
    int rows = 0;
    const double read = bestMs(3, [&] {
        readAll(ds);
        rows = ds.fetchedCount();
    });
    int pages = 0;
    const double engine = bestMs(3, [&] {
        readAll(ds);
        ReportBuilder builder(t, {&source});
        const BuiltReport built = builder.build(what);
        pages = built.pageCount();
        if (!ReportExporter::exportPdf(built, pdf))
            die(QStringLiteral("no PDF written"));
    });
    // The two steps apart, over the rows read above.
    BuiltReport built;
    const double build = bestMs(3, [&] {
        ReportBuilder builder(t, {&source});
        built = builder.build(what);
    });
    const double paint = bestMs(3, [&] { ReportExporter::exportPdf(built, pdf); });
    say(QStringLiteral("%1: %2 rows, %3 pages, %4 KiB of PDF")
            .arg(what)
            .arg(rows)
            .arg(pages)
            .arg(QFileInfo(pdf).size() / 1024));
    say(QStringLiteral("  reading alone %1 ms; reading, building and PDF %2 ms; ratio %3 "
                       "(goal <= 2)")
            .arg(read, 0, 'f', 1)
            .arg(engine, 0, 'f', 1)
            .arg(engine / read, 0, 'f', 2));
    say(QStringLiteral("  of which building %1 ms, PDF %2 ms")
            .arg(build, 0, 'f', 1)
            .arg(paint, 0, 'f', 1));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    TestCatalogue cat;
    if (!cat.isValid())
        die(QStringLiteral("no catalogue: ") + cat.error());
    fill(cat);
    QTemporaryDir dir;

    Catalogue data;
    cat.configure(data.DefDatabase());
    data.DefDatabase().open();

    {
        TfStat1 stat(data, nullptr);
        report(QStringLiteral("Statistics over 1,000 folders"), stat.dtStat1,
               FolderStatistics::layout(), stat.frdtStat1,
               dir.filePath(QStringLiteral("stat.pdf")));
    }

    data.dtFolder().open();
    if (!data.dtFolder().locate(QStringLiteral("FFOLDERID"), LabelFolder))
        die(QStringLiteral("the label folder is missing"));
    if (!data.dtDisk().isOpen())
        data.dtDisk().open();
    DataSetRowSource frDisks(QStringLiteral("frDisks"), data.dtDisk());
    report(QStringLiteral("Labels of 10,000 disks"), data.dtDisk(), labels(), frDisks,
           dir.filePath(QStringLiteral("labels.pdf")));
    return 0;
}
