#pragma once

#include "store/FieldType.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <QVariant>

class Field;
class QLineEdit;

// How field values are typed: shared by the grid's in-place editors and the bound controls.
namespace FieldEditing {

// A date edit cannot be empty: its lowest date stands for no date and shows as a blank.
inline const QDate NoDate(1752, 9, 14);

// The locale numbers are typed in: no group separators.
QLocale editLocale();
// The system's short date (and time) format, with the year in full so that no century has to
// be guessed.
QString dateFormat(FieldType type);
// The text a value is edited as.
QString editText(const QVariant &value);
// The value a typed text stands for (numbers the way the locale writes them); the field
// converts anything else.
QVariant typedValue(const Field &field, const QString &text);
// Limits a line edit to what the field holds: its length, or the characters of a number.
void fitLineEdit(QLineEdit *edit, const Field &field);

} // namespace FieldEditing
