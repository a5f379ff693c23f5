#include "reportengine/TemplateEdit.h"

#include "reportengine/DesignNames.h"

#include <algorithm>
#include <cmath>

double TemplateEdit::tenth(double mm)
{
    return std::round(mm * 10) / 10;
}

QSizeF TemplateEdit::defaultSize(ObjectKind kind)
{
    switch (kind) {
    case ObjectKind::Text:
        return {50, 6};
    case ObjectKind::RichText:
        return {60, 20};
    case ObjectKind::CheckBox:
        return {5, 5};
    case ObjectKind::Line:
        return {50, 0};
    default:
        return {20, 15};
    }
}

int TemplateEdit::addBand(ReportPage &page, BandKind kind, const QString &source)
{
    auto &bands = page.bands;
    const auto at = std::find_if(bands.begin(), bands.end(),
                                 [kind](const ReportBand &band) { return band.kind > kind; });
    ReportBand band;
    band.kind = kind;
    band.height = kind == BandKind::MasterData ? 20 : 10;
    if (kind == BandKind::MasterData)
        band.dataSource = source;
    const int index = int(at - bands.begin());
    bands.insert(at, band);
    return index;
}

int TemplateEdit::placeObject(ReportPage &page, int band, ObjectKind kind, QPointF at)
{
    ReportBand &target = page.bands[size_t(band)];
    ReportObject object;
    object.kind = kind;
    const QSizeF size = defaultSize(kind);
    const double left
        = std::clamp(tenth(at.x()), 0.0, std::max(0.0, page.size.width() - size.width()));
    const double top = std::max(0.0, tenth(at.y()));
    object.geometry = QRectF(QPointF(left, top), size);
    target.height = std::max(target.height, top + size.height());
    // Names stay unique within the page so that a user can tell objects apart.
    int number = 1;
    for (const ReportBand &b : page.bands)
        number += int(b.objects.size());
    object.name = DesignNames::objectPrefix(kind) + QString::number(number);
    target.objects.push_back(object);
    return int(target.objects.size()) - 1;
}

QRectF TemplateEdit::moved(const QRectF &geometry, QPointF by, double pageWidth)
{
    QRectF g = geometry;
    g.moveTo(std::clamp(tenth(g.left() + by.x()), 0.0, std::max(0.0, pageWidth - g.width())),
             std::max(0.0, tenth(g.top() + by.y())));
    return g;
}

double TemplateEdit::side(double length, double by, ObjectKind kind)
{
    const double minimal = kind == ObjectKind::Line ? 0.0 : MinimalSide;
    return std::max(minimal, tenth(length + by));
}

double TemplateEdit::bandHeight(const ReportBand &band, double wanted)
{
    double lowest = 0;
    for (const ReportObject &object : band.objects)
        lowest = std::max(lowest, object.geometry.bottom());
    return std::max({tenth(wanted), lowest, 1.0});
}
