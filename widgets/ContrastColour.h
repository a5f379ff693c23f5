#pragma once

#include <QColor>

// Colours that stay readable on light and dark themes alike: the contrast ratio of two colours
// as the accessibility guidelines measure it, and a colour of the same hue made darker or
// lighter until it reads on a background.
namespace ContrastColour {
// 1 (the same luminance) to 21 (black on white).
double ratio(const QColor &a, const QColor &b);
// The colour itself when it reaches minimum on background; else the nearest colour of its hue
// that does, darker on a light background and lighter on a dark one.
QColor readableOn(const QColor &colour, const QColor &background, double minimum = 4.5);
} // namespace ContrastColour
