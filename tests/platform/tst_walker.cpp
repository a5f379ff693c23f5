#include "platform/DirectoryWalker.h"
#include "tests/support/FixtureTree.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using Type = DirectoryWalker::Type;
using namespace FixtureTree;

namespace {

struct Walked
{
    DirectoryWalker::Result result = DirectoryWalker::Result::StartFailed;
    QList<DirectoryWalker::Entry> entries;
};

Walked walkAll(const QString &root)
{
    Walked walked;
    walked.result = DirectoryWalker::walk(root, [&](const DirectoryWalker::Entry &entry) {
        walked.entries.append(entry);
        return true;
    });
    return walked;
}

} // namespace

class TestWalker : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fixtures_data();
    void fixtures();
    void readableName_data();
    void readableName();
    void modificationTimeToTheSecond_data();
    void modificationTimeToTheSecond();
    void callbackStopsTheWalk();
    void missingStartFolder();
    void faultsAreCounted_data();
    void faultsAreCounted();
    void startError_data();
    void startError();
};

void TestWalker::fixtures_data()
{
    QTest::addColumn<Fixture>("fixture");
    QTest::addColumn<QByteArray>("rawName"); // of the entry looked for
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("depth");
    QTest::addColumn<Type>("type");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("listable");
    QTest::addColumn<int>("children"); // entries directly in it, -1 when not a folder
    QTest::addColumn<int>("total"); // entries of the whole walk

    // As root a folder with mode 000 can still be listed.
    const bool root = ::geteuid() == 0;

    QTest::newRow("cyrillic") << Fixture::Cyrillic << QByteArray("Привет мир.txt")
                              << QStringLiteral("Привет мир.txt") << 1 << Type::File << qint64(5)
                              << true << -1 << 1;
    QTest::newRow("accented") << Fixture::Accented << QByteArray("Café déjà vu.txt")
                              << QStringLiteral("Café déjà vu.txt") << 1 << Type::File << qint64(3)
                              << true << -1 << 1;
    QTest::newRow("cjk") << Fixture::Cjk << QByteArray("日本語のファイル.txt")
                         << QStringLiteral("日本語のファイル.txt") << 1 << Type::File << qint64(4)
                         << true << -1 << 1;
    QTest::newRow("emoji") << Fixture::Emoji << QByteArray("😀🎉.txt") << QStringLiteral("😀🎉.txt")
                           << 1 << Type::File << qint64(2) << true << -1 << 1;
    QTest::newRow("invalid utf-8") << Fixture::InvalidUtf8 << QByteArray("bad\xff\xfe-\xc3(.txt")
                                   << QStringLiteral("bad\\xFF\\xFE-\\xC3(.txt") << 1 << Type::File
                                   << qint64(1) << true << -1 << 1;
    QTest::newRow("255-byte name") << Fixture::LongName << QByteArray(251, 'n') + ".txt"
                                   << QString(251, QLatin1Char('n')) + QStringLiteral(".txt") << 1
                                   << Type::File << qint64(7) << true << -1 << 1;
    QTest::newRow("deeper than 100")
        << Fixture::Deep << QByteArray("leaf.txt") << QStringLiteral("leaf.txt") << DeepLevels + 1
        << Type::File << qint64(4) << true << -1 << DeepLevels + 1;
    QTest::newRow("symlink loop: self")
        << Fixture::SymlinkLoop << QByteArray("self") << QStringLiteral("self") << 1
        << Type::SymLink << qint64(0) << true << -1 << 3;
    QTest::newRow("symlink loop: pair")
        << Fixture::SymlinkLoop << QByteArray("a") << QStringLiteral("a") << 1 << Type::SymLink
        << qint64(0) << true << -1 << 3;
    QTest::newRow("unreadable folder")
        << Fixture::Unreadable << QByteArray("locked") << QStringLiteral("locked") << 1
        << Type::Directory << qint64(0) << root << (root ? 1 : 0) << (root ? 2 : 1);
    QTest::newRow("fifo") << Fixture::Fifo << QByteArray("pipe") << QStringLiteral("pipe") << 1
                          << Type::Other << qint64(0) << true << -1 << 1;
    QTest::newRow("sparse 5 GiB") << Fixture::Sparse << QByteArray("big.bin")
                                  << QStringLiteral("big.bin") << 1 << Type::File << SparseSize
                                  << true << -1 << 1;
    QTest::newRow("hidden file") << Fixture::Hidden << QByteArray(".hidden")
                                 << QStringLiteral(".hidden") << 1 << Type::File << qint64(3)
                                 << true << -1 << 1;
    QTest::newRow("hidden folder")
        << Fixture::HiddenFolder << QByteArray(".rc") << QStringLiteral(".rc") << 2 << Type::File
        << qint64(2) << true << -1 << 2;
    QTest::newRow("empty folder") << Fixture::Empty << QByteArray("empty")
                                  << QStringLiteral("empty") << 1 << Type::Directory << qint64(0)
                                  << true << 0 << 1;
}

void TestWalker::fixtures()
{
    QFETCH(Fixture, fixture);
    QFETCH(QByteArray, rawName);
    QFETCH(QString, name);
    QFETCH(int, depth);
    QFETCH(Type, type);
    QFETCH(qint64, size);
    QFETCH(bool, listable);
    QFETCH(int, children);
    QFETCH(int, total);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray root = QFile::encodeName(dir.path());
    QVERIFY(build(fixture, root));
    const auto restore = qScopeGuard([&] { release(root); });

    const Walked walked = walkAll(dir.path());
    QCOMPARE(walked.result, DirectoryWalker::Result::Finished);
    QCOMPARE(walked.entries.size(), total);

    const DirectoryWalker::Entry *found = nullptr;
    for (const DirectoryWalker::Entry &entry : walked.entries) {
        if (entry.rawName == rawName)
            found = &entry;
    }
    QVERIFY2(found, rawName.constData());
    QCOMPARE(found->name, name);
    QCOMPARE(found->validUtf8, name.toUtf8() == rawName);
    QCOMPARE(found->depth, depth);
    QCOMPARE(found->type, type);
    QCOMPARE(found->size, size);
    QCOMPARE(found->listable, listable);
    QVERIFY(found->modified.isValid());
    if (children >= 0) {
        const auto inside = std::count_if(
            walked.entries.cbegin(), walked.entries.cend(),
            [&](const DirectoryWalker::Entry &entry) { return entry.parentId == found->id; });
        QCOMPARE(int(inside), children);
    }

    // Every entry hangs under an entry reported before it, one level up.
    QHash<qint64, int> depthOf {{0, 0}};
    for (const DirectoryWalker::Entry &entry : walked.entries) {
        QVERIFY(depthOf.contains(entry.parentId));
        QCOMPARE(entry.depth, depthOf.value(entry.parentId) + 1);
        depthOf.insert(entry.id, entry.depth);
    }

    if (fixture == Fixture::Sparse) {
        // The 5 GiB file takes next to no disk space.
        struct stat info
        {
        };
        QCOMPARE(::stat(joined(root, "big.bin").constData(), &info), 0);
        QVERIFY(qint64(info.st_blocks) * 512 < 1024 * 1024);
    }
}

void TestWalker::readableName_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("readable");
    QTest::addColumn<bool>("valid");

    QTest::newRow("ascii") << QByteArray("plain.txt") << QStringLiteral("plain.txt") << true;
    QTest::newRow("cyrillic") << QByteArray("Файл") << QStringLiteral("Файл") << true;
    QTest::newRow("four-byte") << QByteArray("\xf0\x9f\x98\x80") << QStringLiteral("😀") << true;
    QTest::newRow("lone byte") << QByteArray("a\xffz") << QStringLiteral("a\\xFFz") << false;
    QTest::newRow("cp1251") << QByteArray("\xcf\xf0\xe8") << QStringLiteral("\\xCF\\xF0\\xE8")
                            << false;
    QTest::newRow("truncated sequence")
        << QByteArray("ok\xe6\x97") << QStringLiteral("ok\\xE6\\x97") << false;
    QTest::newRow("overlong slash")
        << QByteArray("\xc0\xaf") << QStringLiteral("\\xC0\\xAF") << false;
    QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << QStringLiteral("\\xED\\xA0\\x80")
                               << false;
    QTest::newRow("valid after invalid")
        << QByteArray("\xff\xd0\xaf") << QStringLiteral("\\xFFЯ") << false;
}

void TestWalker::readableName()
{
    QFETCH(QByteArray, raw);
    QFETCH(QString, readable);
    QFETCH(bool, valid);

    bool isValid = !valid;
    QCOMPARE(DirectoryWalker::readableName(raw, &isValid), readable);
    QCOMPARE(isValid, valid);
}

void TestWalker::modificationTimeToTheSecond_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QDateTime>("when"); // local wall clock in that zone
    QTest::newRow("UTC") << QByteArray("UTC") << QDateTime(QDate(2021, 3, 14), QTime(15, 9, 26));
    QTest::newRow("Moscow") << QByteArray("Europe/Moscow")
                            << QDateTime(QDate(2021, 3, 14), QTime(0, 0, 1));
    QTest::newRow("New York, summer")
        << QByteArray("America/New_York") << QDateTime(QDate(2021, 7, 4), QTime(23, 59, 59));
    QTest::newRow("New York, winter")
        << QByteArray("America/New_York") << QDateTime(QDate(2021, 1, 1), QTime(12, 0, 0));
}

void TestWalker::modificationTimeToTheSecond()
{
    QFETCH(QByteArray, zone);
    QFETCH(QDateTime, when);
    const QByteArray previous = qgetenv("TZ");
    qputenv("TZ", zone);
    ::tzset();
    const auto restoreZone = qScopeGuard([&] {
        if (previous.isEmpty())
            qunsetenv("TZ");
        else
            qputenv("TZ", previous);
        ::tzset();
    });

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray path = joined(QFile::encodeName(dir.path()), "dated.txt");
    QVERIFY(writeFile(path, "d"));
    const QDateTime local(when.date(), when.time()); // in the zone just set
    const timespec times[2]
        = {{local.toSecsSinceEpoch(), 535897932}, {local.toSecsSinceEpoch(), 535897932}};
    QCOMPARE(::utimensat(AT_FDCWD, path.constData(), times, 0), 0);

    const Walked walked = walkAll(dir.path());
    QCOMPARE(walked.entries.size(), 1);
    const QDateTime modified = walked.entries.first().modified;
    // The same moment, and the wall clock of the zone, without the nanoseconds.
    QCOMPARE(modified.toSecsSinceEpoch(), local.toSecsSinceEpoch());
    QCOMPARE(modified.date(), when.date());
    QCOMPARE(modified.time(), when.time());
    QCOMPARE(walked.entries.first().folderPath, dir.path());
}

void TestWalker::callbackStopsTheWalk()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray root = QFile::encodeName(dir.path());
    for (const char *name : {"one", "two", "three", "four"})
        QVERIFY(writeFile(joined(root, name), name));

    int calls = 0;
    const auto result = DirectoryWalker::walk(
        dir.path(), [&](const DirectoryWalker::Entry &) { return ++calls < 2; });
    QCOMPARE(result, DirectoryWalker::Result::Stopped);
    QCOMPARE(calls, 2);
}

void TestWalker::missingStartFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    int calls = 0;
    const auto result = DirectoryWalker::walk(dir.filePath(QStringLiteral("absent")),
                                              [&](const DirectoryWalker::Entry &) {
                                                  ++calls;
                                                  return true;
                                              });
    QCOMPARE(result, DirectoryWalker::Result::StartFailed);
    QCOMPARE(calls, 0);
}

void TestWalker::faultsAreCounted_data()
{
    QTest::addColumn<QString>("faulty"); // folder whose listing fails: "." the start, "" none
    QTest::addColumn<int>("faultAfter"); // entries it gives before it fails
    QTest::addColumn<int>("mode"); // given to the folder "inner", -1: left alone
    QTest::addColumn<int>("reported"); // entries the callback gets
    QTest::addColumn<qint64>("folders");
    QTest::addColumn<qint64>("entries");

    // The start holds "inner" (three files) and "top.txt".
    QTest::newRow("a listing breaks off") << QStringLiteral("inner") << 1 << -1 << 3 << 1LL << 0LL;
    QTest::newRow("the start breaks off at once")
        << QStringLiteral(".") << 0 << -1 << 0 << 1LL << 0LL;
    QTest::newRow("nothing fails") << QString() << 0 << -1 << 5 << 0LL << 0LL;
    // Root opens and looks into any folder.
    const bool root = ::geteuid() == 0;
    QTest::newRow("a folder that cannot be opened")
        << QString() << 0 << 0000 << (root ? 5 : 2) << (root ? 0LL : 1LL) << 0LL;
    QTest::newRow("entries that cannot be looked at")
        << QString() << 0 << 0444 << 5 << 0LL << (root ? 0LL : 3LL);
}

void TestWalker::faultsAreCounted()
{
    QFETCH(QString, faulty);
    QFETCH(int, faultAfter);
    QFETCH(int, mode);
    QFETCH(int, reported);
    QFETCH(qint64, folders);
    QFETCH(qint64, entries);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray root = QFile::encodeName(dir.path());
    QVERIFY(::mkdir(joined(root, "inner").constData(), 0755) == 0);
    for (const char *name : {"inner/a", "inner/b", "inner/c", "top.txt"})
        QVERIFY(writeFile(joined(root, name), name));
    if (mode >= 0)
        QCOMPARE(::chmod(joined(root, "inner").constData(), mode_t(mode)), 0);
    const auto restore = qScopeGuard([&] {
        ::chmod(joined(root, "inner").constData(), 0755);
        DirectoryWalker::setListingFault({});
    });
    if (!faulty.isEmpty()) {
        const QString folder = QDir::cleanPath(dir.path() + QLatin1Char('/') + faulty);
        DirectoryWalker::setListingFault([=](const QString &path, qint64 listed) {
            return path == folder && listed >= faultAfter ? EIO : 0;
        });
    }

    DirectoryWalker::Faults faults;
    int calls = 0;
    const auto result = DirectoryWalker::walk(
        dir.path(),
        [&](const DirectoryWalker::Entry &) {
            ++calls;
            return true;
        },
        &faults);
    // A fault ends a folder as its end does: the walk goes on with the rest.
    QCOMPARE(result, DirectoryWalker::Result::Finished);
    QCOMPARE(calls, reported);
    QCOMPARE(faults.folders, folders);
    QCOMPARE(faults.entries, entries);
}

void TestWalker::startError_data()
{
    QTest::addColumn<QString>("start"); // below a temporary folder holding "folder", "file", "link"
    QTest::addColumn<int>("error");
    QTest::newRow("folder") << QStringLiteral("folder") << 0;
    QTest::newRow("missing") << QStringLiteral("absent") << ENOENT;
    QTest::newRow("file") << QStringLiteral("file") << ENOTDIR;
    // The walk follows no link, its start included: a caller resolves one first.
    QTest::newRow("link to the folder") << QStringLiteral("link") << ENOTDIR;
    QTest::newRow("folder under the link") << QStringLiteral("link/inside") << 0;
}

void TestWalker::startError()
{
    QFETCH(QString, start);
    QFETCH(int, error);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray root = QFile::encodeName(dir.path());
    QVERIFY(::mkdir(joined(root, "folder").constData(), 0755) == 0);
    QVERIFY(::mkdir(joined(root, "folder/inside").constData(), 0755) == 0);
    QVERIFY(writeFile(joined(root, "file"), "file"));
    QVERIFY(::symlink("folder", joined(root, "link").constData()) == 0);
    const QString path = dir.filePath(start);
    QCOMPARE(DirectoryWalker::startError(path), error);
    const auto result
        = DirectoryWalker::walk(path, [](const DirectoryWalker::Entry &) { return true; });
    QCOMPARE(result == DirectoryWalker::Result::StartFailed, error != 0);
}

QTEST_GUILESS_MAIN(TestWalker)
#include "tst_walker.moc"
