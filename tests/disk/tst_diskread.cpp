#include "app/Catalogue.h"
#include "browser/uMain.h"
#include "disk/ContentTree.h"
#include "disk/DiskReader.h"
#include "disk/DrivePicker.h"
#include "disk/EditorReadWatch.h"
#include "disk/uEdtDisk.h"
#include "disk/uProgress.h"
#include "platform/DirectoryWalker.h"
#include "tests/support/FixedVolumeSource.h"
#include "tests/support/FixtureTree.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/Typing.h"
#include "widgets/DBEdit.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using namespace FixtureTree;

namespace {

const QString Serial = QStringLiteral("001A2B3C");
const qint64 VolumeSize = 700LL * 1024 * 1024;

// The small volume most cases read: five files (two hidden), four folders (one hidden, one
// empty).
bool buildSmallVolume(const QByteArray &root)
{
    return ::mkdir(joined(root, "dir1").constData(), 0755) == 0
        && writeFile(joined(root, "dir1/a.txt"), "0123456789")
        && ::mkdir(joined(root, "dir1/sub").constData(), 0755) == 0
        && writeFile(joined(root, "dir1/sub/b.txt"), QByteArray(20, 'b'))
        && writeFile(joined(root, ".hidden"), "abc")
        && ::mkdir(joined(root, ".hdir").constData(), 0755) == 0
        && writeFile(joined(root, ".hdir/c"), "cccc")
        && ::mkdir(joined(root, "empty").constData(), 0755) == 0
        && writeFile(joined(root, "top.txt"), "12345");
}

const QStringList SmallVolumePaths {"/.hdir",          "/.hdir/c",    "/.hidden",
                                    "/dir1",           "/dir1/a.txt", "/dir1/sub",
                                    "/dir1/sub/b.txt", "/empty",      "/top.txt"};

// The message of a read that could not read everything, with these parts.
QString incompleteText(const QStringList &parts)
{
    return QStringLiteral("Прочитано не всё: ") + parts.join(QStringLiteral("; "))
        + QStringLiteral(".\nПрочитанное сохранено.");
}
QString foldersPart(int count)
{
    return QStringLiteral("папок, прочитанных не полностью, — %1").arg(count);
}
QString entriesPart(int count)
{
    return QStringLiteral("записей, которые не удалось прочитать, — %1").arg(count);
}
QString namesPart(int count)
{
    return QStringLiteral("имён, сохранённых с заменой знаков на \"?\", — %1").arg(count);
}

// Builds a template like the real one whose TCONTENT.FCONTENT is a WIN1251 column of 255
// characters, as in catalogues of older versions; its path, or empty with the reason in error.
QString win1251Template(const QString &folder, QString *error)
{
    const QString isql = QStandardPaths::findExecutable(QStringLiteral("isql-fb"));
    const QString gbak = QStandardPaths::findExecutable(QStringLiteral("gbak"));
    if (isql.isEmpty() || gbak.isEmpty()) {
        *error = QStringLiteral("isql-fb or gbak is missing");
        return {};
    }
    const QDir schema(QStringLiteral(KODRA_SCHEMA_DIR));
    QStringList args {schema.filePath(QStringLiteral("build_template.sh")), isql, gbak,
                      folder + QStringLiteral("/work"), folder + QStringLiteral("/Kodra1251.fbk")};
    const QRegularExpression column(
        QStringLiteral(R"(^(\s*FCONTENT\s+)VARCHAR\(\d+\)\s+COLLATE\s+UNICODE)"),
        QRegularExpression::MultilineOption);
    bool altered = false;
    for (const QString &name :
         schema.entryList({QStringLiteral("*.sql")}, QDir::Files, QDir::Name)) {
        QFile in(schema.filePath(name));
        if (!in.open(QIODevice::ReadOnly)) {
            *error = in.errorString();
            return {};
        }
        QString sql = QString::fromUtf8(in.readAll());
        if (sql.contains(column)) {
            sql.replace(column, QStringLiteral("\\1VARCHAR(255) CHARACTER SET WIN1251"));
            altered = true;
        }
        QFile out(folder + QLatin1Char('/') + name);
        if (!out.open(QIODevice::WriteOnly) || out.write(sql.toUtf8()) < 0) {
            *error = out.errorString();
            return {};
        }
        args << out.fileName();
    }
    if (!altered) {
        *error = QStringLiteral("no FCONTENT column in the schema scripts");
        return {};
    }
    QProcess build;
    build.setProcessChannelMode(QProcess::MergedChannels);
    build.start(QStringLiteral("sh"), args);
    if (!build.waitForFinished(120000) || build.exitStatus() != QProcess::NormalExit
        || build.exitCode() != 0) {
        *error = QString::fromLocal8Bit(build.readAll()) + build.errorString();
        return {};
    }
    return folder + QStringLiteral("/Kodra1251.fbk");
}

} // namespace

// Reading a drive into a disk through the disk editor.
class TestDiskRead : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainWindowFixture> m_f;
    std::unique_ptr<FixedVolumeSource> m_volumes;
    QTemporaryDir m_drive;

    Catalogue &data() { return m_f->data(); }
    TestCatalogue &catalogue() { return m_f->catalogue(); }
    QVariant diskValue(int disk, const char *column)
    {
        return catalogue().scalar(QStringLiteral("select %1 from TDISK where FDISKID = %2")
                                      .arg(QString::fromLatin1(column))
                                      .arg(disk));
    }
    int entryCount(int disk)
    {
        return catalogue()
            .scalar(QStringLiteral("select count(*) from TCONTENT where FDISKID = %1").arg(disk))
            .toInt();
    }
    QStringList rootTexts(int disk)
    {
        QStringList texts;
        for (const QVariantList &row :
             catalogue().rows(QStringLiteral("select FCONTENT from TCONTENT where FDISKID = %1 "
                                             "and FOWNCONTENTID is null order by FCONTENTID")
                                  .arg(disk)))
            texts << row.value(0).toString();
        return texts;
    }
    // Every entry below the first root as "/path" with its type and size, checking on the way
    // that keys grow depth first (an entry's key is above its folder's and the entries of a
    // folder come right after it).
    QStringList paths(int disk, QHash<QString, QPair<int, qint64>> *details = nullptr)
    {
        const auto all = catalogue().rows(
            QStringLiteral("select FCONTENTID, FOWNCONTENTID, FCONTENT, FTYPE, FSIZE from TCONTENT "
                           "where FDISKID = %1 order by FCONTENTID")
                .arg(disk));
        QHash<int, QString> pathOf;
        QStringList result;
        for (const QVariantList &row : all) {
            const int key = row[0].toInt();
            if (row[1].isNull()) {
                pathOf.insert(key, QString());
                continue;
            }
            const int owner = row[1].toInt();
            if (!pathOf.contains(owner)) {
                qWarning("entry %d comes before its folder %d", key, owner);
                return {};
            }
            const QString path = pathOf.value(owner) + QLatin1Char('/') + row[2].toString();
            pathOf.insert(key, path);
            result << path;
            if (details)
                details->insert(path, {row[3].toInt(), qint64(row[4].toDouble())});
        }
        result.sort();
        return result;
    }
    // Everything a read may change of a disk: its record and its entries.
    QStringList stored(int disk)
    {
        QStringList rows;
        const QString record = QStringLiteral(
            "select FFULLSIZE, FLABEL, FUNIQUE, FFILES from TDISK where FDISKID = %1");
        const QString entries
            = QStringLiteral("select FCONTENTID, FOWNCONTENTID, FCONTENT, FTYPE, FSIZE, FDATE from "
                             "TCONTENT where FDISKID = %1 order by FCONTENTID");
        for (const QString &select : {record, entries}) {
            for (const QVariantList &row : catalogue().rows(select.arg(disk))) {
                QStringList values;
                for (const QVariant &value : row)
                    values << (value.isNull() ? QStringLiteral("<null>") : value.toString());
                rows << values.join(QLatin1Char('|'));
            }
        }
        return rows;
    }
    bool start(const QStringList &rows = {}, const QString &backup = QString())
    {
        m_f = std::make_unique<MainWindowFixture>();
        m_volumes = std::make_unique<FixedVolumeSource>();
        m_volumes->volumes.insert(m_drive.path(), {QStringLiteral("MyDisc"), Serial, VolumeSize});
        const QString error = m_f->start(
            QStringList {QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, "
                                        "FNN) values (2001, 1001, 1, 'Bach', 1)")}
                + rows,
            backup);
        if (!error.isEmpty())
            qWarning("%s", qPrintable(error));
        return error.isEmpty();
    }
    std::unique_ptr<TfEdtDisk> editorOn(int disk)
    {
        if (!m_f->locateDisk(disk))
            return nullptr;
        auto editor = m_f->openEditor();
        editor->eDriveCD->setDrive(m_drive.path());
        return editor;
    }

private Q_SLOTS:
    void init() { QVERIFY(m_drive.isValid()); }
    void cleanup()
    {
        DirectoryWalker::setListingFault({});
        m_f.reset();
        m_volumes.reset();
        release(QFile::encodeName(m_drive.path()));
        QDir(m_drive.path()).removeRecursively();
        QDir().mkpath(m_drive.path());
    }

    // A new disk is stored by the read itself: Esc afterwards keeps it with its contents.
    void newDiskIsReadWithoutAsking_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("OK") << false;
        QTest::newRow("Esc") << true;
    }
    void newDiskIsReadWithoutAsking()
    {
        QFETCH(bool, escape);
        QVERIFY(start());
        QVERIFY(buildSmallVolume(QFile::encodeName(m_drive.path())));
        const int before = catalogue().scalar(QStringLiteral("select count(*) from TDISK")).toInt();
        bool rootShownOpen = false;
        MainWindowFixture::whenModal([&](QWidget *modal) {
            auto *editor = qobject_cast<TfEdtDisk *>(modal);
            MainWindowFixture::activate(editor);
            typeText(editor->findChild<DBEdit *>(QStringLiteral("eNAME")), QStringLiteral("New"));
            editor->eDriveCD->setDrive(m_drive.path());
            QTest::keyClick(editor, Qt::Key_F2);
            const QTreeWidgetItem *root = editor->tvDisk->topLevelItem(0);
            rootShownOpen = root && root->isExpanded() && root->childCount() == 5;
            if (escape)
                QTest::keyClick(editor, Qt::Key_Escape);
            else
                editor->aOK->trigger();
        });
        m_f->main().aAddDisk->trigger();
        QVERIFY(rootShownOpen);
        QVERIFY(m_f->prompt().shown.isEmpty());
        QCOMPARE(catalogue().scalar(QStringLiteral("select count(*) from TDISK")).toInt(),
                 before + 1);
        const int disk
            = catalogue()
                  .scalar(QStringLiteral("select FDISKID from TDISK where FNAME = 'New'"))
                  .toInt();
        QCOMPARE(diskValue(disk, "FFILES").toInt(), 5);
        QCOMPARE(diskValue(disk, "FFULLSIZE").toDouble(), double(VolumeSize));
        QCOMPARE(diskValue(disk, "FLABEL").toString(), QStringLiteral("MYDISC"));
        QCOMPARE(diskValue(disk, "FUNIQUE").toString(), Serial);
        QCOMPARE(rootTexts(disk),
                 QStringList {m_drive.path() + QStringLiteral(": MYDISC, ID=001A2B3C")});
        QHash<QString, QPair<int, qint64>> details;
        QCOMPARE(paths(disk, &details), SmallVolumePaths);
        QCOMPARE(details.value("/dir1/sub/b.txt"), qMakePair(0, qint64(20)));
        QCOMPARE(details.value("/empty"), qMakePair(1, qint64(0)));
        QCOMPARE(details.value("/.hdir"), qMakePair(1, qint64(0)));
        // Only OK keeps the drive for the next time.
        QCOMPARE(m_f->main().settings().cd == m_drive.path(), !escape);
    }

    void rootEntryText_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("text"); // after the drive
        QTest::newRow("label") << QStringLiteral("MyDisc") << Serial
                               << QStringLiteral(": MYDISC, ID=001A2B3C");
        QTest::newRow("no label") << QString() << Serial << QStringLiteral(": , ID=001A2B3C");
        QTest::newRow("Cyrillic label upper-cased")
            << QStringLiteral("Фото") << Serial << QStringLiteral(": ФОТО, ID=001A2B3C");
        QTest::newRow("nothing known") << QString() << QString() << QStringLiteral(": , ID=");
    }
    void rootEntryText()
    {
        QFETCH(QString, label);
        QFETCH(QString, serial);
        QFETCH(QString, text);
        QVERIFY(start());
        m_volumes->volumes.insert(m_drive.path(), {label, serial, 0});
        auto editor = editorOn(2001);
        editor->aReadExecute();
        QCOMPARE(rootTexts(2001), QStringList {m_drive.path() + text});
        // Nothing was there: only the root entry, no file, no size.
        QCOMPARE(entryCount(2001), 1);
        QCOMPARE(diskValue(2001, "FFILES").toInt(), 0);
        QCOMPARE(diskValue(2001, "FUNIQUE").toString(), serial);
    }

    // Reading a disk that has contents asks whether to replace them.
    void readAgain_data()
    {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<int>("roots");
        QTest::addColumn<int>("files");
        QTest::addColumn<double>("size");
        QTest::newRow("Yes replaces") << QMessageBox::Yes << 1 << 5 << double(VolumeSize);
        QTest::newRow("No adds") << QMessageBox::No << 2 << 10 << double(2 * VolumeSize);
        QTest::newRow("Cancel keeps") << QMessageBox::Cancel << 1 << 5 << double(VolumeSize);
    }
    void readAgain()
    {
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(int, roots);
        QFETCH(int, files);
        QFETCH(double, size);
        QVERIFY(start());
        QVERIFY(buildSmallVolume(QFile::encodeName(m_drive.path())));
        auto editor = editorOn(2001);
        editor->aReadExecute();
        QVERIFY(m_f->prompt().shown.isEmpty());

        m_f->prompt().answers = {answer};
        editor->aReadExecute();
        QCOMPARE(m_f->prompt().shown.size(), 1);
        const RecordingPrompt::Shown &question = m_f->prompt().shown.at(0);
        QCOMPARE(question.text, QStringLiteral("Файлы уже внесены, заменить содержимое ?"));
        QCOMPARE(question.caption, QStringLiteral("Заменить ?"));
        QCOMPARE(question.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);

        QCOMPARE(rootTexts(2001).size(), roots);
        QCOMPARE(entryCount(2001), roots * 10);
        QCOMPARE(diskValue(2001, "FFILES").toInt(), files);
        QCOMPARE(diskValue(2001, "FFULLSIZE").toDouble(), size);
        QCOMPARE(editor->tvDisk->topLevelItemCount(), roots);
        QVERIFY(editor->tvDisk->topLevelItem(0)->isExpanded());
        if (roots == 2)
            QVERIFY(!editor->tvDisk->topLevelItem(1)->isExpanded());
        QVERIFY(editor->aRead->isEnabled());
    }

    void duplicateSerial_data()
    {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::newRow("No stops") << QMessageBox::No;
        QTest::newRow("Yes reads") << QMessageBox::Yes;
    }
    void duplicateSerial()
    {
        QFETCH(QMessageBox::StandardButton, answer);
        QVERIFY(start({
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FUNIQUE) values "
                           "(2002, 1001, 1, 'A', '001A2B3C')"),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FUNIQUE) values "
                           "(2003, 1001, 1, 'B', '001A2B3C')"),
        }));
        QVERIFY(buildSmallVolume(QFile::encodeName(m_drive.path())));
        m_f->prompt().answers = {answer};
        auto editor = editorOn(2001);
        editor->aReadExecute();
        QCOMPARE(m_f->prompt().shown.size(), 1);
        const RecordingPrompt::Shown &warning = m_f->prompt().shown.at(0);
        QCOMPARE(warning.text,
                 QStringLiteral("Диск с серийным номером \"001A2B3C\" под именем "
                                "\"B\", \"A\" уже внесен в базу !\nПродолжить ?"));
        QCOMPARE(warning.caption, QStringLiteral("Уже внесен !"));
        QCOMPARE(warning.icon, QMessageBox::Warning);
        QCOMPARE(warning.buttons, QMessageBox::Yes | QMessageBox::No);
        const bool read = answer == QMessageBox::Yes;
        QCOMPARE(entryCount(2001), read ? 10 : 0);
        QCOMPARE(diskValue(2001, "FUNIQUE").toString(), read ? Serial : QString());
        QVERIFY(diskValue(2001, "FFULLSIZE").isNull() != read);
    }

    // Disks whose serial is unknown are not duplicates of each other.
    void unknownSerialIsNoDuplicate()
    {
        QVERIFY(start({QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, "
                                      "FUNIQUE) values (2002, 1001, 1, 'A', '')")}));
        m_volumes->volumes.insert(m_drive.path(), {QString(), QString(), 0});
        auto editor = editorOn(2001);
        editor->aReadExecute();
        QVERIFY(m_f->prompt().shown.isEmpty());
        QCOMPARE(entryCount(2001), 1);
    }

    // Closing the progress dialog stops the walk; what was read so far stays, counted, and the
    // disk's comment and a message say that the read was stopped. The bar fills against the
    // space the volume's files take where that is known, else against its capacity.
    void closingTheProgressStopsTheRead_data()
    {
        QTest::addColumn<qint64>("used");
        QTest::addColumn<qint64>("measure");
        QTest::newRow("used space unknown") << qint64(0) << VolumeSize;
        QTest::newRow("60 bytes used") << qint64(60) << qint64(60);
    }
    void closingTheProgressStopsTheRead()
    {
        QFETCH(qint64, used);
        QFETCH(qint64, measure);
        QVERIFY(start());
        m_volumes->volumes[m_drive.path()].usedBytes = used;
        QVERIFY(m_f->locateDisk(2001));
        QueryDataSet &disk = data().dtDisk();
        disk.edit();
        disk.fieldByName(QStringLiteral("FCOMMENT"))
            .setString(QStringLiteral("Старый комментарий"));
        disk.post();
        const QByteArray root = QFile::encodeName(m_drive.path());
        for (int i = 0; i < 30; ++i)
            QVERIFY(writeFile(joined(root, QByteArray::number(i) + ".txt"), "12"));
        auto editor = editorOn(2001);
        QString shownPath;
        int barAtStop = -1;
        connect(&editor->reader(), &DiskReader::entryWritten, editor.get(), [&](qint64 entries) {
            if (entries != 12)
                return;
            TfProgress *progress = editor->readWatch().progress();
            progress->flush();
            shownPath = progress->lRead->text();
            barAtStop = progress->pbBar->value();
            QVERIFY(!editor->tvDisk->isEnabled());
            progress->close();
        });
        editor->aReadExecute();
        QVERIFY(shownPath.startsWith(m_drive.path() + QLatin1Char('/')));
        QVERIFY(shownPath.endsWith(QStringLiteral(".txt")));
        QCOMPARE(barAtStop, TfProgress::barPosition(24, measure));
        QCOMPARE(entryCount(2001), 13);
        QCOMPARE(diskValue(2001, "FFILES").toInt(), 12);
        QCOMPARE(diskValue(2001, "FCOMMENT").toString(),
                 QStringLiteral("Чтение прервано: прочитано 12 файлов. Старый комментарий"));
        QCOMPARE(m_f->prompt().shown.size(), 1);
        QCOMPARE(m_f->prompt().shown.first().text,
                 QStringLiteral("Чтение прервано: прочитано 12 файлов."));
        QVERIFY(editor->tvDisk->isEnabled());
        QVERIFY(!editor->readWatch().progress());
    }

    // A database error stops the read: the error box, the entries so far and the new disk
    // values stay, the file count does not change and the tree stays empty.
    void databaseErrorStopsTheRead()
    {
        QVERIFY(start({
            QStringLiteral("create exception E_BROKEN 'Носитель сломан'"),
            QStringLiteral("create trigger TCONTENT_BROKEN for TCONTENT before insert as begin "
                           "if (new.FCONTENT = 'broken.txt') then exception E_BROKEN; end"),
            QStringLiteral("update TDISK set FFILES = 7 where FDISKID = 2001"),
        }));
        const QByteArray root = QFile::encodeName(m_drive.path());
        QVERIFY(::mkdir(joined(root, "d").constData(), 0755) == 0);
        QVERIFY(writeFile(joined(root, "d/broken.txt"), "x"));
        auto editor = editorOn(2001);
        editor->aReadExecute();
        QCOMPARE(m_f->prompt().shown.size(), 1);
        QVERIFY2(m_f->prompt().shown.at(0).text.contains(QStringLiteral("Носитель сломан")),
                 qPrintable(m_f->prompt().shown.at(0).text));
        QCOMPARE(m_f->prompt().shown.at(0).icon, QMessageBox::Critical);
        QCOMPARE(diskValue(2001, "FFILES").toInt(), 7);
        QCOMPARE(diskValue(2001, "FUNIQUE").toString(), Serial);
        QCOMPARE(diskValue(2001, "FFULLSIZE").toDouble(), double(VolumeSize));
        QCOMPARE(paths(2001), QStringList {"/d"});
        QCOMPARE(editor->tvDisk->topLevelItemCount(), 0);
        QVERIFY(editor->tvDisk->isEnabled());
        QVERIFY(editor->aRead->isEnabled());
        QVERIFY(!editor->readWatch().progress());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    // A drive given as a link (Debian's /media/cdrom) or a folder under one is read through
    // the link; the root entry and the progress keep the drive as the user chose it.
    void linkedDrive_data()
    {
        QTest::addColumn<QString>("under"); // the folder read below the link; empty: the link
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("files");
        QTest::newRow("link to the volume") << QString() << SmallVolumePaths << 5;
        QTest::newRow("folder under a link")
            << QStringLiteral("dir1") << QStringList {"/a.txt", "/sub", "/sub/b.txt"} << 2;
    }
    void linkedDrive()
    {
        QFETCH(QString, under);
        QFETCH(QStringList, entries);
        QFETCH(int, files);
        QVERIFY(start());
        QVERIFY(buildSmallVolume(QFile::encodeName(m_drive.path())));
        QTemporaryDir media;
        const QString link = media.filePath(QStringLiteral("cdrom"));
        QVERIFY(QFile::link(m_drive.path(), link));
        const QString drive = under.isEmpty() ? link : link + QLatin1Char('/') + under;
        m_volumes->volumes.insert(drive, {QStringLiteral("MyDisc"), Serial, VolumeSize});
        auto editor = editorOn(2001);
        editor->aReadExecute(); // the contents to replace
        editor->eDriveCD->setDrive(drive);
        QCOMPARE(editor->eDriveCD->drive(), drive);
        QString shownPath;
        connect(&editor->reader(), &DiskReader::entryWritten, editor.get(), [&] {
            TfProgress *progress = editor->readWatch().progress();
            progress->flush();
            shownPath = progress->lRead->text();
        });
        m_f->prompt().answers = {QMessageBox::Yes};
        editor->aReadExecute();
        QCOMPARE(m_f->prompt().shown.size(), 1); // the question to replace, no error
        QCOMPARE(rootTexts(2001), QStringList {drive + QStringLiteral(": MYDISC, ID=001A2B3C")});
        QCOMPARE(paths(2001), entries);
        QCOMPARE(diskValue(2001, "FFILES").toInt(), files);
        QVERIFY2(shownPath.startsWith(drive + QLatin1Char('/')), qPrintable(shownPath));
    }

    // A start folder that cannot be read is an error found before anything changes: the disk
    // keeps its record and its contents, also when they were to be replaced.
    void failedStartChangesNothing_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("reason"); // in the error's text besides the path
        auto system = [](int error) { return QString::fromLocal8Bit(std::strerror(error)); };
        QTest::newRow("folder gone") << QStringLiteral("gone") << system(ENOENT);
        QTest::newRow("a file in its place") << QStringLiteral("file") << system(ENOTDIR);
        QTest::newRow("link to nothing") << QStringLiteral("dangling") << system(ENOENT);
        QTest::newRow("root entry longer than the column")
            << QStringLiteral("long") << QStringLiteral("1024");
        // Root reads any folder; the other rows do not depend on permissions.
        if (::geteuid() != 0)
            QTest::newRow("no permission") << QStringLiteral("locked") << system(EACCES);
    }
    void failedStartChangesNothing()
    {
        QFETCH(QString, failure);
        QFETCH(QString, reason);
        QVERIFY(start());
        QVERIFY(buildSmallVolume(QFile::encodeName(m_drive.path())));
        auto editor = editorOn(2001);
        editor->aReadExecute();
        const QStringList before = stored(2001);
        QCOMPARE(before.size(), 11);

        QTemporaryDir media;
        QString drive = media.filePath(QStringLiteral("drive"));
        if (failure == QLatin1String("long")) {
            for (int level = 0; level < 5; ++level)
                drive += QLatin1Char('/') + QString(200, QLatin1Char('x'));
        }
        QVERIFY(QDir().mkpath(drive));
        if (failure == QLatin1String("dangling")) {
            const QString target = drive;
            drive = media.filePath(QStringLiteral("cdrom"));
            QVERIFY(QFile::link(target, drive));
        }
        m_volumes->volumes.insert(drive, {QStringLiteral("Other"), QStringLiteral("0BADF00D"), 1});
        editor->eDriveCD->setDrive(drive);
        QCOMPARE(editor->eDriveCD->drive(), drive);
        // What happens to a drive between choosing it and reading it.
        if (failure == QLatin1String("gone") || failure == QLatin1String("dangling"))
            QVERIFY(QDir(media.filePath(QStringLiteral("drive"))).removeRecursively());
        if (failure == QLatin1String("file")) {
            QVERIFY(QDir().rmdir(drive));
            QVERIFY(writeFile(QFile::encodeName(drive), "not a folder"));
        }
        if (failure == QLatin1String("locked"))
            QCOMPARE(::chmod(QFile::encodeName(drive).constData(), 0), 0);
        const auto unlock
            = qScopeGuard([&] { ::chmod(QFile::encodeName(drive).constData(), 0755); });

        m_f->prompt().answers = {QMessageBox::Yes}; // replace
        editor->aReadExecute();
        QCOMPARE(m_f->prompt().shown.size(), 2);
        const RecordingPrompt::Shown &error = m_f->prompt().shown.at(1);
        QCOMPARE(error.icon, QMessageBox::Critical);
        QCOMPARE(error.caption, QStringLiteral("Kodra"));
        QVERIFY2(error.text.contains(drive) && error.text.contains(reason), qPrintable(error.text));
        QCOMPARE(stored(2001), before);
        QCOMPARE(data().dtDisk().state(), QueryDataSet::State::Browse);
        QCOMPARE(editor->tvDisk->topLevelItemCount(), 1);
        QVERIFY(editor->aRead->isEnabled());
        QVERIFY(!editor->readWatch().progress());
    }

    // Folders and entries that cannot be read are counted and named when the read ends;
    // what was read stays.
    void incompleteReadIsReported_data()
    {
        QTest::addColumn<QString>("faulty"); // folder below the drive whose listing fails; "."
        QTest::addColumn<int>("faultAfter"); // entries it gives before that, -1: no fault
        QTest::addColumn<int>("mode"); // given to the folder "scratched", -1: left alone
        QTest::addColumn<int>("files");
        QTest::addColumn<QString>("message"); // empty: none

        QTest::newRow("a listing breaks off")
            << QStringLiteral("scratched") << 2 << -1 << 3 << incompleteText({foldersPart(1)});
        QTest::newRow("the top folder breaks off at once")
            << QStringLiteral(".") << 0 << -1 << 0 << incompleteText({foldersPart(1)});
        QTest::newRow("two folders break off")
            << QStringLiteral("*") << 2 << -1 << 3 << incompleteText({foldersPart(2)});
        // Real permissions where they hold: root reads everything, and nothing is missed.
        const bool root = ::geteuid() == 0;
        QTest::newRow("a folder that cannot be opened")
            << QString() << -1 << 0000 << (root ? 4 : 1)
            << (root ? QString() : incompleteText({foldersPart(1)}));
        QTest::newRow("entries that cannot be looked at")
            << QString() << -1 << 0444 << 4
            << (root ? QString() : incompleteText({entriesPart(3)}));
        QTest::newRow("nothing missed") << QString() << -1 << -1 << 4 << QString();
    }
    void incompleteReadIsReported()
    {
        QFETCH(QString, faulty);
        QFETCH(int, faultAfter);
        QFETCH(int, mode);
        QFETCH(int, files);
        QFETCH(QString, message);
        QVERIFY(start());
        const QByteArray root = QFile::encodeName(m_drive.path());
        QVERIFY(::mkdir(joined(root, "scratched").constData(), 0755) == 0);
        for (const char *name : {"scratched/f1", "scratched/f2", "scratched/f3", "ok.txt"})
            QVERIFY(writeFile(joined(root, name), name));
        if (mode >= 0)
            QCOMPARE(::chmod(joined(root, "scratched").constData(), mode_t(mode)), 0);
        const auto unlock
            = qScopeGuard([&] { ::chmod(joined(root, "scratched").constData(), 0755); });
        if (faultAfter >= 0) {
            const QString folder = QDir::cleanPath(m_drive.path() + QLatin1Char('/') + faulty);
            const bool every = faulty == QLatin1String("*");
            DirectoryWalker::setListingFault([=](const QString &path, qint64 listed) {
                return (every || path == folder) && listed >= faultAfter ? EIO : 0;
            });
        }
        auto editor = editorOn(2001);
        editor->aReadExecute();
        QCOMPARE(diskValue(2001, "FFILES").toInt(), files);
        QCOMPARE(editor->tvDisk->topLevelItemCount(), 1);
        if (message.isEmpty()) {
            QVERIFY2(m_f->prompt().shown.isEmpty(), qPrintable(m_f->prompt().shown.value(0).text));
            return;
        }
        QCOMPARE(m_f->prompt().shown.size(), 1);
        const RecordingPrompt::Shown &shown = m_f->prompt().shown.at(0);
        QCOMPARE(shown.text, message);
        QCOMPARE(shown.caption, QStringLiteral("Kodra"));
        QCOMPARE(shown.icon, QMessageBox::Warning);
        QCOMPARE(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    // A real damaged volume: an ext4 image with a folder block and an inode broken, so that
    // listing the folder and looking at the file fail as on a scratched disc (as root only).
    void damagedVolume()
    {
        if (::geteuid() != 0)
            QSKIP("mounting an image needs root");
        const QString debugfs = QStandardPaths::findExecutable(
            QStringLiteral("debugfs"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
        if (debugfs.isEmpty())
            QSKIP("debugfs is not installed");
        QTemporaryDir work;
        const QString image = work.filePath(QStringLiteral("volume.img"));
        const QString mountPoint = work.filePath(QStringLiteral("mnt"));
        QVERIFY(QDir().mkpath(mountPoint));
        {
            QFile file(image);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(8 * 1024 * 1024));
        }
        // Small blocks and no journal: the folder spans several blocks, each name is in the
        // image once.
        if (QProcess::execute(QStringLiteral("mkfs.ext4"),
                              {QStringLiteral("-q"), QStringLiteral("-F"), QStringLiteral("-b"),
                               QStringLiteral("1024"), QStringLiteral("-O"),
                               QStringLiteral("^has_journal,metadata_csum"), image})
            != 0)
            QSKIP("mkfs.ext4 is not available");
        if (QProcess::execute(QStringLiteral("mount"),
                              {QStringLiteral("-o"), QStringLiteral("loop"), image, mountPoint})
            != 0)
            QSKIP("this machine does not let the test mount a loop device");
        bool mounted = true;
        const auto unmount = qScopeGuard([&] {
            if (mounted)
                QProcess::execute(QStringLiteral("umount"), {mountPoint});
        });
        const QByteArray root = QFile::encodeName(mountPoint);
        QVERIFY(::mkdir(joined(root, "scratched").constData(), 0755) == 0);
        for (int i = 0; i < 200; ++i)
            QVERIFY(writeFile(joined(root, "scratched/name" + QByteArray::number(1000 + i)), "s"));
        QVERIFY(::mkdir(joined(root, "whole").constData(), 0755) == 0);
        QVERIFY(writeFile(joined(root, "whole/kept.txt"), "kept"));
        QVERIFY(writeFile(joined(root, "broken.bin"), "broken"));
        mounted = false;
        QCOMPARE(QProcess::execute(QStringLiteral("umount"), {mountPoint}), 0);

        QFile file(image);
        QVERIFY(file.open(QIODevice::ReadWrite));
        // A block of the folder's names, and the inode of the file (checksums no longer match).
        const qint64 nameAt = file.readAll().indexOf("name1150");
        QVERIFY(nameAt > 0);
        QProcess imap;
        imap.start(debugfs, {QStringLiteral("-R"), QStringLiteral("imap /broken.bin"), image});
        QVERIFY(imap.waitForFinished(30000));
        const QRegularExpressionMatch where
            = QRegularExpression(QStringLiteral(R"(located at block (\d+), offset 0x([0-9a-f]+))"))
                  .match(QString::fromLatin1(imap.readAllStandardOutput()));
        QVERIFY2(where.hasMatch(), "debugfs did not locate the inode");
        const qint64 inodeAt
            = where.captured(1).toLongLong() * 1024 + where.captured(2).toLongLong(nullptr, 16);
        for (const qint64 at : {nameAt - nameAt % 1024 + 100, inodeAt + 8}) {
            QVERIFY(file.seek(at));
            QCOMPARE(file.write(QByteArray(8, '\x5a')), qint64(8));
        }
        file.close();
        mounted = QProcess::execute(
                      QStringLiteral("mount"),
                      {QStringLiteral("-o"), QStringLiteral("loop,ro"), image, mountPoint})
            == 0;
        QVERIFY2(mounted, "the damaged image does not mount");

        QVERIFY(start());
        m_volumes->volumes.insert(mountPoint, {QStringLiteral("Scratched"), Serial, VolumeSize});
        QVERIFY(m_f->locateDisk(2001));
        auto editor = m_f->openEditor();
        editor->eDriveCD->setDrive(mountPoint);
        editor->aReadExecute();
        QCOMPARE(m_f->prompt().shown.size(), 1);
        QCOMPARE(m_f->prompt().shown.at(0).text, incompleteText({foldersPart(1), entriesPart(1)}));
        const QStringList read = paths(2001);
        QVERIFY(read.contains(QStringLiteral("/whole/kept.txt")));
        QVERIFY(read.contains(QStringLiteral("/broken.bin")));
        QVERIFY(read.contains(QStringLiteral("/scratched")));
        QVERIFY(read.filter(QStringLiteral("/scratched/")).size() < 200);
        editor.reset();
    }

    // While a read runs every command of the editor waits: a click on the editor and F7 or
    // Ctrl+O do nothing. Afterwards, also after a failed read, they work again.
    void editorCommandsWaitForTheRead_data()
    {
        QTest::addColumn<bool>("fails");
        QTest::newRow("read ends") << false;
        QTest::newRow("read fails") << true;
    }
    void editorCommandsWaitForTheRead()
    {
        QFETCH(bool, fails);
        QStringList rows;
        if (fails)
            rows << QStringLiteral("create exception E_BROKEN 'Носитель сломан'")
                 << QStringLiteral("create trigger TCONTENT_BROKEN for TCONTENT before insert as "
                                   "begin if (new.FCONTENT = 'broken.txt') then exception "
                                   "E_BROKEN; end");
        QVERIFY(start(rows));
        const QByteArray root = QFile::encodeName(m_drive.path());
        QVERIFY(::mkdir(joined(root, "d").constData(), 0755) == 0);
        QVERIFY(writeFile(joined(root, "d/broken.txt"), "x"));
        for (const char *name : {"1.txt", "2.txt", "3.txt"})
            QVERIFY(writeFile(joined(root, name), name));
        auto editor = editorOn(2001);
        const QList<QAction *> commands {editor->aFindFile, editor->aRead, editor->aExit,
                                         editor->aOK};
        QList<bool> enabledDuring;
        bool openDuring = false;
        qsizetype askedDuring = -1;
        connect(&editor->reader(), &DiskReader::entryWritten, editor.get(), [&](qint64 entries) {
            if (entries != 1)
                return;
            QVERIFY(MainWindowFixture::activate(editor.get()));
            QTest::keyClick(editor.get(), Qt::Key_F7);
            QTest::keyClick(editor.get(), Qt::Key_O, Qt::ControlModifier);
            for (const QAction *command : commands)
                enabledDuring << command->isEnabled();
            askedDuring = m_f->prompt().asked.size();
            openDuring = editor->isVisible() && editor->result() == QDialog::Rejected;
        });
        editor->aReadExecute();
        QCOMPARE(enabledDuring, QList<bool>(commands.size(), false));
        QCOMPARE(askedDuring, 0);
        QVERIFY(openDuring);
        QCOMPARE(m_f->prompt().shown.size(), fails ? 1 : 0);
        for (const QAction *command : commands)
            QVERIFY2(command->isEnabled(), qPrintable(command->objectName()));
        QVERIFY(MainWindowFixture::activate(editor.get()));
        QTest::keyClick(editor.get(), Qt::Key_F7);
        QCOMPARE(m_f->prompt().asked.size(), 1);
    }

    // An older catalogue keeps names in WIN1251: what that cannot hold is stored as "?", the
    // read goes on and says how many names were changed.
    void win1251Catalogue()
    {
        QTemporaryDir work;
        QString error;
        const QString backup = win1251Template(work.path(), &error);
        QVERIFY2(!backup.isEmpty(), qPrintable(error));
        QVERIFY(start({}, backup));
        const QByteArray root = QFile::encodeName(m_drive.path());
        QVERIFY(writeFile(joined(root, "Ёлка №1 «зима» — €.txt"), "1"));
        QVERIFY(writeFile(joined(root, "Café.txt"), "2"));
        QVERIFY(writeFile(joined(root, "日本語.txt"), "3"));
        QVERIFY(writeFile(joined(root, "😀 smile.txt"), "4"));
        QVERIFY(::mkdir(joined(root, "Müller").constData(), 0755) == 0);
        QVERIFY(writeFile(joined(root, "Müller/plain.txt"), "5"));
        auto editor = editorOn(2001);
        editor->aReadExecute();
        QCOMPARE(m_f->prompt().shown.size(), 1);
        QCOMPARE(m_f->prompt().shown.at(0).text, incompleteText({namesPart(4)}));
        QCOMPARE(paths(2001),
                 QStringList({"/? smile.txt", "/???.txt", "/Caf?.txt", "/M?ller",
                              "/M?ller/plain.txt", "/Ёлка №1 «зима» — €.txt"}));
        QCOMPARE(diskValue(2001, "FFILES").toInt(), 5);
        // One byte a letter: the column is WIN1251 indeed.
        QCOMPARE(catalogue()
                     .scalar(QStringLiteral("select octet_length(FCONTENT) from TCONTENT where "
                                            "FCONTENT starting with 'Ёлка'"))
                     .toInt(),
                 22);
        QCOMPARE(editor->tvDisk->topLevelItemCount(), 1);
    }

    void summaryText_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<qint64>("files");
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<qint64>("capacity");
        QTest::addColumn<QString>("text");
        QTest::newRow("English")
            << QLocale(QLocale::English, QLocale::UnitedStates) << qint64(1234)
            << qint64(3221225472) << qint64(4700000000)
            << QStringLiteral("Всего найдено 1234 файлов, объемом   3,221,225,472 байт из "
                              "  4,700,000,000 байт");
        QTest::newRow("Russian") << QLocale(QLocale::Russian, QLocale::Russia) << qint64(1)
                                 << qint64(999) << qint64(1000)
                                 << QStringLiteral("Всего найдено 1 файлов, объемом ")
                + QString(12, QLatin1Char(' ')) + QStringLiteral("999 байт из ")
                + QString(10, QLatin1Char(' ')) + QStringLiteral("1\u00A0000 байт");
        QTest::newRow("nothing yet") << QLocale::c() << qint64(0) << qint64(0) << qint64(0)
                                     << QStringLiteral("Всего найдено 0 файлов, объемом      "
                                                       "         0 байт из               0 байт");
    }
    void summaryText()
    {
        QFETCH(QLocale, locale);
        QFETCH(qint64, files);
        QFETCH(qint64, bytes);
        QFETCH(qint64, capacity);
        QFETCH(QString, text);
        const QLocale previous;
        QLocale::setDefault(locale);
        const QString made = TfProgress::summaryText(files, bytes, capacity);
        QLocale::setDefault(previous);
        QCOMPARE(made, text);
    }

    void barPosition_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<qint64>("capacity");
        QTest::addColumn<int>("position");
        QTest::newRow("full") << qint64(1000) << qint64(1000) << 255;
        QTest::newRow("half of 6 GiB") << qint64(3221225472) << qint64(6442450944) << 127;
        QTest::newRow("no capacity") << qint64(500) << qint64(0) << 0;
        QTest::newRow("negative capacity") << qint64(500) << qint64(-1) << 0;
        QTest::newRow("terabytes") << qint64(4) * 1024 * 1024 * 1024 * 1024
                                   << qint64(8) * 1024 * 1024 * 1024 * 1024 << 127;
    }
    void barPosition()
    {
        QFETCH(qint64, bytes);
        QFETCH(qint64, capacity);
        QFETCH(int, position);
        QCOMPARE(TfProgress::barPosition(bytes, capacity), position);
    }

    // Awkward entries are catalogued as they are and found again by the search and the tree.
    void awkwardEntries_data()
    {
        QTest::addColumn<Fixture>("fixture");
        QTest::addColumn<QString>("path"); // of the entry looked for, below the root
        QTest::addColumn<int>("type");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("entries"); // with the root entry

        const bool root = ::geteuid() == 0; // root lists a folder of mode 000 all the same
        QTest::newRow("cyrillic") << Fixture::Cyrillic << QStringLiteral("/Привет мир.txt") << 0
                                  << qint64(5) << 1 << 2;
        QTest::newRow("accented") << Fixture::Accented << QStringLiteral("/Café déjà vu.txt") << 0
                                  << qint64(3) << 1 << 2;
        QTest::newRow("cjk") << Fixture::Cjk << QStringLiteral("/日本語のファイル.txt") << 0
                             << qint64(4) << 1 << 2;
        QTest::newRow("emoji") << Fixture::Emoji << QStringLiteral("/😀🎉.txt") << 0 << qint64(2) << 1
                               << 2;
        QTest::newRow("invalid utf-8")
            << Fixture::InvalidUtf8 << QStringLiteral("/bad\\xFF\\xFE-\\xC3(.txt") << 0 << qint64(1)
            << 1 << 2;
        QTest::newRow("255-byte name")
            << Fixture::LongName << QLatin1Char('/') + QString(251, QLatin1Char('n')) + ".txt" << 0
            << qint64(7) << 1 << 2;
        QString deep;
        for (int i = 0; i < DeepLevels; ++i)
            deep += QStringLiteral("/deeper-folder");
        QTest::newRow("deeper than 100") << Fixture::Deep << deep + QStringLiteral("/leaf.txt") << 0
                                         << qint64(4) << 1 << DeepLevels + 2;
        QTest::newRow("symlink loop")
            << Fixture::SymlinkLoop << QStringLiteral("/self") << 0 << qint64(0) << 3 << 4;
        QTest::newRow("unreadable folder") << Fixture::Unreadable << QStringLiteral("/locked") << 1
                                           << qint64(0) << (root ? 1 : 0) << (root ? 3 : 2);
        QTest::newRow("fifo") << Fixture::Fifo << QStringLiteral("/pipe") << 0 << qint64(0) << 1
                              << 2;
        QTest::newRow("sparse 5 GiB")
            << Fixture::Sparse << QStringLiteral("/big.bin") << 0 << SparseSize << 1 << 2;
        QTest::newRow("hidden folder")
            << Fixture::HiddenFolder << QStringLiteral("/.config/.rc") << 0 << qint64(2) << 1 << 3;
        QTest::newRow("empty folder")
            << Fixture::Empty << QStringLiteral("/empty") << 1 << qint64(0) << 0 << 2;
    }
    void awkwardEntries()
    {
        QFETCH(Fixture, fixture);
        QFETCH(QString, path);
        QFETCH(int, type);
        QFETCH(qint64, size);
        QFETCH(int, files);
        QFETCH(int, entries);
        QVERIFY(start());
        QVERIFY(build(fixture, QFile::encodeName(m_drive.path())));
        auto editor = editorOn(2001);
        editor->aReadExecute();
        // A folder left unread is said when the read ends.
        if (fixture == Fixture::Unreadable && ::geteuid() != 0) {
            QCOMPARE(m_f->prompt().shown.size(), 1);
            QCOMPARE(m_f->prompt().shown.at(0).text, incompleteText({foldersPart(1)}));
            m_f->prompt().shown.clear();
        }
        QVERIFY2(m_f->prompt().shown.isEmpty(), qPrintable(m_f->prompt().shown.value(0).text));

        QHash<QString, QPair<int, qint64>> details;
        const QStringList stored = paths(2001, &details);
        QVERIFY2(stored.contains(path), qPrintable(stored.join(QLatin1Char('\n'))));
        QCOMPARE(details.value(path), qMakePair(type, size));
        QCOMPARE(entryCount(2001), entries);
        QCOMPARE(diskValue(2001, "FFILES").toInt(), files);

        // The search opens the tree down to it.
        const QString name = path.section(QLatin1Char('/'), -1);
        m_f->prompt().inputs = {name};
        editor->aFindFileExecute();
        QVERIFY2(m_f->prompt().shown.isEmpty(), qPrintable(m_f->prompt().shown.value(0).text));
        const QTreeWidgetItem *found = editor->tvDisk->currentItem();
        QVERIFY(found);
        QVERIFY(found->text(0).startsWith(name + QStringLiteral("   ")));
        int depth = 0;
        for (const QTreeWidgetItem *up = found->parent(); up; up = up->parent())
            ++depth;
        QCOMPARE(depth, int(path.count(QLatin1Char('/'))));
    }

    // A real volume: an ext4 image with a label and UUID, loop-mounted (as root only).
    void loopMountedVolume()
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
            QVERIFY(file.resize(16 * 1024 * 1024));
        }
        const QString uuid = QStringLiteral("0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4d");
        if (QProcess::execute(QStringLiteral("mkfs.ext4"),
                              {QStringLiteral("-q"), QStringLiteral("-F"), QStringLiteral("-L"),
                               QStringLiteral("Kodra Test"), QStringLiteral("-U"), uuid, image})
            != 0)
            QSKIP("mkfs.ext4 is not available");
        if (QProcess::execute(QStringLiteral("mount"),
                              {QStringLiteral("-o"), QStringLiteral("loop"), image, mountPoint})
            != 0)
            QSKIP("this machine does not let the test mount a loop device");
        const auto unmount
            = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {mountPoint}); });
        const QByteArray root = QFile::encodeName(mountPoint);
        QVERIFY(::mkdir(joined(root, "Фото").constData(), 0755) == 0);
        QVERIFY(writeFile(joined(root, "Фото/снимок.jpg"), "jpeg"));
        ::sync();

        QVERIFY(start());
        m_volumes.reset(); // the real volume source
        DrivePicker picker;
        QVERIFY2(picker.findData(mountPoint) >= 0, "the picker does not list the mounted image");
        QVERIFY(m_f->locateDisk(2001));
        auto editor = m_f->openEditor();
        editor->eDriveCD->setDrive(mountPoint);
        QCOMPARE(editor->eDriveCD->drive(), mountPoint);
        editor->aReadExecute();
        QVERIFY2(m_f->prompt().shown.isEmpty(), qPrintable(m_f->prompt().shown.value(0).text));
        QCOMPARE(rootTexts(2001),
                 QStringList {mountPoint + QStringLiteral(": KODRA TEST, ID=0A1B2C3D")});
        QCOMPARE(diskValue(2001, "FLABEL").toString(), QStringLiteral("KODRA TEST"));
        QCOMPARE(diskValue(2001, "FUNIQUE").toString(), QStringLiteral("0A1B2C3D"));
        QVERIFY(diskValue(2001, "FFULLSIZE").toDouble() > 8 * 1024 * 1024);
        QVERIFY(paths(2001).contains(QStringLiteral("/Фото/снимок.jpg")));
        editor.reset();
    }
};

QTEST_MAIN(TestDiskRead)
#include "tst_diskread.moc"
