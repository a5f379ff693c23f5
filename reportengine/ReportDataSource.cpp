#include "reportengine/ReportDataSource.h"

#include "store/Field.h"
#include "store/QueryDataSet.h"

ReportDataSource::ReportDataSource(const QString &name, QueryDataSet &dataSet)
    : m_name(name), m_dataSet(&dataSet)
{ }

QStringList ReportDataSource::fieldNames() const
{
    QStringList names;
    for (int i = 0; i < m_dataSet->fieldCount(); ++i)
        names << m_dataSet->field(i).name();
    return names;
}
