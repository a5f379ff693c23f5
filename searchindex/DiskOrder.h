#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <vector>

class Connection;

// The disks as FIND selects and orders them (by folder path, number, name and key), with the
// columns FIND gives for each. Read again only when a disk or folder changed: one cheap query
// over both tables (counts, sums of keys and record versions, newest record version) tells.
// What was read is kept in a file beside the index too, so that the first search of the next
// session reads it there while nothing changed.
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

    // Where the order is kept between sessions (the index's folder); empty: nowhere.
    void setFolder(const QString &folder) { m_folder = folder; }
    const QString &folder() const { return m_folder; }
    static QString fileName() { return QStringLiteral("disks"); }

    // How the last refresh came by the disks.
    enum class Source { Kept, File, Server };

    // Reads the disks when they may have changed; the connection's transaction must run.
    void refresh(Connection &connection);
    const std::vector<Disk> &disks() const { return m_disks; }
    Source lastSource() const { return m_source; }
    // Drops what was read: the next refresh reads anew (from the file when it is current).
    void forget() { m_stamp.clear(); }

private:
    void readFromServer(Connection &connection);
    bool loadFile(const QString &identity, const QList<qint64> &stamp);
    void saveFile(const QString &identity) const;

    QString m_folder;
    QList<qint64> m_stamp;
    std::vector<Disk> m_disks;
    Source m_source = Source::Server;
};
