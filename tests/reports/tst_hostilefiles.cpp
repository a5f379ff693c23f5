#include "app/Catalogue.h"
#include "browser/uMain.h"
#include "reportengine/BuiltReport.h"
#include "reportengine/ReportExporter.h"
#include "reportengine/ReportStream.h"
#include "reports/uFreeRep.h"
#include "reportui/ReportDesigner.h"
#include "reportui/ReportPreview.h"
#include "store/Connection.h"
#include "store/SqlStatement.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/ModalWatch.h"
#include "tests/support/ResourceWatchdog.h"
#include "tests/support/ScriptedFilePicker.h"
#include "widgets/DBGrid.h"

#include <QAction>
#include <QDataStream>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <functional>
#include <limits>
#include <memory>
#include <sys/stat.h>

// Templates and built reports as damaged disks, other versions and hostile hands make them,
// through the real loaders: the label window over a stored template, the preview's "Открыть"
// over a file. Each ends with a clear message or a report that shows, prints and exports, in
// bounded time and memory, and the stored template is never written over.
namespace {

using Change = std::function<void(ReportObject &)>;
constexpr int FrameHeader = 16;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

const QString Damaged = QStringLiteral("Файл отчёта повреждён и не может быть прочитан.");
const QString Unknown = QStringLiteral("Это не файл отчёта Kodra.");
const QString Newer = QStringLiteral("Файл отчёта записан более новой версией программы.");

ReportObject box(ObjectKind kind, const QString &text, const QRectF &geometry)
{
    ReportObject o;
    o.kind = kind;
    o.text = text;
    o.geometry = geometry;
    return o;
}

// A label of one disk: its name as text and as rich text. Cases change one of the two.
std::vector<ReportObject> labelObjects()
{
    return {box(ObjectKind::Text, QStringLiteral("[FNAME]"), QRectF(5, 2, 60, 8)),
            box(ObjectKind::RichText, QStringLiteral("<b>[FNAME]</b> диск"), QRectF(5, 12, 60, 10)),
            box(ObjectKind::Rectangle, QString(), QRectF(2, 1, 70, 24))};
}

ReportTemplate labelTemplate(const std::vector<ReportObject> &objects)
{
    ReportBand band;
    band.kind = BandKind::MasterData;
    band.height = 30;
    band.dataSource = QStringLiteral("frDisks");
    band.objects = objects;
    ReportPage page;
    page.bands.push_back(band);
    ReportTemplate t;
    t.pages.push_back(page);
    return t;
}

BuiltReport labelBuilt(const std::vector<ReportObject> &objects)
{
    BuiltReport r;
    r.title = QStringLiteral("Наклейки");
    BuiltPage page;
    page.objects = objects;
    r.pages.push_back(page);
    return r;
}

std::vector<ReportObject> changed(int index, const Change &change)
{
    std::vector<ReportObject> objects = labelObjects();
    change(objects[size_t(index)]);
    return objects;
}

// The framed bytes with a quint32 of the payload replaced, framed again as the program frames
// (so that only the value is wrong, not the checksum).
QByteArray patched(const QByteArray &framed, int payloadOffset, quint32 value)
{
    QByteArray payload = framed.mid(FrameHeader);
    qToBigEndian(value, payload.data() + payloadOffset);
    return ReportStream::frame(framed.left(8), 1, payload);
}

QByteArray randomBytes(const QByteArray &magic, int size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes = magic;
    while (bytes.size() < size)
        bytes += char(random.generate() & 0xff);
    return bytes;
}

// What the header says changed without the payload: a version and a length of nonsense.
QByteArray torn(const QByteArray &framed)
{
    QByteArray bytes = framed;
    for (int i = 8; i < 14; ++i)
        bytes[i] = char(0xA5 ^ i);
    return bytes;
}

} // namespace

class TestHostileFiles : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_fifo;
    std::unique_ptr<MainWindowFixture> m_f;

    static constexpr int Key = 700;
    static constexpr auto TimeBound = std::chrono::seconds(90);
    static constexpr qint64 MemoryBound = qint64(1) << 30;

    // The cases both loaders share: a change to an object of the label, or to the file.
    // Columns: the template's bytes, the built report's bytes, the message (empty: readable).
    void hostileCases()
    {
        QTest::addColumn<QByteArray>("templateBytes");
        QTest::addColumn<QByteArray>("builtBytes");
        QTest::addColumn<QString>("message");
        auto both = [](const char *name, int object, const Change &change, const QString &message) {
            QTest::newRow(name) << labelTemplate(changed(object, change)).save()
                                << labelBuilt(changed(object, change)).save() << message;
        };
        const QByteArray goodTemplate = labelTemplate(labelObjects()).save();
        const QByteArray goodBuilt = labelBuilt(labelObjects()).save();

        QTest::newRow("truncated") << goodTemplate.left(goodTemplate.size() / 2)
                                   << goodBuilt.left(goodBuilt.size() / 2) << Damaged;
        QTest::newRow("random") << randomBytes("KODRARPT", 4096, 1)
                                << randomBytes("KODRAPRN", 4096, 2) << Damaged;
        QTest::newRow("foreign") << randomBytes("PK", 4096, 3) << randomBytes("%PDF", 4096, 4)
                                 << Unknown;
        // An empty stored form is a template not designed yet, so the window gets one byte.
        QTest::newRow("empty") << QByteArray("K") << QByteArray() << Unknown;
        QTest::newRow("damaged header") << torn(goodTemplate) << torn(goodBuilt) << Damaged;
        QByteArray newerTemplate = goodTemplate;
        QByteArray newerBuilt = goodBuilt;
        newerTemplate[9] = newerBuilt[9] = 2;
        QTest::newRow("newer version") << newerTemplate << newerBuilt << Newer;
        // Page count, then (template) the object count of the first band.
        QTest::newRow("absurd page count")
            << patched(goodTemplate, 0, 0xffffffffu)
            << patched(goodBuilt, 4 + 2 * int(QStringLiteral("Наклейки").size()), 0x7fffffffu)
            << Damaged;
        QTest::newRow("absurd object count")
            << patched(goodTemplate, 4 + 6 * 8 + 4 + 1 + 8 + 4 + 2 * 7, 0x7fffffffu)
            << patched(goodBuilt, 4 + 2 * 8 + 4 + 2 * 8, 0x7fffffffu) << Damaged;
        QTest::newRow("oversized text")
            << labelTemplate(changed(0, [](ReportObject &o) { o.text = QString(1 << 21, 'x'); }))
                   .save()
            << labelBuilt(changed(0, [](ReportObject &o) { o.text = QString(1 << 21, 'x'); }))
                   .save()
            << Damaged;

        both(
            "empty font", 0, [](ReportObject &o) { o.fontFamily.clear(); }, QString());
        both(
            "empty rich text font", 1, [](ReportObject &o) { o.fontFamily.clear(); }, QString());
        both(
            "font of commas", 0, [](ReportObject &o) { o.fontFamily = QStringLiteral(" , ,"); },
            QString());
        both(
            "huge font size", 0, [](ReportObject &o) { o.fontSize = 1e12; }, Damaged);
        both(
            "zero font size", 0, [](ReportObject &o) { o.fontSize = 0; }, Damaged);
        both(
            "NaN font size", 1, [](ReportObject &o) { o.fontSize = NaN; }, Damaged);
        both(
            "negative geometry", 0, [](ReportObject &o) { o.geometry = QRectF(-1e9, -5, -1e9, 8); },
            Damaged);
        both(
            "small negative size", 2,
            [](ReportObject &o) { o.geometry = QRectF(40, 20, -30, -15); }, QString());
        both(
            "NaN geometry", 2, [](ReportObject &o) { o.geometry.setWidth(NaN); }, Damaged);
        both(
            "infinite geometry", 0,
            [](ReportObject &o) { o.geometry.setTop(std::numeric_limits<double>::infinity()); },
            Damaged);
        both(
            "huge frame", 2, [](ReportObject &o) { o.frameWidth = 1e15; }, Damaged);
        both(
            "alignment beyond alignment", 0,
            [](ReportObject &o) { o.alignment = Qt::Alignment(0x7fff0000); }, Damaged);
        both(
            "transparent colours", 0,
            [](ReportObject &o) {
                o.color = QColor::fromRgba(0);
                o.fill = QColor::fromRgba(0x01ffffff);
            },
            QString());
        both(
            "image of /dev/zero", 1,
            [](ReportObject &o) { o.text = QStringLiteral("<img src=\"/dev/zero\">[FNAME]"); },
            QString());
        both(
            "image of a named pipe", 1,
            [this](ReportObject &o) { o.text = QStringLiteral("<img src=\"%1\">").arg(m_fifo); },
            QString());
        both(
            "style sheet of a named pipe", 1,
            [this](ReportObject &o) {
                o.text = QStringLiteral("<link rel=\"stylesheet\" href=\"file://%1\">"
                                        "<p style=\"background-image: url(/dev/zero)\">x</p>")
                             .arg(m_fifo);
            },
            QString());
        both(
            "huge image and font in rich text", 1,
            [](ReportObject &o) {
                o.text = QStringLiteral("<img width=\"100000000\" height=\"100000000\" src=\"a\">"
                                        "<span style=\"font-size:1000000pt\">Ж</span>");
            },
            QString());
        both(
            "deeply nested rich text", 1,
            [](ReportObject &o) { o.text = QStringLiteral("<table><tr><td>").repeated(2000); },
            QString());
        both(
            "oversized rich text", 1,
            [](ReportObject &o) { o.text = QStringLiteral("<b>x</b>").repeated(20000); }, Damaged);
    }

    // Stores bytes as the template Key in the main window's own running transaction, as the
    // label window sees it.
    void storeTemplate(const QByteArray &bytes)
    {
        SqlStatement insert(m_f->data().DefDatabase(), QStringLiteral("ibsHostile"));
        insert.setSql(QStringLiteral("insert into TREPORT (FREPORTID, FFRF, FREPORT) values "
                                     "(:FREPORTID, :FFRF, 'Чужая')"));
        insert.setParam(QStringLiteral("FREPORTID"), Key);
        insert.setParam(QStringLiteral("FFRF"), bytes);
        insert.execute();
    }

    QByteArray storedTemplate()
    {
        SqlStatement select(m_f->data().DefDatabase(), QStringLiteral("ibsHostileRead"));
        select.setSql(QStringLiteral("select FFRF from TREPORT where FREPORTID = :FREPORTID"));
        select.setParam(QStringLiteral("FREPORTID"), Key);
        select.execute();
        const QByteArray bytes = select.hasRow()
            ? select.fieldByName(QStringLiteral("FFRF")).toByteArray()
            : QByteArray("(gone)");
        select.close();
        return bytes;
    }

    // Paints a preview as the screen would, and a designer with its canvas.
    static void paintPreview(ReportPreview *preview)
    {
        preview->view()->updatePreview();
        preview->aWholePage->trigger();
        QVERIFY(!preview->grab().isNull());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_fifo = m_dir.filePath(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(m_fifo).constData(), 0600), 0);
    }

    void cleanup() { m_f.reset(); }

    void storedTemplateInTheLabelWindow_data() { hostileCases(); }

    // "Показать" and "Редактировать" on the stored bytes: a template that cannot be read is
    // said so both times and no designer opens on it; one that can shows and is designed. The
    // row is the same bytes afterwards either way.
    void storedTemplateInTheLabelWindow()
    {
        QFETCH(QByteArray, templateBytes);
        QFETCH(QString, message);
        m_f = std::make_unique<MainWindowFixture>();
        const QString failed = m_f->start(
            {QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME) values (3001, "
                            "1001, 1, 'Диск с <b>разметкой</b>')")});
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        storeTemplate(templateBytes);
        QCOMPARE(storedTemplate(), templateBytes);

        ResourceWatchdog watchdog(TimeBound, MemoryBound,
                                  QString::fromLatin1(QTest::currentDataTag()));
        TfFreeRep window(m_f->data(), &m_f->main());
        window.setModal(false);
        window.show();
        window.dtReport.fetchAll();
        QVERIFY(window.dtReport.locate(QStringLiteral("FREPORTID"), Key));
        RecordingPrompt &prompt = m_f->prompt();
        {
            ModalWatch watch([](QWidget *modal) {
                if (auto *preview = qobject_cast<ReportPreview *>(modal)) {
                    paintPreview(preview);
                    QCOMPARE(preview->report().pageCount(), 1);
                }
                modal->close();
            });
            window.aShowExecute();
            QCOMPARE(watch.seen,
                     message.isEmpty() ? QStringList {QStringLiteral("ReportPreview")}
                                       : QStringList());
        }
        {
            ModalWatch watch([](QWidget *modal) {
                if (auto *designer = qobject_cast<ReportDesigner *>(modal)) {
                    QVERIFY(!designer->grab().isNull());
                    QTest::mouseClick(
                        designer->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Close),
                        Qt::LeftButton);
                }
            });
            window.aEditExecute();
            QCOMPARE(watch.seen,
                     message.isEmpty() ? QStringList {QStringLiteral("ReportDesigner")}
                                       : QStringList());
        }
        QStringList shown;
        for (const RecordingPrompt::Shown &s : prompt.shown)
            shown << s.text;
        const QStringList expected
            = message.isEmpty() ? QStringList() : QStringList {message, message};
        QCOMPARE(shown, expected);
        QCOMPARE(storedTemplate(), templateBytes);
    }

    void builtReportOpenedInThePreview_data() { hostileCases(); }

    // "Открыть" in the preview: a file that cannot be read is said so and the report shown
    // stays; one that can is shown, printed to PDF and exported in every format.
    void builtReportOpenedInThePreview()
    {
        QFETCH(QByteArray, builtBytes);
        QFETCH(QString, message);
        const QString file = m_dir.filePath(QStringLiteral("hostile.kdr"));
        {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QCOMPARE(out.write(builtBytes), builtBytes.size());
        }
        ResourceWatchdog watchdog(TimeBound, MemoryBound,
                                  QString::fromLatin1(QTest::currentDataTag()));
        RecordingPrompt prompt;
        ScriptedFilePicker picker;
        picker.answers = QStringList {file};
        const BuiltReport before = labelBuilt(labelObjects());
        ReportPreview preview(before);
        preview.setModal(false);
        preview.show();
        preview.aOpenExecute();
        QStringList shown;
        for (const RecordingPrompt::Shown &s : prompt.shown)
            shown << s.text;
        const QStringList expected = message.isEmpty() ? QStringList() : QStringList {message};
        QCOMPARE(shown, expected);
        if (!message.isEmpty()) {
            QVERIFY(preview.report() == before);
            return;
        }
        QCOMPARE(preview.report().pageCount(), 1);
        paintPreview(&preview);
        for (const char *suffix : {"pdf", "txt", "rtf", "csv", "htm"}) {
            const QString exported = m_dir.filePath(QStringLiteral("out.") + QLatin1String(suffix));
            QString error;
            QVERIFY2(ReportExporter::exportFile(preview.report(), exported, &error),
                     qPrintable(error));
            QFile in(exported);
            QVERIFY(in.open(QIODevice::ReadOnly));
            const QByteArray written = in.readAll();
            QVERIFY(!written.contains(QFile::encodeName(m_fifo)));
            QVERIFY(!written.contains("/dev/zero"));
        }
    }

    void fileThatIsNoFile_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::newRow("named pipe") << m_fifo;
        QTest::newRow("endless device") << QStringLiteral("/dev/zero");
        QTest::newRow("folder") << m_dir.path();
    }

    // A named pipe must not block "Открыть" waiting for a writer, nor a device fill memory.
    void fileThatIsNoFile()
    {
        QFETCH(QString, fileName);
        ResourceWatchdog watchdog(std::chrono::seconds(20), MemoryBound,
                                  QString::fromLatin1(QTest::currentDataTag()));
        RecordingPrompt prompt;
        ScriptedFilePicker picker;
        picker.answers = QStringList {fileName};
        ReportPreview preview(labelBuilt(labelObjects()));
        preview.aOpenExecute();
        QCOMPARE(prompt.shown.size(), 1);
        QCOMPARE(prompt.shown[0].text, Unknown);
        QCOMPARE(prompt.shown[0].caption, QStringLiteral("Ошибка"));
    }
};

QTEST_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
