#include "refbooks/uSprMan.h"

namespace {

RefBookWindow::Design design()
{
    RefBookWindow::Design d;
    d.caption = QStringLiteral("Справочник людей");
    d.tableName = QStringLiteral("TMAN");
    d.dataSetName = QStringLiteral("dtSprMan");
    d.keyField = QStringLiteral("FMANID");
    d.columns.append({QStringLiteral("FNAME"), QStringLiteral("Имя"), 186, true, {}, {}, false});
    d.columns.append(
        {QStringLiteral("FCOMMENT"), QStringLiteral("Комментарий"), 88, true, {}, {}, false});
    return d;
}

} // namespace

TfSprMan::TfSprMan(MainData &data, QWidget *parent)
    : RefBookWindow(data, design(), parent), dtSprMan(dataSet())
{
    setObjectName(QStringLiteral("fSprMan"));
}
