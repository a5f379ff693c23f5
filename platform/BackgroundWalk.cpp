#include "platform/BackgroundWalk.h"

#include <QElapsedTimer>

#include <chrono>

BackgroundWalk::BackgroundWalk(const QString &root, size_t blockSize, size_t maxBlocks)
    : m_blockSize(qMax<size_t>(1, blockSize)), m_maxBlocks(qMax<size_t>(1, maxBlocks))
{
    m_filling.reserve(m_blockSize);
    m_thread = std::thread([this, root] { run(root); });
}

BackgroundWalk::~BackgroundWalk()
{
    stop();
}

void BackgroundWalk::run(const QString &root)
{
    DirectoryWalker::Faults faults;
    DirectoryWalker::Result result = DirectoryWalker::Result::Finished;
    std::exception_ptr error;
    try {
        result = DirectoryWalker::walk(
            root, [this](const DirectoryWalker::Entry &entry) { return put(entry); }, &faults);
    } catch (...) {
        error = std::current_exception();
    }
    const std::lock_guard lock(m_mutex);
    if (!m_filling.empty() && !m_stop)
        handOver();
    m_result = result;
    m_faults = faults;
    m_error = error;
    m_ended = true;
    m_filled.notify_all();
}

bool BackgroundWalk::put(const DirectoryWalker::Entry &entry)
{
    if (m_stop.load(std::memory_order_relaxed))
        return false;
    m_filling.push_back(entry);
    if (m_filling.size() < m_blockSize) {
        // A waiting taker gets what there is, but not entry by entry: a hand-over wakes its
        // thread, which costs more than walking an entry when the drive is fast. Where the
        // drive is slow, entries come further apart than this and each goes over at once.
        if (!m_takerWaiting.load(std::memory_order_relaxed))
            return true;
        const auto now = std::chrono::steady_clock::now();
        if (now - m_handedOver < kHandOverEvery)
            return true;
    }
    std::unique_lock lock(m_mutex);
    if (m_blocks.size() >= m_maxBlocks && !m_stop) {
        QElapsedTimer stalled;
        stalled.start();
        m_room.wait(lock, [this] { return m_blocks.size() < m_maxBlocks || m_stop; });
        m_stalledNs += stalled.nsecsElapsed();
    }
    if (m_stop)
        return false;
    handOver();
    return true;
}

void BackgroundWalk::handOver()
{
    m_handedOver = std::chrono::steady_clock::now();
    m_blocks.push_back(std::move(m_filling));
    if (m_spare.empty()) {
        m_filling = Block();
        m_filling.reserve(m_blockSize);
    } else {
        m_filling = std::move(m_spare.back());
        m_spare.pop_back();
    }
    m_filled.notify_one();
}

BackgroundWalk::Take BackgroundWalk::take(Block &block, int waitMs)
{
    // The emptied block goes back to the walk with its capacity; its names are released here,
    // outside the lock.
    block.clear();
    std::unique_lock lock(m_mutex);
    if (block.capacity() > 0 && m_spare.size() < m_maxBlocks)
        m_spare.push_back(std::move(block));
    block = Block();
    if (m_blocks.empty() && !m_ended && waitMs > 0) {
        m_takerWaiting = true;
        m_filled.wait_for(lock, std::chrono::milliseconds(waitMs),
                          [this] { return !m_blocks.empty() || m_ended; });
        m_takerWaiting = false;
    }
    if (!m_blocks.empty()) {
        block = std::move(m_blocks.front());
        m_blocks.pop_front();
        m_room.notify_one();
        return Take::Entries;
    }
    if (!m_ended)
        return Take::Waiting;
    if (m_error)
        std::rethrow_exception(std::exchange(m_error, nullptr));
    return Take::Ended;
}

void BackgroundWalk::stop()
{
    m_stop = true;
    {
        const std::lock_guard lock(m_mutex);
        m_blocks.clear();
        m_room.notify_all();
    }
    if (m_thread.joinable())
        m_thread.join();
}

DirectoryWalker::Result BackgroundWalk::result() const
{
    const std::lock_guard lock(m_mutex);
    return m_ended ? m_result : DirectoryWalker::Result::Stopped;
}

DirectoryWalker::Faults BackgroundWalk::faults() const
{
    const std::lock_guard lock(m_mutex);
    return m_faults;
}

qint64 BackgroundWalk::stalledNs() const
{
    const std::lock_guard lock(m_mutex);
    return m_stalledNs;
}
