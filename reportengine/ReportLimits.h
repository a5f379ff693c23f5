#pragma once

#include <QtGlobal>

// What a template or a built report may hold: what the designer makes, with room to spare.
// A stored value beyond these is damage, and these are also the bounds of what is laid out.
namespace ReportLimits {

constexpr double MaxLength = 10000; // mm: a page side, a band, a place or size on the page
constexpr double MaxFontSize = 1000; // points
constexpr double MaxFrameWidth = 100; // mm
constexpr qsizetype MaxFontFamily = 256; // characters
constexpr qsizetype MaxText = 1 << 20; // characters of one box, also of a title
constexpr qsizetype MaxRichText = 1 << 16; // characters of one rich text box
constexpr qsizetype MaxRichTables = 64; // tables in one rich text box
// A built report read from a file.
constexpr qint64 MaxFileSize = qint64(256) << 20;

} // namespace ReportLimits
