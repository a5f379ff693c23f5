#include "tests/support/CatalogueSample.h"

#include "app/Catalogue.h"
#include "app/ConnectionSettings.h"
#include "store/Connection.h"
#include "store/DbError.h"
#include "store/Statement.h"

#include <QVariant>

QStringList CatalogueSample::rows()
{
    return {
        QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                       "(201, 'Музыка', 0)"),
        QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                       "(202, 'Rock ''n'' roll', 201)"),
        QStringLiteral("insert into TMAN (FMANID, FNAME, FCOMMENT) values (203, 'Пётр', "
                       "'сосед')"),
        QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FTYPEID, FGROUPID, FNAME, "
                       "FNN, FUNIQUE, FLABEL, FFULLSIZE, FFILES, FGETDATE, FCOMMENT, FLOCATION) "
                       "values (301, 202, 1, 2, 9, 'Сборник 1', 1, '1A2B3C4D', 'MUSIC1', "
                       "734003200, 3, '2003-05-17', 'подарок', 'полка 2')"),
        QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                       "(302, 201, 203, 'Без типа', 2)"),
        QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, "
                       "FCONTENT, FSIZE, FDATE) values (401, 301, null, 2, "
                       "'/media/cdrom: MUSIC1, ID=1A2B3C4D', 0, '2003-05-17 10:11:12')"),
        QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, "
                       "FCONTENT, FSIZE, FDATE) values (402, 301, 401, 1, 'Альбом', 0, "
                       "'2003-05-16 09:00:00')"),
        QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, "
                       "FCONTENT, FSIZE, FDATE) values (403, 301, 402, 0, '01 — Трек.mp3', "
                       "4194304, '2003-05-16 09:01:02.5')"),
        QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE, FCTRLDATE, "
                       "FRETDATE, FCOMMENT) values (501, 301, 203, '2024-01-10', '2024-02-10', "
                       "null, 'на выходные')"),
        QStringLiteral("insert into TREPORT (FREPORTID, FFRF, FREPORT) values (601, "
                       "x'00FF10203040', 'Наклейка')"),
        QStringLiteral("alter sequence SQ_MAIN restart with 700"),
    };
}

QStringList CatalogueSample::snapshot(Connection &connection)
{
    static const char *const selects[] = {
        "select * from TFOLDER order by FFOLDERID",    "select * from TDISK order by FDISKID",
        "select * from TCONTENT order by FCONTENTID",  "select * from TGIVE order by FGIVEID",
        "select * from TMAN order by FMANID",          "select * from TTYPE order by FTYPEID",
        "select * from TGROUP order by FGROUPID",      "select * from TREPORT order by FREPORTID",
        "select gen_id(SQ_MAIN, 0) from RDB$DATABASE",
    };
    const bool started = !connection.transaction().isActive();
    if (started)
        connection.transaction().start();
    QStringList lines;
    for (const char *select : selects) {
        Statement stmt(connection);
        stmt.prepare(QString::fromLatin1(select));
        stmt.execute();
        while (stmt.fetch()) {
            QStringList values;
            for (int i = 0; i < stmt.columnCount(); ++i) {
                const QVariant v = stmt.value(i);
                values << (v.isNull() ? QStringLiteral("<null>")
                               : v.typeId() == QMetaType::QByteArray
                               ? QString::fromLatin1(v.toByteArray().toHex())
                               : v.toString());
            }
            lines << QString::fromLatin1(select).section(QLatin1Char(' '), 3, 3) + QLatin1Char(':')
                    + values.join(QLatin1Char('|'));
        }
    }
    if (started)
        connection.transaction().commit();
    return lines;
}

QStringList CatalogueSample::snapshot(const QString &databaseName, const QStringList &params)
{
    Connection connection;
    connection.setDatabaseName(databaseName);
    connection.setParams(params);
    connection.open();
    const QStringList lines = snapshot(connection);
    connection.close();
    return lines;
}

void CatalogueSample::exec(const QString &databaseName, const QStringList &params,
                           const QStringList &statements)
{
    Connection connection;
    connection.setDatabaseName(databaseName);
    connection.setParams(params);
    connection.open();
    connection.transaction().start();
    for (const QString &sql : statements) {
        Statement stmt(connection);
        stmt.prepare(sql);
        stmt.execute();
    }
    connection.transaction().commit();
    connection.close();
}

bool CatalogueSample::connectMain(Catalogue &data, const ConnectionSettings &settings)
{
    try {
        data.DefDatabase().setDatabaseName(settings.databasePath());
        data.DefDatabase().setParams(settings.connectionParams());
        data.DefDatabase().open();
        data.dtFolder().open();
        data.dtDisk().open();
        return true;
    } catch (const DbError &e) {
        qWarning("cannot connect: %s", qPrintable(e.text()));
        return false;
    }
}
