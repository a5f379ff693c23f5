#pragma once

#include <QString>

// A lock on a file that keeps every other process off it, of this account or another,
// whichever folder their engines keep their own locks in. It is an open file description
// lock: it goes with this object, not when some other descriptor of the file is closed, and
// it does not meet the engine's own flock() on the file.
class ExclusiveFileLock
{
public:
    enum class Result {
        Locked,
        // Another process (or another lock of this one) holds the file.
        HeldElsewhere,
        // The file cannot be opened: missing, or not readable for this account.
        Unavailable
    };

    ExclusiveFileLock() = default;
    ~ExclusiveFileLock();
    ExclusiveFileLock(const ExclusiveFileLock &) = delete;
    ExclusiveFileLock &operator=(const ExclusiveFileLock &) = delete;

    // Drops a lock held before, then locks path.
    Result lock(const QString &path);
    void unlock();
    bool isLocked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};
