#include "platform/DirectoryWalker.h"

#include <QFile>

#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct DirCloser
{
    void operator()(DIR *dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

struct Frame
{
    DirHandle dir;
    qint64 id = 0;
    QString path;
    qint64 listed = 0;
};

DirectoryWalker::ListingFault &listingFault()
{
    static DirectoryWalker::ListingFault fault;
    return fault;
}

// Length of the valid UTF-8 sequence at data[i], 0 when the byte there starts none.
int validSequence(const unsigned char *data, qsizetype size, qsizetype i)
{
    const unsigned char b = data[i];
    if (b < 0x80)
        return 1;
    int length = 0;
    char32_t min = 0;
    char32_t code = 0;
    if ((b & 0xE0) == 0xC0) {
        length = 2, min = 0x80, code = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
        length = 3, min = 0x800, code = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
        length = 4, min = 0x10000, code = b & 0x07;
    } else {
        return 0;
    }
    if (i + length > size)
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((data[i + k] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (data[i + k] & 0x3F);
    }
    // No overlong forms, surrogates or code points beyond Unicode.
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

// The local time of a moment, to the second. A fixed offset taken from localtime_r gives the
// same moment and wall clock as a LocalTime QDateTime at a fraction of its cost, which
// consults the time zone rules again on every construction.
QDateTime localTime(time_t seconds)
{
    struct tm local
    {
    };
    if (!::localtime_r(&seconds, &local))
        return QDateTime::fromSecsSinceEpoch(seconds);
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::OffsetFromUTC, int(local.tm_gmtoff));
}

// Opens the folder name inside parent without following a link; null when it cannot be.
DirHandle openFolder(int parentFd, const char *name)
{
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};
    DIR *dir = ::fdopendir(fd);
    if (!dir)
        ::close(fd);
    return DirHandle(dir);
}

} // namespace

QString DirectoryWalker::readableName(const QByteArray &rawName, bool *validUtf8)
{
    const auto *data = reinterpret_cast<const unsigned char *>(rawName.constData());
    const qsizetype size = rawName.size();
    bool valid = true;
    for (qsizetype i = 0; i < size;) {
        const int length = validSequence(data, size, i);
        if (length == 0) {
            valid = false;
            break;
        }
        i += length;
    }
    if (validUtf8)
        *validUtf8 = valid;
    if (valid)
        return QFile::decodeName(rawName);
    QString text;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < size;) {
        const int length = validSequence(data, size, i);
        if (length > 0) {
            i += length;
            continue;
        }
        text += QString::fromUtf8(rawName.constData() + runStart, i - runStart);
        text += QStringLiteral("\\x")
            + QString::number(uint(data[i]), 16).rightJustified(2, QLatin1Char('0')).toUpper();
        ++i;
        runStart = i;
    }
    text += QString::fromUtf8(rawName.constData() + runStart, size - runStart);
    return text;
}

void DirectoryWalker::setListingFault(ListingFault fault)
{
    listingFault() = std::move(fault);
}

int DirectoryWalker::startError(const QString &root)
{
    if (root.isEmpty())
        return ENOENT;
    const DirHandle dir = openFolder(AT_FDCWD, QFile::encodeName(root).constData());
    return dir ? 0 : errno;
}

DirectoryWalker::Result DirectoryWalker::walk(const QString &root, const Callback &callback,
                                              Faults *faults)
{
    Faults ignored;
    Faults &fault = faults ? *faults : ignored;
    const QByteArray rootName = QFile::encodeName(root);
    DirHandle rootDir = openFolder(AT_FDCWD, rootName.constData());
    if (!rootDir)
        return Result::StartFailed;
    struct stat rootInfo
    {
    };
    if (::fstat(::dirfd(rootDir.get()), &rootInfo) != 0)
        return Result::StartFailed;
    const dev_t device = rootInfo.st_dev;

    QString rootPath = root;
    while (rootPath.size() > 1 && rootPath.endsWith(QLatin1Char('/')))
        rootPath.chop(1);

    std::vector<Frame> stack;
    stack.push_back(Frame {std::move(rootDir), 0, rootPath});
    qint64 nextId = 1;
    Entry entry;

    while (!stack.empty()) {
        Frame &frame = stack.back();
        const dirent *item = nullptr;
        const int injected = listingFault() ? listingFault()(frame.path, frame.listed) : 0;
        errno = injected;
        if (injected == 0)
            item = ::readdir(frame.dir.get());
        if (!item) {
            // The end of the folder, or an error reading it (a scratched disc): either way it
            // is done, with what it gave so far.
            if (errno != 0)
                ++fault.folders;
            stack.pop_back();
            continue;
        }
        const char *name = item->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        ++frame.listed;

        const int parentFd = ::dirfd(frame.dir.get());
        struct stat info
        {
        };
        const bool statted = ::fstatat(parentFd, name, &info, AT_SYMLINK_NOFOLLOW) == 0;

        entry.rawName = QByteArray(name);
        entry.name = readableName(entry.rawName, &entry.validUtf8);
        entry.depth = int(stack.size());
        entry.id = nextId++;
        entry.parentId = frame.id;
        entry.folderPath = frame.path;
        entry.listable = true;
        entry.size = 0;
        entry.modified = statted ? localTime(info.st_mtim.tv_sec) : QDateTime();

        DirHandle child;
        if (!statted) {
            // Vanished or not reachable: the directory listing's type is all there is.
            entry.type = item->d_type == DT_DIR ? Type::Directory : Type::Other;
            entry.listable = false;
            ++fault.entries;
        } else if (S_ISDIR(info.st_mode)) {
            entry.type = Type::Directory;
            if (info.st_dev == device) {
                child = openFolder(parentFd, name);
                if (!child)
                    ++fault.folders;
            }
            entry.listable = child != nullptr;
        } else if (S_ISLNK(info.st_mode)) {
            entry.type = Type::SymLink;
        } else if (S_ISREG(info.st_mode)) {
            entry.type = Type::File;
            entry.size = qint64(info.st_size);
        } else {
            entry.type = Type::Other;
        }

        if (!callback(entry))
            return Result::Stopped;
        if (child) {
            QString path = frame.path;
            if (!path.endsWith(QLatin1Char('/')))
                path += QLatin1Char('/');
            path += entry.name;
            // frame is invalid once the stack grows.
            const qint64 id = entry.id;
            stack.push_back(Frame {std::move(child), id, std::move(path)});
        }
    }
    return Result::Finished;
}
