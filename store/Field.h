#pragma once

#include "store/FieldType.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

class QueryDataSet;

// How a field is defined: a column of the select, or a lookup into another dataset.
struct FieldDef
{
    QString name;
    FieldType type = FieldType::Unknown;
    int size = 0;
    bool required = false;
    // Lookup fields: the value of lookupResultField in the row of lookupDataSet whose
    // lookupKeyField equals this dataset's keyField.
    QueryDataSet *lookupDataSet = nullptr;
    QString keyField;
    QString lookupKeyField;
    QString lookupResultField;

    bool isLookup() const { return lookupDataSet != nullptr; }

    // A column of the select.
    static FieldDef column(const char *name, FieldType type, int size = 0, bool required = false)
    {
        FieldDef def;
        def.name = QString::fromLatin1(name);
        def.type = type;
        def.size = size;
        def.required = required;
        return def;
    }
};

// A field of a dataset, read and written on the dataset's current row.
class Field
{
public:
    Field(QueryDataSet &dataSet, int index, FieldDef def);

    const QString &name() const { return m_def.name; }
    FieldType type() const { return m_def.type; }
    int size() const { return m_def.size; }
    bool isRequired() const { return m_def.required; }
    void setRequired(bool required) { m_def.required = required; }
    bool isLookup() const { return m_def.isLookup(); }
    const FieldDef &def() const { return m_def; }
    int index() const { return m_index; }

    QVariant value() const;
    bool isNull() const;
    int asInteger() const;
    qint64 asLargeInt() const;
    double asFloat() const;
    QString asString() const;
    QDate asDate() const;
    QDateTime asDateTime() const;

    void setValue(const QVariant &value);
    void setInteger(int value) { setValue(value); }
    void setString(const QString &value) { setValue(value); }
    void setFloat(double value) { setValue(value); }
    void setDate(const QDate &value) { setValue(value); }
    void setDateTime(const QDateTime &value) { setValue(value); }
    void clear() { setValue(QVariant()); }

    // The text a value shows as: dates in the locale's short form, numbers in full.
    static QString displayText(const QVariant &value);
    // Keys match by number, or by text where either is one; no key matches nothing.
    static bool sameKey(const QVariant &a, const QVariant &b);

    // Converts a value to what this field stores (an empty text is no value).
    QVariant coerce(const QVariant &value) const;

private:
    QueryDataSet &m_dataSet;
    int m_index;
    FieldDef m_def;
};
