#pragma once

#include "store/Connection.h"
#include "store/Field.h"
#include "store/RowCache.h"
#include "store/Statement.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

// A dataset over a select statement (dtFolder, dtDisk, dtGive, ...): rows fetched on demand,
// a current row, insert/edit/post/cancel/delete through its own statements, an optional
// generator key and an optional master dataset whose current row feeds its parameters.
class QueryDataSet : public QObject, public ConnectionClient
{
    Q_OBJECT

public:
    enum class State { Inactive, Browse, Edit, Insert };
    using Handler = std::function<void(QueryDataSet &)>;

    QueryDataSet(Connection &connection, const QString &name, QObject *parent = nullptr);
    ~QueryDataSet() override;

    const QString &name() const { return m_name; }
    Connection &connection() const { return m_connection; }

    // Statements. The select is a list of lines, rewritten only while closed.
    const QStringList &selectSql() const { return m_selectSql; }
    void setSelectSql(const QStringList &lines);
    void setInsertSql(const QString &sql) { m_insertSql = sql; }
    void setModifySql(const QString &sql) { m_modifySql = sql; }
    void setDeleteSql(const QString &sql) { m_deleteSql = sql; }
    // A new row draws this field from the generator (name as the server spells it).
    void setGeneratorField(const QString &field,
                           const QString &generator = QStringLiteral("SQ_MAIN"));
    void setMasterSource(QueryDataSet *master);
    QueryDataSet *masterSource() const { return m_master; }

    // Program-set parameters of the select.
    void setParam(const QString &name, const QVariant &value);
    QVariant param(const QString &name) const;

    // Fixed field list; without one the fields are built from the select's columns on open.
    void addField(const FieldDef &def);
    void addLookupField(const QString &name, int size, const QString &keyField,
                        QueryDataSet *lookup, const QString &lookupKeyField,
                        const QString &lookupResultField);
    int fieldCount() const { return int(m_fields.size()); }
    Field &field(int index) const { return *m_fields[size_t(index)]; }
    Field &fieldByName(const QString &name) const;
    Field *findField(const QString &name) const;

    // Notifications the program handles; they run in the layer's call and may throw.
    Handler beforeInsert;
    Handler afterInsert;
    Handler afterScroll;
    Handler afterClose;
    Handler afterOpen;

    // Rows fetched on a worker thread while this waits, from the next open on (see
    // Statement::FetchWait); without one a fetch blocks until the server has the rows.
    void setFetchWait(Statement::FetchWait wait) { m_fetchWait = std::move(wait); }

    // Rows from a reader of the program's own instead of the select, which is then prepared
    // for its fields only; each open and refresh asks the source for a new reader, which fills
    // a row sized to the fields. Null: the select's own rows again.
    using RowSource = std::function<RowCache::Reader()>;
    void setRowSource(RowSource source) { m_rowSource = std::move(source); }

    void open();
    void close();
    bool isOpen() const { return m_state != State::Inactive; }
    State state() const { return m_state; }
    bool isEmpty() const;

    // Navigation (each runs the browse-mode check first).
    void first();
    void next();
    void prior();
    void last();
    void moveTo(int row);
    bool eof() const;
    bool bof() const;
    int currentRow() const { return m_current; }
    bool locate(const QString &field, qint64 value);
    bool locateNext(const QString &field, qint64 value);

    // Editing.
    void insert();
    void edit();
    void post();
    void cancel();
    void remove();
    void checkBrowseMode();
    bool isModified() const { return m_modified; }
    void refresh();

    // Rows fetched so far, and fetching further in blocks.
    int fetchedCount() const { return m_cache.size(); }
    bool canFetchMore() const;
    void fetchMore();
    void fetchAll();
    QVariant value(int row, int fieldIndex) const;
    QVariant currentValue(int fieldIndex) const;
    void setCurrentValue(int fieldIndex, const QVariant &value);

    // Freezes view notifications; the last enable sends one reset.
    void disableControls();
    void enableControls();

    void connectionClosing() override;
    bool holdsTransaction() const override { return isOpen(); }

Q_SIGNALS:
    // For views: whole content changed, rows appended by fetching, one row changed,
    // inserted, removed or moved, the current row moved, the state changed.
    void dataReset();
    void rowsFetched(int first, int last);
    void rowChanged(int row);
    void rowInserted(int row);
    void rowRemoved(int row);
    void rowMoved(int from, int to);
    // The same changes told before they happen, while every row is still where it was: a
    // view brackets each change between the two.
    void rowsAboutToBeFetched(int first, int last);
    void rowAboutToBeInserted(int row);
    void rowAboutToBeRemoved(int row);
    void rowAboutToBeMoved(int from, int to);
    void currentRowChanged(int row);
    void stateChanged();
    // The rows changed as a whole: a row was started, edited, posted, cancelled or deleted.
    void dataSetChanged();
    // A field of the current row was written.
    void fieldChanged(int fieldIndex);
    // Posting stopped at an empty required field: its control should take the focus.
    void focusFieldRequested(const QString &fieldName);

protected:
    // Table datasets build their statements here: before the select is prepared, and once
    // its fields are known.
    virtual void prepareStatements() { }
    virtual void fieldsBuilt() { }
    // The fields that identify a row again after a refresh.
    virtual QStringList keyFields() const;
    [[noreturn]] void fail(const QString &text) const;

private:
    using Row = RowCache::Row;
    friend class Field;

    void requireOpen() const;
    void openCursor();
    void closeCursor();
    void buildFields();
    bool readRow(Row &row) const;
    void tellCacheChange(const RowCache::Change &change, RowCache::Phase phase);
    // The first row from row on whose field holds value, fetching as far as needed; -1 if none.
    int findFrom(int row, int fieldIndex, qint64 value);
    void setCurrent(int row, bool notify = true);
    void scrolled();
    void masterChanged();
    void detailsCheckBrowseMode();
    void notifyDetails();
    void bindMasterParams();
    void runWrite(const QString &sql, std::unique_ptr<Statement> &stmt, const Row &row,
                  const Row &original);
    QVariant lookupValue(const Field &field, const Row &row) const;
    QVariant valueOf(const Row &row, int fieldIndex) const;
    void setState(State state);
    bool controlsEnabled() const { return m_disabled == 0; }
    void discard();

    Connection &m_connection;
    QString m_name;
    QStringList m_selectSql;
    QString m_insertSql;
    QString m_modifySql;
    QString m_deleteSql;
    QString m_generatorField;
    QString m_generator;
    QueryDataSet *m_master = nullptr;
    std::vector<QueryDataSet *> m_details;
    std::vector<std::pair<QString, QVariant>> m_params;

    bool m_fixedFields = false;
    std::vector<std::unique_ptr<Field>> m_fields;
    std::vector<int> m_columnOfField; // select column of each field, -1 for lookups

    Statement::FetchWait m_fetchWait;
    RowSource m_rowSource;
    std::unique_ptr<Statement> m_select;
    std::unique_ptr<Statement> m_insert;
    std::unique_ptr<Statement> m_modify;
    std::unique_ptr<Statement> m_delete;
    std::unique_ptr<Statement> m_generatorStmt;

    State m_state = State::Inactive;
    RowCache m_cache;
    Row m_original; // the row as it was before edit
    int m_current = -1;
    bool m_eof = false;
    bool m_bof = false;
    bool m_modified = false;
    int m_disabled = 0;
    int m_holdDetails = 0;
    bool m_detailsPending = false;
};
