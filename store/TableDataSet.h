#pragma once

#include "store/QueryDataSet.h"

// A dataset over a whole table (dtType, dtMan, ...): every column of every row ordered by the
// primary key, rows written back addressed by the key they were read with.
class TableDataSet : public QueryDataSet
{
    Q_OBJECT

public:
    TableDataSet(Connection &connection, const QString &name, const QString &tableName,
                 QObject *parent = nullptr);

    const QString &tableName() const { return m_tableName; }

protected:
    void prepareStatements() override;
    void fieldsBuilt() override;
    QStringList keyFields() const override { return m_primaryKey; }

private:
    QString m_tableName;
    QStringList m_primaryKey;
};
