#include "refbooks/RefBookDesigns.h"

#include <array>

namespace {

enum Book { People, MediaTypes, MediaGroups };

const std::array<RefBookWindow::Design, 3> &designs()
{
    static const std::array<RefBookWindow::Design, 3> table {{
        {
            .caption = QStringLiteral("Справочник людей"),
            .tableName = QStringLiteral("TMAN"),
            .dataSetName = QStringLiteral("dtSprMan"),
            .keyField = QStringLiteral("FMANID"),
            .columns
            = {{.fieldName = QStringLiteral("FNAME"), .title = QStringLiteral("Имя"), .width = 186},
               {.fieldName = QStringLiteral("FCOMMENT"),
                .title = QStringLiteral("Комментарий"),
                .width = 88}},
            .deleteQuestion = QStringLiteral("Удалить этого человека из справочника?"),
            .nameRequired = QStringLiteral("Запись не сохранена: у человека должно быть имя. "
                                           "Введите имя или нажмите Esc, чтобы отменить запись."),
            .inUse = {{QStringLiteral("FK_TGIVE_MAN"),
                       QStringLiteral("Этот человек указан в выдачах; удалите их сначала.")},
                      {QStringLiteral("FK_TDISK_MAN"),
                       QStringLiteral("Этот человек указан владельцем дисков; сначала укажите у "
                                      "этих дисков другого владельца.")}},
        },
        {
            .caption = QStringLiteral("Справочник типов носителей"),
            .tableName = QStringLiteral("TTYPE"),
            .dataSetName = QStringLiteral("dtSprType"),
            .keyField = QStringLiteral("FTYPEID"),
            .columns = {{.fieldName = QStringLiteral("FTYPE"),
                         .title = QStringLiteral("Имя"),
                         .width = 275}},
            .deleteQuestion = QStringLiteral("Удалить этот тип носителя из справочника?"),
            .nameRequired
            = QStringLiteral("Запись не сохранена: у типа носителя должно быть имя. Введите "
                             "имя или нажмите Esc, чтобы отменить запись."),
            .inUse = {{QStringLiteral("FK_TDISK_TYPE"),
                       QStringLiteral("Этот тип носителя указан у дисков; сначала укажите у "
                                      "этих дисков другой тип.")}},
        },
        {
            .caption = QStringLiteral("Справочник групп носителей"),
            .tableName = QStringLiteral("TGROUP"),
            .dataSetName = QStringLiteral("dtSprGroup"),
            .keyField = QStringLiteral("FGROUPID"),
            .columns = {{.fieldName = QStringLiteral("FGROUP"),
                         .title = QStringLiteral("Имя"),
                         .width = 275}},
            .deleteQuestion = QStringLiteral("Удалить эту группу носителей из справочника?"),
            .nameRequired
            = QStringLiteral("Запись не сохранена: у группы носителей должно быть имя. Введите "
                             "имя или нажмите Esc, чтобы отменить запись."),
            .inUse = {{QStringLiteral("FK_TDISK_GROUP"),
                       QStringLiteral("Эта группа указана у дисков; сначала укажите у этих "
                                      "дисков другую группу.")}},
        },
    }};
    return table;
}

} // namespace

namespace RefBookDesigns {

const RefBookWindow::Design &people()
{
    return designs()[People];
}

const RefBookWindow::Design &mediaTypes()
{
    return designs()[MediaTypes];
}

const RefBookWindow::Design &mediaGroups()
{
    return designs()[MediaGroups];
}

} // namespace RefBookDesigns
