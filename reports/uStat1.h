#pragma once

#include "reports/DataSetRowSource.h"
#include "reportui/Report.h"
#include "store/QueryDataSet.h"

#include <QWidget>

class MainData;

// The holder of the statistics report ("Статистика"): the query over the disks counted by
// folder, the report's data source over it and the report with its fixed layout. It is never
// shown itself; the main window creates it for one run and destroys it afterwards.
class TfStat1 : public QWidget
{
    Q_OBJECT

public:
    TfStat1(MainData &data, QWidget *parent);
    ~TfStat1() override;

    // The report's layout: A4 portrait, a title, one line per folder and the totals.
    static ReportTemplate layout();
    static QStringList selectSql();

    QueryDataSet dtStat1;
    DataSetRowSource frdtStat1;
    Report frStat1;
};
