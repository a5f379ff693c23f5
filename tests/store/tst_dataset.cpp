#include "app/Catalogue.h"
#include "store/DbError.h"
#include "store/Statement.h"
#include "tests/support/TestCatalogue.h"

#include <QSignalSpy>
#include <QTest>

// The data layer's rules on a real catalogue, through the main window's own datasets.
class TestDataSet : public QObject
{
    Q_OBJECT

private:
    enum class Change { Fetch, Insert, CancelNewRow, Delete, PostNewRow, Frozen };

    std::unique_ptr<TestCatalogue> m_cat;
    std::unique_ptr<Catalogue> m_data;

    qint64 generatorValue() const
    {
        return m_cat->scalar(QStringLiteral("select gen_id(SQ_MAIN, 0) from rdb$database"))
            .toLongLong();
    }
    int count(const QString &table) const
    {
        return m_cat->scalar(QStringLiteral("select count(*) from ") + table).toInt();
    }
    static int rowCount(QueryDataSet &ds)
    {
        ds.fetchAll();
        return ds.fetchedCount();
    }
    void openLists()
    {
        m_data->dtFolder().open();
        m_data->dtDisk().open();
    }
    static QString errorOf(const std::function<void()> &f)
    {
        try {
            f();
        } catch (const DbError &e) {
            return e.text();
        }
        return QStringLiteral("<no error>");
    }

private Q_SLOTS:
    void init()
    {
        m_cat = std::make_unique<TestCatalogue>(TestCatalogue::Folders::None);
        QVERIFY2(m_cat->isValid(), qPrintable(m_cat->error()));
        m_cat->exec({
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(1001, 'Музыка', 0)"),
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(1002, 'Фильмы', 0)"),
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(1003, 'Пустая', 0)"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                           "(2001, 1001, 1, 'Bach', 1)"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                           "(2002, 1001, 1, 'Mozart', 2)"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                           "(2003, 1002, 1, 'Solaris', 1)"),
        });
        m_data = std::make_unique<Catalogue>();
        m_cat->configure(m_data->DefDatabase());
    }
    void cleanup() { m_data.reset(); }

    void cancelledNewDiskConsumesOneKey()
    {
        openLists();
        QVERIFY(m_data->dtFolder().locate(QStringLiteral("FFOLDERID"), 1001));
        const qint64 before = generatorValue();
        QCOMPARE(rowCount(m_data->dtDisk()), 2);
        m_data->dtDisk().insert();
        QCOMPARE(m_data->dtDisk().state(), QueryDataSet::State::Insert);
        QCOMPARE(m_data->dtDisk().fieldByName(QStringLiteral("FDISKID")).asLargeInt(), before + 1);
        QVERIFY(!m_data->dtDisk().isModified());
        m_data->dtDisk().cancel();
        QCOMPARE(rowCount(m_data->dtDisk()), 2);
        QCOMPARE(m_data->dtDisk().fieldByName(QStringLiteral("FNAME")).asString(),
                 QStringLiteral("Bach"));
        QCOMPARE(generatorValue(), before + 1);
        // The next new row does not reuse the drawn value.
        m_data->dtDisk().insert();
        QCOMPARE(m_data->dtDisk().fieldByName(QStringLiteral("FDISKID")).asLargeInt(), before + 2);
        m_data->dtDisk().cancel();
        QCOMPARE(count(QStringLiteral("TDISK")), 3);
    }

    void newFolderTakesKeyFromGetNextId()
    {
        m_data->dtFolder().open();
        const qint64 before = generatorValue();
        m_data->dtFolder().insert();
        // One value for the row, one from GETNEXTID which replaced it.
        QCOMPARE(generatorValue(), before + 2);
        QCOMPARE(m_data->dtFolder().fieldByName(QStringLiteral("FFOLDERID")).asLargeInt(),
                 before + 2);
        QVERIFY(m_data->dtFolder().isModified());
        m_data->dtFolder()
            .fieldByName(QStringLiteral("FFOLDER"))
            .setString(QStringLiteral("Новая папка"));
        m_data->dtFolder().post();
        QCOMPARE(m_cat
                     ->scalar(QStringLiteral("select FFOLDER from TFOLDER where FFOLDERID = %1")
                                  .arg(before + 2))
                     .toString(),
                 QStringLiteral("Новая папка"));
    }

    void detailFollowsMaster()
    {
        int opens = 0;
        m_data->dtDisk().afterOpen = [&opens](QueryDataSet &) { ++opens; };
        openLists();
        QCOMPARE(m_data->dtFolder().fieldByName(QStringLiteral("FFOLDERID")).asInteger(), 1001);
        QCOMPARE(rowCount(m_data->dtDisk()), 2);
        opens = 0;
        m_data->dtFolder().next();
        QCOMPARE(opens, 1);
        QCOMPARE(m_data->dtDisk().fieldByName(QStringLiteral("FNAME")).asString(),
                 QStringLiteral("Solaris"));
        // A locate walks past rows but re-reads the detail once.
        opens = 0;
        m_data->dtFolder().locate(QStringLiteral("FFOLDERID"), 1003);
        QCOMPARE(opens, 1);
        QVERIFY(m_data->dtDisk().isEmpty());
        // Frozen controls hold the detail back until they are released, then it re-reads once.
        opens = 0;
        m_data->dtFolder().disableControls();
        m_data->dtFolder().first();
        m_data->dtFolder().next();
        QCOMPARE(opens, 0);
        m_data->dtFolder().enableControls();
        QCOMPARE(opens, 1);
        QCOMPARE(m_data->dtDisk().fieldByName(QStringLiteral("FNAME")).asString(),
                 QStringLiteral("Solaris"));
        // Closing the master leaves the detail as it was.
        m_data->dtFolder().first();
        m_data->dtFolder().close();
        QVERIFY(m_data->dtDisk().isOpen());
        QCOMPARE(rowCount(m_data->dtDisk()), 2);
    }

    void detailOfEmptyMasterHasNoRows()
    {
        m_cat->exec({QStringLiteral("delete from TDISK"), QStringLiteral("delete from TFOLDER")});
        openLists();
        QVERIFY(m_data->dtFolder().isEmpty());
        QVERIFY(m_data->dtDisk().isOpen());
        QVERIFY(m_data->dtDisk().isEmpty());
        QVERIFY(m_data->dtDisk().eof());
    }

    void locateMissKeepsCurrentRow()
    {
        openLists();
        m_data->dtDisk().next();
        QCOMPARE(m_data->dtDisk().fieldByName(QStringLiteral("FDISKID")).asInteger(), 2002);
        QVERIFY(!m_data->dtDisk().locate(QStringLiteral("FDISKID"), 999999));
        QCOMPARE(m_data->dtDisk().fieldByName(QStringLiteral("FDISKID")).asInteger(), 2002);
        QVERIFY(m_data->dtDisk().locate(QStringLiteral("FDISKID"), 2001));
        QCOMPARE(m_data->dtDisk().currentRow(), 0);
        // Locate next starts after the current row and never goes back.
        QVERIFY(!m_data->dtDisk().locateNext(QStringLiteral("FDISKID"), 2001));
        QCOMPARE(m_data->dtDisk().currentRow(), 0);
        QCOMPARE(errorOf([&] { m_data->dtDisk().locate(QStringLiteral("NOSUCH"), 1); }),
                 QStringLiteral("dtDisk: Field 'NOSUCH' not found"));
    }

    void requiredFieldStopsPost()
    {
        openLists();
        QSignalSpy focus(&m_data->dtDisk(), &QueryDataSet::focusFieldRequested);
        m_data->dtDisk().afterInsert = [](QueryDataSet &ds) {
            ds.fieldByName(QStringLiteral("FFOLDERID")).setInteger(1001);
            ds.fieldByName(QStringLiteral("FMANID")).setInteger(1);
        };
        m_data->dtDisk().insert();
        QVERIFY(m_data->dtDisk().isModified());
        // Moving away from a row filled only by the handler posts it, and fails on FNAME.
        QCOMPARE(errorOf([&] { m_data->dtDisk().first(); }),
                 QStringLiteral("Field 'FNAME' must have a value"));
        QCOMPARE(focus.count(), 1);
        QCOMPARE(focus.at(0).at(0).toString(), QStringLiteral("FNAME"));
        QCOMPARE(m_data->dtDisk().state(), QueryDataSet::State::Insert);
        // An empty text is no value either.
        m_data->dtDisk().fieldByName(QStringLiteral("FNAME")).setString(QString());
        QCOMPARE(errorOf([&] { m_data->dtDisk().post(); }),
                 QStringLiteral("Field 'FNAME' must have a value"));
        QCOMPARE(count(QStringLiteral("TDISK")), 3);
        m_data->dtDisk().fieldByName(QStringLiteral("FNAME")).setString(QStringLiteral("Zappa"));
        m_data->dtDisk().post();
        QCOMPARE(count(QStringLiteral("TDISK")), 4);
    }

    void postedRowStaysBehindFetchedRowsWithOldStatus()
    {
        openLists();
        auto &ds = m_data->dtDisk();
        QCOMPARE(rowCount(ds), 2);
        ds.first();
        ds.insert();
        QCOMPARE(ds.currentRow(), 0);
        ds.fieldByName(QStringLiteral("FFOLDERID")).setInteger(1001);
        ds.fieldByName(QStringLiteral("FMANID")).setInteger(1);
        ds.fieldByName(QStringLiteral("FNAME")).setString(QStringLiteral("Aaa first by name"));
        ds.post();
        QCOMPARE(ds.currentRow(), 2);
        QCOMPARE(ds.fieldByName(QStringLiteral("FNAME")).asString(),
                 QStringLiteral("Aaa first by name"));
        // The status computed by the server is not read back.
        QVERIFY(ds.fieldByName(QStringLiteral("FSTATUS")).isNull());
    }

    void movingAwayFromNewRowReachesTheChosenRow()
    {
        openLists();
        auto &ds = m_data->dtDisk();
        QCOMPARE(rowCount(ds), 2);
        ds.first();
        ds.insert();
        ds.fieldByName(QStringLiteral("FFOLDERID")).setInteger(1001);
        ds.fieldByName(QStringLiteral("FMANID")).setInteger(1);
        ds.fieldByName(QStringLiteral("FNAME")).setString(QStringLiteral("Zelenka"));
        // Rows: Zelenka (new), Bach, Mozart; posting moves the new row behind Mozart.
        ds.moveTo(2);
        QCOMPARE(ds.fieldByName(QStringLiteral("FNAME")).asString(), QStringLiteral("Mozart"));
        QCOMPARE(ds.currentRow(), 1);
        // A new row left without changes is dropped; the target moves up with the rest.
        ds.first();
        ds.insert();
        ds.moveTo(2);
        QCOMPARE(ds.fieldByName(QStringLiteral("FNAME")).asString(), QStringLiteral("Mozart"));
        QCOMPARE(rowCount(ds), 3);
    }

    void emptyAndClosedDeleteMessages()
    {
        QCOMPARE(errorOf([&] { m_data->dtDisk().remove(); }),
                 QStringLiteral("dtDisk: Cannot perform this operation on a closed dataset"));
        openLists();
        m_data->dtFolder().locate(QStringLiteral("FFOLDERID"), 1003);
        QCOMPARE(errorOf([&] { m_data->dtDisk().remove(); }),
                 QStringLiteral("dtDisk: Cannot perform this operation on an empty dataset"));
    }

    void deleteMovesToNextRow()
    {
        openLists();
        m_data->dtDisk().first();
        m_data->dtDisk().remove();
        QCOMPARE(m_data->dtDisk().fieldByName(QStringLiteral("FNAME")).asString(),
                 QStringLiteral("Mozart"));
        QCOMPARE(count(QStringLiteral("TDISK")), 2);
    }

    void serverRefusalCarriesServerText()
    {
        openLists();
        // The folder holds disks: the server refuses and the dataset keeps the row.
        const QString text = errorOf([&] { m_data->dtFolder().remove(); });
        QVERIFY2(text.contains(QStringLiteral("FOREIGN KEY"), Qt::CaseInsensitive),
                 qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("\r\n")));
        QVERIFY(!text.endsWith(QLatin1Char('.')));
        QCOMPARE(rowCount(m_data->dtFolder()), 3);
        QCOMPARE(count(QStringLiteral("TFOLDER")), 3);
    }

    void oneShotStatementNeedsRunningTransaction()
    {
        m_data->dtMoveDisk().setParam(QStringLiteral("FFOLDERID"), 1002);
        m_data->dtMoveDisk().setParam(QStringLiteral("FDISKID"), 2001);
        QCOMPARE(errorOf([&] { m_data->dtMoveDisk().execute(); }),
                 QStringLiteral("Transaction is not active"));
        openLists();
        m_data->dtMoveDisk().execute();
        QCOMPARE(
            m_cat->scalar(QStringLiteral("select FFOLDERID from TDISK where FDISKID=2001")).toInt(),
            1002);
    }

    void autoStopCommitsWhenLastDatasetCloses()
    {
        openLists();
        QVERIFY(m_data->dtMan().isOpen()); // opened with the disk list's lookups
        Transaction &tr = m_data->DefDatabase().transaction();
        m_data->dtDisk().close();
        m_data->dtFolder().close();
        QVERIFY(tr.isActive());
        m_data->dtMan().close();
        m_data->dtType().close();
        QVERIFY(tr.isActive());
        m_data->dtGroup().close();
        QVERIFY(!tr.isActive());
        // The version check runs with nothing open and commits right after.
        m_data->spVer().execute();
        QVERIFY(!tr.isActive());
        QCOMPARE(m_data->spVer().paramAsString(QStringLiteral("VERSION")), QStringLiteral("1.0"));
    }

    void disconnectClosesAndCommits()
    {
        openLists();
        QSignalSpy disconnected(&m_data->DefDatabase(), &Connection::afterDisconnect);
        m_data->dtFolder().edit();
        m_data->dtFolder()
            .fieldByName(QStringLiteral("FFOLDER"))
            .setString(QStringLiteral("Renamed"));
        m_data->dtFolder().post();
        m_data->dtDisk().edit();
        m_data->dtDisk().fieldByName(QStringLiteral("FCOMMENT")).setString(QStringLiteral("kept?"));
        m_data->DefDatabase().close();
        QCOMPARE(disconnected.count(), 1);
        QVERIFY(!m_data->dtDisk().isOpen());
        QVERIFY(!m_data->dtMan().isOpen());
        QCOMPARE(m_cat->scalar(QStringLiteral("select FFOLDER from TFOLDER where FFOLDERID=1001"))
                     .toString(),
                 QStringLiteral("Renamed"));
        // A row still being edited is discarded, not posted.
        QVERIFY(m_cat->scalar(QStringLiteral("select FCOMMENT from TDISK where FDISKID=2001"))
                    .isNull());
        // Opening a dataset reconnects silently.
        QSignalSpy connected(&m_data->DefDatabase(), &Connection::afterConnect);
        m_data->dtFolder().open();
        QCOMPARE(connected.count(), 1);
        QVERIFY(m_data->DefDatabase().isConnected());
    }

    void postedRowIsDurableAtOnce()
    {
        openLists();
        m_data->dtDisk().insert();
        auto &ds = m_data->dtDisk();
        ds.fieldByName(QStringLiteral("FFOLDERID")).setInteger(1001);
        ds.fieldByName(QStringLiteral("FMANID")).setInteger(1);
        ds.fieldByName(QStringLiteral("FNAME")).setString(QStringLiteral("café – 日本.txt"));
        ds.post();
        const int key = ds.fieldByName(QStringLiteral("FDISKID")).asInteger();
        // A second connection that attaches now sees the row, text exactly as posted.
        QCOMPARE(m_cat->scalar(QStringLiteral("select FNAME from TDISK where FDISKID=%1").arg(key))
                     .toString(),
                 QStringLiteral("café – 日本.txt"));
        QVERIFY(m_data->DefDatabase().transaction().isActive());
        QVERIFY(ds.isOpen());
        QCOMPARE(ds.state(), QueryDataSet::State::Browse);
    }

    void fetchesOnDemandInBlocks()
    {
        m_cat->exec({QStringLiteral(
            "execute block as declare i integer = 0; begin while (i < 2500) do begin "
            "insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
            "(100000 + :i, 1003, 1, 'D' || :i, :i); i = i + 1; end end")});
        openLists();
        m_data->dtFolder().locate(QStringLiteral("FFOLDERID"), 1003);
        auto &ds = m_data->dtDisk();
        QCOMPARE(ds.fetchedCount(), 1);
        QSignalSpy fetched(&ds, &QueryDataSet::rowsFetched);
        ds.fetchMore();
        QCOMPARE(ds.fetchedCount(), 1001);
        QCOMPARE(fetched.count(), 1);
        QCOMPARE(fetched.at(0).at(0).toInt(), 1);
        QCOMPARE(fetched.at(0).at(1).toInt(), 1000);
        // Locating deep in the list tells the views once, not once per row it fetched.
        fetched.clear();
        QVERIFY(ds.locate(QStringLiteral("FDISKID"), 100000 + 2400));
        QCOMPARE(ds.fetchedCount(), 2401);
        QCOMPARE(fetched.count(), 1);
        QCOMPARE(fetched.at(0).at(0).toInt(), 1001);
        QCOMPARE(fetched.at(0).at(1).toInt(), 2400);
        fetched.clear();
        QVERIFY(!ds.locate(QStringLiteral("FDISKID"), 1));
        QCOMPARE(fetched.count(), 1);
        QCOMPARE(ds.fetchedCount(), 2500);
        QCOMPARE(ds.fieldByName(QStringLiteral("FDISKID")).asInteger(), 100000 + 2400);
        ds.last();
        QCOMPARE(ds.fetchedCount(), 2500);
        QVERIFY(!ds.canFetchMore());
    }

    // Every change of the rows is told twice: before it, while the rows are as they were,
    // and after it. Each line shows the rows a signal names, as they read when it came.
    void changesAreToldBeforeAndAfter_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<QStringList>("told");
        QTest::newRow("fetch") << int(Change::Fetch)
                               << QStringList {"rowsAboutToBeFetched(1 -, 1 -) of 1",
                                               "rowsFetched(1 Mozart, 1 Mozart) of 2"};
        QTest::newRow("insert in the middle")
            << int(Change::Insert)
            << QStringList {"rowAboutToBeInserted(1 Mozart) of 2", "rowInserted(1 -) of 3"};
        QTest::newRow("cancel a new row")
            << int(Change::CancelNewRow)
            << QStringList {"rowAboutToBeRemoved(1 -) of 3", "rowRemoved(1 Mozart) of 2"};
        QTest::newRow("delete") << int(Change::Delete)
                                << QStringList {"rowAboutToBeRemoved(0 Bach) of 2",
                                                "rowRemoved(0 Mozart) of 1"};
        QTest::newRow("post moves the new row behind")
            << int(Change::PostNewRow)
            << QStringList {"rowAboutToBeMoved(0 Zappa, 2 Mozart) of 3",
                            "rowMoved(0 Bach, 2 Zappa) of 3"};
        QTest::newRow("frozen controls hear neither") << int(Change::Frozen) << QStringList();
    }
    void changesAreToldBeforeAndAfter()
    {
        QFETCH(int, change);
        QFETCH(QStringList, told);
        openLists();
        auto &ds = m_data->dtDisk();
        const int name = ds.fieldByName(QStringLiteral("FNAME")).index();
        QStringList log;
        const auto record = [&](const char *signal, std::initializer_list<int> rows) {
            QStringList at;
            for (const int row : rows) {
                const QString text = ds.value(row, name).toString();
                at << QString::number(row) + QLatin1Char(' ')
                        + (text.isEmpty() ? QStringLiteral("-") : text);
            }
            log << QStringLiteral("%1(%2) of %3")
                       .arg(QLatin1String(signal), at.join(QStringLiteral(", ")))
                       .arg(ds.fetchedCount());
        };
        connect(&ds, &QueryDataSet::rowsAboutToBeFetched, this, [&](int first, int last) {
            record("rowsAboutToBeFetched", {first, last});
        });
        connect(&ds, &QueryDataSet::rowsFetched, this, [&](int first, int last) {
            record("rowsFetched", {first, last});
        });
        connect(&ds, &QueryDataSet::rowAboutToBeInserted, this,
                [&](int row) { record("rowAboutToBeInserted", {row}); });
        connect(&ds, &QueryDataSet::rowInserted, this,
                [&](int row) { record("rowInserted", {row}); });
        connect(&ds, &QueryDataSet::rowAboutToBeRemoved, this,
                [&](int row) { record("rowAboutToBeRemoved", {row}); });
        connect(&ds, &QueryDataSet::rowRemoved, this,
                [&](int row) { record("rowRemoved", {row}); });
        connect(&ds, &QueryDataSet::rowAboutToBeMoved, this, [&](int from, int to) {
            record("rowAboutToBeMoved", {from, to});
        });
        connect(&ds, &QueryDataSet::rowMoved, this, [&](int from, int to) {
            record("rowMoved", {from, to});
        });

        if (Change(change) != Change::Fetch && Change(change) != Change::Frozen) {
            ds.fetchAll();
            ds.moveTo(Change(change) == Change::Delete || Change(change) == Change::PostNewRow ? 0
                                                                                               : 1);
        }
        if (Change(change) == Change::CancelNewRow || Change(change) == Change::PostNewRow)
            ds.insert();
        if (Change(change) == Change::PostNewRow) {
            ds.fieldByName(QStringLiteral("FFOLDERID")).setInteger(1001);
            ds.fieldByName(QStringLiteral("FMANID")).setInteger(1);
            ds.fieldByName(QStringLiteral("FNAME")).setString(QStringLiteral("Zappa"));
        }
        log.clear();
        switch (Change(change)) {
        case Change::Fetch:
            ds.fetchMore();
            break;
        case Change::Insert:
            ds.insert();
            break;
        case Change::CancelNewRow:
            ds.cancel();
            break;
        case Change::Delete:
            ds.remove();
            break;
        case Change::PostNewRow:
            ds.post();
            break;
        case Change::Frozen:
            ds.disableControls();
            ds.fetchMore();
            ds.insert();
            ds.cancel();
            QCOMPARE(ds.fetchedCount(), 2);
            ds.enableControls();
            break;
        }
        QCOMPARE(log, told);
        disconnect(&ds, nullptr, this, nullptr);
    }

    void rowsReadBeforeAFailedFetchAreKept()
    {
        // The fifth disk's expression divides by zero: the server fails that row's fetch.
        m_cat->exec(
            {QStringLiteral("execute block as declare i integer = 3; begin while (i <= 6) do begin "
                            "insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                            "(2100 + :i, 1001, 1, 'D' || :i, :i); i = i + 1; end end")});
        m_data->DefDatabase().open();
        QueryDataSet ds(m_data->DefDatabase(), QStringLiteral("dtFailing"));
        ds.setSelectSql({QStringLiteral("select FDISKID, 10 / (5 - FNN) as X from TDISK "
                                        "where FFOLDERID = 1001 order by FDISKID")});
        ds.open();
        QCOMPARE(ds.fetchedCount(), 1);
        QSignalSpy before(&ds, &QueryDataSet::rowsAboutToBeFetched);
        QSignalSpy fetched(&ds, &QueryDataSet::rowsFetched);
        const QString error = errorOf([&] { ds.fetchMore(); });
        QVERIFY2(error.contains(QStringLiteral("divide"), Qt::CaseInsensitive), qPrintable(error));
        // The three disks before it came with the failing fetch: they stay, and views are
        // told of them.
        QCOMPARE(ds.fetchedCount(), 4);
        QCOMPARE(ds.value(3, 0).toInt(), 2104);
        QCOMPARE(before.count(), 1);
        QCOMPARE(fetched.count(), 1);
        QCOMPARE(fetched.at(0), (QVariantList {1, 3}));
        // The failed cursor gives nothing more.
        ds.fetchMore();
        QCOMPARE(ds.fetchedCount(), 4);
        QVERIFY(!ds.canFetchMore());
    }

    void lookupFieldsFollowTheirSources()
    {
        m_cat->exec({QStringLiteral("update TDISK set FTYPEID = (select min(FTYPEID) from TTYPE) "
                                    "where FDISKID = 2001")});
        const QString typeName
            = m_cat->scalar(QStringLiteral("select FTYPE from TTYPE order by FTYPEID")).toString();
        openLists();
        auto &ds = m_data->dtDisk();
        QCOMPARE(ds.fieldByName(QStringLiteral("FTYPE")).asString(), typeName);
        QCOMPARE(ds.fieldByName(QStringLiteral("FMAN")).asString(),
                 m_cat->scalar(QStringLiteral("select FNAME from TMAN where FMANID=1")).toString());
        ds.next();
        QVERIFY(ds.fieldByName(QStringLiteral("FTYPE")).isNull());
        m_data->dtType().close();
        ds.first();
        QVERIFY(ds.fieldByName(QStringLiteral("FTYPE")).isNull());
    }

    void tableDatasetWritesByKeyAndRefreshKeepsRow()
    {
        auto &man = m_data->dtMan();
        man.afterInsert
            = [this](QueryDataSet &ds) { m_data->assignNextId(ds, QStringLiteral("FMANID")); };
        man.open();
        man.insert();
        const int key = man.fieldByName(QStringLiteral("FMANID")).asInteger();
        man.fieldByName(QStringLiteral("FNAME")).setString(QStringLiteral("Пётр"));
        man.post();
        man.edit();
        man.fieldByName(QStringLiteral("FCOMMENT")).setString(QStringLiteral("сосед"));
        man.post();
        m_cat->exec({QStringLiteral("insert into TMAN (FMANID, FNAME) values (5000, 'Later')")});
        man.refresh();
        QCOMPARE(man.fieldByName(QStringLiteral("FMANID")).asInteger(), key);
        QCOMPARE(man.fieldByName(QStringLiteral("FCOMMENT")).asString(), QStringLiteral("сосед"));
        man.remove();
        QCOMPARE(m_cat->scalar(QStringLiteral("select count(*) from TMAN where FMANID=%1").arg(key))
                     .toInt(),
                 0);
    }

    void errorBoxAddsFullStopOnlyAfterLettersAndDigits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Field 'FNAME' must have a value"
                                << "Field 'FNAME' must have a value.";
        QTest::newRow("digit") << "error 42"
                               << "error 42.";
        QTest::newRow("question") << "really?"
                                  << "really?.";
        QTest::newRow("full stop") << "done."
                                   << "done.";
        QTest::newRow("bang") << "Ничего не найдено !"
                              << "Ничего не найдено !";
        QTest::newRow("paren") << "closed (x)"
                               << "closed (x)";
        QTest::newRow("cyrillic") << "Ошибка"
                                  << "Ошибка.";
        QTest::newRow("empty") << ""
                               << "";
    }
    void errorBoxAddsFullStopOnlyAfterLettersAndDigits()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(errorBoxText(text), shown);
    }

    void namedParametersIgnoreQuotesAndComments()
    {
        const NamedSql parsed = parseNamedSql(QStringLiteral(
            "select ':no' from t /* :nor */ where a=:A and b = :b -- :c\n and c=:a"));
        QCOMPARE(parsed.names, QStringList({QStringLiteral("A"), QStringLiteral("b")}));
        QCOMPARE(parsed.markerName, std::vector<int>({0, 1, 0}));
        QVERIFY(parsed.sql.contains("':no'"));
        QVERIFY(parsed.sql.contains("a=? and b = ?"));
        // Variables of an EXECUTE BLOCK body are the block's own.
        const NamedSql block = parseNamedSql(QStringLiteral(
            "execute block (x integer = :X) as declare i integer; begin i = :x; end"));
        QCOMPARE(block.names, QStringList({QStringLiteral("X")}));
        QVERIFY(block.sql.contains("i = :x"));
    }
};

QTEST_GUILESS_MAIN(TestDataSet)
#include "tst_dataset.moc"
