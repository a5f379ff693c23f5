#include "app/GracefulExit.h"

#include "platform/TerminationSignals.h"
#include "store/EngineShutdown.h"

#include <QApplication>
#include <QDialog>
#include <QWidget>
#include <algorithm>

namespace {

bool &endingStarted()
{
    static bool started = false;
    return started;
}

} // namespace

bool GracefulExit::isEnding()
{
    return endingStarted();
}

namespace {

int depth(const QWidget *window)
{
    int d = 0;
    for (const QWidget *w = window->parentWidget(); w; w = w->parentWidget())
        ++d;
    return d;
}

} // namespace

GracefulExit::GracefulExit(QWidget *mainWindow, QObject *parent)
    : QObject(parent), m_main(mainWindow)
{
    m_timer.setInterval(stepMs);
    connect(&m_timer, &QTimer::timeout, this, &GracefulExit::step);
}

GracefulExit::~GracefulExit()
{
    // The listeners call into this object: they go first.
    m_engine.reset();
    m_signals.reset();
}

std::unique_ptr<GracefulExit> GracefulExit::catchTerminationSignals(QWidget *mainWindow)
{
    auto exit = std::make_unique<GracefulExit>(mainWindow);
    GracefulExit *self = exit.get();
    self->m_signals
        = std::make_unique<TerminationSignals>([self](int signal) { self->postStart(signal); });
    // The client calls the handler above from its own, usually after this: it names the signal.
    self->m_engine = std::make_unique<EngineShutdown>([self] { self->postStart(0); });
    return exit;
}

void GracefulExit::postStart(int signal)
{
    // From another thread: the windows belong to the main one.
    QMetaObject::invokeMethod(
        this, [this, signal] { start(signal); }, Qt::QueuedConnection);
}

void GracefulExit::start(int signal)
{
    if (m_signal == 0)
        m_signal = signal;
    if (m_ending)
        return;
    m_ending = true;
    endingStarted() = true;
    m_clock.start();
    m_timer.start();
    step();
}

void GracefulExit::step()
{
    if (m_clock.hasExpired(deadlineMs)) {
        m_timer.stop();
        QCoreApplication::exit(0);
        return;
    }
    if (QWidget *popup = QApplication::activePopupWidget()) {
        popup->close();
        return;
    }

    // The open windows besides the main one, the active modal one first, then those opened
    // over others (deeper in the parent chain) before their parents.
    QList<QPointer<QWidget>> open;
    QList<QWidget *> windows = QApplication::topLevelWidgets();
    windows.removeIf([this](QWidget *w) { return w == m_main || !w->isVisible(); });
    const QWidget *modal = QApplication::activeModalWidget();
    std::stable_sort(windows.begin(), windows.end(), [modal](QWidget *a, QWidget *b) {
        if ((a == modal) != (b == modal))
            return a == modal;
        return depth(a) > depth(b);
    });
    for (QWidget *w : windows)
        open.append(w);

    for (const QPointer<QWidget> &w : open) {
        if (!w)
            continue;
        // Rejecting is the dialog's own cancel: Esc, the title bar's close button.
        if (auto *dialog = qobject_cast<QDialog *>(w.data()))
            dialog->reject();
        else
            w->close();
        // One window a step: its event loop unwinds before the next one is asked.
        if (!w || !w->isVisible())
            return;
    }
    if (!open.isEmpty())
        return;
    if (!m_main) {
        m_timer.stop();
        QCoreApplication::exit(0);
        return;
    }
    // Closing the last window ends the event loop, as the user's close does.
    m_main->close();
    if (m_main && !m_main->isVisible())
        m_timer.stop();
}
