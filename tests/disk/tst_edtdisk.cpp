#include "browser/uMain.h"
#include "disk/ContentTree.h"
#include "disk/DrivePicker.h"
#include "disk/uEdtDisk.h"
#include "platform/SettingsStore.h"
#include "tests/support/FixedVolumeSource.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/Typing.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QSplitter>
#include <QTest>

// The disk editor's record, its lending history and how it opens and closes.
class TestEdtDisk : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainWindowFixture> m_f;

    Catalogue &data() { return m_f->data(); }
    int count(const QString &select) { return m_f->catalogue().scalar(select).toInt(); }
    static DBEdit *edit(QWidget *editor, const char *name)
    {
        return editor->findChild<DBEdit *>(QString::fromLatin1(name));
    }

    // The main window sees the rows of its own snapshot: every row is there before it starts.
    bool start(const QStringList &lendings = {})
    {
        m_f = std::make_unique<MainWindowFixture>();
        QStringList rows {
            QStringLiteral("insert into TMAN (FMANID, FNAME) values (501, 'Иванов')"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                           "(2001, 1001, 1, 'Bach', 1)"),
        };
        const QString error = m_f->start(rows + lendings);
        if (!error.isEmpty())
            qWarning("%s", qPrintable(error));
        return error.isEmpty();
    }

private Q_SLOTS:
    void cleanup() { m_f.reset(); }

    void escAfterInsertLeavesNoDisk()
    {
        QVERIFY(start());
        const int before = count(QStringLiteral("select count(*) from TDISK"));
        QString caption;
        MainWindowFixture::whenModal([&caption](QWidget *modal) {
            caption = modal->windowTitle();
            typeText(edit(modal, "eNAME"), QStringLiteral("Забытый"));
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        m_f->main().aAddDisk->trigger();
        QCOMPARE(caption, QStringLiteral("Носитель в базе"));
        QCOMPARE(count(QStringLiteral("select count(*) from TDISK")), before);
        QCOMPARE(data().dtDisk().state(), QueryDataSet::State::Browse);
        QVERIFY(m_f->prompt().shown.isEmpty());
    }

    // A lending row on a new disk stores the disk first; the row itself stays only if posted.
    void lendingOnNewDiskStoresDiskFirst_data()
    {
        QTest::addColumn<bool>("postLending");
        QTest::newRow("lending not posted") << false;
        QTest::newRow("lending posted") << true;
    }
    void lendingOnNewDiskStoresDiskFirst()
    {
        QFETCH(bool, postLending);
        QVERIFY(start());
        int diskOfLending = 0;
        QDate lentOn;
        QueryDataSet::State diskState = QueryDataSet::State::Inactive;
        MainWindowFixture::whenModal([&](QWidget *modal) {
            auto *editor = qobject_cast<TfEdtDisk *>(modal);
            typeText(edit(editor, "eNAME"), QStringLiteral("Новый"));
            editor->DBGridEh1->setFocus();
            QTest::keyClick(editor->DBGridEh1, Qt::Key_Insert);
            diskState = data().dtDisk().state();
            QueryDataSet &give = editor->dtGive;
            diskOfLending = give.fieldByName(QStringLiteral("FDISKID")).asInteger();
            lentOn = give.fieldByName(QStringLiteral("FGIVEDATE")).asDate();
            give.fieldByName(QStringLiteral("FMANID")).setInteger(501);
            if (postLending)
                give.post();
            QTest::keyClick(editor->DBGridEh1, Qt::Key_Escape); // drops an unposted row
            QTest::keyClick(editor, Qt::Key_Escape);
        });
        m_f->main().aAddDisk->trigger();

        QCOMPARE(diskState, QueryDataSet::State::Browse);
        const int stored = count(QStringLiteral("select FDISKID from TDISK where FNAME = 'Новый'"));
        QVERIFY(stored > 0);
        QCOMPARE(diskOfLending, stored);
        QCOMPARE(lentOn, QDate::currentDate());
        QCOMPARE(count(QStringLiteral("select count(*) from TGIVE where FDISKID = %1").arg(stored)),
                 postLending ? 1 : 0);
    }

    void lendingColours_data()
    {
        QTest::addColumn<int>("deadline"); // days from today; 99: none
        QTest::addColumn<int>("returned"); // days from today; 99: not back
        QTest::addColumn<QColor>("deadlineColour");
        QTest::addColumn<QColor>("returnedColour");
        const QColor red(255, 0, 0), blue(0, 0, 255), teal(0, 128, 128), green(0, 128, 0);
        QTest::newRow("deadline yesterday, out") << -1 << 99 << red << green;
        QTest::newRow("deadline today, out") << 0 << 99 << blue << green;
        QTest::newRow("deadline yesterday, returned") << -1 << -2 << blue << green;
        QTest::newRow("returned late") << -3 << -1 << blue << teal;
        QTest::newRow("returned on the deadline") << -1 << -1 << blue << green;
        QTest::newRow("no deadline, out") << 99 << 99 << red << green;
        QTest::newRow("no deadline, returned") << 99 << -1 << blue << green;
    }
    void lendingColours()
    {
        QFETCH(int, deadline);
        QFETCH(int, returned);
        QFETCH(QColor, deadlineColour);
        QFETCH(QColor, returnedColour);
        auto date = [](int days) {
            return days == 99 ? QStringLiteral("null")
                              : QStringLiteral("current_date + (%1)").arg(days);
        };
        QVERIFY(start({QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE, "
                                      "FCTRLDATE, FRETDATE) values (3001, 2001, 501, "
                                      "current_date - 10, %1, %2)")
                           .arg(date(deadline), date(returned))}));
        QVERIFY(m_f->locateDisk(2001));
        auto editor = m_f->openEditor();
        const DataSetModel &model = *editor->DBGridEh1->dataSetModel();
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("Иванов"));
        QCOMPARE(model.data(model.index(0, 2), Qt::ForegroundRole).value<QColor>(), deadlineColour);
        QCOMPARE(model.data(model.index(0, 3), Qt::ForegroundRole).value<QColor>(), returnedColour);
        QVERIFY(!model.data(model.index(0, 0), Qt::ForegroundRole).isValid());
    }

    void lendingRowsOldestFirstWithTitles()
    {
        QVERIFY(start({
            QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE, FCOMMENT) "
                           "values (3001, 2001, 501, '2021-05-01', 'second')"),
            QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE, FCOMMENT) "
                           "values (3002, 2001, 1, '2020-01-01', 'first')"),
            QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE, FCOMMENT) "
                           "values (3003, 2001, 501, '2022-03-01', 'third')"),
        }));
        QVERIFY(m_f->locateDisk(2001));
        auto editor = m_f->openEditor();
        const DataSetModel &model = *editor->DBGridEh1->dataSetModel();
        editor->dtGive.fetchAll();
        QStringList titles, comments;
        for (int c = 0; c < model.columnCount(); ++c)
            titles << model.headerData(c, Qt::Horizontal).toString();
        for (int r = 0; r < model.rowCount(); ++r)
            comments << model.data(model.index(r, 4)).toString();
        QCOMPARE(titles, QStringList({"Кому выдан", "Когда", "Срок до", "Вернул", "Комментарий"}));
        QCOMPARE(comments, QStringList({"first", "second", "third"}));
    }

    void deleteLendingAsksFirst_data()
    {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<int>("left");
        QTest::newRow("OK") << QMessageBox::Ok << 0;
        QTest::newRow("Cancel") << QMessageBox::Cancel << 1;
    }
    void deleteLendingAsksFirst()
    {
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(int, left);
        QVERIFY(start({QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE) "
                                      "values (3001, 2001, 501, '2021-05-01')")}));
        QVERIFY(m_f->locateDisk(2001));
        auto editor = m_f->openEditor();
        m_f->prompt().answers = {answer};
        editor->DBGridEh1->setFocus();
        QTest::keyClick(editor->DBGridEh1, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(m_f->prompt().shown.size(), 1);
        QCOMPARE(m_f->prompt().shown.at(0).text, QStringLiteral("Delete record?"));
        QCOMPARE(count(QStringLiteral("select count(*) from TGIVE")), left);
    }

    // OK posts the record, keeps the chosen drive and the main window shows the change.
    void okPostsAndKeepsTheDrive()
    {
        QVERIFY(start());
        QTemporaryDir folder;
        QVERIFY(m_f->locateDisk(2001));
        MainWindowFixture::whenModal([&](QWidget *modal) {
            auto *editor = qobject_cast<TfEdtDisk *>(modal);
            editor->eDriveCD->setDrive(folder.path());
            DBEdit *name = edit(editor, "eNAME");
            name->selectAll();
            typeText(name, QStringLiteral("Bach BWV"));
            QTest::keyClick(name, Qt::Key_Return); // the default button
        });
        m_f->main().aEditDisk->trigger();
        QCOMPARE(m_f->catalogue()
                     .scalar(QStringLiteral("select FNAME from TDISK where FDISKID = 2001"))
                     .toString(),
                 QStringLiteral("Bach BWV"));
        QCOMPARE(m_f->main().settings().cd, folder.path());
        QCOMPARE(data().dtDisk().fieldByName(QStringLiteral("FNAME")).asString(),
                 QStringLiteral("Bach BWV"));
    }

    void emptyNameKeepsTheWindowOpen()
    {
        QVERIFY(start());
        bool stillOpen = false;
        bool nameHasFocus = false;
        MainWindowFixture::whenModal([&](QWidget *modal) {
            auto *editor = qobject_cast<TfEdtDisk *>(modal);
            editor->aOK->trigger();
            stillOpen = editor->isVisible();
            nameHasFocus = editor->focusWidget() == edit(editor, "eNAME");
            editor->reject();
        });
        m_f->main().aAddDisk->trigger();
        QVERIFY(stillOpen);
        QVERIFY(nameHasFocus);
        QCOMPARE(m_f->prompt().shown.size(), 1);
        QCOMPARE(m_f->prompt().shown.at(0).text,
                 QStringLiteral("Field 'FNAME' must have a value."));
        QCOMPARE(data().dtDisk().state(), QueryDataSet::State::Browse);
    }

    // With the stored drive gone the editor takes a disc, then a removable volume, never the
    // system disk; with neither it takes none, and F2 says so and reads nothing.
    void driveWhenTheStoredOneIsGone_data()
    {
        QTest::addColumn<QStringList>("mounted"); // "mount point:kind", in mount point order
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("chosen");
        const QStringList disc {"/:fixed", "/media/cdrom0:optical", "/media/user/STICK:removable"};
        const QStringList stick {"/:fixed", "/home:fixed", "/media/user/STICK:removable"};
        const QStringList system {"/:fixed", "/home:fixed", "/run/user/0:ram"};
        QTest::newRow("default letter, a disc in")
            << disc << QStringLiteral("D") << QStringLiteral("/media/cdrom0");
        QTest::newRow("label gone, a stick in")
            << stick << QStringLiteral("/media/user/OLD") << QStringLiteral("/media/user/STICK");
        QTest::newRow("default letter, only the system")
            << system << QStringLiteral("D") << QString();
        QTest::newRow("label gone, only the system")
            << system << QStringLiteral("/media/user/OLD") << QString();
    }
    void driveWhenTheStoredOneIsGone()
    {
        QFETCH(QStringList, mounted);
        QFETCH(QString, setting);
        QFETCH(QString, chosen);
        QVERIFY(start());
        FixedVolumeSource volumes;
        volumes.listed = FixedVolumeSource::volumesOf(mounted);
        m_f->main().settings().cd = setting;
        const int disks = count(QStringLiteral("select count(*) from TDISK"));
        QString drive = QStringLiteral("<not opened>");
        MainWindowFixture::whenModal([&](QWidget *modal) {
            auto *editor = qobject_cast<TfEdtDisk *>(modal);
            drive = editor->eDriveCD->drive();
            MainWindowFixture::activate(editor);
            typeText(edit(editor, "eNAME"), QStringLiteral("Без диска"));
            // Only where nothing is chosen: a wrong choice would read the whole system.
            if (drive.isEmpty())
                QTest::keyClick(editor, Qt::Key_F2);
            QTest::keyClick(editor, Qt::Key_Escape);
        });
        m_f->main().aAddDisk->trigger();
        QCOMPARE(drive, chosen);
        // The new disk was not stored by a read.
        QCOMPARE(count(QStringLiteral("select count(*) from TDISK")), disks);
        QCOMPARE(count(QStringLiteral("select count(*) from TCONTENT")), 0);
        QCOMPARE(m_f->prompt().shown.size(), chosen.isEmpty() ? 1 : 0);
        if (chosen.isEmpty()) {
            const RecordingPrompt::Shown &shown = m_f->prompt().shown.at(0);
            QCOMPARE(shown.text,
                     QStringLiteral("Не выбран диск для чтения.\nВыберите его в списке рядом с "
                                    "кнопкой \"Читать\"."));
            QCOMPARE(shown.caption, QStringLiteral("Kodra"));
            QCOMPARE(shown.icon, QMessageBox::Warning);
            QCOMPARE(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        }
    }

    // The layout lives inside the main window's section; a layout an earlier version kept in a
    // section of its own at the top is read from there once.
    void contentHeightIsStored()
    {
        QVERIFY(start());
        const QString section = MainWindowFixture::section + QStringLiteral("\\EdtDisk");
        const QString height = QStringLiteral("pContent_Height");
        m_f->store().writeString(QStringLiteral("EdtDisk"), height, QStringLiteral("220"));
        QVERIFY(m_f->locateDisk(2001));
        {
            auto editor = m_f->openEditor();
            QApplication::processEvents();
            QCOMPARE(editor->pContent->height(), 220);
            editor->resize(700, 700);
            QApplication::processEvents();
            const QList<int> sizes = editor->splitter()->sizes();
            editor->splitter()->setSizes({sizes[0] + sizes[1] - 250, 250});
            QCOMPARE(editor->pContent->height(), 250);
            editor->close();
        }
        QCOMPARE(m_f->store().readString(section, height, QString()), QStringLiteral("250"));
        // The old place is only read: the new one wins from now on.
        QCOMPARE(m_f->store().readString(QStringLiteral("EdtDisk"), height, QString()),
                 QStringLiteral("220"));
        auto again = m_f->openEditor();
        QApplication::processEvents();
        QCOMPARE(again->pContent->height(), 250);
    }
};

QTEST_MAIN(TestEdtDisk)
#include "tst_edtdisk.moc"
