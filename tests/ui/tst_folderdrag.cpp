#include "browser/FolderTreeModel.h"
#include "browser/TDBTreeView.h"
#include "browser/uMain.h"
#include "store/DbError.h"
#include "store/Statement.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/TreeShape.h"
#include "widgets/DBGrid.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

// Dragging folders and disks onto the folder tree of the real main window. The press and the
// moves that start a drag are real mouse events; QDrag::exec's own loop cannot run offscreen, so
// inside the drag the test delivers what the platform would: enter, moves, and a drop or a leave.
class TestFolderDrag : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainWindowFixture> m_fx;
    std::unique_ptr<QAbstractItemModelTester> m_tester;

    TfMain &main() { return m_fx->main(); }
    TDBTreeView *tree() { return main().DBTreeView1; }
    QWidget *viewport() { return tree()->viewport(); }
    FolderTreeModel *model() { return tree()->folderModel(); }
    QModelIndex node(int key) { return model()->indexOfKey(key); }
    int folderKey()
    {
        return m_fx->data().dtFolder().fieldByName(QStringLiteral("FFOLDERID")).asInteger();
    }
    int diskKey()
    {
        return m_fx->data().dtDisk().fieldByName(QStringLiteral("FDISKID")).asInteger();
    }
    static int keyOf(const QModelIndex &index)
    {
        return index.data(FolderTreeModel::KeyRole).toInt();
    }
    // The position of a top-level row, -1 for any other.
    static int topLevelRow(const QModelIndex &index)
    {
        return index.isValid() && !index.parent().isValid() ? index.row() : -1;
    }

    static QString folderSql(int key, const QString &name, int parent)
    {
        return QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                              "(%1, '%2', %3)")
            .arg(key)
            .arg(name)
            .arg(parent);
    }
    static QString diskSql(int key, int folder, const QString &name)
    {
        return QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                              "(%1, %2, 1, '%3', %1)")
            .arg(key)
            .arg(folder)
            .arg(name);
    }
    // Диски(Музыка(Блюз,Джаз),Фильмы) and Архив(Ящик) beside the template's own folder; two
    // disks in Диски.
    static QStringList sampleRows()
    {
        return {
            folderSql(1002, QStringLiteral("Музыка"), 1001),
            folderSql(1003, QStringLiteral("Джаз"), 1002),
            folderSql(1004, QStringLiteral("Блюз"), 1002),
            folderSql(1005, QStringLiteral("Фильмы"), 1001),
            folderSql(1006, QStringLiteral("Архив"), 0),
            folderSql(1007, QStringLiteral("Ящик"), 1006),
            diskSql(2001, 1001, QStringLiteral("Bach")),
            diskSql(2002, 1001, QStringLiteral("Chopin")),
        };
    }
    void start(const QStringList &rows)
    {
        m_fx = std::make_unique<MainWindowFixture>();
        const QString error = m_fx->start(rows);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        // Every move, copy and refused write is checked against the model rules as it happens.
        m_tester = std::make_unique<QAbstractItemModelTester>(
            model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(MainWindowFixture::activate(&main()));
    }

    // TFOLDER as "key name parent" lines in key order.
    QStringList folders()
    {
        QStringList lines;
        const auto rows = m_fx->catalogue().rows(QStringLiteral(
            "select FFOLDERID, FFOLDER, coalesce(FOWNFOLDERID, -1) from TFOLDER order by 1"));
        for (const QVariantList &row : rows)
            lines << QStringLiteral("%1 %2 %3")
                         .arg(row[0].toInt())
                         .arg(row[1].toString())
                         .arg(row[2].toInt());
        return lines;
    }
    QStringList disks()
    {
        QStringList lines;
        const auto rows = m_fx->catalogue().rows(
            QStringLiteral("select FDISKID, FFOLDERID from TDISK order by 1"));
        for (const QVariantList &row : rows)
            lines << QStringLiteral("%1 %2").arg(row[0].toInt()).arg(row[1].toInt());
        return lines;
    }
    QString shape() { return treeShape(model()); }

    QPoint rowPoint(const QModelIndex &item) { return tree()->visualRect(item).center(); }
    // Whether a row is painted in the selection colour, looked at right of its label.
    bool paintedSelected(const QModelIndex &item)
    {
        const QImage image = viewport()->grab().toImage();
        const QRect row = tree()->visualRect(item);
        const QColor colour = image.pixelColor(row.right() - 3, row.center().y());
        const QPalette &palette = tree()->palette();
        return colour == palette.color(QPalette::Active, QPalette::Highlight)
            || colour == palette.color(QPalette::Inactive, QPalette::Highlight);
    }
    // The first row on view.
    QModelIndex firstVisible() { return tree()->indexAt(QPoint(5, 1)); }

    static void mouseMove(QWidget *widget, const QPoint &pos)
    {
        QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }
    // Presses on a folder and moves the mouse until the tree's drag begins; during runs inside it.
    void dragFolder(const QModelIndex &item, const std::function<void(QDrag *)> &during)
    {
        int drags = 0;
        tree()->runDrag = [&](QDrag *drag) {
            ++drags;
            during(drag);
        };
        tree()->scrollTo(item);
        const QPoint at = rowPoint(item);
        QTest::mousePress(viewport(), Qt::LeftButton, {}, at);
        mouseMove(viewport(), at + QPoint(4, 0));
        mouseMove(viewport(), at + QPoint(30, 0));
        QTest::mouseRelease(viewport(), Qt::LeftButton, {}, at + QPoint(30, 0));
        QCOMPARE(drags, 1);
    }
    // Presses on a disk's name in the list and moves the mouse until its drag begins.
    void dragDisk(int disk, const std::function<void(QDrag *)> &during)
    {
        DBGrid *grid = main().DBGridEh1;
        QVERIFY(m_fx->locateDisk(disk));
        int drags = 0;
        main().diskList().runDrag = [&](QDrag *drag) {
            ++drags;
            during(drag);
        };
        const int row = m_fx->data().dtDisk().currentRow();
        const int col = grid->dataSetModel()->columnOfField(QStringLiteral("FNAME"));
        const QPoint at = grid->visualRect(grid->dataSetModel()->index(row, col)).center();
        QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, at);
        mouseMove(grid->viewport(), at + QPoint(30, 0));
        QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, at + QPoint(30, 0));
        QCOMPARE(drags, 1);
        QCOMPARE(main().diskList().draggedDisk(), disk);
    }

    // What the platform delivers to the tree during a drag; true when the event was accepted.
    bool enter(QDrag *drag, const QPoint &pos, Qt::KeyboardModifiers mods = {},
               Qt::DropAction *action = nullptr)
    {
        QDragEnterEvent e(pos, actions(drag), drag->mimeData(), Qt::LeftButton, mods);
        QApplication::sendEvent(viewport(), &e);
        if (action)
            *action = e.dropAction();
        return e.isAccepted();
    }
    bool move(QDrag *drag, const QPoint &pos, Qt::KeyboardModifiers mods = {},
              Qt::DropAction *action = nullptr)
    {
        QDragMoveEvent e(pos, actions(drag), drag->mimeData(), Qt::LeftButton, mods);
        QApplication::sendEvent(viewport(), &e);
        if (action)
            *action = e.dropAction();
        return e.isAccepted();
    }
    void drop(QDrag *drag, const QPoint &pos, Qt::KeyboardModifiers mods = {})
    {
        QDropEvent e(pos, actions(drag), drag->mimeData(), Qt::LeftButton, mods);
        QApplication::sendEvent(viewport(), &e);
    }
    void leave()
    {
        QDragLeaveEvent e;
        QApplication::sendEvent(viewport(), &e);
    }
    // What the tree and the disk list offer when they run a drag.
    static Qt::DropActions actions(QDrag *) { return Qt::MoveAction | Qt::CopyAction; }

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void cleanup()
    {
        m_tester.reset();
        m_fx.reset();
    }

    void dropFolder_data()
    {
        QTest::addColumn<int>("dragged");
        QTest::addColumn<int>("target");
        QTest::addColumn<bool>("ctrl");
        QTest::addColumn<QString>("shapeAfter");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QStringList>("changed");

        const QString before = QStringLiteral("Архив(Ящик),Диски(Музыка(Блюз,Джаз),Фильмы),");
        // The moved folder is the last child although its name sorts earlier; only its parent
        // changes in the table.
        QTest::newRow("move onto another folder")
            << 1002 << 1006 << false
            << QStringLiteral("Архив(Ящик,Музыка(Блюз,Джаз)),Диски(Фильмы),") << 1002
            << QStringList {QStringLiteral("1002 Музыка 1006")};
        QTest::newRow("move a leaf onto a folder in another branch")
            << 1003 << 1005 << false
            << QStringLiteral("Архив(Ящик),Диски(Музыка(Блюз),Фильмы(Джаз)),") << 1003
            << QStringList {QStringLiteral("1003 Джаз 1005")};
        QTest::newRow("onto its own parent")
            << 1002 << 1001 << false << before << 1001 << QStringList();
        QTest::newRow("onto a descendant")
            << 1002 << 1003 << false << before << 1003 << QStringList();
        QTest::newRow("onto itself") << 1002 << 1002 << false << before << 1002 << QStringList();
        QTest::newRow("Ctrl onto a descendant")
            << 1002 << 1004 << true << before << 1004 << QStringList();
        // A copy beside the folder: the subtree in its shape, keys above the largest one
        // (1007), the folder before its sub-folders.
        QTest::newRow("Ctrl onto its own parent")
            << 1002 << 1001 << true
            << QStringLiteral("Архив(Ящик),Диски(Музыка(Блюз,Джаз),Фильмы,Музыка(Блюз,Джаз)),")
            << 1008
            << QStringList {QStringLiteral("1008 Музыка 1001"), QStringLiteral("1009 Блюз 1008"),
                            QStringLiteral("1010 Джаз 1008")};
        QTest::newRow("Ctrl onto another folder")
            << 1002 << 1007 << true
            << QStringLiteral("Архив(Ящик(Музыка(Блюз,Джаз))),Диски(Музыка(Блюз,Джаз),Фильмы),")
            << 1008
            << QStringList {QStringLiteral("1008 Музыка 1007"), QStringLiteral("1009 Блюз 1008"),
                            QStringLiteral("1010 Джаз 1008")};
    }
    void dropFolder()
    {
        QFETCH(int, dragged);
        QFETCH(int, target);
        QFETCH(bool, ctrl);
        QFETCH(QString, shapeAfter);
        QFETCH(int, selected);
        QFETCH(QStringList, changed);
        start(sampleRows());
        tree()->expandAll();
        const QString templateFolder = TestCatalogue::startFolderName();
        QCOMPARE(shape(),
                 QStringLiteral("Архив(Ящик),Диски(Музыка(Блюз,Джаз),Фильмы),") + templateFolder);
        const QStringList disksBefore = disks();
        QStringList expected = folders();
        for (const QString &line : std::as_const(changed)) {
            const QString key = line.section(QLatin1Char(' '), 0, 0) + QLatin1Char(' ');
            const auto old = std::find_if(expected.begin(), expected.end(),
                                          [&key](const QString &l) { return l.startsWith(key); });
            if (old != expected.end())
                *old = line;
            else
                expected << line;
        }
        const Qt::KeyboardModifiers mods = ctrl ? Qt::ControlModifier : Qt::NoModifier;

        dragFolder(node(dragged), [&](QDrag *drag) {
            QCOMPARE(tree()->dragSourceNode(), node(dragged));
            QCOMPARE(tree()->currentIndex(), node(dragged));
            QCOMPARE(folderKey(), dragged);
            QVERIFY(tree()->dragTimer()->isActive());
            QVERIFY(enter(drag, rowPoint(node(dragged)), mods));
            // The main window accepts every drag: no no-drop pointer, the copy one with Ctrl.
            Qt::DropAction action = Qt::IgnoreAction;
            QVERIFY(move(drag, rowPoint(node(target)), mods, &action));
            QCOMPARE(action, ctrl ? Qt::CopyAction : Qt::MoveAction);
            QCOMPARE(tree()->dropTarget(), node(target));
            QVERIFY(tree()->isDropHighlighted(node(target)));
            drop(drag, rowPoint(node(target)), mods);
        });

        QCOMPARE(m_fx->prompt().shown.size(), 0);
        QCOMPARE(shape(), shapeAfter + templateFolder);
        QCOMPARE(folders(), expected);
        // The main window's drop handler leaves folder drags alone.
        QCOMPARE(disks(), disksBefore);
        QCOMPARE(keyOf(tree()->currentIndex()), selected);
        QCOMPARE(folderKey(), selected);
        QVERIFY(tree()->selectionModel()->isSelected(tree()->currentIndex()));
        for (QModelIndex p = tree()->currentIndex().parent(); p.isValid(); p = p.parent())
            QVERIFY(tree()->isExpanded(p));
        QCOMPARE(tree()->dropTarget(), QModelIndex());
        QCOMPARE(tree()->dragSourceNode(), QModelIndex());
        QVERIFY(!tree()->dragTimer()->isActive());
        QVERIFY(!model()->isUpdating());
        QCOMPARE(m_fx->data().dtFolder().state(), QueryDataSet::State::Browse);
        // The records follow the nodes: the dataset and the tree still agree both ways.
        QCOMPARE(model()->folderCount(), int(expected.size()));
        tree()->setCurrentIndex(node(1001));
        QCOMPARE(folderKey(), 1001);
        QCOMPARE(m_fx->data().dtDisk().fieldByName(QStringLiteral("FFOLDERID")).asInteger(), 1001);
        m_fx->data().dtFolder().locate(QStringLiteral("FFOLDERID"), selected);
        QCOMPARE(keyOf(tree()->currentIndex()), selected);
        // The next full load sorts the moved or copied folder into its place.
        main().aRefreshExecute();
        QCOMPARE(folders(), expected);
        QCOMPARE(keyOf(tree()->currentIndex()), selected);
    }

    void copyStoresParentsAndOtherColumns_data()
    {
        QTest::addColumn<bool>("smartCopy");
        QTest::newRow("other columns copied") << true;
        // Only the insert can store the parents then.
        QTest::newRow("other columns not copied") << false;
    }
    void copyStoresParentsAndOtherColumns()
    {
        QFETCH(bool, smartCopy);
        QStringList rows = sampleRows();
        rows << QStringLiteral("alter table TFOLDER add FNOTE varchar(40)");
        start(rows);
        {
            Statement note(m_fx->data().DefDatabase());
            note.prepare(QStringLiteral(
                "update TFOLDER set FNOTE = 'верхняя полка' where FFOLDERID = 1002"));
            note.execute();
        }
        main().aRefreshExecute();
        if (!smartCopy)
            model()->setCopiesOtherColumns(false);
        tree()->expandAll();
        dragFolder(node(1002), [&](QDrag *drag) {
            QVERIFY(enter(drag, rowPoint(node(1002)), Qt::ControlModifier));
            QVERIFY(move(drag, rowPoint(node(1006)), Qt::ControlModifier));
            drop(drag, rowPoint(node(1006)), Qt::ControlModifier);
        });
        QCOMPARE(m_fx->prompt().shown.size(), 0);
        QCOMPARE(folders().mid(folders().size() - 3),
                 QStringList({"1008 Музыка 1006", "1009 Блюз 1008", "1010 Джаз 1008"}));
        // The copy's row took the column over or not; what reaches the table is what the
        // folder statements carry.
        QCOMPARE(folderKey(), 1008);
        QCOMPARE(m_fx->data().dtFolder().fieldByName(QStringLiteral("FNOTE")).asString(),
                 smartCopy ? QStringLiteral("верхняя полка") : QString());
        // The disks of a copied folder stay where they are.
        QCOMPARE(disks(), QStringList({"2001 1001", "2002 1001"}));
        // A folder made afterwards still has no parent, stored as 0.
        main().aAddFolder->trigger();
        QCOMPARE(m_fx->prompt().shown.size(), 0);
        const int added = folderKey();
        QVERIFY(added < 1008 || added > 1010);
        QCOMPARE(m_fx->catalogue()
                     .scalar(QStringLiteral("select coalesce(FOWNFOLDERID, -1) from TFOLDER "
                                            "where FFOLDERID = %1")
                                 .arg(added))
                     .toInt(),
                 0);
    }

    // A copy refused on its last folder leaves no part of the subtree, in the table or the tree.
    void copyRefusedMidwayLeavesNothing()
    {
        QStringList rows = sampleRows();
        rows << QStringLiteral("create exception E_NO_COPY 'refused'")
             << QStringLiteral("create trigger TFOLDER_NO_COPY for TFOLDER before insert as "
                               "begin if (new.FFOLDER = 'Джаз' and new.FFOLDERID > 1007) then "
                               "exception E_NO_COPY; end");
        start(rows);
        tree()->expandAll();
        const QStringList before = folders();
        const QString shapeBefore = shape();
        dragFolder(node(1002), [&](QDrag *drag) {
            QVERIFY(enter(drag, rowPoint(node(1002)), Qt::ControlModifier));
            QVERIFY(move(drag, rowPoint(node(1006)), Qt::ControlModifier));
            drop(drag, rowPoint(node(1006)), Qt::ControlModifier);
        });
        QCOMPARE(m_fx->prompt().shown.size(), 1);
        QVERIFY2(m_fx->prompt().shown.first().text.contains(QStringLiteral("E_NO_COPY")),
                 qPrintable(m_fx->prompt().shown.first().text));
        QCOMPARE(folders(), before);
        tree()->expandAll();
        QCOMPARE(shape(), shapeBefore);
        // Whatever the next command commits holds no part of the copy either.
        main().aAddFolder->trigger();
        QStringList added = folders();
        for (const QString &line : before)
            added.removeOne(line);
        QCOMPARE(added.size(), 1);
        QVERIFY2(!added.first().contains(QStringLiteral("Музыка")), qPrintable(added.first()));
    }

    void acceptRule_data()
    {
        QTest::addColumn<bool>("mainHandler");
        QTest::addColumn<bool>("refuseNode");
        QTest::addColumn<int>("over");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("moved");
        // Without the main window's handler, the tree's own rule.
        QTest::newRow("own rule: another folder") << false << false << 1005 << true << true;
        QTest::newRow("own rule: the dragged folder") << false << false << 1002 << false << false;
        QTest::newRow("own rule: a descendant") << false << false << 1004 << false << false;
        QTest::newRow("own rule: the parent") << false << false << 1001 << true << false;
        QTest::newRow("own rule: node refused") << false << true << 1005 << false << false;
        QTest::newRow("main window: another folder") << true << false << 1005 << true << true;
        QTest::newRow("main window: the dragged folder") << true << false << 1002 << true << false;
        QTest::newRow("main window: a descendant") << true << false << 1004 << true << false;
        QTest::newRow("main window: node refused") << true << true << 1005 << true << false;
    }
    void acceptRule()
    {
        QFETCH(bool, mainHandler);
        QFETCH(bool, refuseNode);
        QFETCH(int, over);
        QFETCH(bool, accepted);
        QFETCH(bool, moved);
        start(sampleRows());
        tree()->expandAll();
        if (!mainHandler)
            tree()->OnDragOver = nullptr;
        QList<QPair<int, int>> asked;
        tree()->OnDragDropTreeNode
            = [&](const QModelIndex &target, const QModelIndex &dragged, bool &accept) {
                  asked.append(qMakePair(keyOf(target), keyOf(dragged)));
                  if (refuseNode)
                      accept = false;
              };
        QStringList expected = folders();
        if (moved)
            expected[expected.indexOf(QStringLiteral("1002 Музыка 1001"))]
                = QStringLiteral("1002 Музыка %1").arg(over);
        dragFolder(node(1002), [&](QDrag *drag) {
            // Entering over a descendant: the tree takes the enter, so that movements follow,
            // but by its own rule shows that a drop there would do nothing.
            Qt::DropAction action = Qt::CopyAction;
            QVERIFY(enter(drag, rowPoint(node(1003)), {}, &action));
            QCOMPARE(action, mainHandler ? Qt::MoveAction : Qt::IgnoreAction);
            QCOMPARE(move(drag, rowPoint(node(over)), {}, &action), accepted);
            if (accepted)
                QCOMPARE(action, Qt::MoveAction);
            QVERIFY(move(drag, rowPoint(node(over)), Qt::ControlModifier, &action) == accepted);
            if (accepted)
                QCOMPARE(action, Qt::CopyAction);
            QVERIFY(!drag->dragCursor(Qt::CopyAction).isNull());
            drop(drag, rowPoint(node(over)));
        });
        // The tree asks about the node on every movement its own rule accepts, never about the
        // dragged folder or its descendants.
        QCOMPARE(asked.contains(qMakePair(over, 1002)), over == 1005 || over == 1001);
        QCOMPARE(folders(), expected);
        QCOMPARE(m_fx->prompt().shown.size(), 0);
    }

    void refusedWriteRebuildsTree_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QString>("refused");
        QTest::addColumn<bool>("ctrl");
        QTest::newRow("move") << QStringLiteral("before update")
                              << QStringLiteral("update TFOLDER set FOWNFOLDERID = 1006 where "
                                                "FFOLDERID = 1002")
                              << false;
        QTest::newRow("copy") << QStringLiteral("before insert")
                              << QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, "
                                                "FOWNFOLDERID) values (5000, 'X', 1006)")
                              << true;
    }
    void refusedWriteRebuildsTree()
    {
        QFETCH(QString, trigger);
        QFETCH(QString, refused);
        QFETCH(bool, ctrl);
        QStringList rows = sampleRows();
        rows << QStringLiteral("create exception E_NOFOLDERS 'Папки заперты'")
             << QStringLiteral("create trigger TFOLDER_LOCKED for TFOLDER active %1 position 0 "
                               "as begin exception E_NOFOLDERS; end")
                    .arg(trigger);
        start(rows);
        tree()->expandAll();
        QString serverText;
        try {
            m_fx->catalogue().exec({refused});
        } catch (const DbError &e) {
            serverText = e.text();
        }
        QVERIFY(serverText.contains(QStringLiteral("Папки заперты")));
        const QStringList before = folders();
        const QString shapeBefore = shape();
        const Qt::KeyboardModifiers mods = ctrl ? Qt::ControlModifier : Qt::NoModifier;

        dragFolder(node(1002), [&](QDrag *drag) {
            QVERIFY(enter(drag, rowPoint(node(1002)), mods));
            QVERIFY(move(drag, rowPoint(node(1006)), mods));
            drop(drag, rowPoint(node(1006)), mods);
        });

        QCOMPARE(m_fx->prompt().shown.size(), 1);
        const RecordingPrompt::Shown &box = m_fx->prompt().shown.constLast();
        QCOMPARE(box.text, errorBoxText(serverText));
        QCOMPARE(box.caption, QStringLiteral("Kodra"));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(folders(), before);
        // Rebuilt from the table, and not locked.
        QCOMPARE(shape(), shapeBefore);
        QCOMPARE(model()->folderCount(), int(before.size()));
        QVERIFY(!model()->isUpdating());
        QVERIFY(!model()->isCopying());
        QCOMPARE(m_fx->data().dtFolder().state(), QueryDataSet::State::Browse);
        tree()->expandAll();
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, rowPoint(node(1005)));
        QCOMPARE(folderKey(), 1005);
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, rowPoint(node(1001)));
        QCOMPARE(folderKey(), 1001);
        QCOMPARE(m_fx->data().dtDisk().fieldByName(QStringLiteral("FFOLDERID")).asInteger(), 1001);
        QCOMPARE(m_fx->prompt().shown.size(), 1);
    }

    void dropDisk_data()
    {
        QTest::addColumn<int>("over");
        QTest::addColumn<bool>("blank");
        QTest::addColumn<int>("folder");
        QTest::addColumn<bool>("ctrl");
        QTest::newRow("onto another folder") << 1005 << false << 1005 << false;
        // Ctrl shows the copy pointer, but a disk is only ever moved.
        QTest::newRow("with Ctrl onto another folder") << 1005 << false << 1005 << true;
        QTest::newRow("onto its own folder") << 1001 << false << 1001 << false;
        // The last folder the pointer passed over is the target.
        QTest::newRow("onto blank space below the last row")
            << TestCatalogue::startFolderId << true << TestCatalogue::startFolderId << false;
    }
    void dropDisk()
    {
        QFETCH(int, over);
        QFETCH(bool, blank);
        QFETCH(int, folder);
        QFETCH(bool, ctrl);
        const Qt::KeyboardModifiers mods = ctrl ? Qt::ControlModifier : Qt::NoModifier;
        start(sampleRows());
        tree()->expandAll();
        QCOMPARE(folderKey(), 1001);
        QSignalSpy reopened(&m_fx->data().dtFolder(), &QueryDataSet::dataReset);
        QStringList expected = disks();
        expected[1] = QStringLiteral("2002 %1").arg(folder);

        dragDisk(2002, [&](QDrag *drag) {
            QCOMPARE(drag->source(), main().DBGridEh1);
            QVERIFY(!tree()->dragTimer()->isActive());
            QVERIFY(enter(drag, rowPoint(node(1006)), mods));
            Qt::DropAction action = Qt::IgnoreAction;
            QVERIFY(move(drag, rowPoint(node(over)), mods, &action));
            QCOMPARE(action, ctrl ? Qt::CopyAction : Qt::MoveAction);
            QPoint at = rowPoint(node(over));
            if (blank) {
                const QModelIndex last = node(over);
                QVERIFY(!tree()->indexBelow(last).isValid());
                at = QPoint(at.x(), tree()->visualRect(last).bottom() + 20);
                QVERIFY(at.y() < viewport()->height());
                QCOMPARE(tree()->indexAt(at), QModelIndex());
                QVERIFY(move(drag, at, mods));
                QCOMPARE(tree()->dropTarget(), node(over));
            }
            drop(drag, at, mods);
        });

        QCOMPARE(m_fx->prompt().shown.size(), 0);
        QCOMPARE(disks(), expected);
        QVERIFY(reopened.count() > 0);
        QCOMPARE(folderKey(), folder);
        QCOMPARE(keyOf(tree()->currentIndex()), folder);
        QCOMPARE(diskKey(), 2002);
        QCOMPARE(m_fx->data().dtDisk().fieldByName(QStringLiteral("FFOLDERID")).asInteger(),
                 folder);
        QCOMPARE(main().DBGridEh1->dataSetModel()->headerData(0, Qt::Horizontal).toString(),
                 m_fx->data().dtFolder().fieldByName(QStringLiteral("FFOLDER")).asString());
        QCOMPARE(tree()->dropTarget(), QModelIndex());
    }

    void escapeChangesNothing_data()
    {
        QTest::addColumn<bool>("disk");
        QTest::addColumn<bool>("ctrl");
        QTest::newRow("folder") << false << false;
        QTest::newRow("folder with Ctrl") << false << true;
        QTest::newRow("disk") << true << false;
    }
    void escapeChangesNothing()
    {
        QFETCH(bool, disk);
        QFETCH(bool, ctrl);
        start(sampleRows());
        tree()->expandAll();
        const QStringList foldersBefore = folders();
        const QStringList disksBefore = disks();
        const QString shapeBefore = shape();
        const Qt::KeyboardModifiers mods = ctrl ? Qt::ControlModifier : Qt::NoModifier;
        // Escape ends a drag: the platform tells the target the pointer left, nothing drops.
        const auto during = [&](QDrag *drag) {
            QVERIFY(enter(drag, rowPoint(node(1005)), mods));
            QVERIFY(!paintedSelected(node(1006)));
            QVERIFY(move(drag, rowPoint(node(1006)), mods));
            QVERIFY(tree()->isDropHighlighted(node(1006)));
            QVERIFY(paintedSelected(node(1006)));
            leave();
            QVERIFY(!tree()->isDropHighlighted(node(1006)));
            QVERIFY(!paintedSelected(node(1006)));
        };
        if (disk)
            dragDisk(2001, during);
        else
            dragFolder(node(1002), during);
        QCOMPARE(folders(), foldersBefore);
        QCOMPARE(disks(), disksBefore);
        QCOMPARE(shape(), shapeBefore);
        QCOMPARE(folderKey(), disk ? 1001 : 1002);
        QCOMPARE(keyOf(tree()->currentIndex()), folderKey());
        QCOMPARE(tree()->dropTarget(), QModelIndex());
        QVERIFY(!tree()->dragTimer()->isActive());
        QCOMPARE(m_fx->prompt().shown.size(), 0);
    }

    void heldDragScrolls_data()
    {
        QTest::addColumn<bool>("disk");
        QTest::addColumn<int>("step");
        QTest::newRow("folder held on the bottom row scrolls down a row per tick") << false << 1;
        QTest::newRow("folder held on the top row scrolls up a row per tick") << false << -1;
        QTest::newRow("disk held still on the bottom row does not scroll") << true << 1;
    }
    void heldDragScrolls()
    {
        QFETCH(bool, disk);
        QFETCH(int, step);
        QStringList rows = sampleRows();
        for (int i = 1; i <= 80; ++i)
            rows << folderSql(3000 + i, QStringLiteral("Полка %1").arg(i, 2, 10, QLatin1Char('0')),
                              0);
        start(rows);
        QCOMPARE(tree()->dragTimer()->interval(), 300);
        if (step > 0)
            tree()->scrollToTop();
        else
            tree()->scrollTo(model()->index(40, 0), QAbstractItemView::PositionAtTop);
        const QModelIndex first = firstVisible();
        QVERIFY(first.isValid());
        // The edge row: the top one, or the last one wholly on view with the next one cut by
        // the edge.
        QModelIndex edge = first;
        if (step > 0) {
            while (tree()->indexBelow(edge).isValid()
                   && tree()->visualRect(tree()->indexBelow(edge)).bottom() < viewport()->height())
                edge = tree()->indexBelow(edge);
            QVERIFY(tree()->indexBelow(edge).isValid());
        }
        QVERIFY(tree()->indexAbove(edge).isValid());
        const QModelIndex inner = step > 0 ? tree()->indexAbove(edge) : tree()->indexBelow(edge);
        const QPoint pointer = rowPoint(edge);
        const int firstIndex = topLevelRow(first);
        auto firstOnView = [this] { return topLevelRow(firstVisible()); };

        const auto during = [&](QDrag *drag) {
            QSignalSpy ticks(tree()->dragTimer(), &QTimer::timeout);
            QSignalSpy scrolled(tree()->verticalScrollBar(), &QScrollBar::valueChanged);
            QVERIFY(enter(drag, rowPoint(inner)));
            QCOMPARE(tree()->dropTarget(), inner);
            // Onto the edge row from its neighbour inside: one row at once.
            QVERIFY(move(drag, pointer));
            QCOMPARE(firstOnView(), firstIndex + step);
            QCOMPARE(tree()->dropTarget(), edge);
            if (disk) {
                // Held still: nothing moves the pointer again.
                QVERIFY(!tree()->dragTimer()->isActive());
                QVERIFY(!scrolled.wait(800));
                QCOMPARE(firstOnView(), firstIndex + step);
                QCOMPARE(tree()->dropTarget(), edge);
            } else {
                // Held still: every tick scrolls one row.
                QVERIFY(tree()->dragTimer()->isActive());
                QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 3, 5000);
                QCOMPARE(firstOnView(), firstIndex + step * (1 + int(ticks.count())));
                // The target is the row the last tick found under the pointer, which its
                // scroll has moved on by one.
                const QModelIndex under = tree()->indexAt(pointer);
                QCOMPARE(tree()->dropTarget(),
                         step > 0 ? tree()->indexAbove(under) : tree()->indexBelow(under));
                QVERIFY(tree()->dropTarget() != edge);
            }
            leave();
        };
        if (disk)
            dragDisk(2001, during);
        else
            dragFolder(step > 0 ? first : tree()->indexBelow(tree()->indexBelow(inner)), during);
        QVERIFY(!tree()->dragTimer()->isActive());
    }

    void smallMovesReachTheList()
    {
        start(sampleRows());
        DBGrid *grid = main().DBGridEh1;
        int drags = 0;
        main().diskList().runDrag = [&drags](QDrag *) { ++drags; };
        const int col = grid->dataSetModel()->columnOfField(QStringLiteral("FNAME"));
        const QRect firstCell = grid->visualRect(grid->dataSetModel()->index(0, col));
        // Pressed at the foot of the first row, moved just over the edge into the second.
        const QPoint at(firstCell.center().x(), firstCell.bottom() - 1);
        QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(m_fx->data().dtDisk().currentRow(), 0);
        mouseMove(grid->viewport(), at + QPoint(0, 4));
        QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, at + QPoint(0, 4));
        QCOMPARE(drags, 0);
        QCOMPARE(m_fx->data().dtDisk().currentRow(), 1);
    }
};

QTEST_MAIN(TestFolderDrag)
#include "tst_folderdrag.moc"
