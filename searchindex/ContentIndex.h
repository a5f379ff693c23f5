#pragma once

#include "searchindex/IndexSegment.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class Connection;
class Statement;

// The search index of one catalogue, kept in a folder of the user's cache: every content
// entry's folded name, key, disk and parent in segment files, and a state file that says up
// to where the entries were fetched. A first build fetches every entry; an update fetches the
// entries with keys above those known, refetches a disk whose root entries vanished (its
// contents were replaced) and drops disks that are gone. Reading is safe from any thread
// while nothing updates.
class ContentIndex
{
public:
    explicit ContentIndex(const QString &folder);
    ~ContentIndex();
    ContentIndex(const ContentIndex &) = delete;
    ContentIndex &operator=(const ContentIndex &) = delete;

    const QString &folder() const { return m_folder; }
    // Reads the state and maps the segments of an earlier build; false when there is none
    // usable.
    bool load();
    bool isBuilt() const { return m_built; }

    enum class Update {
        Current, // nothing had changed
        Updated, // new entries or disks were taken in
        TooFar, // more entries than allowed would have to be fetched, or another program is
                // writing the index: nothing was changed
        Foreign // another catalogue, or the same one restored: only a new build helps
    };
    // Brings a built index up to what connection's transaction sees, fetching at most about
    // maxRows entries (0: no limit).
    Update update(Connection &connection, qint64 maxRows);
    // Builds anew from everything connection's transaction sees.
    void build(Connection &connection);

    // An entry of one segment.
    struct Ref
    {
        quint32 segment = 0;
        quint32 entry = 0;
    };
    // The entries of a disk whose folded name holds needle, by key; root entries only when
    // asked for (FIND leaves them out, the search within one disk does not).
    std::vector<Ref> scanDisk(qint32 disk, const QByteArray &needle, bool roots = false) const;
    // The entry of a disk with this key.
    bool findEntry(qint32 disk, qint32 key, Ref *ref) const;
    qint32 key(Ref r) const { return m_segments[r.segment]->key(r.entry); }
    qint32 parent(Ref r) const { return m_segments[r.segment]->parent(r.entry); }
    bool isRoot(Ref r) const { return m_segments[r.segment]->isRoot(r.entry); }

    qint64 entryCount() const;
    qint64 fileBytes() const;
    int segmentCount() const { return int(m_segments.size()); }

    // Runs of keys at or below the generator's value that no entry was seen with yet: another
    // workstation may still commit entries with them, however late. The oldest runs beyond
    // this many are given up.
    static constexpr int MaxHoles = 1024;
    // Entries a build puts in one file: the memory a build takes stays bounded.
    static constexpr size_t EntriesPerFile = 4000000;

private:
    struct SegmentState
    {
        QString file;
        QSet<qint32> masked; // disks whose entries here are stale
    };
    // Keys [first, last] not seen in the catalogue.
    struct Hole
    {
        qint64 first = 0;
        qint64 last = 0;
    };
    bool readState(const QByteArray &bytes);
    bool saveState(QString *error) const;
    void clear();
    bool isKnown(qint32 disk, qint32 key) const;
    QList<qint32> rootKeys(qint32 disk) const;
    // Calls visit(segment number, segment, the disk's range there) for each segment holding
    // current entries of the disk, in segment order, until visit returns false.
    template<typename Visit> void forEachPart(qint32 disk, Visit visit) const;
    void mask(qint32 disk);
    bool addSegment(const IndexSegment::Batch &batch);
    void identify(Connection &connection, qint64 *generator, QString *stamp) const;
    bool wentBack(Connection &connection, const QList<qint32> &disks) const;
    // Passes the entries that came into the holes to take; false when there are more than
    // maxRows (0: no limit), and then the holes stay as they were.
    bool fetchHoles(Connection &connection, qint64 maxRows,
                    const std::function<void(const Statement &)> &take);
    void addHoles(qint64 above, qint64 upTo, std::vector<qint64> seen, const QList<qint32> &disks);

    QString m_folder;
    bool m_built = false;
    QString m_stamp;
    qint64 m_generator = 0;
    std::vector<Hole> m_holes; // by key
    QList<qint32> m_disks; // sorted: every disk of the catalogue at the last update
    std::vector<SegmentState> m_states;
    std::vector<std::unique_ptr<IndexSegment>> m_segments;
    int m_nextSegment = 1;
};
