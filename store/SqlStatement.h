#pragma once

#include "store/Connection.h"

#include <QObject>
#include <QVariant>
#include <memory>

class Statement;

// A one-shot statement (dtMoveDisk, ibsDelContent, ibsGetOwner): runs on demand in the running
// transaction, never starts one; a select's first row is readable until it is closed.
class SqlStatement : public QObject, public ConnectionClient
{
    Q_OBJECT

public:
    SqlStatement(Connection &connection, const QString &name, QObject *parent = nullptr);
    ~SqlStatement() override;

    void setSql(const QString &sql);
    const QString &sql() const { return m_sql; }
    void setParam(const QString &name, const QVariant &value);
    void setParamInteger(const QString &name, int value) { setParam(name, value); }

    void execute();
    // A column of the result row by name; empty when there is no row.
    QVariant fieldByName(const QString &name) const;
    bool hasRow() const { return m_hasRow; }
    void close();

    void connectionClosing() override;

private:
    Connection &m_connection;
    QString m_name;
    QString m_sql;
    std::unique_ptr<Statement> m_stmt;
    std::vector<std::pair<QString, QVariant>> m_params;
    bool m_hasRow = false;
};
