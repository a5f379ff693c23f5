#include "app/Catalogue.h"
#include "browser/uMain.h"
#include "reportengine/ReportBuilder.h"
#include "reportengine/ReportExporter.h"
#include "reports/StarterLabels.h"
#include "reports/uFreeRep.h"
#include "reportui/DesignCanvas.h"
#include "reportui/ObjectInspector.h"
#include "reportui/ReportDesigner.h"
#include "reportui/ReportPreview.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/ModalWatch.h"
#include "tests/support/PdfTools.h"
#include "tests/support/Typing.h"
#include "widgets/DBGrid.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <memory>

// The designer driven by real mouse and key events: objects placed, moved and resized on the
// canvas, texts bound to the disk list's fields, bands and the page set up; and a template
// designed from the label window stored and shown over the disks.
class TestDesigner : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainWindowFixture> m_f;
    std::unique_ptr<DataSetRowSource> m_source;
    std::unique_ptr<ReportDesigner> m_designer;

    // The mouse lands on whole pixels: a place chosen in millimetres is met to within a pixel
    // and the tenth the canvas rounds to.
    static bool near(double actual, double expected)
    {
        return qAbs(actual - expected) <= 25.4 / 96 + 0.05;
    }
    static bool near(const QRectF &actual, const QRectF &expected)
    {
        return near(actual.left(), expected.left()) && near(actual.top(), expected.top())
            && near(actual.width(), expected.width()) && near(actual.height(), expected.height());
    }
    static QString show(const QRectF &r)
    {
        return QStringLiteral("%1,%2 %3x%4")
            .arg(r.left())
            .arg(r.top())
            .arg(r.width())
            .arg(r.height());
    }
    // A point on the canvas given in millimetres from the band's top left corner.
    static QPoint at(DesignCanvas &canvas, int band, QPointF mm)
    {
        const QRectF r = canvas.bandRect(band);
        return (r.topLeft() + mm * canvas.scale()).toPoint();
    }
    static void clickTool(ReportDesigner &designer, const QString &command)
    {
        QAction *action = designer.command(command);
        QVERIFY(action);
        QWidget *button = nullptr;
        for (QToolBar *bar : designer.findChildren<QToolBar *>()) {
            if (QWidget *w = bar->widgetForAction(action))
                button = w;
        }
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    static void drag(QWidget *widget, QPoint from, QPoint to)
    {
        QTest::mousePress(widget, Qt::LeftButton, {}, from);
        // Through a point on the way, as a hand moves.
        QTest::mouseMove(widget, (from + to) / 2);
        QTest::mouseMove(widget, to);
        QTest::mouseRelease(widget, Qt::LeftButton, {}, to);
    }
    static ReportTemplate oneText(QRectF geometry)
    {
        ReportObject o;
        o.name = QStringLiteral("Text1");
        o.text = QStringLiteral("[frDisks.\"FNAME\"]");
        o.geometry = geometry;
        ReportBand band;
        band.kind = BandKind::MasterData;
        band.dataSource = QStringLiteral("frDisks");
        band.height = 20;
        band.objects.push_back(o);
        ReportTemplate t;
        t.pages.emplace_back();
        t.pages[0].bands.push_back(band);
        return t;
    }
    ReportDesigner &openDesigner(const ReportTemplate &t)
    {
        m_designer = std::make_unique<ReportDesigner>(t, QStringLiteral("Проба"), m_source.get(),
                                                      &m_f->main());
        m_designer->setModal(false);
        m_designer->show();
        MainWindowFixture::activate(m_designer.get());
        return *m_designer;
    }
    static QString pictureFolder()
    {
        const QString folder = QStringLiteral(KODRA_BINARY_DIR "/pictures");
        QDir().mkpath(folder);
        return folder;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_f = std::make_unique<MainWindowFixture>();
        const QString failed = m_f->start({
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                           "(3001, 1001, 1, 'Альфа', 1)"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                           "(3002, 1001, 1, 'Бета', 2)"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values "
                           "(3003, 1001, 1, 'Гамма', 3)"),
        });
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        m_source
            = std::make_unique<DataSetRowSource>(QStringLiteral("frDisks"), m_f->data().dtDisk());
    }
    void cleanup() { m_designer.reset(); }
    void cleanupTestCase()
    {
        m_source.reset();
        m_f.reset();
    }

    void designedInLabelWindowStoredAndShown()
    {
        TfMain &main = m_f->main();
        QVERIFY(MainWindowFixture::activate(&main));
        const QString name = QStringLiteral("Названия дисков");
        ReportTemplate designed;
        QRectF placed, moved, resized, keyed;
        QString bound;
        QStringList previewTexts;
        bool designerRan = false;

        auto inDesigner = [&](ReportDesigner &d) {
            designerRan = true;
            DesignCanvas &canvas = *d.canvas();
            QCOMPARE(d.result().pages.size(), size_t(1));
            QVERIFY(d.result().pages[0].bands.empty());
            d.command(QStringLiteral("addMasterData"))->trigger();
            QCOMPARE(canvas.page().bands.size(), size_t(1));
            QCOMPARE(canvas.page().bands[0].dataSource, QStringLiteral("frDisks"));

            // The text tool, then a click on the band puts a text box there.
            clickTool(d, QStringLiteral("addText"));
            QTest::mouseClick(&canvas, Qt::LeftButton, {}, at(canvas, 0, {20, 5}));
            ReportObject *object = canvas.selectedObject();
            QVERIFY(object);
            QCOMPARE(object->kind, ObjectKind::Text);
            placed = object->geometry;
            QVERIFY2(near(placed, QRectF(20, 5, 50, 6)), qPrintable(show(placed)));

            // Bound to FNAME from the list of the source's fields.
            QListWidget *fields = d.inspector()->fieldList();
            const QList<QListWidgetItem *> items
                = fields->findItems(QStringLiteral("FNAME"), Qt::MatchExactly);
            QCOMPARE(items.size(), 1);
            // A double click as the window system sends it: a click, then the double click.
            QTest::mousePress(fields->viewport(), Qt::LeftButton, {},
                              fields->visualItemRect(items[0]).center());
            QTest::mouseRelease(fields->viewport(), Qt::LeftButton, {},
                                fields->visualItemRect(items[0]).center());
            QTest::mouseDClick(fields->viewport(), Qt::LeftButton, {},
                               fields->visualItemRect(items[0]).center());
            bound = object->text;

            // Moved by its middle, then made larger by its corner.
            const QPoint middle = canvas.objectRect(0, 0).center().toPoint();
            drag(&canvas, middle, middle + QPointF(30, 4).toPoint() * canvas.scale());
            moved = object->geometry;
            const QPoint corner = canvas.objectRect(0, 0).bottomRight().toPoint();
            drag(&canvas, corner, corner + (QPointF(20, 3) * canvas.scale()).toPoint());
            resized = object->geometry;

            // One millimetre right, one taller with Shift.
            QTest::keyClick(&canvas, Qt::Key_Right);
            QTest::keyClick(&canvas, Qt::Key_Down, Qt::ShiftModifier);
            keyed = object->geometry;

            QVERIFY(d.grab().save(QDir(pictureFolder()).filePath(QStringLiteral("designer.png"))));
            designed = d.result();
            QTest::mouseClick(d.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Close),
                              Qt::LeftButton);
        };

        ModalWatch watch([&](QWidget *modal) {
            if (auto *d = qobject_cast<ReportDesigner *>(modal)) {
                inDesigner(*d);
            } else if (auto *preview = qobject_cast<ReportPreview *>(modal)) {
                for (int p = 0; p < preview->report().pageCount(); ++p)
                    previewTexts << preview->report().pageTexts(p);
                preview->aClose->trigger();
            } else if (auto *w = qobject_cast<TfFreeRep *>(modal)) {
                QTest::mouseClick(w->toolBar()->widgetForAction(w->aNew), Qt::LeftButton);
                DBGrid *grid = w->DBGridEh1;
                grid->setFocus();
                QTest::keyClick(grid, Qt::Key_F2);
                auto *edit = qobject_cast<QLineEdit *>(grid->indexWidget(grid->currentIndex()));
                QVERIFY(edit);
                typeText(edit, name);
                QTest::mouseClick(w->toolBar()->widgetForAction(w->aEdit), Qt::LeftButton);
                QTest::mouseClick(w->toolBar()->widgetForAction(w->aShow), Qt::LeftButton);
                QTest::keyClick(grid, Qt::Key_Escape);
            }
        });
        QTest::keyClick(&main, Qt::Key_F4);
        QCOMPARE(watch.seen,
                 (QStringList {QStringLiteral("TfFreeRep"), QStringLiteral("ReportDesigner"),
                               QStringLiteral("ReportPreview")}));
        QVERIFY(designerRan);
        QCOMPARE(bound, QStringLiteral("[frDisks.\"FNAME\"]"));
        QVERIFY2(near(moved, placed.translated(30, 4)), qPrintable(show(moved)));
        QVERIFY2(near(resized, moved.adjusted(0, 0, 20, 3)), qPrintable(show(resized)));
        QCOMPARE(keyed, resized.translated(1, 0).adjusted(0, 0, 0, 1));

        // Stored as designed, under the name typed.
        const auto stored = m_f->catalogue().rows(
            QStringLiteral("select FFRF from TREPORT where FREPORT='%1'").arg(name));
        QCOMPARE(stored.size(), 1);
        ReportTemplate back;
        QString error;
        QVERIFY2(back.load(stored[0][0].toByteArray(), &error), qPrintable(error));
        QCOMPARE(back, designed);
        QCOMPARE(back.pages[0].bands[0].objects[0].geometry, keyed);
        // Shown: one line per disk, in the list's order.
        QCOMPARE(previewTexts,
                 (QStringList {QStringLiteral("Альфа"), QStringLiteral("Бета"),
                               QStringLiteral("Гамма")}));
    }

    void blankPageOnlyWhenNone()
    {
        QCOMPARE(openDesigner(ReportTemplate()).result().pages.size(), size_t(1));
        QVERIFY(m_designer->result().pages[0].bands.empty());
        const ReportTemplate sleeve = StarterLabels::cdSleeve();
        QCOMPARE(openDesigner(sleeve).result(), sleeve);
    }

    void keys_data()
    {
        QTest::addColumn<QRectF>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QRectF>("expected");
        const QRectF r(10, 5, 40, 6);
        const int none = Qt::NoModifier;
        QTest::newRow("right") << r << int(Qt::Key_Right) << none << QRectF(11, 5, 40, 6);
        QTest::newRow("left") << r << int(Qt::Key_Left) << none << QRectF(9, 5, 40, 6);
        QTest::newRow("down") << r << int(Qt::Key_Down) << none << QRectF(10, 6, 40, 6);
        QTest::newRow("up") << r << int(Qt::Key_Up) << none << QRectF(10, 4, 40, 6);
        QTest::newRow("a tenth right")
            << r << int(Qt::Key_Right) << int(Qt::ControlModifier) << QRectF(10.1, 5, 40, 6);
        QTest::newRow("wider") << r << int(Qt::Key_Right) << int(Qt::ShiftModifier)
                               << QRectF(10, 5, 41, 6);
        QTest::newRow("narrower") << r << int(Qt::Key_Left) << int(Qt::ShiftModifier)
                                  << QRectF(10, 5, 39, 6);
        QTest::newRow("taller") << r << int(Qt::Key_Down) << int(Qt::ShiftModifier)
                                << QRectF(10, 5, 40, 7);
        QTest::newRow("lower") << r << int(Qt::Key_Up) << int(Qt::ShiftModifier)
                               << QRectF(10, 5, 40, 5);
        QTest::newRow("stops at the page's left edge")
            << QRectF(0, 5, 40, 6) << int(Qt::Key_Left) << none << QRectF(0, 5, 40, 6);
        QTest::newRow("stops at the band's top")
            << QRectF(10, 0, 40, 6) << int(Qt::Key_Up) << none << QRectF(10, 0, 40, 6);
        QTest::newRow("no narrower than a millimetre")
            << QRectF(10, 5, 1, 6) << int(Qt::Key_Left) << int(Qt::ShiftModifier)
            << QRectF(10, 5, 1, 6);
    }
    void keys()
    {
        QFETCH(QRectF, start);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QRectF, expected);
        ReportDesigner &d = openDesigner(oneText(start));
        DesignCanvas &canvas = *d.canvas();
        QTest::mouseClick(&canvas, Qt::LeftButton, {}, canvas.objectRect(0, 0).center().toPoint());
        QCOMPARE(canvas.selection(), (DesignCanvas::Selection {0, 0}));
        QTest::keyClick(&canvas, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(d.result().pages[0].bands[0].objects[0].geometry, expected);
    }

    void bandGrowsWithItsObjects()
    {
        ReportDesigner &d = openDesigner(oneText(QRectF(10, 12, 40, 6)));
        DesignCanvas &canvas = *d.canvas();
        QTest::mouseClick(&canvas, Qt::LeftButton, {}, canvas.objectRect(0, 0).center().toPoint());
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(&canvas, Qt::Key_Down);
        QCOMPARE(d.result().pages[0].bands[0].height, 22.0);
        // The band's lower edge dragged up stops at its lowest object.
        const QPoint edge(int(canvas.bandRect(0).center().x()),
                          qRound(canvas.bandRect(0).bottom()));
        drag(&canvas, edge, edge - QPoint(0, 60));
        QCOMPARE(d.result().pages[0].bands[0].height, 22.0);
        drag(&canvas, edge, edge + (QPointF(0, 10) * canvas.scale()).toPoint());
        QVERIFY(near(d.result().pages[0].bands[0].height, 32));
    }

    void bandsKeepPrintOrder()
    {
        ReportDesigner &d = openDesigner(ReportTemplate());
        for (const char *name : {"addMasterData", "addPageFooter", "addReportTitle",
                                 "addMasterFooter", "addPageHeader"})
            d.command(QString::fromLatin1(name))->trigger();
        std::vector<BandKind> kinds;
        for (const ReportBand &band : d.result().pages[0].bands)
            kinds.push_back(band.kind);
        QCOMPARE(kinds,
                 (std::vector<BandKind> {BandKind::ReportTitle, BandKind::PageHeader,
                                         BandKind::MasterData, BandKind::MasterFooter,
                                         BandKind::PageFooter}));
        QCOMPARE(d.result().pages[0].bands[2].dataSource, QStringLiteral("frDisks"));
    }

    void pagesAddedAndRemoved()
    {
        ReportTemplate t = oneText(QRectF(10, 5, 40, 6));
        t.pages[0].size = QSizeF(148, 105);
        ReportDesigner &d = openDesigner(t);
        QAction *removePage = d.command(QStringLiteral("removePage"));
        QVERIFY(!removePage->isEnabled());
        clickTool(d, QStringLiteral("addPage"));
        QCOMPARE(d.result().pages.size(), size_t(2));
        // A new page is blank, on the paper of the one it follows, and is the one shown.
        QCOMPARE(d.result().pages[1].size, QSizeF(148, 105));
        QVERIFY(d.result().pages[1].bands.empty());
        QCOMPARE(d.canvas()->pageIndex(), 1);
        QVERIFY(removePage->isEnabled());
        clickTool(d, QStringLiteral("removePage"));
        QCOMPARE(d.result(), t);
        QCOMPARE(d.canvas()->pageIndex(), 0);
        QVERIFY(!removePage->isEnabled());
    }

    void undoTakesBackOneGestureAtATime()
    {
        const ReportTemplate start = oneText(QRectF(10, 5, 40, 6));
        ReportDesigner &d = openDesigner(start);
        DesignCanvas &canvas = *d.canvas();
        QAction *undo = d.command(QStringLiteral("undo"));
        QVERIFY(!undo->isEnabled());

        // A drag, however many moves it takes, is one change.
        const QPoint middle = canvas.objectRect(0, 0).center().toPoint();
        drag(&canvas, middle, middle + (QPointF(20, 3) * canvas.scale()).toPoint());
        const ReportTemplate dragged = d.result();
        QVERIFY(dragged != start);
        clickTool(d, QStringLiteral("addEllipse"));
        QTest::mouseClick(&canvas, Qt::LeftButton, {}, at(canvas, 0, {120, 2}));
        QCOMPARE(d.result().pages[0].bands[0].objects.size(), size_t(2));
        QTest::keyClick(&canvas, Qt::Key_Right);

        QVERIFY(undo->isEnabled());
        QTest::keyClick(&canvas, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(d.result().pages[0].bands[0].objects.size(), size_t(2));
        QTest::keyClick(&canvas, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(d.result(), dragged);
        QTest::keyClick(&canvas, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(d.result(), start);
        QVERIFY(!undo->isEnabled());
        // Nothing is selected that is gone, and the canvas goes on working.
        QCOMPARE(canvas.selection(), DesignCanvas::Selection {});
        QTest::mouseClick(&canvas, Qt::LeftButton, {}, canvas.objectRect(0, 0).center().toPoint());
        QTest::keyClick(&canvas, Qt::Key_Down);
        QCOMPARE(d.result().pages[0].bands[0].objects[0].geometry, QRectF(10, 6, 40, 6));
    }

    void deleteKeyRemovesObjectThenBand()
    {
        ReportDesigner &d = openDesigner(oneText(QRectF(10, 5, 40, 6)));
        DesignCanvas &canvas = *d.canvas();
        QTest::mouseClick(&canvas, Qt::LeftButton, {}, canvas.objectRect(0, 0).center().toPoint());
        QTest::keyClick(&canvas, Qt::Key_Delete);
        QVERIFY(d.result().pages[0].bands[0].objects.empty());
        QCOMPARE(canvas.selection(), (DesignCanvas::Selection {0, -1}));
        QTest::keyClick(&canvas, Qt::Key_Delete);
        QVERIFY(d.result().pages[0].bands.empty());
        QVERIFY(!d.command(QStringLiteral("remove"))->isEnabled());
    }

    void everyObjectKindPlaced_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("kind");
        QTest::newRow("rich text") << "addRichText" << int(ObjectKind::RichText);
        QTest::newRow("check box") << "addCheckBox" << int(ObjectKind::CheckBox);
        QTest::newRow("rectangle") << "addRectangle" << int(ObjectKind::Rectangle);
        QTest::newRow("rounded") << "addRoundedRectangle" << int(ObjectKind::RoundedRectangle);
        QTest::newRow("ellipse") << "addEllipse" << int(ObjectKind::Ellipse);
        QTest::newRow("line") << "addLine" << int(ObjectKind::Line);
    }
    void everyObjectKindPlaced()
    {
        QFETCH(QString, command);
        QFETCH(int, kind);
        ReportDesigner &d = openDesigner(oneText(QRectF(10, 5, 40, 6)));
        DesignCanvas &canvas = *d.canvas();
        clickTool(d, command);
        QTest::mouseClick(&canvas, Qt::LeftButton, {}, at(canvas, 0, {100, 8}));
        const auto &objects = d.result().pages[0].bands[0].objects;
        QCOMPARE(objects.size(), size_t(2));
        QCOMPARE(int(objects[1].kind), kind);
        QVERIFY(near(objects[1].geometry.left(), 100));
        QVERIFY(near(objects[1].geometry.top(), 8));
        QVERIFY(objects[1].name != objects[0].name);
        // The tool places one object; the next click selects.
        QTest::mouseClick(&canvas, Qt::LeftButton, {}, at(canvas, 0, {180, 2}));
        QCOMPARE(d.result().pages[0].bands[0].objects.size(), size_t(2));
    }

    void inspectorSetsTextProperties()
    {
        ReportDesigner &d = openDesigner(oneText(QRectF(10, 5, 40, 6)));
        DesignCanvas &canvas = *d.canvas();
        QTest::mouseClick(&canvas, Qt::LeftButton, {}, canvas.objectRect(0, 0).center().toPoint());
        ObjectInspector &inspector = *d.inspector();

        auto *size = inspector.findChild<QDoubleSpinBox *>(QStringLiteral("fontSize"));
        size->setFocus();
        size->selectAll();
        QTest::keyClicks(size, QStringLiteral("14"));
        QTest::keyClick(size, Qt::Key_Return);
        for (const char *box : {"bold", "italic", "frame", "filled"}) {
            auto *check = inspector.findChild<QCheckBox *>(QLatin1String(box));
            QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(6, check->height() / 2));
        }
        auto *align = inspector.findChild<QComboBox *>(QStringLiteral("hAlign"));
        align->setFocus();
        QTest::keyClick(align, Qt::Key_Down); // centred
        auto *format = inspector.findChild<QComboBox *>(QStringLiteral("format"));
        format->setFocus();
        QTest::keyClick(format, Qt::Key_End); // date
        QPlainTextEdit *text = inspector.textEditor();
        text->setFocus();
        text->selectAll();
        typeText(text, QStringLiteral("Диск "));
        // A field chosen in the list and Enter: its expression at the cursor.
        QListWidget *fields = inspector.fieldList();
        const QList<QListWidgetItem *> fnn
            = fields->findItems(QStringLiteral("FNN"), Qt::MatchExactly);
        QCOMPARE(fnn.size(), 1);
        fields->scrollToItem(fnn[0]);
        QTest::mouseClick(fields->viewport(), Qt::LeftButton, {},
                          fields->visualItemRect(fnn[0]).center());
        QTest::keyClick(fields, Qt::Key_Return);

        const ReportObject &o = d.result().pages[0].bands[0].objects[0];
        QCOMPARE(o.fontSize, 14.0);
        QVERIFY(o.bold);
        QVERIFY(o.italic);
        QVERIFY(!o.underline);
        QVERIFY(o.frame);
        QVERIFY(o.fill.isValid());
        QCOMPARE(o.alignment, Qt::AlignHCenter | Qt::AlignTop);
        QCOMPARE(o.format, ValueFormat::Date);
        QCOMPARE(o.text, QStringLiteral("Диск [frDisks.\"FNN\"]"));
        // What was not touched stays.
        QCOMPARE(o.fontFamily, QStringLiteral("Arial"));
        QCOMPARE(o.geometry, QRectF(10, 5, 40, 6));
    }

    void inspectorKeepsWhatItDoesNotEdit()
    {
        // Values finer than the editors show and a font this machine lacks.
        ReportTemplate t = oneText(QRectF(10.25, 5.125, 40.05, 6.333));
        t.pages[0].margins = QMarginsF(12.345, 10, 10, 10);
        ReportObject &o = t.pages[0].bands[0].objects[0];
        o.fontFamily = QStringLiteral("Kodra Missing Sans");
        o.frameWidth = 0.375;
        o.fontSize = 11.25;
        o.alignment = Qt::AlignRight | Qt::AlignBottom;
        ReportDesigner &d = openDesigner(t);
        DesignCanvas &canvas = *d.canvas();
        QTest::mouseClick(&canvas, Qt::LeftButton, {}, canvas.objectRect(0, 0).center().toPoint());
        auto *bold = d.inspector()->findChild<QCheckBox *>(QStringLiteral("bold"));
        QTest::mouseClick(bold, Qt::LeftButton, {}, QPoint(6, bold->height() / 2));
        ReportTemplate expected = t;
        expected.pages[0].bands[0].objects[0].bold = true;
        QCOMPARE(d.result(), expected);
        // The vertical alignment alone changes the vertical part only.
        auto *vertical = d.inspector()->findChild<QComboBox *>(QStringLiteral("vAlign"));
        vertical->setFocus();
        QTest::keyClick(vertical, Qt::Key_Home);
        expected.pages[0].bands[0].objects[0].alignment = Qt::AlignRight | Qt::AlignTop;
        QCOMPARE(d.result(), expected);
        // The page's width alone, its margins as they were.
        QTest::mouseClick(&canvas, Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(canvas.selection(), DesignCanvas::Selection {});
        auto *width = d.inspector()->findChild<QDoubleSpinBox *>(QStringLiteral("pageWidth"));
        width->setFocus();
        width->selectAll();
        QTest::keyClicks(width, QStringLiteral("200"));
        QTest::keyClick(width, Qt::Key_Return);
        expected.pages[0].size.setWidth(200);
        QCOMPARE(d.result(), expected);
    }

    void pageSetup()
    {
        ReportDesigner &d = openDesigner(ReportTemplate());
        ObjectInspector &inspector = *d.inspector();
        auto *orientation = inspector.findChild<QComboBox *>(QStringLiteral("orientation"));
        QVERIFY(orientation->isVisible());
        orientation->setFocus();
        QTest::keyClick(orientation, Qt::Key_Down);
        QCOMPARE(d.result().pages[0].size, QSizeF(297, 210));
        auto *paper = inspector.findChild<QComboBox *>(QStringLiteral("paper"));
        paper->setFocus();
        QTest::keyClick(paper, Qt::Key_Down); // A5, still landscape
        QCOMPARE(d.result().pages[0].size, QSizeF(210, 148));
        auto *left = inspector.findChild<QDoubleSpinBox *>(QStringLiteral("marginLeft"));
        left->setFocus();
        left->selectAll();
        QTest::keyClicks(left, QStringLiteral("15"));
        QTest::keyClick(left, Qt::Key_Return);
        QCOMPARE(d.result().pages[0].margins, QMarginsF(15, 10, 10, 10));
        // Enter ended the typing only.
        QVERIFY(d.isVisible());
        // A band's source typed in; its height stays as it was.
        d.command(QStringLiteral("addMasterData"))->trigger();
        auto *source = inspector.findChild<QComboBox *>(QStringLiteral("bandSource"));
        QVERIFY(source->isVisible());
        source->setFocus();
        source->lineEdit()->selectAll();
        typeText(source->lineEdit(), QStringLiteral("frOther"));
        QCOMPARE(d.result().pages[0].bands[0].dataSource, QStringLiteral("frOther"));
        QCOMPARE(d.result().pages[0].bands[0].height, 20.0);
        // The canvas draws the new paper.
        QVERIFY(near(d.canvas()->pageRect().width() / d.canvas()->scale(), 210));
    }

    // The canvas draws each object as the PDF page prints it: the same marks in the same
    // places. A check box is crossed only when it holds, a rounded rectangle has the print's
    // corners, a text stands inside its box's insets.
    void canvasDrawsWhatThePdfPrints()
    {
        std::vector<ReportObject> objects;
        auto add = [&](ObjectKind kind, const QString &text, QRectF geometry) {
            ReportObject o;
            o.kind = kind;
            o.text = text;
            o.geometry = geometry;
            o.frame = true;
            o.frameWidth = 0.4;
            o.fontSize = 14;
            objects.push_back(o);
        };
        add(ObjectKind::Text, QStringLiteral("Наклейка №7"), QRectF(10, 4, 60, 12));
        add(ObjectKind::CheckBox, QStringLiteral("1"), QRectF(80, 4, 8, 8));
        add(ObjectKind::CheckBox, QStringLiteral("0"), QRectF(95, 4, 8, 8));
        add(ObjectKind::RoundedRectangle, QString(), QRectF(110, 4, 40, 24));
        add(ObjectKind::Ellipse, QString(), QRectF(155, 4, 30, 20));
        add(ObjectKind::Line, QString(), QRectF(10, 22, 60, 10));
        add(ObjectKind::Rectangle, QString(), QRectF(80, 18, 20, 10));
        objects.back().fill = QColor(0x40, 0x40, 0x40);
        ReportBand band;
        band.kind = BandKind::ReportTitle;
        band.height = 40;
        band.objects = objects;
        ReportPage page;
        page.bands.push_back(band);
        ReportTemplate t;
        t.pages.push_back(page);

        DesignCanvas canvas(t);
        canvas.setZoom(2);
        const QImage screen = canvas.grab().toImage();
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("canvas.pdf"));
        QString error;
        QVERIFY2(ReportExporter::exportPdf(ReportBuilder(t, {}).build(), pdf, &error),
                 qPrintable(error));
        QImage paper;
        // The same pixels to the millimetre as the canvas at its zoom.
        const QString failed = PdfTools::render(pdf, 1, 192, paper);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        const double perMm = canvas.scale();
        QCOMPARE(perMm, 192 / 25.4);

        auto inked = [](const QImage &image, QPointF p) {
            const QPoint px = p.toPoint();
            return image.rect().contains(px) && qGray(image.pixel(px)) < 160;
        };
        // Ink of one picture with none within two pixels in the other.
        auto unmatched = [&](const QImage &a, QPointF aCorner, const QImage &b, QPointF bCorner,
                             QSizeF size, int &ink) {
            int lone = 0;
            for (int y = 0; y < qCeil(size.height()); ++y)
                for (int x = 0; x < qCeil(size.width()); ++x) {
                    if (!inked(a, aCorner + QPointF(x, y)))
                        continue;
                    ++ink;
                    bool near = false;
                    for (int dy = -2; dy <= 2 && !near; ++dy)
                        for (int dx = -2; dx <= 2 && !near; ++dx)
                            near = inked(b, bCorner + QPointF(x + dx, y + dy));
                    lone += !near;
                }
            return lone;
        };
        QStringList differing;
        for (int i = 0; i < int(objects.size()); ++i) {
            const double margin = perMm; // a millimetre round the box
            const QRectF onScreen = canvas.objectRect(0, i).adjusted(-margin, -margin, 0, 0);
            const QPointF onPaper
                = (objects[size_t(i)].geometry.topLeft() + QPointF(0, page.margins.top())) * perMm
                - QPointF(margin, margin);
            const QSizeF size = onScreen.size() + QSizeF(2 * margin, 2 * margin);
            int screenInk = 0;
            int paperInk = 0;
            const int screenLone
                = unmatched(screen, onScreen.topLeft(), paper, onPaper, size, screenInk);
            const int paperLone
                = unmatched(paper, onPaper, screen, onScreen.topLeft(), size, paperInk);
            const QString what = QStringLiteral("object %1: ink %2 on screen, %3 on paper; "
                                                "unmatched %4 and %5")
                                     .arg(i)
                                     .arg(screenInk)
                                     .arg(paperInk)
                                     .arg(screenLone)
                                     .arg(paperLone);
            QVERIFY2(paperInk > 50, qPrintable(what));
            if (screenLone > screenInk / 50 || paperLone > paperInk / 50)
                differing << what;
        }
        QVERIFY2(differing.isEmpty(), qPrintable(differing.join(QStringLiteral("; "))));
        QVERIFY(screen.save(QDir(pictureFolder()).filePath(QStringLiteral("canvas-marks.png"))));
        QVERIFY(paper.save(QDir(pictureFolder()).filePath(QStringLiteral("paper-marks.png"))));
    }

    void starterSleevePicture()
    {
        ReportDesigner &d = openDesigner(StarterLabels::cdSleeve());
        DesignCanvas &canvas = *d.canvas();
        QTest::mouseClick(&canvas, Qt::LeftButton, {}, canvas.objectRect(0, 1).center().toPoint());
        QCOMPARE(canvas.selection(), (DesignCanvas::Selection {0, 1}));
        QCOMPARE(d.inspector()->textEditor()->toPlainText(), QStringLiteral("[frDisks.\"FNAME\"]"));
        QVERIFY(
            d.grab().save(QDir(pictureFolder()).filePath(QStringLiteral("designer-sleeve.png"))));
        // Looking is not changing.
        QCOMPARE(d.result(), StarterLabels::cdSleeve());
    }
};

QTEST_MAIN(TestDesigner)
#include "tst_designer.moc"
