#include "store/StoredProc.h"

#include "store/DbError.h"
#include "store/Statement.h"

StoredProc::StoredProc(Connection &connection, const QString &name, const QString &procedure,
                       QObject *parent)
    : QObject(parent), m_connection(connection), m_name(name), m_procedure(procedure)
{
    setObjectName(name);
    m_connection.addClient(this);
}

StoredProc::~StoredProc()
{
    m_connection.removeClient(this);
}

void StoredProc::execute()
{
    m_connection.ensureConnected();
    Transaction &tr = m_connection.transaction();
    const bool started = !tr.isActive();
    if (started)
        tr.start();
    try {
        if (!m_stmt) {
            QString name = m_procedure;
            name.replace(QLatin1Char('"'), QLatin1String("\"\""));
            auto stmt = std::make_unique<Statement>(m_connection);
            stmt->prepare(QStringLiteral("Execute Procedure \"%1\"").arg(name));
            m_stmt = std::move(stmt);
        }
        m_stmt->execute();
        m_outputs.clear();
        for (int i = 0; i < m_stmt->columnCount(); ++i)
            m_outputs.emplace_back(m_stmt->column(i).name, m_stmt->value(i));
    } catch (...) {
        if (started)
            tr.checkAutoStop();
        throw;
    }
    // A prepared statement belongs to the attachment, so it stays prepared across commits.
    if (started)
        tr.checkAutoStop();
}

QVariant StoredProc::paramByName(const QString &name) const
{
    for (const auto &p : m_outputs) {
        if (p.first.compare(name, Qt::CaseInsensitive) == 0)
            return p.second;
    }
    throw DbError(m_name + QStringLiteral(": Parameter '%1' not found").arg(name));
}

void StoredProc::connectionClosing()
{
    m_stmt.reset();
}
