#include "app/Catalogue.h"
#include "browser/uMain.h"
#include "reportengine/ReportExporter.h"
#include "reports/LabelTemplates.h"
#include "reports/StarterLabels.h"
#include "reports/uFreeRep.h"
#include "reportui/DesignCanvas.h"
#include "reportui/ReportDesigner.h"
#include "reportui/ReportPreview.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/ModalWatch.h"
#include "tests/support/PdfTools.h"
#include "tests/support/Typing.h"
#include "widgets/DBGrid.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <memory>

// The label templates window on a real catalogue, driven by its commands, clicks and keys, with
// the designer and the preview it opens handled as they show.
class TestFreeRep : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainWindowFixture> m_f;
    std::unique_ptr<TfFreeRep> m_window;

    static constexpr int sleeveKey = 17;

    Catalogue &data() { return m_f->data(); }
    RecordingPrompt &prompt() { return m_f->prompt(); }
    QList<QVariantList> rows(const QString &select) { return m_f->catalogue().rows(select); }

    // The main window on folder 1001 holding the disks given (key, number, name).
    void start(const QList<std::tuple<int, int, QString>> &disks = {}, const QStringList &more = {})
    {
        QStringList statements;
        for (const auto &[key, number, name] : disks)
            statements << QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, "
                                         "FNN, FCOMMENT, FTYPEID, FGROUPID, FFILES, FFULLSIZE, "
                                         "FLABEL, FGETDATE) values (%1, 1001, 1, '%2', %3, "
                                         "'к %2', 2, 9, %3 * 100, 700000000, 'VOL%1', "
                                         "'2024-03-01')")
                              .arg(key)
                              .arg(name)
                              .arg(number);
        statements << more;
        m_f = std::make_unique<MainWindowFixture>();
        const QString failed = m_f->start(statements);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
    }
    // The window shown beside the main window, not modal, so that the test drives it.
    void openWindow()
    {
        m_window = std::make_unique<TfFreeRep>(data(), &m_f->main());
        m_window->setModal(false);
        m_window->show();
        QVERIFY(MainWindowFixture::activate(m_window.get()));
        QVERIFY(m_window->dtReport.isOpen());
    }
    void goToKey(int key)
    {
        DBGrid *grid = m_window->DBGridEh1;
        QueryDataSet &ds = m_window->dtReport;
        ds.fetchAll();
        const int f = ds.fieldByName(QStringLiteral("FREPORTID")).index();
        for (int r = 0; r < ds.fetchedCount(); ++r) {
            if (ds.value(r, f).toInt() == key && r != ds.currentRow())
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                                  grid->visualRect(grid->dataSetModel()->index(r, 0)).center());
        }
        QCOMPARE(ds.fieldByName(QStringLiteral("FREPORTID")).asInteger(), key);
    }
    void clickTool(QAction *action)
    {
        QWidget *button = m_window->toolBar()->widgetForAction(action);
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // A new template named by typing into the grid, as a user makes one.
    void newNamed(const QString &name)
    {
        clickTool(m_window->aNew);
        QCOMPARE(m_window->dtReport.state(), QueryDataSet::State::Insert);
        DBGrid *grid = m_window->DBGridEh1;
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_F2);
        auto *edit = qobject_cast<QLineEdit *>(grid->indexWidget(grid->currentIndex()));
        QVERIFY(edit);
        typeText(edit, name);
    }
    QByteArray storedForm(int key)
    {
        const auto found
            = rows(QStringLiteral("select FFRF from TREPORT where FREPORTID=%1").arg(key));
        return found.isEmpty() ? QByteArray() : found.first().first().toByteArray();
    }
    static ReportTemplate loaded(const QByteArray &bytes)
    {
        ReportTemplate t;
        QString error;
        if (!t.load(bytes, &error))
            qWarning("%s", qPrintable(error));
        return t;
    }
    // Closes the designer with its Close button; its template is recorded first.
    static void closeDesigner(QWidget *modal, ReportTemplate *seen)
    {
        auto *designer = qobject_cast<ReportDesigner *>(modal);
        if (!designer)
            return;
        *seen = designer->result();
        QPushButton *close
            = designer->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Close);
        QTest::mouseClick(close, Qt::LeftButton);
    }
    static QString pictureFolder()
    {
        const QString folder = QStringLiteral(KODRA_BINARY_DIR "/pictures");
        QDir().mkpath(folder);
        return folder;
    }

private Q_SLOTS:
    void cleanup()
    {
        m_window.reset();
        m_f.reset();
    }

    void starterTemplatesComeWithTheCatalogue()
    {
        start();
        const auto stored
            = rows(QStringLiteral("select FREPORTID, FREPORT, FFRF from TREPORT order by 1"));
        const auto expected = StarterLabels::all();
        QCOMPARE(stored.size(), qsizetype(expected.size()));
        for (size_t i = 0; i < expected.size(); ++i) {
            QCOMPARE(stored[i][0].toInt(), expected[i].key);
            QCOMPARE(stored[i][1].toString(), expected[i].name);
            QCOMPARE(stored[i][2].toByteArray(), expected[i].layout.save());
            const ReportTemplate t = loaded(stored[i][2].toByteArray());
            QCOMPARE(t, expected[i].layout);
            // Every label runs over the disk list.
            QCOMPARE(t.pages.size(), size_t(1));
            QCOMPARE(t.pages[0].bands.size(), size_t(1));
            QCOMPARE(t.pages[0].bands[0].dataSource, QStringLiteral("frDisks"));
        }
    }

    void windowLayout()
    {
        start();
        openWindow();
        TfFreeRep &w = *m_window;
        QCOMPARE(w.windowTitle(), QStringLiteral("Редактор наклеек"));
        QCOMPARE(w.size(), QSize(304, 362));
        QCOMPARE(w.DBGridEh1->dataSetModel()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Форма наклейки"));
        QCOMPARE(w.DBGridEh1->dataSetModel()->columnCount(), 1);

        // Toolbar: show | new, edit, delete | close, icons with hints and no captions.
        const QList<QAction *> tools = w.toolBar()->actions();
        QCOMPARE(tools.size(), 7);
        const QList<QAction *> order {w.aShow, nullptr, w.aNew, w.aEdit, w.aDel, nullptr, w.aExit};
        for (int i = 0; i < tools.size(); ++i) {
            if (order[i])
                QCOMPARE(tools[i], order[i]);
            else
                QVERIFY(tools[i]->isSeparator());
        }
        QCOMPARE(w.toolBar()->toolButtonStyle(), Qt::ToolButtonIconOnly);
        const QStringList hints {QStringLiteral("Показать"), QStringLiteral("Новый шаблон"),
                                 QStringLiteral("Редактировать"), QStringLiteral("Удалить шаблон"),
                                 QStringLiteral("Закрыть")};
        const QStringList captions {QStringLiteral("Показать"), QStringLiteral("Новая"),
                                    QStringLiteral("Редактировать"), QStringLiteral("Удалить"),
                                    QStringLiteral("Закрыть")};
        const QList<QAction *> commands {w.aShow, w.aNew, w.aEdit, w.aDel, w.aExit};
        for (int i = 0; i < commands.size(); ++i) {
            QCOMPARE(commands[i]->toolTip(), hints[i]);
            QCOMPARE(commands[i]->text(), captions[i]);
            QVERIFY(!commands[i]->icon().isNull());
        }
        QCOMPARE(w.aExit->shortcut(), QKeySequence(Qt::Key_Escape));

        // Context menu: show (the default), edit | new, delete.
        const QList<QAction *> menu = w.PopupMenu1->actions();
        QCOMPARE(menu.size(), 5);
        QCOMPARE(menu[0], w.aShow);
        QCOMPARE(menu[1], w.aEdit);
        QVERIFY(menu[2]->isSeparator());
        QCOMPARE(menu[3], w.aNew);
        QCOMPARE(menu[4], w.aDel);
        QCOMPARE(w.PopupMenu1->defaultAction(), w.aShow);
        // The list's context menu request (a right click, the menu key) opens it.
        QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(20, 10),
                                  w.DBGridEh1->viewport()->mapToGlobal(QPoint(20, 10)));
        QApplication::sendEvent(w.DBGridEh1->viewport(), &request);
        QTRY_VERIFY(w.PopupMenu1->isVisible());
        w.PopupMenu1->close();

        // Esc closes the window.
        QTest::keyClick(w.DBGridEh1, Qt::Key_Escape);
        QTRY_VERIFY(!w.isVisible());
    }

    // In the list of names the first Esc gives back the cell, the second drops the new row,
    // and only then does Esc close the window.
    void escUndoesTheCellThenTheRowThenCloses()
    {
        start();
        openWindow();
        const int rows = m_window->DBGridEh1->dataSetModel()->rowCount();
        newNamed(QStringLiteral("Новая"));
        DBGrid *grid = m_window->DBGridEh1;
        QWidget *editor = grid->indexWidget(grid->currentIndex());
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_Escape);
        QTRY_COMPARE(grid->indexWidget(grid->currentIndex()), nullptr);
        QVERIFY(m_window->isVisible());
        QCOMPARE(m_window->dtReport.state(), QueryDataSet::State::Insert);
        QTest::keyClick(grid, Qt::Key_Escape);
        QVERIFY(m_window->isVisible());
        QCOMPARE(m_window->dtReport.state(), QueryDataSet::State::Browse);
        QCOMPARE(grid->dataSetModel()->rowCount(), rows);
        QTest::keyClick(grid, Qt::Key_Escape);
        QTRY_VERIFY(!m_window->isVisible());
    }

    void mainWindowOpensItWithF4()
    {
        start();
        TfMain &main = m_f->main();
        QVERIFY(main.aReports->isEnabled());
        QVERIFY(MainWindowFixture::activate(&main));
        QString caption;
        int templates = -1;
        ModalWatch watch([&caption, &templates](QWidget *modal) {
            if (auto *w = qobject_cast<TfFreeRep *>(modal)) {
                caption = w->windowTitle();
                w->dtReport.fetchAll();
                templates = w->dtReport.fetchedCount();
                QTest::keyClick(w->DBGridEh1, Qt::Key_Escape);
            }
        });
        QTest::keyClick(&main, Qt::Key_F4);
        QCOMPARE(watch.seen, QStringList {QStringLiteral("TfFreeRep")});
        QCOMPARE(caption, QStringLiteral("Редактор наклеек"));
        QCOMPARE(templates, 3);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void emptyListDoesNothing_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("show") << "aShow";
        QTest::newRow("edit") << "aEdit";
    }
    void emptyListDoesNothing()
    {
        QFETCH(QString, command);
        start({{3001, 1, QStringLiteral("Диск")}}, {QStringLiteral("delete from TREPORT")});
        openWindow();
        QVERIFY(m_window->dtReport.isEmpty());
        ModalWatch watch;
        m_window->findChild<QAction *>(command)->trigger();
        QVERIFY(watch.seen.isEmpty());
        QVERIFY(prompt().shown.isEmpty());
        QVERIFY(m_window->dtReport.isEmpty());
        QVERIFY(rows(QStringLiteral("select * from TREPORT")).isEmpty());
    }

    void emptyTemplateRightAfterOpeningShowsNothing()
    {
        start({{3001, 1, QStringLiteral("Диск")}},
              {QStringLiteral("insert into TREPORT (FREPORTID, FREPORT) values (700, 'Пустая')")});
        openWindow();
        goToKey(700);
        ModalWatch watch;
        clickTool(m_window->aShow);
        QVERIFY(watch.seen.isEmpty());
        QVERIFY(prompt().shown.isEmpty());
        QVERIFY(m_window->frReport1.reportTemplate().isEmpty());
        QCOMPARE(m_window->frReport1.title(), QStringLiteral("Пустая"));
    }

    void newNamedEditedUnchangedStoresOnePage()
    {
        start();
        openWindow();
        newNamed(QStringLiteral("Моя наклейка"));
        ReportTemplate inDesigner;
        QString designerTitle;
        ModalWatch watch([&inDesigner, &designerTitle](QWidget *modal) {
            designerTitle = modal->windowTitle();
            closeDesigner(modal, &inDesigner);
        });
        clickTool(m_window->aEdit);
        QCOMPARE(watch.seen, QStringList {QStringLiteral("ReportDesigner")});
        QVERIFY(prompt().shown.isEmpty());
        QVERIFY(designerTitle.contains(QStringLiteral("Моя наклейка")));
        // One blank page, nothing on it.
        ReportTemplate blank;
        blank.pages.emplace_back();
        QCOMPARE(inDesigner, blank);

        const auto stored = rows(QStringLiteral("select FREPORTID, FREPORT, FFRF from TREPORT "
                                                "where FREPORT='Моя наклейка'"));
        QCOMPARE(stored.size(), 1);
        QVERIFY(stored[0][0].toInt() >= 100);
        QVERIFY(!stored[0][2].toByteArray().isEmpty());
        QCOMPARE(loaded(stored[0][2].toByteArray()), blank);
        QCOMPARE(m_window->dtReport.state(), QueryDataSet::State::Browse);
    }

    void newUnnamedIsRefusedAndNotStored()
    {
        start();
        openWindow();
        clickTool(m_window->aNew);
        ModalWatch watch([](QWidget *modal) {
            ReportTemplate ignored;
            closeDesigner(modal, &ignored);
        });
        clickTool(m_window->aEdit);
        QCOMPARE(watch.seen, QStringList {QStringLiteral("ReportDesigner")});
        QCOMPARE(prompt().shown.size(), 1);
        QVERIFY(prompt().shown[0].text.contains(QStringLiteral("FREPORT")));
        QCOMPARE(prompt().shown[0].caption, QStringLiteral("Kodra"));
        QCOMPARE(m_window->dtReport.state(), QueryDataSet::State::Insert);
        QCOMPARE(rows(QStringLiteral("select count(*) from TREPORT")).first().first().toInt(), 3);
    }

    void copyOfLastShownGoesToNewTemplate()
    {
        start({{3001, 1, QStringLiteral("Первый")}, {3002, 2, QStringLiteral("Второй")}});
        openWindow();
        goToKey(sleeveKey);
        {
            QString caption;
            ModalWatch showWatch([&caption](QWidget *modal) { caption = modal->windowTitle(); });
            clickTool(m_window->aShow);
            QCOMPARE(showWatch.seen, QStringList {QStringLiteral("ReportPreview")});
            QCOMPARE(caption, QStringLiteral("Предварительный просмотр - Обложка коробки CD"));
        }

        newNamed(QStringLiteral("Копия обложки"));
        ReportTemplate inDesigner;
        ModalWatch editWatch([&inDesigner](QWidget *modal) { closeDesigner(modal, &inDesigner); });
        clickTool(m_window->aEdit);
        QCOMPARE(editWatch.seen, QStringList {QStringLiteral("ReportDesigner")});
        QCOMPARE(inDesigner, StarterLabels::cdSleeve());
        const auto stored
            = rows(QStringLiteral("select FFRF from TREPORT where FREPORT='Копия обложки'"));
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored[0][0].toByteArray(), StarterLabels::cdSleeve().save());
        // The template shown is left as it was.
        QCOMPARE(storedForm(sleeveKey), StarterLabels::cdSleeve().save());
    }

    // Closing the designer with changes asks; "Отмена" keeps it open, "Нет" leaves the stored
    // template byte for byte, "Да" stores the changes. Each way of closing asks alike.
    void designerAsksBeforeClosingWithChanges_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        for (const char *how : {"button", "Esc", "close box"}) {
            QTest::addRow("%s, no", how) << QString::fromLatin1(how) << QMessageBox::No;
            QTest::addRow("%s, yes", how) << QString::fromLatin1(how) << QMessageBox::Yes;
        }
    }

    void designerAsksBeforeClosingWithChanges()
    {
        QFETCH(QString, how);
        QFETCH(QMessageBox::StandardButton, answer);
        start();
        openWindow();
        goToKey(sleeveKey);
        const QByteArray before = storedForm(sleeveKey);
        QVERIFY(!before.isEmpty());
        bool openAfterCancel = false;
        ReportTemplate designed;
        ModalWatch watch([&](QWidget *modal) {
            auto *d = qobject_cast<ReportDesigner *>(modal);
            if (!d)
                return;
            d->command(QStringLiteral("addPageFooter"))->trigger();
            designed = d->result();
            auto close = [&] {
                const qsizetype asked = prompt().shown.size();
                if (how == QLatin1String("button")) {
                    QTest::mouseClick(
                        d->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Close),
                        Qt::LeftButton);
                } else if (how == QLatin1String("Esc")) {
                    // The first Esc may only let go of the band chosen.
                    for (int i = 0; i < 3 && prompt().shown.size() == asked; ++i)
                        QTest::keyClick(d->canvas(), Qt::Key_Escape);
                } else {
                    d->close();
                }
            };
            prompt().answers = {QMessageBox::Cancel, answer};
            close();
            openAfterCancel = d->isVisible();
            close();
        });
        clickTool(m_window->aEdit);
        QCOMPARE(watch.seen, QStringList {QStringLiteral("ReportDesigner")});
        QVERIFY(openAfterCancel);
        QCOMPARE(prompt().shown.size(), 2);
        QCOMPARE(prompt().shown[0].text, QStringLiteral("Сохранить изменения?"));
        QCOMPARE(prompt().shown[0].icon, QMessageBox::Question);
        QCOMPARE(prompt().shown[0].buttons,
                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        if (answer == QMessageBox::No) {
            QCOMPARE(storedForm(sleeveKey), before);
        } else {
            QCOMPARE(storedForm(sleeveKey), designed.save());
            QVERIFY(storedForm(sleeveKey) != before);
        }
    }

    // A template this version cannot read is said so and kept: no designer opens over an
    // empty report, so nothing blank is stored over it.
    void damagedTemplateIsReportedAndKept()
    {
        const QByteArray damaged = QByteArray::fromHex("00FF10203040");
        start({{3001, 1, QStringLiteral("Диск")}},
              {QStringLiteral("insert into TREPORT (FREPORTID, FFRF, FREPORT) values (700, "
                              "x'00FF10203040', 'Испорченная')")});
        openWindow();
        goToKey(700);
        {
            ModalWatch watch;
            clickTool(m_window->aShow);
            QVERIFY(watch.seen.isEmpty());
        }
        QCOMPARE(prompt().shown.size(), 1);
        QCOMPARE(prompt().shown[0].caption, QStringLiteral("Ошибка"));
        QVERIFY(m_window->frReport1.reportTemplate().isEmpty());

        ReportTemplate inDesigner;
        ModalWatch watch([&inDesigner](QWidget *modal) { closeDesigner(modal, &inDesigner); });
        clickTool(m_window->aEdit);
        QVERIFY(watch.seen.isEmpty());
        QCOMPARE(prompt().shown.size(), 2);
        QCOMPARE(prompt().shown[1].text, prompt().shown[0].text);
        QCOMPARE(storedForm(700), damaged);
    }

    // The templates without their window: a stored form read into a template, a template
    // stored back, a damaged form refused with the message and left alone, nothing stored
    // leaving the template as it was.
    void templatesReadAndStoreWithoutAWindow()
    {
        start({},
              {QStringLiteral("insert into TREPORT (FREPORTID, FFRF, FREPORT) values (700, "
                              "x'00FF10203040', 'Испорченная')"),
               QStringLiteral("insert into TREPORT (FREPORTID, FREPORT) values (701, "
                              "'Пустая')")});
        LabelTemplates templates(data().DefDatabase());
        TableDataSet &table = templates.table();
        table.open();
        QVERIFY(!templates.isEmpty());
        auto goTo = [&](int key) { return table.locate(LabelTemplates::KeyField, key); };
        QString error;

        QVERIFY(goTo(sleeveKey));
        QCOMPARE(templates.currentName(), StarterLabels::all().front().name);
        ReportTemplate read;
        QVERIFY2(templates.readCurrent(read, &error), qPrintable(error));
        QCOMPARE(read, StarterLabels::cdSleeve());

        ReportTemplate changed = read;
        changed.pages[0].margins = QMarginsF(3, 4, 5, 6);
        QVERIFY(templates.store(sleeveKey, changed));
        QCOMPARE(storedForm(sleeveKey), changed.save());
        QVERIFY(!templates.store(999, changed));

        QVERIFY(goTo(701));
        ReportTemplate kept = changed;
        QVERIFY(templates.readCurrent(kept, &error));
        QCOMPARE(kept, changed);

        QVERIFY(goTo(700));
        QVERIFY(!templates.readCurrent(kept, &error));
        QCOMPARE(error, QStringLiteral("Это не файл отчёта Kodra."));
        QVERIFY(kept.isEmpty());
        QCOMPARE(storedForm(700), QByteArray::fromHex("00FF10203040"));
        table.close();
    }

    void deleteAsks_data()
    {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("ok") << QMessageBox::Ok << true;
        QTest::newRow("cancel") << QMessageBox::Cancel << false;
    }
    void deleteAsks()
    {
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(bool, deleted);
        start();
        openWindow();
        goToKey(18);
        prompt().answers << answer;
        clickTool(m_window->aDel);
        QCOMPARE(prompt().shown.size(), 1);
        const RecordingPrompt::Shown &asked = prompt().shown[0];
        QCOMPARE(asked.text, QStringLiteral("Удалить Корешок коробки CD ?"));
        QCOMPARE(asked.caption, QStringLiteral("Удалить ?"));
        QCOMPARE(asked.icon, QMessageBox::Question);
        QCOMPARE(asked.buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(rows(QStringLiteral("select count(*) from TREPORT where FREPORTID=18"))
                     .first()
                     .first()
                     .toInt(),
                 deleted ? 0 : 1);
    }

    void deleteOnEmptyListAsksThenIsRefused()
    {
        start({}, {QStringLiteral("delete from TREPORT")});
        openWindow();
        prompt().answers << QMessageBox::Ok;
        clickTool(m_window->aDel);
        QCOMPARE(prompt().shown.size(), 2);
        QCOMPARE(prompt().shown[0].text, QStringLiteral("Удалить  ?"));
        QCOMPARE(prompt().shown[1].text,
                 QStringLiteral("dtReport: Cannot perform this operation on an empty dataset."));
    }

    void deletingNewRowDropsIt()
    {
        start();
        openWindow();
        newNamed(QStringLiteral("Черновик"));
        prompt().answers << QMessageBox::Ok;
        clickTool(m_window->aDel);
        QCOMPARE(prompt().shown.size(), 1);
        QCOMPARE(prompt().shown[0].text, QStringLiteral("Удалить Черновик ?"));
        QCOMPARE(m_window->dtReport.state(), QueryDataSet::State::Browse);
        m_window->dtReport.fetchAll();
        QCOMPARE(m_window->dtReport.fetchedCount(), 3);
        QCOMPARE(rows(QStringLiteral("select count(*) from TREPORT")).first().first().toInt(), 3);
    }

    void gridCtrlDeleteAsksItsOwnQuestion()
    {
        start();
        openWindow();
        goToKey(19);
        prompt().answers << QMessageBox::Ok;
        QTest::keyClick(m_window->DBGridEh1, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(prompt().shown.size(), 1);
        QCOMPARE(prompt().shown[0].text, QStringLiteral("Delete record?"));
        QVERIFY(rows(QStringLiteral("select * from TREPORT where FREPORTID=19")).isEmpty());
    }

    void emptyDiskListGivesNoLabels()
    {
        start();
        QVERIFY(data().dtDisk().isEmpty());
        openWindow();
        goToKey(sleeveKey);
        ModalWatch watch;
        clickTool(m_window->aShow);
        QVERIFY(watch.seen.isEmpty());
        QVERIFY(prompt().shown.isEmpty());
        // The template was loaded; it only had nothing to run over.
        QCOMPARE(m_window->frReport1.reportTemplate(), StarterLabels::cdSleeve());
        QVERIFY(m_window->frReport1.build().isEmpty());
    }

    void doubleClickShows()
    {
        start({{3001, 1, QStringLiteral("Единственный")}});
        openWindow();
        goToKey(18);
        QStringList texts;
        ModalWatch watch([&texts](QWidget *modal) {
            if (auto *preview = qobject_cast<ReportPreview *>(modal))
                texts = preview->report().pageTexts(0);
        });
        DBGrid *grid = m_window->DBGridEh1;
        const QRect cell
            = grid->visualRect(grid->dataSetModel()->index(m_window->dtReport.currentRow(), 0));
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(watch.seen, QStringList {QStringLiteral("ReportPreview")});
        QVERIFY(texts.contains(QStringLiteral("Единственный")));
    }

    void labelsForThirtyDisks_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QStringList>("values");
        QTest::newRow("sleeves") << sleeveKey << 15 << "labels-sleeve.png"
                                 << QStringList {"№ 1", "CD", "к Сборник 4029", "VOL4029",
                                                 "Музыка"};
        QTest::newRow("spines") << 18 << 1 << "labels-spine.png" << QStringList {"1", "30"};
        QTest::newRow("envelopes")
            << 19 << 6 << "labels-envelope.png" << QStringList {"CD", "к Сборник 4029"};
    }
    void labelsForThirtyDisks()
    {
        QFETCH(int, key);
        QFETCH(int, pages);
        QFETCH(QString, picture);
        QFETCH(QStringList, values);
        // Keys run against the list's order (by number), so the order seen is the list's.
        QList<std::tuple<int, int, QString>> disks;
        QStringList expected(30);
        for (int i = 0; i < 30; ++i) {
            const int number = 30 - i;
            const QString name = QStringLiteral("Сборник %1").arg(4000 + i);
            disks << std::make_tuple(4000 + i, number, name);
            expected[number - 1] = name;
        }
        start(disks);
        data().dtDisk().first();
        openWindow();
        goToKey(key);
        BuiltReport built;
        ModalWatch watch([&built](QWidget *modal) {
            if (auto *preview = qobject_cast<ReportPreview *>(modal))
                built = preview->report();
        });
        clickTool(m_window->aShow);
        QCOMPARE(watch.seen, QStringList {QStringLiteral("ReportPreview")});
        QCOMPARE(built.pageCount(), pages);
        QStringList names;
        for (int p = 0; p < built.pageCount(); ++p) {
            for (const QString &text : built.pageTexts(p)) {
                if (text.startsWith(QStringLiteral("Сборник")))
                    names << text;
            }
        }
        QCOMPARE(names, expected);
        // The first label holds the first disk's own values.
        const QStringList first = built.pageTexts(0);
        for (const QString &value : std::as_const(values))
            QVERIFY2(first.contains(value), qPrintable(value));
        // The run leaves the disk list on its last disk.
        QCOMPARE(data().dtDisk().currentRow(), 29);

        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("labels.pdf"));
        QVERIFY(ReportExporter::exportPdf(built, pdf));
        int count = 0;
        QString failed = PdfTools::pageCount(pdf, count);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        QCOMPARE(count, pages);
        QString text;
        failed = PdfTools::text(pdf, text);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        int from = 0;
        for (const QString &name : std::as_const(expected)) {
            const int at = int(text.indexOf(name, from));
            QVERIFY2(at >= 0, qPrintable(name));
            from = at + int(name.size());
        }
        QImage page;
        failed = PdfTools::render(pdf, 1, 60, page);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        QVERIFY(page.save(QDir(pictureFolder()).filePath(picture)));
    }
};

QTEST_MAIN(TestFreeRep)
#include "tst_freerep.moc"
