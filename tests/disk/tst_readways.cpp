// The reader against the plainest way of doing its work: one key from GETNEXTID and one insert
// for every entry as the walk meets it. Whatever the reader does to go faster, both must leave
// the same rows behind.

#include "app/Catalogue.h"
#include "app/ConnectionSettings.h"
#include "disk/ContentWriter.h"
#include "disk/DiskReader.h"
#include "disk/EditorReadWatch.h"
#include "platform/DirectoryWalker.h"
#include "store/Connection.h"
#include "store/DbError.h"
#include "store/Statement.h"
#include "store/Transaction.h"
#include "tests/support/CatalogueSample.h"
#include "tests/support/FixedVolumeSource.h"
#include "tests/support/FixtureTree.h"
#include "tests/support/TestCatalogue.h"

#include <QApplication>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/stat.h>
#include <vector>

using namespace FixtureTree;

namespace {

constexpr int kFolderId = TestCatalogue::startFolderId;
constexpr int kDiskId = 17;
const QString kLabel = QStringLiteral("WAYS");
const QString kSerial = QStringLiteral("00C0FFEE");
constexpr qint64 kCapacity = 8LL * 1024 * 1024 * 1024;

std::unique_ptr<TestCatalogue> catalogueWithDisk()
{
    auto cat = std::make_unique<TestCatalogue>();
    if (cat->isValid()) {
        cat->exec({QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME) values "
                                  "(%1, %2, 1, 'Ways')")
                       .arg(kDiskId)
                       .arg(kFolderId)});
    }
    return cat;
}

// The read done one entry at a time: the root entry, then every entry of the walk with a key
// from GETNEXTID and one insert, then the disk record. Returns the number of files.
int referenceRead(const TestCatalogue &cat, const QString &root)
{
    Connection db;
    cat.configure(db);
    db.open();
    db.transaction().start();
    Statement nextId(db);
    nextId.prepare(QStringLiteral("execute procedure GETNEXTID"));
    Statement insert(db);
    insert.prepare(QStringLiteral(
        "insert into TCONTENT (FCONTENT, FCONTENTID, FDATE, FDISKID, FOWNCONTENTID, FSIZE, FTYPE) "
        "values (:FCONTENT, :FCONTENTID, :FDATE, :FDISKID, :FOWNCONTENTID, :FSIZE, :FTYPE)"));
    auto write = [&](int owner, int type, const QString &name, qint64 size, const QDateTime &date) {
        nextId.execute();
        const int key = nextId.value(0).toInt();
        insert.setParam(QStringLiteral("FCONTENT"), name);
        insert.setParam(QStringLiteral("FCONTENTID"), key);
        insert.setParam(QStringLiteral("FDATE"), date.isValid() ? QVariant(date) : QVariant());
        insert.setParam(QStringLiteral("FDISKID"), kDiskId);
        insert.setParam(QStringLiteral("FOWNCONTENTID"), owner != 0 ? QVariant(owner) : QVariant());
        insert.setParam(QStringLiteral("FSIZE"), double(size));
        insert.setParam(QStringLiteral("FTYPE"), type);
        insert.execute();
        return key;
    };
    std::vector<int> owners {
        write(0, 2, DiskReader::rootText(root, kLabel, kSerial), 0, QDateTime::currentDateTime())};
    int files = 0;
    DirectoryWalker::walk(root, [&](const DirectoryWalker::Entry &e) {
        const int owner = owners[size_t(e.depth - 1)];
        if (e.isDirectory()) {
            owners.resize(size_t(e.depth) + 1);
            owners[size_t(e.depth)] = write(owner, 1, e.name, 0, e.modified);
        } else {
            ++files;
            write(owner, 0, e.name, e.size, e.modified);
        }
        return true;
    });
    Statement disk(db);
    disk.prepare(QStringLiteral("update TDISK set FFULLSIZE = :FFULLSIZE, FLABEL = :FLABEL, "
                                "FUNIQUE = :FUNIQUE, FFILES = :FFILES where FDISKID = :FDISKID"));
    disk.setParam(QStringLiteral("FFULLSIZE"), double(kCapacity));
    disk.setParam(QStringLiteral("FLABEL"), kLabel);
    disk.setParam(QStringLiteral("FUNIQUE"), kSerial);
    disk.setParam(QStringLiteral("FFILES"), files);
    disk.setParam(QStringLiteral("FDISKID"), kDiskId);
    disk.execute();
    db.transaction().commit();
    db.close();
    return files;
}

// Every entry of the disk in key order with its keys replaced by their place in that order;
// an owner that does not come before its entry shows as "?". The moment of reading that a
// root entry holds differs from read to read and is left out.
QStringList entries(const TestCatalogue &cat)
{
    const auto rows = cat.rows(
        QStringLiteral("select FCONTENTID, FOWNCONTENTID, FTYPE, FCONTENT, FSIZE, FDATE from "
                       "TCONTENT where FDISKID = %1 order by FCONTENTID")
            .arg(kDiskId));
    QHash<int, int> place;
    QStringList result;
    for (const QVariantList &row : rows) {
        const int at = int(place.size());
        const QString owner = row[1].isNull()
            ? QStringLiteral("-")
            : (place.contains(row[1].toInt()) ? QString::number(place.value(row[1].toInt()))
                                              : QStringLiteral("?"));
        place.insert(row[0].toInt(), at);
        const QString date = row[2].toInt() == ContentWriter::Root
            ? QStringLiteral("(read)")
            : row[5].toDateTime().toString(Qt::ISODateWithMs);
        result << QStringLiteral("%1 <%2> type %3 \"%4\" size %5 %6")
                      .arg(at)
                      .arg(owner)
                      .arg(row[2].toInt())
                      .arg(row[3].toString())
                      .arg(row[4].toDouble(), 0, 'f', 0)
                      .arg(date);
    }
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

// The reader's way: the main window's data objects and DiskReader as the editor drives them.
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

} // namespace

Q_DECLARE_METATYPE(ContentWriter::Tuning)

class TestReadWays : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_tree;
    std::unique_ptr<FixedVolumeSource> m_volumes;
    std::unique_ptr<TestCatalogue> m_reference;
    QStringList m_referenceEntries;
    int m_referenceFiles = 0;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_tree = m_dir.filePath(QStringLiteral("drive"));
        const QByteArray tree = QFile::encodeName(m_tree);
        QVERIFY(::mkdir(tree.constData(), 0755) == 0);
        // Every awkward kind of entry in a folder of its own, and enough plain ones that a read
        // takes many calls and many ranges of keys.
        const std::vector<std::pair<const char *, Fixture>> fixtures {
            {"cyrillic", Fixture::Cyrillic},
            {"accented", Fixture::Accented},
            {"cjk", Fixture::Cjk},
            {"emoji", Fixture::Emoji},
            {"invalid", Fixture::InvalidUtf8},
            {"long", Fixture::LongName},
            {"deep", Fixture::Deep},
            {"loop", Fixture::SymlinkLoop},
            {"locked", Fixture::Unreadable},
            {"fifo", Fixture::Fifo},
            {"sparse", Fixture::Sparse},
            {"hidden", Fixture::Hidden},
            {"hiddendir", Fixture::HiddenFolder},
            {"empty", Fixture::Empty}};
        for (const auto &[folder, fixture] : fixtures) {
            const QByteArray path = joined(tree, folder);
            QVERIFY(::mkdir(path.constData(), 0755) == 0);
            QVERIFY2(build(fixture, path), folder);
        }
        QVERIFY(buildCollection(m_tree + QStringLiteral("/collection"), 3000) > 0);

        m_volumes = std::make_unique<FixedVolumeSource>();
        m_volumes->volumes.insert(m_tree, {kLabel, kSerial, kCapacity});
        m_reference = catalogueWithDisk();
        QVERIFY2(m_reference->isValid(), qPrintable(m_reference->error()));
        try {
            m_referenceFiles = referenceRead(*m_reference, m_tree);
        } catch (const DbError &e) {
            QFAIL(qPrintable(e.text()));
        }
        m_referenceEntries = entries(*m_reference);
        // The tree is what it should be: the 5 GiB file is there with its full size.
        QVERIFY(m_referenceEntries.size() > 3300);
        QVERIFY(
            !m_referenceEntries.filter(QStringLiteral("\"big.bin\" size 5368709120 ")).isEmpty());
        QVERIFY(!m_referenceEntries.filter(QStringLiteral("\\xFF\\xFE")).isEmpty());
    }

    void cleanupTestCase()
    {
        if (!m_tree.isEmpty()) {
            const QByteArray tree = QFile::encodeName(m_tree);
            release(joined(tree, "locked"));
            release(joined(tree, "invalid"));
        }
    }

    // The same rows, row for row, whichever way the reader draws keys, groups rows and walks.
    void sameRowsEitherWay_data()
    {
        QTest::addColumn<ContentWriter::Tuning>("tuning");
        QTest::addColumn<bool>("walkAhead");
        const ContentWriter::Tuning defaults;
        QTest::newRow("the reader's way") << defaults << true;
        QTest::newRow("walk on this thread") << defaults << false;
        QTest::newRow("7 rows per call")
            << ContentWriter::Tuning {defaults.maxKeysPerDraw, 7} << true;
        QTest::newRow("ranges of 16 keys")
            << ContentWriter::Tuning {16, defaults.rowsPerCall} << true;
        QTest::newRow("a key per entry") << ContentWriter::Tuning {1, defaults.rowsPerCall} << true;
        QTest::newRow("one at a time") << ContentWriter::Tuning {1, 1} << false;
    }
    void sameRowsEitherWay()
    {
        QFETCH(ContentWriter::Tuning, tuning);
        QFETCH(bool, walkAhead);
        const auto cat = catalogueWithDisk();
        QVERIFY2(cat->isValid(), qPrintable(cat->error()));
        // Another workstation's key, drawn before the read: the read's keys lie above it.
        const int before = cat->scalar(QStringLiteral("select gen_id(SQ_MAIN, 1) from "
                                                      "rdb$database"))
                               .toInt();
        ReaderRun run;
        QVERIFY(run.connect(*cat));
        run.dtContent->setTuning(tuning);
        run.reader->setWalkAhead(walkAhead);
        try {
            QCOMPARE(run.reader->read(m_tree, DiskReader::Mode::Replace),
                     DiskReader::Outcome::Read);
        } catch (const DbError &e) {
            QFAIL(qPrintable(e.text()));
        }
        run.data.DefDatabase().close();

        const QStringList read = entries(*cat);
        QCOMPARE(read.size(), m_referenceEntries.size());
        for (qsizetype i = 0; i < read.size(); ++i)
            QCOMPARE(read[i], m_referenceEntries[i]);
        QCOMPARE(diskRecord(*cat), diskRecord(*m_reference));
        QCOMPARE(diskRecord(*cat).value(3).toInt(), m_referenceFiles);
        QCOMPARE(cat->scalar(QStringLiteral("select min(FCONTENTID) from TCONTENT where FDISKID "
                                            "= %1")
                                 .arg(kDiskId))
                     .toInt(),
                 before + 1);
        QVERIFY(
            cat->scalar(QStringLiteral("select max(FCONTENTID) from TCONTENT")).toInt()
            <= cat->scalar(QStringLiteral("select gen_id(SQ_MAIN, 0) from rdb$database")).toInt());
    }

    // An entry the catalogue refuses ends the read there: the entries before it are stored,
    // wherever it falls among the rows of one call, and the file count is not written.
    void refusedEntryKeepsThoseBefore_data()
    {
        QTest::addColumn<int>("refused"); // its place in the walk, from 0
        QTest::addColumn<int>("rowsPerCall");
        // Walked on this thread, the calls take rows 32 by 32 from the root entry on; walked
        // ahead, a call may take fewer when the writing catches up with the walk.
        QTest::addColumn<bool>("walkAhead");
        QTest::newRow("first entry") << 0 << 32 << false;
        QTest::newRow("first of a call") << 31 << 32 << false;
        QTest::newRow("middle of a call") << 50 << 32 << false;
        QTest::newRow("last of a call") << 62 << 32 << false;
        QTest::newRow("in the last rows") << 98 << 32 << false;
        QTest::newRow("one at a time") << 50 << 1 << false;
        QTest::newRow("walked ahead") << 50 << 32 << true;
    }
    void refusedEntryKeepsThoseBefore()
    {
        QFETCH(int, refused);
        QFETCH(int, rowsPerCall);
        QFETCH(bool, walkAhead);
        QTemporaryDir drive;
        QVERIFY(drive.isValid());
        const QByteArray root = QFile::encodeName(drive.path());
        for (int i = 0; i < 100; ++i)
            QVERIFY(writeFile(joined(root, "file" + QByteArray::number(i)), "x"));
        QStringList walked;
        DirectoryWalker::walk(drive.path(), [&](const DirectoryWalker::Entry &e) {
            walked << e.name;
            return true;
        });
        QCOMPARE(walked.size(), 100);

        const auto cat = catalogueWithDisk();
        QVERIFY2(cat->isValid(), qPrintable(cat->error()));
        cat->exec({QStringLiteral("create exception E_REFUSED 'Запись отклонена'"),
                   QStringLiteral("create trigger TCONTENT_REFUSE for TCONTENT before insert as "
                                  "begin if (new.FCONTENT = '%1') then exception E_REFUSED; end")
                       .arg(walked[refused])});
        m_volumes->volumes.insert(drive.path(), {kLabel, kSerial, kCapacity});
        ReaderRun run;
        QVERIFY(run.connect(*cat));
        run.dtContent->setTuning({ContentWriter::Tuning().maxKeysPerDraw, rowsPerCall});
        run.reader->setWalkAhead(walkAhead);
        QString error;
        try {
            run.reader->read(drive.path(), DiskReader::Mode::Replace);
        } catch (const DbError &e) {
            error = e.text();
        }
        QVERIFY2(error.contains(QStringLiteral("Запись отклонена")), qPrintable(error));
        run.data.DefDatabase().close();

        QStringList stored;
        for (const QVariantList &row :
             cat->rows(QStringLiteral("select FCONTENT from TCONTENT where FDISKID = %1 and "
                                      "FOWNCONTENTID is not null order by FCONTENTID")
                           .arg(kDiskId)))
            stored << row.value(0).toString();
        QCOMPARE(stored, walked.mid(0, refused));
        QCOMPARE(cat->scalar(QStringLiteral("select count(*) from TCONTENT where FDISKID = %1 and "
                                            "FOWNCONTENTID is null and FTYPE = 2")
                                 .arg(kDiskId))
                     .toInt(),
                 1);
        QVERIFY(diskRecord(*cat).value(3).isNull());
        QCOMPARE(diskRecord(*cat).value(2).toString(), kSerial);
    }
};

QTEST_MAIN(TestReadWays)
#include "tst_readways.moc"
