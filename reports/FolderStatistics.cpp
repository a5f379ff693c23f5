#include "reports/FolderStatistics.h"

#include "reportengine/ReportBuilder.h"

namespace {

struct Box
{
    const char *text;
    double left, top, width, height, points;
    bool bold;
    Qt::Alignment align;
    ValueFormat format;
};

ReportBand band(BandKind kind, double height, std::initializer_list<Box> boxes)
{
    ReportBand b;
    b.kind = kind;
    b.height = height;
    if (kind == BandKind::MasterData)
        b.dataSource = QStringLiteral("frdtStat1");
    for (const Box &box : boxes) {
        ReportObject o;
        o.kind = ObjectKind::Text;
        o.text = QString::fromUtf8(box.text);
        o.geometry = QRectF(box.left, box.top, box.width, box.height);
        o.fontFamily = QStringLiteral("Arial");
        o.fontSize = box.points;
        o.bold = box.bold;
        o.color = Qt::black;
        o.alignment = box.align | Qt::AlignTop;
        o.frame = false;
        o.wordWrap = true;
        o.stretch = true;
        o.format = box.format;
        b.objects.push_back(std::move(o));
    }
    return b;
}

} // namespace

FolderStatistics::FolderStatistics(Connection &connection, QObject *parent)
    : m_rows(connection, QStringLiteral("dtStat1"), parent),
      m_source(QStringLiteral("frdtStat1"), m_rows)
{
    m_rows.setSelectSql(selectSql());
}

FolderStatistics::~FolderStatistics() = default;

QString FolderStatistics::title()
{
    return QStringLiteral("Количество");
}

BuiltReport FolderStatistics::build(const QDateTime &start)
{
    m_rows.close();
    m_rows.open();
    const ReportTemplate report = layout();
    ReportBuilder builder(report, {&m_source});
    builder.setStartTime(start.isValid() ? start : QDateTime::currentDateTime());
    return builder.build(title());
}

QStringList FolderStatistics::selectSql()
{
    return {QStringLiteral(
        "select ff.ffolderfull, ff.ffolder, count(d.fdiskid) fcntdisk, sum(d.ffiles) fsumfiles, "
        "sum(d.ffullsize) fsumsize from tdisk d left join getfolderfull(d.ffolderid) ff on "
        "d.ffolderid is not null group by ff.ffolderfull, ff.ffolder")};
}

ReportTemplate FolderStatistics::layout()
{
    constexpr auto L = Qt::AlignLeft;
    constexpr auto R = Qt::AlignRight;
    constexpr auto C = Qt::AlignHCenter;
    constexpr auto Text = ValueFormat::Plain;
    constexpr auto Decimals = ValueFormat::GroupedDecimals;
    constexpr auto Whole = ValueFormat::GroupedInteger;
    ReportPage page;
    page.size = QSizeF(210, 297);
    page.margins = QMarginsF(0, 10, 0, 10);
    page.bands.push_back(band(BandKind::ReportTitle, 23.3,
                              {{"Общее количество внесенных в базу данных носителей", 5.6, 1.1,
                                196.5, 10.5, 16, false, C, Text},
                               {"[DATE] [TIME]", 5.6, 11.9, 196.5, 5.3, 10, true, L, Text},
                               {"Папка", 5.6, 17.5, 106.1, 5.0, 10, true, L, Text},
                               {"Носителей, шт", 111.4, 17.5, 28.8, 5.0, 10, true, R, Text},
                               {"Файлов, шт", 140.4, 17.5, 25.4, 5.0, 10, true, R, Text},
                               {"Объем, байт", 165.2, 17.5, 36.6, 5.0, 10, true, R, Text}}));
    page.bands.push_back(
        band(BandKind::MasterData, 6.7,
             {{"[dtStat1.\"FFOLDERFULL\"]", 6.7, 0.8, 104.7, 5.0, 10, false, L, Text},
              {"[dtStat1.\"FCNTDISK\"]", 111.4, 0.8, 28.8, 5.0, 10, false, R, Text},
              {"[dtStat1.\"FSUMFILES\"]", 140.4, 0.8, 24.3, 5.0, 10, false, R, Decimals},
              {"[dtStat1.\"FSUMSIZE\"]", 165.2, 0.8, 36.6, 5.0, 10, false, R, Whole}}));
    page.bands.push_back(
        band(BandKind::MasterFooter, 7.8,
             {{"Всего", 5.6, 0.8, 26.8, 5.5, 12, true, L, Text},
              {"[SUM([dtStat1.\"FCNTDISK\"])]", 111.7, 1.1, 28.8, 5.0, 10, true, R, Text},
              {"[SUM([dtStat1.\"FSUMFILES\"])]", 140.7, 1.1, 24.3, 5.0, 10, true, R, Decimals},
              {"[SUM([dtStat1.\"FSUMSIZE\"])]", 165.5, 1.1, 36.6, 5.0, 10, true, R, Whole}}));
    ReportTemplate report;
    report.pages.push_back(std::move(page));
    return report;
}
