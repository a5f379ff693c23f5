#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

class QueryDataSet;

// A named source of rows for a report (frDisks over dtDisk, frdtStat1 over dtStat1). The
// report reads the dataset as it stands, from its first row to its last; it never opens or
// closes it.
class ReportDataSource
{
public:
    ReportDataSource(const QString &name, QueryDataSet &dataSet);

    const QString &name() const { return m_name; }
    QueryDataSet &dataSet() const { return *m_dataSet; }
    // The field names the designer offers for expressions.
    QStringList fieldNames() const;

private:
    QString m_name;
    QueryDataSet *m_dataSet;
};
