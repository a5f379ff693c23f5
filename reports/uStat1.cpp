#include "reports/uStat1.h"

#include "app/Catalogue.h"

#include <QWidget>

TfStat1::TfStat1(Catalogue &data, QWidget *parent)
    : QObject(parent),
      statistics(data.DefDatabase(), this),
      dtStat1(statistics.rows()),
      frdtStat1(statistics.source()),
      frStat1(parent)
{
    frStat1.addDataSource(&frdtStat1);
    frStat1.reportTemplate() = FolderStatistics::layout();
    frStat1.setTitle(FolderStatistics::title());
}

TfStat1::~TfStat1() = default;
