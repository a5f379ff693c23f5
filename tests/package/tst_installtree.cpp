#include "app/ProgramFiles.h"
#include "tests/support/TestCatalogue.h"

#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

// `cmake --install` of the build folder into a temporary prefix: the files a package of it
// holds, the desktop entry and the metainfo as their validators see them, the icon's sizes,
// the template where the installed program looks for it, and the installed program's answers
// on the command line.
class TestInstallTree : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_prefix;

    QString installed(const QString &path) const { return m_prefix.filePath(path); }

    struct Run
    {
        int exitCode = -1;
        QString out;
        QString err;
    };
    static Run run(const QString &program, const QStringList &args,
                   const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, args);
        Run r;
        if (!p.waitForFinished(120000)) {
            r.err = QStringLiteral("%1 did not finish: %2").arg(program, p.errorString());
            return r;
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_prefix.isValid());
        const Run r = run(QStringLiteral(KODRA_CMAKE),
                          {QStringLiteral("--install"), QStringLiteral(KODRA_BINARY_DIR),
                           QStringLiteral("--prefix"), m_prefix.path()});
        QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    }

    void everyFileInItsPlace()
    {
        QStringList found;
        QDirIterator it(m_prefix.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            found << QDir(m_prefix.path()).relativeFilePath(it.next());
        found.sort();
        QStringList expected {
            QStringLiteral("bin/kodra"),
            QStringLiteral("bin/kodra-cli"),
            QStringLiteral("share/bash-completion/completions/kodra-cli"),
            QStringLiteral("share/man/man1/kodra-cli.1.gz"),
            QStringLiteral("share/applications/ru.brenk.Kodra.desktop"),
            QStringLiteral("share/icons/hicolor/scalable/apps/ru.brenk.Kodra.svg"),
            QStringLiteral("share/kodra/Kodra.fbk"),
            QStringLiteral("share/metainfo/ru.brenk.Kodra.metainfo.xml"),
            QStringLiteral("share/man/man1/kodra.1.gz"),
            QStringLiteral("share/doc/kodra/copyright"),
            QStringLiteral("share/doc/kodra/changelog.gz"),
        };
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
            expected
                << QStringLiteral("share/icons/hicolor/%1x%1/apps/ru.brenk.Kodra.png").arg(size);
        expected.sort();
        QCOMPARE(found, expected);
        QVERIFY(QFileInfo(installed(QStringLiteral("bin/kodra"))).isExecutable());
        QVERIFY(QFileInfo(installed(QStringLiteral("bin/kodra-cli"))).isExecutable());
    }

    // The command line program: answers on a bare console, links no widgets, and its manual
    // page and completion are what man and bash read.
    void commandLineProgram()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        const QString cli = installed(QStringLiteral("bin/kodra-cli"));
        const Run version = run(cli, {QStringLiteral("--version")}, env);
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, QStringLiteral("kodra-cli " KODRA_VERSION "\n"));
        const Run help = run(cli, {QStringLiteral("--help")}, env);
        QCOMPARE(help.exitCode, 0);
        for (const char *command :
             {"find", "read", "disks", "folders", "lent", "stat", "which", "backup", "restore"})
            QVERIFY2(help.out.contains(QStringLiteral("\n  %1").arg(QString::fromLatin1(command))),
                     qPrintable(help.out));
        QCOMPARE(run(cli, {}, env).exitCode, 2);
        const Run ldd = run(QStringLiteral("ldd"), {cli});
        QCOMPARE(ldd.exitCode, 0);
        QVERIFY2(!ldd.out.contains(QStringLiteral("Widgets")), qPrintable(ldd.out));

        const Run man = run(QStringLiteral("man"),
                            {QStringLiteral("--warnings"), QStringLiteral("-l"),
                             installed(QStringLiteral("share/man/man1/kodra-cli.1.gz"))});
        QCOMPARE(man.exitCode, 0);
        QVERIFY2(man.err.isEmpty(), qPrintable(man.err));
        QVERIFY(man.out.contains(QStringLiteral("EXIT STATUS")));

        // What bash offers after "kodra-cli " and after "kodra-cli lent --o".
        const QString completion
            = installed(QStringLiteral("share/bash-completion/completions/kodra-cli"));
        const QString common = QStringLiteral("/usr/share/bash-completion/bash_completion");
        if (!QFileInfo::exists(common))
            QFAIL("bash-completion is missing: scripts/install-deps.sh installs it");
        auto offered = [&](const QStringList &words) {
            const QString script
                = QStringLiteral(". %1; . %2; COMP_WORDS=(%3); COMP_CWORD=%4; "
                                 "COMP_LINE=\"${COMP_WORDS[*]}\"; COMP_POINT=${#COMP_LINE}; "
                                 "_kodra_cli kodra-cli; printf '%s\\n' \"${COMPREPLY[@]}\"")
                      .arg(common, completion, words.join(QLatin1Char(' ')))
                      .arg(words.size() - 1);
            const Run r = run(QStringLiteral("bash"), {QStringLiteral("-c"), script});
            QStringList found = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            found.sort();
            return found;
        };
        QCOMPARE(offered({QStringLiteral("kodra-cli"), QStringLiteral("''")}),
                 QStringList({"--help", "--version", "backup", "disks", "find", "folders", "lent",
                              "read", "restore", "stat", "which"}));
        QCOMPARE(
            offered({QStringLiteral("kodra-cli"), QStringLiteral("lent"), QStringLiteral("--o")}),
            QStringList({"--others", "--overdue"}));
        QCOMPARE(offered({QStringLiteral("kodra-cli"), QStringLiteral("find"), QStringLiteral("x"),
                          QStringLiteral("--format"), QStringLiteral("j")}),
                 QStringList({"json"}));
    }

    void iconSizes_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
            QTest::addRow("%d px", size) << size;
    }

    void iconSizes()
    {
        QFETCH(int, size);
        const QImage icon(installed(
            QStringLiteral("share/icons/hicolor/%1x%1/apps/ru.brenk.Kodra.png").arg(size)));
        QCOMPARE(icon.size(), QSize(size, size));
        QVERIFY(icon.hasAlphaChannel());
        // Drawn, on a clear ground: the corner above the card is empty, most of the rest is not.
        QCOMPARE(qAlpha(icon.pixel(size - 1, 0)), 0);
        int opaque = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                opaque += qAlpha(icon.pixel(x, y)) > 128 ? 1 : 0;
        QVERIFY2(opaque > size * size / 2, qPrintable(QString::number(opaque)));
    }

    void validators_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("args");
        QTest::newRow("desktop entry")
            << QStringLiteral("desktop-file-validate")
            << QStringList {installed(QStringLiteral("share/applications/ru.brenk.Kodra.desktop"))};
        QTest::newRow("metainfo") << QStringLiteral("appstreamcli")
                                  << QStringList {
                                         QStringLiteral("validate"), QStringLiteral("--no-net"),
                                         installed(QStringLiteral(
                                             "share/metainfo/ru.brenk.Kodra.metainfo.xml"))};
        QTest::newRow("metainfo with its desktop entry and icon")
            << QStringLiteral("appstreamcli")
            << QStringList {QStringLiteral("validate-tree"), QStringLiteral("--no-net"),
                            m_prefix.path()};
    }

    void validators()
    {
        QFETCH(QString, tool);
        QFETCH(QStringList, args);
        const QString program = QStandardPaths::findExecutable(tool);
        QVERIFY2(!program.isEmpty(), qPrintable(tool + " is missing: scripts/install-deps.sh"));
        const Run r = run(program, args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    }

    void metainfoSpeaksBothLanguages()
    {
        QFile file(installed(QStringLiteral("share/metainfo/ru.brenk.Kodra.metainfo.xml")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QMap<QString, QString> summaries;
        QStringList screenshots;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("summary")) {
                const QString lang = xml.attributes().value(QStringLiteral("xml:lang")).toString();
                summaries.insert(lang, xml.readElementText());
            } else if (xml.name() == QLatin1String("image")) {
                screenshots << xml.readElementText();
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(summaries.keys(), QStringList({QString(), QStringLiteral("ru")}));
        QCOMPARE(summaries.value(QStringLiteral("ru")),
                 QStringLiteral("Каталог компакт-дисков и других носителей"));
        QCOMPARE(screenshots.size(), 1);
        QVERIFY(screenshots.first().startsWith(QStringLiteral("https://")));
    }

    void templateBesideTheInstalledProgram()
    {
        const QString programFolder = installed(QStringLiteral("bin"));
        QCOMPARE(ProgramFiles::templatePath(programFolder),
                 installed(QStringLiteral("share/kodra/Kodra.fbk")));
        QVERIFY(ProgramFiles::isInstalled(programFolder));
        TestCatalogue catalogue(ProgramFiles::templatePath(programFolder));
        QVERIFY2(catalogue.isValid(), qPrintable(catalogue.error()));
        QCOMPARE(
            catalogue.scalar(QStringLiteral("select FFOLDER from TFOLDER where FFOLDERID = 16"))
                .toString(),
            TestCatalogue::startFolderName());
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QString usage = QStringLiteral("^Usage: \\S*kodra \\[options\\]\\n"
                                             "База данных компакт-дисков и других носителей\\n"
                                             "\\nOptions:\\n.*-h, --help.*-v, --version.*$");
        QTest::newRow("--version")
            << QStringList {QStringLiteral("--version")} << 0
            << QStringLiteral("^Kodra " KODRA_VERSION "\\n$") << QStringLiteral("^$");
        QTest::newRow("-v") << QStringList {QStringLiteral("-v")} << 0
                            << QStringLiteral("^Kodra " KODRA_VERSION "\\n$")
                            << QStringLiteral("^$");
        QTest::newRow("--help") << QStringList {QStringLiteral("--help")} << 0 << usage
                                << QStringLiteral("^$");
        QTest::newRow("-h") << QStringList {QStringLiteral("-h")} << 0 << usage
                            << QStringLiteral("^$");
        QTest::newRow("an option of its own")
            << QStringList {QStringLiteral("--catalogue=x.gdb")} << 1 << QStringLiteral("^$")
            << QStringLiteral("Kodra: Unknown option "
                              "'catalogue'\\.");
        QTest::newRow("the window system's own option")
            << QStringList {QStringLiteral("-platform"), QStringLiteral("xcb"),
                            QStringLiteral("--version")}
            << 0 << QStringLiteral("^Kodra " KODRA_VERSION "\\n$") << QStringLiteral("^$");
        QTest::newRow("an argument")
            << QStringList {QStringLiteral("x.gdb")} << 1 << QStringLiteral("^$")
            << QStringLiteral("Kodra: Unexpected argument 'x\\.gdb'\\.");
    }

    // The command line is judged on a bare console, with no display to open.
    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        const Run r = run(installed(QStringLiteral("bin/kodra")), args, env);
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.out + r.err));
        const auto dotAll = QRegularExpression::DotMatchesEverythingOption;
        QVERIFY2(QRegularExpression(out, dotAll).match(r.out).hasMatch(), qPrintable(r.out));
        QVERIFY2(QRegularExpression(err, dotAll).match(r.err).hasMatch(), qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestInstallTree)
#include "tst_installtree.moc"
