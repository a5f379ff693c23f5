#include "reportengine/ReportFormatter.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QTime>
#include <cmath>

namespace {

bool isNumber(const QVariant &value)
{
    return ReportFormatter::isInteger(value) || value.typeId() == QMetaType::Double
        || value.typeId() == QMetaType::Float;
}

} // namespace

bool ReportFormatter::isInteger(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

QString ReportFormatter::group(const QString &digits, const QLocale &locale)
{
    // The C locale and any locale told so write numbers without groups.
    const QString separator = locale.numberOptions() & QLocale::OmitGroupSeparator
        ? QString()
        : locale.groupSeparator();
    QString out;
    const qsizetype n = digits.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += separator;
        out += digits[i];
    }
    return out;
}

QString ReportFormatter::timeText(const QTime &time, const QLocale &locale)
{
    // The long form carries the seconds; some locales add the zone, which a report leaves out.
    QString pattern = locale.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*t+\\s*"));
    pattern.replace(zone, QString());
    return locale.toString(time, pattern.trimmed());
}

QString ReportFormatter::groupedDecimals(double value, const QLocale &locale)
{
    const bool negative = value < 0;
    // Hundredths as a whole number, so that rounding carries into the integer part.
    const double hundredths = std::round(std::fabs(value) * 100);
    if (hundredths == 0)
        return {};
    const QString all = QString::number(hundredths, 'f', 0);
    QString whole = all.size() > 2 ? all.left(all.size() - 2) : QString();
    QString fraction = all.right(2).rightJustified(2, QLatin1Char('0'));
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    QString out = group(whole, locale);
    if (!fraction.isEmpty())
        out += locale.decimalPoint() + fraction;
    return negative ? locale.negativeSign() + out : out;
}

QString ReportFormatter::groupedInteger(const QVariant &value, const QLocale &locale)
{
    QString digits;
    bool negative = false;
    if (isInteger(value) && std::llabs(value.toLongLong()) < 1000000000000000LL) {
        const qlonglong v = value.toLongLong();
        negative = v < 0;
        digits = QString::number(v < 0 ? -v : v);
    } else {
        const double v = value.toDouble();
        negative = v < 0;
        // At most 15 significant digits, as a double holds them; the rest written as zeros.
        const double rounded = std::round(std::fabs(v));
        digits = QString::number(QString::number(rounded, 'g', 15).toDouble(), 'f', 0);
    }
    if (digits == QLatin1String("0"))
        negative = false;
    const QString out = group(digits, locale);
    return negative ? locale.negativeSign() + out : out;
}

QString ReportFormatter::format(const QVariant &value, ValueFormat format, const QLocale &locale)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (format) {
    case ValueFormat::GroupedDecimals:
        if (isNumber(value))
            return groupedDecimals(value.toDouble(), locale);
        break;
    case ValueFormat::GroupedInteger:
        if (isNumber(value))
            return groupedInteger(value, locale);
        break;
    case ValueFormat::Date:
        if (value.typeId() == QMetaType::QDate || value.typeId() == QMetaType::QDateTime)
            return locale.toString(value.toDate(), QLocale::ShortFormat);
        break;
    case ValueFormat::Plain:
        break;
    }
    switch (value.typeId()) {
    case QMetaType::QDate:
        return locale.toString(value.toDate(), QLocale::ShortFormat);
    case QMetaType::QTime:
        return timeText(value.toTime(), locale);
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return locale.toString(dt.date(), QLocale::ShortFormat) + QLatin1Char(' ')
            + timeText(dt.time(), locale);
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        const double v = value.toDouble();
        if (std::isfinite(v) && v == std::trunc(v) && std::fabs(v) < 1e15)
            return QString::number(qlonglong(v));
        QString text = QString::number(v, 'g', 15);
        return text.replace(QLatin1Char('.'), locale.decimalPoint());
    }
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    default:
        if (isInteger(value))
            return QString::number(value.toLongLong());
        return value.toString();
    }
}
