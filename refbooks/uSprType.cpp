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
    d.deleteQuestion = QStringLiteral("Удалить этот тип носителя из справочника?");
    d.nameRequired = QStringLiteral("Запись не сохранена: у типа носителя должно быть имя. "
                                    "Введите имя или нажмите Esc, чтобы отменить запись.");
    d.inUse = {{QStringLiteral("FK_TDISK_TYPE"),
                QStringLiteral("Этот тип носителя указан у дисков; сначала укажите у этих дисков "
                               "другой тип.")}};
    return d;
}

} // namespace

TfSprType::TfSprType(Catalogue &data, QWidget *parent)
    : RefBookWindow(data, design(), parent), dtSprType(dataSet())
{
    setObjectName(QStringLiteral("fSprType"));
}
