#include "app/Catalogue.h"
#include "app/ConnectionSettings.h"
#include "app/LocalCatalogueGuard.h"
#include "disk/ContentWriter.h"
#include "disk/DiskReader.h"
#include "disk/EditorReadWatch.h"
#include "search/CatalogueSearch.h"
#include "searchindex/SearchIndex.h"
#include "store/Connection.h"
#include "store/DbError.h"
#include "store/Field.h"
#include "store/Transaction.h"
#include "tests/support/CatalogueSample.h"
#include "tests/support/FixtureTree.h"
#include "tests/support/LendingSample.h"
#include "tests/support/TestCatalogue.h"

#include <QDate>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

// kodra-cli as a script runs it: a process over a catalogue restored from the template, with
// settings and an index cache of its own.
class TestCli : public QObject
{
    Q_OBJECT

    struct Run
    {
        int exitCode = -1;
        QByteArray out;
        QString err;
    };

    QTemporaryDir m_home;
    std::unique_ptr<TestCatalogue> m_cat;

    static QString program() { return QStringLiteral(KODRA_BINARY_DIR "/kodra-cli"); }

    Run cli(QStringList args, const QString &cache = QString(), bool withDatabase = true) const
    {
        if (withDatabase)
            args << QStringLiteral("--database") << m_cat->path();
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"),
                   cache.isEmpty() ? m_home.filePath(QStringLiteral("cache")) : cache);
        p.setProcessEnvironment(env);
        p.start(program(), args);
        Run run;
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished();
            run.err = QStringLiteral("timed out");
            return run;
        }
        run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        run.out = p.readAllStandardOutput();
        run.err = QString::fromUtf8(p.readAllStandardError());
        return run;
    }

    static QList<QJsonObject> jsonRows(const QByteArray &out)
    {
        QList<QJsonObject> rows;
        for (const QByteArray &line : out.split('\n')) {
            if (line.isEmpty())
                continue;
            QJsonParseError error;
            const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
            if (error.error != QJsonParseError::NoError || !doc.isObject())
                return {{{QStringLiteral("bad line"), QString::fromUtf8(line)}}};
            rows << doc.object();
        }
        return rows;
    }

    // The search window's rows for the texts, on a connection of the test's own that is gone
    // before the program runs (the embedded engine lets one process hold the file).
    QList<QJsonObject> windowRows(const QString &file, const QString &disk) const
    {
        QList<QJsonObject> rows;
        std::unique_ptr<Connection> db = m_cat->connection();
        db->open();
        db->transaction().start();
        {
            CatalogueSearch search(*db);
            search.find(file, disk);
            QueryDataSet &found = search.results();
            auto text = [&](const char *field) {
                const Field &f = found.fieldByName(QString::fromLatin1(field));
                return f.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(f.asString());
            };
            for (found.first(); !found.eof(); found.next()) {
                const Field &acquired = found.fieldByName(QStringLiteral("FDISKDATE"));
                const Field &date = found.fieldByName(QStringLiteral("FCONTENTDATE"));
                const Field &size = found.fieldByName(QStringLiteral("FCONTENTSIZE"));
                rows << QJsonObject {
                    {QStringLiteral("folder"), text("FFOLDERFULL")},
                    {QStringLiteral("disk"), text("FDISK")},
                    {QStringLiteral("comment"), text("FDISKCOMMENT")},
                    {QStringLiteral("acquired"),
                     acquired.isNull() ? QJsonValue(QJsonValue::Null)
                                       : QJsonValue(acquired.asDate().toString(Qt::ISODate))},
                    {QStringLiteral("file"), text("FCONTENTFULL")},
                    {QStringLiteral("date"),
                     date.isNull() ? QJsonValue(QJsonValue::Null)
                                   : QJsonValue(date.asDateTime().toString(
                                       QStringLiteral("yyyy-MM-dd HH:mm:ss")))},
                    {QStringLiteral("size"),
                     size.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(size.asLargeInt())},
                };
            }
            found.close();
        }
        db->transaction().commit();
        db->close();
        return rows;
    }

    // A disk's record and its entries in key order, keys aside: each entry's parent as the
    // position of its parent in the list; the root entry's date is the time of the read.
    static QStringList diskRows(const QString &catalogue, int diskId)
    {
        QStringList rows;
        const QList<QVariantList> disk = TestCatalogue::rowsIn(
            catalogue,
            QStringLiteral("select FLABEL, FUNIQUE, FFULLSIZE, FFILES, FCOMMENT from "
                           "TDISK where FDISKID = %1")
                .arg(diskId));
        for (const QVariantList &row : disk) {
            QStringList values;
            for (const QVariant &v : row)
                values << (v.isNull() ? QStringLiteral("<null>") : v.toString());
            rows << QStringLiteral("disk ") + values.join(QLatin1Char('|'));
        }
        const QList<QVariantList> entries = TestCatalogue::rowsIn(
            catalogue,
            QStringLiteral("select FCONTENTID, FOWNCONTENTID, FTYPE, FCONTENT, FSIZE, "
                           "FDATE from TCONTENT where FDISKID = %1 order by FCONTENTID")
                .arg(diskId));
        QHash<int, int> position;
        for (const QVariantList &e : entries) {
            position.insert(e.at(0).toInt(), int(position.size()));
            const bool root = e.at(1).isNull() || e.at(1).toInt() == 0;
            rows << QStringLiteral("%1|%2|%3|%4|%5")
                        .arg(root ? -1 : position.value(e.at(1).toInt(), -2))
                        .arg(e.at(2).toInt())
                        .arg(e.at(3).toString(), e.at(4).toString(),
                             root ? QString() : e.at(5).toString());
        }
        return rows;
    }

    // The editor's read of tree into disk diskId of catalogue.
    static QString editorRead(const TestCatalogue &catalogue, int diskId, const QString &tree,
                              DiskReader::Mode mode)
    {
        Catalogue data;
        ConnectionSettings settings;
        settings.databaseName = catalogue.path();
        settings.userName = QStringLiteral("KODRA");
        settings.userPass = QStringLiteral("TARLO");
        if (!CatalogueSample::connectMain(data, settings)
            || !data.dtFolder().locate(QStringLiteral("FFOLDERID"), TestCatalogue::startFolderId)
            || !data.dtDisk().locate(QStringLiteral("FDISKID"), diskId))
            return QStringLiteral("cannot open the disk");
        ContentWriter dtContent(data.DefDatabase(), data.spNextID(), QStringLiteral("dtContent"));
        EditorReadWatch watch(nullptr);
        DiskReader reader(data, dtContent, watch);
        try {
            reader.read(tree, mode);
            data.DefDatabase().transaction().commit();
            data.DefDatabase().close();
        } catch (const DbError &e) {
            return e.text();
        }
        return {};
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        QVERIFY2(QFileInfo::exists(program()), "kodra-cli is not built");
        m_cat = std::make_unique<TestCatalogue>();
        QVERIFY2(m_cat->isValid(), qPrintable(m_cat->error()));
        auto disk = [](int id, int folder, const char *name, int nn) {
            return QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, "
                                  "FGETDATE, FCOMMENT) values (%1, %2, 1, '%3', %4, "
                                  "'2024-03-05', 'к, \"тест\"')")
                .arg(id)
                .arg(folder)
                .arg(QString::fromUtf8(name))
                .arg(nn);
        };
        auto entry = [](int id, int disk, int parent, int type, const char *name) {
            return QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, "
                                  "FTYPE, FCONTENT, FSIZE, FDATE) values (%1, %2, %3, %4, '%5', "
                                  "%1, '2023-01-02 03:04:05')")
                .arg(id)
                .arg(disk)
                .arg(parent ? QString::number(parent) : QStringLiteral("null"))
                .arg(type)
                .arg(QString::fromUtf8(name));
        };
        const int top = TestCatalogue::startFolderId;
        m_cat->exec(QStringList {
                        QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) "
                                       "values (1001, 'Диски', %1)")
                            .arg(top),
                        disk(2101, top, "Архив 2020", 11),
                        disk(2102, 1001, "Музыка, \"лучшее\"", 12),
                        entry(3100, 2101, 0, 2, "/media/cdrom: ARCHIVE"),
                        entry(3101, 2101, 3100, 1, "docs"),
                        entry(3102, 2101, 3101, 0, "Отчёт ABC.doc"),
                        entry(3103, 2101, 3100, 0, "abc.txt"),
                        entry(3104, 2101, 3101, 0, "Ёлка.jpg"),
                        entry(3105, 2101, 3101, 0, "100% готово.txt"),
                        entry(3106, 2101, 3101, 0, "a_b.txt"),
                        entry(3107, 2101, 3101, 0, "axb.txt"),
                        entry(3108, 2101, 3101, 0, "it''s \"quoted\".txt"),
                        entry(3200, 2102, 0, 2, "/media/cdrom: MUSIC"),
                        entry(3201, 2102, 3200, 1, "ёлка"),
                        entry(3202, 2102, 3201, 0, "track01 abc.flac"),
                        entry(3203, 2102, 3201, 0, "ЁЛКА зелёная.mp3"),
                    }
                    + LendingSample::rows());
    }

    // The rows the search window gives for the same two texts, in its order, whether the
    // server's FIND answers (no index yet) or the index built since.
    void findGivesTheSearchWindowsRows_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("disk");
        QTest::addColumn<int>("rows");
        const struct
        {
            const char *name, *file, *disk;
            int rows;
        } cases[] = {
            {"latin, any case", "ABC", "", 3},
            {"Cyrillic", "отчёт", "", 1},
            {"ё and Ё alike", "ёлка", "", 3},
            {"ё in capitals", "ЁЛКА", "", 3},
            {"percent taken literally", "%", "", 1},
            {"underscore taken literally", "a_b", "", 1},
            {"single quote", "it's", "", 1},
            {"double quotes", "\"quoted\"", "", 1},
            {"disk text narrows", "abc", "музыка", 1},
            {"disk text with a comma", "", "ка, \"луч", 0},
            {"nothing", "no such name", "", 0},
        };
        for (const auto &c : cases)
            QTest::newRow(c.name) << QString::fromUtf8(c.file) << QString::fromUtf8(c.disk)
                                  << c.rows;
    }
    void findGivesTheSearchWindowsRows()
    {
        QFETCH(QString, file);
        QFETCH(QString, disk);
        QFETCH(int, rows);
        const QList<QJsonObject> expected = windowRows(file, disk);
        if (!file.isEmpty())
            QCOMPARE(expected.size(), rows);
        QTemporaryDir cold;
        QVERIFY(cold.isValid());
        // A fresh cache: FIND answers and the index is built before the program ends; then the
        // index answers.
        for (const QString &cache : {cold.path(), cold.path()}) {
            QStringList args {QStringLiteral("find"), file, QStringLiteral("--format"),
                              QStringLiteral("json")};
            if (!disk.isEmpty())
                args << QStringLiteral("--disk") << disk;
            const Run run = cli(args, cache);
            QCOMPARE(run.exitCode, expected.isEmpty() ? 4 : 0);
            QCOMPARE(jsonRows(run.out), expected);
        }
        // The file text went to the index, which the first run built.
        if (!file.isEmpty())
            QVERIFY(QDir(cold.filePath(QStringLiteral("Brenk/Kodra/searchindex"))).exists());
    }

    void findStopsAtTheLimit()
    {
        const Run all = cli({QStringLiteral("find"), QStringLiteral("a"),
                             QStringLiteral("--format"), QStringLiteral("json")});
        QCOMPARE(all.exitCode, 0);
        const QList<QJsonObject> rows = jsonRows(all.out);
        QVERIFY(rows.size() > 2);
        const Run two
            = cli({QStringLiteral("find"), QStringLiteral("a"), QStringLiteral("--limit"),
                   QStringLiteral("2"), QStringLiteral("--format"), QStringLiteral("json")});
        QCOMPARE(two.exitCode, 0);
        QCOMPARE(jsonRows(two.out), rows.mid(0, 2));
    }

    // CSV as RFC 4180 has it, with a header of the keys; JSON lines with the same keys.
    void csvAndJsonShape()
    {
        const QString folder = TestCatalogue::startFolderName() + QStringLiteral("/Диски");
        const Run csv = cli({QStringLiteral("disks"), QStringLiteral("--folder"), folder,
                             QStringLiteral("--format"), QStringLiteral("csv")});
        QCOMPARE(csv.exitCode, 0);
        const QString top = TestCatalogue::startFolderName();
        QCOMPARE(
            QString::fromUtf8(csv.out),
            QStringLiteral("key,folder,number,name,label,serial,files,size,acquired,comment\r\n"
                           "2001,%1 / Диски,1,Bach,,,,,,\r\n"
                           "2102,%1 / Диски,12,\"Музыка, \"\"лучшее\"\"\",,,,,2024-03-05,"
                           "\"к, \"\"тест\"\"\"\r\n")
                .arg(top));

        const Run json = cli({QStringLiteral("disks"), QStringLiteral("--folder"), folder,
                              QStringLiteral("--format"), QStringLiteral("json")});
        QCOMPARE(json.exitCode, 0);
        const QList<QJsonObject> rows = jsonRows(json.out);
        QCOMPARE(rows.size(), 2);
        for (const QJsonObject &row : rows)
            QCOMPARE(row.keys(),
                     QStringList({"acquired", "comment", "files", "folder", "key", "label", "name",
                                  "number", "serial", "size"}));
        QCOMPARE(rows.at(1).value(QStringLiteral("name")).toString(),
                 QStringLiteral("Музыка, \"лучшее\""));
        QCOMPARE(rows.at(1).value(QStringLiteral("number")).toInt(), 12);
        QCOMPARE(rows.at(1).value(QStringLiteral("acquired")).toString(),
                 QStringLiteral("2024-03-05"));
        QVERIFY(rows.at(1).value(QStringLiteral("label")).isNull());

        // Text: a heading, a line per row.
        const Run text = cli({QStringLiteral("folders")});
        QCOMPARE(text.exitCode, 0);
        const QStringList textLines = QString::fromUtf8(text.out).split(QLatin1Char('\n'));
        QVERIFY2(textLines.first().startsWith(QStringLiteral("Папка")), text.out.constData());
        QVERIFY2(text.out.contains(QStringLiteral("%1 / Диски / Архив")
                                       .arg(TestCatalogue::startFolderName())
                                       .toUtf8()),
                 text.out.constData());
    }

    // The debtors list's filters.
    void lentFilters_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("disks");
        QTest::newRow("all") << QStringList()
                             << QStringList {"Bach", "Bach", "Chopin", "Mozart", "Vivaldi"};
        // Overdue as the window has it: returned late counts too.
        QTest::newRow("overdue") << QStringList {"--overdue"}
                                 << QStringList {"Bach", "Chopin", "Vivaldi"};
        QTest::newRow("not returned")
            << QStringList {"--not-returned"} << QStringList {"Bach", "Bach", "Mozart"};
        QTest::newRow("mine") << QStringList {"--mine"} << QStringList {"Bach", "Bach", "Chopin"};
        QTest::newRow("others, overdue")
            << QStringList {"--others", "--overdue"} << QStringList {"Vivaldi"};
        QTest::newRow("not returned, overdue")
            << QStringList {"--not-returned", "--overdue"} << QStringList {"Bach"};
    }
    void lentFilters()
    {
        QFETCH(QStringList, options);
        QFETCH(QStringList, disks);
        const Run run = cli(
            QStringList {QStringLiteral("lent"), QStringLiteral("--format"), QStringLiteral("json")}
            + options);
        QCOMPARE(run.exitCode, 0);
        QStringList found;
        for (const QJsonObject &row : jsonRows(run.out))
            found << row.value(QStringLiteral("disk")).toString();
        found.sort();
        QCOMPARE(found, disks);
    }

    void statGivesTheFolderStatistics()
    {
        const Run run
            = cli({QStringLiteral("stat"), QStringLiteral("--format"), QStringLiteral("json")});
        QCOMPARE(run.exitCode, 0);
        const QList<QVariantList> expected = m_cat->rows(
            QStringLiteral("select ff.ffolderfull, count(d.fdiskid) from tdisk d left join "
                           "getfolderfull(d.ffolderid) ff on d.ffolderid is not null group by "
                           "ff.ffolderfull, ff.ffolder"));
        const QList<QJsonObject> rows = jsonRows(run.out);
        QCOMPARE(rows.size(), expected.size());
        for (qsizetype i = 0; i < rows.size(); ++i) {
            QCOMPARE(rows.at(i).value(QStringLiteral("folder")).toString(),
                     expected.at(i).at(0).toString());
            QCOMPARE(rows.at(i).value(QStringLiteral("disks")).toInteger(),
                     expected.at(i).at(1).toLongLong());
        }
    }

    // Exit codes: 2 for a wrong call, 1 with a Russian sentence for an error, 4 for nothing.
    void exitCodes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("no command") << QStringList() << 2 << "Использование";
        QTest::newRow("unknown command")
            << QStringList {"frobnicate"} << 2 << "Неизвестная команда";
        QTest::newRow("find without a text") << QStringList {"find"} << 2 << "нужен";
        QTest::newRow("an argument too many")
            << QStringList {"folders", "x"} << 2 << "не принимает аргумента \"x\"";
        QTest::newRow("unknown option") << QStringList {"folders", "--bogus"} << 2 << "bogus";
        QTest::newRow("bad format")
            << QStringList {"folders", "--format", "xml"} << 2 << "Неизвестный вид вывода";
        QTest::newRow("bad limit") << QStringList {"find", "a", "--limit", "x"} << 2 << "--limit";
        QTest::newRow("missing mount point")
            << QStringList {"which", "/nonexistent/kodra-cli"} << 1 << "укажите точку монтирования";
        QTest::newRow("unknown folder path")
            << QStringList {"disks", "--folder", "Нет/Такой"} << 1 << "нет в каталоге";
        QTest::newRow("read: missing mount point")
            << QStringList {"read", "/nonexistent/kodra-cli", "--folder", "Диски"} << 1
            << "укажите точку монтирования";
        QTest::newRow("read: unknown folder path")
            << QStringList {"read", QDir::tempPath(), "--folder", "Нет/Такой"} << 1
            << "нет в каталоге";
        QTest::newRow("read: no folder")
            << QStringList {"read", QDir::tempPath()} << 2 << "--folder";
        QTest::newRow("read: unknown disk")
            << QStringList {"read", QDir::tempPath(), "--disk", "999999"} << 1 << "нет в каталоге";
        QTest::newRow("read: replace and add")
            << QStringList {"read", QDir::tempPath(), "--disk", "2001", "--replace", "--add"} << 2
            << "--replace";
        QTest::newRow("restore: missing backup")
            << QStringList {"restore", "/nonexistent/k.fbk"} << 1 << "не найден";
        QTest::newRow("nothing found") << QStringList {"find", "zzqqzz"} << 4 << "";
        QTest::newRow("missing catalogue")
            << QStringList {"folders", "--database", "/nonexistent/k.gdb"} << 1
            << "Файл базы не найден";
        QTest::newRow("missing password file")
            << QStringList {"folders", "--password-file", "/nonexistent/pw"} << 1 << "файл пароля";
    }
    void exitCodes()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const bool own = args.contains(QStringLiteral("--database"));
        const Run run = cli(args, QString(), !own && !args.isEmpty());
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        if (exitCode != 4)
            QVERIFY(run.out.isEmpty());
    }

    void helpPerCommand()
    {
        for (const char *command :
             {"find", "disks", "folders", "lent", "stat", "which", "read", "backup", "restore"}) {
            const Run run = cli({QString::fromLatin1(command), QStringLiteral("--help")});
            QCOMPARE(run.exitCode, 0);
            QVERIFY2(run.out.startsWith(QByteArray("Использование: kodra-cli ") + command),
                     run.out.constData());
            QVERIFY(run.out.contains("--database"));
        }
    }

    // A catalogue the window program holds: said so, not the engine's text.
    void heldCatalogue()
    {
        LocalCatalogueGuard guard;
        guard.take(m_cat->path());
        const Run run = cli({QStringLiteral("folders")});
        guard.release();
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.startsWith(QStringLiteral("kodra-cli: База данных %1 уже открыта другой "
                                                   "программой.")
                                        .arg(m_cat->path())),
                 qPrintable(run.err));
        QCOMPARE(cli({QStringLiteral("folders")}).exitCode, 0);
    }

    // A new disk, then read again in replace and in add mode: the rows the editor's read
    // writes into a catalogue of its own, row for row.
    void readEqualsTheEditorsRead()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString tree = dir.filePath(QStringLiteral("volume"));
        auto file = [&](const char *path, const QByteArray &content) {
            const QString name = tree + QLatin1Char('/') + QString::fromUtf8(path);
            QDir().mkpath(QFileInfo(name).path());
            QFile f(name);
            return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
        };
        QVERIFY(file("Музыка/Рок/01 трек.flac", "rock"));
        QVERIFY(file("Музыка/ёлка.mp3", "ёлка ёлка"));
        QVERIFY(file("docs/a_b 100%.txt", "text"));
        QVERIFY(file("docs/empty", ""));
        QVERIFY(QDir().mkpath(tree + QStringLiteral("/пустая папка")));

        TestCatalogue cliCat;
        TestCatalogue editorCat;
        QVERIFY2(cliCat.isValid() && editorCat.isValid(), qPrintable(cliCat.error()));
        constexpr int editorDisk = 5001;
        editorCat.exec({QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME) "
                                       "values (%1, %2, 1, 'Том')")
                            .arg(editorDisk)
                            .arg(TestCatalogue::startFolderId)});
        auto run = [&](const QStringList &args) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
            env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral("cache")));
            p.setProcessEnvironment(env);
            p.start(program(), args + QStringList {QStringLiteral("--database"), cliCat.path()});
            p.waitForFinished(120000);
            return std::make_pair(p.exitCode(), p.readAllStandardOutput().trimmed());
        };

        const auto [code, key] = run({QStringLiteral("read"), tree, QStringLiteral("--folder"),
                                      TestCatalogue::startFolderName(), QStringLiteral("--name"),
                                      QStringLiteral("Том")});
        QCOMPARE(code, 0);
        const int cliDisk = key.toInt();
        QVERIFY(cliDisk > 0);
        QCOMPARE(TestCatalogue::rowsIn(cliCat.path(),
                                       QStringLiteral("select FNAME, FFOLDERID from TDISK where "
                                                      "FDISKID = %1")
                                           .arg(cliDisk)),
                 QList<QVariantList>({{QStringLiteral("Том"), TestCatalogue::startFolderId}}));
        QCOMPARE(editorRead(editorCat, editorDisk, tree, DiskReader::Mode::Replace), QString());
        const QStringList first = diskRows(cliCat.path(), cliDisk);
        QCOMPARE(first.size(), 1 + 1 + 8);
        QCOMPARE(first, diskRows(editorCat.path(), editorDisk));

        // A disk that holds files is not read again without saying how.
        QCOMPARE(
            run({QStringLiteral("read"), tree, QStringLiteral("--disk"), QString::number(cliDisk)})
                .first,
            2);

        // Changed: one file gone, one new, one longer.
        QVERIFY(QFile::remove(tree + QStringLiteral("/docs/empty")));
        QVERIFY(file("docs/new.txt", "new"));
        QVERIFY(file("Музыка/ёлка.mp3", "ёлка ёлка ёлка"));
        const struct
        {
            const char *option;
            DiskReader::Mode mode;
        } again[] = {{"--replace", DiskReader::Mode::Replace}, {"--add", DiskReader::Mode::Add}};
        for (const auto &a : again) {
            QCOMPARE(run({QStringLiteral("read"), tree, QStringLiteral("--disk"),
                          QString::number(cliDisk), QString::fromLatin1(a.option)}),
                     std::make_pair(0, QByteArray::number(cliDisk)));
            QCOMPARE(editorRead(editorCat, editorDisk, tree, a.mode), QString());
            QCOMPARE(diskRows(cliCat.path(), cliDisk), diskRows(editorCat.path(), editorDisk));
        }
        // Add doubled the entries and the file count.
        const QStringList added = diskRows(cliCat.path(), cliDisk);
        QCOMPARE(added.size(), 1 + 2 * (1 + 8));

        // The folder without a serial is known by its label and root entry.
        const auto [whichCode, whichOut] = run(
            {QStringLiteral("which"), tree, QStringLiteral("--format"), QStringLiteral("json")});
        QCOMPARE(whichCode, 0);
        const QList<QJsonObject> which = jsonRows(whichOut);
        QCOMPARE(which.size(), 1);
        QCOMPARE(which.first().value(QStringLiteral("key")).toInt(), cliDisk);
        QCOMPARE(which.first().value(QStringLiteral("disk")).toString(), QStringLiteral("Том"));
        QCOMPARE(run({QStringLiteral("which"), dir.path()}).first, 4);
    }

    // A volume with a label and a serial: the new disk is named after the label, which finds
    // it; a second disk of the same serial is read with the warning on stderr (as root only:
    // an image is mounted).
    void volumeWithASerial()
    {
        if (::geteuid() != 0)
            QSKIP("mounting an image needs root");
        QTemporaryDir work;
        const QString image = work.filePath(QStringLiteral("volume.img"));
        const QString mountPoint = work.filePath(QStringLiteral("mnt"));
        QVERIFY(QDir().mkpath(mountPoint));
        {
            QFile file(image);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(8 * 1024 * 1024));
        }
        if (QProcess::execute(QStringLiteral("mkfs.ext4"),
                              {QStringLiteral("-q"), QStringLiteral("-F"), QStringLiteral("-L"),
                               QStringLiteral("cli disk"), image})
            != 0)
            QSKIP("mkfs.ext4 is not available");
        if (QProcess::execute(QStringLiteral("mount"),
                              {QStringLiteral("-o"), QStringLiteral("loop"), image, mountPoint})
            != 0)
            QSKIP("this machine does not let the test mount a loop device");
        const auto unmount
            = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {mountPoint}); });
        QFile file(mountPoint + QStringLiteral("/файл.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
        file.close();

        TestCatalogue cat;
        QVERIFY2(cat.isValid(), qPrintable(cat.error()));
        auto run = [&](const QStringList &args) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("XDG_CONFIG_HOME"), work.filePath(QStringLiteral("config")));
            env.insert(QStringLiteral("XDG_CACHE_HOME"), work.filePath(QStringLiteral("cache")));
            p.setProcessEnvironment(env);
            p.start(program(), args + QStringList {QStringLiteral("--database"), cat.path()});
            p.waitForFinished(120000);
            return Run {p.exitCode(), p.readAllStandardOutput(),
                        QString::fromUtf8(p.readAllStandardError())};
        };
        const QStringList read {QStringLiteral("read"), mountPoint, QStringLiteral("--folder"),
                                TestCatalogue::startFolderName()};
        const Run first = run(read);
        QCOMPARE(first.exitCode, 0);
        QVERIFY2(first.err.isEmpty(), qPrintable(first.err));
        const int firstDisk = first.out.trimmed().toInt();
        const QList<QVariantList> disk = TestCatalogue::rowsIn(
            cat.path(),
            QStringLiteral("select FNAME, FLABEL, FUNIQUE, FFILES from TDISK where "
                           "FDISKID = %1")
                .arg(firstDisk));
        QCOMPARE(disk.size(), 1);
        QCOMPARE(disk.first().at(0).toString(), QStringLiteral("cli disk"));
        QCOMPARE(disk.first().at(1).toString(), QStringLiteral("CLI DISK"));
        const QString serial = disk.first().at(2).toString();
        QCOMPARE(serial.size(), 8);
        QCOMPARE(disk.first().at(3).toInt(), 1);

        const Run second
            = run(read + QStringList {QStringLiteral("--name"), QStringLiteral("Копия")});
        QCOMPARE(second.exitCode, 0);
        QVERIFY2(second.err.contains(QStringLiteral("Диск с серийным номером \"%1\" под именем "
                                                    "\"cli disk\" уже внесен в базу !")
                                         .arg(serial)),
                 qPrintable(second.err));
        const Run which = run({QStringLiteral("which"), mountPoint, QStringLiteral("--format"),
                               QStringLiteral("csv")});
        QCOMPARE(which.exitCode, 0);
        const QStringList lines
            = QString::fromUtf8(which.out).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines.at(1).contains(QStringLiteral(",CLI DISK,") + serial),
                 qPrintable(lines.at(1)));
    }

    // Ctrl+C or a kill ends a read as the window's read ends: the rows so far kept, the disk
    // marked as read in part, exit 128 + the signal.
    void signalEndsTheReadKeepingTheRows_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
    }
    void signalEndsTheReadKeepingTheRows()
    {
        QFETCH(int, signal);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // One tree for both signals: making it takes longer than reading it.
        constexpr int files = 100000;
        const QString tree = m_home.filePath(QStringLiteral("big"));
        if (!QFileInfo::exists(tree))
            QVERIFY(FixtureTree::buildCollection(tree, files) > 0);
        TestCatalogue cat;
        QVERIFY2(cat.isValid(), qPrintable(cat.error()));
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral("cache")));
        p.setProcessEnvironment(env);
        p.start(program(),
                {QStringLiteral("read"), tree, QStringLiteral("--folder"),
                 TestCatalogue::startFolderName(), QStringLiteral("--progress"),
                 QStringLiteral("--database"), cat.path()});
        QVERIFY(p.waitForStarted());
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += p.readAllStandardError()).contains("файлов")
                                     || p.state() != QProcess::Running,
                                 60000);
        QCOMPARE(p.state(), QProcess::Running);
        ::kill(pid_t(p.processId()), signal);
        QVERIFY(p.waitForFinished(60000));
        err += p.readAllStandardError();
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 128 + signal);
        QVERIFY2(err.contains("Чтение прервано"), err.constData());
        const int disk = p.readAllStandardOutput().trimmed().toInt();
        QVERIFY(disk > 0);
        const QList<QVariantList> row = TestCatalogue::rowsIn(
            cat.path(),
            QStringLiteral("select FFILES, FCOMMENT, (select count(*) from TCONTENT c where "
                           "c.FDISKID = d.FDISKID and c.FTYPE = 0) from TDISK d where "
                           "FDISKID = %1")
                .arg(disk));
        QCOMPARE(row.size(), 1);
        const int counted = row.at(0).at(0).toInt();
        QVERIFY2(counted > 0 && counted < files, qPrintable(QString::number(counted)));
        QCOMPARE(row.at(0).at(2).toInt(), counted);
        QVERIFY(row.at(0).at(1).toString().startsWith(DiskReader::stoppedText(counted)));
    }

    // An unreadable folder: what could be read is stored, exit 3.
    void unreadableFolderEndsWithThree()
    {
        if (::geteuid() == 0)
            QSKIP("root reads every folder: an unreadable one cannot be made");
        QTemporaryDir dir;
        const QByteArray tree = QFile::encodeName(dir.filePath(QStringLiteral("tree")));
        QVERIFY(FixtureTree::build(FixtureTree::Fixture::Unreadable, tree));
        const Run run = cli({QStringLiteral("read"), QFile::decodeName(tree),
                             QStringLiteral("--folder"), TestCatalogue::startFolderName()});
        FixtureTree::release(tree);
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.err.contains(QStringLiteral("Прочитано не всё")), qPrintable(run.err));
    }

    // A backup restored as another catalogue holds the same rows; neither an existing backup
    // nor an existing catalogue is overwritten without --force.
    void backupThenRestore()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString backup = dir.filePath(QStringLiteral("copy.fbk"));
        const QString restored = dir.filePath(QStringLiteral("restored.gdb"));
        const Run saved = cli({QStringLiteral("backup"), backup});
        QCOMPARE(saved.exitCode, 0);
        QVERIFY(QString::fromUtf8(saved.out).startsWith(QStringLiteral("ОК.")));
        QCOMPARE(cli({QStringLiteral("backup"), backup}).exitCode, 1);
        const Run back
            = cli({QStringLiteral("restore"), backup, QStringLiteral("--database"), restored},
                  QString(), false);
        QCOMPARE(back.exitCode, 0);
        QCOMPARE(CatalogueSample::snapshot(restored, TestCatalogue::params()),
                 CatalogueSample::snapshot(m_cat->path(), TestCatalogue::params()));
        // Over the existing catalogue only when told, and then it is the backup's again.
        m_cat->exec({QStringLiteral("delete from TGIVE")});
        const QStringList changed
            = CatalogueSample::snapshot(m_cat->path(), TestCatalogue::params());
        const Run refused = cli({QStringLiteral("restore"), backup});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains(QStringLiteral("--force")), qPrintable(refused.err));
        QCOMPARE(CatalogueSample::snapshot(m_cat->path(), TestCatalogue::params()), changed);
        QCOMPARE(cli({QStringLiteral("restore"), backup, QStringLiteral("--force")}).exitCode, 0);
        QCOMPARE(CatalogueSample::snapshot(m_cat->path(), TestCatalogue::params()),
                 CatalogueSample::snapshot(restored, TestCatalogue::params()));
    }

    // Through a server a wrong password is told as such.
    void badPasswordOnTheServer()
    {
        const QString host = qEnvironmentVariable("KODRA_TEST_SERVER");
        if (host.isEmpty())
            QSKIP("No Firebird server: scripts/test.sh starts one on 127.0.0.1 "
                  "(scripts/firebird-server.sh)");
        QTemporaryDir dir;
        QFile password(dir.filePath(QStringLiteral("pw")));
        QVERIFY(password.open(QIODevice::WriteOnly));
        password.write("not the password\n");
        password.close();
        const Run run = cli({QStringLiteral("folders"), QStringLiteral("--database"),
                             host + QStringLiteral(":") + m_cat->path(), QStringLiteral("--user"),
                             QStringLiteral("SYSDBA"), QStringLiteral("--password-file"),
                             password.fileName()},
                            QString(), false);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("Сервер не принял имя пользователя или пароль")),
                 qPrintable(run.err));
    }
};

// The editor's reader has its progress dialog even without an editor: a widget application.
QTEST_MAIN(TestCli)
#include "tst_cli.moc"
