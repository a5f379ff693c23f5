#include "refbooks/uSprGroup.h"

namespace {

RefBookWindow::Design design()
{
    RefBookWindow::Design d;
    d.caption = QStringLiteral("Справочник групп носителей");
    d.tableName = QStringLiteral("TGROUP");
    d.dataSetName = QStringLiteral("dtSprGroup");
    d.keyField = QStringLiteral("FGROUPID");
    d.columns.append({QStringLiteral("FGROUP"), QStringLiteral("Имя"), 275, true, {}, {}, false});
    return d;
}

} // namespace

TfSprGroup::TfSprGroup(MainData &data, QWidget *parent)
    : RefBookWindow(data, design(), parent), dtSprGroup(dataSet())
{
    setObjectName(QStringLiteral("fSprGroup"));
}
