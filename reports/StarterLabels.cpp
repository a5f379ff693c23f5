#include "reports/StarterLabels.h"

namespace {

const QString Source = QStringLiteral("frDisks");

QString field(const char *name)
{
    return QStringLiteral("[%1.\"%2\"]").arg(Source, QLatin1String(name));
}

ReportObject text(const QString &content, QRectF geometry, double points, bool bold = false,
                  Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop)
{
    ReportObject o;
    o.kind = ObjectKind::Text;
    o.text = content;
    o.geometry = geometry;
    o.fontSize = points;
    o.bold = bold;
    o.alignment = align;
    // A label has a fixed size: long texts are cut rather than pushing the next label.
    o.stretch = false;
    return o;
}

ReportObject shape(ObjectKind kind, QRectF geometry, double width = 0.2)
{
    ReportObject o;
    o.kind = kind;
    o.geometry = geometry;
    o.frameWidth = width;
    o.frameColor = QColor(0x60, 0x60, 0x60);
    return o;
}

// Names every object of the page in order, as the designer would.
ReportTemplate named(ReportPage page)
{
    int number = 1;
    for (ReportBand &band : page.bands) {
        for (ReportObject &o : band.objects) {
            QString prefix;
            switch (o.kind) {
            case ObjectKind::Text:
                prefix = QStringLiteral("Text");
                break;
            case ObjectKind::Line:
                prefix = QStringLiteral("Line");
                break;
            case ObjectKind::RoundedRectangle:
                prefix = QStringLiteral("RoundRect");
                break;
            default:
                prefix = QStringLiteral("Rectangle");
            }
            o.name = prefix + QString::number(number++);
        }
    }
    ReportTemplate t;
    t.pages.push_back(std::move(page));
    return t;
}

} // namespace

ReportTemplate StarterLabels::cdSleeve()
{
    // A4 with two 120 mm inserts a page, centred, with room between them for the scissors.
    ReportBand band;
    band.kind = BandKind::MasterData;
    band.dataSource = Source;
    band.height = 130;
    const double l = 45; // the insert's left edge
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignTop;
    band.objects = {
        shape(ObjectKind::Rectangle, QRectF(l, 0, 120, 120)),
        text(field("FNAME"), QRectF(l + 5, 8, 110, 22), 20, true,
             Qt::AlignHCenter | Qt::AlignVCenter),
        shape(ObjectKind::Line, QRectF(l + 10, 32, 100, 0), 0.4),
        text(QStringLiteral("№ ") + field("FNN"), QRectF(l + 5, 35, 50, 7), 12, true),
        text(field("FTYPE"), QRectF(l + 60, 35, 55, 7), 12, false, right),
        text(field("FCOMMENT"), QRectF(l + 5, 44, 110, 26), 11),
        text(QStringLiteral("Содержимое"), QRectF(l + 5, 74, 110, 6), 10, true),
        shape(ObjectKind::Line, QRectF(l + 5, 80.5, 110, 0)),
        text(QStringLiteral("Файлов"), QRectF(l + 5, 82, 45, 5.5), 10),
        text(field("FFILES"), QRectF(l + 50, 82, 65, 5.5), 10, false, right),
        text(QStringLiteral("Объём, байт"), QRectF(l + 5, 88, 45, 5.5), 10),
        text(field("FFULLSIZE"), QRectF(l + 50, 88, 65, 5.5), 10, false, right),
        text(QStringLiteral("Метка тома"), QRectF(l + 5, 94, 45, 5.5), 10),
        text(field("FLABEL"), QRectF(l + 50, 94, 65, 5.5), 10, false, right),
        text(QStringLiteral("Группа"), QRectF(l + 5, 100, 45, 5.5), 10),
        text(field("FGROUP"), QRectF(l + 50, 100, 65, 5.5), 10, false, right),
        text(QStringLiteral("Получен"), QRectF(l + 5, 106, 45, 5.5), 10),
        text(field("FGETDATE"), QRectF(l + 50, 106, 65, 5.5), 10, false, right),
    };
    band.objects[9].format = ValueFormat::GroupedInteger;
    band.objects[11].format = ValueFormat::GroupedInteger;
    band.objects[17].format = ValueFormat::Date;
    ReportPage page;
    page.bands.push_back(std::move(band));
    return named(std::move(page));
}

ReportTemplate StarterLabels::spineStrip()
{
    // The spine of a CD case is 118 × 6.5 mm; the strips follow one another down the page.
    ReportBand band;
    band.kind = BandKind::MasterData;
    band.dataSource = Source;
    band.height = 8.5;
    const Qt::Alignment middle = Qt::AlignLeft | Qt::AlignVCenter;
    band.objects = {
        shape(ObjectKind::Rectangle, QRectF(46, 1, 118, 6.5)),
        text(field("FNN"), QRectF(47, 1, 12, 6.5), 10, true, Qt::AlignHCenter | Qt::AlignVCenter),
        shape(ObjectKind::Line, QRectF(59, 1, 0, 6.5)),
        text(field("FNAME"), QRectF(60, 1, 103, 6.5), 10, false, middle),
    };
    band.objects[3].wordWrap = false;
    ReportPage page;
    page.bands.push_back(std::move(band));
    return named(std::move(page));
}

ReportTemplate StarterLabels::envelopeSticker()
{
    // Two 90 × 50 mm stickers a row would need columns; one a row keeps them in list order.
    ReportBand band;
    band.kind = BandKind::MasterData;
    band.dataSource = Source;
    band.height = 55;
    const double l = 60;
    band.objects = {
        shape(ObjectKind::RoundedRectangle, QRectF(l, 0, 90, 50)),
        text(field("FNAME"), QRectF(l + 4, 3, 82, 14), 14, true,
             Qt::AlignHCenter | Qt::AlignVCenter),
        text(QStringLiteral("№ ") + field("FNN"), QRectF(l + 4, 18, 40, 6), 11, true),
        text(field("FTYPE"), QRectF(l + 44, 18, 42, 6), 11, false, Qt::AlignRight | Qt::AlignTop),
        text(field("FCOMMENT"), QRectF(l + 4, 25, 82, 14), 9),
        text(field("FGETDATE"), QRectF(l + 4, 41, 82, 5.5), 8, false,
             Qt::AlignRight | Qt::AlignTop),
    };
    band.objects[4].italic = true;
    band.objects[5].format = ValueFormat::Date;
    ReportPage page;
    page.bands.push_back(std::move(band));
    return named(std::move(page));
}

std::vector<StarterLabels::Label> StarterLabels::all()
{
    return {
        {17, QStringLiteral("Обложка коробки CD"), cdSleeve()},
        {18, QStringLiteral("Корешок коробки CD"), spineStrip()},
        {19, QStringLiteral("Наклейка на конверт"), envelopeSticker()},
    };
}

QString StarterLabels::insertScript()
{
    QString script = QStringLiteral(
        "-- Kodra catalogue: the label templates a new catalogue starts with.\n"
        "-- Written by the build from the program's own layouts; the stored forms are binary.\n\n");
    for (const Label &label : all()) {
        // Binary literals in pieces joined with ||, so that no line runs too long.
        const QByteArray hex = label.layout.save().toHex().toUpper();
        QStringList pieces;
        for (qsizetype i = 0; i < hex.size(); i += 96)
            pieces << QStringLiteral("x'%1'").arg(QString::fromLatin1(hex.mid(i, 96)));
        QString name = label.name;
        name.replace(QLatin1Char('\''), QStringLiteral("''"));
        script += QStringLiteral("INSERT INTO TREPORT (FREPORTID, FFRF, FREPORT) VALUES (%1,\n  ")
                      .arg(label.key)
            + pieces.join(QStringLiteral(" ||\n  ")) + QStringLiteral(",\n  '%1');\n\n").arg(name);
    }
    script += QStringLiteral("COMMIT;\n");
    return script;
}
