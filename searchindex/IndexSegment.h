#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

// One file of the search index: content entries sorted by disk and key, each with its parent,
// the few root entries listed apart, and the folded names one per line, the way grep reads a
// file: an entry is found from a hit by counting lines from its disk's first name. Written
// once, then only mapped into memory and read, from any thread.
class IndexSegment
{
public:
    struct Entry
    {
        qint32 key = 0;
        qint32 disk = 0;
        qint32 parent = NoParent;
        bool root = false;
        QByteArray folded;
    };
    static constexpr qint32 NoParent = INT32_MIN;

    // Entries gathered column by column, in any order: millions of them cost little more
    // than their names.
    struct Batch
    {
        std::vector<qint32> keys;
        std::vector<qint32> disks;
        std::vector<qint32> parents;
        std::vector<quint8> roots;
        std::vector<quint64> nameAt; // where each name starts in names
        QByteArray names;

        void add(const Entry &e);
        size_t size() const { return keys.size(); }
        bool empty() const { return keys.empty(); }
    };

    // Writes a batch (sorted here by disk and key) to path; false with error set when it
    // cannot.
    static bool write(const QString &path, const Batch &batch, QString *error);
    // Maps a written file; null when it is missing, not one of ours, or fails its checksum or
    // its checks of order and bounds.
    static std::unique_ptr<IndexSegment> open(const QString &path);

    const QString &path() const { return m_path; }
    quint32 entryCount() const { return m_entries; }
    quint32 diskCount() const { return m_disks; }
    qint64 fileSize() const { return m_size; }

    // The entries of a disk, [first, last), and their names' bytes, [begin, end).
    struct Range
    {
        quint32 first = 0;
        quint32 last = 0;
        quint64 begin = 0;
        quint64 end = 0;
        bool isEmpty() const { return first == last; }
    };
    Range rangeOf(qint32 disk) const;
    qint32 diskAt(quint32 index) const { return m_diskKeys[index]; }
    Range rangeAt(quint32 diskIndex) const
    {
        return {m_diskFirst[diskIndex], m_diskFirst[diskIndex + 1], m_diskNames[diskIndex],
                m_diskNames[diskIndex + 1]};
    }

    qint32 key(quint32 entry) const { return m_keys[entry]; }
    qint32 parent(quint32 entry) const { return m_parents[entry]; }
    bool isRoot(quint32 entry) const;
    // The folded name of the range's last entry.
    QByteArray lastName(Range range) const;
    // The entry of the disk range with this key, or -1.
    qint64 find(Range range, qint32 key) const;

    // Appends to hits the entries of range whose folded name holds needle (not empty), in key
    // order; root entries only when asked for.
    void scan(Range range, const QByteArray &needle, std::vector<quint32> &hits,
              bool roots = false) const;

private:
    IndexSegment() = default;
    bool isSound(quint64 namesBytes) const;

    QString m_path;
    QFile m_file;
    qint64 m_size = 0;
    quint32 m_entries = 0;
    quint32 m_disks = 0;
    quint32 m_rootCount = 0;
    const qint32 *m_diskKeys = nullptr;
    const quint32 *m_diskFirst = nullptr;
    const quint64 *m_diskNames = nullptr;
    const qint32 *m_keys = nullptr;
    const qint32 *m_parents = nullptr;
    const quint32 *m_roots = nullptr; // sorted entry numbers
    const char *m_names = nullptr;
};
