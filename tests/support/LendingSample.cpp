#include "tests/support/LendingSample.h"

QStringList LendingSample::rows()
{
    return {
        QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                       "(1002, 'Архив', 1001)"),
        QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                       "(1003, 'Другая', 0)"),
        QStringLiteral("insert into TMAN (FMANID, FNAME) values (501, 'Иванов')"),
        QStringLiteral("insert into TMAN (FMANID, FNAME) values (502, 'Петров')"),
        QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FTYPEID, FNAME, FNN) "
                       "values (2001, 1001, 1, 2, 'Bach', 1)"),
        QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                       "(2002, 1003, 501, 'Mozart', 2)"),
        QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FTYPEID, FNAME, FNN) "
                       "values (2003, 1002, 1, 3, 'Chopin', 3)"),
        QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                       "(2004, 1003, 502, 'Vivaldi', 4)"),
        QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE, FCTRLDATE, "
                       "FRETDATE) values (3001, 2001, 501, current_date - 20, "
                       "current_date - 10, null)"),
        QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE, FCTRLDATE, "
                       "FRETDATE) values (3002, 2002, 502, current_date - 5, current_date, "
                       "null)"),
        QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE, FCTRLDATE, "
                       "FRETDATE) values (3003, 2003, 502, current_date - 30, "
                       "current_date - 20, current_date - 20)"),
        QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE, FCTRLDATE, "
                       "FRETDATE) values (3004, 2004, 1, current_date - 30, "
                       "current_date - 20, current_date - 19)"),
        QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE, FCTRLDATE, "
                       "FRETDATE) values (3005, 2001, 502, current_date - 3, null, null)"),
    };
}
