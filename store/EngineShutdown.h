#pragma once

#include <functional>

// The client library catches SIGINT and SIGTERM and shuts its engine down, which leaves every
// attachment dead while the program goes on. While an EngineShutdown lives, such a shutdown is
// refused, so the connection stays usable, and onSignal is told instead: the program then ends
// as a normal close does. Shutdowns for other reasons (the program's own exit) go ahead.
class EngineShutdown
{
public:
    // onSignal runs on a thread of the client library: it may only hand the news on in a
    // thread-safe way (a queued call). Does nothing when the client library is not loaded.
    explicit EngineShutdown(std::function<void()> onSignal);
    ~EngineShutdown();

    EngineShutdown(const EngineShutdown &) = delete;
    EngineShutdown &operator=(const EngineShutdown &) = delete;

    // Whether the library accepted the callback.
    bool isActive() const { return m_active; }

private:
    bool m_active = false;
};
