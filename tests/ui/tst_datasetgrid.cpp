#include "app/Catalogue.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/TestCatalogue.h"
#include "widgets/DBGrid.h"
#include "widgets/DBGridDelegate.h"
#include "widgets/DataSetModel.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

// The disk list's size format: a whole number in groups of three, nothing for 0 or empty.
QString groupedSize(const QVariant &value)
{
    const qint64 n = qRound64(value.toDouble());
    if (value.isNull() || n == 0)
        return {};
    QString digits = QString::number(n);
    for (int at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(' '));
    return digits;
}

DataSetModel::Column column(const char *field, const QString &title, int width,
                            bool stretch = false)
{
    DataSetModel::Column c;
    c.fieldName = QLatin1String(field);
    c.title = title;
    c.width = width;
    c.stretch = stretch;
    return c;
}

QList<DataSetModel::Column> diskColumns()
{
    DataSetModel::Column size = column("FFULLSIZE", QStringLiteral("Размер"), 78);
    size.alignment = Qt::AlignRight | Qt::AlignVCenter;
    size.format = groupedSize;
    DataSetModel::Column status = column("FSTATUS", QStringLiteral("Статус"), 57, true);
    status.readOnly = true;
    return {column("FNAME", QStringLiteral("Наименование"), 171, true),
            column("FDISKIS", QStringLiteral("д."), 15),
            column("FDISKS", QStringLiteral("из"), 17),
            column("FTYPE", QStringLiteral("Тип"), 46),
            size,
            column("FGETDATE", QStringLiteral("Приобретен"), 66),
            status,
            column("FNN", QStringLiteral("№"), 30)};
}

const QColor Grey(128, 128, 128);
const QColor Blue(0, 0, 255);
const QColor Red(255, 0, 0);

} // namespace

// The dataset grid and its model over the main window's disk list, on a real catalogue.
class TestDataSetGrid : public QObject
{
    Q_OBJECT

private:
    enum class Action { Fetch, Insert, Delete, CancelNewRow, PostNewRow };

    std::unique_ptr<TestCatalogue> m_cat;
    std::unique_ptr<Catalogue> m_data;
    std::unique_ptr<RecordingPrompt> m_prompt;
    std::unique_ptr<DBGrid> m_grid;
    DataSetModel *m_model = nullptr;
    std::unique_ptr<QAbstractItemModelTester> m_tester;

    QueryDataSet &disks() { return m_data->dtDisk(); }
    int column(const char *field) const { return m_model->columnOfField(QLatin1String(field)); }
    int fieldIndex(const char *field) { return disks().fieldByName(QLatin1String(field)).index(); }
    QString diskName(int row) { return disks().value(row, fieldIndex("FNAME")).toString(); }
    QString current(const char *field)
    {
        return disks().fieldByName(QLatin1String(field)).asString();
    }

    void openFolder(int folderId)
    {
        m_data->dtFolder().open();
        disks().open();
        QVERIFY(m_data->dtFolder().locate(QStringLiteral("FFOLDERID"), folderId));
    }
    // The disk list as the main window shows it, with the lost/lent colours.
    // The model is checked all along, except where the checks' own fetching would spoil
    // what is measured.
    void showGrid(int width = 640, int height = 240, bool checked = true)
    {
        m_grid = std::make_unique<DBGrid>();
        m_model = m_grid->setDataSet(&disks(), diskColumns());
        if (checked)
            m_tester = std::make_unique<QAbstractItemModelTester>(
                m_model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QueryDataSet *ds = &disks();
        DataSetModel *model = m_model;
        m_model->setCellColor([ds, model](int row, int col) -> std::optional<QColor> {
            const Field &code = ds->fieldByName(QStringLiteral("FSTATUSCODE"));
            const Field &lost = ds->fieldByName(QStringLiteral("FDELDATE"));
            if (col == model->columnOfField(QStringLiteral("FSTATUS"))) {
                const int status = ds->value(row, code.index()).toInt();
                if (status == 2)
                    return Blue;
                if (status == 3)
                    return Red;
            }
            if (!ds->value(row, lost.index()).isNull())
                return Grey;
            return std::nullopt;
        });
        m_grid->resize(width, height);
        m_grid->show();
        m_grid->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_grid.get()));
        // The view fetches rows until its page is full or the list is complete.
        QTRY_VERIFY(!m_model->canFetchMore({})
                    || m_grid->rowAt(m_grid->viewport()->height() - 1) >= 0);
    }
    QPoint cellCenter(int row, int col) const
    {
        return m_grid->visualRect(m_model->index(row, col)).center();
    }
    void clickCell(int row, int col)
    {
        QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {}, cellCenter(row, col));
    }
    // Makes a cell of the current row current and opens its editor with F2.
    QWidget *startEditing(int col)
    {
        m_grid->setCurrentIndex(m_model->index(m_grid->currentIndex().row(), col));
        QTest::keyClick(m_grid.get(), Qt::Key_F2);
        return QApplication::focusWidget();
    }
    QString marker(int row) const { return m_model->headerData(row, Qt::Vertical).toString(); }
    QVariant stored(const QString &select) const { return m_cat->scalar(select); }

private Q_SLOTS:
    void initTestCase()
    {
        // The program's own locale: short dates as dd.MM.yyyy.
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    }

    void init()
    {
        m_cat = std::make_unique<TestCatalogue>();
        QVERIFY2(m_cat->isValid(), qPrintable(m_cat->error()));
        m_cat->exec({
            QStringLiteral("insert into TMAN (FMANID, FNAME) values (20, 'Пётр')"),
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(1001, 'Музыка', 0)"),
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(1002, 'Фильмы', 0)"),
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(1003, 'Большая', 0)"),
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(1004, 'Пустая', 0)"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, FTYPEID, "
                           "FFULLSIZE, FGETDATE, FCOMMENT) values (2001, 1001, 1, 'Bach', 1, 2, "
                           "734003200, '2019-04-12', 'Бранденбургские концерты')"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, FTYPEID, "
                           "FFULLSIZE, FGETDATE, FDISKIS, FDISKS) values (2002, 1001, 1, "
                           "'Mozart', 2, 3, 4700000000, '2020-01-05', 1, 2)"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, FTYPEID, "
                           "FDELDATE) values (2003, 1001, 1, 'Vivaldi', 3, 2, '2021-06-01')"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                           "(2004, 1002, 1, 'Solaris', 1)"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                           "(2005, 1002, 1, 'Stalker', 2)"),
            // Mozart is lent out, Vivaldi (lost) is overdue.
            QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE, FCTRLDATE) "
                           "values (3001, 2002, 20, dateadd(-3 day to current_date), "
                           "dateadd(10 day to current_date))"),
            QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE, FCTRLDATE) "
                           "values (3002, 2003, 20, '2020-01-01', '2020-02-01')"),
        });
        m_data = std::make_unique<Catalogue>();
        m_cat->configure(m_data->DefDatabase());
        // As the main window does: a new disk belongs to the current folder and its owner.
        m_data->dtDisk().afterInsert = [this](QueryDataSet &ds) {
            ds.fieldByName(QStringLiteral("FFOLDERID"))
                .setValue(m_data->dtFolder().fieldByName(QStringLiteral("FFOLDERID")).value());
            ds.fieldByName(QStringLiteral("FMANID")).setInteger(1);
        };
        m_prompt = std::make_unique<RecordingPrompt>();
    }

    void cleanup()
    {
        m_tester.reset();
        m_grid.reset();
        m_model = nullptr;
        m_data.reset();
        m_prompt.reset();
    }

    void modelFollowsEveryChange()
    {
        DataSetModel model(&disks(), diskColumns());
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);

        openFolder(1001);
        QCOMPARE(model.rowCount(), disks().fetchedCount());

        // Fetching appends rows, it does not reset.
        resets.clear();
        while (model.canFetchMore({}))
            model.fetchMore({});
        QCOMPARE(resets.count(), 0);
        QVERIFY(!inserted.isEmpty());
        QCOMPARE(model.rowCount(), 3);
        for (int row = 0; row < 3; ++row)
            QCOMPARE(model.index(row, 0).data().toString(), diskName(row));

        // A new row appears where it starts and, once posted, moves behind the others.
        inserted.clear();
        disks().moveTo(1);
        disks().insert();
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.first().at(1).toInt(), 1);
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.headerData(1, Qt::Vertical).toString(), QStringLiteral("I"));
        disks().fieldByName(QStringLiteral("FNAME")).setString(QStringLiteral("Telemann"));
        QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("Telemann"));
        disks().post();
        QCOMPARE(moved.count(), 1);
        QCOMPARE(model.index(3, 0).data().toString(), QStringLiteral("Telemann"));
        QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("Mozart"));
        QCOMPARE(model.headerData(3, Qt::Vertical).toString(), QStringLiteral("\u25B8"));

        // A cancelled new row goes away again.
        disks().insert();
        QCOMPARE(model.rowCount(), 5);
        disks().cancel();
        QCOMPARE(removed.count(), 1);
        QCOMPARE(model.rowCount(), 4);

        // A cancelled edit shows the old value again.
        disks().first();
        disks().fieldByName(QStringLiteral("FNAME")).setString(QStringLiteral("Händel"));
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("Händel"));
        QCOMPARE(model.headerData(0, Qt::Vertical).toString(), QStringLiteral("\u270E"));
        disks().cancel();
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("Bach"));

        // Deleting removes the row.
        disks().remove();
        QCOMPARE(removed.count(), 2);
        QCOMPARE(model.rowCount(), disks().fetchedCount());
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("Mozart"));

        // Another folder re-reads the list as a whole.
        resets.clear();
        QVERIFY(m_data->dtFolder().locate(QStringLiteral("FFOLDERID"), 1002));
        QVERIFY(!resets.isEmpty());
        while (model.canFetchMore({}))
            model.fetchMore({});
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("Stalker"));

        disks().close();
        QCOMPARE(model.rowCount(), 0);
    }

    // The model tells each change before it happens: views and proxies reading it then still
    // see every row as it was.
    void modelBracketsEachChange_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("announced");
        // The next block behind the rows the view (here the model tester) fetched so far.
        QTest::newRow("fetch") << int(Action::Fetch) << "inserted %1-%2";
        QTest::newRow("insert in the middle") << int(Action::Insert) << "inserted 1-1";
        QTest::newRow("remove") << int(Action::Delete) << "removed 0-0";
        QTest::newRow("cancel a new row in the middle")
            << int(Action::CancelNewRow) << "removed 1-1";
        QTest::newRow("move after a post re-sorts") << int(Action::PostNewRow) << "moved 1-1 to 4";
    }
    void modelBracketsEachChange()
    {
        QFETCH(int, action);
        QFETCH(QString, announced);
        constexpr int kLarge = 2500;
        if (Action(action) == Action::Fetch) {
            m_cat->exec(
                {QStringLiteral(
                     "execute block as declare i integer = 1; begin while (i <= %1) do begin "
                     "insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                     "(100000 + :i, 1003, 1, 'Disk ' || :i, :i); i = i + 1; end end")
                     .arg(kLarge)});
            openFolder(1003);
        } else {
            openFolder(1001);
            disks().fetchAll();
            disks().moveTo(Action(action) == Action::Delete ? 0 : 1);
        }
        if (Action(action) == Action::CancelNewRow || Action(action) == Action::PostNewRow) {
            disks().insert();
            disks().fieldByName(QStringLiteral("FNAME")).setString(QStringLiteral("Telemann"));
        }
        // Made on the open list: the tester fetches whenever the model changes, and would
        // otherwise leave no block to fetch.
        DataSetModel model(&disks(), diskColumns());
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), disks().fetchedCount());
        if (Action(action) == Action::Fetch)
            QVERIFY(model.canFetchMore({}));

        const auto shown = [&model] {
            QStringList texts;
            for (int row = 0; row < model.rowCount(); ++row)
                texts << model.index(row, 0).data().toString() + QLatin1Char('/')
                        + model.headerData(row, Qt::Vertical).toString();
            return texts;
        };
        const QStringList before = shown();
        if (Action(action) == Action::Fetch)
            announced = announced.arg(before.size()).arg(qMin(before.size() + 999, kLarge - 1));
        QStringList seen;
        QList<QStringList> shownThen;
        QList<int> fetchedThen;
        const auto aboutTo = [&](const QString &what) {
            seen << what;
            shownThen << shown();
            fetchedThen << disks().fetchedCount();
        };
        connect(&model, &QAbstractItemModel::rowsAboutToBeInserted, this,
                [&](const QModelIndex &, int first, int last) {
                    aboutTo(QStringLiteral("inserted %1-%2").arg(first).arg(last));
                });
        connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                [&](const QModelIndex &, int first, int last) {
                    aboutTo(QStringLiteral("removed %1-%2").arg(first).arg(last));
                });
        connect(&model, &QAbstractItemModel::rowsAboutToBeMoved, this,
                [&](const QModelIndex &, int first, int last, const QModelIndex &, int to) {
                    aboutTo(QStringLiteral("moved %1-%2 to %3").arg(first).arg(last).arg(to));
                });
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

        switch (Action(action)) {
        case Action::Fetch:
            model.fetchMore({});
            break;
        case Action::Insert:
            disks().insert();
            break;
        case Action::Delete:
            disks().remove();
            break;
        case Action::CancelNewRow:
            disks().cancel();
            break;
        case Action::PostNewRow:
            disks().post();
            break;
        }
        disconnect(&model, nullptr, this, nullptr);

        QCOMPARE(seen, QStringList {announced});
        QCOMPARE(shownThen, QList<QStringList> {before});
        QCOMPARE(fetchedThen, QList<int> {int(before.size())});
        QCOMPARE(resets.count(), 0);
        QCOMPARE(model.rowCount(), disks().fetchedCount());
        for (int row = 0; row < model.rowCount(); ++row)
            QCOMPARE(model.index(row, 0).data().toString(), diskName(row));
        QCOMPARE(m_prompt->shown.size(), 0);
    }

    void viewFetchesOnlyWhatItShows()
    {
        m_cat->exec({QStringLiteral(
            "execute block as declare i integer = 1; begin while (i <= 5000) do begin "
            "insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
            "(100000 + :i, 1003, 1, 'Disk ' || :i, :i); i = i + 1; end end")});
        openFolder(1003);
        showGrid(640, 240, false);
        QSignalSpy resets(m_model, &QAbstractItemModel::modelReset);

        // The view has fetched until its page was full, far from the whole folder.
        int rows = m_model->rowCount();
        QVERIFY(rows > 1);
        QVERIFY(rows < 5000);
        QCOMPARE(disks().fetchedCount(), rows);

        // Going to the end fetches the next block each time, until everything is there.
        int steps = 0;
        while (rows < 5000 && steps++ < 20) {
            QTest::keyClick(m_grid.get(), Qt::Key_End, Qt::ControlModifier);
            QCOMPARE(disks().currentRow(), m_grid->currentIndex().row());
            QTRY_VERIFY(m_model->rowCount() > rows);
            QVERIFY2(m_model->rowCount() - rows <= 1000,
                     qPrintable(QStringLiteral("%1 -> %2").arg(rows).arg(m_model->rowCount())));
            rows = m_model->rowCount();
            QCOMPARE(disks().fetchedCount(), rows);
        }
        QCOMPARE(rows, 5000);
        QVERIFY(steps > 1);
        QCOMPARE(resets.count(), 0);
        QTest::keyClick(m_grid.get(), Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(disks().currentRow(), 4999);
        QCOMPARE(current("FNAME"), QStringLiteral("Disk 5000"));
    }

    void currentRowMovesBothWays_data()
    {
        QTest::addColumn<bool>("rowSelect");
        QTest::newRow("current cell highlighted") << false;
        QTest::newRow("current row highlighted") << true;
    }
    void currentRowMovesBothWays()
    {
        QFETCH(bool, rowSelect);
        openFolder(1001);
        showGrid();
        m_grid->setRowSelect(rowSelect);
        QCOMPARE(m_grid->currentIndex().row(), 0);
        QCOMPARE(marker(0), QStringLiteral("\u25B8"));

        // The grid moves the dataset: mouse, keys, the row indicator.
        clickCell(2, column("FNN"));
        QCOMPARE(disks().currentRow(), 2);
        QCOMPARE(current("FNAME"), QStringLiteral("Vivaldi"));
        QCOMPARE(marker(2), QStringLiteral("\u25B8"));
        QCOMPARE(marker(0), QString());
        QTest::keyClick(m_grid.get(), Qt::Key_Up);
        QCOMPARE(disks().currentRow(), 1);
        QCOMPARE(m_grid->currentIndex().column(), column("FNN"));
        const QHeaderView *indicator = m_grid->verticalHeader();
        QTest::mouseClick(
            indicator->viewport(), Qt::LeftButton, {},
            QPoint(indicator->width() / 2,
                   indicator->sectionViewportPosition(0) + indicator->sectionSize(0) / 2));
        QCOMPARE(disks().currentRow(), 0);

        // The dataset moves the grid.
        disks().last();
        QCOMPARE(m_grid->currentIndex().row(), 2);
        QCOMPARE(m_grid->currentIndex().column(), column("FNN"));
        QVERIFY(m_grid->selectionModel()->isSelected(m_grid->currentIndex()));
        QCOMPARE(m_grid->selectionModel()->selectedIndexes().size(),
                 rowSelect ? m_model->columnCount() : 1);
        disks().prior();
        QCOMPARE(m_grid->currentIndex().row(), 1);
        QVERIFY(m_data->dtFolder().locate(QStringLiteral("FFOLDERID"), 1002));
        QCOMPARE(m_grid->currentIndex().row(), 0);
        QCOMPARE(m_model->index(0, column("FNAME")).data().toString(), QStringLiteral("Solaris"));
        disks().close();
        QVERIFY(!m_grid->currentIndex().isValid());
        QCOMPARE(m_prompt->shown.size(), 0);
    }

    void editPostsWhenLeavingRow_data()
    {
        QTest::addColumn<QString>("leave");
        QTest::newRow("down key") << "down";
        QTest::newRow("click on another row") << "click";
        QTest::newRow("typing starts the edit") << "typed";
    }
    void editPostsWhenLeavingRow()
    {
        QFETCH(QString, leave);
        openFolder(1001);
        showGrid();
        QLineEdit *edit = nullptr;
        if (leave == QLatin1String("typed")) {
            m_grid->setCurrentIndex(m_model->index(0, column("FNAME")));
            QTest::keyClicks(m_grid.get(), QStringLiteral("B"));
            edit = qobject_cast<QLineEdit *>(QApplication::focusWidget());
            QVERIFY(edit);
            QTest::keyClicks(edit, QStringLiteral("WV"));
        } else {
            edit = qobject_cast<QLineEdit *>(startEditing(column("FNAME")));
            QVERIFY(edit);
            QCOMPARE(edit->text(), QStringLiteral("Bach"));
            QTest::keyClicks(edit, QStringLiteral("BWV"));
        }
        // Nothing is written while the editor is open.
        QCOMPARE(disks().state(), QueryDataSet::State::Browse);

        if (leave == QLatin1String("click"))
            clickCell(2, column("FNN"));
        else
            QTest::keyClick(edit, Qt::Key_Down);

        QCOMPARE(m_prompt->shown.size(), 0);
        QCOMPARE(disks().state(), QueryDataSet::State::Browse);
        QCOMPARE(disks().currentRow(), m_grid->currentIndex().row());
        QVERIFY(disks().currentRow() != 0);
        QCOMPARE(diskName(0), QStringLiteral("BWV"));
        QCOMPARE(stored(QStringLiteral("select FNAME from TDISK where FDISKID = 2001")).toString(),
                 QStringLiteral("BWV"));
    }

    void unchangedEditorLeavesRowUntouched()
    {
        openFolder(1001);
        showGrid();
        QWidget *edit = startEditing(column("FNAME"));
        QVERIFY(qobject_cast<QLineEdit *>(edit));
        QTest::keyClick(edit, Qt::Key_Down);
        QCOMPARE(disks().currentRow(), 1);
        QCOMPARE(disks().state(), QueryDataSet::State::Browse);
        QVERIFY(!disks().isModified());
    }

    // The first Esc gives back the cell being edited, a second one the row's other unposted
    // changes; a row without earlier changes is as it was after the first.
    void escapeUndoesTheCellThenTheRow_data()
    {
        QTest::addColumn<bool>("committedFirst");
        QTest::newRow("editor still open") << false;
        QTest::newRow("name already in the row") << true;
    }
    void escapeUndoesTheCellThenTheRow()
    {
        QFETCH(bool, committedFirst);
        openFolder(1001);
        showGrid();
        const QString disksBefore = current("FDISKIS");
        auto *edit = qobject_cast<QLineEdit *>(startEditing(column("FNAME")));
        QVERIFY(edit);
        QTest::keyClicks(edit, QStringLiteral("Johann"));
        QWidget *target = edit;
        if (committedFirst) {
            // Tab writes the cell and goes on editing the next one.
            QTest::keyClick(edit, Qt::Key_Tab);
            QCOMPARE(disks().state(), QueryDataSet::State::Edit);
            QCOMPARE(current("FNAME"), QStringLiteral("Johann"));
            QCOMPARE(marker(0), QStringLiteral("\u270E"));
            // Typing into the next cell's editor, then Esc there.
            auto *next = qobject_cast<QLineEdit *>(QApplication::focusWidget());
            QVERIFY(next);
            QTest::keyClicks(next, QStringLiteral("7"));
            target = next;
        }
        QTest::keyClick(target, Qt::Key_Escape);
        QCOMPARE(m_grid->indexWidget(m_grid->currentIndex()), nullptr);
        if (committedFirst) {
            QCOMPARE(disks().state(), QueryDataSet::State::Edit);
            QCOMPARE(current("FNAME"), QStringLiteral("Johann"));
            QCOMPARE(current("FDISKIS"), disksBefore);
            QCOMPARE(marker(0), QStringLiteral("\u270E"));
            QTest::keyClick(m_grid.get(), Qt::Key_Escape);
        }
        QCOMPARE(disks().state(), QueryDataSet::State::Browse);
        QCOMPARE(current("FNAME"), QStringLiteral("Bach"));
        QCOMPARE(current("FDISKIS"), disksBefore);
        QCOMPARE(m_model->index(0, column("FNAME")).data().toString(), QStringLiteral("Bach"));
        QCOMPARE(marker(0), QStringLiteral("\u25B8"));
    }

    // On a new row the first Esc in a cell keeps the row; the second drops it.
    void escapeOnANewRowTakesTwo()
    {
        openFolder(1001);
        showGrid();
        const int rows = m_model->rowCount();
        disks().moveTo(rows - 1);
        QTest::keyClick(m_grid.get(), Qt::Key_Down);
        QCOMPARE(disks().state(), QueryDataSet::State::Insert);
        auto *edit = qobject_cast<QLineEdit *>(startEditing(column("FNAME")));
        QVERIFY(edit);
        QTest::keyClicks(edit, QStringLiteral("New"));
        QTest::keyClick(edit, Qt::Key_Escape);
        QCOMPARE(disks().state(), QueryDataSet::State::Insert);
        QCOMPARE(m_model->rowCount(), rows + 1);
        QCOMPARE(current("FNAME"), QString());
        QTest::keyClick(m_grid.get(), Qt::Key_Escape);
        QCOMPARE(disks().state(), QueryDataSet::State::Browse);
        QCOMPARE(m_model->rowCount(), rows);
    }

    void emptyRequiredFieldKeepsRowInEdit()
    {
        openFolder(1001);
        showGrid();
        auto *edit = qobject_cast<QLineEdit *>(startEditing(column("FNAME")));
        QVERIFY(edit);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QString());
        QTest::keyClick(edit, Qt::Key_Down);

        QCOMPARE(m_prompt->shown.size(), 1);
        QCOMPARE(m_prompt->shown.first().text, QStringLiteral("Field 'FNAME' must have a value."));
        QCOMPARE(m_prompt->shown.first().caption, QStringLiteral("Kodra"));
        QCOMPARE(m_prompt->shown.first().icon, QMessageBox::Critical);
        QCOMPARE(disks().state(), QueryDataSet::State::Edit);
        QCOMPARE(disks().currentRow(), 0);
        QCOMPARE(m_grid->currentIndex().row(), 0);
        QCOMPARE(m_grid->currentIndex().column(), column("FNAME"));
        QCOMPARE(marker(0), QStringLiteral("\u270E"));
        QCOMPARE(stored(QStringLiteral("select FNAME from TDISK where FDISKID = 2001")).toString(),
                 QStringLiteral("Bach"));

        // A click elsewhere is refused the same way; Esc gives the name back.
        clickCell(2, column("FNAME"));
        QCOMPARE(m_prompt->shown.size(), 2);
        QCOMPARE(m_grid->currentIndex().row(), 0);
        QTest::keyClick(m_grid.get(), Qt::Key_Escape);
        QCOMPARE(disks().state(), QueryDataSet::State::Browse);
        QCOMPARE(current("FNAME"), QStringLiteral("Bach"));
    }

    void downOnLastRowStartsNewRow_data()
    {
        QTest::addColumn<int>("startRow");
        QTest::addColumn<bool>("appendOnDown");
        QTest::addColumn<bool>("inserts");
        QTest::newRow("last row") << 2 << true << true;
        QTest::newRow("not the last row") << 1 << true << false;
        QTest::newRow("switched off") << 2 << false << false;
    }
    void downOnLastRowStartsNewRow()
    {
        QFETCH(int, startRow);
        QFETCH(bool, appendOnDown);
        QFETCH(bool, inserts);
        openFolder(1001);
        showGrid();
        m_grid->setAppendOnDown(appendOnDown);
        disks().moveTo(startRow);
        QTest::keyClick(m_grid.get(), Qt::Key_Down);
        QCOMPARE(disks().state(),
                 inserts ? QueryDataSet::State::Insert : QueryDataSet::State::Browse);
        QCOMPARE(m_model->rowCount(), inserts ? 4 : 3);
        QCOMPARE(m_grid->currentIndex().row(), disks().currentRow());
        if (inserts)
            QCOMPARE(marker(disks().currentRow()), QStringLiteral("I"));
    }

    void newRowPostsAndGridKeepsChosenDisk()
    {
        openFolder(1001);
        showGrid();
        disks().last();
        QTest::keyClick(m_grid.get(), Qt::Key_Down);
        QCOMPARE(disks().state(), QueryDataSet::State::Insert);
        const int newRow = disks().currentRow();
        QCOMPARE(diskName(newRow + 1), QStringLiteral("Vivaldi"));
        auto *edit = qobject_cast<QLineEdit *>(startEditing(column("FNAME")));
        QVERIFY(edit);
        QTest::keyClicks(edit, QStringLiteral("Corelli"));
        // Vivaldi is below the new row now; once posted, the new row goes to the end and
        // Vivaldi moves up, and the grid still lands on Vivaldi.
        clickCell(newRow + 1, column("FNN"));
        QCOMPARE(m_prompt->shown.size(), 0);
        QCOMPARE(disks().state(), QueryDataSet::State::Browse);
        QCOMPARE(current("FNAME"), QStringLiteral("Vivaldi"));
        QCOMPARE(m_grid->currentIndex().row(), disks().currentRow());
        QCOMPARE(diskName(3), QStringLiteral("Corelli"));
        QCOMPARE(
            stored(QStringLiteral("select count(*) from TDISK where FFOLDERID = 1001")).toInt(), 4);
    }

    void lookupDropDownWritesKey_data()
    {
        QTest::addColumn<QString>("typeName");
        QTest::newRow("DVD") << "DVD";
        QTest::newRow("Blu-ray") << "Blu-ray";
    }
    void lookupDropDownWritesKey()
    {
        QFETCH(QString, typeName);
        const int typeId
            = stored(QStringLiteral("select FTYPEID from TTYPE where FTYPE = '%1'").arg(typeName))
                  .toInt();
        openFolder(1001);
        showGrid();
        auto *combo = qobject_cast<QComboBox *>(startEditing(column("FTYPE")));
        QVERIFY(combo);
        QCOMPARE(combo->currentText(), QStringLiteral("CD"));
        QVERIFY(combo->count() >= 7);
        QTest::keyClicks(combo, typeName);
        QCOMPARE(combo->currentText(), typeName);
        // Choosing writes at once: the key field takes the chosen type's key.
        QCOMPARE(disks().state(), QueryDataSet::State::Edit);
        QCOMPARE(disks().fieldByName(QStringLiteral("FTYPEID")).asInteger(), typeId);
        QCOMPARE(current("FTYPE"), typeName);
        QTest::keyClick(combo, Qt::Key_Escape);
        QCOMPARE(current("FTYPE"), QStringLiteral("CD"));

        combo = qobject_cast<QComboBox *>(startEditing(column("FTYPE")));
        QVERIFY(combo);
        QTest::keyClicks(combo, typeName);
        QTest::keyClick(m_grid.get(), Qt::Key_Down);
        QCOMPARE(disks().state(), QueryDataSet::State::Browse);
        QCOMPARE(stored(QStringLiteral("select FTYPEID from TDISK where FDISKID = 2001")).toInt(),
                 typeId);
        QCOMPARE(m_model->index(0, column("FTYPE")).data().toString(), typeName);
    }

    void dateColumnEditsWithCalendar()
    {
        openFolder(1001);
        showGrid();
        auto *edit = qobject_cast<QDateEdit *>(startEditing(column("FGETDATE")));
        QVERIFY(edit);
        QVERIFY(edit->calendarPopup());
        QCOMPARE(edit->date(), QDate(2019, 4, 12));
        QCOMPARE(edit->text(), QStringLiteral("12.04.2019"));
        // Up steps the section the cursor is in: the day.
        QTest::keyClick(edit, Qt::Key_Home);
        QTest::keyClick(edit, Qt::Key_Up);
        QTest::keyClick(edit, Qt::Key_Down);
        QTest::keyClick(edit, Qt::Key_Up);
        QCOMPARE(edit->date(), QDate(2019, 4, 13));
        QTest::keyClick(edit, Qt::Key_Tab);
        QCOMPARE(disks().fieldByName(QStringLiteral("FGETDATE")).asDate(), QDate(2019, 4, 13));
        QCOMPARE(m_model->index(0, column("FGETDATE")).data().toString(),
                 QLocale().toString(QDate(2019, 4, 13), QLocale::ShortFormat));

        // An empty date stays empty when its editor closes unchanged.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        disks().moveTo(2);
        edit = qobject_cast<QDateEdit *>(startEditing(column("FGETDATE")));
        QVERIFY(edit);
        QCOMPARE(edit->text().trimmed(), QString());
        QTest::keyClick(edit, Qt::Key_Tab);
        QCOMPARE(disks().state(), QueryDataSet::State::Browse);
    }

    void editableColumns_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("editable");
        QTest::newRow("data field") << "FNAME" << false << true;
        QTest::newRow("read-only column") << "FNAME" << true << false;
        QTest::newRow("lookup with its key") << "FTYPE" << false << true;
        QTest::newRow("field the dataset lacks") << "FNOSUCH" << false << false;
    }
    void editableColumns()
    {
        QFETCH(QString, field);
        QFETCH(bool, readOnly);
        QFETCH(bool, editable);
        DataSetModel::Column c;
        c.fieldName = field;
        c.readOnly = readOnly;
        DataSetModel model(&disks(), {c});
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        openFolder(1001);
        const QModelIndex cell = model.index(0, 0);
        QCOMPARE(bool(model.flags(cell) & Qt::ItemIsEditable), editable);
        QVERIFY(model.flags(cell) & Qt::ItemIsSelectable);
        QCOMPARE(model.setData(cell, QStringLiteral("DVD")), editable);
        if (field == QLatin1String("FNOSUCH"))
            QCOMPARE(cell.data().toString(), QString());
        else
            QCOMPARE(cell.data().toString(),
                     editable ? QStringLiteral("DVD") : current(field.toLatin1().constData()));
    }

    void cellColours_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QColor>("name");
        QTest::addColumn<QColor>("status");
        QTest::newRow("at home") << 0 << QColor() << QColor();
        QTest::newRow("lent") << 1 << QColor() << Blue;
        QTest::newRow("lost and overdue") << 2 << Grey << Red;
    }
    void cellColours()
    {
        QFETCH(int, row);
        QFETCH(QColor, name);
        QFETCH(QColor, status);
        openFolder(1001);
        showGrid();
        QCOMPARE(m_model->index(row, column("FNAME")).data(Qt::ForegroundRole).value<QColor>(),
                 name);
        QCOMPARE(m_model->index(row, column("FSTATUS")).data(Qt::ForegroundRole).value<QColor>(),
                 status);
    }

    void copyKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Ctrl+C") << int(Qt::Key_C);
        QTest::newRow("Ctrl+Insert") << int(Qt::Key_Insert);
    }
    void copyKeys()
    {
        QFETCH(int, key);
        openFolder(1001);
        showGrid();
        QGuiApplication::clipboard()->clear();
        clickCell(1, column("FFULLSIZE"));
        QCOMPARE(m_grid->currentFieldName(), QStringLiteral("FFULLSIZE"));
        QTest::keyClick(m_grid.get(), Qt::Key(key), Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("4 700 000 000"));
        clickCell(1, column("FNAME"));
        QTest::keyClick(m_grid.get(), Qt::Key(key), Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Mozart"));
        QCOMPARE(disks().state(), QueryDataSet::State::Browse);
    }

    void rangeSelectCopiesChosenCells()
    {
        openFolder(1001);
        showGrid();
        m_grid->setRangeSelect(true);
        QGuiApplication::clipboard()->clear();
        // One cell: copied as the plain grid copies it.
        clickCell(1, column("FNAME"));
        QTest::keyClick(m_grid.get(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Mozart"));
        // A block with Shift, a cell more with Ctrl: the columns of both, empty where not chosen.
        clickCell(0, column("FFULLSIZE"));
        QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          cellCenter(1, column("FGETDATE")));
        QTest::keyClick(m_grid.get(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("734 003 200\t12.04.2019\n4 700 000 000\t05.01.2020"));
        QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          cellCenter(2, column("FNAME")));
        QTest::keyClick(m_grid.get(), Qt::Key_Insert, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("\t734 003 200\t12.04.2019\n\t4 700 000 000\t05.01.2020\n"
                                "Vivaldi\t\t"));
        // The dataset's current row is the grid's current row, as ever.
        QCOMPARE(current("FNAME"), QStringLiteral("Vivaldi"));
        QCOMPARE(disks().state(), QueryDataSet::State::Browse);
    }

    void selectAllFetchesEveryRow()
    {
        m_cat->exec({QStringLiteral(
            "execute block as declare i integer = 1; begin while (i <= 2500) do begin "
            "insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
            "(100000 + :i, 1003, 1, 'Disk ' || :i, :i); i = i + 1; end end")});
        openFolder(1003);
        showGrid(640, 240, false);
        m_grid->setRangeSelect(true);
        QVERIFY(m_model->rowCount() < 2500);
        clickCell(0, column("FNAME"));
        QTest::keyClick(m_grid.get(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(m_model->rowCount(), 2500);
        QTest::keyClick(m_grid.get(), Qt::Key_C, Qt::ControlModifier);
        const QStringList lines = QGuiApplication::clipboard()->text().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2500);
        QCOMPARE(lines.constFirst().split(QLatin1Char('\t')).size(), m_model->columnCount());
        QVERIFY(lines.constFirst().startsWith(QStringLiteral("Disk 1\t")));
        QVERIFY(lines.constLast().startsWith(QStringLiteral("Disk 2500\t")));
        // Without ranges Ctrl+A is no key of the grid's.
        m_grid->setRangeSelect(false);
        QTest::keyClick(m_grid.get(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(m_grid->selectionModel()->selectedIndexes().size(), 1);
    }

    void rightAlignedTextKeepsItsEnd()
    {
        openFolder(1001);
        showGrid();
        struct Delegate : DBGridDelegate
        {
            using DBGridDelegate::initStyleOption;
        } delegate;
        auto elision = [&delegate, this](const char *field) {
            QStyleOptionViewItem option;
            option.textElideMode = Qt::ElideRight;
            delegate.initStyleOption(&option, m_model->index(0, column(field)));
            return option.textElideMode;
        };
        QCOMPARE(elision("FFULLSIZE"), Qt::ElideLeft);
        QCOMPARE(elision("FNAME"), Qt::ElideRight);
    }

    void titleClickReachesHook_data()
    {
        QTest::addColumn<QString>("field");
        QTest::newRow("name") << "FNAME";
        QTest::newRow("type") << "FTYPE";
        QTest::newRow("number") << "FNN";
    }
    void titleClickReachesHook()
    {
        QFETCH(QString, field);
        openFolder(1001);
        showGrid();
        const int col = m_model->columnOfField(field);
        QHeaderView *titles = m_grid->horizontalHeader();
        const QPoint title(titles->sectionViewportPosition(col) + titles->sectionSize(col) / 2,
                           titles->height() / 2);

        // Without a hook a click does nothing.
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, title);
        QVERIFY(!titles->isSortIndicatorShown());
        QCOMPARE(m_model->sortMark(col), DataSetModel::SortMark::None);

        QList<int> clicked;
        m_grid->setTitleClickHandler([this, &clicked](int column) {
            clicked.append(column);
            const auto mark = m_model->sortMark(column) == DataSetModel::SortMark::Down
                ? DataSetModel::SortMark::Up
                : DataSetModel::SortMark::Down;
            m_model->clearSortMarks();
            m_model->setSortMark(column, mark);
        });
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, title);
        QCOMPARE(clicked, QList<int> {col});
        QVERIFY(titles->isSortIndicatorShown());
        QCOMPARE(titles->sortIndicatorSection(), col);
        QCOMPARE(titles->sortIndicatorOrder(), Qt::AscendingOrder);
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, title);
        QCOMPARE(clicked, (QList<int> {col, col}));
        QCOMPARE(m_model->sortMark(col), DataSetModel::SortMark::Up);
        QCOMPARE(titles->sortIndicatorOrder(), Qt::DescendingOrder);
    }

    void enterAndDoubleClickSignal()
    {
        openFolder(1001);
        showGrid();
        QSignalSpy byKey(m_grid.get(), &DBGrid::activatedByKey);
        QSignalSpy byMouse(m_grid.get(), &DBGrid::activatedByDoubleClick);

        QTest::keyPress(m_grid.get(), Qt::Key_Return);
        QCOMPARE(byKey.count(), 0);
        QTest::keyRelease(m_grid.get(), Qt::Key_Return);
        QCOMPARE(byKey.count(), 1);

        // Enter that ends an in-place edit is the editor's.
        auto *edit = qobject_cast<QLineEdit *>(startEditing(column("FNAME")));
        QVERIFY(edit);
        QTest::keyPress(edit, Qt::Key_Return);
        QTest::keyRelease(m_grid.get(), Qt::Key_Return);
        QCOMPARE(byKey.count(), 1);

        QTest::mouseDClick(m_grid->viewport(), Qt::LeftButton, {}, cellCenter(1, 0));
        QCOMPARE(byMouse.count(), 1);
        QCOMPARE(disks().currentRow(), 1);

        // Also where there is no row at all.
        QVERIFY(m_data->dtFolder().locate(QStringLiteral("FFOLDERID"), 1004));
        QCOMPARE(m_model->rowCount(), 0);
        QTest::mouseDClick(m_grid->viewport(), Qt::LeftButton, {}, QPoint(40, 10));
        QCOMPARE(byMouse.count(), 2);
    }

    void hintTextFollowsClicks()
    {
        openFolder(1001);
        showGrid();
        const int nameColumn = column("FNAME");
        // The owner's rule: a click on a name shows the disk's comment.
        connect(m_grid.get(), &QAbstractItemView::clicked, this,
                [this, nameColumn](const QModelIndex &index) {
                    if (index.column() == nameColumn)
                        m_grid->setHintText(current("FCOMMENT"));
                });
        m_grid->setHintText(QStringLiteral("old"));
        QCOMPARE(m_model->index(2, 3).data(Qt::ToolTipRole).toString(), QStringLiteral("old"));

        clickCell(0, nameColumn);
        QCOMPARE(m_grid->hintText(), QStringLiteral("Бранденбургские концерты"));
        QCOMPARE(m_model->index(1, 1).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("Бранденбургские концерты"));
        clickCell(0, column("FTYPE"));
        QCOMPARE(m_grid->hintText(), QString());
        QVERIFY(!m_model->index(1, 1).data(Qt::ToolTipRole).isValid());

        clickCell(0, nameColumn);
        QVERIFY(!m_grid->hintText().isEmpty());
        disks().close();
        QCOMPARE(m_grid->hintText(), QString());
    }

    void columnWidthsStretch_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<qreal>("fixedScale");
        QTest::newRow("narrow") << 560 << 0.0;
        QTest::newRow("wide") << 1000 << 0.0;
        QTest::newRow("designed pixels") << 800 << 1.0;
    }
    void columnWidthsStretch()
    {
        QFETCH(int, width);
        QFETCH(qreal, fixedScale);
        openFolder(1001);
        showGrid(640);
        if (fixedScale > 0)
            m_grid->setWidthScale(fixedScale);
        const qreal scale = m_grid->widthScale();
        QVERIFY(scale > 0);
        // The designed widths fit the digits of the font in use.
        QCOMPARE(scale,
                 fixedScale > 0 ? fixedScale
                                : m_grid->fontMetrics().horizontalAdvance(QLatin1Char('0')) / 6.0);
        const auto check = [this, scale] {
            const auto columns = diskColumns();
            int total = 0;
            QHeaderView *header = m_grid->horizontalHeader();
            for (int c = 0; c < columns.size(); ++c) {
                total += m_grid->columnWidth(c);
                // No title is cut: a fixed column is as designed or as wide as its title.
                if (!columns[c].stretch)
                    QCOMPARE(m_grid->columnWidth(c),
                             qMax(qRound(columns[c].width * scale), header->sectionSizeHint(c)));
                QVERIFY2(m_grid->columnWidth(c) >= header->sectionSizeHint(c),
                         qPrintable(columns[c].title));
            }
            QCOMPARE(total, m_grid->viewport()->width());
            // Name and status share the rest as 171 to 57, unless status is held at the width
            // of its title.
            const int name = m_grid->columnWidth(column("FNAME"));
            const int status = m_grid->columnWidth(column("FSTATUS"));
            if (status > header->sectionSizeHint(column("FSTATUS")))
                QVERIFY2(qAbs(name * 57 - status * 171) <= 171 + 57,
                         qPrintable(QStringLiteral("%1 : %2").arg(name).arg(status)));
        };
        check();
        m_grid->resize(width, 240);
        QTRY_COMPARE(m_grid->viewport()->width(),
                     width - 2 * m_grid->frameWidth() - m_grid->verticalHeader()->width());
        check();

        // A fixed column made wider by the user takes its width from the stretching ones.
        const int before = m_grid->columnWidth(column("FNAME"));
        m_grid->horizontalHeader()->resizeSection(column("FNN"), 80);
        QCOMPARE(m_grid->columnWidth(column("FNN")), 80);
        QVERIFY(m_grid->columnWidth(column("FNAME")) < before);
        int total = 0;
        for (int c = 0; c < m_model->columnCount(); ++c)
            total += m_grid->columnWidth(c);
        QCOMPARE(total, m_grid->viewport()->width());
    }

    void firstColumnTitleFollowsFolder()
    {
        openFolder(1001);
        showGrid();
        QSignalSpy titles(m_model, &QAbstractItemModel::headerDataChanged);
        m_model->setColumnTitle(
            0, m_data->dtFolder().fieldByName(QStringLiteral("FFOLDER")).asString());
        QCOMPARE(titles.count(), 1);
        QCOMPARE(m_model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Музыка"));
    }

    void gridPicture()
    {
        openFolder(1001);
        showGrid(640, 150);
        m_model->setColumnTitle(0, QStringLiteral("Музыка"));
        m_model->setSortMark(0, DataSetModel::SortMark::Down);
        disks().moveTo(1);
        QCOMPARE(m_grid->currentIndex().row(), 1);
        const QImage image = m_grid->grab().toImage();
        const QString path = QDir::temp().filePath(QStringLiteral("grid.png"));
        QVERIFY(image.save(path));

        // The colour rule shows in the painted cells: red overdue status, grey lost name
        // (its darkest pixels are grey, where black text has black ones).
        const auto pixels = [&](int row, int col) {
            QList<QColor> colors;
            const QRect cell
                = m_grid->visualRect(m_model->index(row, col))
                      .translated(m_grid->viewport()->mapTo(m_grid.get(), QPoint(0, 0)))
                      .adjusted(2, 2, -2, -2);
            const qreal ratio = image.devicePixelRatio();
            for (int y = cell.top(); y <= cell.bottom(); ++y) {
                for (int x = cell.left(); x <= cell.right(); ++x)
                    colors.append(image.pixelColor(int(x * ratio), int(y * ratio)));
            }
            return colors;
        };
        const auto darkest = [](const QList<QColor> &colors) {
            int value = 255;
            for (const QColor &c : colors)
                value = qMin(value, qGray(c.rgb()));
            return value;
        };
        const auto reds = pixels(2, column("FSTATUS"));
        QVERIFY(std::any_of(reds.begin(), reds.end(), [](const QColor &c) {
            return c.red() > 200 && c.green() < 80 && c.blue() < 80;
        }));
        const int lost = darkest(pixels(2, column("FNAME")));
        QVERIFY2(lost > 100 && lost < 160, qPrintable(QString::number(lost)));
        QVERIFY(darkest(pixels(0, column("FNAME"))) < 60);
    }
};

QTEST_MAIN(TestDataSetGrid)
#include "tst_datasetgrid.moc"
