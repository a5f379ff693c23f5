#include "platform/TerminationSignals.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Where the handler writes the signal numbers; -1 while no object listens.
std::atomic<int> g_writeFd {-1};
// A byte no signal has: it tells the listening thread to stop.
constexpr unsigned char kStop = 0;

void noteSignal(int signal)
{
    // Only async-signal-safe calls here.
    const int savedErrno = errno;
    const int fd = g_writeFd.load();
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(signal);
        // A full pipe already holds enough news; the write end never blocks.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

const int TerminationSignals::caught[caughtCount] = {SIGTERM, SIGINT, SIGHUP};

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal)
    : m_onSignal(std::move(onSignal))
{
    if (g_writeFd.load() >= 0)
        return;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return;
    m_readFd = fds[0];
    m_writeFd = fds[1];
    ::fcntl(m_writeFd, F_SETFL, ::fcntl(m_writeFd, F_GETFL) | O_NONBLOCK);
    g_writeFd.store(m_writeFd);
    m_listener = std::thread([this] { listen(); });

    struct sigaction action = {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    // Calls the signal interrupts go on: the program handles the signal in its own time.
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < caughtCount; ++i)
        ::sigaction(caught[i], &action, &m_previous[i]);
    m_active = true;
}

TerminationSignals::~TerminationSignals()
{
    if (!m_active)
        return;
    for (int i = 0; i < caughtCount; ++i) {
        struct sigaction current = {};
        ::sigaction(caught[i], nullptr, &current);
        // The database client may have put its handler over ours, calling ours from it: that
        // one stays, and ours does nothing from now on.
        if (current.sa_handler == noteSignal)
            ::sigaction(caught[i], &m_previous[i], nullptr);
    }
    g_writeFd.store(-1);
    // No handler writes any more: the stop may wait for room in the pipe.
    ::fcntl(m_writeFd, F_SETFL, ::fcntl(m_writeFd, F_GETFL) & ~O_NONBLOCK);
    const unsigned char stop = kStop;
    while (::write(m_writeFd, &stop, 1) < 0 && errno == EINTR) { }
    m_listener.join();
    ::close(m_writeFd);
    ::close(m_readFd);
}

void TerminationSignals::listen()
{
    for (;;) {
        unsigned char byte = 0;
        const ssize_t n = ::read(m_readFd, &byte, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || byte == kStop)
            return;
        m_onSignal(byte);
    }
}
