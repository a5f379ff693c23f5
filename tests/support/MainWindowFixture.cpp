#include "tests/support/MainWindowFixture.h"

#include "browser/uMain.h"
#include "disk/uEdtDisk.h"
#include "platform/SettingsStore.h"

#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

const QString MainWindowFixture::section = QStringLiteral("Software\\Brenk\\Kodra");

MainWindowFixture::MainWindowFixture() = default;

MainWindowFixture::~MainWindowFixture()
{
    m_main.reset();
}

Catalogue &MainWindowFixture::data()
{
    return m_main->data();
}

void MainWindowFixture::prepareStore(SettingsStore &store, const QString &catalogue)
{
    store.writeString(section, QStringLiteral("NormPos"), QStringLiteral("10,10,900,600"));
    store.writeString(section, QStringLiteral("DataBaseName"), catalogue);
}

QString MainWindowFixture::start(const QStringList &rows, const QString &backup)
{
    m_catalogue = std::make_unique<TestCatalogue>(backup.isEmpty() ? TestCatalogue::templatePath()
                                                                   : backup);
    if (!m_catalogue->isValid())
        return m_catalogue->error();
    QStringList all {QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) "
                                    "values (1001, 'Диски', 0)")};
    all << rows;
    m_catalogue->exec(all);
    // The search index of a test's catalogue goes with the test's files.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("cache"))));
    m_store = std::make_unique<SettingsStore>(m_dir.filePath(QStringLiteral("Kodra.ini")));
    prepareStore(*m_store, m_catalogue->path());
    m_store->writeString(section, QStringLiteral("FolderID"), QStringLiteral("1001"));
    m_main = std::make_unique<TfMain>(m_store.get());
    m_main->diskList().runDrag = [](QDrag *) {};
    QSignalSpy started(m_main.get(), &TfMain::startupFinished);
    m_main->show();
    if (!started.wait(30000))
        return QStringLiteral("the main window did not start");
    if (!data().dtDisk().isOpen())
        return QStringLiteral("the disk list did not open: ")
            + (m_prompt.shown.isEmpty() ? QString() : m_prompt.shown.constLast().text);
    return {};
}

bool MainWindowFixture::locateDisk(int diskId)
{
    return data().dtDisk().locate(QStringLiteral("FDISKID"), diskId);
}

std::unique_ptr<TfEdtDisk> MainWindowFixture::openEditor()
{
    auto editor
        = std::make_unique<TfEdtDisk>(data(), m_main->settings(), m_store.get(), m_main.get());
    editor->setModal(false);
    editor->show();
    activate(editor.get());
    return editor;
}

void MainWindowFixture::whenModal(const std::function<void(QWidget *)> &act)
{
    auto *timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, qApp, [timer, act] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        }
    });
    timer->start();
}

bool MainWindowFixture::activate(QWidget *window)
{
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}
