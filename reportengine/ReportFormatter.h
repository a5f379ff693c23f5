#pragma once

#include "reportengine/ReportTemplate.h"

#include <QLocale>
#include <QString>
#include <QVariant>

// Writes a value as a text box shows it. No value is a blank box in every format.
class ReportFormatter
{
public:
    static QString format(const QVariant &value, ValueFormat format,
                          const QLocale &locale = QLocale());
    // "#,###.##": thousands grouped, a comma before at most two decimals, no digit forced.
    static QString groupedDecimals(double value, const QLocale &locale);
    // Thousands grouped, rounded to a whole number of at most 15 significant digits.
    static QString groupedInteger(const QVariant &value, const QLocale &locale);
    // The time as the workstation writes it, with seconds and without a time zone.
    static QString timeText(const QTime &time, const QLocale &locale);
    // A whole number of any width, as fields and sums hand it over.
    static bool isInteger(const QVariant &value);

private:
    static QString group(const QString &digits, const QLocale &locale);
};
