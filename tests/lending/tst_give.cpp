#include "app/Catalogue.h"
#include "browser/TDBTreeView.h"
#include "browser/uMain.h"
#include "lending/uGive.h"
#include "platform/SettingsStore.h"
#include "store/Statement.h"
#include "tests/support/LendingSample.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/PdfTools.h"
#include "widgets/DBGrid.h"
#include "widgets/GridPrinter.h"
#include "widgets/SortableTitles.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QHeaderView>
#include <QPrintPreviewWidget>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using GiveIds = QList<int>;

// The debtors list on a real catalogue: its toggles, colours, title sorting, its layout, and
// the main window going to the disk chosen there.
class TestGive : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainWindowFixture> m_f;
    std::unique_ptr<TfGive> m_give;
    std::unique_ptr<QAbstractItemModelTester> m_tester;

    Catalogue &data() { return m_f->data(); }
    DataSetModel &model() { return *m_give->DBGridEh1->dataSetModel(); }
    int column(const char *field) { return model().columnOfField(QString::fromLatin1(field)); }

    // The debtors list shown, not modal, over the main window.
    void openList()
    {
        m_give = std::make_unique<TfGive>(data(), &m_f->store(), &m_f->main());
        m_tester = std::make_unique<QAbstractItemModelTester>(
            &model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        m_give->setModal(false);
        m_give->show();
        QVERIFY(MainWindowFixture::activate(m_give.get()));
        QVERIFY(m_give->dtGive.isOpen());
    }

    GiveIds listed()
    {
        QueryDataSet &give = m_give->dtGive;
        give.fetchAll();
        const int key = give.fieldByName(QStringLiteral("FGIVEID")).index();
        GiveIds ids;
        for (int r = 0; r < give.fetchedCount(); ++r)
            ids << give.value(r, key).toInt();
        return ids;
    }
    int rowOf(int giveId) { return listed().indexOf(giveId); }
    QStringList shown(int col)
    {
        while (model().canFetchMore({}))
            model().fetchMore({});
        QStringList texts;
        for (int r = 0; r < model().rowCount(); ++r)
            texts << model().displayText(r, col);
        return texts;
    }
    QString filterSlot() const
    {
        const QStringList &lines = m_give->dtGive.selectSql();
        return lines.at(lines.size() - 3);
    }
    QString sortSlot() const { return m_give->dtGive.selectSql().constLast(); }

    QToolButton *button(QAction *action)
    {
        return qobject_cast<QToolButton *>(m_give->toolBar()->widgetForAction(action));
    }
    QAction *toggle(const QString &caption)
    {
        for (QAction *a : {m_give->aOwn, m_give->aAlien, m_give->aGiven, m_give->aEval}) {
            if (a->text() == caption)
                return a;
        }
        return nullptr;
    }
    void clickTitle(int col)
    {
        QHeaderView *header = m_give->DBGridEh1->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(col) + header->sectionSize(col) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
    int folderKey()
    {
        return data().dtFolder().fieldByName(QStringLiteral("FFOLDERID")).asInteger();
    }
    int diskKey() { return data().dtDisk().fieldByName(QStringLiteral("FDISKID")).asInteger(); }

private Q_SLOTS:
    void init()
    {
        m_f = std::make_unique<MainWindowFixture>();
        const QString error = m_f->start(LendingSample::rows());
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    void cleanup()
    {
        m_tester.reset();
        m_give.reset();
        m_f.reset();
    }

    void opensUnfilteredInDefaultOrder()
    {
        openList();
        QCOMPARE(m_give->windowTitle(), QStringLiteral("Должники"));
        QCOMPARE(filterSlot(), QString());
        QCOMPARE(m_give->dtGive.selectSql().at(m_give->dtGive.selectSql().size() - 2),
                 QStringLiteral("order by"));
        QCOMPARE(sortSlot(), QStringLiteral(" f.FFOLDERFULL, d.FNN, d.FNAME, g.FGIVEDATE"));
        // Folder path, disk number, disk name, lending date.
        QCOMPARE(listed(), GiveIds({3001, 3005, 3003, 3002, 3004}));
        QCOMPARE(shown(column("FFOLDERFULL")),
                 QStringList({"Диски", "Диски", "Диски / Архив", "Другая", "Другая"}));
        QCOMPARE(shown(column("FOWNNAME")), QStringList({"Я", "Я", "Я", "Иванов", "Петров"}));
        QCOMPARE(shown(column("FNAME")),
                 QStringList({"Иванов", "Петров", "Петров", "Петров", "Я"}));
        QCOMPARE(shown(column("FTYPE")), QStringList({"CD", "CD", "DVD", "", ""}));
        QCOMPARE(model().headerData(0, Qt::Horizontal).toString(), QStringLiteral("Папка"));
        QCOMPARE(model().data(model().index(0, 0), Qt::TextAlignmentRole).toInt()
                     & Qt::AlignHorizontal_Mask,
                 int(Qt::AlignRight));
        QCOMPARE(m_give->dtGive.currentRow(), 0);
        // Nothing in the list can be edited.
        for (int c = 0; c < model().columnCount(); ++c)
            QVERIFY(!(model().flags(model().index(0, c)) & Qt::ItemIsEditable));
    }

    void toggles_data()
    {
        QTest::addColumn<QStringList>("pressed");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<GiveIds>("ids");
        const QString own = QStringLiteral("d.FMANID<>1");
        const QString alien = QStringLiteral("d.FMANID=1");
        const QString given = QStringLiteral("g.FRETDATE is null");
        const QString eval
            = QStringLiteral("(g.FCTRLDATE<current_date and g.FCTRLDATE is not null)");
        const QString where = QStringLiteral("where ");
        const QString and_ = QStringLiteral(" AND ");
        QTest::newRow("Не мои") << QStringList {"Не мои"} << where + own << GiveIds {3002, 3004};
        QTest::newRow("Мои") << QStringList {"Мои"} << where + alien << GiveIds {3001, 3005, 3003};
        QTest::newRow("Невозвращенные")
            << QStringList {"Невозвращенные"} << where + given << GiveIds {3001, 3005, 3002};
        // Due today is not overdue; returned lendings past their date are listed.
        QTest::newRow("Просроченные")
            << QStringList {"Просроченные"} << where + eval << GiveIds {3001, 3003, 3004};
        QTest::newRow("both owners: nothing")
            << QStringList {"Мои", "Не мои"} << where + own + and_ + alien << GiveIds {};
        QTest::newRow("Мои, Невозвращенные")
            << QStringList {"Мои", "Невозвращенные"} << where + alien + and_ + given
            << GiveIds {3001, 3005};
        QTest::newRow("still out and overdue") << QStringList {"Просроченные", "Невозвращенные"}
                                               << where + given + and_ + eval << GiveIds {3001};
        QTest::newRow("all four, pressed backwards")
            << QStringList {"Просроченные", "Невозвращенные", "Мои", "Не мои"}
            << where + own + and_ + alien + and_ + given + and_ + eval << GiveIds {};
        QTest::newRow("pressed twice")
            << QStringList {"Невозвращенные", "Просроченные", "Невозвращенные"} << where + eval
            << GiveIds {3001, 3003, 3004};
        QTest::newRow("on and off again") << QStringList {"Не мои", "Не мои"} << QString()
                                          << GiveIds {3001, 3005, 3003, 3002, 3004};
    }
    void toggles()
    {
        QFETCH(QStringList, pressed);
        QFETCH(QString, filter);
        QFETCH(GiveIds, ids);
        openList();
        for (const QString &caption : pressed) {
            QAction *a = toggle(caption);
            QVERIFY2(a, qPrintable(caption));
            QVERIFY(button(a));
            QTest::mouseClick(button(a), Qt::LeftButton);
        }
        QVERIFY2(m_f->prompt().shown.isEmpty(), qPrintable(m_f->prompt().shown.value(0).text));
        QCOMPARE(filterSlot(), filter);
        QCOMPARE(listed(), ids);
        QCOMPARE(m_give->dtGive.currentRow(), ids.isEmpty() ? -1 : 0);
        // A button shows pressed while its toggle is on.
        for (QAction *a : {m_give->aOwn, m_give->aAlien, m_give->aGiven, m_give->aEval}) {
            const bool on = pressed.count(a->text()) % 2 == 1;
            QCOMPARE(button(a)->isChecked(), on);
            QCOMPARE(m_give->isOn(TfGive::Toggle(QList<QAction *>({m_give->aOwn, m_give->aAlien,
                                                                   m_give->aGiven, m_give->aEval})
                                                     .indexOf(a))),
                     on);
        }
    }

    void filterText_data()
    {
        QTest::addColumn<QList<bool>>("on");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << QList<bool> {false, false, false, false} << QString();
        QTest::newRow("Мои and Невозвращенные")
            << QList<bool> {false, true, true, false}
            << QStringLiteral("where d.FMANID=1 AND g.FRETDATE is null");
        QTest::newRow("Просроченные")
            << QList<bool> {false, false, false, true}
            << QStringLiteral("where (g.FCTRLDATE<current_date and g.FCTRLDATE is not null)");
    }
    void filterText()
    {
        QFETCH(QList<bool>, on);
        QFETCH(QString, text);
        const Debtors::Filters filters {on[0], on[1], on[2], on[3]};
        QCOMPARE(Debtors::condition(filters), text);
        // The filter goes into the line before "order by"; nothing else changes.
        const QStringList lines = Debtors::statement({}, Debtors::defaultOrdering);
        const QStringList filtered = Debtors::statement(filters, Debtors::defaultOrdering);
        QCOMPARE(filtered.size(), lines.size());
        for (int i = 0; i < lines.size(); ++i)
            QCOMPARE(filtered[i], i == lines.size() - 3 ? text : lines[i]);
    }

    // The statement is the one the list is defined with, line by line.
    void statementLines()
    {
        QCOMPARE(
            Debtors::statement({}, Debtors::defaultOrdering).join(QLatin1Char(' ')).simplified(),
            QStringLiteral(
                "select d.FDISKID, d.FFOLDERID, g.FCOMMENT, g.FCTRLDATE, g.FDISKID, "
                "g.FGIVEDATE, g.FGIVEID, d.FMANID, g.FMANID FGIVEMANID, g.FRETDATE, "
                "m.FNAME, d.FNN, d.FNAME FDISKNAME, d.FCOMMENT FDISKCOMMENT, d.FGETDATE, "
                "d.FTYPEID, t.FTYPE, f.FFOLDER, f.FFOLDERFULL, mo.FNAME FOWNNAME from TDISK "
                "d left join GETFOLDERFULL(d.FFOLDERID) f on (d.FDISKID is not null) left "
                "join TTYPE t on (t.FTYPEID=d.FTYPEID) inner join TGIVE g on "
                "(g.FDISKID=d.FDISKID) inner join TMAN mo on (mo.FMANID=d.FMANID) inner "
                "join TMAN m on (m.FMANID=g.FMANID) order by f.FFOLDERFULL, d.FNN, "
                "d.FNAME, g.FGIVEDATE"));
    }

    void colours_data()
    {
        QTest::addColumn<int>("giveId");
        QTest::addColumn<QColor>("deadline");
        QTest::addColumn<QColor>("returned");
        const QColor red(255, 0, 0), blue(0, 0, 255), teal(0, 128, 128), green(0, 128, 0);
        QTest::newRow("out, overdue") << 3001 << red << green;
        QTest::newRow("out, due today") << 3002 << blue << green;
        QTest::newRow("returned on the due date") << 3003 << blue << green;
        QTest::newRow("returned a day late") << 3004 << blue << teal;
        QTest::newRow("out, no due date") << 3005 << red << green;
    }
    void colours()
    {
        QFETCH(int, giveId);
        QFETCH(QColor, deadline);
        QFETCH(QColor, returned);
        openList();
        const int row = rowOf(giveId);
        QVERIFY(row >= 0);
        auto colour = [this, row](const char *field) {
            return model().data(model().index(row, column(field)), Qt::ForegroundRole);
        };
        QCOMPARE(colour("FCTRLDATE").value<QColor>(), deadline);
        QCOMPARE(colour("FRETDATE").value<QColor>(), returned);
        // Only the two dates are coloured.
        for (const char *other :
             {"FFOLDERFULL", "FTYPE", "FNN", "FDISKNAME", "FOWNNAME", "FNAME", "FGIVEDATE"})
            QVERIFY2(!colour(other).isValid(), other);
    }

    void typeTitleSortsByPosition()
    {
        openList();
        const int type = column("FTYPE");
        QCOMPARE(model().headerData(type, Qt::Horizontal).toString(), QStringLiteral("Тип"));
        const struct
        {
            const char *sort;
            DataSetModel::SortMark mark;
            QStringList types;
        } clicks[] = {
            {"17 asc", DataSetModel::SortMark::Down, {"", "", "CD", "CD", "DVD"}},
            {"17 desc", DataSetModel::SortMark::Up, {"DVD", "CD", "CD", "", ""}},
            {"17 asc", DataSetModel::SortMark::Down, {"", "", "CD", "CD", "DVD"}},
        };
        for (const auto &click : clicks) {
            m_give->dtGive.moveTo(3);
            clickTitle(type);
            QCOMPARE(sortSlot(), QString::fromLatin1(click.sort));
            QCOMPARE(model().sortMark(type), click.mark);
            QCOMPARE(shown(type), click.types);
            QCOMPARE(m_give->dtGive.currentRow(), 0);
        }
        QVERIFY(m_f->prompt().shown.isEmpty());
        // The order survives a filter, and the filter a new order.
        QTest::mouseClick(button(m_give->aAlien), Qt::LeftButton);
        QCOMPARE(sortSlot(), QStringLiteral("17 asc"));
        QCOMPARE(shown(type), QStringList({"CD", "CD", "DVD"}));
        clickTitle(column("FFOLDERFULL"));
        QCOMPARE(sortSlot(), QStringLiteral("19 asc"));
        QCOMPARE(model().sortMark(type), DataSetModel::SortMark::None);
        QCOMPARE(filterSlot(), QStringLiteral("where d.FMANID=1"));
    }

    void everyColumnSortsByItsPosition()
    {
        openList();
        const QList<int> positions {19, 17, 12, 13, 20, 11, 6, 4, 10};
        QCOMPARE(model().columnCount(), positions.size());
        for (int c = 0; c < positions.size(); ++c) {
            clickTitle(c);
            QCOMPARE(sortSlot(), QString::number(positions[c]) + QStringLiteral(" asc"));
            QCOMPARE(listed().size(), 5);
        }
        QVERIFY2(m_f->prompt().shown.isEmpty(), qPrintable(m_f->prompt().shown.value(0).text));
    }

    // Choosing a row moves the main window to its folder and disk; anything else moves nothing.
    void choosingMovesTheMainWindow_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("folder");
        QTest::addColumn<int>("disk");
        QTest::newRow("Enter") << "enter" << 1003 << 2004;
        QTest::newRow("double click") << "double click" << 1003 << 2004;
        QTest::newRow("Enter in a sub-folder") << "enter archive" << 1002 << 2003;
        QTest::newRow("Esc") << "esc" << 1001 << 2001;
        QTest::newRow("Выход") << "exit" << 1001 << 2001;
        QTest::newRow("close box") << "close" << 1001 << 2001;
        QTest::newRow("Enter on an empty list") << "empty" << 1001 << 2001;
    }
    void choosingMovesTheMainWindow()
    {
        QFETCH(QString, how);
        QFETCH(int, folder);
        QFETCH(int, disk);
        QCOMPARE(folderKey(), 1001);
        QCOMPARE(diskKey(), 2001);
        bool ran = false;
        MainWindowFixture::whenModal([&](QWidget *modal) {
            auto *give = qobject_cast<TfGive *>(modal);
            if (!give)
                return;
            ran = true;
            DBGrid *grid = give->DBGridEh1;
            DataSetModel *m = grid->dataSetModel();
            const QList<int> ids = [give] {
                give->dtGive.fetchAll();
                const int key = give->dtGive.fieldByName(QStringLiteral("FGIVEID")).index();
                QList<int> all;
                for (int r = 0; r < give->dtGive.fetchedCount(); ++r)
                    all << give->dtGive.value(r, key).toInt();
                return all;
            }();
            const int row = ids.indexOf(how == QLatin1String("enter archive") ? 3003 : 3004);
            const QPoint cell = grid->visualRect(m->index(row, 3)).center();
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
            if (how == QLatin1String("enter") || how == QLatin1String("enter archive")) {
                QTest::keyClick(grid, Qt::Key_Return);
            } else if (how == QLatin1String("double click")) {
                QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell);
            } else if (how == QLatin1String("esc")) {
                QTest::keyClick(grid, Qt::Key_Escape);
            } else if (how == QLatin1String("exit")) {
                auto *exit
                    = qobject_cast<QToolButton *>(give->toolBar()->widgetForAction(give->aExit));
                QTest::mouseClick(exit, Qt::LeftButton);
            } else if (how == QLatin1String("close")) {
                give->close();
            } else {
                for (QAction *a : {give->aOwn, give->aAlien})
                    QTest::mouseClick(give->toolBar()->widgetForAction(a), Qt::LeftButton);
                QVERIFY(give->dtGive.isEmpty());
                QTest::keyClick(grid, Qt::Key_Return);
            }
        });
        QVERIFY(MainWindowFixture::activate(&m_f->main()));
        QTest::keyClick(&m_f->main(), Qt::Key_F3);
        QVERIFY(ran);
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY2(m_f->prompt().shown.isEmpty(), qPrintable(m_f->prompt().shown.value(0).text));
        QCOMPARE(folderKey(), folder);
        QCOMPARE(diskKey(), disk);
        const QModelIndex node = m_f->main().DBTreeView1->currentIndex();
        QVERIFY(node.isValid());
        QCOMPARE(node.data().toString(),
                 data().dtFolder().fieldByName(QStringLiteral("FFOLDER")).asString());
        QCOMPARE(m_f->main().DBGridEh1->currentIndex().row(), data().dtDisk().currentRow());
    }

    // 500 more lendings of disks "Диск-000" ... "Диск-499", in the main window's transaction.
    void addLendings()
    {
        Statement stmt(data().DefDatabase());
        stmt.prepare(QStringLiteral(
            "execute block as declare i integer = 0; begin while (i < 500) do begin "
            "insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values (10000 + :i, "
            "1003, 501, 'Диск-' || lpad(:i, 3, '0'), 100 + :i); insert into TGIVE (FGIVEID, "
            "FDISKID, FMANID, FGIVEDATE) values (20000 + :i, 10000 + :i, 502, current_date); "
            "i = i + 1; end end"));
        stmt.execute();
    }

    // "Печать" previews the list; it takes as many sheets as its rows need.
    void printPreview()
    {
        addLendings();
        openList();
        int pages = 0;
        QString shown;
        MainWindowFixture::whenModal([&](QWidget *modal) {
            shown = QString::fromLatin1(modal->metaObject()->className());
            if (auto *preview = modal->findChild<QPrintPreviewWidget *>())
                pages = preview->pageCount();
            static_cast<QDialog *>(modal)->reject();
        });
        QTest::mouseClick(button(m_give->aPrint), Qt::LeftButton);
        QCOMPARE(shown, QStringLiteral("QPrintPreviewDialog"));
        QVERIFY2(m_f->prompt().shown.isEmpty(), qPrintable(m_f->prompt().shown.value(0).text));
        // 505 rows: more than a sheet holds, not more than a sheet per ten rows.
        QVERIFY2(pages > 1 && pages < 51, qPrintable(QString::number(pages)));
        QVERIFY(m_give->isVisible());
    }

    // The printed list holds every row, in the order and with the filter shown on screen.
    void printedRowsInOrder()
    {
        addLendings();
        openList();
        QTest::mouseClick(button(m_give->aOwn), Qt::LeftButton);
        clickTitle(column("FDISKNAME"));
        clickTitle(column("FDISKNAME"));
        QCOMPARE(sortSlot(), QStringLiteral("13 desc"));
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("give.pdf"));
        QVERIFY(GridPrinter::savePdf(m_give->DBGridEh1, pdf));
        QString text;
        const QString error = PdfTools::text(pdf, text);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QStringList printed;
        const QRegularExpression name(QStringLiteral("Диск-\\d{3}|Mozart|Vivaldi|Bach|Chopin"));
        for (auto it = name.globalMatch(text); it.hasNext();)
            printed << it.next().captured();
        QStringList expected;
        for (int i = 499; i >= 0; --i)
            expected << QStringLiteral("Диск-%1").arg(i, 3, 10, QLatin1Char('0'));
        // Not the user's own, by disk name descending: the Cyrillic names, Vivaldi, Mozart.
        expected << QStringLiteral("Vivaldi") << QStringLiteral("Mozart");
        QCOMPARE(printed, expected);
        int pages = 0;
        QVERIFY(PdfTools::pageCount(pdf, pages).isEmpty());
        QVERIFY(pages > 1);
    }

    // The layout lives in "Give" inside the main window's section.
    void layoutIsKept()
    {
        const QString section = MainWindowFixture::section + QStringLiteral("\\Give");
        QRect placed;
        {
            openList();
            m_give->setGeometry(m_give->x() + 13, m_give->y() + 7, m_give->width() + 40,
                                m_give->height() + 30);
            placed = m_give->geometry();
            m_give->close();
            m_tester.reset();
            m_give.reset();
        }
        const QString normPos = m_f->store().readString(section, QStringLiteral("NormPos"), {});
        QCOMPARE(normPos,
                 QStringLiteral("%1,%2,%3,%4")
                     .arg(placed.left())
                     .arg(placed.top())
                     .arg(placed.left() + placed.width())
                     .arg(placed.top() + placed.height()));
        QCOMPARE(m_f->store().readString(QStringLiteral("Give"), QStringLiteral("NormPos"), {}),
                 QString());
        openList();
        QCOMPARE(m_give->size(), placed.size());
        // Toggles and order start afresh at every opening.
        QCOMPARE(filterSlot(), QString());
        QCOMPARE(sortSlot(), QStringLiteral(" f.FFOLDERFULL, d.FNN, d.FNAME, g.FGIVEDATE"));
    }

    void windowShape()
    {
        openList();
        QVERIFY(m_give->aPrint->isEnabled());
        QStringList captions;
        for (QAction *a : m_give->toolBar()->actions())
            captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(captions,
                 QStringList({"Печать", "-", "Не мои", "Мои", "Невозвращенные", "Просроченные", "-",
                              "Выход"}));
        QCOMPARE(m_give->aExit->shortcut(), QKeySequence(Qt::Key_Escape));
        QStringList titles;
        for (int c = 0; c < model().columnCount(); ++c)
            titles << model().headerData(c, Qt::Horizontal).toString();
        QCOMPARE(titles,
                 QStringList(
                     {"Папка", "Тип", "№", "Диск", "Владелец", "Кому", "Выдан", "До", "Вернул"}));
        for (QAction *a : m_give->toolBar()->actions())
            QVERIFY(a->isSeparator() || a->icon().isNull());
        const QImage shot = m_give->grab().toImage();
        QVERIFY(!shot.isNull());
        shot.save(QDir::temp().filePath(QStringLiteral("kodra-give.png")));
    }
};

QTEST_MAIN(TestGive)
#include "tst_give.moc"
