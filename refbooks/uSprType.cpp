#include "refbooks/uSprType.h"

namespace {

RefBookWindow::Design design()
{
    RefBookWindow::Design d;
    d.caption = QStringLiteral("Справочник типов носителей");
    d.tableName = QStringLiteral("TTYPE");
    d.dataSetName = QStringLiteral("dtSprType");
    d.keyField = QStringLiteral("FTYPEID");
    d.columns.append({QStringLiteral("FTYPE"), QStringLiteral("Имя"), 275, true, {}, {}, false});
    return d;
}

} // namespace

TfSprType::TfSprType(MainData &data, QWidget *parent)
    : RefBookWindow(data, design(), parent), dtSprType(dataSet())
{
    setObjectName(QStringLiteral("fSprType"));
}
