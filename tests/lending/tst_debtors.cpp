#include "lending/Debtors.h"
#include "store/Connection.h"
#include "tests/support/LendingSample.h"
#include "tests/support/TestCatalogue.h"

#include <QTest>

using GiveIds = QList<int>;
using Filters = Debtors::Filters;

// The debtors list without its window: which lendings each set of filters leaves, in which
// order, on a real catalogue.
class TestDebtors : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestCatalogue> m_cat;
    std::unique_ptr<Connection> m_db;
    std::unique_ptr<Debtors> m_debtors;

    GiveIds listed()
    {
        QueryDataSet &rows = m_debtors->rows();
        rows.fetchAll();
        const int key = rows.fieldByName(QStringLiteral("FGIVEID")).index();
        GiveIds ids;
        for (int r = 0; r < rows.fetchedCount(); ++r)
            ids << rows.value(r, key).toInt();
        return ids;
    }
    void turnOn(const Filters &on)
    {
        for (size_t f = 0; f < on.size(); ++f) {
            if (on[f])
                m_debtors->toggle(Debtors::Filter(f));
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_cat = std::make_unique<TestCatalogue>();
        QVERIFY2(m_cat->isValid(), qPrintable(m_cat->error()));
        QStringList rows {QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) "
                                         "values (1001, 'Диски', 0)")};
        m_cat->exec(rows + LendingSample::rows());
        m_db = m_cat->connection();
        m_db->open();
    }
    void init()
    {
        m_debtors = std::make_unique<Debtors>(*m_db);
        m_debtors->open();
    }
    void cleanup() { m_debtors.reset(); }
    void cleanupTestCase()
    {
        m_db.reset();
        m_cat.reset();
    }

    // Filters: not mine, mine, not returned, overdue.
    void filters_data()
    {
        QTest::addColumn<Filters>("on");
        QTest::addColumn<GiveIds>("ids");
        QTest::newRow("none") << Filters {} << GiveIds {3001, 3005, 3003, 3002, 3004};
        QTest::newRow("not mine") << Filters {true, false, false, false} << GiveIds {3002, 3004};
        QTest::newRow("mine") << Filters {false, true, false, false} << GiveIds {3001, 3005, 3003};
        QTest::newRow("not returned")
            << Filters {false, false, true, false} << GiveIds {3001, 3005, 3002};
        // Due today is not overdue; returned lendings past their date are listed.
        QTest::newRow("overdue") << Filters {false, false, false, true}
                                 << GiveIds {3001, 3003, 3004};
        QTest::newRow("both owners") << Filters {true, true, false, false} << GiveIds {};
        QTest::newRow("mine, not returned")
            << Filters {false, true, true, false} << GiveIds {3001, 3005};
        QTest::newRow("not mine, not returned")
            << Filters {true, false, true, false} << GiveIds {3002};
        QTest::newRow("mine, overdue")
            << Filters {false, true, false, true} << GiveIds {3001, 3003};
        QTest::newRow("not returned, overdue")
            << Filters {false, false, true, true} << GiveIds {3001};
        QTest::newRow("all four") << Filters {true, true, true, true} << GiveIds {};
    }
    void filters()
    {
        QFETCH(Filters, on);
        QFETCH(GiveIds, ids);
        turnOn(on);
        for (size_t f = 0; f < on.size(); ++f)
            QCOMPARE(m_debtors->isOn(Debtors::Filter(f)), on[f]);
        QCOMPARE(listed(), ids);
        // Turning them off again lists every lending.
        turnOn(on);
        QCOMPARE(listed(), GiveIds({3001, 3005, 3003, 3002, 3004}));
    }

    // An ordering and the filters hold across each other.
    void orderingKeepsTheFilters()
    {
        m_debtors->toggle(Debtors::Mine);
        m_debtors->orderBy(QStringLiteral("13 desc, 7")); // disk name, then lending key
        QCOMPARE(listed(), GiveIds({3003, 3001, 3005}));
        m_debtors->toggle(Debtors::NotReturned);
        QCOMPARE(listed(), GiveIds({3001, 3005}));
        const QStringList &select = m_debtors->rows().selectSql();
        QCOMPARE(select.constLast(), QStringLiteral("13 desc, 7"));
        QCOMPARE(select.at(select.size() - 3),
                 QStringLiteral("where d.FMANID=1 AND g.FRETDATE is null"));
        m_debtors->toggle(Debtors::Mine);
        m_debtors->toggle(Debtors::NotReturned);
        m_debtors->orderBy(Debtors::defaultOrdering);
        QCOMPARE(listed(), GiveIds({3001, 3005, 3003, 3002, 3004}));
    }
};

QTEST_MAIN(TestDebtors)
#include "tst_debtors.moc"
