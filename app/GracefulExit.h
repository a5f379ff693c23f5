#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>

class EngineShutdown;
class QWidget;
class TerminationSignals;

// Ends the program on a termination signal as a normal close does: open menus and dialogs
// are closed as cancelled from the top (a read in progress stops at its next entry and keeps
// what it read), then the main window is closed, which saves the settings and, as the program
// ends, commits and closes the connection. A window that refuses to close is asked again at
// the next step; past the deadline the event loop is left regardless.
class GracefulExit : public QObject
{
    Q_OBJECT

public:
    static constexpr int stepMs = 50;
    static constexpr int deadlineMs = 3000;

    explicit GracefulExit(QWidget *mainWindow, QObject *parent = nullptr);
    ~GracefulExit() override;

    // The program's ending for its main window: SIGTERM, SIGINT and SIGHUP, and the database
    // client's shutdown on a signal, are caught until the object returned goes. Call it before
    // the first connection, which comes once the window is shown.
    static std::unique_ptr<GracefulExit> catchTerminationSignals(QWidget *mainWindow);

    // Starts ending the program; later calls do nothing. On the main thread. Signal 0 stands
    // for a termination signal the database client caught and did not name.
    void start(int signal);
    // The signal the program is ending on; 0 while none has been named.
    int signal() const { return m_signal; }
    // Whether some GracefulExit has started ending the program: what is stopped on the way
    // out was not stopped by the user, and no message waits for an answer then.
    static bool isEnding();

private:
    void step();
    void postStart(int signal);

    QPointer<QWidget> m_main;
    QTimer m_timer;
    QElapsedTimer m_clock;
    bool m_ending = false;
    int m_signal = 0;
    std::unique_ptr<TerminationSignals> m_signals;
    std::unique_ptr<EngineShutdown> m_engine;
};
