#pragma once

#include "store/FieldType.h"

#include <ibase.h>

#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

class Connection;

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

    int columnCount() const { return int(m_columns.size()); }
    const ColumnInfo &column(int index) const { return m_columns[size_t(index)]; }
    int columnIndex(const QString &name) const;
    // Value of a column of the current row (or of a procedure's output).
    QVariant value(int index) const;
    // Rows changed by the last insert, update or delete.
    int rowsAffected() const;

private:
    struct Buffer;
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
};
