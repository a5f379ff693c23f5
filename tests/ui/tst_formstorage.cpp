#include "platform/SettingsStore.h"
#include "widgets/FormStorage.h"

#include <QDialog>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Section = QStringLiteral("Software\\Brenk\\Kodra");
const QRect DesignRect(100, 80, 400, 300);
const int DesignTreeWidth = 177;
constexpr Qt::WindowStates SizeStates = Qt::WindowMinimized | Qt::WindowMaximized;

QString sized(const QString &name)
{
    const QSize size = QGuiApplication::primaryScreen()->size();
    return QStringLiteral("%1(%2x%3)").arg(name).arg(size.width()).arg(size.height());
}

int screenDpi()
{
    return qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch());
}

QString normPos(const QRect &rect)
{
    return QStringLiteral("%1,%2,%3,%4")
        .arg(rect.left())
        .arg(rect.top())
        .arg(rect.left() + rect.width())
        .arg(rect.top() + rect.height());
}

// The value names of one section in the order the file holds them.
QStringList namesInFile(const QString &path, const QString &section)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList names;
    bool inSection = false;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (const QString &line : lines) {
        if (line.startsWith(u'['))
            inSection = line == QLatin1Char('[') + section + QLatin1Char(']');
        else if (inSection && line.contains(u'='))
            names.append(line.section(u'=', 0, 0));
    }
    return names;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A window the way the program's windows hold their storage: a member, told from the
// destructor, with the folder tree's width as stored property.
class Form : public QWidget
{
public:
    Form(SettingsStore *store, const QString &section)
        : tree(new QWidget(this)), fs(this, store, section)
    {
        tree->setGeometry(0, 0, DesignTreeWidth, 100);
        setGeometry(DesignRect);
        fs.addStoredProperty(
            QStringLiteral("DBTreeView1.Width"), [this] { return tree->width(); },
            [this](int width) { tree->resize(width, tree->height()); });
    }
    ~Form() override { fs.formDestroying(); }

    QWidget *tree;
    bool restoredAtShowEvent = false;
    QRect geometryAtShowEvent;
    FormStorage fs;

protected:
    void showEvent(QShowEvent *event) override
    {
        if (geometryAtShowEvent.isNull()) {
            restoredAtShowEvent = fs.isRestored();
            geometryAtShowEvent = normalGeometry();
        }
        QWidget::showEvent(event);
    }
};

class Dialog : public QDialog
{
public:
    Dialog(SettingsStore *store, const QString &section) : fs(this, store, section)
    {
        setGeometry(DesignRect);
    }
    ~Dialog() override { fs.formDestroying(); }

    FormStorage fs;
};

// A window that holds its storage as a child object, as a plain `new` would.
class ChildStorageForm : public QWidget
{
public:
    ChildStorageForm(SettingsStore *store, bool tellStorage)
        : tree(new QWidget(this)), fs(new FormStorage(this, store, Section)), tell(tellStorage)
    {
        setGeometry(DesignRect);
        fs->addStoredProperty(
            QStringLiteral("DBTreeView1.Width"), [this] { return tree->width(); },
            [this](int width) { tree->resize(width, tree->height()); });
    }
    ~ChildStorageForm() override
    {
        if (tell)
            fs->formDestroying();
    }

    QWidget *tree;
    FormStorage *fs;
    bool tell;
};

} // namespace

class TestFormStorage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void restoresBeforeShowEvent();
    void savesNothingBeforeRestore();
    void savedValues();
    void restorePosition_data();
    void restorePosition();
    void restoreState_data();
    void restoreState();
    void savedShowCmd_data();
    void savedShowCmd();
    void saveRestoreFixedPoint_data();
    void saveRestoreFixedPoint();
    void storedProperty_data();
    void storedProperty();
    void closingSaves_data();
    void closingSaves();
    void destroyingSaves_data();
    void destroyingSaves();
    void childStorage_data();
    void childStorage();

private:
    void writeLayout(const QString &normPos, int pixelsPerInch);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    std::unique_ptr<SettingsStore> m_store;
};

void TestFormStorage::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath(QStringLiteral("Kodra.ini"));
    m_store = std::make_unique<SettingsStore>(m_path);
}

void TestFormStorage::writeLayout(const QString &normPos, int pixelsPerInch)
{
    m_store->writeInteger(Section, QStringLiteral("FormVersion"), 0);
    m_store->writeInteger(Section, QStringLiteral("PixelsPerInch"), pixelsPerInch);
    m_store->writeString(Section, sized(QStringLiteral("NormPos")), normPos);
    m_store->writeString(Section, QStringLiteral("NormPos"), normPos);
}

void TestFormStorage::restoresBeforeShowEvent()
{
    writeLayout(normPos(QRect(10, 20, 300, 200)), screenDpi());
    Form form(m_store.get(), Section);
    QSignalSpy restored(&form.fs, &FormStorage::placementRestored);
    QCOMPARE(form.fs.isRestored(), false);
    form.show();
    QCOMPARE(form.restoredAtShowEvent, true);
    QCOMPARE(form.geometryAtShowEvent, QRect(10, 20, 300, 200));
    QCOMPARE(restored.count(), 1);

    // Only the first show restores.
    form.hide();
    form.show();
    QCOMPARE(restored.count(), 1);
}

void TestFormStorage::savesNothingBeforeRestore()
{
    Form form(m_store.get(), Section);
    QSignalSpy saved(&form.fs, &FormStorage::placementSaved);
    form.fs.saveFormPlacement();
    form.close();
    QCOMPARE(saved.count(), 0);
    QCOMPARE(m_store->isEmpty(), true);
    QCOMPARE(QFile::exists(m_path), false);
}

void TestFormStorage::savedValues()
{
    Form form(m_store.get(), Section);
    // The window adds its own values right after the layout.
    connect(&form.fs, &FormStorage::placementSaved, this, [this] {
        m_store->writeString(Section, QStringLiteral("DataBaseName"), QStringLiteral("x.gdb"));
    });
    form.show();
    const QRect rect(30, 40, 500, 350);
    form.setGeometry(rect);
    form.tree->resize(211, 100);
    form.fs.saveFormPlacement();

    SettingsStore stored(m_path);
    const auto value = [&stored](const QString &name) {
        return stored.readString(Section, name, QStringLiteral("(missing)"));
    };
    QCOMPARE(value(QStringLiteral("FormVersion")), QStringLiteral("0"));
    QCOMPARE(value(QStringLiteral("Flags")), QStringLiteral("0"));
    QCOMPARE(value(QStringLiteral("ShowCmd")), QStringLiteral("1"));
    QCOMPARE(value(QStringLiteral("PixelsPerInch")), QString::number(screenDpi()));
    QCOMPARE(value(sized(QStringLiteral("NormPos"))), normPos(rect));
    QCOMPARE(value(QStringLiteral("NormPos")), normPos(rect));
    QCOMPARE(value(QStringLiteral("MinMaxPos")).split(u',').size(), 4);
    QCOMPARE(value(sized(QStringLiteral("MinMaxPos"))), value(QStringLiteral("MinMaxPos")));
    QCOMPARE(value(QStringLiteral("Visible")), QStringLiteral("0"));
    QCOMPARE(value(QStringLiteral("DBTreeView1_Width")), QStringLiteral("211"));

    const QStringList order {
        QStringLiteral("FormVersion"),      QStringLiteral("Flags"),
        QStringLiteral("ShowCmd"),          QStringLiteral("PixelsPerInch"),
        sized(QStringLiteral("MinMaxPos")), QStringLiteral("MinMaxPos"),
        sized(QStringLiteral("NormPos")),   QStringLiteral("NormPos"),
        QStringLiteral("Visible"),          QStringLiteral("DBTreeView1_Width"),
        QStringLiteral("DataBaseName")};
    QCOMPARE(namesInFile(m_path, Section), order);
}

void TestFormStorage::restorePosition_data()
{
    QTest::addColumn<QString>("sizedNormPos");
    QTest::addColumn<QString>("plainNormPos");
    QTest::addColumn<QString>("otherScreenNormPos");
    QTest::addColumn<bool>("writeDpi");
    QTest::addColumn<int>("dpiOffset");
    QTest::addColumn<int>("formVersion");
    QTest::addColumn<bool>("resizable");
    QTest::addColumn<QRect>("expected");

    const QString none;
    // Non-numbers take the design rectangle's left, top, right (500) and bottom (380).
    QTest::newRow("screen-size name first")
        << "10,20,410,320"
        << "50,60,450,360" << none << true << 0 << 0 << true << QRect(10, 20, 400, 300);
    QTest::newRow("plain name as fallback")
        << none << "50,60,450,360" << none << true << 0 << 0 << true << QRect(50, 60, 400, 300);
    QTest::newRow("another screen's name")
        << none << none << "50,60,450,360" << true << 0 << 0 << true << DesignRect;
    QTest::newRow("nothing stored") << none << none << none << true << 0 << 0 << true << DesignRect;
    QTest::newRow("other density")
        << "10,20,410,320"
        << "10,20,410,320" << none << true << 24 << 0 << true << DesignRect;
    QTest::newRow("density missing")
        << "10,20,410,320"
        << "10,20,410,320" << none << false << 0 << 0 << true << DesignRect;
    QTest::newRow("left equals right")
        << "300,20,300,320" << none << none << true << 0 << 0 << true << DesignRect;
    QTest::newRow("left beyond right")
        << "310,20,300,320" << none << none << true << 0 << 0 << true << DesignRect;
    QTest::newRow("non-numbers") << "x,20,abc,320" << none << none << true << 0 << 0 << true
                                 << QRect(100, 20, 400, 300);
    QTest::newRow("two numbers only")
        << "10,20" << none << none << true << 0 << 0 << true << QRect(10, 20, 490, 360);
    QTest::newRow("blanks around numbers") << " 10, 20 ,410 , 320" << none << none << true << 0 << 0
                                           << true << QRect(10, 20, 400, 300);
    QTest::newRow("negative version")
        << "10,20,410,320"
        << "10,20,410,320" << none << true << 0 << -1 << true << DesignRect;
    QTest::newRow("fixed size moves only")
        << "10,20,110,120" << none << none << true << 0 << 0 << false << QRect(10, 20, 400, 300);
}

void TestFormStorage::restorePosition()
{
    QFETCH(QString, sizedNormPos);
    QFETCH(QString, plainNormPos);
    QFETCH(QString, otherScreenNormPos);
    QFETCH(bool, writeDpi);
    QFETCH(int, dpiOffset);
    QFETCH(int, formVersion);
    QFETCH(bool, resizable);
    QFETCH(QRect, expected);

    m_store->writeInteger(Section, QStringLiteral("FormVersion"), formVersion);
    if (writeDpi)
        m_store->writeInteger(Section, QStringLiteral("PixelsPerInch"), screenDpi() + dpiOffset);
    if (!sizedNormPos.isNull())
        m_store->writeString(Section, sized(QStringLiteral("NormPos")), sizedNormPos);
    if (!plainNormPos.isNull())
        m_store->writeString(Section, QStringLiteral("NormPos"), plainNormPos);
    if (!otherScreenNormPos.isNull())
        m_store->writeString(Section, QStringLiteral("NormPos(1x1)"), otherScreenNormPos);

    Form form(m_store.get(), Section);
    if (!resizable)
        form.setFixedSize(DesignRect.size());
    form.show();
    QCOMPARE(form.geometry(), expected);
    QCOMPARE(form.windowState() & SizeStates, Qt::WindowStates());
}

void TestFormStorage::restoreState_data()
{
    QTest::addColumn<QString>("showCmd");
    QTest::addColumn<Qt::WindowStates>("designState");
    QTest::addColumn<Qt::WindowStates>("expected");

    const Qt::WindowStates normal;
    const Qt::WindowStates minimized = Qt::WindowMinimized;
    const Qt::WindowStates maximized = Qt::WindowMaximized;
    QTest::newRow("1 normal") << "1" << normal << normal;
    QTest::newRow("2 minimized") << "2" << normal << minimized;
    QTest::newRow("3 maximized") << "3" << normal << maximized;
    QTest::newRow("5 normal") << "5" << normal << normal;
    QTest::newRow("6 minimized") << "6" << normal << minimized;
    QTest::newRow("7 minimized") << "7" << normal << minimized;
    QTest::newRow("9 normal") << "9" << normal << normal;
    QTest::newRow("0 normal") << "0" << normal << normal;
    QTest::newRow("4 normal") << "4" << normal << normal;
    QTest::newRow("8 normal") << "8" << normal << normal;
    QTest::newRow("-1 normal") << "-1" << normal << normal;
    QTest::newRow("not a number") << "max" << normal << normal;
    QTest::newRow("missing") << QString() << normal << normal;
    QTest::newRow("1 on a maximized design") << "1" << maximized << normal;
    QTest::newRow("2 on a maximized design") << "2" << maximized << minimized;
}

void TestFormStorage::restoreState()
{
    QFETCH(QString, showCmd);
    QFETCH(Qt::WindowStates, designState);
    QFETCH(Qt::WindowStates, expected);

    const QRect stored(10, 20, 400, 300);
    writeLayout(normPos(stored), screenDpi());
    if (!showCmd.isNull())
        m_store->writeString(Section, QStringLiteral("ShowCmd"), showCmd);

    Form form(m_store.get(), Section);
    form.setWindowState(designState);
    form.show();
    QCOMPARE(form.windowState() & SizeStates, expected);
    // Minimized and maximized windows come back to the stored normal rectangle.
    QCOMPARE(form.normalGeometry(), stored);
}

void TestFormStorage::savedShowCmd_data()
{
    QTest::addColumn<Qt::WindowStates>("state");
    QTest::addColumn<QString>("showCmd");

    QTest::newRow("normal") << Qt::WindowStates() << "1";
    QTest::newRow("minimized") << Qt::WindowStates(Qt::WindowMinimized) << "2";
    QTest::newRow("maximized") << Qt::WindowStates(Qt::WindowMaximized) << "3";
    QTest::newRow("minimized from maximized")
        << Qt::WindowStates(Qt::WindowMinimized | Qt::WindowMaximized) << "2";
}

void TestFormStorage::savedShowCmd()
{
    QFETCH(Qt::WindowStates, state);
    QFETCH(QString, showCmd);

    Form form(m_store.get(), Section);
    form.show();
    const QRect normal(30, 40, 320, 240);
    form.setGeometry(normal);
    form.setWindowState(state);
    form.fs.saveFormPlacement();
    QCOMPARE(m_store->readString(Section, QStringLiteral("ShowCmd"), QString()), showCmd);
    QCOMPARE(m_store->readString(Section, QStringLiteral("NormPos"), QString()), normPos(normal));
}

void TestFormStorage::saveRestoreFixedPoint_data()
{
    QTest::addColumn<Qt::WindowStates>("state");

    QTest::newRow("normal") << Qt::WindowStates();
    QTest::newRow("maximized") << Qt::WindowStates(Qt::WindowMaximized);
    QTest::newRow("minimized") << Qt::WindowStates(Qt::WindowMinimized);
}

void TestFormStorage::saveRestoreFixedPoint()
{
    QFETCH(Qt::WindowStates, state);

    const QRect normal(40, 50, 300, 200);
    QByteArray firstSave;
    {
        Form form(m_store.get(), Section);
        form.show();
        form.setGeometry(normal);
        form.tree->resize(250, 100);
        form.setWindowState(state);
        form.fs.saveFormPlacement();
        firstSave = fileBytes(m_path);
    }
    QVERIFY(!firstSave.isEmpty());

    Form form(m_store.get(), Section);
    form.show();
    QCOMPARE(form.windowState() & SizeStates, state);
    QCOMPARE(form.normalGeometry(), normal);
    QCOMPARE(form.tree->width(), 250);
    form.fs.saveFormPlacement();
    QCOMPARE(fileBytes(m_path), firstSave);
}

void TestFormStorage::storedProperty_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");

    QTest::newRow("stored") << "250" << 250;
    QTest::newRow("missing") << QString() << DesignTreeWidth;
    QTest::newRow("not a number") << "wide" << DesignTreeWidth;
    QTest::newRow("minus only") << "-" << DesignTreeWidth;
}

void TestFormStorage::storedProperty()
{
    QFETCH(QString, text);
    QFETCH(int, expected);

    m_store->writeInteger(Section, QStringLiteral("FormVersion"), 0);
    if (!text.isNull())
        m_store->writeString(Section, QStringLiteral("dbtreeview1_width"), text);
    Form form(m_store.get(), Section);
    form.show();
    QCOMPARE(form.tree->width(), expected);
}

void TestFormStorage::closingSaves_data()
{
    QTest::addColumn<QString>("how");

    QTest::newRow("accept") << "accept";
    QTest::newRow("reject") << "reject";
    QTest::newRow("close") << "close";
    QTest::newRow("escape") << "escape";
}

void TestFormStorage::closingSaves()
{
    QFETCH(QString, how);

    Dialog dialog(m_store.get(), Section);
    QSignalSpy saved(&dialog.fs, &FormStorage::placementSaved);
    dialog.open();
    QCOMPARE(dialog.fs.isRestored(), true);
    const QRect rect(60, 70, 330, 220);
    dialog.setGeometry(rect);
    if (how == QLatin1String("accept"))
        dialog.accept();
    else if (how == QLatin1String("reject"))
        dialog.reject();
    else if (how == QLatin1String("close"))
        dialog.close();
    else
        QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(dialog.isVisible(), false);
    QCOMPARE(saved.count(), 1);
    SettingsStore stored(m_path);
    QCOMPARE(stored.readString(Section, QStringLiteral("NormPos"), QString()), normPos(rect));
    QCOMPARE(stored.readString(Section, QStringLiteral("Visible"), QString()), QStringLiteral("0"));
}

void TestFormStorage::destroyingSaves_data()
{
    QTest::addColumn<bool>("savedBefore");
    QTest::addColumn<QString>("visible");

    QTest::newRow("not saved since restore") << false << "1";
    QTest::newRow("saved since restore") << true << "0";
}

void TestFormStorage::destroyingSaves()
{
    QFETCH(bool, savedBefore);
    QFETCH(QString, visible);

    const QRect rect(15, 25, 350, 250);
    auto form = std::make_unique<Form>(m_store.get(), Section);
    form->show();
    form->setGeometry(rect);
    form->tree->resize(190, 100);
    if (savedBefore)
        form->fs.saveFormPlacement();
    form.reset();

    SettingsStore stored(m_path);
    QCOMPARE(stored.readString(Section, QStringLiteral("Visible"), QString()), visible);
    QCOMPARE(stored.readString(Section, QStringLiteral("NormPos"), QString()), normPos(rect));
    QCOMPARE(stored.readInteger(Section, QStringLiteral("DBTreeView1_Width"), 0), 190);
}

void TestFormStorage::childStorage_data()
{
    QTest::addColumn<bool>("formTellsStorage");

    QTest::newRow("form tells the storage") << true;
    QTest::newRow("form does not tell") << false;
}

void TestFormStorage::childStorage()
{
    QFETCH(bool, formTellsStorage);

    auto form = std::make_unique<ChildStorageForm>(m_store.get(), formTellsStorage);
    form->show();
    form->tree->resize(205, 100);
    form.reset();

    // Without the form's word the storage cannot reach its children safely and writes nothing.
    SettingsStore stored(m_path);
    QCOMPARE(stored.readString(Section, QStringLiteral("Visible"), QString()),
             formTellsStorage ? QStringLiteral("1") : QString());
    QCOMPARE(stored.readInteger(Section, QStringLiteral("DBTreeView1_Width"), 0),
             formTellsStorage ? 205 : 0);
}

QTEST_MAIN(TestFormStorage)
#include "tst_formstorage.moc"
