#include "app/Catalogue.h"
#include "disk/ContentTree.h"
#include "disk/uEdtDisk.h"
#include "tests/support/MainWindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QTest>

namespace {

QString entry(int key, int owner, const char *name, int type, int size = 0)
{
    return QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FCONTENT, "
                          "FTYPE, FSIZE, FDATE) values (%1, 2001, %2, '%3', %4, %5, "
                          "'2004-03-12 14:22:10')")
        .arg(key)
        .arg(owner ? QString::number(owner) : QStringLiteral("null"))
        .arg(QString::fromUtf8(name))
        .arg(type)
        .arg(size);
}

// Two readings of disk 2001; "readme" is in three names, "target" deep inside.
const QStringList Contents {
    entry(100, 0, "/media/cd: DISC, ID=00000001", 2),
    entry(101, 100, "A", 1),
    entry(102, 101, "readme.txt", 0, 10),
    entry(103, 101, "Deep1", 1),
    entry(104, 103, "Deep2", 1),
    entry(105, 104, "target.txt", 0, 20),
    entry(106, 100, "Empty", 1),
    entry(107, 100, "README.md", 0, 30),
    entry(108, 100, "notes-readme.doc", 0, 40),
    entry(109, 0, "/media/cd: SECOND, ID=00000002", 2),
    entry(110, 109, "other.txt", 0, 50),
};

} // namespace

// The stored contents of a disk as a tree, and the file search over them.
class TestContentTree : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainWindowFixture> m_f;
    std::unique_ptr<TfEdtDisk> m_editor;

    ContentTree &tree() { return *m_editor->tvDisk; }
    static QString name(const QTreeWidgetItem *node)
    {
        return node ? node->text(0).section(QStringLiteral("   "), 0, 0) : QString();
    }
    static QStringList children(const QTreeWidgetItem *node)
    {
        QStringList names;
        for (int i = 0; i < node->childCount(); ++i)
            names << name(node->child(i));
        return names;
    }
    QTreeWidgetItem *child(QTreeWidgetItem *node, const QString &childName)
    {
        for (int i = 0; i < node->childCount(); ++i) {
            if (name(node->child(i)) == childName)
                return node->child(i);
        }
        return nullptr;
    }
    // Every node loaded so far, with a mark for the opened ones.
    QStringList loadedNodes()
    {
        QStringList nodes;
        for (QTreeWidgetItemIterator it(&tree()); *it; ++it)
            nodes << name(*it) + ((*it)->isExpanded() ? QStringLiteral(" +") : QString());
        return nodes;
    }
    void find(const QString &text)
    {
        m_f->prompt().inputs = {text};
        QTest::keyClick(m_editor.get(), Qt::Key_F7);
    }

private Q_SLOTS:
    void init()
    {
        m_f = std::make_unique<MainWindowFixture>();
        QStringList rows {
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                           "(2001, 1001, 1, 'Read', 1)"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                           "(2002, 1001, 1, 'Unread', 2)"),
        };
        const QString error = m_f->start(rows + Contents);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(m_f->locateDisk(2001));
        m_editor = m_f->openEditor();
    }
    void cleanup()
    {
        m_editor.reset();
        m_f.reset();
    }

    void opensWithTheFirstReadingOpen()
    {
        QCOMPARE(tree().topLevelItemCount(), 2);
        QTreeWidgetItem *first = tree().topLevelItem(0);
        QTreeWidgetItem *second = tree().topLevelItem(1);
        QCOMPARE(name(first), QStringLiteral("/media/cd: DISC, ID=00000001"));
        QVERIFY(first->isExpanded());
        QCOMPARE(children(first), QStringList({"A", "Empty", "notes-readme.doc", "README.md"}));
        // The second reading is not read from the catalogue until it is opened.
        QVERIFY(!second->isExpanded());
        QCOMPARE(second->childCount(), 0);
        QCOMPARE(second->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
        second->setExpanded(true);
        QCOMPARE(children(second), QStringList {"other.txt"});
    }

    void foldersLoadWhenOpened_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("contents");
        QTest::newRow("folder") << QStringLiteral("A") << QStringList({"Deep1", "readme.txt"});
        QTest::newRow("empty folder") << QStringLiteral("Empty") << QStringList();
    }
    void foldersLoadWhenOpened()
    {
        QFETCH(QString, folder);
        QFETCH(QStringList, contents);
        QTreeWidgetItem *node = child(tree().topLevelItem(0), folder);
        QVERIFY(node);
        // Closed: nothing loaded, but it offers to open.
        QCOMPARE(node->childCount(), 0);
        QCOMPARE(node->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
        tree().expandItem(node);
        QCOMPARE(children(node), contents);
        QCOMPARE(node->childIndicatorPolicy(),
                 contents.isEmpty() ? QTreeWidgetItem::DontShowIndicator
                                    : QTreeWidgetItem::ShowIndicator);
        // Opening again reads nothing twice.
        tree().collapseItem(node);
        tree().expandItem(node);
        QCOMPARE(children(node), contents);
    }

    void nodeTexts_data()
    {
        QTest::addColumn<QString>("entryName");
        QTest::addColumn<int>("type");
        QTest::addColumn<QDateTime>("date");
        QTest::addColumn<double>("size");
        QTest::addColumn<QString>("text");
        const QDateTime afternoon(QDate(2004, 3, 12), QTime(14, 22, 10));
        const QDateTime midnight(QDate(2004, 3, 12), QTime(0, 0));
        QTest::newRow("file") << QStringLiteral("README.TXT") << 0 << afternoon << 1532.0
                              << QStringLiteral("README.TXT   12.03.2004 14:22:10, 1532");
        QTest::newRow("large file, no grouping")
            << QStringLiteral("big.iso") << 0 << afternoon << 5368709120.0
            << QStringLiteral("big.iso   12.03.2004 14:22:10, 5368709120");
        QTest::newRow("folder") << QStringLiteral("DIR") << 1 << afternoon << 0.0
                                << QStringLiteral("DIR   12.03.2004 14:22:10");
        QTest::newRow("midnight: the date alone")
            << QStringLiteral("DIR") << 1 << midnight << 0.0 << QStringLiteral("DIR   12.03.2004");
        QTest::newRow("root entry") << QStringLiteral("/mnt: , ID=") << 2 << midnight << 0.0
                                    << QStringLiteral("/mnt: , ID=   12.03.2004");
    }
    void nodeTexts()
    {
        QFETCH(QString, entryName);
        QFETCH(int, type);
        QFETCH(QDateTime, date);
        QFETCH(double, size);
        QFETCH(QString, text);
        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        const QString made = ContentTree::nodeText(entryName, type, date, size);
        QLocale::setDefault(previous);
        QCOMPARE(made, text);
    }

    // Three matches in turn, then nothing, then the first again.
    void searchStepsThroughMatches()
    {
        const QStringList expected {"readme.txt", "README.md", "notes-readme.doc", QString(),
                                    "readme.txt"};
        QStringList found;
        for (int i = 0; i < expected.size(); ++i) {
            const int messages = m_f->prompt().shown.size();
            tree().setCurrentItem(nullptr);
            find(QStringLiteral("readme"));
            found << (m_f->prompt().shown.size() > messages ? QString()
                                                            : name(tree().currentItem()));
        }
        QCOMPARE(found, expected);
        QCOMPARE(m_f->prompt().shown.size(), 1);
        const RecordingPrompt::Shown &nothing = m_f->prompt().shown.at(0);
        QCOMPARE(nothing.text, QStringLiteral("Ничего не найдено !"));
        QCOMPARE(nothing.caption, QStringLiteral("Kodra"));
        QCOMPARE(nothing.buttons, QMessageBox::Ok);
        // The input box offers the text of the search before.
        QCOMPARE(m_f->prompt().asked.size(), 5);
        QCOMPARE(m_f->prompt().asked.at(0).caption, QStringLiteral("Найти файл"));
        QCOMPARE(m_f->prompt().asked.at(0).label, QStringLiteral("Cодержащий в названии:"));
        QCOMPARE(m_f->prompt().asked.at(0).initial, QString());
        QCOMPARE(m_f->prompt().asked.at(1).initial, QStringLiteral("readme"));
        QCOMPARE(m_editor->focusWidget(), &tree());
    }

    void otherCaseStartsANewSearch()
    {
        find(QStringLiteral("readme"));
        find(QStringLiteral("readme"));
        QCOMPARE(name(tree().currentItem()), QStringLiteral("README.md"));
        find(QStringLiteral("README"));
        QCOMPARE(name(tree().currentItem()), QStringLiteral("readme.txt"));
        QVERIFY(m_f->prompt().shown.isEmpty());
    }

    void cancelledSearchChangesNothing()
    {
        find(QStringLiteral("readme"));
        m_f->prompt().inputs.clear(); // the input box is cancelled
        QTest::keyClick(m_editor.get(), Qt::Key_F7);
        find(QStringLiteral("readme"));
        QCOMPARE(name(tree().currentItem()), QStringLiteral("README.md"));
    }

    // A deep match opens exactly the folders on its path, loading nothing else.
    void deepMatchOpensItsPath()
    {
        find(QStringLiteral("target"));
        QCOMPARE(name(tree().currentItem()), QStringLiteral("target.txt"));
        QCOMPARE(loadedNodes(),
                 QStringList({"/media/cd: DISC, ID=00000001 +", "A +", "Deep1 +", "Deep2 +",
                              "target.txt", "readme.txt", "Empty", "notes-readme.doc", "README.md",
                              "/media/cd: SECOND, ID=00000002"}));
    }

    void diskWithoutContents()
    {
        m_editor.reset();
        QVERIFY(m_f->locateDisk(2002));
        m_editor = m_f->openEditor();
        QCOMPARE(tree().topLevelItemCount(), 0);
        find(QStringLiteral("readme"));
        QCOMPARE(m_f->prompt().shown.size(), 1);
        QCOMPARE(m_f->prompt().shown.at(0).text, QStringLiteral("Ничего не найдено !"));
        QCOMPARE(tree().topLevelItemCount(), 0);
    }
};

QTEST_MAIN(TestContentTree)
#include "tst_contenttree.moc"
