#include "reportengine/ReportRowTable.h"

ReportRowTable::ReportRowTable(const QString &name, const QStringList &fields,
                               std::vector<QVariantList> rows)
    : m_name(name), m_fields(fields), m_rows(std::move(rows))
{ }

int ReportRowTable::currentRow() const
{
    return m_current >= 0 && m_current < rowCount() ? m_current : -1;
}

QVariant ReportRowTable::value(int row, int field) const
{
    if (row < 0 || row >= rowCount())
        return {};
    const QVariantList &values = m_rows[size_t(row)];
    return field >= 0 && field < values.size() ? values[field] : QVariant();
}
