#pragma once

#include "store/Connection.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <memory>

class Statement;
class StoredProc;

// dtContent of the disk editor: writes the entries of a read into TCONTENT. Each entry takes
// one key from GETNEXTID and one insert; both statements are prepared once per open and
// re-executed. Written rows are not kept, so a read of a million entries needs no more
// memory than one of ten.
class ContentWriter : public QObject, public ConnectionClient
{
    Q_OBJECT

public:
    enum EntryType { File = 0, Directory = 1, Root = 2 };

    ContentWriter(Connection &connection, StoredProc &nextId, const QString &name,
                  QObject *parent = nullptr);
    ~ContentWriter() override;

    // Starts writing entries of a disk (starting the transaction when none runs).
    void open(int diskId);
    void close();
    bool isOpen() const { return m_insert != nullptr; }
    int diskId() const { return m_diskId; }

    // Inserts one entry under the entry owner (0: none, a root entry) and returns its key. The
    // name is stored as storable() makes it.
    int append(int owner, EntryType type, const QString &name, qint64 size, const QDateTime &date);

    // Reads the length and character set of the column FCONTENT from the catalogue, once per
    // read: older catalogues keep names in WIN1251. Starts the count of replaced names anew.
    void describeColumn();
    // The characters FCONTENT holds; 0 when not known.
    int columnLength() const { return m_columnLength; }
    // The name as the column can hold it: every character its character set lacks becomes "?".
    QString storable(const QString &name, bool *replaced = nullptr) const;
    // Names stored with characters replaced since describeColumn().
    qint64 replacedNames() const { return m_replacedNames; }

    void connectionClosing() override;
    bool holdsTransaction() const override { return isOpen(); }

private:
    Connection &m_connection;
    StoredProc &m_nextId;
    std::unique_ptr<Statement> m_insert;
    int m_diskId = 0;
    int m_content = -1;
    int m_key = -1;
    int m_date = -1;
    int m_disk = -1;
    int m_owner = -1;
    int m_size = -1;
    int m_type = -1;
    int m_columnLength = 0;
    bool m_win1251 = false;
    qint64 m_replacedNames = 0;
};
