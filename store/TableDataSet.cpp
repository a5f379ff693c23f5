#include "store/TableDataSet.h"

#include "store/Statement.h"

TableDataSet::TableDataSet(Connection &connection, const QString &name, const QString &tableName,
                           QObject *parent)
    : QueryDataSet(connection, name, parent), m_tableName(tableName.toUpper())
{ }

void TableDataSet::prepareStatements()
{
    if (m_primaryKey.isEmpty()) {
        Statement keys(connection());
        keys.prepare(QStringLiteral(
            "select trim(s.rdb$field_name) from rdb$relation_constraints c "
            "join rdb$index_segments s on s.rdb$index_name = c.rdb$index_name "
            "where c.rdb$relation_name = :table and c.rdb$constraint_type = 'PRIMARY KEY' "
            "order by s.rdb$field_position"));
        keys.setParam(QStringLiteral("table"), m_tableName);
        keys.execute();
        QStringList primaryKey;
        while (keys.fetch())
            primaryKey << keys.value(0).toString();
        if (primaryKey.isEmpty())
            fail(QStringLiteral("Table '%1' has no primary key").arg(m_tableName));
        m_primaryKey = primaryKey;
    }
    setSelectSql({QStringLiteral("select * from %1 order by %2")
                      .arg(m_tableName, m_primaryKey.join(QStringLiteral(", ")))});
}

void TableDataSet::fieldsBuilt()
{
    QStringList columns;
    QStringList values;
    QStringList assignments;
    for (int i = 0; i < fieldCount(); ++i) {
        const Field &f = field(i);
        if (f.isLookup())
            continue;
        columns << f.name();
        values << QLatin1Char(':') + f.name();
        assignments << f.name() + QStringLiteral("=:") + f.name();
    }
    QStringList where;
    for (const QString &key : m_primaryKey)
        where << key + QStringLiteral("=:OLD_") + key;
    const QString condition = where.join(QStringLiteral(" and "));
    setInsertSql(QStringLiteral("insert into %1 (%2) values (%3)")
                     .arg(m_tableName, columns.join(QStringLiteral(", ")),
                          values.join(QStringLiteral(", "))));
    setModifySql(QStringLiteral("update %1 set %2 where %3")
                     .arg(m_tableName, assignments.join(QStringLiteral(", ")), condition));
    setDeleteSql(QStringLiteral("delete from %1 where %2").arg(m_tableName, condition));
}
