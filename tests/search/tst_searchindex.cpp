#include "app/MainData.h"
#include "browser/uMain.h"
#include "disk/DrivePicker.h"
#include "disk/FileSearch.h"
#include "disk/uEdtDisk.h"
#include "search/uFind.h"
#include "searchindex/IndexText.h"
#include "searchindex/IndexedFind.h"
#include "store/Statement.h"
#include "tests/support/FixedVolumeSource.h"
#include "tests/support/FixtureTree.h"
#include "tests/support/MainWindowFixture.h"
#include "widgets/DBGrid.h"
#include "widgets/DataSetModel.h"

#include <QDir>
#include <QLineEdit>
#include <QLockFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

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
    rows << contentRows(2005, 3400, {"Двойник.mp3", "readme.md"});
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

    MainData &data() { return m_f->data(); }
    Connection &db() { return data().DefDatabase; }
    SearchIndex &index() { return data().searchIndex; }

    void inTransaction()
    {
        db().ensureConnected();
        if (!db().transaction().isActive())
            db().transaction().start();
    }
    QStringList findRows(const QString &content, const QString &disk)
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
            for (int c = 0; c < IndexedFind::ColumnCount; ++c)
                values << text(s.value(s.columnIndex(IndexedFind::columnName(c))));
            rows << values.join(QLatin1Char('|'));
        }
        return rows;
    }
    QStringList indexRows(const ContentIndex &built, const QString &content, const QString &disk)
    {
        inTransaction();
        IndexedFind find(db(), built, index().diskOrder(), content, disk);
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
    void compareAll(const char *when)
    {
        auto built = ready();
        QVERIFY2(built, when);
        for (const auto &[file, disk] : Searches) {
            const QString content = QLocale().toUpper(file);
            const QString diskText = QLocale().toUpper(disk);
            const QStringList expected = findRows(content, diskText);
            const QStringList got = indexRows(*built, content, diskText);
            if (got != expected)
                qWarning("%s, '%s' in '%s':\nindex %s\nFIND  %s", when, qPrintable(file),
                         qPrintable(disk), qPrintable(got.join(QLatin1Char('\n'))),
                         qPrintable(expected.join(QLatin1Char('\n'))));
            QCOMPARE(got, expected);
        }
    }
    int entryCount(const QString &content)
    {
        return findRows(QLocale().toUpper(content), QString()).size();
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
        for (const char *change : {"read", "replace", "add mode", "delete disk", "move disk",
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
        } else if (change == QLatin1String("add mode")) {
            readInto(2001, QMessageBox::No);
            QCOMPARE(entryCount(QStringLiteral("mp3")), before + 2);
        } else if (change == QLatin1String("delete disk")) {
            QVERIFY(m_f->locateDisk(2001));
            data().dtDisk.remove();
            QCOMPARE(entryCount(QStringLiteral("ёлка")), 0);
        } else if (change == QLatin1String("move disk")) {
            data().dtMoveDisk.setSql(
                QStringLiteral("update TDISK set FFOLDERID = :F where FDISKID = :D"));
            data().dtMoveDisk.setParam(QStringLiteral("F"), 1002);
            data().dtMoveDisk.setParam(QStringLiteral("D"), 2001);
            data().dtMoveDisk.execute();
            QVERIFY(findRows(QStringLiteral("ЁЛКА"), QString()).constFirst().contains("Архив"));
        } else if (change == QLatin1String("rename folder")) {
            QVERIFY(data().dtFolder.locate(QStringLiteral("FFOLDERID"), 1001));
            data().dtFolder.edit();
            data().dtFolder.fieldByName(QStringLiteral("FFOLDER")).setString("Яшик");
            data().dtFolder.post();
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
            other->transaction().start();
            Statement key(*other);
            key.prepare(QStringLiteral("execute procedure GETNEXTID"));
            auto next = [&key] {
                key.execute();
                return key.value(0).toInt();
            };
            const int disk = next();
            Statement insert(*other);
            insert.prepare(QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME) "
                                          "values (:D, 1001, 1, 'Чужой')"));
            insert.setParam(QStringLiteral("D"), disk);
            insert.execute();
            Statement entry(*other);
            entry.prepare(QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, "
                                         "FOWNCONTENTID, FTYPE, FCONTENT) values (:K, :D, :P, "
                                         ":T, :N)"));
            const int root = next();
            const QList<std::tuple<int, int, QString>> entries {
                {root, 2, QStringLiteral("/mnt: X, ID=1")},
                {next(), 0, QStringLiteral("Чужая ЁЛКА.mp3")},
                {next(), 0, QStringLiteral("other.mp3")}};
            for (const auto &[k, type, name] : entries) {
                entry.setParam(QStringLiteral("K"), k);
                entry.setParam(QStringLiteral("D"), disk);
                entry.setParam(QStringLiteral("P"), type == 2 ? QVariant() : QVariant(root));
                entry.setParam(QStringLiteral("T"), type);
                entry.setParam(QStringLiteral("N"), name);
                entry.execute();
            }
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
        TfFind find(data(), m_f->main().DBGridEh1, &m_f->main());
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
        QCOMPARE(data().dtDisk.fieldByName(QStringLiteral("FDISKID")).asInteger(), 2001);
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
        TfFind find(data(), m_f->main().DBGridEh1, &m_f->main());
        find.eFile->setText(QStringLiteral("mp3"));
        find.BitBtn1Click();
        QVERIFY(!find.wasIndexed());
        find.dtFind.fetchAll();
        QCOMPARE(find.dtFind.fetchedCount(), entryCount(QStringLiteral("mp3")));
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
};

QTEST_MAIN(TestSearchIndex)
#include "tst_searchindex.moc"
