#include "reportengine/DesignNames.h"

QString DesignNames::bandName(BandKind kind)
{
    switch (kind) {
    case BandKind::ReportTitle:
        return QStringLiteral("Заголовок отчёта");
    case BandKind::PageHeader:
        return QStringLiteral("Заголовок страницы");
    case BandKind::MasterData:
        return QStringLiteral("Данные");
    case BandKind::MasterFooter:
        return QStringLiteral("Итог данных");
    case BandKind::PageFooter:
        return QStringLiteral("Подвал страницы");
    }
    return {};
}

QString DesignNames::bandCaption(const ReportBand &band)
{
    if (band.kind == BandKind::MasterData && !band.dataSource.isEmpty())
        return bandName(band.kind) + QStringLiteral(": ") + band.dataSource;
    return bandName(band.kind);
}

QString DesignNames::objectName(ObjectKind kind)
{
    switch (kind) {
    case ObjectKind::Text:
        return QStringLiteral("Текст");
    case ObjectKind::RichText:
        return QStringLiteral("Форматированный текст");
    case ObjectKind::CheckBox:
        return QStringLiteral("Флажок");
    case ObjectKind::Rectangle:
        return QStringLiteral("Прямоугольник");
    case ObjectKind::RoundedRectangle:
        return QStringLiteral("Скруглённый прямоугольник");
    case ObjectKind::Ellipse:
        return QStringLiteral("Эллипс");
    case ObjectKind::Line:
        return QStringLiteral("Линия");
    }
    return {};
}

QString DesignNames::objectPrefix(ObjectKind kind)
{
    switch (kind) {
    case ObjectKind::Text:
        return QStringLiteral("Text");
    case ObjectKind::RichText:
        return QStringLiteral("RichText");
    case ObjectKind::CheckBox:
        return QStringLiteral("CheckBox");
    case ObjectKind::Rectangle:
        return QStringLiteral("Rectangle");
    case ObjectKind::RoundedRectangle:
        return QStringLiteral("RoundRect");
    case ObjectKind::Ellipse:
        return QStringLiteral("Ellipse");
    case ObjectKind::Line:
        return QStringLiteral("Line");
    }
    return {};
}
