#pragma once

#include "store/Connection.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class Statement;
class StoredProc;

// dtContent of the disk editor: writes the entries of a read into TCONTENT. Keys come from
// SQ_MAIN in ranges drawn as they are needed, so they still ascend in writing order and stay
// unique across workstations; entries are inserted, changed and removed several at a time by
// one prepared block of statements per kind of change. Written rows are not kept, so a read
// of a million entries needs no more memory than one of ten.
class ContentWriter : public QObject, public ConnectionClient
{
    Q_OBJECT

public:
    enum EntryType { File = 0, Directory = 1, Root = 2 };

    // How entries reach the catalogue. One key per draw is a call of GETNEXTID for every
    // entry; one row per call is one insert per entry.
    struct Tuning
    {
        int maxKeysPerDraw = 4096; // draws start at 16 keys and double up to this
        int rowsPerCall = 32;
    };

    ContentWriter(Connection &connection, StoredProc &nextId, const QString &name,
                  QObject *parent = nullptr);
    ~ContentWriter() override;

    void setTuning(const Tuning &tuning) { m_tuning = tuning; }
    const Tuning &tuning() const { return m_tuning; }

    // Starts writing entries of a disk (starting the transaction when none runs).
    void open(int diskId);
    // Rows not yet written by flush() are dropped: a read that failed keeps what it wrote.
    void close();
    bool isOpen() const { return m_inserts.single != nullptr; }
    int diskId() const { return m_diskId; }

    // Takes one entry under the entry owner (0: none, a root entry) and returns its key. The
    // name is stored as storable() makes it. The row is inserted with the next rows of a call,
    // at the latest by flush().
    int append(int owner, EntryType type, const QString &name, qint64 size, const QDateTime &date);
    // Takes new values for the stored entry key, written as append() writes; its name stays.
    void update(int key, int owner, EntryType type, qint64 size, const QDateTime &date);
    // Takes the stored entry key for removal (its entries are not removed with it).
    void remove(int key);
    // Puts the entries under the entry from under the entry to, at once.
    void adopt(int from, int to);
    // An entry that stays as it was stored: counted among the replaced names when its name
    // is one, as if it had been written anew.
    void keep(bool replacedName)
    {
        if (replacedName)
            ++m_replacedNames;
    }
    // Writes the changes taken and not yet written: inserts in the order taken, then updates,
    // then removals. When one of them is refused, those of its kind before it are stored, the
    // others dropped, and the error is thrown.
    void flush();
    // Changes taken and not yet written.
    qsizetype pending() const;

    // Reads the length and character set of the column FCONTENT from the catalogue, once per
    // read: older catalogues keep names in WIN1251. Starts the count of replaced names anew.
    void describeColumn();
    // The characters FCONTENT holds; 0 when not known.
    int columnLength() const { return m_columnLength; }
    // The name as the column can hold it: every character its character set lacks becomes "?".
    QString storable(const QString &name, bool *replaced = nullptr) const;
    // Names stored with characters replaced since describeColumn().
    qint64 replacedNames() const { return m_replacedNames; }

    void connectionClosing() override;
    bool holdsTransaction() const override { return isOpen(); }

protected:
    enum class Change { Insert, Update, Remove };
    // The statement writing rows changes of one kind in one call: the plain statement for one
    // row, else one block whose parameters have the columns' own types, so that each value is
    // converted exactly as the plain statement converts it. Benchmarks put variants in place.
    virtual QString changeSql(Change change, int rows) const;
    // That statement on table, with the name's parameters of type nameType (empty: the
    // column's own).
    static QString changeSql(Change change, int rows, const QString &table,
                             const QString &nameType);

private:
    struct Row
    {
        QString text;
        int key = 0;
        QDateTime date;
        int owner = 0;
        qint64 size = 0;
        int type = 0;
        bool replaced = false;
    };
    // The parameters of one row in a statement.
    struct Slots
    {
        int content = -1;
        int key = -1;
        int date = -1;
        int disk = -1;
        int owner = -1;
        int size = -1;
        int type = -1;
    };
    // The statements of one kind of change and the rows waiting for them.
    struct Batch
    {
        Change change = Change::Insert;
        std::unique_ptr<Statement> single;
        std::unique_ptr<Statement> block; // rowsPerCall rows in one call
        Slots row;
        std::vector<Slots> blockRows;
        std::vector<Row> pending;
    };
    void throwIfClosed() const;
    int nextKey();
    void prepare(Batch &batch);
    void take(Batch &batch, Row &&row);
    void bind(Statement &statement, const Slots &slots, const Row &row);
    void writeRows(Batch &batch, size_t from, size_t count);
    void flush(Batch &batch);
    void release();

    Connection &m_connection;
    StoredProc &m_nextId;
    Tuning m_tuning;
    Batch m_inserts {Change::Insert, {}, {}, {}, {}, {}};
    Batch m_updates {Change::Update, {}, {}, {}, {}, {}};
    Batch m_removals {Change::Remove, {}, {}, {}, {}, {}};
    std::unique_ptr<Statement> m_adopt;
    std::unique_ptr<Statement> m_draw; // a range of keys from SQ_MAIN
    int m_drawSize = 0;
    int m_keyNext = 0; // the rest of the range drawn: m_keyNext to m_keyLast
    int m_keyLast = -1;
    int m_diskId = 0;
    int m_columnLength = 0;
    bool m_win1251 = false;
    qint64 m_replacedNames = 0;
};
