#include "lending/LendingColors.h"

namespace LendingColors {

QColor deadline(const QDate &deadline, const QDate &returned, const QDate &today)
{
    // An empty deadline is the earliest date: a disk still out is then overdue.
    const bool passed = !deadline.isValid() || today > deadline;
    return passed && !returned.isValid() ? QColor(255, 0, 0) : QColor(0, 0, 255);
}

QColor returned(const QDate &deadline, const QDate &returned)
{
    const bool late = deadline.isValid() && returned.isValid() && returned > deadline;
    return late ? QColor(0, 128, 128) : QColor(0, 128, 0);
}

} // namespace LendingColors
