#include "widgets/ContrastColour.h"

#include <algorithm>
#include <cmath>

namespace {

double channel(double value)
{
    return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &c)
{
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

} // namespace

namespace ContrastColour {

double ratio(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor &colour, const QColor &background, double minimum)
{
    if (ratio(colour, background) >= minimum)
        return colour;
    const bool darker = luminance(background) > 0.18;
    const QColor hsl = colour.toHsl();
    // Lightness in small steps away from the background, hue and saturation kept.
    for (int step = 1; step <= 100; ++step) {
        const double lightness = darker
            ? hsl.lightnessF() * (1.0 - step / 100.0)
            : hsl.lightnessF() + (1.0 - hsl.lightnessF()) * step / 100.0;
        const QColor candidate
            = QColor::fromHslF(hsl.hslHueF(), hsl.hslSaturationF(), float(lightness));
        if (ratio(candidate, background) >= minimum)
            return candidate.toRgb();
    }
    return darker ? QColor(Qt::black) : QColor(Qt::white);
}

} // namespace ContrastColour
