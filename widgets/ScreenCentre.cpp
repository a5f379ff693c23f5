#include "widgets/ScreenCentre.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void moveToScreenCentre(QWidget &window)
{
    const QScreen *screen = window.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        window.move(screen->availableGeometry().center() - window.rect().center());
}
