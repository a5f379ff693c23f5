#include "widgets/FieldEditing.h"

#include "store/Field.h"

#include <QDoubleValidator>
#include <QIntValidator>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace FieldEditing {

QLocale editLocale()
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

QString dateFormat(FieldType type)
{
    QString format = type == FieldType::DateTime ? QLocale().dateTimeFormat(QLocale::ShortFormat)
                                                 : QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

QString editText(const QVariant &value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::Double)
        return editLocale().toString(value.toDouble(), 'g', 15);
    if (value.typeId() == QMetaType::QDate || value.typeId() == QMetaType::QDateTime)
        return Field::displayText(value);
    return value.toString();
}

QVariant typedValue(const Field &field, const QString &text)
{
    switch (field.type()) {
    case FieldType::Float: {
        bool ok = false;
        const double number = editLocale().toDouble(text, &ok);
        if (ok)
            return number;
        break;
    }
    case FieldType::Date: {
        const QDate date = QLocale().toDate(text, dateFormat(FieldType::Date));
        if (date.isValid())
            return date;
        break;
    }
    case FieldType::DateTime: {
        const QDateTime dateTime = QLocale().toDateTime(text, dateFormat(FieldType::DateTime));
        if (dateTime.isValid())
            return dateTime;
        break;
    }
    default:
        break;
    }
    return text;
}

void fitLineEdit(QLineEdit *edit, const Field &field)
{
    switch (field.type()) {
    case FieldType::String:
    case FieldType::Memo:
        if (field.size() > 0)
            edit->setMaxLength(field.size());
        break;
    case FieldType::Integer:
        edit->setValidator(new QIntValidator(edit));
        break;
    case FieldType::LargeInt:
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?\\d*")), edit));
        break;
    case FieldType::Float: {
        auto *validator = new QDoubleValidator(edit);
        validator->setNotation(QDoubleValidator::StandardNotation);
        validator->setLocale(editLocale());
        edit->setValidator(validator);
        break;
    }
    default:
        break;
    }
}

} // namespace FieldEditing
