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
    d.deleteQuestion = QStringLiteral("Удалить эту группу носителей из справочника?");
    d.nameRequired = QStringLiteral("Запись не сохранена: у группы носителей должно быть имя. "
                                    "Введите имя или нажмите Esc, чтобы отменить запись.");
    d.inUse = {{QStringLiteral("FK_TDISK_GROUP"),
                QStringLiteral("Эта группа указана у дисков; сначала укажите у этих дисков "
                               "другую группу.")}};
    return d;
}

} // namespace

TfSprGroup::TfSprGroup(Catalogue &data, QWidget *parent)
    : RefBookWindow(data, design(), parent), dtSprGroup(dataSet())
{
    setObjectName(QStringLiteral("fSprGroup"));
}
