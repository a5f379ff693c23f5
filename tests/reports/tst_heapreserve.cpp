#include "reportengine/HeapReserve.h"

#include <QTest>
#include <memory>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

// Reports keep a reserve of heap while they build and paint, and give it back at the end.
class TestHeapReserve : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reserveKeptWhileNeededAndGivenBack()
    {
#if !defined(__GLIBC__)
        QSKIP("the reserve is a setting of the GNU C library");
#else
        constexpr size_t mib = 1024 * 1024;
        {
            const HeapReserve outer;
            {
                // A nested reserve (a build inside a paint) leaves the outer one in charge.
                const HeapReserve inner;
                std::vector<std::unique_ptr<char[]>> blocks;
                for (int i = 0; i < 4000; ++i)
                    blocks.push_back(std::make_unique<char[]>(8000));
            }
            // The 32 MiB freed stay at hand for the next page instead of going back at once.
            QVERIFY2(mallinfo2().keepcost >= 16 * mib,
                     qPrintable(QString::number(mallinfo2().keepcost)));
        }
        QVERIFY2(mallinfo2().keepcost < mib, qPrintable(QString::number(mallinfo2().keepcost)));
#endif
    }
};

QTEST_GUILESS_MAIN(TestHeapReserve)
#include "tst_heapreserve.moc"
