#include "browser/DiskListFormat.h"

#include <cmath>

namespace DiskListFormat {

QString size(const QVariant &bytes)
{
    if (!bytes.isValid() || bytes.isNull())
        return {};
    const double rounded = std::round(bytes.toDouble());
    if (rounded == 0 || !std::isfinite(rounded))
        return {};
    QString digits = QString::number(std::fabs(rounded), 'f', 0);
    for (qsizetype pos = digits.size() - 3; pos > 0; pos -= 3)
        digits.insert(pos, QLatin1Char(' '));
    return rounded < 0 ? QLatin1Char('-') + digits : digits;
}

std::optional<QColor> cellColour(const QVariant &lostDate, const QVariant &statusCode,
                                 bool statusColumn)
{
    if (statusColumn) {
        const int code = statusCode.toInt();
        if (code == 2)
            return QColor(0, 0, 255);
        if (code == 3)
            return QColor(255, 0, 0);
    }
    if (lostDate.isValid() && !lostDate.isNull())
        return QColor(128, 128, 128);
    return std::nullopt;
}

} // namespace DiskListFormat
