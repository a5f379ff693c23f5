#include "reports/DataSetRowSource.h"

#include "store/Field.h"
#include "store/QueryDataSet.h"

DataSetRowSource::DataSetRowSource(const QString &name, QueryDataSet &dataSet)
    : m_name(name), m_dataSet(&dataSet)
{ }

bool DataSetRowSource::answersTo(const QString &name) const
{
    return ReportRowSource::answersTo(name)
        || m_dataSet->name().compare(name, Qt::CaseInsensitive) == 0;
}

QStringList DataSetRowSource::fieldNames() const
{
    QStringList names;
    for (int i = 0; i < m_dataSet->fieldCount(); ++i)
        names << m_dataSet->field(i).name();
    return names;
}

int DataSetRowSource::fieldIndex(const QString &field) const
{
    const Field *found = m_dataSet->findField(field);
    return found ? found->index() : -1;
}

int DataSetRowSource::currentRow() const
{
    return m_dataSet->isOpen() ? m_dataSet->currentRow() : -1;
}

QVariant DataSetRowSource::value(int row, int field) const
{
    return m_dataSet->value(row, field);
}

bool DataSetRowSource::startRun()
{
    if (!m_dataSet->isOpen() || m_dataSet->isEmpty())
        return false;
    m_dataSet->first();
    m_dataSet->disableControls();
    return true;
}

bool DataSetRowSource::hasRow(int row)
{
    if (row < m_dataSet->fetchedCount())
        return true;
    if (!m_dataSet->canFetchMore())
        return false;
    m_dataSet->fetchMore();
    return row < m_dataSet->fetchedCount();
}

void DataSetRowSource::finishRun(int lastRow)
{
    m_dataSet->enableControls();
    // The list is left on its last row, as a run over it from first to last leaves it.
    if (lastRow >= 0)
        m_dataSet->moveTo(lastRow);
}
