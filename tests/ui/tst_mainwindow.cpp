#include "browser/DiskListFormat.h"
#include "browser/TDBTreeView.h"
#include "browser/uMain.h"
#include "platform/SettingsStore.h"
#include "store/DbError.h"
#include "store/Statement.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/TestCatalogue.h"
#include "tests/support/Typing.h"
#include "widgets/DBGrid.h"
#include "widgets/SortableTitles.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The main window's disk list and its commands, driven through the real window.
class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    const QString section = QStringLiteral("Software\\Brenk\\Kodra");
    std::unique_ptr<TestCatalogue> m_cat;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<RecordingPrompt> m_prompt;
    std::unique_ptr<TfMain> m_w;

    Catalogue &data() { return m_w->data(); }
    DataSetModel &model() { return *m_w->DBGridEh1->dataSetModel(); }
    int column(const char *field) { return model().columnOfField(QString::fromLatin1(field)); }
    int diskKey() { return data().dtDisk().fieldByName(QStringLiteral("FDISKID")).asInteger(); }
    int folderKey()
    {
        return data().dtFolder().fieldByName(QStringLiteral("FFOLDERID")).asInteger();
    }
    qint64 generatorValue()
    {
        return m_cat->scalar(QStringLiteral("select gen_id(SQ_MAIN, 0) from rdb$database"))
            .toLongLong();
    }
    QStringList diskNames()
    {
        QStringList names;
        while (model().canFetchMore({}))
            model().fetchMore({});
        for (int r = 0; r < model().rowCount(); ++r)
            names << model().displayText(r, 0);
        return names;
    }
    void clickTitle(int col)
    {
        QHeaderView *header = m_w->DBGridEh1->horizontalHeader();
        // The middle of the title: its edges are the handles that resize the column.
        const QPoint at(header->sectionViewportPosition(col) + header->sectionSize(col) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }

private Q_SLOTS:
    void init()
    {
        m_cat = std::make_unique<TestCatalogue>();
        QVERIFY2(m_cat->isValid(), qPrintable(m_cat->error()));
        m_cat->exec({
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(1001, 'Музыка', 0)"),
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(1002, 'Джаз', 1001)"),
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(1003, 'Пустая', 0)"),
            QStringLiteral("insert into TMAN (FMANID, FNAME) values (501, 'Иванов')"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, "
                           "FFULLSIZE, FCOMMENT) values (2001, 1001, 1, 'Bach', 3, 700000000, "
                           "'Органные сочинения')"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, FDELDATE) "
                           "values (2002, 1001, 1, 'Mozart', 1, '2020-01-01')"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                           "(2003, 1001, 1, 'Chopin', 2)"),
            QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE, FCTRLDATE) "
                           "values (3001, 2002, 501, '2019-12-01', '2020-01-10')"),
            QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE, FCTRLDATE) "
                           "values (3002, 2003, 501, current_date, current_date + 30)"),
        });
        m_dir = std::make_unique<QTemporaryDir>();
        m_store = std::make_unique<SettingsStore>(m_dir->filePath(QStringLiteral("Kodra.ini")));
        m_store->writeString(section, QStringLiteral("NormPos"), QStringLiteral("10,10,900,600"));
        m_store->writeString(section, QStringLiteral("DataBaseName"), m_cat->path());
        m_store->writeString(section, QStringLiteral("FolderID"), QStringLiteral("1001"));
        m_prompt = std::make_unique<RecordingPrompt>();
        m_w = std::make_unique<TfMain>(m_store.get());
        m_w->diskList().runDrag = [](QDrag *) {};
        QSignalSpy started(m_w.get(), &TfMain::startupFinished);
        m_w->show();
        QVERIFY(started.wait(30000));
        QVERIFY(data().dtDisk().isOpen());
        QVERIFY(m_prompt->shown.isEmpty());
    }
    void cleanup()
    {
        m_w.reset();
        m_prompt.reset();
    }

    void listShowsFolderDisksInOrder()
    {
        QCOMPARE(diskNames(), QStringList({"Mozart", "Chopin", "Bach"}));
        // The first title follows the current folder.
        QCOMPARE(model().headerData(0, Qt::Horizontal).toString(), QStringLiteral("Музыка"));
        data().dtFolder().locate(QStringLiteral("FFOLDERID"), 1003);
        QCOMPARE(model().headerData(0, Qt::Horizontal).toString(), QStringLiteral("Пустая"));
        QCOMPARE(model().rowCount(), 0);
    }

    void coloursAndFormats()
    {
        const int status = column("FSTATUS");
        const int name = column("FNAME");
        // Mozart: lost and overdue - grey row, red status.
        QCOMPARE(model().data(model().index(0, name), Qt::ForegroundRole).value<QColor>(),
                 QColor(128, 128, 128));
        QCOMPARE(model().data(model().index(0, status), Qt::ForegroundRole).value<QColor>(),
                 QColor(255, 0, 0));
        // Chopin: out, not overdue - blue status, normal name.
        QCOMPARE(model().data(model().index(1, status), Qt::ForegroundRole).value<QColor>(),
                 QColor(0, 0, 255));
        QVERIFY(!model().data(model().index(1, name), Qt::ForegroundRole).isValid());
        // Bach: size grouped by three, nothing for an empty size.
        QCOMPARE(model().displayText(2, column("FFULLSIZE")), QStringLiteral("700 000 000"));
        QCOMPARE(model().displayText(1, column("FFULLSIZE")), QString());
    }

    void sizeFormat_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QVariant() << "";
        QTest::newRow("zero") << QVariant(0.0) << "";
        QTest::newRow("small") << QVariant(999.0) << "999";
        QTest::newRow("thousand") << QVariant(1000.0) << "1 000";
        QTest::newRow("rounded") << QVariant(1234567.6) << "1 234 568";
        QTest::newRow("DVD") << QVariant(4700372992.0) << "4 700 372 992";
        QTest::newRow("fifteen digits") << QVariant(999999999999999.0) << "999 999 999 999 999";
    }
    void sizeFormat()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        QCOMPARE(DiskListFormat::size(value), text);
    }

    void titleClicksSortOnTheServer()
    {
        const int name = column("FNAME");
        clickTitle(name);
        QCOMPARE(diskNames(), QStringList({"Bach", "Chopin", "Mozart"}));
        QCOMPARE(model().sortMark(name), DataSetModel::SortMark::Down);
        QCOMPARE(data().dtDisk().selectSql().at(7), QStringLiteral("FNAME asc"));
        QCOMPARE(data().dtDisk().currentRow(), 0);
        clickTitle(name);
        QCOMPARE(diskNames(), QStringList({"Mozart", "Chopin", "Bach"}));
        QCOMPARE(model().sortMark(name), DataSetModel::SortMark::Up);
        clickTitle(name);
        QCOMPARE(model().sortMark(name), DataSetModel::SortMark::Down);
        // The lookup column changes neither the marks nor the order.
        clickTitle(column("FTYPE"));
        QCOMPARE(model().sortMark(name), DataSetModel::SortMark::Down);
        QCOMPARE(data().dtDisk().selectSql().at(7), QStringLiteral("FNAME asc"));
        // Another column starts ascending and clears the other marks.
        clickTitle(column("FSTATUS"));
        QCOMPARE(model().sortMark(name), DataSetModel::SortMark::None);
        QCOMPARE(data().dtDisk().selectSql().at(7), QStringLiteral("FSTATUS asc"));
        QCOMPARE(diskNames().first(), QStringLiteral("Bach")); // no status sorts first
    }

    void refreshKeepsFolderDiskAndOrder()
    {
        clickTitle(column("FNAME"));
        data().dtDisk().locate(QStringLiteral("FDISKID"), 2003);
        m_cat->exec({QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME) "
                                    "values (2004, 1001, 1, 'Albinoni')")});
        QTest::keyClick(m_w->DBGridEh1, Qt::Key_F5);
        QCOMPARE(folderKey(), 1001);
        QCOMPARE(diskKey(), 2003);
        QCOMPARE(model().sortMark(column("FNAME")), DataSetModel::SortMark::Down);
        QCOMPARE(diskNames().first(), QStringLiteral("Bach"));
        QVERIFY(m_prompt->shown.isEmpty());
    }

    void insertAndCancelLeavesListAsBefore()
    {
        int editorRuns = 0;
        QueryDataSet::State stateInEditor = QueryDataSet::State::Inactive;
        int folderInEditor = 0;
        m_w->setDiskEditor([&](TfMain &w) {
            ++editorRuns;
            stateInEditor = w.data().dtDisk().state();
            folderInEditor = w.data().dtDisk().fieldByName(QStringLiteral("FFOLDERID")).asInteger();
            return false;
        });
        const QStringList before = diskNames();
        const qint64 key = generatorValue();
        m_w->DBGridEh1->setFocus();
        QTest::keyClick(m_w->DBGridEh1, Qt::Key_Insert);
        QCOMPARE(editorRuns, 1);
        QCOMPARE(stateInEditor, QueryDataSet::State::Insert);
        QCOMPARE(folderInEditor, 1001);
        QCOMPARE(diskNames(), before);
        QCOMPARE(data().dtDisk().state(), QueryDataSet::State::Browse);
        QCOMPARE(generatorValue(), key + 1);
    }

    // An editor that fails to open shows the error and leaves no new row behind.
    void failingEditorLeavesNoRow()
    {
        m_w->setDiskEditor(
            [](TfMain &) -> bool { throw DbError(QStringLiteral("connection lost")); });
        const QStringList before = diskNames();
        m_w->aAddDisk->trigger();
        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.at(0).text, QStringLiteral("connection lost."));
        QCOMPARE(data().dtDisk().state(), QueryDataSet::State::Browse);
        QCOMPARE(diskNames(), before);
    }

    void editorOkRefreshesWithNewDiskCurrent()
    {
        m_w->setDiskEditor([](TfMain &w) {
            w.data().dtDisk().fieldByName(QStringLiteral("FNAME")).setString(QStringLiteral("Aaa"));
            w.data().dtDisk().post();
            return true;
        });
        m_w->aAddDisk->trigger();
        QCOMPARE(diskNames().first(), QStringLiteral("Aaa")); // no number sorts first
        QCOMPARE(data().dtDisk().fieldByName(QStringLiteral("FNAME")).asString(),
                 QStringLiteral("Aaa"));
        QCOMPARE(data().dtDisk().fieldByName(QStringLiteral("FMANID")).asInteger(), 1);
    }

    void doubleClickAndEnterOpenTheEditor()
    {
        QStringList opened;
        m_w->setDiskEditor([&opened](TfMain &w) {
            opened << (w.data().dtDisk().state() == QueryDataSet::State::Insert
                           ? QStringLiteral("new")
                           : w.data().dtDisk().fieldByName(QStringLiteral("FNAME")).asString());
            return false;
        });
        DBGrid *grid = m_w->DBGridEh1;
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Return);
        const QRect cell = grid->visualRect(model().index(1, 0));
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        data().dtFolder().locate(QStringLiteral("FFOLDERID"), 1003);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(opened, QStringList({"Mozart", "Chopin", "new"}));
    }

    void deleteAsksAndShowsLayerErrors()
    {
        m_prompt->answers = {QMessageBox::Cancel};
        m_w->aDelDisk->trigger();
        QCOMPARE(m_prompt->shown.last().text, QStringLiteral("Удалить Mozart ?"));
        QCOMPARE(m_prompt->shown.last().caption, QStringLiteral("Удалить ?"));
        QCOMPARE(m_prompt->shown.last().icon, QMessageBox::Question);
        QCOMPARE(model().rowCount(), 3);
        m_w->aDelDisk->trigger();
        QCOMPARE(model().rowCount(), 2);
        QCOMPARE(
            m_cat->scalar(QStringLiteral("select count(*) from TDISK where FDISKID=2002")).toInt(),
            0);
        // An empty list still asks, then the layer refuses.
        data().dtFolder().locate(QStringLiteral("FFOLDERID"), 1003);
        m_prompt->shown.clear();
        m_w->aDelDisk->trigger();
        QCOMPARE(m_prompt->shown.size(), 2);
        QCOMPARE(m_prompt->shown[0].text, QStringLiteral("Удалить  ?"));
        QCOMPARE(m_prompt->shown[1].text,
                 QStringLiteral("dtDisk: Cannot perform this operation on an empty dataset."));
        QCOMPARE(m_prompt->shown[1].caption, QStringLiteral("Kodra"));
        // Not connected: no folder, so nothing to delete from and nothing asks.
        m_w->aConnectExecute();
        QVERIFY(!data().DefDatabase().isConnected());
        QVERIFY(!m_w->aDelDisk->isEnabled());
        m_prompt->shown.clear();
        m_w->aDelDisk->trigger();
        m_w->aDelDiskExecute();
        QCOMPARE(m_prompt->shown.size(), 0);
    }

    void commentHintFollowsClicks()
    {
        DBGrid *grid = m_w->DBGridEh1;
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(model().index(2, column("FNAME"))).center());
        QCOMPARE(grid->hintText(), QStringLiteral("Органные сочинения"));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(model().index(2, column("FNN"))).center());
        QCOMPARE(grid->hintText(), QString());
    }

    void dragStartsFromTheNameColumn()
    {
        int drags = 0;
        m_w->diskList().runDrag = [&drags](QDrag *drag) {
            ++drags;
            QCOMPARE(drag->mimeData()->data(QStringLiteral("application/x-kodra-disk")),
                     QByteArray("2003"));
        };
        DBGrid *grid = m_w->DBGridEh1;
        const QPoint start = grid->visualRect(model().index(1, column("FNAME"))).center();
        QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, start);
        QMouseEvent move(QEvent::MouseMove, start + QPoint(30, 0),
                         grid->viewport()->mapToGlobal(start + QPoint(30, 0)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(grid->viewport(), &move);
        QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, start + QPoint(30, 0));
        QCOMPARE(drags, 1);
        QCOMPARE(m_w->diskList().draggedDisk(), 2003);
    }

    // With no folder a disk could never be stored: every way of starting or opening one is
    // closed until a folder is there again.
    void diskCommandsNeedACurrentFolder()
    {
        for (const char *sql : {"delete from TGIVE", "delete from TDISK", "delete from TFOLDER"}) {
            Statement stmt(data().DefDatabase());
            stmt.prepare(QString::fromLatin1(sql));
            stmt.execute();
        }
        DBGrid *grid = m_w->DBGridEh1;
        QTest::keyClick(grid, Qt::Key_F5);
        QVERIFY(data().dtFolder().isEmpty());
        for (QAction *a : {m_w->aAddDisk, m_w->aEditDisk, m_w->aDelDisk})
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
        int editorRuns = 0;
        m_w->setDiskEditor([&editorRuns](TfMain &) {
            ++editorRuns;
            return false;
        });
        QVERIFY(!m_w->aAddDisk->isEnabled());
        QTest::keyClick(grid, Qt::Key_Insert);
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Return);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        m_w->aAddDiskExecute();
        m_w->aEditDiskExecute();
        QCOMPARE(editorRuns, 0);
        QCOMPARE(data().dtDisk().state(), QueryDataSet::State::Browse);
        QVERIFY(m_prompt->shown.isEmpty());

        {
            Statement stmt(data().DefDatabase());
            stmt.prepare(QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) "
                                        "values (1101, 'Снова', 0)"));
            stmt.execute();
        }
        QTest::keyClick(grid, Qt::Key_F5);
        for (QAction *a : {m_w->aAddDisk, m_w->aEditDisk, m_w->aDelDisk})
            QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
        QTest::keyClick(grid, Qt::Key_Insert);
        QCOMPARE(editorRuns, 1);
    }

    // Text typed into a cell reaches its row before a command leaves or re-reads the row.
    void openCellEditReachesTheRowFirst_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("Insert") << "insert";
        QTest::newRow("F5") << "refresh";
        QTest::newRow("title click") << "title";
        QTest::newRow("another folder") << "folder";
    }
    void openCellEditReachesTheRowFirst()
    {
        QFETCH(QString, action);
        DBGrid *grid = m_w->DBGridEh1;
        QVERIFY(MainWindowFixture::activate(m_w.get()));
        QVERIFY(data().dtDisk().locate(QStringLiteral("FDISKID"), 2003));
        const QModelIndex cell = model().index(data().dtDisk().currentRow(), column("FNAME"));
        grid->setFocus();
        grid->setCurrentIndex(cell);
        static_cast<QAbstractItemView *>(grid)->edit(cell);
        QPointer<QLineEdit> line = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        QVERIFY(line);
        line->selectAll();
        typeText(line, QStringLiteral("Шопен"));

        if (action == QLatin1String("insert")) {
            MainWindowFixture::whenModal(
                [](QWidget *modal) { static_cast<QDialog *>(modal)->reject(); });
            QTest::keyClick(line, Qt::Key_Insert);
        } else if (action == QLatin1String("refresh")) {
            QTest::keyClick(line, Qt::Key_F5);
        } else if (action == QLatin1String("title")) {
            clickTitle(column("FNN"));
        } else {
            TDBTreeView *tree = m_w->DBTreeView1;
            const QModelIndexList found = tree->model()->match(
                tree->model()->index(0, 0), Qt::DisplayRole, QStringLiteral("Пустая"), -1,
                Qt::MatchExactly | Qt::MatchRecursive);
            QCOMPARE(found.size(), 1);
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                              tree->visualRect(found.first()).center());
            QCOMPARE(folderKey(), 1003);
        }
        QVERIFY2(m_prompt->shown.isEmpty(), qPrintable(m_prompt->shown.value(0).text));
        QCOMPARE(m_cat->scalar(QStringLiteral("select FNAME from TDISK where FDISKID = 2003"))
                     .toString(),
                 QStringLiteral("Шопен"));
        // The cell editor is gone.
        QTRY_VERIFY(!line);
    }

    // The status comes from the server: the list does not offer to edit it.
    void statusIsReadOnly()
    {
        const QModelIndex status = model().index(0, column("FSTATUS"));
        QVERIFY(!(model().flags(status) & Qt::ItemIsEditable));
        QVERIFY(model().flags(model().index(0, column("FNAME"))) & Qt::ItemIsEditable);
        QVERIFY(!model().setData(status, QStringLiteral("x")));
        QCOMPARE(data().dtDisk().state(), QueryDataSet::State::Browse);
    }

    void folderPopupAddsTopLevelFolder()
    {
        data().dtFolder().locate(QStringLiteral("FFOLDERID"), 1002);
        m_w->aAddFolder->trigger();
        QVERIFY(m_prompt->shown.isEmpty());
        const QModelIndex node = m_w->DBTreeView1->currentIndex();
        QVERIFY(node.isValid());
        QCOMPARE(node.data().toString(), QStringLiteral("Новая папка"));
        QVERIFY(!node.parent().isValid());
        QCOMPARE(data().dtFolder().fieldByName(QStringLiteral("FFOLDER")).asString(),
                 QStringLiteral("Новая папка"));
        QCOMPARE(model().rowCount(), 0);
    }

    void pictureOfTheWindow()
    {
        m_w->resize(760, 420);
        data().dtFolder().locate(QStringLiteral("FFOLDERID"), 1001);
        m_w->DBTreeView1->expandAll();
        // The view fetches the rows it shows once its layout has run.
        QTRY_COMPARE(model().rowCount(), 3);
        const QImage shot = m_w->grab().toImage();
        QVERIFY(!shot.isNull());
        shot.save(QDir::temp().filePath(QStringLiteral("kodra-main.png")));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
