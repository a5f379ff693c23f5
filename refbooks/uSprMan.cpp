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
    d.deleteQuestion = QStringLiteral("Удалить этого человека из справочника?");
    d.nameRequired = QStringLiteral("Запись не сохранена: у человека должно быть имя. Введите имя "
                                    "или нажмите Esc, чтобы отменить запись.");
    d.inUse = {{QStringLiteral("FK_TGIVE_MAN"),
                QStringLiteral("Этот человек указан в выдачах; удалите их сначала.")},
               {QStringLiteral("FK_TDISK_MAN"),
                QStringLiteral("Этот человек указан владельцем дисков; сначала укажите у этих "
                               "дисков другого владельца.")}};
    return d;
}

} // namespace

TfSprMan::TfSprMan(Catalogue &data, QWidget *parent)
    : RefBookWindow(data, design(), parent), dtSprMan(dataSet())
{
    setObjectName(QStringLiteral("fSprMan"));
}
