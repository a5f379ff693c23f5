#pragma once

#include "platform/DirectoryWalker.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

// A DirectoryWalker walk run on a thread of its own, handing its entries over in blocks
// through a bounded queue: the drive's latency and the caller's work on the entries overlap,
// and the walk never runs more than a few blocks ahead, so memory stays flat. A block goes
// over when it is full, or when the taker is waiting for one and a millisecond has passed
// since the last block went, so that a slow drive still shows every entry as soon as it is
// read while a fast one is not handed over entry by entry.
class BackgroundWalk
{
public:
    using Block = std::vector<DirectoryWalker::Entry>;

    // Starts walking root at once.
    explicit BackgroundWalk(const QString &root, size_t blockSize = 256, size_t maxBlocks = 8);
    // Stops the walk and waits for its thread.
    ~BackgroundWalk();
    BackgroundWalk(const BackgroundWalk &) = delete;
    BackgroundWalk &operator=(const BackgroundWalk &) = delete;

    enum class Take { Entries, Waiting, Ended };
    // The next block into block: Entries when one came within waitMs, Waiting when none did,
    // Ended once the walk is over and every block was taken. An error of the walk's thread is
    // thrown here.
    Take take(Block &block, int waitMs);

    // Ends the walk at its next entry and waits for its thread; blocks not taken are dropped.
    void stop();

    // How the walk ended and what it could not read; known once take() gave Ended or after
    // stop().
    DirectoryWalker::Result result() const;
    DirectoryWalker::Faults faults() const;

    // Time the walk's thread spent waiting for room in the queue, in nanoseconds.
    qint64 stalledNs() const;

private:
    void run(const QString &root);
    // The walk's side: hands the block over when it is full or the taker waits.
    bool put(const DirectoryWalker::Entry &entry);
    void handOver();

    static constexpr std::chrono::microseconds kHandOverEvery {1000};
    const size_t m_blockSize;
    const size_t m_maxBlocks;
    mutable std::mutex m_mutex;
    std::condition_variable m_filled; // a block came, or the walk ended
    std::condition_variable m_room; // a block was taken, or the walk was stopped
    std::deque<Block> m_blocks;
    Block m_filling; // the walk's thread only
    std::chrono::steady_clock::time_point m_handedOver; // the walk's thread only
    std::vector<Block> m_spare; // emptied blocks for reuse, keeping their capacity
    std::atomic<bool> m_takerWaiting {false};
    std::atomic<bool> m_stop {false};
    bool m_ended = false;
    DirectoryWalker::Result m_result = DirectoryWalker::Result::Finished;
    DirectoryWalker::Faults m_faults;
    std::exception_ptr m_error;
    qint64 m_stalledNs = 0;
    std::thread m_thread;
};
