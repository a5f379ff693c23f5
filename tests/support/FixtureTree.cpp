#include "tests/support/FixtureTree.h"

#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace FixtureTree {

QByteArray joined(const QByteArray &folder, const QByteArray &name)
{
    return folder + '/' + name;
}

bool writeFile(const QByteArray &path, const QByteArray &content)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, content.constData(), size_t(content.size())) == content.size();
    return ::close(fd) == 0 && ok;
}

bool build(Fixture fixture, const QByteArray &root)
{
    switch (fixture) {
    case Fixture::Cyrillic:
        return writeFile(joined(root, "Привет мир.txt"), "12345");
    case Fixture::Accented:
        return writeFile(joined(root, "Café déjà vu.txt"), "abc");
    case Fixture::Cjk:
        return writeFile(joined(root, "日本語のファイル.txt"), "abcd");
    case Fixture::Emoji:
        return writeFile(joined(root, "😀🎉.txt"), "ab");
    case Fixture::InvalidUtf8:
        return writeFile(joined(root, "bad\xff\xfe-\xc3(.txt"), "x");
    case Fixture::LongName:
        return writeFile(joined(root, QByteArray(251, 'n') + ".txt"), "1234567");
    case Fixture::Deep: {
        // Made relative to each folder so no path grows beyond what the system takes.
        const int rootFd = ::open(root.constData(), O_RDONLY | O_DIRECTORY);
        int fd = rootFd;
        bool ok = fd >= 0;
        for (int level = 0; ok && level < DeepLevels; ++level) {
            ok = ::mkdirat(fd, "deeper-folder", 0755) == 0;
            const int next = ok ? ::openat(fd, "deeper-folder", O_RDONLY | O_DIRECTORY) : -1;
            ::close(fd);
            fd = next;
            ok = ok && fd >= 0;
        }
        if (ok) {
            const int file = ::openat(fd, "leaf.txt", O_WRONLY | O_CREAT, 0644);
            ok = file >= 0 && ::write(file, "leaf", 4) == 4;
            if (file >= 0)
                ::close(file);
        }
        if (fd >= 0)
            ::close(fd);
        return ok;
    }
    case Fixture::SymlinkLoop:
        return ::symlink(".", joined(root, "self").constData()) == 0
            && ::symlink("b", joined(root, "a").constData()) == 0
            && ::symlink("a", joined(root, "b").constData()) == 0;
    case Fixture::Unreadable:
        return ::mkdir(joined(root, "locked").constData(), 0755) == 0
            && writeFile(joined(root, "locked/inside.txt"), "secret")
            && ::chmod(joined(root, "locked").constData(), 0) == 0;
    case Fixture::Fifo:
        return ::mkfifo(joined(root, "pipe").constData(), 0644) == 0;
    case Fixture::Sparse: {
        const int fd = ::open(joined(root, "big.bin").constData(), O_WRONLY | O_CREAT, 0644);
        const bool ok = fd >= 0 && ::ftruncate(fd, SparseSize) == 0;
        if (fd >= 0)
            ::close(fd);
        return ok;
    }
    case Fixture::Hidden:
        return writeFile(joined(root, ".hidden"), "abc");
    case Fixture::HiddenFolder:
        return ::mkdir(joined(root, ".config").constData(), 0755) == 0
            && writeFile(joined(root, ".config/.rc"), "rc");
    case Fixture::Empty:
        return ::mkdir(joined(root, "empty").constData(), 0755) == 0;
    }
    return false;
}

void release(const QByteArray &root)
{
    ::chmod(joined(root, "locked").constData(), 0755);
    // QDir cannot name a file whose name is not valid UTF-8.
    ::unlink(joined(root, "bad\xff\xfe-\xc3(.txt").constData());
}

qint64 buildCollection(const QString &root, int files)
{
    const int folderCount = files / 10;
    std::vector<QString> level {root};
    std::vector<QString> folders;
    while (int(folders.size()) < folderCount) {
        std::vector<QString> next;
        for (const QString &parent : level) {
            for (int k = 0; k < 10 && int(folders.size()) < folderCount; ++k) {
                const QString path = parent
                    + QStringLiteral("/Collection %1, part %2").arg(folders.size()).arg(k + 1);
                if (!QDir().mkpath(path))
                    return -1;
                folders.push_back(path);
                next.push_back(path);
            }
        }
        level = std::move(next);
    }
    for (int i = 0; i < files; ++i) {
        QFile f(folders[size_t(i) % folders.size()]
                + QStringLiteral("/Recording %1 - Some Artist - Some Title.flac").arg(i));
        if (!f.open(QIODevice::WriteOnly) || (i % 3 != 0 && f.write("data", 4) != 4))
            return -1;
    }
    return qint64(files) + qint64(folders.size());
}

} // namespace FixtureTree
