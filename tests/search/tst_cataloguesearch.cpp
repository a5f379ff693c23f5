#include "search/CatalogueSearch.h"
#include "searchindex/IndexText.h"
#include "searchindex/IndexedFind.h"
#include "searchindex/SearchIndex.h"
#include "store/Connection.h"
#include "store/Transaction.h"
#include "tests/support/TestCatalogue.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// Searching without a window: the local index and the server's FIND and FINDFILE give the same
// rows, in the same order, for the same texts as typed.
class TestCatalogueSearch : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_cache;
    std::unique_ptr<TestCatalogue> m_cat;
    std::unique_ptr<Connection> m_db;
    std::unique_ptr<SearchIndex> m_index;

    // Every row of the last find, all of FIND's columns, as text.
    static QStringList rowsOf(CatalogueSearch &search)
    {
        QueryDataSet &rows = search.results();
        rows.fetchAll();
        QStringList all;
        for (int r = 0; r < rows.fetchedCount(); ++r) {
            QStringList values;
            for (int c = 0; c < IndexedFind::ColumnCount; ++c) {
                const QVariant v
                    = rows.value(r, rows.fieldByName(IndexedFind::columnName(c)).index());
                values << (v.isNull() ? QStringLiteral("<null>") : v.toString());
            }
            all << values.join(QLatin1Char('|'));
        }
        return all;
    }
    static QList<int> keysOf(CatalogueSearch::Matches matches)
    {
        QList<int> keys;
        while (const std::optional<int> key = matches.next())
            keys << *key;
        return keys;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_cache.isValid());
        // The index of the test's catalogue goes with the test's files.
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache.path()));
        m_cat = std::make_unique<TestCatalogue>();
        QVERIFY2(m_cat->isValid(), qPrintable(m_cat->error()));
        auto disk = [](int id, int folder, const char *name, int nn) {
            return QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) "
                                  "values (%1, %2, 1, '%3', %4)")
                .arg(id)
                .arg(folder)
                .arg(QString::fromUtf8(name))
                .arg(nn);
        };
        auto entry = [](int id, int disk, int parent, int type, const char *name) {
            return QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, "
                                  "FTYPE, FCONTENT, FSIZE) values (%1, %2, %3, %4, '%5', %1)")
                .arg(id)
                .arg(disk)
                .arg(parent ? QString::number(parent) : QStringLiteral("null"))
                .arg(type)
                .arg(QString::fromUtf8(name));
        };
        const int folder = TestCatalogue::startFolderId;
        m_cat->exec({
            disk(2001, folder, "Архив 2020", 1),
            disk(2002, folder, "Музыка", 2),
            disk(2003, folder, "Straße", 3),
            entry(3100, 2001, 0, 2, "/media/cdrom: ARCHIVE"),
            entry(3101, 2001, 3100, 1, "docs"),
            entry(3102, 2001, 3101, 0, "Отчёт ABC.doc"),
            entry(3103, 2001, 3100, 0, "abc.txt"),
            entry(3104, 2001, 3101, 0, "Ёлка.jpg"),
            entry(3200, 2002, 0, 2, "/media/cdrom: MUSIC"),
            entry(3201, 2002, 3200, 1, "ёлка"),
            entry(3202, 2002, 3201, 0, "track01 abc.flac"),
            entry(3203, 2002, 3201, 0, "straße.txt"),
            entry(3300, 2003, 0, 2, "/media/cdrom: STRASSE"),
            entry(3301, 2003, 3300, 0, "STRASSE.TXT"),
        });
        m_db = m_cat->connection();
        m_db->open();
        m_db->transaction().start();
        m_index = std::make_unique<SearchIndex>();
        m_index->setCatalogue(m_db->databaseName(), m_db->params());
        if (!m_index->prepare(*m_db)) {
            QSignalSpy done(m_index.get(), &SearchIndex::backgroundDone);
            QVERIFY(m_index->isBuilding() || done.size() > 0);
            QVERIFY(done.size() > 0 || done.wait(60000));
            QVERIFY(done.at(0).at(0).toBool());
        }
        QVERIFY(m_index->prepare(*m_db));
    }
    void cleanupTestCase()
    {
        m_index.reset();
        m_db.reset();
        m_cat.reset();
    }

    void indexAndFindAgree_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("disk");
        // The files found (FIND lists files, not folders nor a disk's root).
        QTest::addColumn<int>("rows");
        const struct
        {
            const char *name, *file, *disk;
            int rows;
        } cases[] = {
            {"file text", "abc", "", 3},
            {"upper case", "ABC", "", 3},
            {"ё and е differ", "ёлка", "", 2},
            {"file in a disk", "abc", "арх", 2},
            {"disk only", "", "музыка", 1},
            {"ß is not SS", "straße", "", 1},
            {"SS is not ß", "strasse", "", 1},
            {"one letter", "a", "", 5},
            {"nothing found", "нет такого", "", 0},
            {"space first: the server", " abc", "", 2},
        };
        for (const auto &c : cases)
            QTest::newRow(c.name) << QString::fromUtf8(c.file) << QString::fromUtf8(c.disk)
                                  << c.rows;
        QTest::newRow("longest name") << QString(IndexText::MaxName, QLatin1Char('x')) << "" << 0;
        QTest::newRow("overlong name")
            << QString(IndexText::MaxName + 1, QLatin1Char('x')) << "" << 0;
        QTest::newRow("overlong disk")
            << "abc" << QString(IndexedFind::MaxDiskText + 1, QLatin1Char('x')) << 0;
    }
    void indexAndFindAgree()
    {
        QFETCH(QString, file);
        QFETCH(QString, disk);
        QFETCH(int, rows);
        CatalogueSearch byServer(*m_db);
        QVERIFY(!byServer.find(file, disk));
        const QStringList expected = rowsOf(byServer);
        CatalogueSearch byIndex(*m_db, m_index.get());
        const bool answerable = file.size() <= IndexText::MaxName
            && disk.size() <= IndexedFind::MaxDiskText
            && IndexedFind::canAnswer(IndexText::upper(file), IndexText::upper(disk));
        QCOMPARE(byIndex.find(file, disk), answerable);
        QCOMPARE(rowsOf(byIndex), expected);
        QCOMPARE(expected.size(), rows);
    }

    void diskMatchesAgree_data()
    {
        QTest::addColumn<int>("disk");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("keys");
        QTest::newRow("two matches") << 2001 << "abc" << QList<int> {3102, 3103};
        QTest::newRow("folder and file") << 2002 << "ЁЛКА" << QList<int> {3201};
        QTest::newRow("root entry") << 2003 << "strasse" << QList<int> {3300, 3301};
        QTest::newRow("none") << 2003 << "abc" << QList<int> {};
        QTest::newRow("overlong") << 2001 << QString(IndexText::MaxName + 1, QLatin1Char('a'))
                                  << QList<int> {};
    }
    void diskMatchesAgree()
    {
        QFETCH(int, disk);
        QFETCH(QString, text);
        QFETCH(QList<int>, keys);
        CatalogueSearch byServer(*m_db);
        CatalogueSearch::Matches server = byServer.onDisk(disk, text);
        QVERIFY(!server.indexed);
        QList<int> found = keysOf(server);
        QCOMPARE(found, keys);
        CatalogueSearch byIndex(*m_db, m_index.get());
        CatalogueSearch::Matches indexed = byIndex.onDisk(disk, text);
        QCOMPARE(indexed.indexed, text.size() <= IndexText::MaxName);
        found = keysOf(indexed);
        QCOMPARE(found, keys);
    }
};

QTEST_MAIN(TestCatalogueSearch)
#include "tst_cataloguesearch.moc"
