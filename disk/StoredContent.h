#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

class Connection;

// The entries a disk holds in the catalogue, read before the disk is read again in place: for
// each its key, parent, type, size, date and a hash of its name (some 40 bytes an entry; the
// names themselves are not kept), found by parent and name as the walk meets them. What the
// walk does not meet is gone from the volume.
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
    ~StoredContent();
    StoredContent(const StoredContent &) = delete;
    StoredContent &operator=(const StoredContent &) = delete;

    // Reads every entry of the disk on the connection's running transaction. goOn is asked
    // every few thousand rows: when it says false the reading stops and false comes back.
    bool load(Connection &connection, int diskId, const std::function<bool()> &goOn);
    qsizetype size() const { return m_count; }

    // The first entry under owner with this name (as stored) that was not met yet, now met;
    // null when there is none. Root entries are found by meetRoot() only.
    Entry *meet(int owner, QStringView name);
    // Marks the root entry with this key met.
    void meetRoot(int key);
    // Whether the entry holds these values of the walk.
    static bool holds(const Entry &entry, int type, qint64 size, const QDateTime &date);

    // The keys of the entries not met, in the order read.
    void forEachUnmet(const std::function<void(int key)> &take) const;
    // The memory the entries and their lookup take.
    qint64 bytes() const;

private:
    static constexpr int ChunkBits = 16;
    Entry &at(quint32 i) { return m_chunks[i >> ChunkBits][i & ((1u << ChunkBits) - 1)]; }
    const Entry &at(quint32 i) const
    {
        return m_chunks[i >> ChunkBits][i & ((1u << ChunkBits) - 1)];
    }
    quint64 nameHash(QStringView name) const;
    static quint64 slotHash(qint32 owner, quint64 nameHash);
    void buildLookup();

    // Fixed chunks rather than one growing array: no copy, and no second array beside the
    // first while it grows.
    std::vector<std::unique_ptr<Entry[]>> m_chunks;
    qsizetype m_count = 0;
    std::vector<quint32> m_roots;
    std::vector<quint32> m_slots; // open addressing: entry index + 1, 0 for a free slot
    quint64 m_seed = 0;
};
