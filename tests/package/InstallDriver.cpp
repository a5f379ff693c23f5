#include "tests/package/InstallDriver.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

const QString installTitle = QStringLiteral("Установка новой базы");

} // namespace

InstallDriver::InstallDriver() : m_holdFile(qEnvironmentVariable("KODRA_DRIVER_HOLD"))
{
    QTimer::singleShot(100, this, &InstallDriver::poll);
    // Once the program has set it up, before any window shows.
    QTimer::singleShot(0, this, [] {
        QStringList sizes;
        const auto available = QApplication::windowIcon().availableSizes();
        for (const QSize &size : available)
            sizes << QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
        say(QStringLiteral("window icon: ")
            + (sizes.isEmpty() ? QStringLiteral("none") : sizes.join(QLatin1Char(' '))));
    });
}

void InstallDriver::poll()
{
    // Scheduled first: a click below may run a modal loop, and the next look happens in it.
    if (m_step != Step::Done)
        QTimer::singleShot(100, this, &InstallDriver::poll);

    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        auto *box = qobject_cast<QMessageBox *>(window);
        if (box && box->isVisible()) {
            say(QStringLiteral("message \"%1\": %2").arg(box->windowTitle(), box->text()));
            QAbstractButton *answer = box->defaultButton();
            if (!answer)
                answer = box->button(QMessageBox::Ok);
            if (!answer)
                answer = box->buttons().value(0);
            if (answer)
                QTest::mouseClick(answer, Qt::LeftButton);
            else
                box->close();
            return;
        }
    }

    QWidget *install = shownWindow(installTitle);
    switch (m_step) {
    case Step::Create:
        if (install) {
            m_step = Step::Accept;
            click(install, QStringLiteral("Создать новую пустую базу"));
        } else if (QWidget *main = mainWindow(); main && isConnected(main)) {
            say(QStringLiteral("connected without the installation dialog"));
            m_step = Step::Close;
        }
        break;
    case Step::Accept:
        if (install) {
            m_step = Step::Close;
            click(install, QStringLiteral("OK"));
        }
        break;
    case Step::Close:
        // The dialog's OK connects before control comes back here.
        if (QWidget *main = mainWindow(); main && !install) {
            if (!m_holdFile.isEmpty()) {
                m_step = Step::Hold;
                main->installEventFilter(this);
                main->setWindowState(main->windowState() | Qt::WindowMinimized);
                say(QStringLiteral("holding the main window, minimized"));
                return;
            }
            m_step = Step::Done;
            say(QStringLiteral("closing the main window"));
            main->close();
        }
        break;
    case Step::Hold:
        if (QWidget *main = mainWindow(); main && QFileInfo::exists(m_holdFile)) {
            m_step = Step::Done;
            say(QStringLiteral("closing the main window"));
            main->close();
        }
        break;
    case Step::Done:
        break;
    }
}

bool InstallDriver::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::WindowStateChange) {
        auto *window = static_cast<QWidget *>(watched);
        if (!window->isMinimized())
            say(QStringLiteral("main window brought to the front"));
    }
    return QObject::eventFilter(watched, event);
}

QWidget *InstallDriver::mainWindow()
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (qobject_cast<QMainWindow *>(window) && window->isVisible())
            return window;
    }
    return nullptr;
}

bool InstallDriver::isConnected(QWidget *window)
{
    const auto actions = window->findChildren<QAction *>();
    return std::any_of(actions.begin(), actions.end(), [](const QAction *action) {
        return action->text() == QStringLiteral("Соединение есть");
    });
}

QWidget *InstallDriver::shownWindow(const QString &title)
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (window->isVisible() && window->windowTitle() == title)
            return window;
    }
    return nullptr;
}

void InstallDriver::click(QWidget *window, const QString &text)
{
    const auto buttons = window->findChildren<QAbstractButton *>();
    for (QAbstractButton *button : buttons) {
        if (button->isVisible() && button->text() == text) {
            say(QStringLiteral("clicking \"%1\"").arg(text));
            QTest::mouseClick(button, Qt::LeftButton);
            return;
        }
    }
    say(QStringLiteral("no button \"%1\" on \"%2\"").arg(text, window->windowTitle()));
}

void InstallDriver::say(const QString &line)
{
    std::fprintf(stderr, "install-driver: %s\n", qUtf8Printable(line));
    std::fflush(stderr);
}
