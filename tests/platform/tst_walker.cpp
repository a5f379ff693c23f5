#include "platform/DirectoryWalker.h"
#include "tests/support/FixtureTree.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

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

QTEST_GUILESS_MAIN(TestWalker)
#include "tst_walker.moc"
