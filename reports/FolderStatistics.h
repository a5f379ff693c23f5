#pragma once

#include "reportengine/BuiltReport.h"
#include "reports/DataSetRowSource.h"
#include "store/QueryDataSet.h"

#include <QDateTime>

class Connection;

// The folder statistics: the catalogue's disks counted by folder path, one row per folder with
// its disks, files and bytes (dtStat1, read by the report as frdtStat1), and the report laid
// out over them. No window: the main window shows what it builds.
class FolderStatistics
{
public:
    explicit FolderStatistics(Connection &connection, QObject *parent = nullptr);
    ~FolderStatistics();

    // The report's layout: A4 portrait, a title, one line per folder and the totals.
    static ReportTemplate layout();
    static QStringList selectSql();
    // The built report's title.
    static QString title();

    QueryDataSet &rows() { return m_rows; }
    DataSetRowSource &source() { return m_source; }

    // Reads the rows afresh and lays the report out, [DATE] and [TIME] at start (now when
    // invalid). Throws DbError when the catalogue cannot be read.
    BuiltReport build(const QDateTime &start = QDateTime());

private:
    QueryDataSet m_rows;
    DataSetRowSource m_source;
};
