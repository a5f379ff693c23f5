#include "app/Catalogue.h"
#include "browser/uMain.h"
#include "refbooks/RefBookWindow.h"
#include "refbooks/uSprGroup.h"
#include "refbooks/uSprMan.h"
#include "refbooks/uSprType.h"
#include "store/Statement.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/Typing.h"
#include "widgets/DBGrid.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// The reference books of people, media types and media groups, opened from the main window's
// menu on a real catalogue and driven by keys and clicks.
class TestRefBooks : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainWindowFixture> m_f;

    Catalogue &data() { return m_f->data(); }
    QVariant scalar(const QString &select) { return m_f->catalogue().scalar(select); }
    int count(const QString &select) { return scalar(select).toInt(); }
    int generator() { return count(QStringLiteral("select gen_id(SQ_MAIN, 0) from rdb$database")); }

    QAction *command(const QString &name)
    {
        TfMain &main = m_f->main();
        return name == QLatin1String("aMan") ? main.aMan
            : name == QLatin1String("aType") ? main.aType
                                             : main.aGroups;
    }
    QueryDataSet &lookup(const QString &table)
    {
        return table == QLatin1String("TMAN") ? data().dtMan()
            : table == QLatin1String("TTYPE") ? data().dtType()
                                              : data().dtGroup();
    }
    static QStringList lookupNames(QueryDataSet &ds, const QString &field)
    {
        ds.fetchAll();
        const int f = ds.fieldByName(field).index();
        QStringList names;
        for (int r = 0; r < ds.fetchedCount(); ++r)
            names << ds.value(r, f).toString();
        return names;
    }

    // Runs a reference book from its menu command; act works in the modal window and must end
    // it. False when no reference book opened.
    bool run(const QString &name, const std::function<void(RefBookWindow &)> &act)
    {
        bool ran = false;
        MainWindowFixture::whenModal([&ran, &act](QWidget *modal) {
            auto *book = qobject_cast<RefBookWindow *>(modal);
            if (!book)
                return;
            ran = true;
            QAbstractItemModelTester tester(book->DBGridEh1->dataSetModel(),
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
            act(*book);
            // A check that failed in act left the window open: end it so the test goes on.
            if (book->isVisible())
                book->reject();
        });
        command(name)->trigger();
        return ran && !QApplication::activeModalWidget();
    }

    // Types into a cell of the current row through its in-place editor (F2).
    static void typeIntoCell(RefBookWindow &book, const QString &field, const QString &text)
    {
        DBGrid *grid = book.DBGridEh1;
        DataSetModel *model = grid->dataSetModel();
        grid->setFocus();
        grid->setCurrentIndex(
            model->index(book.dataSet().currentRow(), model->columnOfField(field)));
        QTest::keyClick(grid, Qt::Key_F2);
        auto *edit = qobject_cast<QLineEdit *>(grid->indexWidget(grid->currentIndex()));
        QVERIFY(edit);
        edit->selectAll();
        typeText(edit, text);
    }
    static void goToKey(RefBookWindow &book, const QString &keyField, int key)
    {
        DBGrid *grid = book.DBGridEh1;
        QueryDataSet &ds = book.dataSet();
        ds.fetchAll();
        const int f = ds.fieldByName(keyField).index();
        for (int r = 0; r < ds.fetchedCount(); ++r) {
            // A click on the current cell would start editing it.
            if (ds.value(r, f).toInt() == key && r != ds.currentRow()) {
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                                  grid->visualRect(grid->dataSetModel()->index(r, 0)).center());
                break;
            }
        }
        QCOMPARE(ds.fieldByName(keyField).asInteger(), key);
    }
    static void clickOk(RefBookWindow &book) { QTest::mouseClick(book.BitBtn1, Qt::LeftButton); }

    static void addBooks()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("nameRequired");
        QTest::newRow("people") << "aMan"
                                << "Справочник людей"
                                << "TMAN"
                                << "FMANID"
                                << "FNAME" << QStringList {"Имя", "Комментарий"}
                                << "Запись не сохранена: у человека должно быть имя. Введите имя "
                                   "или нажмите Esc, чтобы отменить запись.";
        QTest::newRow("media types") << "aType"
                                     << "Справочник типов носителей"
                                     << "TTYPE"
                                     << "FTYPEID"
                                     << "FTYPE" << QStringList {"Имя"}
                                     << "Запись не сохранена: у типа носителя должно быть имя. "
                                        "Введите имя или нажмите Esc, чтобы отменить запись.";
        QTest::newRow("media groups") << "aGroups"
                                      << "Справочник групп носителей"
                                      << "TGROUP"
                                      << "FGROUPID"
                                      << "FGROUP" << QStringList {"Имя"}
                                      << "Запись не сохранена: у группы носителей должно быть "
                                         "имя. Введите имя или нажмите Esc, чтобы отменить "
                                         "запись.";
    }

private Q_SLOTS:
    void init()
    {
        m_f = std::make_unique<MainWindowFixture>();
        const QString error = m_f->start({
            QStringLiteral("insert into TMAN (FMANID, FNAME) values (501, 'Иванов')"),
            QStringLiteral("insert into TMAN (FMANID, FNAME) values (502, 'Петров')"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FTYPEID, FGROUPID, "
                           "FNAME, FNN) values (2001, 1001, 1, 2, 9, 'Bach', 1)"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                           "(2002, 1001, 502, 'Mozart', 2)"),
            QStringLiteral("insert into TMAN (FMANID, FNAME) values (503, 'Сидоров')"),
            QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID) values (4001, 2001, 503)"),
        });
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    void cleanup() { m_f.reset(); }

    void insertAndOk_data() { addBooks(); }
    void insertAndOk()
    {
        QFETCH(QString, command);
        QFETCH(QString, caption);
        QFETCH(QString, table);
        QFETCH(QString, key);
        QFETCH(QString, name);
        QFETCH(QStringList, titles);
        const int rows = count(QStringLiteral("select count(*) from %1").arg(table));
        const int before = generator();
        // The main window has read its lookup to the end, as showing the names does.
        QCOMPARE(lookupNames(lookup(table), name).size(), rows);
        const QString typed = QStringLiteral("Новая запись");
        const bool withComment = table == QLatin1String("TMAN");
        const bool ran = run(command, [&](RefBookWindow &book) {
            QCOMPARE(book.windowTitle(), caption);
            QCOMPARE(book.size(), QSize(311, 364));
            QVERIFY(book.BitBtn1->isDefault());
            QCOMPARE(book.BitBtn1->text(), QStringLiteral("OK"));
            DataSetModel *model = book.DBGridEh1->dataSetModel();
            QStringList shown;
            for (int c = 0; c < model->columnCount(); ++c)
                shown << model->headerData(c, Qt::Horizontal).toString();
            QCOMPARE(shown, titles);
            QCOMPARE(model->rowCount(), rows);

            book.DBGridEh1->setFocus();
            QTest::keyClick(book.DBGridEh1, Qt::Key_Insert);
            QCOMPARE(book.dataSet().state(), QueryDataSet::State::Insert);
            QCOMPARE(book.dataSet().fieldByName(key).asInteger(), before + 1);
            typeIntoCell(book, name, typed);
            if (withComment) {
                // Tab takes the typed name into the row and goes on to the next cell.
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                auto *edit = qobject_cast<QLineEdit *>(
                    book.DBGridEh1->indexWidget(book.DBGridEh1->currentIndex()));
                QVERIFY(edit);
                typeText(edit, QStringLiteral("сосед"));
            }
            clickOk(book);
        });
        QVERIFY(ran);
        QVERIFY2(m_f->prompt().shown.isEmpty(), qPrintable(m_f->prompt().shown.value(0).text));
        QCOMPARE(generator(), before + 1);
        QCOMPARE(scalar(QStringLiteral("select %1 from %2 where %3 = %4")
                            .arg(name, table, key)
                            .arg(before + 1))
                     .toString(),
                 typed);
        if (withComment)
            QCOMPARE(
                scalar(
                    QStringLiteral("select FCOMMENT from TMAN where FMANID = %1").arg(before + 1))
                    .toString(),
                QStringLiteral("сосед"));
        // The main window's lookup knows the new name at once.
        const QStringList names = lookupNames(lookup(table), name);
        QCOMPARE(names.size(), rows + 1);
        QVERIFY(names.contains(typed));
    }

    void insertAndOkWithoutName_data() { addBooks(); }
    void insertAndOkWithoutName()
    {
        QFETCH(QString, command);
        QFETCH(QString, table);
        QFETCH(QString, name);
        QFETCH(QString, nameRequired);
        const int rows = count(QStringLiteral("select count(*) from %1").arg(table));
        const bool ran = run(command, [](RefBookWindow &book) {
            book.DBGridEh1->setFocus();
            QTest::keyClick(book.DBGridEh1, Qt::Key_Insert);
            clickOk(book);
        });
        QVERIFY(ran);
        // Said in Russian; the data layer's own text stays behind the details.
        QCOMPARE(m_f->prompt().shown.size(), 1);
        QCOMPARE(m_f->prompt().shown[0].text, nameRequired);
        QCOMPARE(m_f->prompt().shown[0].details,
                 QStringLiteral("Field '%1' must have a value.").arg(name));
        QCOMPARE(m_f->prompt().shown[0].caption, QStringLiteral("Kodra"));
        QCOMPARE(m_f->prompt().shown[0].icon, QMessageBox::Critical);
        QCOMPARE(count(QStringLiteral("select count(*) from %1").arg(table)), rows);
        QCOMPARE(lookupNames(lookup(table), name).size(), rows);
    }

    // The close box stores nothing more; a row left before it was stored then.
    // Enter in a cell editor ends the edit; Enter on the row then presses OK, which stores it.
    void enterPressesOkUnlessEditing_data() { addBooks(); }
    void enterPressesOkUnlessEditing()
    {
        QFETCH(QString, command);
        QFETCH(QString, table);
        QFETCH(QString, name);
        bool openAfterCellEnter = false;
        int result = -1;
        const bool ran = run(command, [&](RefBookWindow &book) {
            typeIntoCell(book, name, QStringLiteral("Ввод"));
            QWidget *editor = book.DBGridEh1->indexWidget(book.DBGridEh1->currentIndex());
            QVERIFY(editor);
            QTest::keyClick(editor, Qt::Key_Return);
            // The editor closes once the event loop has run.
            QTRY_COMPARE(book.DBGridEh1->indexWidget(book.DBGridEh1->currentIndex()), nullptr);
            openAfterCellEnter = book.isVisible();
            QTest::keyClick(book.DBGridEh1, Qt::Key_Return);
            result = book.result();
        });
        QVERIFY(ran);
        QVERIFY(openAfterCellEnter);
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(
            count(QStringLiteral("select count(*) from %1 where %2 = 'Ввод'").arg(table, name)), 1);
    }

    void closeBox_data()
    {
        QTest::addColumn<bool>("leaveRow");
        QTest::newRow("row not left: lost") << false;
        QTest::newRow("row left first: stored") << true;
    }
    void closeBox()
    {
        QFETCH(bool, leaveRow);
        const bool ran = run(QStringLiteral("aMan"), [leaveRow](RefBookWindow &book) {
            goToKey(book, QStringLiteral("FMANID"), 501);
            typeIntoCell(book, QStringLiteral("FNAME"), QStringLiteral("Сидоров"));
            if (leaveRow) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
                QCOMPARE(book.dataSet().state(), QueryDataSet::State::Browse);
            }
            book.close();
        });
        QVERIFY(ran);
        QVERIFY2(m_f->prompt().shown.isEmpty(), qPrintable(m_f->prompt().shown.value(0).text));
        const QString expected = leaveRow ? QStringLiteral("Сидоров") : QStringLiteral("Иванов");
        QCOMPARE(scalar(QStringLiteral("select FNAME from TMAN where FMANID = 501")).toString(),
                 expected);
        QVERIFY(lookupNames(data().dtMan(), QStringLiteral("FNAME")).contains(expected));
    }

    // A name changed in a reference book shows for the disks that use it.
    void renameShowsInTheDiskList_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("keyField");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("nameField");
        QTest::addColumn<QString>("diskField");
        QTest::newRow("person 1, the owner") << "aMan"
                                             << "FMANID" << 1 << "FNAME"
                                             << "FMAN";
        QTest::newRow("media type") << "aType"
                                    << "FTYPEID" << 2 << "FTYPE"
                                    << "FTYPE";
        QTest::newRow("media group") << "aGroups"
                                     << "FGROUPID" << 9 << "FGROUP"
                                     << "FGROUP";
    }
    void renameShowsInTheDiskList()
    {
        QFETCH(QString, command);
        QFETCH(QString, keyField);
        QFETCH(int, key);
        QFETCH(QString, nameField);
        QFETCH(QString, diskField);
        QVERIFY(m_f->locateDisk(2001));
        const QString renamed = QStringLiteral("Переименован");
        QVERIFY(data().dtDisk().fieldByName(diskField).asString() != renamed);
        const bool ran = run(command, [&](RefBookWindow &book) {
            goToKey(book, keyField, key);
            typeIntoCell(book, nameField, renamed);
            clickOk(book);
        });
        QVERIFY(ran);
        QVERIFY2(m_f->prompt().shown.isEmpty(), qPrintable(m_f->prompt().shown.value(0).text));
        QCOMPARE(data().dtDisk().fieldByName(QStringLiteral("FDISKID")).asInteger(), 2001);
        QCOMPARE(data().dtDisk().fieldByName(diskField).asString(), renamed);
        DataSetModel *list = m_f->main().DBGridEh1->dataSetModel();
        const int column = list->columnOfField(diskField);
        if (column >= 0)
            QCOMPARE(list->displayText(data().dtDisk().currentRow(), column), renamed);
    }

    void ctrlDelete_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("unused, OK") << 501 << int(QMessageBox::Ok) << true;
        QTest::newRow("unused, Cancel") << 501 << int(QMessageBox::Cancel) << false;
        QTest::newRow("owner of a disk, refused") << 502 << int(QMessageBox::Ok) << false;
    }
    void ctrlDelete()
    {
        QFETCH(int, key);
        QFETCH(int, answer);
        QFETCH(bool, deleted);
        const int rows = count(QStringLiteral("select count(*) from TMAN"));
        m_f->prompt().answers = {QMessageBox::StandardButton(answer)};
        int shownRows = -1;
        int current = -1;
        const bool ran = run(QStringLiteral("aMan"), [&](RefBookWindow &book) {
            goToKey(book, QStringLiteral("FMANID"), key);
            QTest::keyClick(book.DBGridEh1, Qt::Key_Delete, Qt::ControlModifier);
            shownRows = book.DBGridEh1->dataSetModel()->rowCount();
            current = book.dataSet().fieldByName(QStringLiteral("FMANID")).asInteger();
            book.close();
        });
        QVERIFY(ran);
        const auto &shown = m_f->prompt().shown;
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown[0].text, QStringLiteral("Удалить этого человека из справочника?"));
        QCOMPARE(shown[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
        const bool refused = key == 502;
        QCOMPARE(shown.size(), refused ? 2 : 1);
        if (refused) {
            QVERIFY2(shown[1].details.contains(QStringLiteral("FOREIGN KEY")),
                     qPrintable(shown[1].details));
            QCOMPARE(shown[1].caption, QStringLiteral("Kodra"));
            QCOMPARE(current, key);
        }
        QCOMPARE(shownRows, deleted ? rows - 1 : rows);
        QCOMPARE(count(QStringLiteral("select count(*) from TMAN where FMANID = %1").arg(key)),
                 deleted ? 0 : 1);
        QCOMPARE(lookupNames(data().dtMan(), QStringLiteral("FNAME")).size(),
                 deleted ? rows - 1 : rows);
    }

    // A row still in use is kept; the user reads what uses it and what to do, in Russian, the
    // server's text behind the details.
    void deletingARowInUse_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("keyField");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("constraint");
        QTest::addColumn<QString>("explained");
        QTest::newRow("person in a lending")
            << "aMan"
            << "FMANID" << 503 << "Удалить этого человека из справочника?"
            << "FK_TGIVE_MAN"
            << "Этот человек указан в выдачах; удалите их сначала.";
        QTest::newRow("person owning a disk")
            << "aMan"
            << "FMANID" << 502 << "Удалить этого человека из справочника?"
            << "FK_TDISK_MAN"
            << "Этот человек указан владельцем дисков; сначала укажите у этих дисков другого "
               "владельца.";
        QTest::newRow("media type of a disk")
            << "aType"
            << "FTYPEID" << 2 << "Удалить этот тип носителя из справочника?"
            << "FK_TDISK_TYPE"
            << "Этот тип носителя указан у дисков; сначала укажите у этих дисков другой тип.";
        QTest::newRow("media group of a disk")
            << "aGroups"
            << "FGROUPID" << 9 << "Удалить эту группу носителей из справочника?"
            << "FK_TDISK_GROUP"
            << "Эта группа указана у дисков; сначала укажите у этих дисков другую группу.";
    }
    void deletingARowInUse()
    {
        QFETCH(QString, command);
        QFETCH(QString, keyField);
        QFETCH(int, key);
        QFETCH(QString, question);
        QFETCH(QString, constraint);
        QFETCH(QString, explained);
        const bool ran = run(command, [&](RefBookWindow &book) {
            goToKey(book, keyField, key);
            QTest::keyClick(book.DBGridEh1, Qt::Key_Delete, Qt::ControlModifier);
            QCOMPARE(book.dataSet().fieldByName(keyField).asInteger(), key);
            book.close();
        });
        QVERIFY(ran);
        const auto &shown = m_f->prompt().shown;
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].text, question);
        QCOMPARE(shown[0].caption, QStringLiteral("Подтверждение"));
        QCOMPARE(shown[1].text, explained);
        QCOMPARE(shown[1].caption, QStringLiteral("Kodra"));
        QCOMPARE(shown[1].icon, QMessageBox::Critical);
        QVERIFY2(shown[1].details.contains(QLatin1Char('"') + constraint + QLatin1Char('"')),
                 qPrintable(shown[1].details));
    }

    void ctrlDeleteOnAnEmptyTableDoesNothing()
    {
        // In the main window's own transaction, which the reference book shares.
        for (const char *sql : {"update TDISK set FGROUPID = null", "delete from TGROUP"}) {
            Statement stmt(data().DefDatabase());
            stmt.prepare(QString::fromLatin1(sql));
            stmt.execute();
        }
        const bool ran = run(QStringLiteral("aGroups"), [](RefBookWindow &book) {
            QCOMPARE(book.DBGridEh1->dataSetModel()->rowCount(), 0);
            book.DBGridEh1->setFocus();
            QTest::keyClick(book.DBGridEh1, Qt::Key_Delete, Qt::ControlModifier);
            clickOk(book);
        });
        QVERIFY(ran);
        QVERIFY(m_f->prompt().shown.isEmpty());
    }

    // Esc drops a started row: nothing is stored, not even a refused empty name.
    void escDropsANewRow()
    {
        const int rows = count(QStringLiteral("select count(*) from TTYPE"));
        int afterEsc = -1;
        const bool ran = run(QStringLiteral("aType"), [&afterEsc](RefBookWindow &book) {
            book.DBGridEh1->setFocus();
            QTest::keyClick(book.DBGridEh1, Qt::Key_Insert);
            QTest::keyClick(book.DBGridEh1, Qt::Key_Escape);
            afterEsc = book.DBGridEh1->dataSetModel()->rowCount();
            QCOMPARE(book.dataSet().state(), QueryDataSet::State::Browse);
            clickOk(book);
        });
        QVERIFY(ran);
        QCOMPARE(afterEsc, rows);
        QVERIFY(m_f->prompt().shown.isEmpty());
        QCOMPARE(count(QStringLiteral("select count(*) from TTYPE")), rows);
    }
};

QTEST_MAIN(TestRefBooks)
#include "tst_refbooks.moc"
