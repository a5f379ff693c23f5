#pragma once

#include "store/FieldType.h"

#include <ibase.h>

#include <QStringList>
#include <QVariant>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

class Connection;
class QThread;

// SQL text with ":NAME" parameters turned into "?" markers, and the name of every marker.
struct NamedSql
{
    QByteArray sql;
    QStringList names; // distinct names, in order of first appearance
    std::vector<int> markerName; // for each marker, its index in names
};
NamedSql parseNamedSql(const QString &text);

// A column of a statement's result (or an output parameter of a procedure).
struct ColumnInfo
{
    QString name;
    QString relation;
    FieldType type = FieldType::Unknown;
    int size = 0; // characters for text
    bool required = false;
};

// A prepared DSQL statement on the connection's transaction, with parameters bound by name.
// Prepared once and executed as often as needed; owns its statement handle.
class Statement
{
public:
    explicit Statement(Connection &connection);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    enum class Kind { Select, Insert, Update, Delete, ExecProcedure, Other };

    void prepare(const QString &sql);
    bool isPrepared() const { return m_handle != 0; }
    void free();
    Kind kind() const { return m_kind; }

    const QStringList &paramNames() const { return m_named.names; }
    int paramIndex(const QString &name) const;
    void setParam(int index, const QVariant &value);
    // False when the statement has no parameter of that name.
    bool setParam(const QString &name, const QVariant &value);
    void clearParams();

    // Runs the statement; a select opens its cursor, a procedure call fills its outputs.
    void execute();
    // Next row of an open cursor; false at the end (the cursor is then closed).
    bool fetch();
    void closeCursor();
    bool hasCursor() const { return m_cursorOpen; }

    // Fetching on a worker thread, so that a window stays live while the server looks for
    // rows: fetch() then hands out rows from blocks a worker thread reads (up to 1000 rows,
    // fewer once 50 ms have passed, at least one unless the rows end), and while a block is
    // read the wait runs on the calling thread. It gets the worker, finished once the block is
    // read, and a stop: the rows end there, the server call in progress is cancelled, and the
    // rows read so far are still handed out. Without a wait fetch() blocks.
    using FetchWait = std::function<void(QThread &worker, const std::function<void()> &stop)>;
    void setFetchWait(FetchWait wait) { m_fetchWait = std::move(wait); }
    // A block is being read: a fetch from within the wait is refused.
    bool isFetching() const { return m_fetching; }
    // The rows of the last execute were ended by a stop.
    bool wasStopped() const { return m_stopped; }

    int columnCount() const { return int(m_columns.size()); }
    const ColumnInfo &column(int index) const { return m_columns[size_t(index)]; }
    int columnIndex(const QString &name) const;
    // Value of a column of the current row (or of a procedure's output).
    QVariant value(int index) const;
    // Rows changed by the last insert, update or delete.
    int rowsAffected() const;

private:
    struct Buffer;
    bool fetchHere();
    void readBlock();
    void readRows();
    void stopFetching();
    // A column's value from its null indicator and its data as the client library lays them out.
    QVariant columnValue(int index, short indicator, const char *data) const;
    void describeOutput();
    void bindInput();
    QVariant readBlob(ISC_QUAD id, bool text) const;
    ISC_QUAD writeBlob(const QByteArray &data);

    Connection &m_connection;
    isc_stmt_handle m_handle = 0;
    Kind m_kind = Kind::Other;
    NamedSql m_named;
    std::vector<QVariant> m_paramValues;
    std::unique_ptr<XSQLDA, void (*)(void *)> m_in;
    std::unique_ptr<XSQLDA, void (*)(void *)> m_out;
    std::vector<std::vector<char>> m_inBuffers;
    std::vector<std::vector<char>> m_outBuffers;
    std::vector<short> m_inNull;
    std::vector<short> m_outNull;
    std::vector<ColumnInfo> m_columns;
    bool m_cursorOpen = false;

    FetchWait m_fetchWait;
    // Rows read ahead by the worker, as the client library gave them: per column its null
    // indicator, then its data (a text only as long as it is); decoded when handed out.
    QByteArray m_block;
    std::vector<qsizetype> m_blockRows; // where each row starts
    size_t m_nextRow = 0;
    std::vector<qsizetype> m_columnAt; // the current row's columns, when it came from a block
    bool m_rowFromBlock = false;
    bool m_blocksEnded = false; // the worker met the end of the rows, an error or a stop
    bool m_fetching = false;
    bool m_stopped = false;
    std::atomic<bool> m_stop {false};
    std::exception_ptr m_blockError; // raised once the rows before it are handed out
};
