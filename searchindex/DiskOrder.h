#pragma once

#include <QByteArray>
#include <QList>
#include <QVariant>
#include <vector>

class Connection;

// The disks as FIND selects and orders them (by folder path, number, name and key), with the
// columns FIND gives for each. Read again only when a disk or folder changed: one cheap query
// over both tables (count, sum of keys and newest record version) tells.
class DiskOrder
{
public:
    struct Disk
    {
        qint32 key = 0;
        QByteArray folded; // the name as CONTAINING compares it
        // FFOLDERID, FDISKID, FFOLDERFULL, FDISK, FDISKCOMMENT, FDISKDATE
        QVariant values[6];
    };

    // Reads the disks when they may have changed; the connection's transaction must run.
    void refresh(Connection &connection);
    const std::vector<Disk> &disks() const { return m_disks; }
    // Drops what was read: the next refresh reads anew.
    void forget() { m_stamp.clear(); }

private:
    QList<qint64> m_stamp;
    std::vector<Disk> m_disks;
};
