#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString MainSection = QStringLiteral("Software\\Brenk\\Kodra");

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

int fileMode(const QString &path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void defaultPathIsPerUserIni();
    void namesIgnoreCase_data();
    void namesIgnoreCase();
    void integers_data();
    void integers();
    void integerText_data();
    void integerText();
    void bools_data();
    void bools();
    void valuesRoundTrip_data();
    void valuesRoundTrip();
    void namesRoundTrip_data();
    void namesRoundTrip();
    void readingCreatesNothing();
    void writeReachesDiskAtOnce();
    void deferredWritesWaitForFlush();
    void storesOnOneFileKeepEachOthersValues();
    void fileModeIsOwnerOnly_data();
    void fileModeIsOwnerOnly();
    void unusableFileReadsEmpty_data();
    void unusableFileReadsEmpty();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestSettingsStore::initTestCase()
{
    // Keeps the user's own settings out of reach.
    QStandardPaths::setTestModeEnabled(true);
}

void TestSettingsStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath(QStringLiteral("Brenk/Kodra.ini"));
}

void TestSettingsStore::defaultPathIsPerUserIni()
{
    const QFileInfo path(SettingsStore::defaultPath());
    QCOMPARE(path.fileName(), QStringLiteral("Kodra.ini"));
    QCOMPARE(path.dir().dirName(), QStringLiteral("Brenk"));
    QCOMPARE(QFileInfo(path.dir().absolutePath()).absolutePath(),
             QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    QCOMPARE(SettingsStore().fileName(), SettingsStore::defaultPath());
}

void TestSettingsStore::namesIgnoreCase_data()
{
    QTest::addColumn<QString>("writeSection");
    QTest::addColumn<QString>("writeName");
    QTest::addColumn<QString>("readSection");
    QTest::addColumn<QString>("readName");

    QTest::newRow("database path")
        << MainSection << "DataBaseName" << MainSection << "DatabaseName";
    QTest::newRow("backup path") << MainSection << "DataBaseBackup" << MainSection
                                 << "DatabaseBackup";
    QTest::newRow("section path") << "Software\\Brenk\\Kodra\\EdtDisk"
                                  << "pContent_Height"
                                  << "SOFTWARE\\brenk\\KODRA\\edtdisk"
                                  << "PCONTENT_HEIGHT";
    QTest::newRow("cyrillic") << "Software\\Brenk\\Кодра"
                              << "ИмяБазы"
                              << "software\\BRENK\\кОДРА"
                              << "имяБАЗЫ";
}

void TestSettingsStore::namesIgnoreCase()
{
    QFETCH(QString, writeSection);
    QFETCH(QString, writeName);
    QFETCH(QString, readSection);
    QFETCH(QString, readName);

    SettingsStore store(m_path);
    store.writeString(writeSection, writeName, QStringLiteral("first"));
    QCOMPARE(store.contains(readSection, readName), true);
    QCOMPARE(store.readString(readSection, readName, QString()), QStringLiteral("first"));
    QCOMPARE(SettingsStore(m_path).readString(readSection, readName, QString()),
             QStringLiteral("first"));

    // Writing under the other spelling replaces the value; the first spelling stays.
    store.writeString(readSection, readName, QStringLiteral("second"));
    SettingsStore reopened(m_path);
    QCOMPARE(reopened.readString(writeSection, writeName, QString()), QStringLiteral("second"));
    const QString text = QString::fromUtf8(fileBytes(m_path));
    QCOMPARE(text.count(QLatin1Char('=')), 1);
    QCOMPARE(text.contains(QLatin1Char('[') + writeSection + QLatin1Char(']')), true);
    QCOMPARE(text.contains(writeName + QLatin1String("=second")), true);
}

void TestSettingsStore::integers_data()
{
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");

    const int def = 42;
    QTest::newRow("positive") << true << "17" << 17;
    QTest::newRow("negative") << true << "-5" << -5;
    QTest::newRow("zero") << true << "0" << 0;
    QTest::newRow("largest") << true << QString::number(INT_MAX) << INT_MAX;
    QTest::newRow("smallest") << true << QString::number(INT_MIN) << INT_MIN;
    QTest::newRow("missing") << false << QString() << def;
    QTest::newRow("empty") << true << "" << def;
    QTest::newRow("letters") << true << "abc" << def;
    QTest::newRow("trailing letters") << true << "12abc" << def;
    QTest::newRow("fraction") << true << "1.5" << def;
    QTest::newRow("overflow") << true << "2147483648" << def;
    QTest::newRow("hexadecimal") << true << "0x1F" << def;
    QTest::newRow("four numbers") << true << "1,2,3,4" << def;
}

void TestSettingsStore::integers()
{
    QFETCH(bool, stored);
    QFETCH(QString, text);
    QFETCH(int, expected);

    SettingsStore store(m_path);
    store.writeString(MainSection, QStringLiteral("Other"), QStringLiteral("7"));
    if (stored)
        store.writeString(MainSection, QStringLiteral("FolderID"), text);
    QCOMPARE(store.readInteger(MainSection, QStringLiteral("FolderID"), 42), expected);
    QCOMPARE(SettingsStore(m_path).readInteger(MainSection, QStringLiteral("folderid"), 42),
             expected);
}

void TestSettingsStore::integerText_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("negative") << -12 << "-12";
    QTest::newRow("zero") << 0 << "0";
    QTest::newRow("positive") << 177 << "177";
    QTest::newRow("smallest") << INT_MIN << "-2147483648";
}

void TestSettingsStore::integerText()
{
    QFETCH(int, value);
    QFETCH(QString, text);

    SettingsStore store(m_path);
    store.writeInteger(MainSection, QStringLiteral("DiskID"), value);
    SettingsStore reopened(m_path);
    QCOMPARE(reopened.readString(MainSection, QStringLiteral("DiskID"), QString()), text);
    QCOMPARE(reopened.readInteger(MainSection, QStringLiteral("DiskID"), 1), value);
}

void TestSettingsStore::bools_data()
{
    QTest::addColumn<bool>("write");
    QTest::addColumn<bool>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("def");
    QTest::addColumn<bool>("expected");

    QTest::newRow("true written") << true << true << "1" << false << true;
    QTest::newRow("false written") << true << false << "0" << true << false;
    QTest::newRow("text 1") << false << false << "1" << false << true;
    QTest::newRow("text 0") << false << false << "0" << true << false;
    QTest::newRow("other number") << false << false << "5" << false << true;
    QTest::newRow("not a number") << false << false << "yes" << true << true;
    QTest::newRow("missing, default true") << false << false << QString() << true << true;
    QTest::newRow("missing, default false") << false << false << QString() << false << false;
}

void TestSettingsStore::bools()
{
    QFETCH(bool, write);
    QFETCH(bool, value);
    QFETCH(QString, text);
    QFETCH(bool, def);
    QFETCH(bool, expected);

    const QString name = QStringLiteral("Visible");
    SettingsStore store(m_path);
    store.writeString(MainSection, QStringLiteral("Other"), QStringLiteral("x"));
    if (write)
        store.writeBool(MainSection, name, value);
    else if (!text.isNull())
        store.writeString(MainSection, name, text);
    SettingsStore reopened(m_path);
    QCOMPARE(reopened.readBool(MainSection, name, def), expected);
    QCOMPARE(reopened.readString(MainSection, name, QString()), text);
}

void TestSettingsStore::valuesRoundTrip_data()
{
    QTest::addColumn<QString>("value");

    QTest::newRow("cyrillic") << QStringLiteral("База данных компакт-дисков");
    QTest::newRow("equals signs") << QStringLiteral("USER_NAME=KODRA=x==");
    QTest::newRow("newline") << QStringLiteral("line one\nline two\n");
    QTest::newRow("carriage returns") << QStringLiteral("one\r\ntwo\r");
    QTest::newRow("quoted path") << QStringLiteral("\"C:\\Program Files\\Kodra\\kodra_my.gdb\"");
    QTest::newRow("backslashes") << QStringLiteral("\\\\server\\share\\");
    QTest::newRow("escape look-alikes") << QStringLiteral("\\n is not \\r nor \\0");
    QTest::newRow("trailing backslash") << QStringLiteral("ends with \\");
    QTest::newRow("blanks") << QStringLiteral("  padded\t ");
    QTest::newRow("empty") << QString();
    QTest::newRow("comment look-alike") << QStringLiteral("; not a comment");
    QTest::newRow("section look-alike") << QStringLiteral("[Software\\Brenk]");
    QTest::newRow("nul") << QString::fromUtf16(u"a\0b", 3);
    QTest::newRow("non-breaking spaces") << QStringLiteral("\u00a0x\u00a0");
    QTest::newRow("long") << QString(20000, QChar(0x0416));
}

void TestSettingsStore::valuesRoundTrip()
{
    QFETCH(QString, value);

    SettingsStore store(m_path);
    store.writeString(MainSection, QStringLiteral("UserPass"), value);
    store.writeString(MainSection, QStringLiteral("Next"), QStringLiteral("after"));
    QCOMPARE(store.readString(MainSection, QStringLiteral("UserPass"), QStringLiteral("-")), value);

    SettingsStore reopened(m_path);
    QCOMPARE(reopened.readString(MainSection, QStringLiteral("UserPass"), QStringLiteral("-")),
             value);
    QCOMPARE(reopened.readString(MainSection, QStringLiteral("Next"), QString()),
             QStringLiteral("after"));
}

void TestSettingsStore::namesRoundTrip_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("name");

    QTest::newRow("equals in name") << MainSection << "a=b";
    QTest::newRow("newline in name") << MainSection << "two\nlines";
    QTest::newRow("blanks around name") << MainSection << "  padded  ";
    QTest::newRow("comment-like name") << MainSection << ";name";
    QTest::newRow("hash name") << MainSection << "#name";
    QTest::newRow("bracketed name") << MainSection << "[name]";
    QTest::newRow("percent in name") << MainSection << "100%41";
    QTest::newRow("cyrillic name") << MainSection << "Путь к базе";
    QTest::newRow("bracket in section") << "Soft]ware\\[Brenk]"
                                        << "Name";
    QTest::newRow("newline in section") << "Software\n[Brenk]"
                                        << "Name";
    QTest::newRow("non-breaking space") << "\u00a0Section\u00a0"
                                        << "\u00a0;Name\u00a0";
}

void TestSettingsStore::namesRoundTrip()
{
    QFETCH(QString, section);
    QFETCH(QString, name);

    SettingsStore store(m_path);
    store.writeString(section, name, QStringLiteral("value"));
    store.writeString(MainSection, QStringLiteral("Plain"), QStringLiteral("plain"));

    SettingsStore reopened(m_path);
    QCOMPARE(reopened.readString(section, name, QString()), QStringLiteral("value"));
    QCOMPARE(reopened.readString(MainSection, QStringLiteral("Plain"), QString()),
             QStringLiteral("plain"));
}

void TestSettingsStore::readingCreatesNothing()
{
    SettingsStore store(m_path);
    QCOMPARE(store.isEmpty(), true);
    QCOMPARE(store.contains(MainSection, QStringLiteral("NormPos")), false);
    QCOMPARE(store.readString(MainSection, QStringLiteral("UserName"), QStringLiteral("KODRA")),
             QStringLiteral("KODRA"));
    QCOMPARE(store.readInteger(MainSection, QStringLiteral("FolderID"), 1), 1);
    QCOMPARE(store.readBool(MainSection, QStringLiteral("Visible"), true), true);
    QCOMPARE(store.lastError(), QString());
    QCOMPARE(QFileInfo::exists(QFileInfo(m_path).absolutePath()), false);

    store.writeString(QStringLiteral("Software\\Brenk\\Kodra\\Give"), QStringLiteral("NormPos"),
                      QStringLiteral("1,2,3,4"));
    QCOMPARE(store.isEmpty(), false);
    QCOMPARE(store.lastError(), QString());
    QCOMPARE(SettingsStore(m_path).isEmpty(), false);
    QCOMPARE(SettingsStore(m_path).contains(MainSection, QStringLiteral("NormPos")), false);
}

void TestSettingsStore::writeReachesDiskAtOnce()
{
    SettingsStore store(m_path);
    store.writeString(MainSection, QStringLiteral("CD"), QStringLiteral("/media/cdrom"));
    store.writeInteger(MainSection, QStringLiteral("FolderID"), 12);
    // The writer is still alive: a program killed now keeps what it wrote.
    SettingsStore other(m_path);
    QCOMPARE(other.readString(MainSection, QStringLiteral("CD"), QString()),
             QStringLiteral("/media/cdrom"));
    QCOMPARE(other.readInteger(MainSection, QStringLiteral("FolderID"), 1), 12);
}

void TestSettingsStore::deferredWritesWaitForFlush()
{
    SettingsStore store(m_path);
    store.setAutoFlush(false);
    store.writeInteger(MainSection, QStringLiteral("FormVersion"), 0);
    QCOMPARE(store.contains(MainSection, QStringLiteral("FormVersion")), true);
    QCOMPARE(SettingsStore(m_path).isEmpty(), true);
    QCOMPARE(store.flush(), true);
    QCOMPARE(SettingsStore(m_path).contains(MainSection, QStringLiteral("FormVersion")), true);

    store.writeInteger(MainSection, QStringLiteral("Flags"), 0);
    store.setAutoFlush(true);
    QCOMPARE(SettingsStore(m_path).contains(MainSection, QStringLiteral("Flags")), true);
}

void TestSettingsStore::storesOnOneFileKeepEachOthersValues()
{
    const QString editor = QStringLiteral("Software\\Brenk\\Kodra\\EdtDisk");
    SettingsStore main(m_path);
    SettingsStore dialog(m_path);
    main.writeString(MainSection, QStringLiteral("UserName"), QStringLiteral("KODRA"));
    dialog.writeInteger(editor, QStringLiteral("pContent_Height"), 120);
    main.writeString(MainSection, QStringLiteral("UserPass"), QStringLiteral("TARLO"));

    SettingsStore reopened(m_path);
    QCOMPARE(reopened.readString(MainSection, QStringLiteral("UserName"), QString()),
             QStringLiteral("KODRA"));
    QCOMPARE(reopened.readInteger(editor, QStringLiteral("pContent_Height"), 0), 120);
    QCOMPARE(reopened.readString(MainSection, QStringLiteral("UserPass"), QString()),
             QStringLiteral("TARLO"));
    QCOMPARE(main.readInteger(editor, QStringLiteral("pContent_Height"), 0), 120);
}

void TestSettingsStore::fileModeIsOwnerOnly_data()
{
    QTest::addColumn<int>("oldMode");

    QTest::newRow("new file") << -1;
    QTest::newRow("readable by all") << 0644;
    QTest::newRow("writable by all") << 0666;
    QTest::newRow("shared with the group") << 0660;
}

void TestSettingsStore::fileModeIsOwnerOnly()
{
    QFETCH(int, oldMode);

    if (oldMode >= 0) {
        QVERIFY(QDir().mkpath(QFileInfo(m_path).absolutePath()));
        QVERIFY(writeBytes(m_path, "[Software\\Brenk\\Kodra]\nUserName=KODRA\n"));
        QCOMPARE(::chmod(QFile::encodeName(m_path).constData(), mode_t(oldMode)), 0);
        QCOMPARE(fileMode(m_path), oldMode);
    }
    SettingsStore store(m_path);
    store.writeString(MainSection, QStringLiteral("UserPass"), QStringLiteral("TARLO"));
    QCOMPARE(store.lastError(), QString());
    QCOMPARE(fileMode(m_path), 0600);
    QCOMPARE(SettingsStore(m_path).readString(MainSection, QStringLiteral("UserName"), QString()),
             oldMode >= 0 ? QStringLiteral("KODRA") : QString());
}

void TestSettingsStore::unusableFileReadsEmpty_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("directory");

    QByteArray binary;
    for (int i = 0; i < 1024; ++i)
        binary += char(i * 7 % 256);
    QTest::newRow("binary") << binary << false;
    QTest::newRow("nul byte") << QByteArray("[Software\\Brenk\\Kodra]\nUserName=a\0b\n", 37)
                              << false;
    QTest::newRow("broken utf-8") << QByteArray("[Software\\Brenk\\Kodra]\nUserName=\xff\xfe\n")
                                  << false;
    QTest::newRow("values outside sections") << QByteArray("UserName=KODRA\nCD=D\n") << false;
    QTest::newRow("lines without values")
        << QByteArray("[Software\\Brenk\\Kodra]\nUserName\n[Other]\n") << false;
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("oversized") << QByteArray("[Software\\Brenk\\Kodra]\n")
            + QByteArray("UserName=KODRA\n").repeated(400000)
                               << false;
    QTest::newRow("folder in its place") << QByteArray() << true;
}

void TestSettingsStore::unusableFileReadsEmpty()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, directory);

    QVERIFY(QDir().mkpath(QFileInfo(m_path).absolutePath()));
    if (directory)
        QVERIFY(QDir().mkpath(m_path));
    else
        QVERIFY(writeBytes(m_path, content));

    SettingsStore store(m_path);
    QCOMPARE(store.isEmpty(), true);
    QCOMPARE(store.contains(MainSection, QStringLiteral("UserName")), false);
    QCOMPARE(store.readString(MainSection, QStringLiteral("UserName"), QStringLiteral("KODRA")),
             QStringLiteral("KODRA"));
    QCOMPARE(store.readInteger(MainSection, QStringLiteral("FolderID"), 1), 1);

    store.writeString(MainSection, QStringLiteral("UserName"), QStringLiteral("SYSDBA"));
    QCOMPARE(store.readString(MainSection, QStringLiteral("UserName"), QString()),
             QStringLiteral("SYSDBA"));
    QCOMPARE(store.lastError().isEmpty(), !directory);
    QCOMPARE(SettingsStore(m_path).readString(MainSection, QStringLiteral("UserName"), QString()),
             directory ? QString() : QStringLiteral("SYSDBA"));
}

void TestSettingsStore::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<bool>("fileSizeLimit");

    QTest::newRow("read-only folder") << false;
    // Stands in for a full disk, and unlike folder modes it also binds root.
    QTest::newRow("no room for the new file") << true;
}

void TestSettingsStore::failedWriteKeepsOldFile()
{
    QFETCH(bool, fileSizeLimit);

    if (!fileSizeLimit && ::geteuid() == 0)
        QSKIP("root writes into read-only folders");

    SettingsStore store(m_path);
    store.writeString(MainSection, QStringLiteral("UserName"), QStringLiteral("KODRA"));
    const QByteArray before = fileBytes(m_path);
    QVERIFY(!before.isEmpty());
    const QByteArray folder = QFile::encodeName(QFileInfo(m_path).absolutePath());

    rlimit oldLimit {};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    auto oldHandler = SIG_DFL;
    if (fileSizeLimit) {
        rlimit limit = oldLimit;
        limit.rlim_cur = 16;
        oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    } else {
        QCOMPARE(::chmod(folder.constData(), 0500), 0);
    }
    store.writeString(MainSection, QStringLiteral("UserPass"), QStringLiteral("TARLO"));
    // Undo the obstacle before any check, so that a failing check can report.
    if (fileSizeLimit) {
        ::setrlimit(RLIMIT_FSIZE, &oldLimit);
        std::signal(SIGXFSZ, oldHandler);
    } else {
        ::chmod(folder.constData(), 0700);
    }

    QVERIFY2(!store.lastError().isEmpty(), "a failed write must be reported");
    QCOMPARE(fileBytes(m_path), before);
    QCOMPARE(QDir(QString::fromLocal8Bit(folder)).entryList(QDir::Files | QDir::Hidden),
             QStringList {QStringLiteral("Kodra.ini")});
    QCOMPARE(store.readString(MainSection, QStringLiteral("UserPass"), QString()),
             QStringLiteral("TARLO"));
    QCOMPARE(SettingsStore(m_path).contains(MainSection, QStringLiteral("UserPass")), false);

    // The value that could not be written goes out with the next write.
    store.writeString(MainSection, QStringLiteral("CD"), QStringLiteral("D"));
    QCOMPARE(store.lastError(), QString());
    SettingsStore reopened(m_path);
    QCOMPARE(reopened.readString(MainSection, QStringLiteral("UserPass"), QString()),
             QStringLiteral("TARLO"));
    QCOMPARE(reopened.readString(MainSection, QStringLiteral("UserName"), QString()),
             QStringLiteral("KODRA"));
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
