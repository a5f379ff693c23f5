#pragma once

#include <QStringList>

// Five lendings for the debtors list, over a folder 1001 "Диски" and the template's own
// person 1 ("Я") and types.
class LendingSample
{
public:
    // Lendings, their dates counted in days from today:
    //   3001 my disk Bach (folder Диски), out, due 10 days ago: overdue
    //   3002 Mozart of Иванов (folder Другая), out, due today
    //   3003 my disk Chopin (folder Диски / Архив), returned on its due date
    //   3004 Vivaldi of Петров (folder Другая), lent to me, returned a day after its due date
    //   3005 my disk Bach, out, no due date
    static QStringList rows();
};
