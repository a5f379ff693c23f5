#pragma once

#include <ibase.h>

#include <QElapsedTimer>

class Connection;

// DefTransaction: started with the server's defaults, committed when no dataset on it is open
// any more or when the connection closes. Work is made durable by commits with retain.
class Transaction
{
public:
    explicit Transaction(Connection &connection);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool isActive() const { return m_handle != 0; }
    void start();
    void commit();
    void commitRetaining();
    void rollback();
    // Drops the handle without a server call (the attachment is gone).
    void forget() { m_handle = 0; }

    // Commits when running and no dataset on the transaction is open.
    void checkAutoStop();

    // Called after each post, delete and executed statement: commits with retain so that a
    // killed program keeps the work, unless commits are held for bulk work.
    void workDone();

    // While a hold exists, workDone() commits with retain at most once a second (or, for a
    // whole hold, not at all); the last hold's end commits what is still pending.
    class CommitHold
    {
    public:
        // Whole: a killed program keeps all of the work or none of it.
        enum class Mode { OncePerSecond, Whole };
        explicit CommitHold(Transaction &transaction, Mode mode = Mode::OncePerSecond);
        ~CommitHold();
        CommitHold(const CommitHold &) = delete;
        CommitHold &operator=(const CommitHold &) = delete;

    private:
        Transaction &m_transaction;
        Mode m_mode;
    };

    isc_tr_handle *handle() { return &m_handle; }

private:
    Connection &m_connection;
    isc_tr_handle m_handle = 0;
    int m_holds = 0;
    int m_wholeHolds = 0;
    bool m_pending = false;
    QElapsedTimer m_sinceCommit;
};
