#include "store/Transaction.h"

#include "store/Connection.h"
#include "store/DbError.h"
#include "store/FbApi.h"
#include "store/StoreLog.h"

Transaction::Transaction(Connection &connection) : m_connection(connection) { }

Transaction::~Transaction() = default;

void Transaction::start()
{
    if (isActive())
        return;
    ISC_STATUS_ARRAY status;
    FbClient::api().isc_start_transaction(status, &m_handle, 1, m_connection.handle(), 0, nullptr);
    DbError::check(status);
    m_pending = false;
    m_sinceCommit.start();
}

void Transaction::commit()
{
    if (!isActive())
        return;
    ISC_STATUS_ARRAY status;
    FbClient::api().isc_commit_transaction(status, &m_handle);
    DbError::check(status);
    m_pending = false;
}

void Transaction::commitRetaining()
{
    if (!isActive())
        return;
    ISC_STATUS_ARRAY status;
    FbClient::api().isc_commit_retaining(status, &m_handle);
    DbError::check(status);
    m_pending = false;
    m_sinceCommit.start();
}

void Transaction::rollback()
{
    if (!isActive())
        return;
    ISC_STATUS_ARRAY status;
    FbClient::api().isc_rollback_transaction(status, &m_handle);
    DbError::check(status);
}

void Transaction::checkAutoStop()
{
    if (!isActive())
        return;
    for (const ConnectionClient *client : m_connection.clients()) {
        if (client->holdsTransaction())
            return;
    }
    commit();
}

void Transaction::workDone()
{
    if (!isActive())
        return;
    m_pending = true;
    if (m_wholeHolds == 0 && (m_holds == 0 || m_sinceCommit.elapsed() >= 1000))
        commitRetaining();
}

Transaction::CommitHold::CommitHold(Transaction &transaction, Mode mode)
    : m_transaction(transaction), m_mode(mode)
{
    ++m_transaction.m_holds;
    if (m_mode == Mode::Whole)
        ++m_transaction.m_wholeHolds;
}

Transaction::CommitHold::~CommitHold()
{
    if (m_mode == Mode::Whole)
        --m_transaction.m_wholeHolds;
    if (--m_transaction.m_holds == 0 && m_transaction.m_pending) {
        try {
            m_transaction.commitRetaining();
        } catch (const DbError &e) {
            // The work stays in the running transaction; the next commit takes it.
            qCWarning(lcStore) << "commit at the end of a hold failed:" << e.text();
        }
    }
}
