#pragma once

#include "disk/uProgress.h"
#include <QObject>

#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class ContentWriter;
class Catalogue;
class StoredContent;
class QueryDataSet;
class SqlStatement;
class QWidget;

// Reads the volume in a drive into the current disk of dtDisk: label, serial number and size
// into the disk record, one content entry for the volume and one for every folder and file
// under it, depth first, with the progress dialog open until the walk ends. Read again in
// replace mode, the same volume (a root entry of the same text) is compared with its stored
// entries and only the differences are written: what stayed keeps its row and key.
class DiskReader : public QObject
{
    Q_OBJECT

public:
    enum class Mode { Replace, Add };
    enum class Outcome { Read, Declined };

    // editor's contents are disabled while the walk runs and its progress dialog is the
    // editor's child; dtContent writes the entries.
    DiskReader(Catalogue &data, ContentWriter &dtContent, QWidget *editor);
    ~DiskReader() override;

    // Empties the content tree once the old entries are gone (replace) or before new ones
    // come (add).
    std::function<void()> clearTree;

    // Declined when the user answered No to the duplicate question (nothing changed then).
    // A start folder that cannot be read, or a root entry too long for the catalogue, is
    // thrown before anything changes. A database error stops the read and is thrown once the
    // dialog is gone.
    Outcome read(const QString &drive, Mode mode);

    // The root entry's text: drive, ": ", label, ", ID=", serial.
    static QString rootText(const QString &drive, const QString &label, const QString &serial);
    // The names of the duplicate warning, built as the warning lists them.
    static QString duplicateNames(const QStringList &namesInQueryOrder);

    // Counters of the running (or last) read.
    qint64 capacity() const { return m_capacity; }
    qint64 foundBytes() const { return m_foundBytes; }
    int foundFiles() const { return m_foundFiles; }
    // The dialog of the running read; null outside a read.
    TfProgress *progress() const { return m_progress; }
    // What the last read could not read, and the names it stored with characters replaced.
    qint64 unreadFolders() const { return m_unreadFolders; }
    qint64 unreadEntries() const { return m_unreadEntries; }
    qint64 replacedNames() const;
    // Whether the user stopped the last read before the walk ended.
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
    void enableEditor(bool enabled);

    Catalogue &m_data;
    ContentWriter &dtContent;
    QWidget *m_editor;
    std::unique_ptr<QueryDataSet> dtCheckDisk;
    std::unique_ptr<SqlStatement> ibsDelContent;
    QPointer<TfProgress> m_progress;
    qint64 m_capacity = 0;
    qint64 m_foundBytes = 0;
    int m_foundFiles = 0;
    qint64 m_unreadFolders = 0;
    bool m_stopped = false;
    qint64 m_unreadEntries = 0;
    bool m_walkAhead = true;
    bool m_inPlace = true;
};
