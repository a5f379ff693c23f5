// The disk reader against a plain walk of the same tree: entries per second, the ratio of the
// read time to the walk time, the memory a read takes and a file search over the result. A
// breakdown of the per-entry cost follows, each part timed on its own over the same tree.
//
// Usage: bench_reader [files [rounds [delay-us [rows,per,call [all|two|engine|reread]]]]]
//   files: default 100000, spread over files/10 folders; rounds: default 3, interleaved;
//   delay-us: the slow drive's cost per directory entry, default 50 (0: none); rows,per,call:
//   further block sizes to compare with the default; two: only the one-at-a-time read and
//   the default, for large trees; engine: those two and the default on catalogues whose
//   engine work per row differs (forced writes, page size, indexes), measured only; reread:
//   the tree (and a folder of 1,000 files) read again in replace mode, unchanged and after a
//   round of changes, in place and written anew.

#include "app/Catalogue.h"
#include "app/ConnectionSettings.h"
#include "bench/BenchDisk.h"
#include "disk/ContentWriter.h"
#include "disk/DiskReader.h"
#include "disk/EditorReadWatch.h"
#include "disk/FileSearch.h"
#include "disk/uProgress.h"
#include "platform/DirectoryWalker.h"
#include "store/DbError.h"
#include "tests/support/CatalogueSample.h"
#include "tests/support/FixedVolumeSource.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/SignalCleanup.h"
#include "tests/support/TestCatalogue.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kFolderId = BenchDisk::FolderId;
constexpr int kDiskId = BenchDisk::DiskId;
using BenchDisk::die;
using BenchDisk::freshCatalogue;
using BenchDisk::say;
const QString kNeedle = QStringLiteral("needle-0xC0FFEE.log");

// A numeric field of a /proc/self file (status: KiB, io: bytes or calls), -1 when there is none.
qint64 procField(const char *file, const char *field)
{
    QFile f(QStringLiteral("/proc/self/") + QLatin1String(file));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Sets the peak resident size back to the current one (Linux: "5" into clear_refs).
bool resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

double cpuNow()
{
    timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Wall and CPU time of one measured part (the embedded engine runs in this process too).
struct Timing
{
    double wall = 0;
    double cpu = 0;
};

class Stopwatch
{
public:
    Stopwatch() : m_cpu(cpuNow()) { m_wall.start(); }
    Timing elapsed() const { return {double(m_wall.nsecsElapsed()) / 1e9, cpuNow() - m_cpu}; }

private:
    QElapsedTimer m_wall;
    double m_cpu;
};

// files files in files/10 folders: ten top folders, ten subfolders in each folder of a level
// until there are enough, the files spread evenly. The deepest folder, made last, also holds
// the one file named kNeedle.
class TreeMaker
{
public:
    TreeMaker(const QString &root, int files) : m_root(root), m_files(files) { }

    bool make()
    {
        const int folderCount = qMax(1, m_files / 10);
        std::vector<QString> level {QString()};
        std::vector<QString> folders;
        while (int(folders.size()) < folderCount) {
            std::vector<QString> next;
            for (const QString &parent : level) {
                for (int k = 0; k < 10 && int(folders.size()) < folderCount; ++k) {
                    const QString path = parent + QLatin1Char('/') + folderName(k);
                    if (!QDir().mkpath(m_root + path))
                        return false;
                    folders.push_back(path);
                    next.push_back(path);
                }
            }
            level = std::move(next);
        }
        m_depth = int(folders.back().count(QLatin1Char('/')));
        const int each = m_files / folderCount;
        int extra = m_files % folderCount;
        int made = 0;
        for (size_t f = 0; f < folders.size(); ++f) {
            int here = each + (extra > 0 ? 1 : 0);
            extra = qMax(0, extra - 1);
            const bool deepest = f + 1 == folders.size();
            for (int k = 0; k < here; ++k) {
                const QString name = deepest && k == here - 1 ? kNeedle : fileName(made);
                if (!writeFile(m_root + folders[f] + QLatin1Char('/') + name, made))
                    return false;
                ++made;
            }
        }
        m_folders = int(folders.size());
        return made == m_files;
    }

    int folders() const { return m_folders; }
    int depth() const { return m_depth; }

private:
    QString folderName(int k)
    {
        static const char *const bases[]
            = {"Music",     "Photos 2019", "Projects",    "Backup",  "Фото",
               "Документы", "src",         "Sound Track", "Archive", "Games"};
        return QStringLiteral("%1 %2").arg(QString::fromUtf8(bases[k]),
                                           QString::number(++m_serial));
    }

    // Names of the lengths and kinds a real volume has, each one distinct.
    QString fileName(int i)
    {
        switch (m_rng() % 8) {
        case 0:
            return QStringLiteral("IMG_%1.JPG").arg(i, 6, 10, QLatin1Char('0'));
        case 1:
            return QStringLiteral("%1 - Track %2 - Concerto in D minor, BWV 1052.flac")
                .arg(i)
                .arg(m_rng() % 20 + 1, 2, 10, QLatin1Char('0'));
        case 2:
            return QStringLiteral("report_2021-03-%1_final (copy %2).docx")
                .arg(m_rng() % 28 + 1, 2, 10, QLatin1Char('0'))
                .arg(i);
        case 3:
            return QStringLiteral("Документ %1 — черновик.odt").arg(i);
        case 4:
            return QStringLiteral("libkodra-%1.so.%2").arg(i).arg(m_rng() % 9);
        case 5:
            return QStringLiteral("holiday photo %1.jpeg").arg(i);
        case 6:
            return QStringLiteral("README.%1").arg(i);
        default:
            return QStringLiteral(".config_%1.ini").arg(i);
        }
    }

    // A third of the files is empty, the others hold up to 96 bytes.
    static bool writeFile(const QString &path, int i)
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        const int size = i % 3 == 0 ? 0 : i % 97;
        return f.write(QByteArray(size, 'x')) == size;
    }

    QString m_root;
    int m_files;
    int m_folders = 0;
    int m_depth = 0;
    int m_serial = 0;
    std::minstd_rand m_rng {20240501};
};

// The bare walk: readdir and fstatat on open folders, name bytes, type, size and time of
// every entry as the system gives them, nothing else; recursive, one open folder per level.
qint64 bareWalkFolder(int parentFd, const char *name, qint64 &sink)
{
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return 0;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return 0;
    }
    qint64 count = 0;
    while (const dirent *item = ::readdir(dir)) {
        const char *entry = item->d_name;
        if (entry[0] == '.' && (entry[1] == 0 || (entry[1] == '.' && entry[2] == 0)))
            continue;
        struct stat info
        {
        };
        if (::fstatat(fd, entry, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        ++count;
        sink += qint64(std::strlen(entry)) + info.st_size + info.st_mtim.tv_sec
            + (S_ISDIR(info.st_mode) ? 1 : 0);
        if (S_ISDIR(info.st_mode))
            count += bareWalkFolder(fd, entry, sink);
    }
    ::closedir(dir);
    return count;
}

Timing bareWalk(const QString &root, qint64 &entries)
{
    Timing best;
    const QByteArray path = QFile::encodeName(root);
    for (int round = 0; round < 3; ++round) {
        qint64 sink = 0;
        const Stopwatch watch;
        entries = bareWalkFolder(AT_FDCWD, path.constData(), sink);
        const Timing t = watch.elapsed();
        if (sink == 0)
            die(QStringLiteral("the bare walk saw nothing"));
        if (round == 0 || t.wall < best.wall)
            best = t;
    }
    return best;
}

// The walk alone, touching what the reader takes of every entry; the best of three.
Timing plainWalk(const QString &root, qint64 &entries)
{
    Timing best;
    for (int round = 0; round < 3; ++round) {
        qint64 count = 0;
        qint64 sink = 0;
        const Stopwatch watch;
        DirectoryWalker::walk(root, [&](const DirectoryWalker::Entry &e) {
            sink += e.name.size() + int(e.type) + e.size + e.modified.toSecsSinceEpoch();
            ++count;
            return true;
        });
        const Timing t = watch.elapsed();
        if (sink == 0)
            die(QStringLiteral("the walk saw nothing"));
        entries = count;
        if (round == 0 || t.wall < best.wall)
            best.wall = t.wall;
        if (round == 0 || t.cpu < best.cpu)
            best.cpu = t.cpu;
    }
    return best;
}

// The main data objects connected to the catalogue, on the bench disk.
void connectTo(Catalogue &data, const TestCatalogue &cat)
{
    ConnectionSettings settings;
    settings.databaseName = cat.path();
    settings.userName = QStringLiteral("KODRA");
    settings.userPass = QStringLiteral("TARLO");
    if (!CatalogueSample::connectMain(data, settings))
        die(QStringLiteral("cannot connect to ") + cat.path());
    if (!data.dtFolder().locate(QStringLiteral("FFOLDERID"), kFolderId)
        || !data.dtDisk().locate(QStringLiteral("FDISKID"), kDiskId))
        die(QStringLiteral("the bench disk is not in the list"));
}

int scalarInt(const TestCatalogue &cat, const QString &select)
{
    return cat.scalar(select).toInt();
}

// One way of reading: how keys are drawn, how many rows go in one call, where the walk runs.
struct Way
{
    QString name;
    ContentWriter::Tuning tuning;
    bool walkAhead = true;
    // Measured only: the catalogue's forced writes switched off before the read.
    bool asyncWrites = false;
    // Measured only: the catalogue restored with pages of this size (0: the template's), and
    // statements run on it before the read.
    int pageSize = 0;
    QStringList ddl = {};
};

// The ways compared: the one-entry-at-a-time read, each change on its own, and all together.
std::vector<Way> ways(const std::vector<int> &rowsPerCall)
{
    const ContentWriter::Tuning old {1, 1};
    const ContentWriter::Tuning now;
    std::vector<Way> list {
        {QStringLiteral("one at a time (GETNEXTID + insert per entry, walk here)"), old, false},
        {QStringLiteral("+ walk on its own thread"), old, true},
        {QStringLiteral("+ keys drawn in ranges"), {now.maxKeysPerDraw, 1}, false},
        {QStringLiteral("+ %1 rows per call").arg(now.rowsPerCall), {1, now.rowsPerCall}, false},
        {QStringLiteral("all three (the reader's default)"), now, true},
    };
    for (const int k : rowsPerCall) {
        if (k != now.rowsPerCall)
            list.push_back({QStringLiteral("all three, %1 rows per call").arg(k),
                            {now.maxKeysPerDraw, k},
                            true});
    }
    list.push_back(
        {QStringLiteral("one at a time, forced writes off (not a way to keep)"), old, false, true});
    list.push_back(
        {QStringLiteral("all three, forced writes off (not a way to keep)"), now, true, true});
    // What the engine's work per row costs: smaller pages (4096 cannot hold the key of
    // IX_TDISK_FUNIQUE), and each index of TCONTENT. Browsing needs both indexes.
    const QString dropIndex = QStringLiteral("drop index IX_TCONTENT_DISK_OWNER");
    const QString dropKey = QStringLiteral("alter table TCONTENT drop constraint PK_TCONTENT");
    list.push_back(
        {QStringLiteral("all three, pages of 8192 bytes (measured only)"), now, true, false, 8192});
    list.push_back({QStringLiteral("all three, without IX_TCONTENT_DISK_OWNER (measured only)"),
                    now,
                    true,
                    false,
                    0,
                    {dropIndex}});
    list.push_back({QStringLiteral("all three, without PK_TCONTENT (measured only)"),
                    now,
                    true,
                    false,
                    0,
                    {dropKey}});
    list.push_back({QStringLiteral("all three, without both indexes (measured only)"),
                    now,
                    true,
                    false,
                    0,
                    {dropIndex, dropKey}});
    return list;
}

struct ReadResult
{
    Timing time;
    qint64 rssBefore = 0;
    qint64 peak = 0;
    bool peakReset = false;
    qint64 writtenMb = 0;
    double stopMs = 0; // from the dialog's close to the end of the read
};

// One read of the tree into the bench disk of a fresh catalogue, checked against the walk.
ReadResult readOnce(const QString &root, const Way &way, qint64 walked, bool search,
                    qint64 stopAt = 0)
{
    const auto cat = freshCatalogue(way.pageSize);
    if (!way.ddl.isEmpty())
        cat->exec(way.ddl);
    if (way.asyncWrites
        && QProcess::execute(QStringLiteral("gfix"),
                             {QStringLiteral("-write"), QStringLiteral("async"),
                              QStringLiteral("-user"), QStringLiteral("KODRA"), cat->path()})
            != 0)
        die(QStringLiteral("gfix could not switch forced writes off"));
    Catalogue data;
    connectTo(data, *cat);
    ContentWriter dtContent(data.DefDatabase(), data.spNextID(), QStringLiteral("dtContent"));
    dtContent.setTuning(way.tuning);
    EditorReadWatch readWatch(nullptr);
    DiskReader reader(data, dtContent, readWatch);
    reader.setWalkAhead(way.walkAhead);
    qint64 written = 0;
    QElapsedTimer sinceStop;
    QObject::connect(&reader, &DiskReader::entryWritten, [&](qint64 n) {
        written = n;
        if (n == stopAt) {
            sinceStop.start();
            readWatch.progress()->close();
        }
    });

    // The tree's and the restore's dirty pages would otherwise be written back during the read
    // and slow its synchronous page writes down.
    ::sync();
    ReadResult r;
    r.peakReset = resetPeak();
    const qint64 writtenBefore = procField("io", "write_bytes");
    r.rssBefore = procField("status", "VmRSS");
    const Stopwatch watch;
    reader.read(root, DiskReader::Mode::Replace);
    r.time = watch.elapsed();
    r.peak = procField("status", "VmHWM");
    r.writtenMb = (procField("io", "write_bytes") - writtenBefore) / 1048576;
    if (stopAt > 0) {
        r.stopMs = double(sinceStop.nsecsElapsed()) / 1e6;
        const int stored = scalarInt(
            *cat, QStringLiteral("select count(*) from TCONTENT where FDISKID = %1").arg(kDiskId));
        if (written != stopAt || stored != stopAt + 1)
            die(QStringLiteral("stopped at %1 entries, read %2 and stored %3 rows")
                    .arg(stopAt)
                    .arg(written)
                    .arg(stored));
        return r;
    }

    const int stored = scalarInt(
        *cat, QStringLiteral("select count(*) from TCONTENT where FDISKID = %1").arg(kDiskId));
    if (written != walked || stored != walked + 1)
        die(QStringLiteral("%1: read %2 entries and stored %3 rows of %4 walked")
                .arg(way.name)
                .arg(written)
                .arg(stored)
                .arg(walked));
    // Keys ascend in writing order: every entry's key is above its folder's.
    if (scalarInt(*cat,
                  QStringLiteral("select count(*) from TCONTENT c join TCONTENT p on p.FCONTENTID "
                                 "= c.FOWNCONTENTID where c.FDISKID = %1 and c.FCONTENTID <= "
                                 "p.FCONTENTID")
                      .arg(kDiskId))
        != 0)
        die(way.name + QStringLiteral(": an entry's key is not above its folder's"));
    if (!search)
        return r;

    // The first step opens the search and finds the one match; the best of three searches.
    const int needleKey = scalarInt(
        *cat,
        QStringLiteral("select FCONTENTID from TCONTENT where FDISKID = %1 and FCONTENT = '%2'")
            .arg(kDiskId)
            .arg(kNeedle));
    double firstMs = 0;
    double bestMs = 0;
    for (int round = 0; round < 3; ++round) {
        FileSearch search(data.DefDatabase());
        QElapsedTimer t;
        t.start();
        const std::optional<int> key = search.step(kDiskId, kNeedle.toLower());
        const double ms = double(t.nsecsElapsed()) / 1e6;
        if (!key || *key != needleKey)
            die(QStringLiteral("FINDFILE did not find the file in the deepest folder"));
        if (search.step(kDiskId, kNeedle.toLower()))
            die(QStringLiteral("FINDFILE found a second match"));
        if (round == 0)
            firstMs = ms;
        bestMs = round == 0 ? ms : qMin(bestMs, ms);
    }
    say(QStringLiteral("FINDFILE: \"%1\" in the deepest folder (key %2 of %3 entries): %4 ms "
                       "first, %5 ms best of 3")
            .arg(kNeedle.toLower())
            .arg(needleKey)
            .arg(stored)
            .arg(firstMs, 0, 'f', 1)
            .arg(bestMs, 0, 'f', 1));
    return r;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A drive whose every directory entry costs this long to list, a stand-in for a disc's seek.
void delayListing(int us)
{
    if (us <= 0) {
        DirectoryWalker::setListingFault({});
        return;
    }
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    DirectoryWalker::setListingFault([us](const QString &, qint64) {
        // The walk may run on a thread of its own, whose slack is the default 50 us.
        ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        timespec ts {0, long(us) * 1000};
        ::nanosleep(&ts, nullptr);
        return 0;
    });
}

// The walk as the reader sees it, the best of rounds.
double walkSeconds(const QString &root, int rounds)
{
    double best = 0;
    for (int round = 0; round < rounds; ++round) {
        qint64 count = 0;
        const Stopwatch watch;
        DirectoryWalker::walk(root, [&](const DirectoryWalker::Entry &) {
            ++count;
            return true;
        });
        const double t = watch.elapsed().wall;
        best = round == 0 ? t : qMin(best, t);
    }
    return best;
}

enum class WaysShown { All, Two, Engine, Reread };

// The changes between two reads of a round: 1 % of the files rewritten with another size and
// date, 1 % removed and as many added, the folder of 1,000 files renamed. Odd and even rounds
// undo each other's removals, additions and renaming, so that every round changes as much.
class Changes
{
public:
    explicit Changes(const QString &root) : m_root(root)
    {
        QStringList files;
        QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
        files.sort();
        for (qsizetype i = 0; i < files.size(); ++i) {
            if (files[i].contains(kBigFolder))
                continue;
            if (i % 100 == 0)
                m_changed << files[i];
            else if (i % 100 == 33)
                m_removed << files[i];
            else if (i % 100 == 66)
                m_added << QFileInfo(files[i]).path() + QStringLiteral("/added %1.txt").arg(i);
        }
        m_added = m_added.mid(0, m_removed.size());
    }

    qsizetype files() const { return m_changed.size() + m_removed.size() + m_added.size(); }

    void apply(int round)
    {
        const bool odd = round % 2 == 1;
        for (const QString &path : m_changed)
            write(path, odd ? 100 : 50, 1500000000 + round);
        for (const QString &path : m_removed) {
            if (odd)
                QFile::remove(path);
            else
                write(path, 10, 1500000000);
        }
        for (const QString &path : m_added) {
            if (odd)
                write(path, 10, 1500000000);
            else
                QFile::remove(path);
        }
        const QString big = m_root + QLatin1Char('/') + kBigFolder;
        const QString renamed = big + QStringLiteral(" renamed");
        if (!QDir().rename(odd ? big : renamed, odd ? renamed : big))
            die(QStringLiteral("cannot rename ") + big);
    }

    // The folder of 1,000 files the changes rename.
    static bool makeBig(const QString &root)
    {
        const QString big = root + QLatin1Char('/') + kBigFolder;
        if (!QDir().mkpath(big))
            return false;
        for (int i = 0; i < 1000; ++i) {
            if (!write(big + QStringLiteral("/big %1.dat").arg(i), i % 50, 1500000000))
                return false;
        }
        return true;
    }

private:
    static bool write(const QString &path, int size, qint64 seconds)
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || f.write(QByteArray(size, 'c')) != size)
            return false;
        f.close();
        const timeval times[2] {{time_t(seconds), 0}, {time_t(seconds), 0}};
        return ::utimes(QFile::encodeName(path).constData(), times) == 0;
    }

    static inline const QString kBigFolder = QStringLiteral("Big folder");
    QString m_root;
    QStringList m_changed;
    QStringList m_removed;
    QStringList m_added;
};

// The tree read once, then again per round: after the round's changes in place, unchanged in
// place, unchanged written anew (the read before entries were compared); each as its ratio to
// the bare walk measured just before it.
void benchReread(const QString &root, int files, int rounds)
{
    TreeMaker maker(root, files);
    QElapsedTimer made;
    made.start();
    if (!maker.make() || !Changes::makeBig(root))
        die(QStringLiteral("cannot make the tree under ") + root);
    Changes changes(root);
    qint64 walked = 0;
    const double bare = bareWalk(root, walked).wall;
    say(QStringLiteral("tree: %1 entries (%2 files, a folder of 1,000 files), made in %3 s; bare "
                       "walk %4 s; %5 files change per round")
            .arg(walked)
            .arg(files + 1000)
            .arg(double(made.elapsed()) / 1000, 0, 'f', 1)
            .arg(bare, 0, 'f', 2)
            .arg(changes.files()));

    // The floor of any read: the reader's own walker, with nothing written.
    const double walker = plainWalk(root, walked).wall;
    say(QStringLiteral("the reader's walker alone: %1 s, %2 x the bare walk")
            .arg(walker, 0, 'f', 2)
            .arg(walker / bareWalk(root, walked).wall, 0, 'f', 2));

    FixedVolumeSource volumes;
    volumes.volumes.insert(root,
                           {QStringLiteral("BENCH"), QStringLiteral("1A2B3C4D"), 4700000000LL});
    const auto cat = freshCatalogue();
    Catalogue data;
    connectTo(data, *cat);
    ContentWriter dtContent(data.DefDatabase(), data.spNextID(), QStringLiteral("dtContent"));
    EditorReadWatch readWatch(nullptr);
    DiskReader reader(data, dtContent, readWatch);
    qint64 written = 0;
    QObject::connect(&reader, &DiskReader::entryWritten, [&](qint64 n) { written = n; });

    struct Kind
    {
        QString name;
        bool inPlace;
        std::vector<double> ratios;
        std::vector<double> seconds;
        qint64 growth = 0;
    };
    std::vector<Kind> kinds {
        {QStringLiteral("first read (empty disk)"), true, {}, {}, 0},
        {QStringLiteral("after the changes, in place"), true, {}, {}, 0},
        {QStringLiteral("unchanged, in place"), true, {}, {}, 0},
        {QStringLiteral("unchanged, written anew (removed, then every entry inserted)"),
         false,
         {},
         {},
         0},
    };
    bool peakReset = true;
    auto measure = [&](Kind &kind) {
        qint64 entries = 0;
        const double baseline = bareWalk(root, entries).wall;
        reader.setInPlace(kind.inPlace);
        ::sync();
        peakReset = resetPeak() && peakReset;
        const qint64 rssBefore = procField("status", "VmRSS");
        const Stopwatch watch;
        reader.read(root, DiskReader::Mode::Replace);
        const double t = watch.elapsed().wall;
        kind.growth = qMax(kind.growth, procField("status", "VmHWM") - rssBefore);
        kind.ratios.push_back(t / baseline);
        kind.seconds.push_back(t);
        const int stored = scalarInt(
            *cat, QStringLiteral("select count(*) from TCONTENT where FDISKID = %1").arg(kDiskId));
        if (written != entries || stored != entries + 1)
            die(kind.name
                + QStringLiteral(": read %1 entries and stored %2 rows of %3 walked")
                      .arg(written)
                      .arg(stored)
                      .arg(entries));
    };
    measure(kinds[0]);
    for (int round = 1; round <= rounds; ++round) {
        changes.apply(round);
        for (size_t k = 1; k < kinds.size(); ++k)
            measure(kinds[k]);
    }
    say(QStringLiteral("read again / bare walk, median of %1 rounds (goals: unchanged <= 1.5, "
                       "changed <= 1.8, memory < 100 MB at 1,100,000 entries):")
            .arg(rounds));
    for (const Kind &kind : kinds) {
        say(QStringLiteral("  %1: %2 (%3 s; memory +%4 MB%5)")
                .arg(kind.name)
                .arg(median(kind.ratios), 0, 'f', 2)
                .arg(median(kind.seconds), 0, 'f', 2)
                .arg(double(kind.growth) / 1024, 0, 'f', 1)
                .arg(peakReset ? QString() : QStringLiteral(", peak not resettable")));
    }
}

void benchRead(const QString &root, int files, int rounds, const std::vector<int> &rowsPerCall,
               int delayUs, WaysShown waysShown)
{
    TreeMaker maker(root, files);
    QElapsedTimer made;
    made.start();
    if (!maker.make())
        die(QStringLiteral("cannot make the tree under ") + root);
    say(QStringLiteral("tree: %1 files in %2 folders, %3 levels deep, made in %4 s")
            .arg(files)
            .arg(maker.folders())
            .arg(maker.depth())
            .arg(double(made.elapsed()) / 1000, 0, 'f', 1));

    qint64 bareEntries = 0;
    const Timing bare = bareWalk(root, bareEntries);
    say(QStringLiteral("bare walk (readdir + fstatat): %1 entries, %2 entries/s (best of 3)")
            .arg(bareEntries)
            .arg(qRound64(double(bareEntries) / bare.wall)));
    qint64 walked = 0;
    const Timing walk = plainWalk(root, walked);
    say(QStringLiteral("walk: %1 entries, %2 entries/s (best of 3, %3 entries per CPU second)")
            .arg(walked)
            .arg(qRound64(double(walked) / walk.wall))
            .arg(qRound64(double(walked) / walk.cpu)));

    FixedVolumeSource volumes;
    volumes.volumes.insert(root,
                           {QStringLiteral("BENCH"), QStringLiteral("1A2B3C4D"), 4700000000LL});

    // Every way once per round, the rounds interleaved, so that the load of other work on
    // the machine falls on all of them alike; each is given as its median ratio to the bare
    // walk measured just before it.
    std::vector<Way> list = ways(rowsPerCall);
    if (waysShown == WaysShown::Two) {
        list = {list[0], list[4]};
    } else if (waysShown == WaysShown::Engine) {
        // The one at a time read, the default, and the engine's ways measured on the default.
        std::vector<Way> engine {list[0], list[4]};
        engine.insert(engine.end(), list.end() - 5, list.end());
        list = std::move(engine);
    }
    const size_t byDefault = waysShown == WaysShown::All ? 4 : 1;
    std::vector<std::vector<double>> ratios(list.size());
    std::vector<std::vector<double>> seconds(list.size());
    std::vector<std::vector<double>> cpu(list.size());
    std::vector<qint64> growth(list.size(), 0);
    bool peakReset = true;
    for (int round = 0; round < rounds; ++round) {
        for (size_t w = 0; w < list.size(); ++w) {
            qint64 entries = 0;
            const double baseline = bareWalk(root, entries).wall;
            const ReadResult r = readOnce(root, list[w], walked, round == 0 && w == 0);
            ratios[w].push_back(r.time.wall / baseline);
            seconds[w].push_back(r.time.wall);
            cpu[w].push_back(r.time.cpu);
            growth[w] = qMax(growth[w], r.peak - r.rssBefore);
            peakReset = peakReset && r.peakReset;
        }
    }
    say(QStringLiteral("read / bare walk, median of %1 interleaved rounds (goal <= 3 for the "
                       "default):")
            .arg(rounds));
    const double before = median(seconds[0]);
    for (size_t w = 0; w < list.size(); ++w) {
        say(QStringLiteral("  %1: %2 (%3 s, %8 s CPU, %4 entries/s, %5 x as fast as one at a "
                           "time; memory +%6 MB%7)")
                .arg(list[w].name)
                .arg(median(ratios[w]), 0, 'f', 2)
                .arg(median(seconds[w]), 0, 'f', 2)
                .arg(qRound64(double(walked) / median(seconds[w])))
                .arg(before / median(seconds[w]), 0, 'f', 2)
                .arg(double(growth[w]) / 1024, 0, 'f', 1)
                .arg(peakReset ? QString() : QStringLiteral(", peak not resettable"))
                .arg(median(cpu[w]), 0, 'f', 2));
    }

    {
        // Closing the dialog halfway: how long until the read has ended.
        std::vector<double> stops;
        for (int round = 0; round < rounds; ++round)
            stops.push_back(readOnce(root, list[byDefault], walked, false, walked / 2).stopMs);
        say(QStringLiteral("closing the dialog halfway through the default read: the read ends "
                           "%1 ms later (median of %2)")
                .arg(median(stops), 0, 'f', 1)
                .arg(rounds));
    }

    if (delayUs > 0) {
        // A slow drive: the walk itself is the baseline, and the read should take little
        // more than it.
        delayListing(delayUs);
        const double slowWalk = walkSeconds(root, 1);
        say(QStringLiteral("slow drive, %1 us per directory entry: walk %2 s")
                .arg(delayUs)
                .arg(slowWalk, 0, 'f', 2));
        for (const size_t w : {size_t(0), byDefault}) {
            const ReadResult r = readOnce(root, list[w], walked, false);
            say(QStringLiteral("  %1: %2 s, %3 x the slow walk")
                    .arg(list[w].name)
                    .arg(r.time.wall, 0, 'f', 2)
                    .arg(r.time.wall / slowWalk, 0, 'f', 2));
        }
        delayListing(0);
    }
}

// The parts of a read's per-entry work, each timed over the whole tree on its own.
void benchParts(const QString &root, qint64 entries, double walkWall)
{
    auto perEntry = [entries, walkWall](const Timing &t) {
        return QStringLiteral("%1 s, %2 us/entry, %3 x walk")
            .arg(t.wall, 0, 'f', 2)
            .arg(t.wall * 1e6 / double(entries), 0, 'f', 2)
            .arg(t.wall / walkWall, 0, 'f', 1);
    };

    // The dialog: events processed and the file shown for every entry, as the read does.
    {
        TfProgress progress;
        progress.show();
        qint64 files = 0;
        qint64 bytes = 0;
        const Stopwatch watch;
        DirectoryWalker::walk(root, [&](const DirectoryWalker::Entry &e) {
            QCoreApplication::processEvents();
            if (!progress.isVisible())
                return false;
            if (!e.isDirectory()) {
                bytes += e.size;
                QString path = e.folderPath;
                if (!path.endsWith(QLatin1Char('/')))
                    path += QLatin1Char('/');
                progress.fileFound(path + e.name, ++files, bytes, 4700000000LL);
            }
            return true;
        });
        const Timing t = watch.elapsed();
        say(QStringLiteral("  walk + processEvents for every entry + dialog: ")
                .append(perEntry(t)));
    }
    {
        const Stopwatch watch;
        DirectoryWalker::walk(root, [&](const DirectoryWalker::Entry &) {
            QCoreApplication::processEvents();
            return true;
        });
        const Timing t = watch.elapsed();
        say(QStringLiteral("  walk + processEvents for every entry (no dialog; the reader does it "
                           "every 5 ms): ")
                .append(perEntry(t)));
    }

    // The writes: GETNEXTID and the insert per entry through dtContent, commits held.
    {
        const auto cat = freshCatalogue();
        Catalogue data;
        connectTo(data, *cat);
        ContentWriter dtContent(data.DefDatabase(), data.spNextID(), QStringLiteral("dtContent"));
        dtContent.setTuning({1, 1});
        dtContent.open(kDiskId);
        ::sync();
        const qint64 writtenBefore = procField("io", "write_bytes");
        const Stopwatch watch;
        {
            Transaction::CommitHold hold(data.DefDatabase().transaction());
            std::vector<int> owners {dtContent.append(
                0, ContentWriter::Root, QStringLiteral("bench"), 0, QDateTime::currentDateTime())};
            DirectoryWalker::walk(root, [&](const DirectoryWalker::Entry &e) {
                const int owner = owners[size_t(e.depth - 1)];
                if (e.isDirectory()) {
                    owners.resize(size_t(e.depth) + 1);
                    owners[size_t(e.depth)]
                        = dtContent.append(owner, ContentWriter::Directory, e.name, 0, e.modified);
                } else {
                    dtContent.append(owner, ContentWriter::File, e.name, e.size, e.modified);
                }
                return true;
            });
            dtContent.flush();
        }
        const Timing t = watch.elapsed();
        dtContent.close();
        say(QStringLiteral("  walk + GETNEXTID + insert (dtContent, no dialog): ")
                .append(perEntry(t))
                .append(QStringLiteral(", %1 s CPU, %2 MB written to storage")
                            .arg(t.cpu, 0, 'f', 2)
                            .arg(double(procField("io", "write_bytes") - writtenBefore) / 1048576,
                                 0, 'f', 1)));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    SignalCleanup::install();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // A stopped read tells the user so; here nobody is there to close the box.
    RecordingPrompt prompt;
    const QStringList args = app.arguments();
    const int files = args.size() > 1 ? args[1].toInt() : 100000;
    const int rounds = args.size() > 2 ? args[2].toInt() : 3;
    const int delayUs = args.size() > 3 ? args[3].toInt() : 50;
    std::vector<int> rowsPerCall;
    for (const QString &k : args.value(4).split(QLatin1Char(','), Qt::SkipEmptyParts))
        rowsPerCall.push_back(k.toInt());
    const WaysShown waysShown = args.value(5) == QLatin1String("two") ? WaysShown::Two
        : args.value(5) == QLatin1String("engine")                    ? WaysShown::Engine
        : args.value(5) == QLatin1String("reread")                    ? WaysShown::Reread
                                                                      : WaysShown::All;
    if (files < 10 || rounds < 1)
        die(QStringLiteral("usage: bench_reader [files [rounds [delay-us [rows,per,call "
                           "[all|two|engine|reread]]]]]   (at least 10 files)"));
    QTemporaryDir dir;
    if (!dir.isValid())
        die(QStringLiteral("no temporary folder"));
    SignalCleanup::addFolder(dir.path());
    const QString root = dir.filePath(QStringLiteral("drive"));
    try {
        if (waysShown == WaysShown::Reread) {
            benchReread(root, files, rounds);
            return 0;
        }
        benchRead(root, files, rounds, rowsPerCall, delayUs, waysShown);
        qint64 entries = 0;
        const Timing walk = plainWalk(root, entries);
        say(QStringLiteral("where a read's time goes (walk %1 s):").arg(walk.wall, 0, 'f', 2));
        benchParts(root, entries, walk.wall);
    } catch (const DbError &e) {
        die(e.text());
    }
    return 0;
}
