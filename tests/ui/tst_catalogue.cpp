#include "app/Catalogue.h"
#include "tests/support/TestCatalogue.h"

#include <QSignalSpy>
#include <QTest>

// The catalogue object's intentions over a real catalogue: where it stands, going somewhere,
// and fresh keys.
class TestCatalogueObject : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestCatalogue> m_cat;
    std::unique_ptr<Catalogue> m_catalogue;

private Q_SLOTS:
    void init()
    {
        m_cat = std::make_unique<TestCatalogue>();
        QVERIFY2(m_cat->isValid(), qPrintable(m_cat->error()));
        m_cat->exec({
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(1001, 'Диски', 0)"),
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(1002, 'Другая', 0)"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                           "(2001, 1001, 1, 'Bach', 1)"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                           "(2002, 1002, 1, 'Mozart', 1)"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                           "(2003, 1002, 1, 'Vivaldi', 2)"),
        });
        m_catalogue = std::make_unique<Catalogue>();
        m_cat->configure(m_catalogue->DefDatabase());
    }
    void cleanup()
    {
        m_catalogue.reset();
        m_cat.reset();
    }

    // Closed lists stand nowhere and go nowhere.
    void closedListsGoNowhere()
    {
        QSignalSpy went(m_catalogue.get(), &Catalogue::wentTo);
        QCOMPARE(m_catalogue->currentFolder(), 0);
        QCOMPARE(m_catalogue->currentDisk(), 0);
        QVERIFY(!m_catalogue->goTo(1002, 2003));
        QCOMPARE(went.size(), 0);
    }

    void goTo_data()
    {
        QTest::addColumn<int>("folder");
        QTest::addColumn<int>("disk");
        QTest::addColumn<int>("atFolder");
        QTest::addColumn<int>("atDisk");
        QTest::newRow("another folder") << 1002 << 2003 << 1002 << 2003;
        QTest::newRow("same folder") << 1001 << 2001 << 1001 << 2001;
        // A disk gone meanwhile: the folder's first disk.
        QTest::newRow("disk not there") << 1002 << 2001 << 1002 << 2002;
    }
    void goTo()
    {
        QFETCH(int, folder);
        QFETCH(int, disk);
        QFETCH(int, atFolder);
        QFETCH(int, atDisk);
        m_catalogue->DefDatabase().open();
        m_catalogue->dtFolder().open();
        m_catalogue->dtDisk().open();
        QVERIFY(m_catalogue->dtFolder().locate(QStringLiteral("FFOLDERID"), 1001));
        QCOMPARE(m_catalogue->currentFolder(), 1001);
        QCOMPARE(m_catalogue->currentDisk(), 2001);
        QSignalSpy went(m_catalogue.get(), &Catalogue::wentTo);
        QVERIFY(m_catalogue->goTo(folder, disk));
        QCOMPARE(m_catalogue->currentFolder(), atFolder);
        QCOMPARE(m_catalogue->currentDisk(), atDisk);
        QCOMPARE(went.size(), 1);
        QCOMPARE(went.at(0), QVariantList({atFolder, atDisk}));
    }

    // Keys come from the one generator, one after another.
    void nextIdCounts()
    {
        m_catalogue->DefDatabase().open();
        const int first = m_catalogue->nextId();
        QVERIFY(first > 0);
        QCOMPARE(m_catalogue->nextId(), first + 1);
        m_catalogue->dtFolder().open();
        m_catalogue->dtFolder().insert();
        // A new folder's key is drawn from it too.
        QVERIFY(m_catalogue->dtFolder().fieldByName(QStringLiteral("FFOLDERID")).asInteger()
                > first + 1);
        m_catalogue->dtFolder().cancel();
    }
};

QTEST_MAIN(TestCatalogueObject)
#include "tst_catalogue.moc"
