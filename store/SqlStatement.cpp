#include "store/SqlStatement.h"

#include "store/DbError.h"
#include "store/Statement.h"

#include <algorithm>

namespace {

// Names are kept once regardless of case, so at most one entry matches; a program passes the
// name as it was first given, which the exact comparison finds without folding case.
template<typename Params> auto findParam(Params &params, const QString &name)
{
    auto it = std::find_if(params.begin(), params.end(),
                           [&](const auto &p) { return p.first == name; });
    if (it == params.end())
        it = std::find_if(params.begin(), params.end(), [&](const auto &p) {
            return p.first.compare(name, Qt::CaseInsensitive) == 0;
        });
    return it;
}

} // namespace

SqlStatement::SqlStatement(Connection &connection, const QString &name, QObject *parent)
    : QObject(parent), m_connection(connection), m_name(name)
{
    setObjectName(name);
    m_connection.addClient(this);
}

SqlStatement::~SqlStatement()
{
    m_connection.removeClient(this);
}

void SqlStatement::setSql(const QString &sql)
{
    if (sql == m_sql)
        return;
    m_sql = sql;
    m_stmt.reset();
    m_hasRow = false;
}

void SqlStatement::setParam(const QString &name, const QVariant &value)
{
    const auto it = findParam(m_params, name);
    if (it != m_params.end()) {
        it->second = value;
        return;
    }
    m_params.emplace_back(name, value);
}

void SqlStatement::execute()
{
    if (!m_connection.isConnected() || !m_connection.transaction().isActive())
        throw DbError(QStringLiteral("Transaction is not active"));
    m_hasRow = false;
    if (!m_stmt) {
        auto stmt = std::make_unique<Statement>(m_connection);
        stmt->prepare(m_sql);
        m_stmt = std::move(stmt);
    }
    // The statement's names are distinct, so the i-th name is parameter i.
    const QStringList &names = m_stmt->paramNames();
    for (int i = 0; i < names.size(); ++i) {
        const auto it = findParam(std::as_const(m_params), names[i]);
        m_stmt->setParam(i, it != m_params.cend() ? it->second : QVariant());
    }
    m_stmt->execute();
    if (m_stmt->kind() == Statement::Kind::Select) {
        m_hasRow = m_stmt->fetch();
    } else {
        m_hasRow = m_stmt->kind() == Statement::Kind::ExecProcedure && m_stmt->columnCount() > 0;
        m_connection.transaction().workDone();
    }
}

QVariant SqlStatement::fieldByName(const QString &name) const
{
    const int index = m_stmt ? m_stmt->columnIndex(name) : -1;
    if (index < 0)
        throw DbError(m_name + QStringLiteral(": Field '%1' not found").arg(name));
    if (!m_hasRow)
        return {};
    return m_stmt->value(index);
}

void SqlStatement::close()
{
    if (m_stmt)
        m_stmt->closeCursor();
    m_hasRow = false;
}

void SqlStatement::connectionClosing()
{
    m_stmt.reset();
    m_hasRow = false;
}
