#pragma once

#include "store/Connection.h"

#include <QObject>
#include <QVariant>
#include <memory>
#include <vector>

class Statement;

// A call of an executable procedure without inputs (spNextID, spVer): run, then read the
// output parameters by name. Prepared once per connection and re-executed.
class StoredProc : public QObject, public ConnectionClient
{
    Q_OBJECT

public:
    StoredProc(Connection &connection, const QString &name, const QString &procedure,
               QObject *parent = nullptr);
    ~StoredProc() override;

    const QString &procedureName() const { return m_procedure; }
    void execute();
    QVariant paramByName(const QString &name) const;
    int paramAsInteger(const QString &name) const { return paramByName(name).toInt(); }
    QString paramAsString(const QString &name) const { return paramByName(name).toString(); }

    void connectionClosing() override;

private:
    Connection &m_connection;
    QString m_name;
    QString m_procedure;
    std::unique_ptr<Statement> m_stmt;
    std::vector<std::pair<QString, QVariant>> m_outputs;
};
