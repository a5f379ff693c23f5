#pragma once

#include <QString>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// Ends the test program with a message when the code it watches runs longer than a time or
// grows the process by more than a number of bytes, so that a hang or a runaway allocation
// fails the test at once instead of stalling or exhausting the machine.
class ResourceWatchdog
{
public:
    ResourceWatchdog(std::chrono::milliseconds time, qint64 growth, const QString &what);
    ~ResourceWatchdog();
    ResourceWatchdog(const ResourceWatchdog &) = delete;
    ResourceWatchdog &operator=(const ResourceWatchdog &) = delete;

    // The resident size of this process, bytes.
    static qint64 residentBytes();

private:
    void watch(std::chrono::milliseconds time, qint64 limit, QString what);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    std::thread m_thread;
};
