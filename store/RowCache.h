#pragma once

#include <QVariant>
#include <functional>
#include <vector>

// The rows a dataset has read from its cursor so far, read further on demand and kept until
// the cursor is replaced. Every change is told to the observer twice: before it happens, while
// every row is still where it was, and after it. Rows read but not yet told of are not part of
// the cache: size() and row() do not see them.
class RowCache
{
public:
    using Row = std::vector<QVariant>;
    // Reads the cursor's next row into row; false at its end.
    using Reader = std::function<bool(Row &row)>;

    struct Change
    {
        enum class Kind { Fetch, Insert, Remove, Move };
        Kind kind;
        // Fetch, Insert, Remove: the rows first to last. Move: one row, from first to last.
        int first;
        int last;
    };
    enum class Phase { Before, After };
    // Must not throw, and must not change the cache while it is told of a change.
    using Observer = std::function<void(const Change &change, Phase phase)>;

    // Rows read as one block, and the step the storage grows by.
    static constexpr int BlockSize = 1000;

    explicit RowCache(Observer observer);

    // Drops every row and reads up to firstRows rows from a new cursor, all untold: a cursor
    // replaced is a change as a whole, which the owner tells.
    void restart(Reader reader, int firstRows);
    // Drops every row and the cursor, untold.
    void clear();
    // Reads no further: the cursor has been closed.
    void stopReading();

    int size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    const Row &row(int index) const { return m_rows[size_t(index)]; }
    // For writing the values of a row; its place does not change.
    Row &row(int index) { return m_rows[size_t(index)]; }

    // The cursor may still have rows.
    bool canFetch() const { return bool(m_reader) && !m_atEnd; }
    // Reads up to count rows; rows read are told as one block, also when reading fails.
    // Returns how many were read.
    int fetch(int count);
    int fetchAll();
    // Reads until row index is there; false when the cursor ends first.
    bool ensure(int index);
    // Reads row after row until one matches, then tells every row read at once: a search
    // through 100,000 rows costs one notification. The matching row, or -1 at the end.
    int fetchUntil(const std::function<bool(const Row &)> &match);

    void insert(int index, Row row);
    void erase(int index);
    // The row at from ends at to; the rows between close up.
    void move(int from, int to);

private:
    bool readRow();
    int announceRead();
    void tell(const Change &change, Phase phase) const;

    Observer m_observer;
    Reader m_reader;
    // Rows [0, m_size) are the cache; rows behind them are read but not yet told of.
    std::vector<Row> m_rows;
    int m_size = 0;
    bool m_atEnd = false;
};
