#pragma once

#include "reports/FolderStatistics.h"
#include "reportui/Report.h"

#include <QObject>

class Catalogue;

// The statistics report ("Статистика") for one run from the main window: the statistics' rows
// (dtStat1) and source (frdtStat1), and the report object (frStat1) that previews them. Not a
// window; the main window creates it for one run and destroys it afterwards.
class TfStat1 : public QObject
{
    Q_OBJECT

public:
    TfStat1(Catalogue &data, QWidget *parent);
    ~TfStat1() override;

    FolderStatistics statistics;
    QueryDataSet &dtStat1;
    DataSetRowSource &frdtStat1;
    Report frStat1;
};
