#include "app/GracefulExit.h"
#include "browser/uMain.h"
#include "platform/SettingsStore.h"
#include "store/DbError.h"
#include "store/FbApi.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QMessageBox>

#include <cstdio>

namespace {

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("База данных компакт-дисков и других носителей"));
    parser.addHelpOption();
    parser.addVersionOption();
}

// --help and --version are answered before a display is opened, so that they work on a text
// console too. Anything else waits until QApplication has taken the window system's options.
void answerHelpAndVersion(int &argc, char *argv[])
{
    const QCoreApplication console(argc, argv);
    QCommandLineParser parser;
    describe(parser);
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp();
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Kodra"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KODRA_VERSION));
    QCoreApplication::setOrganizationName(QStringLiteral("Brenk"));
    answerHelpAndVersion(argc, argv);

    QApplication app(argc, argv);
    QCommandLineParser parser;
    describe(parser);
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "%s: Unexpected argument '%s'.\n",
                     qPrintable(QCoreApplication::applicationName()),
                     qPrintable(parser.positionalArguments().constFirst()));
        return 1;
    }
    // The desktop entry and the icon theme name the program alike.
    QGuiApplication::setDesktopFileName(QStringLiteral("ru.brenk.Kodra"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("ru.brenk.Kodra")));

    if (!FbClient::isAvailable()) {
        QMessageBox::critical(nullptr, QStringLiteral("Kodra"),
                              errorBoxText(FbClient::loadError()));
        return 1;
    }

    SettingsStore store;
    TfMain window(&store);
    const auto ending = GracefulExit::catchTerminationSignals(&window);
    window.show();
    return app.exec();
}
