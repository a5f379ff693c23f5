#include "platform/BackgroundWalk.h"
#include "platform/DirectoryWalker.h"
#include "tests/support/FixtureTree.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace FixtureTree;

namespace {

// What a walk reports of an entry, as one line.
QString described(const DirectoryWalker::Entry &e)
{
    return QStringLiteral("%1 <%2> depth %3 %4 type %5 size %6 %7 %8 in %9")
        .arg(e.id)
        .arg(e.parentId)
        .arg(e.depth)
        .arg(QString::fromLatin1(e.rawName.toHex()))
        .arg(int(e.type))
        .arg(e.size)
        .arg(e.modified.toString(Qt::ISODate))
        .arg(e.listable ? QStringLiteral("listable") : QStringLiteral("unlisted"))
        .arg(e.folderPath);
}

} // namespace

// The walk on a thread of its own hands over what the walk on this thread gives.
class TestBackgroundWalk : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_tree;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_tree = m_dir.filePath(QStringLiteral("drive"));
        const QByteArray tree = QFile::encodeName(m_tree);
        QVERIFY(::mkdir(tree.constData(), 0755) == 0);
        QVERIFY(build(Fixture::Unreadable, tree));
        QVERIFY(build(Fixture::InvalidUtf8, tree));
        QVERIFY(build(Fixture::Deep, tree));
        QVERIFY(buildCollection(m_tree + QStringLiteral("/collection"), 300) > 0);
    }
    void cleanupTestCase() { release(QFile::encodeName(m_tree)); }

    void sameEntriesAsTheWalk_data()
    {
        QTest::addColumn<int>("blockSize");
        QTest::addColumn<int>("maxBlocks");
        QTest::newRow("one entry, one block") << 1 << 1;
        QTest::newRow("small blocks") << 3 << 2;
        QTest::newRow("the reader's blocks") << 256 << 8;
    }
    void sameEntriesAsTheWalk()
    {
        QFETCH(int, blockSize);
        QFETCH(int, maxBlocks);
        QStringList expected;
        DirectoryWalker::Faults expectedFaults;
        QCOMPARE(DirectoryWalker::walk(
                     m_tree,
                     [&](const DirectoryWalker::Entry &e) {
                         expected << described(e);
                         return true;
                     },
                     &expectedFaults),
                 DirectoryWalker::Result::Finished);
        QVERIFY(expected.size() > 400);

        BackgroundWalk walk(m_tree, size_t(blockSize), size_t(maxBlocks));
        BackgroundWalk::Block block;
        QStringList taken;
        BackgroundWalk::Take got;
        while ((got = walk.take(block, 100)) != BackgroundWalk::Take::Ended) {
            QVERIFY(int(block.size()) <= blockSize);
            for (const DirectoryWalker::Entry &e : block)
                taken << described(e);
        }
        QCOMPARE(taken, expected);
        QCOMPARE(walk.result(), DirectoryWalker::Result::Finished);
        QCOMPARE(walk.faults().folders, expectedFaults.folders);
        QCOMPARE(walk.faults().entries, expectedFaults.entries);
    }

    // A stop ends the walk where it stands, also while it waits for room in the queue.
    void stopEndsTheWalk()
    {
        BackgroundWalk walk(m_tree, 4, 2);
        BackgroundWalk::Block block;
        QCOMPARE(walk.take(block, 5000), BackgroundWalk::Take::Entries);
        QVERIFY(!block.empty());
        walk.stop();
        QCOMPARE(walk.result(), DirectoryWalker::Result::Stopped);
        QCOMPARE(walk.take(block, 0), BackgroundWalk::Take::Ended);
        QVERIFY(block.empty());
    }

    void missingStartFolder()
    {
        BackgroundWalk walk(m_dir.filePath(QStringLiteral("nowhere")));
        BackgroundWalk::Block block;
        QCOMPARE(walk.take(block, 5000), BackgroundWalk::Take::Ended);
        QVERIFY(block.empty());
        QCOMPARE(walk.result(), DirectoryWalker::Result::StartFailed);
    }
};

QTEST_GUILESS_MAIN(TestBackgroundWalk)
#include "tst_backgroundwalk.moc"
