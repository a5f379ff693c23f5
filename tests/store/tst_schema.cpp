#include "app/Catalogue.h"
#include "store/DbError.h"
#include "tests/support/TestCatalogue.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>

// What the client relies on from the template catalogue's procedures, read the way the
// windows read them: through query datasets and procedure calls on the main connection.
class TestSchema : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestCatalogue> m_cat;
    std::unique_ptr<Catalogue> m_data;

    // Every row of a select, each as its fields by name (upper case), read by a query dataset.
    QList<QVariantMap> select(const QString &sql, const QVariantMap &params = {}) const
    {
        QueryDataSet ds(m_data->DefDatabase(), QStringLiteral("dtProbe"));
        ds.setSelectSql({sql});
        for (auto it = params.begin(); it != params.end(); ++it)
            ds.setParam(it.key(), it.value());
        ds.open();
        QList<QVariantMap> rows;
        for (; !ds.eof(); ds.next()) {
            QVariantMap row;
            for (int i = 0; i < ds.fieldCount(); ++i)
                row.insert(ds.field(i).name().toUpper(), ds.field(i).value());
            rows << row;
        }
        ds.close();
        return rows;
    }
    QVariant scalar(const QString &sql) const { return m_cat->scalar(sql); }
    int count(const QString &table, const QString &where = QString()) const
    {
        return scalar(QStringLiteral("select count(*) from ") + table
                      + (where.isEmpty() ? QString() : QStringLiteral(" where ") + where))
            .toInt();
    }
    static QString text(const QVariant &v)
    {
        return v.isNull() ? QStringLiteral("<null>") : v.toString();
    }

    static QString diskSql(int id, int folder, const QString &name, int number,
                           const QString &comment = QStringLiteral("null"),
                           const QString &acquired = QStringLiteral("null"))
    {
        return QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, "
                              "FCOMMENT, FGETDATE) values (%1, %2, 1, '%3', %4, %5, %6)")
            .arg(QString::number(id), QString::number(folder), name, QString::number(number),
                 comment, acquired);
    }
    // An entry of a disk; parent 0 makes a root entry (no parent).
    static QString entrySql(int id, int disk, int parent, int type, const QString &name,
                            int size = 0, const QString &date = QStringLiteral("null"))
    {
        return QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, "
                              "FCONTENT, FSIZE, FDATE) values (%1, %2, %3, %4, '%5', %6, %7)")
            .arg(QString::number(id), QString::number(disk),
                 parent == 0 ? QStringLiteral("null") : QString::number(parent),
                 QString::number(type), name, QString::number(size), date);
    }

    // Folders 5001 "Архив" (top) and 5002 "Диски" below it; disks 6001 and 6002 in 5002, 6003
    // in 5001; 6001 read once, 6002 read twice, 6003 never read. Entry keys run against name
    // order, so that any order seen is the procedure's own.
    void insertCatalogue() const
    {
        enum { File, Directory, Root };
        m_cat->exec({
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) "
                           "values (5001, 'Архив', 0)"),
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) "
                           "values (5002, 'Диски', 5001)"),
            diskSql(6001, 5002, QStringLiteral("Диск один"), 1, QStringLiteral("'первый'"),
                    QStringLiteral("date '2020-05-17'")),
            diskSql(6002, 5002, QStringLiteral("Диск два"), 2),
            diskSql(6003, 5001, QStringLiteral("Other"), 1),
            entrySql(7001, 6001, 0, Root, QStringLiteral("A: DISK1, ID=1234ABCD"), 0,
                     QStringLiteral("timestamp '2021-01-02 03:04:05'")),
            entrySql(7002, 6001, 7001, Directory, QStringLiteral("zeta")),
            entrySql(7003, 6001, 7001, File, QStringLiteral("я.txt"), 1),
            entrySql(7004, 6001, 7001, File, QStringLiteral("B.txt"), 2),
            entrySql(7005, 6001, 7001, Directory, QStringLiteral("Музыка")),
            entrySql(7006, 6001, 7001, File, QStringLiteral("a.txt"), 3),
            entrySql(7007, 6001, 7001, Directory, QStringLiteral("Beta")),
            entrySql(7008, 6001, 7001, File, QStringLiteral("Ж.txt"), 4),
            entrySql(7009, 6001, 7005, Directory, QStringLiteral("Jazz")),
            entrySql(7010, 6001, 7009, File, QStringLiteral("привет.txt"), 1234,
                     QStringLiteral("timestamp '2019-12-31 23:59:58'")),
            entrySql(7011, 6001, 7005, File, QStringLiteral("café.mp3"), 5),
            entrySql(7012, 6001, 7001, File, QStringLiteral("café – 日本.txt"), 6),
            entrySql(7013, 6001, 7001, File, QStringLiteral("Readme.TXT"), 7),
            // Disk 6002: two readings into the same record.
            entrySql(7101, 6002, 0, Root, QStringLiteral("A: FIRST, ID=0000AAAA")),
            entrySql(7102, 6002, 7101, File, QStringLiteral("ПРИВЕТ.doc"), 8),
            entrySql(7103, 6002, 0, Root, QStringLiteral("B: SECOND, ID=0000BBBB")),
            entrySql(7104, 6002, 7103, File, QStringLiteral("other.bin"), 9),
        });
    }

private Q_SLOTS:
    void init()
    {
        m_cat = std::make_unique<TestCatalogue>();
        QVERIFY2(m_cat->isValid(), qPrintable(m_cat->error()));
        m_data = std::make_unique<Catalogue>();
        m_cat->configure(m_data->DefDatabase());
    }
    void cleanup() { m_data.reset(); }

    void versionIsExactlyOnePointZero()
    {
        m_data->spVer().execute();
        const QVariant version = m_data->spVer().paramByName(QStringLiteral("VERSION"));
        QCOMPARE(version.typeId(), int(QMetaType::QString));
        QCOMPARE(version.toString(), QStringLiteral("1.0"));
        // The call committed its own transaction.
        QVERIFY(!m_data->DefDatabase().transaction().isActive());
    }

    void nextIdLiesAboveTemplateKeys_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("key");
        QTest::newRow("people") << "TMAN"
                                << "FMANID";
        QTest::newRow("types") << "TTYPE"
                               << "FTYPEID";
        QTest::newRow("groups") << "TGROUP"
                                << "FGROUPID";
        QTest::newRow("templates") << "TREPORT"
                                   << "FREPORTID";
        QTest::newRow("folders") << "TFOLDER"
                                 << "FFOLDERID";
        QTest::newRow("disks") << "TDISK"
                               << "FDISKID";
    }
    void nextIdLiesAboveTemplateKeys()
    {
        QFETCH(QString, table);
        QFETCH(QString, key);
        const int maxKey
            = scalar(QStringLiteral("select coalesce(max(%1), 0) from %2").arg(key, table)).toInt();
        const int allMax
            = scalar(QStringLiteral("select max(k) from (select FMANID k from TMAN union all "
                                    "select FTYPEID from TTYPE union all select FGROUPID from "
                                    "TGROUP union all select FFOLDERID from TFOLDER union all "
                                    "select FREPORTID from TREPORT)"))
                  .toInt();
        QVERIFY(allMax >= 1);
        QVERIFY(allMax >= maxKey);
        // Each call gives a new key, increasing, above every key of the template.
        int previous = allMax;
        for (int i = 0; i < 3; ++i) {
            m_data->spNextID().execute();
            const int id = m_data->spNextID().paramAsInteger(QStringLiteral("ID"));
            QVERIFY2(id > previous,
                     qPrintable(QStringLiteral("%1 after %2").arg(id).arg(previous)));
            QCOMPARE(count(table, QStringLiteral("%1 = %2").arg(key).arg(id)), 0);
            previous = id;
        }
    }

    void nextIdSharesTheGenerator()
    {
        m_data->spNextID().execute();
        const int first = m_data->spNextID().paramAsInteger(QStringLiteral("ID"));
        QCOMPARE(scalar(QStringLiteral("select gen_id(SQ_MAIN, 0) from rdb$database")).toInt(),
                 first);
        // A key drawn from SQ_MAIN (a new disk row) and GETNEXTID come from one sequence.
        m_data->dtFolder().open();
        m_data->dtDisk().open();
        m_data->dtDisk().insert();
        QCOMPARE(m_data->dtDisk().fieldByName(QStringLiteral("FDISKID")).asInteger(), first + 1);
        m_data->dtDisk().cancel();
        m_data->spNextID().execute();
        QCOMPARE(m_data->spNextID().paramAsInteger(QStringLiteral("ID")), first + 2);
    }

    void startingRowsExist_data()
    {
        QTest::addColumn<QString>("dataset");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("requiredKey");
        QTest::newRow("people") << "dtMan"
                                << "FMANID"
                                << "FNAME" << 1;
        QTest::newRow("types") << "dtType"
                               << "FTYPEID"
                               << "FTYPE" << 0;
        QTest::newRow("groups") << "dtGroup"
                                << "FGROUPID"
                                << "FGROUP" << 0;
    }
    void startingRowsExist()
    {
        QFETCH(QString, dataset);
        QFETCH(QString, key);
        QFETCH(QString, name);
        QFETCH(int, requiredKey);
        QueryDataSet *ds = nullptr;
        const std::initializer_list<QueryDataSet *> lookups {&m_data->dtMan(), &m_data->dtType(),
                                                             &m_data->dtGroup()};
        for (QueryDataSet *candidate : lookups) {
            if (candidate->name() == dataset)
                ds = candidate;
        }
        QVERIFY(ds);
        ds->open();
        QVERIFY(!ds->isEmpty());
        QSet<int> keys;
        for (ds->first(); !ds->eof(); ds->next()) {
            QVERIFY(!ds->fieldByName(key).isNull());
            QVERIFY2(!ds->fieldByName(name).asString().trimmed().isEmpty(),
                     qPrintable(QStringLiteral("row %1").arg(ds->fieldByName(key).asInteger())));
            keys.insert(ds->fieldByName(key).asInteger());
        }
        QCOMPARE(qsizetype(keys.size()), qsizetype(ds->fetchedCount()));
        if (requiredKey != 0)
            QVERIFY(ds->locate(key, requiredKey));
    }

    void getStatus_data()
    {
        // Each lending: borrower key | due day | return day (SQL expressions).
        QTest::addColumn<QStringList>("lendings");
        QTest::addColumn<int>("code"); // 0: no status row
        QTest::addColumn<QString>("borrower");
        QTest::newRow("due tomorrow")
            << QStringList {"5001|current_date + 1|null"} << 2 << "Пётр Иванов";
        QTest::newRow("due today") << QStringList {"5001|current_date|null"} << 2 << "Пётр Иванов";
        QTest::newRow("due yesterday")
            << QStringList {"5002|current_date - 1|null"} << 3 << "Anna Smith";
        QTest::newRow("no due day") << QStringList {"5002|null|null"} << 2 << "Anna Smith";
        QTest::newRow("returned") << QStringList {"5001|current_date - 5|current_date - 6"} << 0
                                  << "";
        QTest::newRow("never lent") << QStringList {} << 0 << "";
        QTest::newRow("two open, one overdue")
            << QStringList {"5001|current_date + 3|null", "5002|current_date - 2|null"} << 3
            << "Anna Smith";
        QTest::newRow("two open, overdue first")
            << QStringList {"5002|current_date - 2|null", "5001|null|null"} << 3 << "Anna Smith";
        QTest::newRow("back, then out again")
            << QStringList {"5002|current_date - 9|current_date - 8", "5001|current_date + 1|null"}
            << 2 << "Пётр Иванов";
    }
    void getStatus()
    {
        QFETCH(QStringList, lendings);
        QFETCH(int, code);
        QFETCH(QString, borrower);
        QStringList fixture {
            QStringLiteral("insert into TMAN (FMANID, FNAME) values (5001, 'Пётр Иванов')"),
            QStringLiteral("insert into TMAN (FMANID, FNAME) values (5002, 'Anna Smith')"),
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER) values (5100, 'F')"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME) "
                           "values (6001, 5100, 1, 'Disk')"),
            // Another disk's lending must not leak into the status.
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME) "
                           "values (6002, 5100, 1, 'Other')"),
            QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE, FCTRLDATE) "
                           "values (8000, 6002, 5001, current_date - 30, current_date - 20)"),
        };
        int id = 8001;
        for (const QString &lending : lendings) {
            const QStringList parts = lending.split(QLatin1Char('|'));
            QCOMPARE(parts.size(), 3);
            fixture << QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE, "
                                      "FCTRLDATE, FRETDATE) values (%1, 6001, %2, "
                                      "current_date - 10, %3, %4)")
                           .arg(QString::number(id++), parts[0], parts[1], parts[2]);
        }
        m_cat->exec(fixture);

        const QList<QVariantMap> rows
            = select(QStringLiteral("select d.FDISKID, s.FSTATUSCODE, s.FSTATUS from tdisk d left "
                                    "join getstatus(FDISKID) s on d.fdiskid is not null where "
                                    "d.FDISKID = :id"),
                     {{QStringLiteral("id"), 6001}});
        // A second status row would list the disk twice.
        QCOMPARE(rows.size(), 1);
        const QVariantMap &row = rows.first();
        QCOMPARE(row.value(QStringLiteral("FDISKID")).toInt(), 6001);
        if (code == 0) {
            QVERIFY(row.value(QStringLiteral("FSTATUSCODE")).isNull());
            QVERIFY(row.value(QStringLiteral("FSTATUS")).isNull());
        } else {
            QCOMPARE(row.value(QStringLiteral("FSTATUSCODE")).toInt(), code);
            const QString status = row.value(QStringLiteral("FSTATUS")).toString();
            QVERIFY2(status.contains(borrower), qPrintable(status));
        }
    }

    void getFolderFull_data()
    {
        // Each folder: key | name | parent (SQL expression).
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<int>("folder");
        QTest::addColumn<QString>("full"); // empty: only the end is fixed
        QTest::addColumn<QString>("name");
        const QStringList chain {"5101|A|0", "5102|B|5101", "5103|C|5102"};
        QTest::newRow("three levels") << chain << 5103 << "A / B / C"
                                      << "C";
        QTest::newRow("two levels") << chain << 5102 << "A / B"
                                    << "B";
        QTest::newRow("top level") << chain << 5101 << "A"
                                   << "A";
        QTest::newRow("top level by NULL") << QStringList {"5101|A|null"} << 5101 << "A"
                                           << "A";
        QTest::newRow("dangling parent")
            << QStringList {"5101|A|0", "5102|Lost|9999"} << 5102 << "Lost"
            << "Lost";
        QTest::newRow("cyrillic") << QStringList {"5101|Музыка|0", "5102|Классика|5101"} << 5102
                                  << "Музыка / Классика"
                                  << "Классика";
        QTest::newRow("naming each other")
            << QStringList {"5101|P|5102", "5102|Q|5101"} << 5101 << ""
            << "P";
        QTest::newRow("own parent") << QStringList {"5101|Self|5101"} << 5101 << ""
                                    << "Self";
    }
    void getFolderFull()
    {
        QFETCH(QStringList, folders);
        QFETCH(int, folder);
        QFETCH(QString, full);
        QFETCH(QString, name);
        QStringList fixture;
        for (const QString &f : folders) {
            const QStringList parts = f.split(QLatin1Char('|'));
            fixture << QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) "
                                      "values (%1, '%2', %3)")
                           .arg(parts[0], parts[1], parts[2]);
        }
        fixture << QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME) "
                                  "values (6001, %1, 1, 'Disk')")
                       .arg(folder);
        m_cat->exec(fixture);

        // As the debtors list joins it.
        const QList<QVariantMap> rows = select(
            QStringLiteral("select d.FDISKID, f.FFOLDERFULL, f.FFOLDER from tdisk d left join "
                           "GETFOLDERFULL(d.FFOLDERID) f on (d.FDISKID is not null) "
                           "where d.FDISKID = :id"),
            {{QStringLiteral("id"), 6001}});
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().value(QStringLiteral("FFOLDER")).toString(), name);
        const QString path = rows.first().value(QStringLiteral("FFOLDERFULL")).toString();
        if (full.isEmpty())
            QVERIFY2(path.endsWith(name), qPrintable(path));
        else
            QCOMPARE(path, full);
    }

    void getContentBranch_data()
    {
        QTest::addColumn<int>("disk");
        QTest::addColumn<int>("parent");
        QTest::addColumn<QStringList>("entries"); // key, type and name of each row, in order
        QTest::newRow("read once") << 6001 << 0 << QStringList {"7001 2 A: DISK1, ID=1234ABCD"};
        QTest::newRow("read twice")
            << 6002 << 0
            << QStringList {"7101 2 A: FIRST, ID=0000AAAA", "7103 2 B: SECOND, ID=0000BBBB"};
        QTest::newRow("never read") << 6003 << 0 << QStringList {};
        QTest::newRow("directories first, then by name")
            << 6001 << 7001
            << QStringList {"7007 1 Beta",       "7002 1 zeta",  "7005 1 Музыка",
                            "7006 0 a.txt",      "7004 0 B.txt", "7012 0 café – 日本.txt",
                            "7013 0 Readme.TXT", "7008 0 Ж.txt", "7003 0 я.txt"};
        QTest::newRow("subdirectory")
            << 6001 << 7005 << QStringList {"7009 1 Jazz", "7011 0 café.mp3"};
        QTest::newRow("second reading") << 6002 << 7103 << QStringList {"7104 0 other.bin"};
        QTest::newRow("empty directory") << 6001 << 7002 << QStringList {};
        QTest::newRow("entry of another disk") << 6002 << 7001 << QStringList {};
    }
    void getContentBranch()
    {
        QFETCH(int, disk);
        QFETCH(int, parent);
        QFETCH(QStringList, entries);
        insertCatalogue();
        const QList<QVariantMap> rows = select(
            QStringLiteral("select * from GETCONTENTBRANCH(:FDISKID, :FOWNCONTENTID)"),
            {{QStringLiteral("FDISKID"), disk}, {QStringLiteral("FOWNCONTENTID"), parent}});
        QStringList got;
        for (const QVariantMap &row : rows)
            got << QStringLiteral("%1 %2 %3")
                       .arg(row.value(QStringLiteral("FCONTENTID")).toInt())
                       .arg(row.value(QStringLiteral("FTYPE")).toInt())
                       .arg(row.value(QStringLiteral("FCONTENT")).toString());
        QCOMPARE(got, entries);
    }

    void getContentBranchGivesSizeAndDate()
    {
        insertCatalogue();
        const QList<QVariantMap> rows
            = select(QStringLiteral("select * from GETCONTENTBRANCH(:FDISKID, :FOWNCONTENTID)"),
                     {{QStringLiteral("FDISKID"), 6001}, {QStringLiteral("FOWNCONTENTID"), 7009}});
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().value(QStringLiteral("FSIZE")).toDouble(), 1234.0);
        QCOMPARE(rows.first().value(QStringLiteral("FDATE")).toDateTime(),
                 QDateTime(QDate(2019, 12, 31), QTime(23, 59, 58)));
    }

    void findFile_data()
    {
        QTest::addColumn<int>("disk");
        QTest::addColumn<QString>("text"); // as the client passes it: in upper case
        QTest::addColumn<QList<int>>("found");
        QTest::newRow("cyrillic") << 6001 << "ПРИВЕТ" << QList<int> {7010};
        QTest::newRow("same text, other disk") << 6002 << "ПРИВЕТ" << QList<int> {7102};
        QTest::newRow("accented latin") << 6001 << "CAFÉ" << QList<int> {7011, 7012};
        QTest::newRow("no case") << 6001 << "日本" << QList<int> {7012};
        QTest::newRow("stored in mixed case") << 6001 << "README.TXT" << QList<int> {7013};
        QTest::newRow("cyrillic capital stored") << 6001 << "Ж.TXT" << QList<int> {7008};
        QTest::newRow("nothing") << 6001 << "NOSUCH" << QList<int> {};
        QTest::newRow("disk without entries") << 6003 << "A" << QList<int> {};
    }
    void findFile()
    {
        QFETCH(int, disk);
        QFETCH(QString, text);
        QFETCH(QList<int>, found);
        QCOMPARE(text, text.toUpper());
        insertCatalogue();
        const QList<QVariantMap> rows
            = select(QStringLiteral("select FCONTENTID from FINDFILE(:VDISKID, :VCONTENT)"),
                     {{QStringLiteral("VDISKID"), disk}, {QStringLiteral("VCONTENT"), text}});
        QList<int> got;
        for (const QVariantMap &row : rows)
            got << row.value(QStringLiteral("FCONTENTID")).toInt();
        QCOMPARE(got, found);
    }

    void find_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("disk");
        QTest::addColumn<QStringList>("found"); // disk name | path on the disk, in order
        QTest::newRow("cyrillic, every disk")
            << "ПРИВЕТ"
            << "" << QStringList {"Диск один|Музыка/Jazz/привет.txt", "Диск два|ПРИВЕТ.doc"};
        QTest::newRow("accented latin")
            << "CAFÉ"
            << "" << QStringList {"Диск один|Музыка/café.mp3", "Диск один|café – 日本.txt"};
        QTest::newRow("no case") << "日本"
                                 << "" << QStringList {"Диск один|café – 日本.txt"};
        QTest::newRow("directory") << "JAZZ"
                                   << "" << QStringList {"Диск один|Музыка/Jazz"};
        QTest::newRow("limited to disks by name") << "ПРИВЕТ"
                                                  << "ДВА" << QStringList {"Диск два|ПРИВЕТ.doc"};
        QTest::newRow("disks alone")
            << ""
            << "ДИСК" << QStringList {"Диск один|<null>", "Диск два|<null>"};
        QTest::newRow("every disk alone")
            << ""
            << "" << QStringList {"Other|<null>", "Диск один|<null>", "Диск два|<null>"};
        QTest::newRow("nothing") << "NOSUCH"
                                 << "" << QStringList {};
    }
    void find()
    {
        QFETCH(QString, content);
        QFETCH(QString, disk);
        QFETCH(QStringList, found);
        insertCatalogue();
        const QList<QVariantMap> rows
            = select(QStringLiteral("select * from FIND(:VCONTENT, :VDISK)"),
                     {{QStringLiteral("VCONTENT"), content}, {QStringLiteral("VDISK"), disk}});
        QStringList got;
        for (const QVariantMap &row : rows) {
            got << row.value(QStringLiteral("FDISK")).toString() + QLatin1Char('|')
                    + text(row.value(QStringLiteral("FCONTENTFULL")));
            if (content.isEmpty()) {
                QVERIFY(row.value(QStringLiteral("FCONTENTDATE")).isNull());
                QVERIFY(row.value(QStringLiteral("FCONTENTSIZE")).isNull());
            }
        }
        QCOMPARE(got, found);
    }

    void findPathsOfDeepFolders_data()
    {
        QTest::addColumn<int>("depth"); // folders of 1000 letters each
        QTest::addColumn<int>("nameLength"); // of the files in the deepest one
        QTest::addColumn<int>("kept"); // folders left in the path; fewer than depth: behind "…/"
        QTest::newRow("fits") << 4 << 10 << 4;
        QTest::newRow("the folders too long") << 5 << 10 << 4;
        QTest::newRow("too long with the file name") << 4 << 100 << 3;
    }
    void findPathsOfDeepFolders()
    {
        QFETCH(int, depth);
        QFETCH(int, nameLength);
        QFETCH(int, kept);
        enum { File, Directory, Root };
        insertCatalogue();
        // On the disk never read: a chain of folders with two files at its bottom, then a file
        // at the top, found one after the other.
        QStringList sql {entrySql(8000, 6003, 0, Root, QStringLiteral("A: DEEP"))};
        QStringList folders;
        for (int d = 0; d < depth; ++d) {
            folders << QString(1000, QChar(u'a' + d));
            sql << entrySql(8001 + d, 6003, d == 0 ? 8000 : 8000 + d, Directory, folders.last());
        }
        auto fileName = [nameLength](int n) {
            const QString start = QStringLiteral("zq%1").arg(n);
            return start + QString(nameLength - start.size(), QLatin1Char('x'));
        };
        sql << entrySql(8100, 6003, 8000 + depth, File, fileName(1))
            << entrySql(8101, 6003, 8000 + depth, File, fileName(2))
            << entrySql(8102, 6003, 8000, File, QStringLiteral("zq3"));
        m_cat->exec(sql);
        const QList<QVariantMap> rows
            = select(QStringLiteral("select * from FIND(:VCONTENT, :VDISK)"),
                     {{QStringLiteral("VCONTENT"), QStringLiteral("ZQ")},
                      {QStringLiteral("VDISK"), QStringLiteral("OTHER")}});
        QStringList got;
        for (const QVariantMap &row : rows)
            got << row.value(QStringLiteral("FCONTENTFULL")).toString();
        const QString prefix = (kept < depth ? QStringLiteral("…/") : QString())
            + folders.mid(depth - kept).join(QLatin1Char('/')) + QLatin1Char('/');
        QCOMPARE(got, QStringList({prefix + fileName(1), prefix + fileName(2), "zq3"}));
        for (const QString &path : got)
            QVERIFY(path.size() <= 4096);
    }

    void findGivesEveryOutput()
    {
        insertCatalogue();
        const QList<QVariantMap> rows
            = select(QStringLiteral("select * from FIND(:VCONTENT, :VDISK)"),
                     {{QStringLiteral("VCONTENT"), QStringLiteral("ПРИВЕТ.TXT")},
                      {QStringLiteral("VDISK"), QStringLiteral("ОДИН")}});
        QCOMPARE(rows.size(), 1);
        const QVariantMap &row = rows.first();
        QCOMPARE(row.value(QStringLiteral("FFOLDERID")).toInt(), 5002);
        QCOMPARE(row.value(QStringLiteral("FDISKID")).toInt(), 6001);
        QCOMPARE(row.value(QStringLiteral("FFOLDERFULL")).toString(),
                 QStringLiteral("Архив / Диски"));
        QCOMPARE(row.value(QStringLiteral("FDISK")).toString(), QStringLiteral("Диск один"));
        QCOMPARE(row.value(QStringLiteral("FDISKCOMMENT")).toString(), QStringLiteral("первый"));
        QCOMPARE(row.value(QStringLiteral("FDISKDATE")).toDate(), QDate(2020, 5, 17));
        QCOMPARE(row.value(QStringLiteral("FCONTENTFULL")).toString(),
                 QStringLiteral("Музыка/Jazz/привет.txt"));
        QCOMPARE(row.value(QStringLiteral("FCONTENTDATE")).toDateTime(),
                 QDateTime(QDate(2019, 12, 31), QTime(23, 59, 58)));
        QCOMPARE(row.value(QStringLiteral("FCONTENTSIZE")).toDouble(), 1234.0);
    }

    void deletes_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("constraint"); // empty: the delete is done
        QTest::newRow("disk with entries and lendings") << "TDISK"
                                                        << "FDISKID" << 6001 << "";
        QTest::newRow("folder holding a disk") << "TFOLDER"
                                               << "FFOLDERID" << 5002 << "FK_TDISK_FOLDER";
        QTest::newRow("empty folder") << "TFOLDER"
                                      << "FFOLDERID" << 5003 << "";
        QTest::newRow("owner of a disk") << "TMAN"
                                         << "FMANID" << 1 << "FK_TDISK_MAN";
        QTest::newRow("borrower") << "TMAN"
                                  << "FMANID" << 5010 << "FK_TGIVE_MAN";
        QTest::newRow("person in no use") << "TMAN"
                                          << "FMANID" << 5011 << "";
        QTest::newRow("type in use") << "TTYPE"
                                     << "FTYPEID" << 5020 << "FK_TDISK_TYPE";
        QTest::newRow("group in use") << "TGROUP"
                                      << "FGROUPID" << 5030 << "FK_TDISK_GROUP";
    }
    void deletes()
    {
        QFETCH(QString, table);
        QFETCH(QString, key);
        QFETCH(int, id);
        QFETCH(QString, constraint);
        insertCatalogue();
        m_cat->exec({
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) "
                           "values (5003, 'Пустая', 5001)"),
            QStringLiteral("insert into TMAN (FMANID, FNAME) values (5010, 'Borrower')"),
            QStringLiteral("insert into TMAN (FMANID, FNAME) values (5011, 'Nobody')"),
            QStringLiteral("insert into TTYPE (FTYPEID, FTYPE) values (5020, 'Used type')"),
            QStringLiteral("insert into TGROUP (FGROUPID, FGROUP) values (5030, 'Used group')"),
            QStringLiteral("update TDISK set FTYPEID = 5020, FGROUPID = 5030 where FDISKID = 6002"),
            QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE) "
                           "values (8001, 6001, 5010, current_date)"),
            QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE) "
                           "values (8002, 6001, 5010, current_date)"),
            QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE) "
                           "values (8003, 6002, 5010, current_date)"),
        });
        const QStringList tables {QStringLiteral("TFOLDER"),  QStringLiteral("TDISK"),
                                  QStringLiteral("TCONTENT"), QStringLiteral("TGIVE"),
                                  QStringLiteral("TMAN"),     QStringLiteral("TTYPE"),
                                  QStringLiteral("TGROUP"),   QStringLiteral("TREPORT")};
        QMap<QString, int> before;
        for (const QString &t : tables)
            before[t] = count(t);
        const int otherEntries = count(QStringLiteral("TCONTENT"), QStringLiteral("FDISKID=6002"));
        QVERIFY(count(QStringLiteral("TCONTENT"), QStringLiteral("FDISKID=6001")) > 0);

        // A dataset over the whole table deletes the one row, as the windows do.
        TableDataSet ds(m_data->DefDatabase(), QStringLiteral("dtDelete"), table);
        ds.open();
        QVERIFY(ds.locate(key, id));
        const int rowsShown = [&ds] {
            ds.fetchAll();
            return ds.fetchedCount();
        }();
        QString error;
        ISC_STATUS code = 0;
        try {
            ds.remove();
        } catch (const DbError &e) {
            error = e.text();
            code = e.code();
        }

        if (constraint.isEmpty()) {
            QCOMPARE(error, QString());
            QCOMPARE(count(table, QStringLiteral("%1 = %2").arg(key).arg(id)), 0);
            QCOMPARE(ds.fetchedCount(), rowsShown - 1);
            if (table == QLatin1String("TDISK")) {
                // The disk's entries and lendings went with it; the other disk's stayed.
                QCOMPARE(count(QStringLiteral("TCONTENT"), QStringLiteral("FDISKID=%1").arg(id)),
                         0);
                QCOMPARE(count(QStringLiteral("TGIVE"), QStringLiteral("FDISKID=%1").arg(id)), 0);
                QCOMPARE(count(QStringLiteral("TCONTENT"), QStringLiteral("FDISKID=6002")),
                         otherEntries);
                QCOMPARE(count(QStringLiteral("TGIVE")), 1);
            }
            return;
        }
        // Refused with the server's own text: one message per line, no full stop at the end.
        QCOMPARE(code, ISC_STATUS(isc_foreign_key));
        QVERIFY2(error.contains(constraint), qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("\r\n")), qPrintable(error));
        QVERIFY(!error.contains(QRegularExpression(QStringLiteral("[^\r]\n"))));
        QVERIFY(!error.endsWith(QLatin1Char('.')));
        QVERIFY(!error.endsWith(QLatin1Char('\n')));
        // Nothing is lost, and the dataset still shows the row.
        QCOMPARE(ds.state(), QueryDataSet::State::Browse);
        QCOMPARE(ds.fetchedCount(), rowsShown);
        QCOMPARE(ds.fieldByName(key).asInteger(), id);
        for (const QString &t : tables)
            QCOMPARE(count(t), before[t]);
        // The connection goes on: the dataset reads again and the next write is kept.
        ds.refresh();
        QCOMPARE(ds.fieldByName(key).asInteger(), id);
        ds.close();
        m_data->dtFolder().open();
        m_data->dtFolder().insert();
        m_data->dtFolder()
            .fieldByName(QStringLiteral("FFOLDER"))
            .setString(QStringLiteral("После ошибки"));
        m_data->dtFolder().post();
        QCOMPARE(count(QStringLiteral("TFOLDER"), QStringLiteral("FFOLDER = 'После ошибки'")), 1);
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
