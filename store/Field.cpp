#include "store/Field.h"

#include "store/DbError.h"
#include "store/QueryDataSet.h"

#include <QLocale>

Field::Field(QueryDataSet &dataSet, int index, FieldDef def)
    : m_dataSet(dataSet), m_index(index), m_def(std::move(def))
{ }

QVariant Field::value() const
{
    return m_dataSet.currentValue(m_index);
}

bool Field::isNull() const
{
    const QVariant v = value();
    return !v.isValid() || v.isNull();
}

int Field::asInteger() const
{
    return value().toInt();
}

qint64 Field::asLargeInt() const
{
    return value().toLongLong();
}

double Field::asFloat() const
{
    return value().toDouble();
}

QString Field::asString() const
{
    return displayText(value());
}

QString Field::displayText(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return {};
    switch (v.typeId()) {
    case QMetaType::QDate:
        return QLocale().toString(v.toDate(), QLocale::ShortFormat);
    case QMetaType::QDateTime:
        return QLocale().toString(v.toDateTime(), QLocale::ShortFormat);
    case QMetaType::Double:
        return QString::number(v.toDouble(), 'g', 15);
    default:
        return v.toString();
    }
}

bool Field::sameKey(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return false;
    if (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString)
        return a.toString() == b.toString();
    return a.toLongLong() == b.toLongLong();
}

QDate Field::asDate() const
{
    const QVariant v = value();
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().date();
    return v.toDate();
}

QDateTime Field::asDateTime() const
{
    const QVariant v = value();
    if (v.typeId() == QMetaType::QDate)
        return QDateTime(v.toDate(), QTime(0, 0));
    return v.toDateTime();
}

void Field::setValue(const QVariant &value)
{
    m_dataSet.setCurrentValue(m_index, value);
}

QVariant Field::coerce(const QVariant &value) const
{
    if (!value.isValid() || value.isNull())
        return {};
    bool ok = true;
    QVariant result;
    switch (m_def.type) {
    case FieldType::String:
    case FieldType::Memo: {
        const QString s = value.toString();
        // As in every data-aware form: an empty text is no value.
        if (s.isEmpty())
            return {};
        return s;
    }
    case FieldType::Integer:
        if (value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty())
            return {};
        result = value.typeId() == QMetaType::Double ? QVariant(qRound(value.toDouble()))
                                                     : QVariant(value.toInt(&ok));
        break;
    case FieldType::LargeInt:
        if (value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty())
            return {};
        result = value.toLongLong(&ok);
        break;
    case FieldType::Float:
        if (value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty())
            return {};
        result = value.toDouble(&ok);
        break;
    case FieldType::Date:
        if (value.typeId() == QMetaType::QDateTime)
            return value.toDateTime().date();
        result = value.toDate();
        ok = result.toDate().isValid();
        break;
    case FieldType::DateTime:
        if (value.typeId() == QMetaType::QDate)
            return QDateTime(value.toDate(), QTime(0, 0));
        result = value.toDateTime();
        ok = result.toDateTime().isValid();
        break;
    case FieldType::Boolean:
        result = value.toBool();
        break;
    default:
        return value;
    }
    if (!ok)
        throw DbError(QStringLiteral("'%1' is not a valid value for field '%2'")
                          .arg(value.toString(), name()));
    return result;
}
