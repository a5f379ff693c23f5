#include "app/ProgramFiles.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

// Where the template and a new user's catalogue are looked for, on folder layouts made in a
// temporary folder: a build folder, an installed prefix, both, neither.
class TestProgramFiles : public QObject
{
    Q_OBJECT

private:
    static QString dataFolder()
    {
        return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1Char('/');
    }

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void layouts_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("expectedTemplate");
        QTest::addColumn<bool>("installed");
        QTest::newRow("build folder")
            << QStringList {QStringLiteral("build/Kodra.fbk")} << QStringLiteral("build")
            << QStringLiteral("build/Kodra.fbk") << false;
        QTest::newRow("installed prefix")
            << QStringList {QStringLiteral("usr/share/kodra/Kodra.fbk")}
            << QStringLiteral("usr/bin") << QStringLiteral("usr/share/kodra/Kodra.fbk") << true;
        QTest::newRow("both: the program's folder first")
            << QStringList {QStringLiteral("usr/bin/Kodra.fbk"),
                            QStringLiteral("usr/share/kodra/Kodra.fbk")}
            << QStringLiteral("usr/bin") << QStringLiteral("usr/bin/Kodra.fbk") << false;
        QTest::newRow("neither: the program's folder is named")
            << QStringList() << QStringLiteral("usr/bin") << QStringLiteral("usr/bin/Kodra.fbk")
            << false;
        QTest::newRow("a data folder of another name")
            << QStringList {QStringLiteral("opt/share/kodra-old/Kodra.fbk")}
            << QStringLiteral("opt/bin") << QStringLiteral("opt/bin/Kodra.fbk") << false;
    }

    void layouts()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, program);
        QFETCH(QString, expectedTemplate);
        QFETCH(bool, installed);
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QDir dir(root.path());
        QVERIFY(dir.mkpath(program));
        for (const QString &file : files) {
            QVERIFY(dir.mkpath(QFileInfo(file).path()));
            QFile f(dir.filePath(file));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const QString programFolder = dir.filePath(program);

        QCOMPARE(ProgramFiles::templatePath(programFolder), dir.filePath(expectedTemplate));
        QCOMPARE(ProgramFiles::isInstalled(programFolder), installed);
        // An installed program's folder takes no catalogue even from root, who may write there.
        QCOMPARE(ProgramFiles::catalogueFolder(programFolder),
                 installed ? dataFolder() : programFolder + QLatin1Char('/'));
        QVERIFY(QFileInfo(ProgramFiles::catalogueFolder(programFolder)).isDir());
    }

    void readOnlyProgramFolder()
    {
        if (geteuid() == 0)
            QSKIP("root may write to any folder");
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString programFolder = root.filePath(QStringLiteral("bin"));
        QVERIFY(QDir().mkpath(programFolder));
        QVERIFY(QFile::setPermissions(
            programFolder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadUser | QFile::ExeUser));
        const QString folder = ProgramFiles::catalogueFolder(programFolder);
        QVERIFY(QFile::setPermissions(programFolder,
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                          | QFile::ReadUser | QFile::WriteUser | QFile::ExeUser));
        QCOMPARE(folder, dataFolder());
        QVERIFY(QFileInfo(folder).isDir());
    }
};

QTEST_GUILESS_MAIN(TestProgramFiles)
#include "tst_programfiles.moc"
