#include "platform/ExclusiveFileLock.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {

// One byte far past any catalogue's end: the lock marks the file without covering its data,
// so that nothing reading or writing it, nor a file system that maps flock() onto byte
// ranges, ever meets it.
constexpr off_t lockedByte = off_t(1) << 62;

} // namespace

ExclusiveFileLock::~ExclusiveFileLock()
{
    unlock();
}

ExclusiveFileLock::Result ExclusiveFileLock::lock(const QString &path)
{
    unlock();
    const QByteArray name = QFile::encodeName(path);
    // A file this account may only read gets a read lock, which still meets a writer's lock.
    short type = F_WRLCK;
    int fd = ::open(name.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        type = F_RDLCK;
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0)
        return Result::Unavailable;
    struct flock range
    {
    };
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = lockedByte;
    range.l_len = 1;
    if (::fcntl(fd, F_OFD_SETLK, &range) != 0) {
        const bool held = errno == EAGAIN || errno == EACCES;
        ::close(fd);
        return held ? Result::HeldElsewhere : Result::Unavailable;
    }
    m_fd = fd;
    return Result::Locked;
}

void ExclusiveFileLock::unlock()
{
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
}
