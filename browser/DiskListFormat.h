#pragma once

#include <QColor>
#include <QString>
#include <QVariant>
#include <optional>

// How the disk list shows its values.
namespace DiskListFormat {
// "### ### ### ### ###": rounded to a whole number, digits grouped by three with blanks;
// 0 and empty show nothing.
QString size(const QVariant &bytes);
// The text colour of a cell: grey for a lost disk; in the status column blue for code 2 and
// red for code 3, which win over the grey. No colour means the normal one.
std::optional<QColor> cellColour(const QVariant &lostDate, const QVariant &statusCode,
                                 bool statusColumn);
} // namespace DiskListFormat
