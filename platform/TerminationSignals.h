#pragma once

#include <csignal>
#include <functional>
#include <thread>

// Catches SIGTERM, SIGINT and SIGHUP for as long as it lives, so that a log-out, a kill or
// Ctrl+C ends the program in an orderly way instead of at once. The handler only notes the
// signal; onSignal then runs with its number on a thread of this object's own, once per
// signal. One object at a time in a process; the handlers found are put back when it goes.
//
// Install it before the first attachment of the database client: the client chains a handler
// it finds installed and calls it from its own.
class TerminationSignals
{
public:
    explicit TerminationSignals(std::function<void(int)> onSignal);
    ~TerminationSignals();

    TerminationSignals(const TerminationSignals &) = delete;
    TerminationSignals &operator=(const TerminationSignals &) = delete;

    // False when the handlers could not be installed (no pipe, another object active).
    bool isActive() const { return m_active; }

    static constexpr int caughtCount = 3;
    static const int caught[caughtCount];

private:
    void listen();

    std::function<void(int)> m_onSignal;
    int m_readFd = -1;
    int m_writeFd = -1;
    bool m_active = false;
    struct sigaction m_previous[caughtCount] = {};
    std::thread m_listener;
};
