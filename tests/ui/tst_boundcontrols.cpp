#include "app/Catalogue.h"
#include "store/DbError.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/TestCatalogue.h"
#include "tests/support/Typing.h"
#include "widgets/DBDateEdit.h"
#include "widgets/DBEdit.h"
#include "widgets/DBLookupComboBox.h"
#include "widgets/DBMemo.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QFormLayout>
#include <QListView>
#include <QTest>

// The bound controls of a disk form over the main window's disk list, on a real catalogue.
class TestBoundControls : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestCatalogue> m_cat;
    std::unique_ptr<Catalogue> m_data;
    std::unique_ptr<RecordingPrompt> m_prompt;
    std::unique_ptr<QWidget> m_form;
    DBEdit *m_name = nullptr;
    DBMemo *m_comment = nullptr;
    DBLookupComboBox *m_type = nullptr;
    DBDateEdit *m_date = nullptr;
    DBEdit *m_size = nullptr;

    QueryDataSet &disks() { return m_data->dtDisk(); }
    QVariant current(const char *field)
    {
        return disks().fieldByName(QLatin1String(field)).value();
    }
    QVariant stored(const char *field, int diskId) const
    {
        return m_cat->scalar(QStringLiteral("select %1 from TDISK where FDISKID = %2")
                                 .arg(QLatin1String(field))
                                 .arg(diskId));
    }
    QWidget *control(const QString &name) const { return m_form->findChild<QWidget *>(name); }
    // What each control shows, blank for nothing.
    QString shownDate() const { return m_date->text().trimmed(); }
    // What the controls show on the first disk.
    static QStringList bach()
    {
        return {QStringLiteral("Bach"), QStringLiteral("Бранденбургские концерты"),
                QStringLiteral("CD"), QStringLiteral("12.04.2019"), QStringLiteral("734003200")};
    }
    QStringList shown() const
    {
        return {m_name->text(), m_comment->toPlainText(), m_type->currentText(), shownDate(),
                m_size->text()};
    }

    void openFolder(int folderId)
    {
        m_data->dtFolder().open();
        disks().open();
        QVERIFY(m_data->dtFolder().locate(QStringLiteral("FFOLDERID"), folderId));
    }
    // Key clicks for any text: QTest::keyClicks knows Latin-1 only.
    // Selects the whole content of a control with the keyboard and types over it; nothing to
    // type deletes it.
    static void retype(QWidget *w, const QString &text)
    {
        w->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), w);
        QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(w, Qt::Key_Delete);
        else
            typeText(w, text);
    }

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
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(1001, 'Музыка', 0)"),
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(1002, 'Пустая', 0)"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, FTYPEID, "
                           "FGETDATE, FCOMMENT, FFULLSIZE) values (2001, 1001, 1, 'Bach', 1, 2, "
                           "'2019-04-12', 'Бранденбургские концерты', 734003200)"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, FTYPEID) "
                           "values (2002, 1001, 1, 'Mozart', 2, 3)"),
            QStringLiteral(
                "insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, FGETDATE, "
                "FCOMMENT, FFULLSIZE) values (2003, 1001, 1, 'Vivaldi', 3, '2021-06-01', "
                "'Времена года\nВенеция', 1.25)"),
        });
        m_data = std::make_unique<Catalogue>();
        m_cat->configure(m_data->DefDatabase());
        m_prompt = std::make_unique<RecordingPrompt>();

        m_form = std::make_unique<QWidget>();
        auto *layout = new QFormLayout(m_form.get());
        m_name = new DBEdit(m_form.get());
        m_comment = new DBMemo(m_form.get());
        m_type = new DBLookupComboBox(m_form.get());
        m_date = new DBDateEdit(m_form.get());
        m_size = new DBEdit(m_form.get());
        m_name->setObjectName(QStringLiteral("name"));
        m_comment->setObjectName(QStringLiteral("comment"));
        m_type->setObjectName(QStringLiteral("type"));
        m_date->setObjectName(QStringLiteral("date"));
        m_size->setObjectName(QStringLiteral("size"));
        layout->addRow(QStringLiteral("Наименование"), m_name);
        layout->addRow(QStringLiteral("Тип"), m_type);
        layout->addRow(QStringLiteral("Приобретен"), m_date);
        layout->addRow(QStringLiteral("Размер"), m_size);
        layout->addRow(QStringLiteral("Комментарий"), m_comment);
        m_name->setField(&disks(), QStringLiteral("FNAME"));
        m_comment->setField(&disks(), QStringLiteral("FCOMMENT"));
        m_type->setField(&disks(), QStringLiteral("FTYPEID"), &m_data->dtType(),
                         QStringLiteral("FTYPEID"), QStringLiteral("FTYPE"));
        m_date->setField(&disks(), QStringLiteral("FGETDATE"));
        m_size->setField(&disks(), QStringLiteral("FFULLSIZE"));
        m_form->show();
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    }

    void cleanup()
    {
        m_form.reset();
        m_data.reset();
        m_prompt.reset();
        m_cat.reset();
    }

    void followsCurrentRow_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("all set") << 0 << bach();
        QTest::newRow("no comment, date or size")
            << 1
            << QStringList {QStringLiteral("Mozart"), QString(), QStringLiteral("DVD"), QString(),
                            QString()};
        QTest::newRow("no type, two lines, fraction")
            << 2
            << QStringList {QStringLiteral("Vivaldi"), QStringLiteral("Времена года\nВенеция"),
                            QString(), QStringLiteral("01.06.2021"), QStringLiteral("1,25")};
    }
    void followsCurrentRow()
    {
        QFETCH(int, row);
        QFETCH(QStringList, shown);
        openFolder(1001);
        // Away and back, so that each row is reached by a move.
        disks().last();
        disks().moveTo(row);
        QCOMPARE(this->shown(), shown);
        QCOMPARE(m_type->currentIndex() < 0, shown.at(2).isEmpty());
        QCOMPARE(m_date->isEmpty(), shown.at(3).isEmpty());
        QVERIFY(!m_name->isReadOnly());
        QVERIFY(!m_comment->isReadOnly());
        QVERIFY(!m_date->isReadOnly());
        QVERIFY(m_type->isEnabled());
        QCOMPARE(m_name->maxLength(), 255);
        // Showing a row is no edit.
        QCOMPARE(disks().state(), QueryDataSet::State::Browse);
        QVERIFY(m_prompt->shown.isEmpty());
    }

    void typingIsPosted_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("value");
        // What the control shows once the row is posted: the field's own text.
        QTest::addColumn<QString>("posted");
        const QString none;
        QTest::newRow("name") << 0 << "name" << QStringLiteral("Händel") << "FNAME"
                              << QVariant(QStringLiteral("Händel")) << QStringLiteral("Händel");
        QTest::newRow("comment") << 0 << "comment" << QStringLiteral("Сюиты\nдля оркестра")
                                 << "FCOMMENT" << QVariant(QStringLiteral("Сюиты\nдля оркестра"))
                                 << QStringLiteral("Сюиты\nдля оркестра");
        QTest::newRow("comment deleted")
            << 0 << "comment" << none << "FCOMMENT" << QVariant() << none;
        QTest::newRow("comment into none")
            << 1 << "comment" << QStringLiteral("Реквием") << "FCOMMENT"
            << QVariant(QStringLiteral("Реквием")) << QStringLiteral("Реквием");
        QTest::newRow("date") << 0 << "date" << QStringLiteral("15.03.2021") << "FGETDATE"
                              << QVariant(QDate(2021, 3, 15)) << QStringLiteral("15.03.2021");
        QTest::newRow("date deleted") << 0 << "date" << none << "FGETDATE" << QVariant() << none;
        QTest::newRow("date into none")
            << 1 << "date" << QStringLiteral("01.02.2003") << "FGETDATE"
            << QVariant(QDate(2003, 2, 1)) << QStringLiteral("01.02.2003");
        // A number is typed as the locale writes it; while it is typed, its value ("1,5")
        // does not come back over the text.
        QTest::newRow("size") << 0 << "size" << QStringLiteral("1,50") << "FFULLSIZE"
                              << QVariant(1.5) << QStringLiteral("1,5");
        QTest::newRow("size deleted") << 0 << "size" << none << "FFULLSIZE" << QVariant() << none;
    }
    void typingIsPosted()
    {
        QFETCH(int, row);
        QFETCH(QString, control);
        QFETCH(QString, typed);
        QFETCH(QString, field);
        QFETCH(QVariant, value);
        QFETCH(QString, posted);
        const int at = QStringList {"name", "comment", "type", "date", "size"}.indexOf(control);
        openFolder(1001);
        disks().moveTo(row);
        retype(this->control(control), typed);
        QCOMPARE(disks().state(), QueryDataSet::State::Edit);
        QCOMPARE(disks().fieldByName(field).value(), value);
        QCOMPARE(shown().at(at), typed);
        disks().post();
        QCOMPARE(disks().state(), QueryDataSet::State::Browse);
        QCOMPARE(shown().at(at), posted);
        QCOMPARE(stored(qPrintable(field), 2001 + row), value);
        QVERIFY(m_prompt->shown.isEmpty());
    }

    void cancelShowsOldValues()
    {
        openFolder(1001);
        QCOMPARE(shown(), bach());
        retype(m_name, QStringLiteral("Händel"));
        retype(m_comment, QStringLiteral("Сюиты"));
        retype(m_date, QString());
        m_type->setFocus();
        QTest::keyClick(m_type, Qt::Key_Down);
        retype(m_size, QStringLiteral("700"));
        QCOMPARE(shown(),
                 (QStringList {QStringLiteral("Händel"), QStringLiteral("Сюиты"),
                               QStringLiteral("DVD"), QString(), QStringLiteral("700")}));
        QCOMPARE(disks().state(), QueryDataSet::State::Edit);
        disks().cancel();
        QCOMPARE(shown(), bach());
        QCOMPARE(stored("FNAME", 2001), QVariant(QStringLiteral("Bach")));
    }

    void lookupListsNamesAndWritesKey()
    {
        m_data->dtType().open();
        openFolder(1001);
        QStringList names;
        for (int i = 0; i < m_type->count(); ++i)
            names << m_type->itemText(i);
        QCOMPARE(names,
                 (QStringList {"CD", "DVD", "Blu-ray", "USB-флешка", "Жёсткий диск", "Карта памяти",
                               "Дискета"}));
        QCOMPARE(m_type->currentText(), QStringLiteral("CD"));

        // Choosing the name shown changes nothing; another one writes its key.
        m_type->showPopup();
        QListView *list = qobject_cast<QListView *>(m_type->view());
        QVERIFY(list);
        QTRY_VERIFY(list->isVisible());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(0, 0)).center());
        QTRY_VERIFY(!list->isVisible());
        QCOMPARE(disks().state(), QueryDataSet::State::Browse);
        m_type->showPopup();
        QTRY_VERIFY(list->isVisible());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(2, 0)).center());
        QTRY_VERIFY(!list->isVisible());
        QCOMPARE(m_type->currentText(), QStringLiteral("Blu-ray"));
        QCOMPARE(disks().state(), QueryDataSet::State::Edit);
        QCOMPARE(current("FTYPEID"), QVariant(4));
        QCOMPARE(current("FTYPE"), QVariant(QStringLiteral("Blu-ray")));
        disks().post();
        QCOMPARE(stored("FTYPEID", 2001), QVariant(4));

        // The program writing the key moves the choice along.
        disks().fieldByName(QStringLiteral("FTYPEID")).setInteger(8);
        QCOMPARE(m_type->currentText(), QStringLiteral("Дискета"));
        disks().cancel();
        QCOMPARE(m_type->currentText(), QStringLiteral("Blu-ray"));

        // The list follows its source: a new name, a renamed one, a removed one.
        QueryDataSet &types = m_data->dtType();
        types.insert();
        types.fieldByName(QStringLiteral("FTYPEID")).setInteger(20);
        types.fieldByName(QStringLiteral("FTYPE")).setString(QStringLiteral("Кассета"));
        types.post();
        QCOMPARE(m_type->count(), 8);
        QCOMPARE(m_type->itemText(7), QStringLiteral("Кассета"));
        QVERIFY(types.locate(QStringLiteral("FTYPEID"), 4));
        types.fieldByName(QStringLiteral("FTYPE")).setString(QStringLiteral("BD"));
        types.post();
        QCOMPARE(m_type->itemText(2), QStringLiteral("BD"));
        QCOMPARE(m_type->currentText(), QStringLiteral("BD"));
        QVERIFY(types.locate(QStringLiteral("FTYPEID"), 20));
        types.remove();
        QCOMPARE(m_type->count(), 7);
        types.close();
        QCOMPARE(m_type->count(), 0);
        QCOMPARE(m_type->currentIndex(), -1);
    }

    void emptyDateCalendarPicksToday()
    {
        openFolder(1001);
        disks().moveTo(1);
        QVERIFY(m_date->isEmpty());
        QCalendarWidget *calendar = m_date->calendarWidget();
        QVERIFY(calendar);
        // The drop-down button sits at the right end of the box.
        const QPoint button(m_date->width() - 5, m_date->height() / 2);
        for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
            QTest::mouseClick(m_date, Qt::LeftButton, {}, button);
            QTRY_VERIFY(calendar->isVisible());
            QCOMPARE(calendar->selectedDate(), QDate::currentDate());
            // Looking is no edit: the box stays empty until a day is picked.
            QVERIFY(m_date->isEmpty());
            QCOMPARE(disks().state(), QueryDataSet::State::Browse);
            QWidget *days = calendar->findChild<QAbstractItemView *>();
            QVERIFY(days);
            QTest::keyClick(days, key);
            QTRY_VERIFY(!calendar->isVisible());
        }
        QCOMPARE(m_date->date(), QDate::currentDate());
        QCOMPARE(disks().state(), QueryDataSet::State::Edit);
        QCOMPARE(current("FGETDATE"), QVariant(QDate::currentDate()));
    }

    void focusFollowsRequest_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("field");
        QTest::newRow("edit") << "name"
                              << "FNAME";
        QTest::newRow("memo") << "comment"
                              << "FCOMMENT";
        QTest::newRow("lookup") << "type"
                                << "FTYPEID";
        QTest::newRow("date") << "date"
                              << "FGETDATE";
    }
    void focusFollowsRequest()
    {
        QFETCH(QString, control);
        QFETCH(QString, field);
        m_data->dtType().open();
        openFolder(1001);
        disks().fieldByName(field).setRequired(true);
        // Focus starts elsewhere: the memo, or the edit when the memo is the one asked for.
        QWidget *elsewhere
            = control == QLatin1String("comment") ? static_cast<QWidget *>(m_name) : m_comment;
        elsewhere->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), elsewhere);
        disks().fieldByName(field).clear();
        QVERIFY_THROWS_EXCEPTION(DbError, disks().post());
        QTRY_COMPARE(QApplication::focusWidget(), this->control(control));
    }

    void noRowShowsEmptyReadOnly_data()
    {
        QTest::addColumn<bool>("closed");
        QTest::newRow("closed") << true;
        QTest::newRow("no rows") << false;
    }
    void noRowShowsEmptyReadOnly()
    {
        QFETCH(bool, closed);
        m_data->dtType().open();
        openFolder(1001);
        QCOMPARE(shown().at(0), QStringLiteral("Bach"));
        if (closed)
            disks().close();
        else
            QVERIFY(m_data->dtFolder().locate(QStringLiteral("FFOLDERID"), 1002));
        QCOMPARE(shown(), QStringList(5));
        QVERIFY(m_name->isReadOnly());
        QVERIFY(m_comment->isReadOnly());
        QVERIFY(m_date->isReadOnly());
        QVERIFY(!m_type->isEnabled());
        // Typing changes nothing and starts no row.
        retype(m_name, QStringLiteral("Händel"));
        retype(m_comment, QStringLiteral("Сюиты"));
        QCOMPARE(shown(), QStringList(5));
        QCOMPARE(disks().isOpen(), !closed);
        QVERIFY(disks().isEmpty());
        QVERIFY(m_prompt->shown.isEmpty());

        // Back on a row, the controls show it and take input again.
        if (closed)
            disks().open();
        else
            QVERIFY(m_data->dtFolder().locate(QStringLiteral("FFOLDERID"), 1001));
        QCOMPARE(shown(), bach());
        QVERIFY(!m_name->isReadOnly());
        QVERIFY(!m_comment->isReadOnly());
        QVERIFY(!m_date->isReadOnly());
        QVERIFY(m_type->isEnabled());
    }
};

QTEST_MAIN(TestBoundControls)
#include "tst_boundcontrols.moc"
