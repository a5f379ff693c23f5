#include "app/ConnectionSettings.h"
#include "app/GracefulExit.h"
#include "app/QtTranslation.h"
#include "app/SingleInstance.h"
#include "browser/uMain.h"
#include "platform/SettingsStore.h"
#include "store/DbError.h"
#include "store/FbApi.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QMessageBox>
#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>

namespace {

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("База данных компакт-дисков и других носителей"));
    parser.addHelpOption();
    parser.addVersionOption();
}

// The window system's options, which QApplication takes for itself: known here, so that
// they are not called unknown, and left out of the help.
void acceptWindowSystemOptions(QCommandLineParser &parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const auto add = [&parser](const char *name, bool takesValue) {
        QCommandLineOption option(QString::fromLatin1(name));
        if (takesValue)
            option.setValueName(QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    };
    for (const char *name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
          "qwindowicon", "qwindowtitle", "session", "display", "geometry", "style", "stylesheet"})
        add(name, true);
    for (const char *name : {"reverse", "widgetcount", "nograb", "dograb", "sync"})
        add(name, false);
}

// The whole command line is judged before a display is opened, so that help, version and
// mistakes are answered on a text console too.
void judgeCommandLine(int &argc, char *argv[])
{
    const QCoreApplication console(argc, argv);
    QCommandLineParser parser;
    describe(parser);
    acceptWindowSystemOptions(parser);
    parser.process(console);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "%s: Unexpected argument '%s'.\n",
                     qPrintable(QCoreApplication::applicationName()),
                     qPrintable(parser.positionalArguments().constFirst()));
        std::exit(1);
    }
}

void bringToFront(QWidget &window)
{
    window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window.show();
    window.raise();
    window.activateWindow();
    // A dialog open over the window is what the user works in.
    if (QWidget *modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Kodra"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KODRA_VERSION));
    QCoreApplication::setOrganizationName(QStringLiteral("Brenk"));
    judgeCommandLine(argc, argv);

    QApplication app(argc, argv);
    QtTranslation::installRussian(app);
    // The desktop entry and the icon theme name the program alike.
    QGuiApplication::setDesktopFileName(QStringLiteral("ru.brenk.Kodra"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("ru.brenk.Kodra")));

    SettingsStore store;
    SingleInstance instance(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation),
                            ConnectionSettings::read(store).databasePath());
    if (instance.handOver())
        return 0;

    if (!FbClient::isAvailable()) {
        QMessageBox::critical(nullptr, QStringLiteral("Kodra"),
                              errorBoxText(FbClient::loadError()));
        return 1;
    }

    TfMain window(&store);
    QObject::connect(&instance, &SingleInstance::activationRequested, &window,
                     [&window] { bringToFront(window); });
    const auto ending = GracefulExit::catchTerminationSignals(&window);
    window.show();
    return app.exec();
}
