#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class ContentWriter;
class Catalogue;
class StoredContent;
class QueryDataSet;
class SqlStatement;
class ReadWatch;

// Reads the volume in a drive into the current disk of dtDisk: label, serial number and size
// into the disk record, one content entry for the volume and one for every folder and file
// under it, depth first, the watch told of each file until the walk ends. Read again in
// replace mode, the same volume (a root entry of the same text) is compared with its stored
// entries and only the differences are written: what stayed keeps its row and key.
class DiskReader : public QObject
{
    Q_OBJECT

public:
    enum class Mode { Replace, Add };
    enum class Outcome { Read, Declined };

    // dtContent writes the entries; watch follows each read and may stop it.
    DiskReader(Catalogue &data, ContentWriter &dtContent, ReadWatch &watch);
    ~DiskReader() override;

    // Empties the content tree once the old entries are gone (replace) or before new ones
    // come (add).
    std::function<void()> clearTree;

    // Declined when the watch answered No to the duplicate question (nothing changed then).
    // A start folder that cannot be read, or a root entry too long for the catalogue, is
    // thrown before anything changes. A database error stops the read and is thrown once the
    // watch has ended.
    Outcome read(const QString &drive, Mode mode);

    // The root entry's text: drive, ": ", label, ", ID=", serial.
    static QString rootText(const QString &drive, const QString &label, const QString &serial);
    // The names of the duplicate warning, built as the warning lists them.
    static QString duplicateNames(const QStringList &namesInQueryOrder);

    // Counters of the running (or last) read.
    qint64 capacity() const { return m_capacity; }
    qint64 foundBytes() const { return m_foundBytes; }
    int foundFiles() const { return m_foundFiles; }
    // What the last read could not read, and the names it stored with characters replaced.
    qint64 unreadFolders() const { return m_unreadFolders; }
    qint64 unreadEntries() const { return m_unreadEntries; }
    qint64 replacedNames() const;
    // Whether the watch stopped the last read before the walk ended.
    bool wasStopped() const { return m_stopped; }
    // The message of a read that missed something ("Прочитано не всё: ..."); empty when the
    // counts are all 0.
    static QString incompleteText(qint64 folders, qint64 entries, qint64 names);
    // Said after a read the user stopped, and put before the disk's comment.
    static QString stoppedText(qint64 files);

    // Whether the drive is walked on a thread of its own (the default) or on this one.
    void setWalkAhead(bool walkAhead) { m_walkAhead = walkAhead; }
    // Whether replace mode writes only the differences from the stored entries (the default)
    // or removes them all and writes every entry anew; tests and benchmarks compare both.
    void setInPlace(bool inPlace) { m_inPlace = inPlace; }

Q_SIGNALS:
    // An entry was taken into the read (after the root entry: 1, 2, ...); it is stored with the
    // next entries, or when the walk stops or ends. Tests stop reads here.
    void entryWritten(qint64 entries);

private:
    bool confirmDuplicates(const QString &serial);
    static QString startFolder(const QString &drive);
    int sameVolumeRoot(int diskId, const QString &root);
    void removeContents(int diskId);
    void walk(const QString &drive, const QString &start, int rootKey, int storedRoot,
              StoredContent *stored);

    Catalogue &m_data;
    ContentWriter &dtContent;
    ReadWatch &m_watch;
    std::unique_ptr<QueryDataSet> dtCheckDisk;
    std::unique_ptr<SqlStatement> ibsDelContent;
    qint64 m_capacity = 0;
    qint64 m_foundBytes = 0;
    int m_foundFiles = 0;
    qint64 m_unreadFolders = 0;
    bool m_stopped = false;
    qint64 m_unreadEntries = 0;
    bool m_walkAhead = true;
    bool m_inPlace = true;
};
