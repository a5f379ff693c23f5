#pragma once

#include "searchindex/ContentIndex.h"
#include "searchindex/DiskOrder.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <deque>
#include <memory>
#include <vector>

class Connection;
class Statement;

// The rows of FIND(:VCONTENT, :VDISK) for a file text, answered from the index: the disks
// in FIND's order (read from the server when they changed), their matching entries from the index
// (scanned on every core, a growing batch of disks at a time), and each row's name, date, size and
// the names on its path from the server by key, a block of rows at a time.
class IndexedFind
{
public:
    // FIND's outputs, in its order.
    enum Column {
        FFOLDERID,
        FDISKID,
        FFOLDERFULL,
        FDISK,
        FDISKCOMMENT,
        FDISKDATE,
        FCONTENTFULL,
        FCONTENTDATE,
        FCONTENTSIZE,
        ColumnCount
    };
    static QString columnName(int column);
    // Longest disk text FIND takes (a disk's name is no longer).
    static constexpr int MaxDiskText = 255;

    // Whether the index answers these texts as FIND would (FIND with an empty or blank file
    // text lists disks only, and refuses overlong ones; spaces at either end are left to the
    // server, which may pad or trim them).
    static bool canAnswer(const QString &content, const QString &disk = QString());

    // Brings the disks up to date at once; the connection's transaction must run, and the
    // index must stay as it is while rows are read.
    IndexedFind(Connection &connection, const ContentIndex &index, DiskOrder &disks,
                const QString &content, const QString &disk);
    ~IndexedFind();

    // The next row into row (ColumnCount values); false after the last.
    bool next(std::vector<QVariant> &row);

private:
    using Disk = DiskOrder::Disk;
    struct Match
    {
        int disk = 0; // index into m_disks
        ContentIndex::Ref ref;
    };
    struct Detail
    {
        QString name;
        QVariant date;
        QVariant size;
    };
    bool scanMore();
    bool fillBlock();
    std::vector<qint32> pathKeys(qint32 disk, ContentIndex::Ref ref) const;
    void fetchDetails(const std::vector<qint32> &keys);

    Connection &m_connection;
    const ContentIndex &m_index;
    std::unique_ptr<Statement> m_byKey;
    QByteArray m_needle;
    std::vector<Disk> m_disks;
    size_t m_scanned = 0; // disks scanned so far
    size_t m_batch = 4;
    std::deque<Match> m_matches; // found, not yet made rows
    std::deque<std::vector<QVariant>> m_rows; // made, not yet handed out
    QHash<qint32, Detail> m_details;
    int m_block = 64;
};
