#pragma once

#include "reportengine/ReportRowSource.h"

class QueryDataSet;

// A report's rows read from a dataset as it stands (frDisks over dtDisk, frdtStat1 over
// dtStat1): the report never opens or closes it. Templates may name it by its own name or by
// the dataset's. While a band runs over it the dataset's views are held still.
class DataSetRowSource : public ReportRowSource
{
public:
    DataSetRowSource(const QString &name, QueryDataSet &dataSet);

    QueryDataSet &dataSet() const { return *m_dataSet; }

    QString name() const override { return m_name; }
    bool answersTo(const QString &name) const override;
    QStringList fieldNames() const override;
    int fieldIndex(const QString &field) const override;
    int currentRow() const override;
    QVariant value(int row, int field) const override;
    bool startRun() override;
    bool hasRow(int row) override;
    void finishRun(int lastRow) override;

private:
    QString m_name;
    QueryDataSet *m_dataSet;
};
