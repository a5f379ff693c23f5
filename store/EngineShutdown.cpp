#include "store/EngineShutdown.h"

#include "store/FbApi.h"

#include <mutex>

namespace {

std::mutex g_mutex;
std::function<void()> g_onSignal;
// The library keeps its callbacks until the process ends and has no way to remove one: it is
// registered once and looks up the current listener.
bool g_registered = false;

int shutdownRequested(const int reason, const int, void *)
{
    if (reason != fb_shutrsn_signal)
        return 0;
    const std::lock_guard lock(g_mutex);
    if (!g_onSignal)
        return 0;
    g_onSignal();
    // Not zero: the library abandons the shutdown and its engine keeps running.
    return 1;
}

} // namespace

EngineShutdown::EngineShutdown(std::function<void()> onSignal)
{
    if (!FbClient::isAvailable())
        return;
    const std::lock_guard lock(g_mutex);
    if (!g_registered) {
        ISC_STATUS_ARRAY status;
        FbClient::api().fb_shutdown_callback(status, shutdownRequested, fb_shut_confirmation,
                                             nullptr);
        g_registered = !(status[0] == 1 && status[1] != 0);
    }
    if (!g_registered)
        return;
    g_onSignal = std::move(onSignal);
    m_active = true;
}

EngineShutdown::~EngineShutdown()
{
    if (!m_active)
        return;
    const std::lock_guard lock(g_mutex);
    g_onSignal = nullptr;
}
