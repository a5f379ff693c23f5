#include "browser/FolderTreeModel.h"
#include "browser/TDBTreeView.h"
#include "browser/uMain.h"
#include "search/uFind.h"
#include "store/Statement.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/Typing.h"
#include "widgets/DBGrid.h"
#include "widgets/DataSetModel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

// The search window over a real catalogue, driven by keys and its commands, with the main
// window it moves.
class TestFind : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainWindowFixture> m_fx;
    std::unique_ptr<TfFind> m_find;

    TfMain &main() { return m_fx->main(); }
    Catalogue &data() { return m_fx->data(); }
    DataSetModel &results() { return *m_find->DBGridEh1->dataSetModel(); }
    int folderKey()
    {
        return data().dtFolder().fieldByName(QStringLiteral("FFOLDERID")).asInteger();
    }
    int diskKey() { return data().dtDisk().fieldByName(QStringLiteral("FDISKID")).asInteger(); }
    int column(const char *field) { return results().columnOfField(QLatin1String(field)); }
    QString cell(int row, const char *field) { return results().displayText(row, column(field)); }
    QStringList column(const char *field, int rows)
    {
        QStringList texts;
        for (int r = 0; r < rows; ++r)
            texts << cell(r, field);
        return texts;
    }

    // The window as the main window opens it, shown without blocking the test.
    void openWindow()
    {
        m_find = std::make_unique<TfFind>(data(), &main());
        m_find->setModal(false);
        m_find->show();
        QVERIFY(MainWindowFixture::activate(m_find.get()));
    }
    void enterIn(QWidget *widget) { QTest::keyClick(widget, Qt::Key_Return); }
    // Types into an input and presses Enter there.
    void search(QLineEdit *input, const QString &text)
    {
        input->setFocus();
        input->selectAll();
        typeText(input, text);
        enterIn(input);
    }

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void init()
    {
        m_fx = std::make_unique<MainWindowFixture>();
        const QString error = m_fx->start({
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(1002, 'Музыка', 0)"),
            QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(1003, 'Джаз', 1002)"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, FCOMMENT, "
                           "FGETDATE) values (2001, 1001, 1, 'Архив 2020', 1, 'Документы', "
                           "'2020-05-01')"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, FCOMMENT) "
                           "values (2002, 1003, 1, 'Coltrane', 1, 'Blue Train')"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                           "(2003, 1002, 1, 'Moby', 2)"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                           "(2004, 1002, 1, 'Bach', 1)"),
            QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, "
                           "FCONTENT) values (3100, 2001, null, 2, '/media/cdrom: ARCHIVE')"),
            QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, "
                           "FCONTENT) values (3101, 2001, 3100, 1, 'docs')"),
            QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, "
                           "FCONTENT, FSIZE, FDATE) values (3102, 2001, 3101, 0, "
                           "'Отчёт ABC.doc', 12345, '2020-04-30 10:00:00')"),
            QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, "
                           "FCONTENT, FSIZE) values (3103, 2001, 3100, 0, 'abc.txt', 10)"),
            QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, "
                           "FCONTENT) values (3200, 2002, null, 2, '/media/cdrom: JAZZ')"),
            QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, "
                           "FCONTENT) values (3201, 2002, 3200, 1, 'Blue Train')"),
            QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, "
                           "FCONTENT, FSIZE) values (3202, 2002, 3201, 0, 'track01.flac', "
                           "40000000)"),
            QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, "
                           "FCONTENT) values (3203, 2002, 3201, 0, 'Лирика.txt')"),
            QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, "
                           "FCONTENT) values (3300, 2003, null, 2, '/media/cdrom: MOBY')"),
            QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, "
                           "FCONTENT) values (3301, 2003, 3300, 0, 'abcde.mp3')"),
            // Counts to n before its one row: a search that takes as long as wanted.
            QStringLiteral("create procedure SPIN (N integer) returns (R integer) as "
                           "declare i integer = 0; begin while (i < N) do i = i + 1; R = i; "
                           "suspend; end"),
        });
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(folderKey(), 1001);
        QCOMPARE(diskKey(), 2001);
    }
    void cleanup()
    {
        m_find.reset();
        m_fx.reset();
    }

    void windowAsDrawn()
    {
        openWindow();
        QCOMPARE(m_find->windowTitle(), QStringLiteral("Найти..."));
        QVERIFY(m_find->windowFlags() & Qt::WindowMaximizeButtonHint);
        QVERIFY(!(m_find->windowFlags() & Qt::WindowMinimizeButtonHint));
        QCOMPARE(m_find->height(), int(m_find->width() * 0.68));
        // The width ends 10 pixels right of "Закрыть".
        QCOMPARE(m_find->bClose->mapTo(m_find.get(), QPoint(m_find->bClose->width(), 0)).x() + 10,
                 m_find->width());
        QStringList labels;
        for (const QLabel *l : m_find->findChildren<QLabel *>())
            labels << l->text();
        QVERIFY(labels.contains(QStringLiteral("Искать диск:")));
        QVERIFY(labels.contains(QStringLiteral("Содержащий файл:")));
        QCOMPARE(m_find->BitBtn3->text(), QStringLiteral("Печать.."));
        QCOMPARE(m_find->BitBtn1->text(), QStringLiteral("Найти.."));
        QCOMPARE(m_find->bClose->text(), QStringLiteral("Закрыть"));
        QVERIFY(m_find->BitBtn1->isDefault());
        // Left to right: print, find, close.
        QVERIFY(m_find->BitBtn3->x() < m_find->BitBtn1->x());
        QVERIFY(m_find->BitBtn1->x() < m_find->bClose->x());
        QVERIFY(m_find->eDisk->y() < m_find->eFile->y());

        // The results grid: titles, widths and alignment; read-only, no cell lines.
        DataSetModel &model = results();
        const QStringList titles {"Папка", "Диск", "Содержание", "Приобретен",
                                  "Файл",  "Дата", "Размер"};
        QCOMPARE(model.columnCount(), titles.size());
        for (int c = 0; c < titles.size(); ++c)
            QCOMPARE(model.headerData(c, Qt::Horizontal).toString(), titles[c]);
        QCOMPARE(model.column(column("FFOLDERFULL")).alignment & Qt::AlignHorizontal_Mask,
                 Qt::AlignRight);
        QCOMPARE(model.column(column("FCONTENTFULL")).alignment & Qt::AlignHorizontal_Mask,
                 Qt::AlignRight);
        QCOMPARE(model.column(column("FDISK")).alignment & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
        QVERIFY(!model.column(column("FDISKDATE")).stretch);
        QVERIFY(model.column(column("FCONTENTFULL")).stretch);
        QVERIFY(!m_find->DBGridEh1->showGrid());
        QCOMPARE(m_find->DBGridEh1->editTriggers(), QAbstractItemView::NoEditTriggers);
        QVERIFY(!m_find->dtFind.isOpen());
    }

    void focusAndTabOrder()
    {
        openWindow();
        QCOMPARE(QApplication::focusWidget(), m_find->eDisk);
        QTest::keyClick(m_find->eDisk, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), m_find->eFile);
        QTest::keyClick(m_find->eFile, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), m_find->DBGridEh1);
        QTest::keyClick(m_find->DBGridEh1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), m_find->eDisk);
        for (QPushButton *b : {m_find->BitBtn1, m_find->BitBtn3, m_find->bClose})
            QCOMPARE(b->focusPolicy(), Qt::NoFocus);
    }

    void enterInAFreshWindowDoesNothing()
    {
        openWindow();
        QSignalSpy diskReads(&data().dtDisk(), &QueryDataSet::dataReset);
        enterIn(m_find->eDisk);
        QVERIFY(!m_find->dtFind.isOpen());
        QVERIFY(m_find->isVisible());
        QCOMPARE(m_find->result(), int(QDialog::Rejected));
        QCOMPARE(diskReads.count(), 0);
        QCOMPARE(folderKey(), 1001);
        QCOMPARE(diskKey(), 2001);
    }

    void textsGoUpperCased_data()
    {
        QTest::addColumn<QString>("disk");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("vdisk");
        QTest::addColumn<QString>("vcontent");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("file text")
            << ""
            << "abc"
            << ""
            << "ABC" << QStringList {"docs/Отчёт ABC.doc", "abc.txt", "abcde.mp3"};
        QTest::newRow("Cyrillic file text") << ""
                                            << "лирика"
                                            << ""
                                            << "ЛИРИКА" << QStringList {"Blue Train/Лирика.txt"};
        QTest::newRow("disk and file") << "mo"
                                       << "ABC"
                                       << "MO"
                                       << "ABC" << QStringList {"abcde.mp3"};
        // Disks alone: one row each, with no file.
        QTest::newRow("disk text only") << "архив"
                                        << ""
                                        << "АРХИВ"
                                        << "" << QStringList {""};
    }
    void textsGoUpperCased()
    {
        QFETCH(QString, disk);
        QFETCH(QString, file);
        QFETCH(QString, vdisk);
        QFETCH(QString, vcontent);
        QFETCH(QStringList, found);
        openWindow();
        m_find->eDisk->setFocus();
        typeText(m_find->eDisk, disk);
        m_find->eFile->setFocus();
        typeText(m_find->eFile, file);
        enterIn(m_find->eFile);
        QVERIFY(m_find->dtFind.isOpen());
        QCOMPARE(m_find->dtFind.param(QStringLiteral("VDISK")).toString(), vdisk);
        QCOMPARE(m_find->dtFind.param(QStringLiteral("VCONTENT")).toString(), vcontent);
        // The grid fetches the rows it shows.
        QTRY_COMPARE(results().rowCount(), found.size());
        QCOMPARE(column("FCONTENTFULL", found.size()), found);
        // The search leaves the keyboard in the results, the window open.
        QCOMPARE(QApplication::focusWidget(), m_find->DBGridEh1);
        QVERIFY(m_find->isVisible());
        QVERIFY(!m_find->inputsChanged());
    }

    void resultColumns()
    {
        openWindow();
        search(m_find->eFile, QStringLiteral("abc"));
        QTRY_COMPARE(results().rowCount(), 3);
        // Row heights can be changed by the user.
        QCOMPARE(m_find->DBGridEh1->verticalHeader()->sectionResizeMode(0),
                 QHeaderView::Interactive);
        // Folders by path, a disk's entries in reading order.
        QCOMPARE(column("FFOLDERFULL", 3), QStringList({"Диски", "Диски", "Музыка"}));
        QCOMPARE(column("FDISK", 3), QStringList({"Архив 2020", "Архив 2020", "Moby"}));
        QCOMPARE(cell(0, "FDISKCOMMENT"), QStringLiteral("Документы"));
        QCOMPARE(cell(0, "FDISKDATE"), QStringLiteral("01.05.2020"));
        QCOMPARE(cell(0, "FCONTENTDATE"), QStringLiteral("30.04.2020 10:00"));
        QCOMPARE(cell(0, "FCONTENTSIZE"), QStringLiteral("12345"));
        QCOMPARE(cell(2, "FCONTENTSIZE"), QString());
        // Sizes sit on the right by default, names on the left.
        const auto alignment = [this](const char *field) {
            return Qt::Alignment(
                       results().index(0, column(field)).data(Qt::TextAlignmentRole).toInt())
                & Qt::AlignHorizontal_Mask;
        };
        QCOMPARE(alignment("FCONTENTSIZE"), Qt::AlignRight);
        QCOMPARE(alignment("FCONTENTFULL"), Qt::AlignRight);
        QCOMPARE(alignment("FDISK"), Qt::AlignLeft);
    }

    // At the default size and font every title fits its column ("Содержание", "Дата").
    void titlesAreNotCut()
    {
        openWindow();
        DBGrid *grid = m_find->DBGridEh1;
        QHeaderView *header = grid->horizontalHeader();
        QStringList cut;
        for (int c = 0; c < results().columnCount(); ++c) {
            if (!grid->isColumnHidden(c) && grid->columnWidth(c) < header->sectionSizeHint(c))
                cut << results().headerData(c, Qt::Horizontal).toString();
        }
        QCOMPARE(cut, QStringList());
        QVERIFY(grid->grab().save(QStringLiteral(KODRA_BINARY_DIR "/tst_find_titles.png")));
    }

    void enterAgainJumpsAndCloses()
    {
        openWindow();
        search(m_find->eFile, QStringLiteral("track"));
        QCOMPARE(results().rowCount(), 1);
        QCOMPARE(cell(0, "FFOLDERFULL"), QStringLiteral("Музыка / Джаз"));
        QCOMPARE(cell(0, "FCONTENTFULL"), QStringLiteral("Blue Train/track01.flac"));
        // Enter on the grid, the inputs unchanged: the main window goes to the disk.
        enterIn(m_find->DBGridEh1);
        QVERIFY(!m_find->isVisible());
        QCOMPARE(m_find->result(), int(QDialog::Accepted));
        QCOMPARE(folderKey(), 1003);
        QCOMPARE(diskKey(), 2002);
        QCOMPARE(main().DBTreeView1->currentIndex(),
                 main().DBTreeView1->folderModel()->indexOfKey(1003));
        QCOMPARE(main().DBTreeView1->currentIndex().data().toString(), QStringLiteral("Джаз"));
        QCOMPARE(main().DBGridEh1->currentIndex().row(), data().dtDisk().currentRow());
        QCOMPARE(main().DBGridEh1->dataSetModel()->displayText(
                     main().DBGridEh1->currentIndex().row(), 0),
                 QStringLiteral("Coltrane"));
        QCOMPARE(main().focusWidget(), main().DBGridEh1);
    }

    void enterOnARowOfAnotherFolder()
    {
        openWindow();
        search(m_find->eFile, QStringLiteral("abc"));
        QTRY_COMPARE(results().rowCount(), 3);
        // Down to Moby's file, in the folder "Музыка"; the main window shows "Диски".
        QTest::keyClick(m_find->DBGridEh1, Qt::Key_Down);
        QTest::keyClick(m_find->DBGridEh1, Qt::Key_Down);
        QCOMPARE(m_find->dtFind.currentRow(), 2);
        QSignalSpy diskReads(&data().dtDisk(), &QueryDataSet::dataReset);
        // The button does what Enter does.
        m_find->BitBtn1->click();
        QVERIFY(!m_find->isVisible());
        QCOMPARE(folderKey(), 1002);
        QCOMPARE(diskKey(), 2003);
        QVERIFY(diskReads.count() > 0);
        QCOMPARE(main().DBTreeView1->currentIndex().data().toString(), QStringLiteral("Музыка"));
        QCOMPARE(main().focusWidget(), main().DBGridEh1);
    }

    void aChangedLetterSearchesAgain_data()
    {
        QTest::addColumn<bool>("inDisk");
        QTest::newRow("file input") << false;
        QTest::newRow("disk input") << true;
    }
    void aChangedLetterSearchesAgain()
    {
        QFETCH(bool, inDisk);
        openWindow();
        search(m_find->eFile, QStringLiteral("abc"));
        QTRY_COMPARE(results().rowCount(), 3);
        QLineEdit *input = inDisk ? m_find->eDisk : m_find->eFile;
        if (inDisk)
            search(input, QStringLiteral("m"));
        QTRY_COMPARE(results().rowCount(), inDisk ? 1 : 3);
        // One letter more: Enter searches again, it does not jump.
        input->setFocus();
        input->end(false);
        typeText(input, QStringLiteral("d"));
        QVERIFY(m_find->inputsChanged());
        enterIn(input);
        QVERIFY(m_find->isVisible());
        QTRY_COMPARE(results().rowCount(), inDisk ? 0 : 1);
        QCOMPARE(folderKey(), 1001);
        QCOMPARE(diskKey(), 2001);
        // The same text typed again still counts as a change.
        input->end(false);
        QTest::keyClick(input, Qt::Key_Backspace);
        typeText(input, QStringLiteral("d"));
        QVERIFY(m_find->inputsChanged());
    }

    void emptyResultThenEnterClosesAndMovesNothing()
    {
        // Away from the first disk, so that a stray re-read of the list would show.
        QVERIFY(data().dtFolder().locate(QStringLiteral("FFOLDERID"), 1002));
        QVERIFY(data().dtDisk().locate(QStringLiteral("FDISKID"), 2003));
        openWindow();
        search(m_find->eFile, QStringLiteral("нет такого"));
        QVERIFY(m_find->dtFind.isOpen());
        QCOMPARE(results().rowCount(), 0);
        QVERIFY(m_find->isVisible());
        QSignalSpy folderMoves(&data().dtFolder(), &QueryDataSet::currentRowChanged);
        QSignalSpy diskReads(&data().dtDisk(), &QueryDataSet::dataReset);
        enterIn(m_find->DBGridEh1);
        QVERIFY(!m_find->isVisible());
        QCOMPARE(folderMoves.count(), 0);
        QCOMPARE(diskReads.count(), 0);
        QCOMPARE(folderKey(), 1002);
        QCOMPARE(diskKey(), 2003);
    }

    void jumpToADiskNoLongerThere()
    {
        openWindow();
        search(m_find->eFile, QStringLiteral("abcde"));
        QCOMPARE(results().rowCount(), 1);
        Statement gone(data().DefDatabase());
        gone.prepare(QStringLiteral("delete from TDISK where FDISKID = 2003"));
        gone.execute();
        enterIn(m_find->DBGridEh1);
        // The folder is found, the disk is not: no message, the window closes.
        QVERIFY(!m_find->isVisible());
        QCOMPARE(folderKey(), 1002);
        QCOMPARE(diskKey(), 2004);
        QVERIFY(m_fx->prompt().shown.isEmpty());
    }

    void copyAndSelectAll()
    {
        openWindow();
        search(m_find->eFile, QStringLiteral("abc"));
        DBGrid *grid = m_find->DBGridEh1;
        QGuiApplication::clipboard()->clear();
        // A block of cells from the disk to the file of two rows.
        grid->setCurrentIndex(results().index(0, column("FDISK")));
        QTest::keyClick(grid, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(grid, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(grid, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(grid, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("Архив 2020\tДокументы\t01.05.2020\tdocs/Отчёт ABC.doc\n"
                                "Архив 2020\tДокументы\t01.05.2020\tabc.txt"));
        // Everything.
        QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
        const QStringList lines = QGuiApplication::clipboard()->text().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[2].split(QLatin1Char('\t')),
                 QStringList({"Музыка", "Moby", "", "", "abcde.mp3", "", ""}));
        // Copying changes nothing of the window's state: Enter still jumps.
        QVERIFY(!m_find->inputsChanged());
    }

    void printShowsThePreviewOfTheResults()
    {
        openWindow();
        search(m_find->eFile, QStringLiteral("a"));
        QTRY_COMPARE(results().rowCount(), 5);
        auto previewPages = [this] {
            int pages = -1;
            QString dialogClass;
            MainWindowFixture::whenModal([&](QWidget *modal) {
                dialogClass = QString::fromLatin1(modal->metaObject()->className());
                if (auto *preview = modal->findChild<QPrintPreviewWidget *>())
                    pages = preview->pageCount();
                modal->close();
            });
            m_find->BitBtn3->click();
            return dialogClass == QLatin1String("QPrintPreviewDialog") ? pages : -1;
        };
        // The columns print as wide as they are shown, not fitted to the paper: a wider window
        // needs more sheets across for the same five rows.
        const int shown = previewPages();
        QVERIFY(shown >= 1);
        m_find->resize(2 * m_find->width(), m_find->height());
        QTRY_VERIFY(m_find->DBGridEh1->viewport()->width() > 1200);
        QVERIFY(previewPages() > shown);
        QVERIFY(m_find->isVisible());
    }

    void escStopsALongSearchAndKeepsTheWindow()
    {
        openWindow();
        // FIND's rows behind a count of minutes, as a rare text over a huge catalogue.
        m_find->dtFind.setSelectSql({QStringLiteral(
            "select f.* from FIND(:VCONTENT, :VDISK) f cross join SPIN(2000000000) s")});
        bool liveDuringSearch = false;
        bool searchingDuringSearch = false;
        QTimer::singleShot(150, m_find.get(), [&] {
            liveDuringSearch = true;
            searchingDuringSearch = m_find->isSearching();
            // Keys other than Esc wait; a click on the print button does nothing.
            QTest::keyClick(m_find->DBGridEh1, Qt::Key_Return);
            QTest::mouseClick(m_find->BitBtn3, Qt::LeftButton);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        });
        QElapsedTimer clock;
        clock.start();
        search(m_find->eFile, QStringLiteral("abc"));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(liveDuringSearch);
        QVERIFY(searchingDuringSearch);
        QVERIFY(!m_find->isSearching());
        // Stopped: open with what it found (nothing yet), the window still there.
        QVERIFY(m_find->isVisible());
        QVERIFY(m_find->dtFind.isOpen());
        QCOMPARE(results().rowCount(), 0);
        QVERIFY(m_fx->prompt().shown.isEmpty());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        // The connection works on: the main window re-reads its lists.
        main().aRefreshExecute();
        QVERIFY(m_fx->prompt().shown.isEmpty());
        QCOMPARE(diskKey(), 2001);
        // Esc now closes the window.
        QTest::keyClick(m_find->DBGridEh1, Qt::Key_Escape);
        QVERIFY(!m_find->isVisible());
    }

    void closingDuringASearchStopsIt()
    {
        openWindow();
        m_find->dtFind.setSelectSql({QStringLiteral(
            "select f.* from FIND(:VCONTENT, :VDISK) f cross join SPIN(2000000000) s")});
        QTimer::singleShot(100, m_find.get(), [this] { m_find->close(); });
        QElapsedTimer clock;
        clock.start();
        search(m_find->eFile, QStringLiteral("abc"));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QTRY_VERIFY(!m_find->isVisible());
        QCOMPARE(m_find->result(), int(QDialog::Rejected));
        QCOMPARE(folderKey(), 1001);
    }

    void serverErrorsShowInTheErrorBox()
    {
        openWindow();
        // The server answers (the input takes no text it would refuse), and fails.
        data().searchIndex().setEnabled(false);
        m_find->dtFind.setSelectSql(
            {QStringLiteral("select * from FIND(cast(:VCONTENT as varchar(2)), :VDISK)")});
        m_find->eFile->setText(QStringLiteral("abc"));
        enterIn(m_find->eFile);
        data().searchIndex().setEnabled(true);
        QCOMPARE(m_fx->prompt().shown.size(), 1);
        QCOMPARE(m_fx->prompt().shown[0].caption, QStringLiteral("Kodra"));
        QCOMPARE(m_fx->prompt().shown[0].icon, QMessageBox::Critical);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QVERIFY(m_find->isVisible());
        // The search did not happen: Enter tries it again.
        QVERIFY(m_find->inputsChanged());
    }

    void pictureOfTheWindow()
    {
        openWindow();
        search(m_find->eFile, QStringLiteral("a"));
        QTRY_COMPARE(results().rowCount(), 5);
        const QImage shot = m_find->grab().toImage();
        QVERIFY(!shot.isNull());
        shot.save(QDir::temp().filePath(QStringLiteral("kodra-find.png")));
    }

    void f7OpensTheWindowModally()
    {
        QVERIFY(main().aFind->isEnabled());
        QCOMPARE(main().aFind->shortcut(), QKeySequence(Qt::Key_F7));
        QString opened;
        bool modal = false;
        MainWindowFixture::whenModal([&](QWidget *w) {
            opened = QString::fromLatin1(w->metaObject()->className());
            modal = w->isModal();
            auto *find = qobject_cast<TfFind *>(w);
            QVERIFY(find);
            search(find->eFile, QStringLiteral("track"));
            enterIn(find->DBGridEh1);
        });
        QVERIFY(MainWindowFixture::activate(&main()));
        QTest::keyClick(&main(), Qt::Key_F7);
        QCOMPARE(opened, QStringLiteral("TfFind"));
        QVERIFY(modal);
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(diskKey(), 2002);
        // Destroyed when it closed.
        QVERIFY(main().findChildren<TfFind *>().isEmpty());
    }
};

QTEST_MAIN(TestFind)
#include "tst_find.moc"
