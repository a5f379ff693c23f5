#pragma once

#include <QColor>
#include <QDate>

// The colours of a lending's dates, alike wherever lendings are listed. An empty date counts
// as the earliest possible one.
namespace LendingColors {
// Red while the disk is out past its deadline (a deadline of today is not past), else blue.
QColor deadline(const QDate &deadline, const QDate &returned, const QDate &today);
// Teal when the disk came back after its deadline, else green.
QColor returned(const QDate &deadline, const QDate &returned);
} // namespace LendingColors
