// A disk read again in replace mode writes only what changed on the volume, and leaves the same
// catalogue as a read that removes every entry and writes them all anew: the same entries under
// the same parents with the same names, sizes, dates and types, the same disk record. What did
// not change keeps its key.

#include "app/Catalogue.h"
#include "app/ConnectionSettings.h"
#include "disk/ContentWriter.h"
#include "disk/DiskReader.h"
#include "disk/EditorReadWatch.h"
#include "disk/StoredContent.h"
#include "disk/uProgress.h"
#include "store/DbError.h"
#include "store/Statement.h"
#include "tests/support/CatalogueSample.h"
#include "tests/support/FixedVolumeSource.h"
#include "tests/support/FixtureTree.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/TestCatalogue.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

using namespace FixtureTree;

namespace {

constexpr int kFolderId = TestCatalogue::startFolderId;
constexpr int kDiskId = 17;
const QString kLabel = QStringLiteral("REREAD");
const QString kSerial = QStringLiteral("0DEC0DED");
constexpr qint64 kCapacity = 4LL * 1024 * 1024 * 1024;

std::unique_ptr<TestCatalogue> catalogueWithDisk()
{
    auto cat = std::make_unique<TestCatalogue>();
    if (cat->isValid()) {
        cat->exec({QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME) values "
                                  "(%1, %2, 1, 'Again')")
                       .arg(kDiskId)
                       .arg(kFolderId)});
    }
    return cat;
}

// One stored entry: its key and everything else about it, its place given by its path.
struct Stored
{
    int key = 0;
    QString row;
};

// The entries of the disk by path ("" for the root entry), the parents followed by key. The
// moment of reading a root entry holds differs from read to read and is left out.
QMap<QString, Stored> entries(const TestCatalogue &cat)
{
    const auto rows = cat.rows(
        QStringLiteral("select FCONTENTID, FOWNCONTENTID, FTYPE, FCONTENT, FSIZE, FDATE from "
                       "TCONTENT where FDISKID = %1")
            .arg(kDiskId));
    QHash<int, QVariantList> byKey;
    for (const QVariantList &row : rows)
        byKey.insert(row[0].toInt(), row);
    QMap<QString, Stored> result;
    for (const QVariantList &row : rows) {
        QString path;
        QVariant owner = row[1];
        for (int depth = 0; !owner.isNull(); ++depth) {
            const QVariantList up = byKey.value(owner.toInt());
            if (up.isEmpty() || depth > 1000) {
                path.prepend(QStringLiteral("<orphan>"));
                break;
            }
            if (!up[1].isNull())
                path.prepend(QLatin1Char('/') + up[3].toString());
            owner = up[1];
        }
        if (!row[1].isNull())
            path += QLatin1Char('/') + row[3].toString();
        const int type = row[2].toInt();
        const QString date = type == ContentWriter::Root
            ? QStringLiteral("(read)")
            : row[5].toDateTime().toString(Qt::ISODateWithMs);
        const QString line = QStringLiteral("type %1 \"%2\" size %3 %4")
                                 .arg(type)
                                 .arg(row[3].toString())
                                 .arg(row[4].toDouble(), 0, 'f', 0)
                                 .arg(date);
        // Two entries of one path are both shown.
        const QString at = result.contains(path) ? path + QStringLiteral(" (again)") : path;
        result.insert(at, {row[0].toInt(), line});
    }
    return result;
}

QStringList lines(const QMap<QString, Stored> &all)
{
    QStringList result;
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        result << it.key() + QStringLiteral(": ") + it.value().row;
    return result;
}

QVariantList diskRecord(const TestCatalogue &cat)
{
    return cat
        .rows(QStringLiteral("select FFULLSIZE, FLABEL, FUNIQUE, FFILES from TDISK where "
                             "FDISKID = %1")
                  .arg(kDiskId))
        .value(0);
}

// The reader as the disk editor drives it.
struct ReaderRun
{
    Catalogue data;
    std::unique_ptr<ContentWriter> dtContent;
    EditorReadWatch watch {nullptr};
    std::unique_ptr<DiskReader> reader;

    bool connect(const TestCatalogue &cat)
    {
        ConnectionSettings settings;
        settings.databaseName = cat.path();
        settings.userName = QStringLiteral("KODRA");
        settings.userPass = QStringLiteral("TARLO");
        if (!CatalogueSample::connectMain(data, settings)
            || !data.dtDisk().locate(QStringLiteral("FDISKID"), kDiskId))
            return false;
        dtContent = std::make_unique<ContentWriter>(data.DefDatabase(), data.spNextID(),
                                                    QStringLiteral("dtContent"));
        reader = std::make_unique<DiskReader>(data, *dtContent, watch);
        return true;
    }
};

// Reads tree into the disk of cat in replace mode; stopAt > 0 closes the dialog at that entry.
QString readInto(const TestCatalogue &cat, const QString &tree, bool inPlace, int rowsPerCall = 32,
                 bool walkAhead = true, qint64 stopAt = 0)
{
    ReaderRun run;
    if (!run.connect(cat))
        return QStringLiteral("cannot connect");
    run.dtContent->setTuning({ContentWriter::Tuning().maxKeysPerDraw, rowsPerCall});
    run.reader->setWalkAhead(walkAhead);
    run.reader->setInPlace(inPlace);
    QObject::connect(run.reader.get(), &DiskReader::entryWritten, [&](qint64 n) {
        if (n == stopAt)
            run.watch.progress()->close();
    });
    QString error;
    try {
        run.reader->read(tree, DiskReader::Mode::Replace);
    } catch (const DbError &e) {
        error = e.text();
    }
    run.data.DefDatabase().close();
    return error;
}

bool makeDir(const QByteArray &path)
{
    return ::mkdir(path.constData(), 0755) == 0;
}

// Sets a file's modification time to seconds after the epoch.
bool setTime(const QByteArray &path, qint64 seconds)
{
    const timeval times[2] {{time_t(seconds), 0}, {time_t(seconds), 0}};
    return ::utimes(path.constData(), times) == 0;
}

const QByteArray kLong = QByteArray(250, 'L') + ".txt";

// The tree before: folders and files of every kind the changes below touch.
bool buildBefore(const QByteArray &root)
{
    bool ok = makeDir(joined(root, "keep")) && writeFile(joined(root, "keep/a.txt"), "aaaa")
        && makeDir(joined(root, "keep/sub")) && writeFile(joined(root, "keep/sub/b.txt"), "bb")
        && writeFile(joined(root, "grow.txt"), "1") && writeFile(joined(root, "touch.txt"), "22")
        && writeFile(joined(root, "both.txt"), "333") && writeFile(joined(root, "gone.txt"), "g")
        && makeDir(joined(root, "gonedir")) && writeFile(joined(root, "gonedir/x"), "x")
        && makeDir(joined(root, "gonedir/deeper"))
        && writeFile(joined(root, "gonedir/deeper/y"), "y") && makeDir(joined(root, "oldname"))
        && writeFile(joined(root, "oldname/1.txt"), "1")
        && writeFile(joined(root, "oldname/2.txt"), "2") && makeDir(joined(root, "src"))
        && makeDir(joined(root, "src/moving")) && writeFile(joined(root, "src/moving/m.txt"), "m")
        && makeDir(joined(root, "dst")) && writeFile(joined(root, "turn"), "a file first")
        && makeDir(joined(root, "wasdir")) && writeFile(joined(root, "wasdir/inside"), "i")
        && writeFile(joined(root, "keep.txt"), "k") && writeFile(joined(root, "café.txt"), "nfc")
        && writeFile(joined(root, "space.txt"), "s") && writeFile(joined(root, "quote'\".txt"), "q")
        && writeFile(joined(root, "bad\xff\xfe.txt"), "bad") && writeFile(joined(root, kLong), "l")
        && writeFile(joined(root, "😀.txt"), "smile");
    ok = ok && makeDir(joined(root, "cyrillic"))
        && build(Fixture::Cyrillic, joined(root, "cyrillic")) && makeDir(joined(root, "invalid"))
        && build(Fixture::InvalidUtf8, joined(root, "invalid")) && makeDir(joined(root, "deep"))
        && build(Fixture::Deep, joined(root, "deep"));
    // Known dates, so that a changed date is a change.
    for (const char *file : {"grow.txt", "touch.txt", "both.txt", "keep/a.txt"})
        ok = ok && setTime(joined(root, file), 1600000000);
    return ok;
}

// The changes between the two reads.
bool change(const QByteArray &root)
{
    auto remove = [](const QByteArray &path) { return ::unlink(path.constData()) == 0; };
    auto rename = [](const QByteArray &from, const QByteArray &to) {
        return ::rename(from.constData(), to.constData()) == 0;
    };
    return writeFile(joined(root, "grow.txt"), "grown")
        && setTime(joined(root, "grow.txt"), 1600000000)
        && setTime(joined(root, "touch.txt"), 1700000000)
        && writeFile(joined(root, "both.txt"), "changed both")
        && setTime(joined(root, "both.txt"), 1700000000) && remove(joined(root, "gone.txt"))
        && QDir(QString::fromUtf8(joined(root, "gonedir"))).removeRecursively()
        && rename(joined(root, "oldname"), joined(root, "newname"))
        && rename(joined(root, "src/moving"), joined(root, "dst/moving"))
        && remove(joined(root, "turn")) && makeDir(joined(root, "turn"))
        && writeFile(joined(root, "turn/now a folder.txt"), "f")
        && QDir(QString::fromUtf8(joined(root, "wasdir"))).removeRecursively()
        && writeFile(joined(root, "wasdir"), "a file now")
        && writeFile(joined(root, "new.txt"), "n") && makeDir(joined(root, "newdir"))
        && writeFile(joined(root, "newdir/n2.txt"), "n2")
        // Names a catalogue may take for the same: case, a decomposed accent, a blank at the end.
        && writeFile(joined(root, "KEEP.txt"), "K")
        && writeFile(joined(root, "cafe\xcc\x81.txt"), "nfd")
        && writeFile(joined(root, "space.txt "), "blank")
        && rename(joined(root, "quote'\".txt"), joined(root, "quote'\"\n.txt"))
        && rename(joined(root, "bad\xff\xfe.txt"), joined(root, "bad\xfe\xff.txt"))
        && writeFile(joined(root, kLong), "longer") && remove(joined(root, "😀.txt"));
}

// Paths whose entry the changes leave as it was (or change in size and date only).
const QStringList kKept {
    QStringLiteral("/keep"),           QStringLiteral("/keep/a.txt"), QStringLiteral("/keep/sub"),
    QStringLiteral("/keep/sub/b.txt"), QStringLiteral("/grow.txt"),   QStringLiteral("/touch.txt"),
    QStringLiteral("/both.txt"),       QStringLiteral("/keep.txt"),   QStringLiteral("/café.txt"),
    QStringLiteral("/space.txt"),      QStringLiteral("/src"),        QStringLiteral("/dst"),
    QStringLiteral("/turn"),           QStringLiteral("/wasdir"),     QStringLiteral("/cyrillic"),
    QStringLiteral("/invalid"),        QStringLiteral("/deep")};

} // namespace

class TestReRead : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<FixedVolumeSource> m_volumes;
    RecordingPrompt m_prompt;

    QString tree(const QString &name) const { return m_dir.filePath(name); }

    // The tree before the changes (with the large collection when asked) as a fixture volume.
    bool prepareVolume(const QString &drive, bool collection)
    {
        const QByteArray root = QFile::encodeName(drive);
        if (!makeDir(root) || !buildBefore(root))
            return false;
        if (collection && buildCollection(drive + QStringLiteral("/collection"), 300) <= 0)
            return false;
        m_volumes->volumes.insert(drive, {kLabel, kSerial, kCapacity});
        return true;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_volumes = std::make_unique<FixedVolumeSource>();
    }

    void cleanupTestCase()
    {
        // QDir cannot name a file whose name is not valid UTF-8.
        for (const QString &name :
             QDir(m_dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QByteArray root = QFile::encodeName(tree(name));
            release(joined(root, "invalid"));
            ::unlink(joined(root, "bad\xff\xfe.txt").constData());
            ::unlink(joined(root, "bad\xfe\xff.txt").constData());
        }
    }

    // Read, changed, read again in place: the rows of a read into an empty disk, keys aside;
    // unchanged and changed entries keep their keys, the root entry and what is new get new ones.
    void changedVolumeReadsAsWrittenAnew_data()
    {
        QTest::addColumn<int>("rowsPerCall");
        QTest::addColumn<bool>("walkAhead");
        QTest::newRow("the reader's way") << 32 << true;
        QTest::newRow("one at a time, walk here") << 1 << false;
        QTest::newRow("7 rows per call") << 7 << true;
    }
    void changedVolumeReadsAsWrittenAnew()
    {
        QFETCH(int, rowsPerCall);
        QFETCH(bool, walkAhead);
        const QString drive = tree(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(prepareVolume(drive, true));
        const QByteArray root = QFile::encodeName(drive);

        const auto cat = catalogueWithDisk();
        QVERIFY2(cat->isValid(), qPrintable(cat->error()));
        QCOMPARE(readInto(*cat, drive, true, rowsPerCall, walkAhead), QString());
        const QMap<QString, Stored> before = entries(*cat);
        QVERIFY(before.size() > 400);

        QVERIFY(change(root));
        QCOMPARE(readInto(*cat, drive, true, rowsPerCall, walkAhead), QString());
        const QMap<QString, Stored> again = entries(*cat);

        const auto fresh = catalogueWithDisk();
        QVERIFY2(fresh->isValid(), qPrintable(fresh->error()));
        QCOMPARE(readInto(*fresh, drive, false), QString());
        const QMap<QString, Stored> anew = entries(*fresh);

        const QStringList got = lines(again);
        const QStringList expected = lines(anew);
        for (qsizetype i = 0; i < qMin(got.size(), expected.size()); ++i)
            QCOMPARE(got[i], expected[i]);
        QCOMPARE(got.size(), expected.size());
        QCOMPARE(diskRecord(*cat), diskRecord(*fresh));
        // The changes were there to be found.
        QVERIFY(again.value(QStringLiteral("/grow.txt")).row.contains(QStringLiteral("size 5 ")));
        QVERIFY(again.contains(QStringLiteral("/dst/moving/m.txt")));
        QVERIFY(again.value(QStringLiteral("/turn")).row.startsWith(QStringLiteral("type 1 ")));
        QVERIFY(again.value(QStringLiteral("/wasdir")).row.startsWith(QStringLiteral("type 0 ")));

        for (const QString &path : kKept)
            QVERIFY2(again.value(path).key == before.value(path).key, qPrintable(path));
        int inCollection = 0;
        int keptInCollection = 0;
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            if (!it.key().startsWith(QStringLiteral("/collection")))
                continue;
            ++inCollection;
            keptInCollection += again.value(it.key()).key == it.value().key ? 1 : 0;
        }
        QVERIFY(inCollection > 300);
        QCOMPARE(keptInCollection, inCollection);
        // Where the search index looks for a disk read anew: the root entry has a new key.
        QVERIFY(again.value(QString()).key != before.value(QString()).key);
        QVERIFY(again.value(QStringLiteral("/new.txt")).key > before.value(QString()).key);
    }

    // A change the catalogue refuses ends the read with its error: what was written stays, and
    // so does every entry not yet compared, under the one new root entry.
    void refusedChangeKeepsTheRest()
    {
        const QString drive = tree(QStringLiteral("refused"));
        QVERIFY(prepareVolume(drive, false));
        const QByteArray root = QFile::encodeName(drive);
        const auto cat = catalogueWithDisk();
        QVERIFY2(cat->isValid(), qPrintable(cat->error()));
        QCOMPARE(readInto(*cat, drive, true), QString());
        const QMap<QString, Stored> before = entries(*cat);
        cat->exec({QStringLiteral("create exception E_REFUSED 'Запись отклонена'"),
                   QStringLiteral("create trigger TCONTENT_REFUSE for TCONTENT before update as "
                                  "begin if (new.FCONTENT = 'grow.txt' and new.FSIZE <> old.FSIZE) "
                                  "then exception E_REFUSED; end")});
        QVERIFY(change(root));
        const QString error = readInto(*cat, drive, true);
        QVERIFY2(error.contains(QStringLiteral("Запись отклонена")), qPrintable(error));

        const QMap<QString, Stored> again = entries(*cat);
        QVERIFY(again.value(QString()).key != before.value(QString()).key);
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QVERIFY2(again.contains(it.key()), qPrintable(it.key()));
        for (auto it = again.cbegin(); it != again.cend(); ++it)
            QVERIFY2(!it.key().contains(QStringLiteral("<orphan>"))
                         && !it.key().endsWith(QStringLiteral("(again)")),
                     qPrintable(it.key()));
        QVERIFY(again.value(QStringLiteral("/grow.txt")).row.contains(QStringLiteral("size 1 ")));
    }

    // The stored entries come from a snapshot of their own, taken before the read changes any
    // of them: the root entry's new key and what the read writes meanwhile are not seen.
    void storedEntriesAreTheOnesBeforeTheRead()
    {
        const QString drive = tree(QStringLiteral("snapshot"));
        QVERIFY(prepareVolume(drive, false));
        const auto cat = catalogueWithDisk();
        QVERIFY2(cat->isValid(), qPrintable(cat->error()));
        QCOMPARE(readInto(*cat, drive, true), QString());
        const QMap<QString, Stored> before = entries(*cat);
        const int oldRoot = before.value(QString()).key;
        const auto grow = cat->rows(QStringLiteral("select FCONTENT, FSIZE from TCONTENT where "
                                                   "FDISKID = %1 and FOWNCONTENTID = %2 and "
                                                   "FCONTENT = 'grow.txt'")
                                        .arg(kDiskId)
                                        .arg(oldRoot));
        QCOMPARE(grow.size(), 1);

        ReaderRun run;
        QVERIFY(run.connect(*cat));
        Connection &db = run.data.DefDatabase();
        StoredContent stored;
        stored.start(db, kDiskId);
        {
            Statement s(db);
            s.prepare(QStringLiteral("update TCONTENT set FSIZE = FSIZE + 1000, FOWNCONTENTID = "
                                     "-FOWNCONTENTID where FDISKID = :D"));
            s.setParam(QStringLiteral("D"), kDiskId);
            s.execute();
        }
        db.transaction().commit();
        stored.finish();
        QCOMPARE(stored.size(), before.size());
        const StoredContent::Entry *was = stored.meet(oldRoot, QStringLiteral("grow.txt"));
        QVERIFY(was);
        QCOMPARE(qint64(was->size), grow.first().value(1).toLongLong());
        QVERIFY(!stored.meet(oldRoot, QStringLiteral("grow.txt")));
        QVERIFY(!stored.meet(-oldRoot, QStringLiteral("grow.txt")));
    }

    // Closing the dialog halfway leaves what a stopped read into an empty disk leaves; what
    // was met keeps its key.
    void stoppedReadKeepsWhatWasRead_data()
    {
        QTest::addColumn<int>("stopAt");
        QTest::newRow("at once") << 1;
        QTest::newRow("halfway") << 200;
    }
    void stoppedReadKeepsWhatWasRead()
    {
        QFETCH(int, stopAt);
        const QString drive = tree(QStringLiteral("stop-") + QString::number(stopAt));
        QVERIFY(prepareVolume(drive, true));
        const QByteArray root = QFile::encodeName(drive);

        const auto cat = catalogueWithDisk();
        QVERIFY2(cat->isValid(), qPrintable(cat->error()));
        QCOMPARE(readInto(*cat, drive, true), QString());
        const QMap<QString, Stored> before = entries(*cat);
        QVERIFY(change(root));
        QCOMPARE(readInto(*cat, drive, true, 32, false, stopAt), QString());
        const QMap<QString, Stored> again = entries(*cat);

        const auto fresh = catalogueWithDisk();
        QVERIFY2(fresh->isValid(), qPrintable(fresh->error()));
        QCOMPARE(readInto(*fresh, drive, false, 32, false, stopAt), QString());
        const QMap<QString, Stored> anew = entries(*fresh);
        QCOMPARE(anew.size(), stopAt + 1);
        QCOMPARE(lines(again), lines(anew));
        QCOMPARE(diskRecord(*cat), diskRecord(*fresh));
        for (auto it = again.cbegin(); it != again.cend(); ++it) {
            if (kKept.contains(it.key()))
                QCOMPARE(it.value().key, before.value(it.key()).key);
        }
    }
};

QTEST_MAIN(TestReRead)
#include "tst_reread.moc"
