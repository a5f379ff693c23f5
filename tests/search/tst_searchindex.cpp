#include "app/Catalogue.h"
#include "browser/uMain.h"
#include "disk/DrivePicker.h"
#include "disk/FileSearch.h"
#include "disk/uEdtDisk.h"
#include "search/CatalogueSearch.h"
#include "search/uFind.h"
#include "searchindex/IndexText.h"
#include "searchindex/IndexedFind.h"
#include "store/Statement.h"
#include "tests/support/FixedVolumeSource.h"
#include "tests/support/FixtureTree.h"
#include "tests/support/MainWindowFixture.h"
#include "widgets/DBGrid.h"
#include "widgets/DataSetModel.h"

#include <QDataStream>
#include <QDir>
#include <QLineEdit>
#include <QLockFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <cstring>
#include <functional>

using namespace FixtureTree;

namespace {

// Entries under one root, given as "path" lines: folders end in '/'.
QStringList contentRows(int disk, int firstKey, const QStringList &paths)
{
    QStringList rows;
    rows << QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, "
                           "FCONTENT, FSIZE, FDATE) values (%1, %2, null, 2, '/media/cdrom: "
                           "DISK%2, ID=0000%2', 0, '2024-01-01 10:00:00')")
                .arg(firstKey)
                .arg(disk);
    QHash<QString, int> folders;
    int key = firstKey;
    for (const QString &path : paths) {
        const bool folder = path.endsWith(QLatin1Char('/'));
        const QString clean = folder ? path.chopped(1) : path;
        const int slash = clean.lastIndexOf(QLatin1Char('/'));
        const QString parentPath = slash < 0 ? QString() : clean.left(slash);
        const int parent = parentPath.isEmpty() ? firstKey : folders.value(parentPath);
        ++key;
        if (folder)
            folders.insert(clean, key);
        QString name = clean.mid(slash + 1);
        name.replace(QLatin1Char('\''), QStringLiteral("''"));
        rows << QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, "
                               "FCONTENT, FSIZE, FDATE) values (%1, %2, %3, %4, '%5', %6, "
                               "'2023-05-06 07:08:09')")
                    .arg(key)
                    .arg(disk)
                    .arg(parent)
                    .arg(folder ? 1 : 0)
                    .arg(name)
                    .arg(folder ? 0 : key * 10);
    }
    return rows;
}

// Names in several scripts and cases, a deep path and one longer than FIND keeps.
QStringList sampleRows()
{
    const QString longName = QString(300, QLatin1Char('x'));
    QString deep;
    QStringList deepPaths;
    for (int i = 0; i < 16; ++i) {
        deep += longName + QString::number(i) + QLatin1Char('/');
        deepPaths << deep;
    }
    deepPaths << deep + QStringLiteral("Глубоко.txt");
    QStringList rows {
        QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values (1002, "
                       "'Архив', 1001)"),
        QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, FCOMMENT, "
                       "FGETDATE) values (2001, 1001, 1, 'Музыка', 2, 'Песни', '2020-01-02')"),
        QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, FCOMMENT, "
                       "FGETDATE) values (2002, 1001, 1, 'Пустой', 3, null, null)"),
        QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values (2003, "
                       "1002, 1, 'Фото 2021', 1)"),
        QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values (2004, "
                       "1002, 1, 'Глубина', 2)"),
        // A second folder with the same path: its disks sort in among the first one's.
        QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values (1003, "
                       "'Архив', 1001)"),
        QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) values (2005, "
                       "1003, 1, 'Двойник', 1)"),
    };
    rows << contentRows(2001, 3000,
                        {"Ёлка/", "Ёлка/ёлка.mp3", "Ёлка/Елка.MP3", "Straße.flac", "STRASSE.txt",
                         "όσος.ogg", "İstanbul.jpg", "readme.TXT", "Jazz/", "Jazz/Jazz/",
                         "Jazz/Jazz/take five.mp3"});
    rows << contentRows(2003, 3100,
                        {"Отпуск/", "Отпуск/Море.jpg", "Отпуск/море 2.JPG", "Отпуск/Горы/",
                         "Отпуск/Горы/ёж.png", "readme.txt"});
    rows << contentRows(2004, 3200, deepPaths);
    // Letters whose upper case the locale and the server see differently.
    rows << contentRows(2005, 3400,
                        {"Двойник.mp3", "readme.md", "ﬁnal.txt", "FILE.txt", "ǰob.txt", "ŉ.txt",
                         "kılım.txt", "ẞIG.txt", "SS.doc", "take  two.mp3"});
    // An entry whose disk is gone and one whose parent is missing.
    rows << QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, "
                           "FCONTENT) values (3300, 9999, null, 0, 'сирота.mp3')");
    rows << QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, "
                           "FCONTENT) values (3301, 2003, 7777, 0, 'потерянный.mp3')");
    rows << QStringLiteral("alter sequence SQ_MAIN restart with 5000");
    return rows;
}

// File texts as a user types them, and a disk text for some.
const QList<QPair<QString, QString>> Searches {
    {QStringLiteral("mp3"), QString()},
    {QStringLiteral("ёлка"), QString()},
    {QStringLiteral("е"), QString()},
    {QStringLiteral("ß"), QString()},
    {QStringLiteral("strasse"), QString()},
    {QStringLiteral("ΣΟΣ"), QString()},
    {QStringLiteral("i"), QString()},
    {QStringLiteral("readme"), QStringLiteral("фото")},
    {QStringLiteral("txt"), QString()},
    {QStringLiteral("JPG"), QStringLiteral("2021")},
    {QStringLiteral("x"), QStringLiteral("глуб")},
    {QStringLiteral("zzz"), QString()},
};

// Entries of a disk as another workstation's read writes them: a root entry and files under
// it, keys drawn one by one; not committed.
void writeEntries(Connection &other, int disk, const QStringList &names)
{
    if (!other.transaction().isActive())
        other.transaction().start();
    Statement key(other);
    key.prepare(QStringLiteral("execute procedure GETNEXTID"));
    auto next = [&key] {
        key.execute();
        return key.value(0).toInt();
    };
    Statement entry(other);
    entry.prepare(QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, "
                                 "FTYPE, FCONTENT) values (:K, :D, :P, :T, :N)"));
    const int root = next();
    QList<std::tuple<int, int, QString>> entries {{root, 2, QStringLiteral("/mnt: X, ID=1")}};
    for (const QString &name : names)
        entries.append({next(), 0, name});
    for (const auto &[k, type, name] : entries) {
        entry.setParam(QStringLiteral("K"), k);
        entry.setParam(QStringLiteral("D"), disk);
        entry.setParam(QStringLiteral("P"), type == 2 ? QVariant() : QVariant(root));
        entry.setParam(QStringLiteral("T"), type);
        entry.setParam(QStringLiteral("N"), name);
        entry.execute();
    }
}

// A new disk in folder 1001 with entries, as another workstation adds and reads it.
void writeDisk(Connection &other, const QString &name, const QStringList &names)
{
    if (!other.transaction().isActive())
        other.transaction().start();
    Statement key(other);
    key.prepare(QStringLiteral("execute procedure GETNEXTID"));
    key.execute();
    const int disk = key.value(0).toInt();
    Statement insert(other);
    insert.prepare(QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME) "
                                  "values (:D, 1001, 1, :N)"));
    insert.setParam(QStringLiteral("D"), disk);
    insert.setParam(QStringLiteral("N"), name);
    insert.execute();
    writeEntries(other, disk, names);
}

// The columns of an index file, located as its header gives them.
struct SegmentLayout
{
    qint64 entries = 0;
    qint64 keys = 0;
    qint64 parents = 0;
    qint64 names = 0;

    explicit SegmentLayout(const QByteArray &file)
    {
        auto padded = [](qint64 b) { return (b + 7) & ~qint64(7); };
        auto u32 = [&file](int at) {
            quint32 v = 0;
            std::memcpy(&v, file.constData() + at, 4);
            return qint64(v);
        };
        entries = u32(8);
        const qint64 disks = u32(12);
        const qint64 roots = u32(16);
        keys = 40 + padded(disks * 4) + padded((disks + 1) * 4) + padded((disks + 1) * 8);
        parents = keys + padded(entries * 4);
        names = parents + padded(entries * 4) + padded(roots * 4);
    }
    qint64 entryOf(const QByteArray &file, qint32 key) const
    {
        for (qint64 e = 0; e < entries; ++e) {
            if (qFromUnaligned<qint32>(file.constData() + keys + e * 4) == key)
                return e;
        }
        return -1;
    }
};

// CRC-32 as zlib computes it, for files written back with a checksum that holds.
quint32 crc32Of(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// The body of the kept disks' order changed by how and written back with its checksum right.
bool rewriteOrder(const QString &path, const std::function<void(QByteArray &)> &how)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    QDataStream head(file.readAll());
    quint32 magic = 0;
    quint32 version = 0;
    quint32 crc = 0;
    QByteArray body;
    head >> magic >> version >> crc >> body;
    if (head.status() != QDataStream::Ok || crc != crc32Of(body))
        return false;
    how(body);
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << magic << version << crc32Of(body) << body;
    }
    return file.resize(0) && file.seek(0) && file.write(bytes) == bytes.size();
}

QString text(const QVariant &v)
{
    if (v.isNull())
        return QStringLiteral("<null>");
    if (v.metaType().id() == QMetaType::QDateTime)
        return v.toDateTime().toString(Qt::ISODateWithMs);
    return v.toString() + QLatin1Char(':') + QString::fromLatin1(v.typeName());
}

} // namespace

// The local index answers the searches exactly as FIND does after every kind of change to the
// catalogue, and the search window and the disk editor use it.
class TestSearchIndex : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_drive;
    std::unique_ptr<MainWindowFixture> m_f;
    std::unique_ptr<FixedVolumeSource> m_volumes;

    Catalogue &data() { return m_f->data(); }
    Connection &db() { return data().DefDatabase(); }
    SearchIndex &index() { return data().searchIndex(); }

    void inTransaction()
    {
        db().ensureConnected();
        if (!db().transaction().isActive())
            db().transaction().start();
    }
    QStringList findRows(const QString &content, const QString &disk,
                         const QStringList &columns = allColumns())
    {
        inTransaction();
        Statement s(db());
        s.prepare(QStringLiteral("select * from FIND(:VCONTENT, :VDISK)"));
        s.setParam(QStringLiteral("VCONTENT"), content);
        s.setParam(QStringLiteral("VDISK"), disk);
        s.execute();
        QStringList rows;
        while (s.fetch()) {
            QStringList values;
            for (const QString &c : columns)
                values << text(s.value(s.columnIndex(c)));
            rows << values.join(QLatin1Char('|'));
        }
        return rows;
    }
    static QStringList allColumns()
    {
        QStringList columns;
        for (int c = 0; c < IndexedFind::ColumnCount; ++c)
            columns << IndexedFind::columnName(c);
        return columns;
    }
    // The rows a search finds for the texts as typed, with or without the index.
    QStringList searchRows(const QString &file, const QString &disk, bool indexed,
                           const QStringList &columns)
    {
        index().setEnabled(indexed);
        const auto enable = qScopeGuard([this] { index().setEnabled(true); });
        if (indexed && !ready())
            return {QStringLiteral("<no index>")};
        CatalogueSearch search(db(), &index());
        const bool wasIndexed = search.find(file, disk);
        if (wasIndexed
            != (indexed && IndexedFind::canAnswer(IndexText::upper(file), IndexText::upper(disk))))
            return {QStringLiteral("<index used: %1>").arg(wasIndexed)};
        QueryDataSet &found = search.results();
        found.fetchAll();
        QStringList rows;
        for (int r = 0; r < found.fetchedCount(); ++r) {
            QStringList values;
            for (const QString &c : columns)
                values << text(found.value(r, found.fieldByName(c).index()));
            rows << values.join(QLatin1Char('|'));
        }
        return rows;
    }
    // The keys FINDFILE gives for a text as typed.
    QList<int> findFileKeys(int disk, const QString &content)
    {
        inTransaction();
        Statement s(db());
        s.prepare(QStringLiteral("select FCONTENTID from FINDFILE(:D, :C)"));
        s.setParam(QStringLiteral("D"), disk);
        s.setParam(QStringLiteral("C"), content);
        s.execute();
        QList<int> keys;
        while (s.fetch())
            keys << s.value(0).toInt();
        return keys;
    }
    // A program started anew on the catalogue: its index loaded from the cache and, when it
    // cannot answer, built in the background; null when that fails.
    std::shared_ptr<const ContentIndex> restarted(SearchIndex &again, bool *answeredAtOnce)
    {
        again.setCatalogue(db().databaseName(), db().params());
        inTransaction();
        auto built = again.prepare(db());
        *answeredAtOnce = bool(built);
        if (built)
            return built;
        if (again.isBuilding()) {
            QSignalSpy done(&again, &SearchIndex::backgroundDone);
            if (!done.wait(60000) || !done.at(0).at(0).toBool())
                return nullptr;
        }
        return again.prepare(db());
    }
    void compareWith(const ContentIndex &built, const char *when)
    {
        for (const auto &[file, disk] : Searches) {
            const QString content = IndexText::upper(file);
            const QString diskText = IndexText::upper(disk);
            QCOMPARE(indexRows(built, content, diskText), findRows(content, diskText));
            if (QTest::currentTestFailed()) {
                qWarning("%s: '%s'", when, qPrintable(file));
                return;
            }
        }
    }
    QStringList indexRows(const ContentIndex &built, const QString &content, const QString &disk,
                          DiskOrder *order = nullptr)
    {
        inTransaction();
        IndexedFind find(db(), built, order ? *order : index().diskOrder(), content, disk);
        QStringList rows;
        std::vector<QVariant> row;
        while (find.next(row)) {
            QStringList values;
            for (const QVariant &v : row)
                values << text(v);
            rows << values.join(QLatin1Char('|'));
        }
        return rows;
    }
    // The index as a search gets it: built in the background first when it has to be.
    std::shared_ptr<const ContentIndex> ready()
    {
        auto built = index().prepare(db());
        if (built)
            return built;
        if (index().isBuilding()) {
            QSignalSpy done(&index(), &SearchIndex::backgroundDone);
            if (!done.wait(60000))
                return nullptr;
        }
        return index().prepare(db());
    }
    void compareAll(const char *when, DiskOrder *order = nullptr)
    {
        auto built = ready();
        QVERIFY2(built, when);
        for (const auto &[file, disk] : Searches) {
            const QString content = IndexText::upper(file);
            const QString diskText = IndexText::upper(disk);
            const QStringList expected = findRows(content, diskText);
            const QStringList got = indexRows(*built, content, diskText, order);
            if (got != expected)
                qWarning("%s, '%s' in '%s':\nindex %s\nFIND  %s", when, qPrintable(file),
                         qPrintable(disk), qPrintable(got.join(QLatin1Char('\n'))),
                         qPrintable(expected.join(QLatin1Char('\n'))));
            QCOMPARE(got, expected);
        }
    }
    int entryCount(const QString &content)
    {
        return findRows(IndexText::upper(content), QString()).size();
    }
    // The disk editor reads the fixture drive into a disk; answer says replace or add when
    // the disk has contents.
    void readInto(int disk, QMessageBox::StandardButton answer = QMessageBox::NoButton)
    {
        QVERIFY(m_f->locateDisk(disk));
        auto editor = m_f->openEditor();
        connect(editor.get(), &TfEdtDisk::contentsRead, &index(),
                &SearchIndex::refreshInBackground);
        QSignalSpy read(editor.get(), &TfEdtDisk::contentsRead);
        QSignalSpy done(&index(), &SearchIndex::backgroundDone);
        editor->eDriveCD->setDrive(m_drive.path());
        if (answer != QMessageBox::NoButton)
            m_f->prompt().answers = {answer};
        editor->aReadExecute();
        QCOMPARE(read.size(), 1);
        QCOMPARE(read.at(0).at(0).toInt(), disk);
        // The index takes the read in on its own.
        QVERIFY(done.wait(60000));
        QVERIFY(done.at(0).at(0).toBool());
        editor->aOKExecute();
    }
    void writeVolume(const QStringList &files)
    {
        const QByteArray root = QFile::encodeName(m_drive.path());
        QDir(m_drive.path()).removeRecursively();
        QDir().mkpath(m_drive.path());
        for (const QString &file : files) {
            const QByteArray path = joined(root, file.toUtf8());
            QDir().mkpath(QFileInfo(QString::fromUtf8(path)).path());
            QVERIFY(writeFile(path, file.toUtf8()));
        }
    }

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void init()
    {
        m_volumes = std::make_unique<FixedVolumeSource>();
        m_volumes->volumes.insert(m_drive.path(),
                                  {QStringLiteral("Vol"), QStringLiteral("0A0B0C0D"), 1000000});
        m_f = std::make_unique<MainWindowFixture>();
        QCOMPARE(m_f->start(sampleRows()), QString());
    }
    void cleanup()
    {
        m_f.reset();
        m_volumes.reset();
    }

    void indexLivesInTheUserCache()
    {
        QVERIFY(ready());
        const QString folder = SearchIndex::folderFor(db().databaseName());
        QVERIFY(folder.startsWith(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)
                                  + QLatin1Char('/')));
        QVERIFY(QFileInfo::exists(folder + QStringLiteral("/state")));
        // Nothing of it next to the catalogue.
        QCOMPARE(QDir(m_f->catalogue().folder()).entryList(QDir::Files | QDir::NoDotAndDotDot),
                 QStringList {QFileInfo(db().databaseName()).fileName()});
    }

    void textsFoldAsTheServerCompares_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("cyrillic ё") << QStringLiteral("ёлка") << QStringLiteral("ЁЛ");
        QTest::newRow("sharp s stays") << QStringLiteral("Straße") << QStringLiteral("STRASSE");
        QTest::newRow("final sigma") << QStringLiteral("όσος") << QStringLiteral("ΣΟΣ");
        QTest::newRow("dotted I") << QStringLiteral("İstanbul") << QStringLiteral("I");
        QTest::newRow("ligature") << QStringLiteral("ﬁle") << QStringLiteral("FILE");
        QTest::newRow("decomposed") << QStringLiteral("cafe\u0301") << QStringLiteral("CAFÉ");
        QTest::newRow("emoji") << QStringLiteral("a😀b") << QStringLiteral("😀B");
        QTest::newRow("dotless i") << QStringLiteral("kılım") << QStringLiteral("KIL");
        QTest::newRow("j with caron") << QStringLiteral("ǰob") << QStringLiteral("JOB");
        QTest::newRow("n with apostrophe") << QStringLiteral("ŉ") << QStringLiteral("ʼN");
        QTest::newRow("capital sharp s") << QStringLiteral("ẞIG") << QStringLiteral("ß");
    }
    void textsFoldAsTheServerCompares()
    {
        QFETCH(QString, name);
        QFETCH(QString, pattern);
        Statement s(db());
        s.prepare(QStringLiteral("select count(*) from RDB$DATABASE where cast(:N as "
                                 "varchar(100) character set utf8) collate unicode containing "
                                 "cast(:P as varchar(100) character set utf8)"));
        s.setParam(QStringLiteral("N"), name);
        s.setParam(QStringLiteral("P"), pattern);
        s.execute();
        QVERIFY(s.fetch());
        const bool server = s.value(0).toInt() == 1;
        const bool local = IndexText::fold(name).contains(IndexText::fold(pattern));
        QCOMPARE(local, server);
    }

    void pathsAreBuiltAsFindBuildsThem_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("ancestors");
        QTest::addColumn<QString>("path");
        QTest::newRow("top") << QStringLiteral("a.txt") << QStringList {} << "a.txt";
        QTest::newRow("two up") << QStringLiteral("a.txt") << QStringList {"b", "c"} << "c/b/a.txt";
        const QString x1000 = QString(1000, QLatin1Char('x'));
        // 4 × 1000 + 4 slashes + 92: the longest path kept whole.
        QTest::newRow("exactly full")
            << QString(92, QLatin1Char('n')) << QStringList {x1000, x1000, x1000, x1000}
            << QStringList {x1000, x1000, x1000, x1000, QString(92, 'n')}.join('/');
        // One more: the name that does not fit is left out whole.
        QTest::newRow("one over") << QString(93, QLatin1Char('n'))
                                  << QStringList {x1000, x1000, x1000, x1000}
                                  << QStringLiteral("…/")
                + QStringList {x1000, x1000, x1000, QString(93, 'n')}.join('/');
        const QString x4000 = QString(4000, QLatin1Char('x'));
        QTest::newRow("first ancestor too long")
            << QString(100, QLatin1Char('n')) << QStringList {x4000, QStringLiteral("top")}
            << QStringLiteral("…/") + QString(100, 'n');
    }
    void pathsAreBuiltAsFindBuildsThem()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, ancestors);
        QFETCH(QString, path);
        QCOMPARE(IndexText::contentPath(name, ancestors), path);
    }

    void indexAgreesWithFindAfterEachChange_data()
    {
        QTest::addColumn<QString>("change");
        for (const char *change :
             {"read", "replace", "update read", "add mode", "delete disk", "move disk",
              "rename folder", "restore", "another connection's read"})
            QTest::newRow(change) << QString::fromLatin1(change);
    }
    void indexAgreesWithFindAfterEachChange()
    {
        QFETCH(QString, change);
        compareAll("before");
        if (QTest::currentTestFailed())
            return;
        writeVolume({QStringLiteral("Новая/ёлочка.mp3"), QStringLiteral("Новая/Песня.MP3"),
                     QStringLiteral("fresh.txt")});
        const int before = entryCount(QStringLiteral("mp3"));
        if (change == QLatin1String("read")) {
            readInto(2002);
            QCOMPARE(entryCount(QStringLiteral("mp3")), before + 2);
        } else if (change == QLatin1String("replace")) {
            readInto(2001, QMessageBox::Yes);
            QCOMPARE(entryCount(QStringLiteral("ёлка")), 0);
            QCOMPARE(entryCount(QStringLiteral("ёлочка")), 1);
        } else if (change == QLatin1String("update read")) {
            // Read, changed and read again in place: entries renamed, gone, kept and new.
            readInto(2001, QMessageBox::Yes);
            QCOMPARE(entryCount(QStringLiteral("ёлочка")), 1);
            compareAll("the volume read");
            const QStringList changed {QStringLiteral("сосна.mp3"),
                                       QStringLiteral("Новая/Песня.MP3"),
                                       QStringLiteral("added.mp3")};
            writeVolume(changed);
            readInto(2001, QMessageBox::Yes);
            QCOMPARE(entryCount(QStringLiteral("ёлочка")), 0);
            QCOMPARE(entryCount(QStringLiteral("сосна")), 1);
            QCOMPARE(entryCount(QStringLiteral("added")), 1);
            QCOMPARE(entryCount(QStringLiteral("fresh")), 0);
            compareAll("read again");
            // The disk's newest entry, kept, now hangs from the new root entry: the index is
            // brought up to date, not built anew.
            const int segments = ready()->segmentCount();
            writeVolume(changed + QStringList {QStringLiteral("ещё.mp3")});
            readInto(2001, QMessageBox::Yes);
            QCOMPARE(ready()->segmentCount(), segments + 1);
            QCOMPARE(entryCount(QStringLiteral("ещё")), 1);
        } else if (change == QLatin1String("add mode")) {
            readInto(2001, QMessageBox::No);
            QCOMPARE(entryCount(QStringLiteral("mp3")), before + 2);
        } else if (change == QLatin1String("delete disk")) {
            QVERIFY(m_f->locateDisk(2001));
            data().dtDisk().remove();
            QCOMPARE(entryCount(QStringLiteral("ёлка")), 0);
        } else if (change == QLatin1String("move disk")) {
            data().dtMoveDisk().setSql(
                QStringLiteral("update TDISK set FFOLDERID = :F where FDISKID = :D"));
            data().dtMoveDisk().setParam(QStringLiteral("F"), 1002);
            data().dtMoveDisk().setParam(QStringLiteral("D"), 2001);
            data().dtMoveDisk().execute();
            QVERIFY(findRows(QStringLiteral("ЁЛКА"), QString()).constFirst().contains("Архив"));
        } else if (change == QLatin1String("rename folder")) {
            QVERIFY(data().dtFolder().locate(QStringLiteral("FFOLDERID"), 1001));
            data().dtFolder().edit();
            data().dtFolder().fieldByName(QStringLiteral("FFOLDER")).setString("Яшик");
            data().dtFolder().post();
            QVERIFY(findRows(QStringLiteral("ЁЛКА"), QString()).constFirst().contains("Яшик"));
        } else if (change == QLatin1String("restore")) {
            // The same keys, other names: only the catalogue's identity tells them apart.
            const QString path = db().databaseName();
            db().close();
            QVERIFY(QFile::remove(path));
            QCOMPARE(TestCatalogue::restore(TestCatalogue::templatePath(), path), QString());
            QStringList rows {QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, "
                                             "FOWNFOLDERID) values (1001, 'Диски', 0)"),
                              QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, "
                                             "FNAME) values (2001, 1001, 1, 'Музыка')")};
            rows << contentRows(2001, 3000, {"Другая.mp3", "ёлка-2.mp3"});
            rows << QStringLiteral("alter sequence SQ_MAIN restart with 5000");
            m_f->catalogue().exec(rows);
            db().open();
            QCOMPARE(entryCount(QStringLiteral("mp3")), 2);
        } else if (change == QLatin1String("another connection's read")) {
            // A second attachment writes a disk's entries as another workstation's read does.
            auto other = m_f->catalogue().connection();
            other->open();
            writeDisk(*other, QStringLiteral("Чужой"),
                      {QStringLiteral("Чужая ЁЛКА.mp3"), QStringLiteral("other.mp3")});
            other->transaction().commit();
            other->close();
            // This workstation sees it once its transaction starts anew.
            db().close();
            db().open();
            QCOMPARE(entryCount(QStringLiteral("mp3")), before + 2);
        }
        compareAll(qPrintable(change));
    }

    void searchWindowUsesTheIndex()
    {
        QVERIFY(ready());
        TfFind find(data(), &m_f->main());
        find.setModal(false);
        find.show();
        find.eFile->setText(QStringLiteral("mp3"));
        find.BitBtn1Click();
        QVERIFY(find.wasIndexed());
        DataSetModel &model = *find.DBGridEh1->dataSetModel();
        while (model.canFetchMore({}))
            model.fetchMore({});
        const QStringList expected = findRows(QStringLiteral("MP3"), QString());
        QCOMPARE(model.rowCount(), expected.size());
        for (int r = 0; r < model.rowCount(); ++r) {
            const QString file
                = find.dtFind.value(r, find.dtFind.fieldByName("FCONTENTFULL").index()).toString();
            QVERIFY2(expected.at(r).contains(QLatin1Char('|') + file + QLatin1Char(':')),
                     qPrintable(file));
        }
        // Enter on a result still goes to its disk.
        find.DBGridEh1->setFocus();
        find.dtFind.moveTo(0);
        find.BitBtn1Click();
        QCOMPARE(data().dtDisk().fieldByName(QStringLiteral("FDISKID")).asInteger(), 2001);
    }

    void fileSearchStepsAsFindFile_data()
    {
        QTest::addColumn<int>("disk");
        QTest::addColumn<QString>("text");
        QTest::newRow("three matches") << 2001 << QStringLiteral("ёлка");
        QTest::newRow("root entry too") << 2003 << QStringLiteral("disk");
        QTest::newRow("one letter") << 2003 << QStringLiteral("о");
        QTest::newRow("none") << 2003 << QStringLiteral("mp4");
    }
    void fileSearchStepsAsFindFile()
    {
        QFETCH(int, disk);
        QFETCH(QString, text);
        QVERIFY(ready());
        auto keys = [&](SearchIndex *with) {
            FileSearch search(db(), with);
            QList<int> found;
            // Every match in turn, then none, then the first again.
            while (const std::optional<int> key = search.step(disk, text))
                found << *key;
            found << search.step(disk, text).value_or(-1);
            if (with)
                found << (search.wasIndexed() ? 1 : 0);
            return found;
        };
        QList<int> byServer = keys(nullptr);
        QList<int> byIndex = keys(&index());
        QCOMPARE(byIndex.takeLast(), 1);
        QCOMPARE(byIndex, byServer);
        QVERIFY(byServer.size() >= 2 || text == QLatin1String("mp4"));
    }

    void searchWithoutIndexGoesToTheServer()
    {
        index().setEnabled(false);
        CatalogueSearch search(db(), &index());
        QVERIFY(!search.find(QStringLiteral("mp3"), QString()));
        search.results().fetchAll();
        QCOMPARE(search.results().fetchedCount(), entryCount(QStringLiteral("mp3")));
        index().setEnabled(true);
    }

    void anotherWriterSendsSearchesToTheServer()
    {
        QVERIFY(ready());
        QLockFile other(SearchIndex::folderFor(db().databaseName()) + QStringLiteral("/lock"));
        QVERIFY(other.tryLock(0));
        QVERIFY(!index().prepare(db()));
        // The build it starts gives way as well.
        if (index().isBuilding()) {
            QSignalSpy done(&index(), &SearchIndex::backgroundDone);
            QVERIFY(done.wait(30000));
            QCOMPARE(done.at(0).at(0).toBool(), true);
        }
        other.unlock();
        QVERIFY(index().prepare(db()));
    }

    void indexSurvivesARestart()
    {
        QVERIFY(ready());
        const QString folder = SearchIndex::folderFor(db().databaseName());
        ContentIndex again(folder);
        QVERIFY(again.load());
        // Only the entries of the last seconds are looked at again; none is new.
        const ContentIndex::Update update = again.update(db(), 0);
        QVERIFY(update == ContentIndex::Update::Current || update == ContentIndex::Update::Updated);
        QCOMPARE(again.segmentCount(), 1);
        QCOMPARE(indexRows(again, QStringLiteral("ЁЛКА"), QString()),
                 findRows(QStringLiteral("ЁЛКА"), QString()));
    }
    // Index files damaged on disk or written by other hands, and a catalogue put back to an
    // older copy of itself: after a restart the search neither crashes nor hangs, does not
    // use what it cannot trust (the server answers meanwhile), and gives FIND's rows.
    void hostileIndexFilesGiveFindsRows_data()
    {
        QTest::addColumn<QString>("harm");
        for (const char *harm :
             {"one byte of a name", "line break of a name", "garbage after the header",
              "unsorted keys", "self-parent", "truncated", "state: one byte", "state: garbage",
              "state: truncated", "catalogue gone back"})
            QTest::newRow(harm) << QString::fromLatin1(harm);
    }
    void hostileIndexFilesGiveFindsRows()
    {
        QFETCH(QString, harm);
        QVERIFY(ready());
        const QDir dir(SearchIndex::folderFor(db().databaseName()));
        const QStringList segments = dir.entryList({QStringLiteral("segment-*")}, QDir::Files);
        QCOMPARE(segments.size(), 1);
        const QString segment = dir.filePath(segments.constFirst());
        const QString state = dir.filePath(QStringLiteral("state"));
        auto change = [](const QString &path, const std::function<void(QByteArray &)> &how) {
            QFile file(path);
            if (!file.open(QIODevice::ReadWrite))
                return false;
            QByteArray bytes = file.readAll();
            how(bytes);
            return file.resize(0) && file.seek(0) && file.write(bytes) == bytes.size();
        };
        QRandomGenerator random(21);
        auto garbage = [&random](QByteArray &bytes, qint64 from) {
            for (qint64 i = from; i < bytes.size(); ++i)
                bytes[i] = char(random.bounded(256));
        };
        bool changed = true;
        if (harm == QLatin1String("one byte of a name")) {
            changed = change(segment, [](QByteArray &b) {
                const qsizetype at = b.indexOf("MP3\n", SegmentLayout(b).names);
                if (at > 0)
                    b[at + 1] = 'Q';
            });
        } else if (harm == QLatin1String("line break of a name")) {
            // The last name of a disk runs on to the next disk's names.
            changed = change(segment, [](QByteArray &b) {
                const qsizetype at = b.indexOf("TAKE FIVE.MP3\n", SegmentLayout(b).names);
                if (at > 0)
                    b[at + 13] = ' ';
            });
        } else if (harm == QLatin1String("garbage after the header")) {
            changed = change(segment, [&](QByteArray &b) { garbage(b, 40); });
        } else if (harm == QLatin1String("unsorted keys")) {
            changed = change(segment, [](QByteArray &b) {
                const SegmentLayout l(b);
                const qint64 a = l.keys + l.entryOf(b, 3001) * 4;
                const qint64 c = l.keys + l.entryOf(b, 3002) * 4;
                for (int i = 0; i < 4; ++i)
                    std::swap(b[a + i], b[c + i]);
            });
        } else if (harm == QLatin1String("self-parent")) {
            // The folder "Ёлка" its own parent: its files' paths would go round.
            changed = change(segment, [](QByteArray &b) {
                const SegmentLayout l(b);
                qToUnaligned<qint32>(3001, b.data() + l.parents + l.entryOf(b, 3001) * 4);
            });
        } else if (harm == QLatin1String("truncated")) {
            changed = change(segment, [](QByteArray &b) { b.truncate(b.size() / 2); });
        } else if (harm == QLatin1String("state: one byte")) {
            changed = change(state,
                             [](QByteArray &b) { b[b.size() / 2] = char(b[b.size() / 2] ^ 0x10); });
        } else if (harm == QLatin1String("state: garbage")) {
            changed = change(state, [&](QByteArray &b) { garbage(b, 0); });
        } else if (harm == QLatin1String("state: truncated")) {
            changed = change(state, [](QByteArray &b) { b.truncate(b.size() / 2); });
        } else if (harm == QLatin1String("catalogue gone back")) {
            // A copy of the catalogue file, then another workstation reads into a disk and the
            // index takes it in.
            const QString path = db().databaseName();
            const QString older = m_f->catalogue().folder() + QStringLiteral("/older.gdb");
            db().close();
            QVERIFY(QFile::copy(path, older));
            db().open();
            auto other = m_f->catalogue().connection();
            other->open();
            writeEntries(*other, 2002,
                         {QStringLiteral("первый.mp3"), QStringLiteral("second.mp3")});
            other->transaction().commit();
            other->close();
            db().close();
            db().open();
            compareAll("after the first read");
            // The copy put back with the same creation time, then read into, drawing the same
            // keys again for other entries.
            db().close();
            QVERIFY(QFile::remove(path));
            QVERIFY(QFile::copy(older, path));
            db().open();
            other->open();
            writeEntries(*other, 2002,
                         {QStringLiteral("a.txt"), QStringLiteral("b.txt"), QStringLiteral("c.txt"),
                          QStringLiteral("d.txt"), QStringLiteral("e.txt")});
            other->transaction().commit();
            other->close();
            db().close();
            db().open();
        }
        QVERIFY(changed);
        SearchIndex again;
        bool answeredAtOnce = true;
        auto built = restarted(again, &answeredAtOnce);
        QVERIFY(built);
        compareWith(*built, qPrintable(harm));
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(!answeredAtOnce, "an index that cannot be trusted answered");
        QVERIFY(!QFileInfo::exists(segment));
    }

    // Entries another workstation commits long after drawing their keys are found once they
    // are committed, however late, in this session and after a restart.
    void lateCommitsAreFound_data()
    {
        QTest::addColumn<bool>("restart");
        QTest::newRow("same session") << false;
        QTest::newRow("after a restart") << true;
    }
    void lateCommitsAreFound()
    {
        QFETCH(bool, restart);
        QVERIFY(ready());
        auto other = m_f->catalogue().connection();
        other->open();
        writeEntries(*other, 2002, {QStringLiteral("поздний.mp3"), QStringLiteral("late.txt")});
        // Searches meanwhile bring the index up to the keys drawn, with nothing behind them.
        compareAll("before the commit");
        compareAll("before the commit, again");
        other->transaction().commit();
        other->close();
        db().close();
        db().open();
        QCOMPARE(findRows(QStringLiteral("ПОЗДНИЙ"), QString()).size(), 1);
        if (!restart) {
            compareAll("after the commit");
            return;
        }
        SearchIndex again;
        bool answeredAtOnce = false;
        auto built = restarted(again, &answeredAtOnce);
        QVERIFY(answeredAtOnce);
        compareWith(*built, "after the commit and a restart");
    }

    // The window and the index give what FIND gives for the texts as the user typed them,
    // whatever the locale's upper case makes of them.
    void searchTextsAsTyped_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("disk");
        QTest::newRow("sharp s") << QStringLiteral("ß") << QString();
        QTest::newRow("capital sharp s") << QStringLiteral("ẞ") << QString();
        QTest::newRow("double s") << QStringLiteral("ss") << QString();
        QTest::newRow("ligature fi") << QStringLiteral("ﬁ") << QString();
        QTest::newRow("fi") << QStringLiteral("fi") << QString();
        QTest::newRow("j with caron") << QStringLiteral("ǰ") << QString();
        QTest::newRow("n with apostrophe") << QStringLiteral("ŉ") << QString();
        QTest::newRow("dotless i") << QStringLiteral("ı") << QString();
        QTest::newRow("dotless i after k") << QStringLiteral("kı") << QString();
        QTest::newRow("long s") << QStringLiteral("ſ") << QString();
        QTest::newRow("i") << QStringLiteral("i") << QString();
        QTest::newRow("spaces only") << QStringLiteral("   ") << QString();
        QTest::newRow("two spaces inside") << QStringLiteral("e  t") << QString();
        QTest::newRow("space at the end") << QStringLiteral("mp3 ") << QString();
        QTest::newRow("space in front") << QStringLiteral(" two") << QString();
        QTest::newRow("disk text of spaces") << QStringLiteral("mp3") << QStringLiteral("  ");
        QTest::newRow("disk text ß") << QStringLiteral("txt") << QStringLiteral("ß");
        QTest::newRow("disk text, space after")
            << QStringLiteral("txt") << QStringLiteral("двойник ");
    }
    void searchTextsAsTyped()
    {
        QFETCH(QString, file);
        QFETCH(QString, disk);
        const QStringList columns {QStringLiteral("FDISKID"), QStringLiteral("FCONTENTFULL"),
                                   QStringLiteral("FCONTENTSIZE")};
        const QStringList expected = findRows(file, disk, columns);
        for (const bool indexed : {true, false}) {
            const QStringList got = searchRows(file, disk, indexed, columns);
            // The rows themselves when they differ in number: a sentinel row tells why.
            QVERIFY2(got.size() == expected.size(),
                     qPrintable(got.join(QLatin1Char(';')) + QStringLiteral(" / ")
                                + expected.join(QLatin1Char(';'))));
            QCOMPARE(got, expected);
        }
        if (IndexedFind::canAnswer(IndexText::upper(file), IndexText::upper(disk))) {
            auto built = ready();
            QVERIFY(built);
            const QStringList all = findRows(file, disk);
            QCOMPARE(indexRows(*built, IndexText::upper(file), IndexText::upper(disk)), all);
        }
        // The disk editor's search steps through what FINDFILE gives for the text as typed.
        const QList<int> keys = findFileKeys(2005, file);
        for (SearchIndex *with : {static_cast<SearchIndex *>(nullptr), &index()}) {
            FileSearch search(db(), with);
            QList<int> found;
            while (const std::optional<int> key = search.step(2005, file))
                found << *key;
            QCOMPARE(found, keys);
        }
        QVERIFY(m_f->prompt().shown.isEmpty());
    }

    // The disks' order a session read is kept beside the index for the first search of the
    // next session, while it is this catalogue's and no disk or folder changed; a file that
    // fails a check is not used and is written anew. The rows stay FIND's either way.
    void diskOrderIsKeptForTheNextSession_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("used");
        QTest::newRow("nothing") << QStringLiteral("nothing") << true;
        QTest::newRow("written back as it was") << QStringLiteral("as it was") << true;
        for (const char *change : {"disk renamed", "disk added", "disk deleted", "folder renamed",
                                   "folder moved", "missing", "one byte", "truncated", "garbage",
                                   "another catalogue", "count beyond the file"})
            QTest::newRow(change) << QString::fromLatin1(change) << false;
    }
    void diskOrderIsKeptForTheNextSession()
    {
        QFETCH(QString, change);
        QFETCH(bool, used);
        QVERIFY(ready());
        // The build in the background has kept the order before any search.
        const QString folder = SearchIndex::folderFor(db().databaseName());
        const QString path = QDir(folder).filePath(DiskOrder::fileName());
        QVERIFY(QFileInfo::exists(path));
        compareAll("before");
        auto committed = [this](const QStringList &statements) {
            auto other = m_f->catalogue().connection();
            other->open();
            other->transaction().start();
            for (const QString &sql : statements) {
                Statement s(*other);
                s.prepare(sql);
                s.execute();
            }
            other->transaction().commit();
            other->close();
            // This session sees it once its transaction starts anew.
            db().close();
            db().open();
        };
        auto damage = [&path](const std::function<void(QByteArray &)> &how) {
            QFile file(path);
            if (!file.open(QIODevice::ReadWrite))
                return false;
            QByteArray bytes = file.readAll();
            how(bytes);
            return file.resize(0) && file.seek(0) && file.write(bytes) == bytes.size();
        };
        // The identity leads the body: its length in bytes, then its UTF-16 units.
        auto identityBytes = [](const QByteArray &body) {
            return qint64(qFromBigEndian<quint32>(body.constData()));
        };
        bool done = true;
        if (change == QLatin1String("as it was")) {
            done = rewriteOrder(path, [](QByteArray &) {});
        } else if (change == QLatin1String("disk renamed")) {
            // The same number in a folder of the same path: the name now sorts it last.
            committed({QStringLiteral("update TDISK set FNAME = 'Яблоко' where FDISKID = 2005")});
        } else if (change == QLatin1String("disk added")) {
            committed({QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN) "
                                      "values (2006, 1002, 1, 'Акт', 0)")});
        } else if (change == QLatin1String("disk deleted")) {
            committed({QStringLiteral("delete from TDISK where FDISKID = 2005")});
        } else if (change == QLatin1String("folder renamed")) {
            committed(
                {QStringLiteral("update TFOLDER set FFOLDER = 'Яшик' where FFOLDERID = 1003")});
        } else if (change == QLatin1String("folder moved")) {
            committed(
                {QStringLiteral("update TFOLDER set FOWNFOLDERID = 0 where FFOLDERID = 1002")});
        } else if (change == QLatin1String("missing")) {
            done = QFile::remove(path);
        } else if (change == QLatin1String("one byte")) {
            done = damage([](QByteArray &b) { b[b.size() / 2] = char(b[b.size() / 2] ^ 0x04); });
        } else if (change == QLatin1String("truncated")) {
            done = damage([](QByteArray &b) { b.truncate(b.size() - 3); });
        } else if (change == QLatin1String("garbage")) {
            QRandomGenerator random(28);
            done = damage([&random](QByteArray &b) {
                for (qsizetype i = 12; i < b.size(); ++i)
                    b[i] = char(random.bounded(256));
            });
        } else if (change == QLatin1String("another catalogue")) {
            // The same disks, the same stamp, the checksum right: only the catalogue's
            // creation time differs, as for the same catalogue restored.
            done = rewriteOrder(path, [&](QByteArray &body) {
                const qint64 at = 4 + identityBytes(body) - 1;
                body[at] = char(body[at] ^ 0x01);
            });
        } else if (change == QLatin1String("count beyond the file")) {
            done = rewriteOrder(path, [&](QByteArray &body) {
                const qint64 at = 4 + identityBytes(body) + 8 * 8;
                qToBigEndian<qint32>(0x7FFFFFFF, body.data() + at);
            });
        }
        QVERIFY(done);
        DiskOrder session;
        session.setFolder(folder);
        inTransaction();
        session.refresh(db());
        QCOMPARE(session.lastSource() == DiskOrder::Source::File, used);
        compareAll(qPrintable(change), &session);
        if (QTest::currentTestFailed())
            return;
        // What the server gave is kept for the session after.
        DiskOrder next;
        next.setFolder(folder);
        inTransaction();
        next.refresh(db());
        QCOMPARE(next.lastSource(), DiskOrder::Source::File);
        compareAll(qPrintable(change + QStringLiteral(", next session")), &next);
    }

    // A text longer than any name finds nothing, quietly: the inputs take no more than a name
    // holds, and the disk editor does not send it to the server.
    void overlongTextsFindNothing()
    {
        TfFind find(data(), &m_f->main());
        find.eDisk->setText(QString(300, QLatin1Char('d')));
        find.eFile->setText(QString(1025, QLatin1Char('x')));
        QCOMPARE(find.eDisk->text().size(), 255);
        QCOMPARE(find.eFile->text().size(), 1024);
        find.BitBtn1Click();
        QVERIFY(find.dtFind.isOpen());
        QCOMPARE(find.dtFind.fetchedCount(), 0);
        FileSearch search(db(), &index());
        QCOMPARE(search.step(2001, QString(1025, QLatin1Char('x'))), std::optional<int>());
        QVERIFY(m_f->prompt().shown.isEmpty());
    }
};

QTEST_MAIN(TestSearchIndex)
#include "tst_searchindex.moc"
