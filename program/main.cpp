#include "app/GracefulExit.h"
#include "browser/uMain.h"
#include "platform/SettingsStore.h"
#include "store/DbError.h"
#include "store/FbApi.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kodra"));
    QApplication::setOrganizationName(QStringLiteral("Brenk"));

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
