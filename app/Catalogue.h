#pragma once

#include "searchindex/SearchIndex.h"
#include "store/Connection.h"
#include "store/QueryDataSet.h"
#include "store/SqlStatement.h"
#include "store/StoredProc.h"
#include "store/TableDataSet.h"

#include <QObject>

// The catalogue every window works on: the one connection with its transaction, the folder
// and disk lists with the current folder and disk, the lookup sources, the key generator and
// the local index of file names. Windows ask it to go somewhere rather than moving the lists
// themselves, and learn where it went from its signals.
class Catalogue : public QObject
{
    Q_OBJECT

public:
    explicit Catalogue(QObject *parent = nullptr);

    // The key of the current folder, of the current disk; 0 while the list is closed or empty.
    int currentFolder() const;
    int currentDisk() const;
    // Moves the folder list to a folder and the disk list, re-read for it, to a disk; tells
    // wentTo. False, and nothing moves, while the lists are closed (not connected).
    bool goTo(int folder, int disk);

    // A fresh key from GETNEXTID.
    int nextId();
    // Draws a key into the current row's field (the after-insert handlers of folders, people,
    // types, groups and templates).
    void assignNextId(QueryDataSet &dataSet, const QString &keyField);

    // The local index of the connected catalogue's file names, for the searches.
    SearchIndex &searchIndex() { return m_searchIndex; }

    // The datasets under the names the windows know them by.
    Connection &DefDatabase() { return m_DefDatabase; }
    const Connection &DefDatabase() const { return m_DefDatabase; }
    QueryDataSet &dtFolder() { return m_dtFolder; }
    const QueryDataSet &dtFolder() const { return m_dtFolder; }
    QueryDataSet &dtDisk() { return m_dtDisk; }
    const QueryDataSet &dtDisk() const { return m_dtDisk; }
    TableDataSet &dtType() { return m_dtType; }
    TableDataSet &dtGroup() { return m_dtGroup; }
    TableDataSet &dtMan() { return m_dtMan; }
    StoredProc &spNextID() { return m_spNextID; }
    StoredProc &spVer() { return m_spVer; }
    SqlStatement &dtMoveDisk() { return m_dtMoveDisk; }

Q_SIGNALS:
    // goTo has moved the lists; the disk is where the list stands now.
    void wentTo(int folder, int disk);

private:
    Connection m_DefDatabase;
    QueryDataSet m_dtFolder;
    QueryDataSet m_dtDisk;
    TableDataSet m_dtType;
    TableDataSet m_dtGroup;
    TableDataSet m_dtMan;
    StoredProc m_spNextID;
    StoredProc m_spVer;
    SqlStatement m_dtMoveDisk;
    SearchIndex m_searchIndex;
};
