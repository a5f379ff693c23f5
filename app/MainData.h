#pragma once

#include "searchindex/SearchIndex.h"
#include "store/Connection.h"
#include "store/QueryDataSet.h"
#include "store/SqlStatement.h"
#include "store/StoredProc.h"
#include "store/TableDataSet.h"

#include <QObject>

// The main window's data objects: the one connection with its transaction, the folder and disk
// lists, the lookup sources and the procedure calls every window shares.
class MainData : public QObject
{
    Q_OBJECT

public:
    explicit MainData(QObject *parent = nullptr);

    // Draws a key from GETNEXTID into the current row's field (the after-insert handlers of
    // folders, people, types, groups and templates).
    void assignNextId(QueryDataSet &dataSet, const QString &keyField);

    Connection DefDatabase;
    QueryDataSet dtFolder;
    QueryDataSet dtDisk;
    TableDataSet dtType;
    TableDataSet dtGroup;
    TableDataSet dtMan;
    StoredProc spNextID;
    StoredProc spVer;
    SqlStatement dtMoveDisk;
    // The local index of the connected catalogue's file names, for the searches.
    SearchIndex searchIndex;
};
