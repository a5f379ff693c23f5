#include "app/Catalogue.h"
#include "browser/FolderCommands.h"
#include "browser/FolderTreeModel.h"
#include "browser/TDBTreeView.h"
#include "store/DbError.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/TestCatalogue.h"
#include "tests/support/TreeShape.h"
#include "widgets/ErrorBox.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

// The folder tree over the main window's dtFolder on a real catalogue, driven through the
// widget with keys and mouse clicks.
class TestDBTree : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestCatalogue> m_cat;
    std::unique_ptr<Catalogue> m_data;
    std::unique_ptr<RecordingPrompt> m_prompt;
    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    TDBTreeView *m_tree = nullptr;
    QLineEdit *m_other = nullptr;

    static QString folderSql(int key, const QString &name, const QString &parent)
    {
        return QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                              "(%1, '%2', %3)")
            .arg(key)
            .arg(name, parent);
    }
    static QString diskSql(int key, int folder, const QString &name)
    {
        return QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                              "(%1, %2, 1, '%3', 1)")
            .arg(key)
            .arg(folder)
            .arg(name);
    }
    // F(A(A1),B(B1)),Z where A holds a disk.
    void addSubtreeWithDisk()
    {
        m_cat->exec({
            folderSql(1001, QStringLiteral("F"), QStringLiteral("0")),
            folderSql(1002, QStringLiteral("A"), QStringLiteral("1001")),
            folderSql(1003, QStringLiteral("A1"), QStringLiteral("1002")),
            folderSql(1004, QStringLiteral("B"), QStringLiteral("1001")),
            folderSql(1005, QStringLiteral("B1"), QStringLiteral("1004")),
            folderSql(1006, QStringLiteral("Z"), QStringLiteral("0")),
            diskSql(2001, 1002, QStringLiteral("disk of A")),
        });
    }
    void open()
    {
        m_data->dtFolder().open();
        m_data->dtDisk().open();
    }
    int currentFolder() const
    {
        return m_data->dtFolder().fieldByName(QStringLiteral("FFOLDERID")).asInteger();
    }
    FolderTreeModel *model() const { return m_tree->folderModel(); }
    QModelIndex node(int key) const { return model()->indexOfKey(key); }
    bool isSelected(const QModelIndex &index) const
    {
        return m_tree->selectionModel()->isSelected(index);
    }
    bool exists(int key) const
    {
        return m_cat
                   ->scalar(
                       QStringLiteral("select count(*) from TFOLDER where FFOLDERID = %1").arg(key))
                   .toInt()
            == 1;
    }
    QString storedName(int key) const
    {
        return m_cat
            ->scalar(QStringLiteral("select FFOLDER from TFOLDER where FFOLDERID = %1").arg(key))
            .toString();
    }
    int folderCount() const
    {
        return m_cat->scalar(QStringLiteral("select count(*) from TFOLDER")).toInt();
    }
    int diskCount()
    {
        m_data->dtDisk().fetchAll();
        return m_data->dtDisk().fetchedCount();
    }
    // The whole tree as text: captions in display order, children in brackets.
    QString shape() const { return treeShape(model()); }
    void click(const QModelIndex &item, Qt::MouseButton button = Qt::LeftButton)
    {
        m_tree->scrollTo(item);
        QTest::mouseClick(m_tree->viewport(), button, {}, m_tree->labelRect(item).center());
    }
    // Selects a node (a click on the selected one would start editing by itself) and presses F2.
    void startEditing(const QModelIndex &item)
    {
        if (m_tree->currentIndex() != item)
            click(item);
        m_tree->setFocus();
        QTest::keyClick(m_tree, Qt::Key_F2);
    }
    // Types any text, one key per character (keyClicks knows only ASCII).
    static void typeText(QWidget *widget, const QString &text)
    {
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    // Enter ends an edit once the editor has taken the key.
    void endEditing(Qt::Key key)
    {
        QTest::keyClick(m_tree->labelEditor(), key);
        QTRY_VERIFY(!m_tree->isEditingLabel());
    }

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void init()
    {
        m_cat = std::make_unique<TestCatalogue>(TestCatalogue::Folders::None);
        QVERIFY2(m_cat->isValid(), qPrintable(m_cat->error()));
        m_data = std::make_unique<Catalogue>();
        m_cat->configure(m_data->DefDatabase());
        m_prompt = std::make_unique<RecordingPrompt>();
        m_window = std::make_unique<QWidget>();
        auto *layout = new QHBoxLayout(m_window.get());
        m_tree = new TDBTreeView(m_window.get());
        m_tree->setObjectName(QStringLiteral("DBTreeView1"));
        m_other = new QLineEdit(m_window.get());
        layout->addWidget(m_tree);
        layout->addWidget(m_other);
        m_window->resize(420, 300);
        FolderCommands::setupFolderTree(*m_tree, m_data->dtFolder());
        // Every change the tree goes through is checked against the model rules as it happens
        // (too slow for the large tree).
        if (qstrcmp(QTest::currentTestFunction(), "fullLoadOf20000Folders") != 0)
            m_tester = std::make_unique<QAbstractItemModelTester>(
                model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }
    void cleanup()
    {
        m_tester.reset();
        m_window.reset();
        m_tree = nullptr;
        m_data.reset();
        m_prompt.reset();
        m_cat.reset();
    }

    void newFolderIsTopLevelAndSelected_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<bool>("emptyCatalogue");
        QTest::newRow("top-level folder selected") << 1001 << false;
        QTest::newRow("nested folder selected") << 1003 << false;
        QTest::newRow("no folders yet") << 0 << true;
    }
    void newFolderIsTopLevelAndSelected()
    {
        QFETCH(int, selected);
        QFETCH(bool, emptyCatalogue);
        if (!emptyCatalogue) {
            m_cat->exec({
                folderSql(1001, QStringLiteral("Архив"), QStringLiteral("0")),
                folderSql(1002, QStringLiteral("Музыка"), QStringLiteral("1001")),
                folderSql(1003, QStringLiteral("Джаз"), QStringLiteral("1002")),
            });
        }
        open();
        if (selected) {
            m_data->dtFolder().locate(QStringLiteral("FFOLDERID"), selected);
            click(node(selected));
            QCOMPARE(m_tree->currentIndex(), node(selected));
        }
        const int before = folderCount();
        QVERIFY(runCommand(m_tree, [this] { FolderCommands::addFolder(*m_tree); }));
        QVERIFY(m_prompt->shown.isEmpty());
        QCOMPARE(folderCount(), before + 1);
        const int key = currentFolder();
        const QModelIndex item = node(key);
        QVERIFY(item.isValid());
        QCOMPARE(item.data().toString(), QStringLiteral("Новая папка"));
        QCOMPARE(item.parent(), QModelIndex());
        QCOMPARE(m_tree->currentIndex(), item);
        QVERIFY(isSelected(item));
        QCOMPARE(m_data->dtFolder().state(), QueryDataSet::State::Browse);
        QCOMPARE(storedName(key), QStringLiteral("Новая папка"));
        QCOMPARE(m_cat
                     ->scalar(QStringLiteral("select coalesce(FOWNFOLDERID, 0) from TFOLDER "
                                             "where FFOLDERID = %1")
                                  .arg(key))
                     .toInt(),
                 0);
        // Sorted among the other top-level folders.
        if (!emptyCatalogue)
            QCOMPARE(shape(), QStringLiteral("Архив(Музыка(Джаз)),Новая папка"));
    }

    void newRowShowsNodeBeforePost()
    {
        m_cat->exec({folderSql(1001, QStringLiteral("Beta"), QStringLiteral("0")),
                     folderSql(1002, QStringLiteral("Gamma"), QStringLiteral("1001"))});
        open();
        click(node(1002));
        QueryDataSet &ds = m_data->dtFolder();
        ds.insert();
        const int key = currentFolder();
        const QModelIndex item = node(key);
        QVERIFY(item.isValid());
        QCOMPARE(item.data().toString(), QString());
        QCOMPARE(item.parent(), QModelIndex());
        QCOMPARE(m_tree->currentIndex(), item);
        ds.fieldByName(QStringLiteral("FFOLDER")).setString(QStringLiteral("Zeta"));
        QCOMPARE(item.data().toString(), QStringLiteral("Zeta"));
        QCOMPARE(shape(), QStringLiteral("Beta(Gamma),Zeta"));
        ds.fieldByName(QStringLiteral("FFOLDER")).setString(QStringLiteral("Alpha"));
        QCOMPARE(shape(), QStringLiteral("Alpha,Beta(Gamma)"));
        // Selecting another node does not move a dataset that is inserting.
        click(node(1001));
        QCOMPARE(currentFolder(), key);
        ds.cancel();
        QCOMPARE(node(key), QModelIndex());
        QCOMPARE(shape(), QStringLiteral("Beta(Gamma)"));
        QCOMPARE(m_tree->currentIndex(), node(currentFolder()));
        QCOMPARE(folderCount(), 2);
    }

    void parentNamingNobodyIsTopLevel_data()
    {
        QTest::addColumn<QStringList>("setup");
        const QString child = folderSql(2001, QStringLiteral("Child"), QStringLiteral("%1"));
        const QString other = folderSql(1001, QStringLiteral("Other"), QStringLiteral("0"));
        QTest::newRow("null") << QStringList {other, child.arg(QStringLiteral("NULL"))};
        QTest::newRow("zero") << QStringList {other, child.arg(QStringLiteral("0"))};
        QTest::newRow("unknown key") << QStringList {other, child.arg(QStringLiteral("999999"))};
        QTest::newRow("deleted key")
            << QStringList {other, folderSql(1500, QStringLiteral("Gone"), QStringLiteral("0")),
                            child.arg(QStringLiteral("1500")),
                            QStringLiteral("delete from TFOLDER where FFOLDERID = 1500")};
    }
    void parentNamingNobodyIsTopLevel()
    {
        QFETCH(QStringList, setup);
        m_cat->exec(setup);
        open();
        QVERIFY(node(2001).isValid());
        QCOMPARE(node(2001).parent(), QModelIndex());
        QCOMPARE(shape(), QStringLiteral("Child,Other"));
        QVERIFY(m_prompt->shown.isEmpty());
    }

    void parentsLaterInTheRowsStillNest()
    {
        // Inserted children first: the dataset reads them before their parents.
        m_cat->exec({
            folderSql(3004, QStringLiteral("D"), QStringLiteral("3003")),
            folderSql(3003, QStringLiteral("C"), QStringLiteral("3002")),
            folderSql(3005, QStringLiteral("C2"), QStringLiteral("3002")),
            folderSql(3002, QStringLiteral("B"), QStringLiteral("3001")),
            folderSql(3001, QStringLiteral("A"), QStringLiteral("0")),
        });
        open();
        QCOMPARE(m_data->dtFolder().value(0, 0).toInt(), 3004);
        QCOMPARE(shape(), QStringLiteral("A(B(C(D),C2))"));
        QCOMPARE(model()->folderCount(), 5);
    }

    void foldersNamingEachOtherAreAllShown_data()
    {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<int>("cycle");
        QTest::newRow("two")
            << QStringList {folderSql(1001, QStringLiteral("A"), QStringLiteral("1002")),
                            folderSql(1002, QStringLiteral("B"), QStringLiteral("1001"))}
            << 2;
        QTest::newRow("three")
            << QStringList {folderSql(1001, QStringLiteral("A"), QStringLiteral("1003")),
                            folderSql(1002, QStringLiteral("B"), QStringLiteral("1001")),
                            folderSql(1003, QStringLiteral("C"), QStringLiteral("1002"))}
            << 3;
        QTest::newRow("itself") << QStringList {folderSql(1001, QStringLiteral("A"),
                                                          QStringLiteral("1001"))}
                                << 1;
    }
    void foldersNamingEachOtherAreAllShown()
    {
        QFETCH(QStringList, setup);
        QFETCH(int, cycle);
        m_cat->exec(setup);
        m_cat->exec({folderSql(1009, QStringLiteral("Plain"), QStringLiteral("0"))});
        open();
        QCOMPARE(model()->folderCount(), cycle + 1);
        // One of the cycle at the top, the others each under the one before.
        QCOMPARE(model()->rowCount(), 2);
        int depth = 0;
        for (int key = 1001; key < 1001 + cycle; ++key) {
            QVERIFY(node(key).isValid());
            int d = 1;
            for (QModelIndex p = node(key).parent(); p.isValid(); p = p.parent())
                ++d;
            depth = qMax(depth, d);
        }
        QCOMPARE(depth, cycle);
        // A change in the dataset loads again without losing any of them.
        m_data->dtFolder().locate(QStringLiteral("FFOLDERID"), 1009);
        m_data->dtFolder().edit();
        m_data->dtFolder().fieldByName(QStringLiteral("FFOLDER")).setString(QStringLiteral("P"));
        m_data->dtFolder().post();
        QCOMPARE(model()->folderCount(), cycle + 1);
        QCOMPARE(model()->rowCount(), 2);
        QCOMPARE(folderCount(), cycle + 1);
    }

    void selectingNodeMovesDataSet_data()
    {
        QTest::addColumn<bool>("byKeyboard");
        QTest::newRow("mouse") << false;
        QTest::newRow("keyboard") << true;
    }
    void selectingNodeMovesDataSet()
    {
        QFETCH(bool, byKeyboard);
        m_cat->exec({
            folderSql(1001, QStringLiteral("A"), QStringLiteral("0")),
            folderSql(1002, QStringLiteral("B"), QStringLiteral("0")),
            folderSql(1003, QStringLiteral("B1"), QStringLiteral("1002")),
            diskSql(2001, 1001, QStringLiteral("a1")),
            diskSql(2002, 1002, QStringLiteral("b1")),
            diskSql(2003, 1002, QStringLiteral("b2")),
        });
        open();
        QCOMPARE(currentFolder(), 1001);
        QCOMPARE(m_tree->currentIndex(), node(1001));
        if (byKeyboard) {
            m_tree->setFocus();
            QTest::keyClick(m_tree, Qt::Key_Down);
        } else {
            click(node(1002));
        }
        QCOMPARE(m_tree->currentIndex(), node(1002));
        QCOMPARE(currentFolder(), 1002);
        QCOMPARE(diskCount(), 2);
        if (byKeyboard) {
            QTest::keyClick(m_tree, Qt::Key_Right);
            QTest::keyClick(m_tree, Qt::Key_Down);
        } else {
            m_tree->expand(node(1002));
            click(node(1003));
        }
        QCOMPARE(currentFolder(), 1003);
        QCOMPARE(diskCount(), 0);
        if (byKeyboard)
            QTest::keyClick(m_tree, Qt::Key_Home);
        else
            click(node(1001));
        QCOMPARE(currentFolder(), 1001);
        QCOMPARE(diskCount(), 1);
    }

    void rightClickKeepsSelection()
    {
        m_cat->exec({folderSql(1001, QStringLiteral("A"), QStringLiteral("0")),
                     folderSql(1002, QStringLiteral("B"), QStringLiteral("0"))});
        open();
        click(node(1002), Qt::RightButton);
        QCOMPARE(m_tree->currentIndex(), node(1001));
        QCOMPARE(currentFolder(), 1001);
    }

    void locateSelectsNodeAndExpandsAncestors()
    {
        m_cat->exec({
            folderSql(1001, QStringLiteral("A"), QStringLiteral("0")),
            folderSql(1002, QStringLiteral("B"), QStringLiteral("1001")),
            folderSql(1003, QStringLiteral("C"), QStringLiteral("1002")),
            folderSql(1004, QStringLiteral("D"), QStringLiteral("1003")),
            folderSql(1005, QStringLiteral("E"), QStringLiteral("0")),
        });
        open();
        m_tree->collapseAll();
        QVERIFY(m_data->dtFolder().locate(QStringLiteral("FFOLDERID"), 1004));
        QCOMPARE(m_tree->currentIndex(), node(1004));
        for (int key : {1001, 1002, 1003})
            QVERIFY(m_tree->isExpanded(node(key)));
        QVERIFY(!m_tree->visualRect(node(1004)).isEmpty());
        // A key without a row changes nothing.
        QVERIFY(!m_data->dtFolder().locate(QStringLiteral("FFOLDERID"), 4242));
        QCOMPARE(m_tree->currentIndex(), node(1004));
        QVERIFY(m_data->dtFolder().locate(QStringLiteral("FFOLDERID"), 1005));
        QCOMPARE(m_tree->currentIndex(), node(1005));
    }

    void deleteCommandRemovesSubFoldersWithoutAsking()
    {
        m_cat->exec({
            folderSql(1001, QStringLiteral("F"), QStringLiteral("0")),
            folderSql(1002, QStringLiteral("G"), QStringLiteral("1001")),
            folderSql(1003, QStringLiteral("H"), QStringLiteral("1002")),
            folderSql(1004, QStringLiteral("G2"), QStringLiteral("1001")),
            folderSql(1005, QStringLiteral("X"), QStringLiteral("0")),
        });
        open();
        click(node(1001));
        QVERIFY(runCommand(m_tree, [this] { FolderCommands::delFolder(*m_tree); }));
        QVERIFY(m_prompt->shown.isEmpty());
        for (int key : {1001, 1002, 1003, 1004})
            QVERIFY2(!exists(key), qPrintable(QString::number(key)));
        QVERIFY(exists(1005));
        QCOMPARE(shape(), QStringLiteral("X"));
        QCOMPARE(model()->folderCount(), 1);
        QCOMPARE(m_tree->currentIndex(), node(currentFolder()));
        QVERIFY(!model()->isUpdating());
    }

    void deleteKeyAsksOnce_data()
    {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<QString>("shapeAfter");
        QTest::addColumn<int>("foldersAfter");
        QTest::newRow("OK") << QMessageBox::Ok << QStringLiteral("X") << 1;
        QTest::newRow("Cancel") << QMessageBox::Cancel << QStringLiteral("F(G(H),G2),X") << 5;
    }
    void deleteKeyAsksOnce()
    {
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(QString, shapeAfter);
        QFETCH(int, foldersAfter);
        m_cat->exec({
            folderSql(1001, QStringLiteral("F"), QStringLiteral("0")),
            folderSql(1002, QStringLiteral("G"), QStringLiteral("1001")),
            folderSql(1003, QStringLiteral("H"), QStringLiteral("1002")),
            folderSql(1004, QStringLiteral("G2"), QStringLiteral("1001")),
            folderSql(1005, QStringLiteral("X"), QStringLiteral("0")),
        });
        open();
        click(node(1001));
        m_prompt->answers << answer;
        QTest::keyClick(m_tree, Qt::Key_Delete);
        QCOMPARE(m_prompt->shown.size(), 1);
        const RecordingPrompt::Shown &box = m_prompt->shown.first();
        QCOMPARE(box.text, QStringLiteral("Do you want to delete the item \"F\""));
        QCOMPARE(box.caption, QStringLiteral("Confirm"));
        QCOMPARE(box.icon, QMessageBox::Question);
        QCOMPARE(box.buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(folderCount(), foldersAfter);
        QCOMPARE(shape(), shapeAfter);
        QCOMPARE(model()->folderCount(), foldersAfter);
        QCOMPARE(m_tree->currentIndex(), node(currentFolder()));
    }

    void refusedDeleteMidSubtree_data()
    {
        QTest::addColumn<bool>("byKey");
        QTest::addColumn<QList<int>>("remaining");
        QTest::addColumn<QString>("shapeAfter");
        // Deepest first: B1, B, A1 go; A holds a disk and is refused; F is not attempted.
        QTest::newRow("Delete key")
            << true << QList<int> {1001, 1002, 1006} << QStringLiteral("F(A),Z");
        // The command deletes F itself first; its sub-folders follow.
        QTest::newRow("command") << false << QList<int> {1002, 1006} << QStringLiteral("A,Z");
    }
    void refusedDeleteMidSubtree()
    {
        QFETCH(bool, byKey);
        QFETCH(QList<int>, remaining);
        QFETCH(QString, shapeAfter);
        addSubtreeWithDisk();
        // What the server says when a folder with a disk is deleted.
        QString serverText;
        try {
            m_cat->exec({QStringLiteral("delete from TFOLDER where FFOLDERID = 1002")});
        } catch (const DbError &e) {
            serverText = e.text();
        }
        QVERIFY(serverText.contains(QStringLiteral("FK_TDISK_FOLDER")));
        open();
        QCOMPARE(shape(), QStringLiteral("F(A(A1),B(B1)),Z"));
        click(node(1001));
        if (byKey)
            QTest::keyClick(m_tree, Qt::Key_Delete);
        else
            QVERIFY(runCommand(m_tree, [this] { FolderCommands::delFolder(*m_tree); }));
        const int boxes = byKey ? 2 : 1;
        QCOMPARE(m_prompt->shown.size(), boxes);
        const RecordingPrompt::Shown &box = m_prompt->shown.last();
        QCOMPARE(box.text, errorBoxText(serverText));
        QCOMPARE(box.caption, QStringLiteral("Kodra"));
        QCOMPARE(box.icon, QMessageBox::Critical);
        for (int key = 1001; key <= 1006; ++key)
            QCOMPARE(exists(key), remaining.contains(key));
        // Rebuilt from the table, and not locked.
        QCOMPARE(shape(), shapeAfter);
        QCOMPARE(model()->folderCount(), int(remaining.size()));
        QVERIFY(!model()->isUpdating());
        QCOMPARE(m_data->dtFolder().state(), QueryDataSet::State::Browse);
        click(node(1006));
        QCOMPARE(currentFolder(), 1006);
        click(node(1002));
        QCOMPARE(currentFolder(), 1002);
        QCOMPARE(diskCount(), 1);
        QCOMPARE(m_prompt->shown.size(), boxes);
    }

    void renameInPlace_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("stored");
        QTest::newRow("Enter") << int(Qt::Key_Return) << true << QStringLiteral("Альфа")
                               << QStringLiteral("Альфа");
        QTest::newRow("Escape") << int(Qt::Key_Escape) << false << QStringLiteral("A")
                                << QStringLiteral("A");
    }
    void renameInPlace()
    {
        QFETCH(int, key);
        QFETCH(bool, confirm);
        QFETCH(QString, shown);
        QFETCH(QString, stored);
        m_cat->exec({folderSql(1001, QStringLiteral("A"), QStringLiteral("0")),
                     folderSql(1002, QStringLiteral("B"), QStringLiteral("0"))});
        open();
        startEditing(node(1001));
        QVERIFY(m_tree->isEditingLabel());
        QLineEdit *editor = m_tree->labelEditor();
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("A"));
        QCOMPARE(editor->maxLength(), 255);
        QCOMPARE(m_data->dtFolder().state(), QueryDataSet::State::Edit);
        editor->selectAll();
        typeText(editor, QStringLiteral("Альфа"));
        endEditing(Qt::Key(key));
        // The caption follows at once; the name is stored by the next move.
        QCOMPARE(node(1001).data().toString(), shown);
        QCOMPARE(m_data->dtFolder().isModified(), confirm);
        QCOMPARE(storedName(1001), QStringLiteral("A"));
        click(node(1002));
        QCOMPARE(currentFolder(), 1002);
        QCOMPARE(m_data->dtFolder().state(), QueryDataSet::State::Browse);
        QCOMPARE(storedName(1001), stored);
        QCOMPARE(node(1001).data().toString(), shown);
    }

    // The row stops being edited elsewhere: the label's editor goes, the typing with it.
    void renameEndsWithTheRowsEdit()
    {
        m_cat->exec({folderSql(1001, QStringLiteral("A"), QStringLiteral("0")),
                     folderSql(1002, QStringLiteral("B"), QStringLiteral("0"))});
        open();
        startEditing(node(1001));
        QVERIFY(m_tree->isEditingLabel());
        m_tree->labelEditor()->selectAll();
        QTest::keyClicks(m_tree->labelEditor(), QStringLiteral("Gamma"));
        m_data->dtFolder().cancel();
        QVERIFY(!m_tree->isEditingLabel());
        QCOMPARE(node(1001).data().toString(), QStringLiteral("A"));
        QCOMPARE(storedName(1001), QStringLiteral("A"));
        QCOMPARE(m_data->dtFolder().state(), QueryDataSet::State::Browse);
    }

    void clickOnSelectedLabelStartsEditing()
    {
        m_cat->exec({folderSql(1001, QStringLiteral("A"), QStringLiteral("0")),
                     folderSql(1002, QStringLiteral("B"), QStringLiteral("0"))});
        open();
        click(node(1002));
        QVERIFY(!m_tree->isEditingLabel());
        click(node(1002));
        QTRY_VERIFY(m_tree->isEditingLabel());
        QCOMPARE(m_tree->editingNode(), node(1002));
        m_tree->labelEditor()->selectAll();
        QTest::keyClicks(m_tree->labelEditor(), QStringLiteral("Beta"));
        // Leaving the editor ends it like Enter.
        click(node(1001));
        QVERIFY(!m_tree->isEditingLabel());
        QCOMPARE(node(1002).data().toString(), QStringLiteral("Beta"));
        QCOMPARE(currentFolder(), 1001);
        QCOMPARE(storedName(1002), QStringLiteral("Beta"));
    }

    void renameCommand_data()
    {
        QTest::addColumn<bool>("emptyCatalogue");
        QTest::newRow("folder selected") << false;
        QTest::newRow("no folders: a new row") << true;
    }
    void renameCommand()
    {
        QFETCH(bool, emptyCatalogue);
        if (!emptyCatalogue)
            m_cat->exec({folderSql(1001, QStringLiteral("A"), QStringLiteral("0")),
                         folderSql(1002, QStringLiteral("B"), QStringLiteral("0"))});
        open();
        QVERIFY(runCommand(m_tree, [this] { FolderCommands::renameFolder(*m_tree); }));
        QCOMPARE(m_data->dtFolder().state(),
                 emptyCatalogue ? QueryDataSet::State::Insert : QueryDataSet::State::Edit);
        QVERIFY(m_tree->isEditingLabel());
        QCOMPARE(m_tree->editingNode(), node(currentFolder()));
        QLineEdit *editor = m_tree->labelEditor();
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("Zebra"));
        endEditing(Qt::Key_Return);
        const int key = currentFolder();
        QCOMPARE(node(key).data().toString(), QStringLiteral("Zebra"));
        m_data->dtFolder().post();
        QCOMPARE(storedName(key), QStringLiteral("Zebra"));
        QCOMPARE(shape(), emptyCatalogue ? QStringLiteral("Zebra") : QStringLiteral("B,Zebra"));
        QCOMPARE(m_tree->currentIndex(), node(key));
    }

    void editingParentFieldMovesNode()
    {
        m_cat->exec({folderSql(1001, QStringLiteral("A"), QStringLiteral("0")),
                     folderSql(1002, QStringLiteral("B"), QStringLiteral("0")),
                     folderSql(1003, QStringLiteral("C"), QStringLiteral("1001"))});
        open();
        click(node(1003));
        QueryDataSet &ds = m_data->dtFolder();
        ds.edit();
        ds.fieldByName(QStringLiteral("FOWNFOLDERID")).setInteger(1002);
        QCOMPARE(shape(), QStringLiteral("A,B(C)"));
        QVERIFY(m_tree->isExpanded(node(1002)));
        QCOMPARE(m_tree->currentIndex(), node(1003));
        ds.post();
        QCOMPARE(shape(), QStringLiteral("A,B(C)"));
        QCOMPARE(m_cat
                     ->scalar(QStringLiteral("select FOWNFOLDERID from TFOLDER where "
                                             "FFOLDERID = 1003"))
                     .toInt(),
                 1002);
    }

    // A change of one row reaches the views as that row's change: no reset, no new layout of
    // the whole tree, the other folders untouched.
    void changeOfOneRowIsTheRowsChange_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("inserted");
        QTest::addColumn<int>("removed");
        QTest::addColumn<int>("renamed");
        QTest::addColumn<QString>("shapeAfter");
        QTest::newRow("rename keeping the order")
            << "rename" << 0 << 0 << 1 << QStringLiteral("A(A1),Bb(B1),C");
        QTest::newRow("new folder")
            << "add" << 1 << 0 << 1 << QStringLiteral("A(A1),B(B1),C,Новая папка");
        QTest::newRow("delete with a sub-folder")
            << "delete" << 0 << 1 << 0 << QStringLiteral("A(A1),C");
    }
    void changeOfOneRowIsTheRowsChange()
    {
        QFETCH(QString, change);
        QFETCH(int, inserted);
        QFETCH(int, removed);
        QFETCH(int, renamed);
        QFETCH(QString, shapeAfter);
        m_cat->exec({folderSql(1001, QStringLiteral("A"), QStringLiteral("0")),
                     folderSql(1002, QStringLiteral("A1"), QStringLiteral("1001")),
                     folderSql(1003, QStringLiteral("B"), QStringLiteral("0")),
                     folderSql(1004, QStringLiteral("B1"), QStringLiteral("1003")),
                     folderSql(1005, QStringLiteral("C"), QStringLiteral("0"))});
        open();
        m_tree->expandAll();
        const QPersistentModelIndex untouched = node(1002);
        QAbstractItemModel *tree = m_tree->model();
        QSignalSpy resets(tree, &QAbstractItemModel::modelReset);
        QSignalSpy layouts(tree, &QAbstractItemModel::layoutChanged);
        QSignalSpy rowsIn(tree, &QAbstractItemModel::rowsInserted);
        QSignalSpy rowsOut(tree, &QAbstractItemModel::rowsRemoved);
        QSignalSpy names(tree, &QAbstractItemModel::dataChanged);
        QueryDataSet &ds = m_data->dtFolder();
        QVERIFY(ds.locate(QStringLiteral("FFOLDERID"), 1003));
        if (change == QLatin1String("rename")) {
            ds.edit();
            ds.fieldByName(QStringLiteral("FFOLDER")).setString(QStringLiteral("Bb"));
            ds.post();
        } else if (change == QLatin1String("add")) {
            QVERIFY(runCommand(m_tree, [this] { FolderCommands::addFolder(*m_tree); }));
        } else {
            QVERIFY(runCommand(m_tree, [this] { FolderCommands::delFolder(*m_tree); }));
        }
        QVERIFY(m_prompt->shown.isEmpty());
        QCOMPARE(shape(), shapeAfter);
        QCOMPARE(resets.count(), 0);
        QCOMPARE(layouts.count(), 0);
        QCOMPARE(rowsIn.count(), inserted);
        QCOMPARE(rowsOut.count(), removed);
        QCOMPARE(names.count(), renamed);
        QCOMPARE(QModelIndex(untouched), node(1002));
        QVERIFY(m_tree->isExpanded(node(1001)));
        QCOMPARE(m_tree->currentIndex(), node(currentFolder()));
    }

    void expansionSurvivesChanges()
    {
        m_cat->exec({folderSql(1001, QStringLiteral("A"), QStringLiteral("0")),
                     folderSql(1002, QStringLiteral("A1"), QStringLiteral("1001")),
                     folderSql(1003, QStringLiteral("B"), QStringLiteral("0")),
                     folderSql(1004, QStringLiteral("B1"), QStringLiteral("1003"))});
        open();
        m_tree->expand(node(1003));
        const QPersistentModelIndex before = node(1004);
        m_data->dtFolder().locate(QStringLiteral("FFOLDERID"), 1002);
        m_data->dtFolder().edit();
        m_data->dtFolder().fieldByName(QStringLiteral("FFOLDER")).setString(QStringLiteral("A2"));
        m_data->dtFolder().post();
        QVERIFY(m_tree->isExpanded(node(1003)));
        QCOMPARE(node(1004), QModelIndex(before));
        QCOMPARE(shape(), QStringLiteral("A(A2),B(B1)"));
    }

    void rereadWithControlsOffRebuildsAndDeletesNothing()
    {
        addSubtreeWithDisk();
        open();
        m_tree->expand(node(1001));
        QueryDataSet &ds = m_data->dtFolder();
        // Read again with a narrower select while the controls are off: one reset arrives.
        ds.disableControls();
        ds.close();
        ds.setSelectSql({QStringLiteral("select * from TFOLDER where FFOLDERID <> 1004")});
        ds.open();
        ds.enableControls();
        QCOMPARE(shape(), QStringLiteral("B1,F(A(A1)),Z"));
        QCOMPARE(folderCount(), 6);
        QCOMPARE(m_tree->currentIndex(), node(currentFolder()));
        QVERIFY(m_prompt->shown.isEmpty());
    }

    void siblingsSortedByLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("sorted");
        const QStringList cases {QStringLiteral("b"), QStringLiteral("B"), QStringLiteral("A"),
                                 QStringLiteral("a")};
        // Letters before case: a and A stay apart, and both come before b.
        QTest::newRow("case") << QStringLiteral("en_US") << cases << QStringLiteral("a,A,b,B");
        const QStringList mixed {QStringLiteral("яблоко"), QStringLiteral("Zebra"),
                                 QStringLiteral("ель"), QStringLiteral("apple"),
                                 QStringLiteral("Ёлка")};
        QTest::newRow("latin first")
            << QStringLiteral("en_US") << mixed << QStringLiteral("apple,Zebra,Ёлка,ель,яблоко");
        QTest::newRow("cyrillic first")
            << QStringLiteral("ru_RU") << mixed << QStringLiteral("Ёлка,ель,яблоко,apple,Zebra");
        QTest::newRow("numbers as text")
            << QStringLiteral("en_US")
            << QStringList {QStringLiteral("10"), QStringLiteral("9"), QStringLiteral("1")}
            << QStringLiteral("1,10,9");
    }
    void siblingsSortedByLocale()
    {
        QFETCH(QString, locale);
        QFETCH(QStringList, names);
        QFETCH(QString, sorted);
        QStringList rows;
        int key = 1001;
        for (const QString &name : names) {
            rows << folderSql(key, name, QStringLiteral("0"));
            // The same names one level down, under the first folder.
            rows << folderSql(key + 100, name, QStringLiteral("1001"));
            ++key;
        }
        m_cat->exec(rows);
        const QLocale before;
        QLocale::setDefault(QLocale(locale));
        TDBTreeView tree;
        QLocale::setDefault(before);
        FolderCommands::setupFolderTree(tree, m_data->dtFolder());
        open();
        QStringList top;
        const QAbstractItemModel &folders = *tree.folderModel();
        for (int i = 0; i < folders.rowCount(); ++i)
            top << folders.index(i, 0).data().toString();
        QCOMPARE(top.join(QLatin1Char(',')), sorted);
        QStringList nested;
        const QModelIndex first = tree.folderModel()->indexOfKey(1001);
        for (int i = 0; i < folders.rowCount(first); ++i)
            nested << folders.index(i, 0, first).data().toString();
        QCOMPARE(nested.join(QLatin1Char(',')), sorted);
    }

    void renamedNodeMovesAmongSiblings()
    {
        m_cat->exec({folderSql(1001, QStringLiteral("b"), QStringLiteral("0")),
                     folderSql(1002, QStringLiteral("c"), QStringLiteral("0")),
                     folderSql(1003, QStringLiteral("d"), QStringLiteral("0"))});
        open();
        startEditing(node(1003));
        QLineEdit *editor = m_tree->labelEditor();
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("a"));
        endEditing(Qt::Key_Return);
        QCOMPARE(shape(), QStringLiteral("a,b,c"));
        QCOMPARE(m_tree->currentIndex(), node(1003));
    }

    void closedDataSetLeavesEmptyTree_data()
    {
        QTest::addColumn<bool>("wasOpen");
        QTest::newRow("closed after use") << true;
        QTest::newRow("never opened") << false;
    }
    void closedDataSetLeavesEmptyTree()
    {
        QFETCH(bool, wasOpen);
        addSubtreeWithDisk();
        if (wasOpen) {
            open();
            QCOMPARE(model()->folderCount(), 6);
            m_data->dtFolder().close();
        }
        QCOMPARE(model()->rowCount(), 0);
        QCOMPARE(model()->folderCount(), 0);
        const QString closedError
            = errorBoxText(QStringLiteral("dtFolder: Cannot perform this operation on a "
                                          "closed dataset"));
        QVERIFY(!runCommand(m_tree, [this] { FolderCommands::addFolder(*m_tree); }));
        QVERIFY(!runCommand(m_tree, [this] { FolderCommands::renameFolder(*m_tree); }));
        QVERIFY(runCommand(m_tree, [this] { FolderCommands::delFolder(*m_tree); }));
        QCOMPARE(m_prompt->shown.size(), 2);
        QCOMPARE(m_prompt->shown.at(0).text, closedError);
        QCOMPARE(m_prompt->shown.at(1).text, closedError);
        QCOMPARE(model()->rowCount(), 0);
        QVERIFY(!m_data->dtFolder().isOpen());
        QCOMPARE(folderCount(), 6);
        // Opening again fills the tree.
        open();
        QCOMPARE(shape(), QStringLiteral("F(A(A1),B(B1)),Z"));
    }

    void imagesFrameAndHints()
    {
        m_cat->exec({
            folderSql(1001, QStringLiteral("Музыка"), QStringLiteral("0")),
            folderSql(1002, QStringLiteral("Джаз"), QStringLiteral("1001")),
            folderSql(1003, QStringLiteral("Классика"), QStringLiteral("1001")),
            folderSql(1004, QStringLiteral("Барокко"), QStringLiteral("1003")),
            folderSql(1005, QStringLiteral("Фильмы"), QStringLiteral("0")),
            folderSql(1006, QStringLiteral("Документальные"), QStringLiteral("1005")),
            folderSql(1007, QStringLiteral("Очень длинное название папки, которое не помещается"),
                      QStringLiteral("0")),
        });
        open();
        m_tree->expand(node(1001));
        click(node(1003));
        QCOMPARE(m_tree->indentation(), 19);
        QCOMPARE(m_tree->imageIndexOf(node(1003)), 3);
        QCOMPARE(m_tree->imageIndexOf(node(1001)), 4);
        QCOMPARE(m_tree->imageIndexOf(node(1005)), 5);
        QCOMPARE(m_tree->imageIndexOf(node(1002)), 5);
        // Without the focus the selected label gets a frame in the text colour.
        m_other->setFocus();
        QTRY_VERIFY(!m_tree->hasFocus());
        const QImage picture = m_tree->grab().toImage();
        picture.save(QStringLiteral("/tmp/tree.png"));
        const QRect label = m_tree->labelRect(node(1003));
        const QPoint corner = m_tree->viewport()->mapTo(m_tree, label.topLeft());
        QCOMPARE(QColor(picture.pixel(corner)), m_tree->palette().color(QPalette::Text));
        QVERIFY(isSelected(node(1003)));
        // With the focus there is no frame.
        m_tree->setFocus();
        QTRY_VERIFY(m_tree->hasFocus());
        const QImage focused = m_tree->grab().toImage();
        QVERIFY(QColor(focused.pixel(corner)) != m_tree->palette().color(QPalette::Text));
        // Only a caption that does not fit has a hint.
        QCOMPARE(m_tree->nodeHintAt(m_tree->labelRect(node(1005)).center()), QString());
        QCOMPARE(m_tree->nodeHintAt(m_tree->visualRect(node(1007)).center()),
                 node(1007).data().toString());
    }

    void fullLoadOf20000Folders()
    {
        // Inserted from the deepest up, so that every child comes before its parent.
        m_cat->exec({QStringLiteral(
            "execute block as declare k integer = 20000; begin "
            "while (k > 0) do begin "
            "insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values (100000 + :k, "
            "'Папка ' || :k, iif(:k <= 50, 0, 100000 + :k / 10)); k = k - 1; end end")});
        QElapsedTimer timer;
        timer.start();
        m_data->dtFolder().open();
        const qint64 openMs = timer.elapsed();
        QCOMPARE(model()->folderCount(), 20000);
        QCOMPARE(model()->rowCount(), 50);
        QCOMPARE(node(119999).parent(), node(101999));
        QCOMPARE(node(101999).parent(), node(100199));
        // A change loads all rows again into the nodes already there.
        m_data->dtFolder().locate(QStringLiteral("FFOLDERID"), 100007);
        timer.restart();
        m_data->dtFolder().edit();
        m_data->dtFolder().fieldByName(QStringLiteral("FFOLDER")).setString(QStringLiteral("Я"));
        m_data->dtFolder().post();
        const qint64 changeMs = timer.elapsed();
        QCOMPARE(model()->folderCount(), 20000);
        QCOMPARE(model()->index(49, 0).data().toString(), QStringLiteral("Я"));
        qInfo("open and load: %lld ms, load after a change: %lld ms", openMs, changeMs);
        QVERIFY2(openMs < 2000, qPrintable(QString::number(openMs)));
        QVERIFY2(changeMs < 2000, qPrintable(QString::number(changeMs)));
    }
};

QTEST_MAIN(TestDBTree)
#include "tst_dbtree.moc"
