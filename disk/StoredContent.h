#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <condition_variable>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

class Connection;
class QElapsedTimer;

// The entries a disk holds in the catalogue, read while the disk is read again in place: for
// each its key, parent, type, size, date and a hash of its name (some 40 bytes an entry; the
// names themselves are not kept), found by parent and name as the walk meets them. What the
// walk does not meet is gone from the volume. The entries are read on a thread and an
// attachment of their own while the walk goes on: the stored order is mostly the order the
// walk met the entries before, so an entry looked for has mostly come already, and only an
// entry that is not there waits for the rest.
class StoredContent
{
public:
    struct Entry
    {
        quint64 nameHash = 0;
        double size = 0;
        qint32 key = 0;
        qint32 owner = 0; // 0: a root entry
        qint32 day = 0; // Julian day of the date, or NoDay
        qint32 msecs = 0; // time of the day
        qint8 type = -1; // -1: none stored
        bool met = false;
    };
    static constexpr qint32 NoDay = std::numeric_limits<qint32>::min();

    // The root entries of a disk, key and text, in key order.
    static QList<std::pair<int, QString>> roots(Connection &connection, int diskId);

    StoredContent();
    // Stops the reading, if it still runs, and waits for its thread.
    ~StoredContent();
    StoredContent(const StoredContent &) = delete;
    StoredContent &operator=(const StoredContent &) = delete;

    // Starts reading every entry of the disk on an attachment of its own to the catalogue
    // connection is attached to (its name and parameters), in a snapshot of its own taken
    // before this returns.
    void start(Connection &connection, int diskId);
    // Called about every few milliseconds while the window's thread waits for entries.
    void setWaiting(std::function<void()> waiting) { m_waiting = std::move(waiting); }
    // Waits until every entry has come. An error of the reading is thrown here, as by meet().
    void finish();
    // Entries come so far.
    qsizetype size() const { return m_count; }

    // The first entry under owner with this name (as stored) that was not met yet, now met;
    // null when there is none. Root entries are found by meetRoot() only.
    Entry *meet(int owner, QStringView name);
    // Marks the root entry with this key met.
    void meetRoot(int key);
    // Whether the entry holds these values of the walk.
    static bool holds(const Entry &entry, int type, qint64 size, const QDateTime &date);

    // The keys of the entries not met, in the order read; finish() first.
    void forEachUnmet(const std::function<void(int key)> &take) const;
    // The memory the entries and their lookup take.
    qint64 bytes() const;

private:
    static constexpr int ChunkBits = 16;
    static constexpr quint32 ChunkSize = 1u << ChunkBits;
    using Chunk = std::unique_ptr<Entry[]>;

    void run(const QString &databaseName, const QStringList &params, int diskId);
    // Takes the chunks read so far into the lookup; with wait, first waits a few milliseconds
    // for one to come. False once every entry was taken.
    bool absorb(bool wait);
    Entry *find(qint32 owner, quint64 hash);
    // Lets the window's thread look at its events while it waits.
    void waitingFor(QElapsedTimer &waited);
    void insert(quint32 index);
    Entry &at(quint32 i) { return m_chunks[i >> ChunkBits][i & ((1u << ChunkBits) - 1)]; }
    const Entry &at(quint32 i) const
    {
        return m_chunks[i >> ChunkBits][i & ((1u << ChunkBits) - 1)];
    }
    quint64 nameHash(QStringView name) const;
    static quint64 slotHash(qint32 owner, quint64 nameHash);

    // Fixed chunks rather than one growing array: no copy, and no second array beside the
    // first while it grows. The reading's thread hands a chunk over as it starts it, and its
    // entries a few hundred at a time once written: it never writes an entry handed over.
    std::vector<Chunk> m_chunks;
    qsizetype m_count = 0;
    std::vector<quint32> m_roots;
    std::vector<int> m_metRoots; // met before the root entry came
    std::vector<quint32> m_slots; // open addressing: entry index + 1, 0 for a free slot
    size_t m_used = 0;
    const quint64 m_seed;
    std::function<void()> m_waiting;

    // Shared with the reading's thread.
    std::mutex m_mutex;
    std::condition_variable m_came;
    std::vector<std::pair<Chunk, quint32>> m_ready; // a chunk started, or a count of entries
    bool m_begun = false;
    bool m_done = false;
    bool m_stop = false;
    std::exception_ptr m_error;
    Connection *m_reading = nullptr; // the reading's attachment, to cancel its call
    std::thread m_thread;
};
