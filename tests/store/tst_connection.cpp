#include "app/Catalogue.h"
#include "store/DbError.h"
#include "tests/support/TestCatalogue.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

// Opening catalogues that are not there or not catalogues, paths and texts beyond ASCII, and
// a connection that goes on after the server refused a statement.
class TestConnection : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestCatalogue> m_cat;

    static QString errorOf(const std::function<void()> &f, ISC_STATUS *code = nullptr)
    {
        try {
            f();
        } catch (const DbError &e) {
            if (code)
                *code = e.code();
            return e.text();
        }
        return QStringLiteral("<no error>");
    }
    static QVariant scalarOn(const QString &path, const QString &select)
    {
        Connection c;
        c.setDatabaseName(path);
        c.setParams(TestCatalogue::params());
        QueryDataSet ds(c, QStringLiteral("dtProbe"));
        ds.setSelectSql({select});
        ds.open();
        const QVariant result = ds.isEmpty() ? QVariant() : ds.field(0).value();
        ds.close();
        c.close();
        return result;
    }
    // Creates a catalogue with isql in the WIN1251 character set: table T (ID, NAME).
    static QString createWin1251(const QString &path)
    {
        const QString script = QFileInfo(path).absolutePath() + QStringLiteral("/create.sql");
        QFile file(script);
        if (!file.open(QIODevice::WriteOnly))
            return file.errorString();
        // Made by the user the tests connect as, so that it owns the table.
        const QString user = TestCatalogue::params()
                                 .filter(QStringLiteral("USER_NAME="))
                                 .value(0)
                                 .section(QLatin1Char('='), 1);
        QString quoted = path;
        quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
        file.write(QStringLiteral("SET NAMES UTF8;\n"
                                  "CREATE DATABASE '%1' USER '%2' "
                                  "DEFAULT CHARACTER SET WIN1251;\n"
                                  "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, "
                                  "NAME VARCHAR(50));\n"
                                  "INSERT INTO T (ID, NAME) VALUES (1, 'Привет');\n"
                                  "COMMIT;\n")
                       .arg(quoted, user)
                       .toUtf8());
        file.close();
        const QString isql = QStandardPaths::findExecutable(QStringLiteral("isql-fb"));
        if (isql.isEmpty())
            return QStringLiteral("isql-fb not found");
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(isql,
                {QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("-ch"),
                 QStringLiteral("UTF8"), QStringLiteral("-user"), user, QStringLiteral("-i"),
                 script});
        if (!p.waitForFinished(60000))
            return QStringLiteral("isql did not finish: ") + p.errorString();
        const QString output = QString::fromUtf8(p.readAll());
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0 || !output.isEmpty())
            return QStringLiteral("isql: ") + output;
        return {};
    }

private Q_SLOTS:
    void init()
    {
        m_cat = std::make_unique<TestCatalogue>(TestCatalogue::Folders::None);
        QVERIFY2(m_cat->isValid(), qPrintable(m_cat->error()));
    }

    void badCatalogueIsNotOpened_data()
    {
        QTest::addColumn<QString>("file"); // below the test's folder
        QTest::addColumn<QByteArray>("content"); // written first unless empty
        QTest::addColumn<QString>("message");
        QTest::newRow("missing file") << "missing.gdb" << QByteArray() << "No such file";
        QTest::newRow("missing, cyrillic name")
            << "Нет такого/каталог.gdb" << QByteArray() << "No such file";
        QTest::newRow("no such folder")
            << "no/such/folder/kodra.gdb" << QByteArray() << "No such file";
        QTest::newRow("garbage") << "garbage.gdb" << QByteArray("not a database\n").repeated(5000)
                                 << "is not a valid database";
        QTest::newRow("empty file") << "empty.gdb" << QByteArray("") << "less than expected";
        QTest::newRow("a folder") << "folder.gdb" << QByteArray() << "Is a directory";
    }
    void badCatalogueIsNotOpened()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        const QString path = m_cat->folder() + QLatin1Char('/') + file;
        if (file == QLatin1String("folder.gdb")) {
            QVERIFY(QDir().mkpath(path));
        } else if (!content.isNull()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(content), content.size());
        }

        Connection c;
        c.setDatabaseName(path);
        c.setParams(TestCatalogue::params());
        QSignalSpy connected(&c, &Connection::afterConnect);
        QSignalSpy disconnected(&c, &Connection::afterDisconnect);
        ISC_STATUS code = 0;
        const QString text = errorOf([&c] { c.open(); }, &code);
        // The server's report: its code, the file it names, its lines joined by CR LF.
        QVERIFY2(code != 0, qPrintable(text));
        QVERIFY2(text.contains(path), qPrintable(text));
        QVERIFY2(text.contains(message), qPrintable(text));
        QVERIFY(!text.endsWith(QLatin1Char('.')));
        QVERIFY(!text.contains(QRegularExpression(QStringLiteral("[^\r]\n"))));
        QVERIFY(!c.isConnected());
        QCOMPARE(connected.count(), 0);
        QCOMPARE(disconnected.count(), 0);
        // A data object on the closed connection fails the same way and starts nothing.
        StoredProc ver(c, QStringLiteral("spVer"), QStringLiteral("GETVERSION"));
        QCOMPARE(errorOf([&ver] { ver.execute(); }), text);
        QVERIFY(!c.isConnected());
        QVERIFY(!c.transaction().isActive());
        QCOMPARE(connected.count(), 0);

        // The same connection then opens a good catalogue.
        c.setDatabaseName(m_cat->path());
        c.open();
        QVERIFY(c.isConnected());
        QCOMPARE(connected.count(), 1);
        ver.execute();
        QCOMPARE(ver.paramAsString(QStringLiteral("VERSION")), QStringLiteral("1.0"));
        c.close();
        QCOMPARE(disconnected.count(), 1);
    }

    void nonAsciiPathOpens_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("cyrillic folder") << "Каталог дисков/kodra.gdb";
        QTest::newRow("cyrillic file") << "Диски.gdb";
        QTest::newRow("other scripts") << "日本 café/ёжик.gdb";
    }
    void nonAsciiPathOpens()
    {
        QFETCH(QString, file);
        const QString path = m_cat->folder() + QStringLiteral("/copy/") + file;
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QVERIFY(QFile::copy(m_cat->path(), path));

        Catalogue data;
        data.DefDatabase().setDatabaseName(path);
        data.DefDatabase().setParams(TestCatalogue::params());
        QSignalSpy connected(&data.DefDatabase(), &Connection::afterConnect);
        data.DefDatabase().open();
        QCOMPARE(connected.count(), 1);
        data.spVer().execute();
        QCOMPARE(data.spVer().paramAsString(QStringLiteral("VERSION")), QStringLiteral("1.0"));
        data.dtFolder().open();
        data.dtFolder().insert();
        data.dtFolder().fieldByName(QStringLiteral("FFOLDER")).setString(file);
        data.dtFolder().post();
        const int key = data.dtFolder().fieldByName(QStringLiteral("FFOLDERID")).asInteger();
        data.DefDatabase().close();
        // Written into the copy, not into the catalogue it came from.
        QCOMPARE(
            scalarOn(path,
                     QStringLiteral("select FFOLDER from TFOLDER where FFOLDERID = %1").arg(key))
                .toString(),
            file);
        QCOMPARE(m_cat->scalar(QStringLiteral("select count(*) from TFOLDER")).toInt(), 0);
    }

    void win1251Catalogue_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("storable");
        QTest::newRow("cyrillic") << "Ёлка и щётка" << true;
        QTest::newRow("pangram") << "Съешь же ещё этих мягких французских булок" << true;
        QTest::newRow("punctuation of the code page") << "№ 5 «кавычки» — тире" << true;
        QTest::newRow("outside the code page") << "日本" << false;
    }
    void win1251Catalogue()
    {
        QFETCH(QString, value);
        QFETCH(bool, storable);
        const QString path = m_cat->folder() + QStringLiteral("/win1251.gdb");
        const QString created = createWin1251(path);
        QVERIFY2(created.isEmpty(), qPrintable(created));

        Connection c;
        c.setDatabaseName(path);
        c.setParams(TestCatalogue::params());
        QueryDataSet ds(c, QStringLiteral("dtText"));
        ds.setSelectSql({QStringLiteral("select ID, NAME from T order by ID")});
        ds.setInsertSql(QStringLiteral("insert into T (ID, NAME) values (:ID, :NAME)"));
        ds.open();
        // The text written by isql comes back as it was written, in its declared length.
        QCOMPARE(ds.fieldByName(QStringLiteral("NAME")).asString(), QStringLiteral("Привет"));
        QCOMPARE(ds.fieldByName(QStringLiteral("NAME")).size(), 50);

        ds.insert();
        ds.fieldByName(QStringLiteral("ID")).setInteger(2);
        ds.fieldByName(QStringLiteral("NAME")).setString(value);
        ISC_STATUS code = 0;
        const QString error = errorOf([&ds] { ds.post(); }, &code);
        if (!storable) {
            // Refused by the server; the row stays as the user typed it, and the connection
            // goes on.
            QVERIFY2(code != 0, qPrintable(error));
            QCOMPARE(ds.state(), QueryDataSet::State::Insert);
            QCOMPARE(ds.fieldByName(QStringLiteral("NAME")).asString(), value);
            ds.cancel();
            value = QStringLiteral("Вместо");
            ds.insert();
            ds.fieldByName(QStringLiteral("ID")).setInteger(2);
            ds.fieldByName(QStringLiteral("NAME")).setString(value);
            ds.post();
        } else {
            QCOMPARE(error, QStringLiteral("<no error>"));
        }
        c.close();

        // Stored in the code page (one byte a letter) and read back unchanged.
        QCOMPARE(scalarOn(path, QStringLiteral("select NAME from T where ID = 2")).toString(),
                 value);
        QCOMPARE(
            scalarOn(path, QStringLiteral("select octet_length(NAME) from T where ID = 2")).toInt(),
            int(value.size()));
    }

    void statementErrorKeepsConnection_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("select"); // run by a query dataset, else by a one-shot statement
        QTest::addColumn<QString>("message");
        QTest::newRow("syntax") << "selec 1 from rdb$database" << false << "Token unknown";
        QTest::newRow("missing table") << "select * from NOSUCH" << true << "NOSUCH";
        QTest::newRow("missing procedure") << "execute procedure NOSUCH" << false << "NOSUCH";
        QTest::newRow("duplicate key")
            << "insert into TMAN (FMANID, FNAME) values (1, 'Дубль')" << false << "PK_TMAN";
        QTest::newRow("required column")
            << "insert into TMAN (FMANID) values (9000)" << false << "FNAME";
        QTest::newRow("foreign key") << "insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME) "
                                        "values (9000, 12345, 1, 'Диск')"
                                     << false << "FK_TDISK_FOLDER";
        QTest::newRow("too long") << "update TMAN set FNAME = rpad('x', 300, 'y') where FMANID = 1"
                                  << false << "truncation";
        QTest::newRow("error while fetching")
            << "select 1 / (FMANID - 1) from TMAN order by FMANID" << true << "by zero";
    }
    void statementErrorKeepsConnection()
    {
        QFETCH(QString, sql);
        QFETCH(bool, select);
        QFETCH(QString, message);
        Catalogue data;
        m_cat->configure(data.DefDatabase());
        data.dtFolder().open();
        data.dtFolder().insert();
        data.dtFolder().fieldByName(QStringLiteral("FFOLDER")).setString(QStringLiteral("До"));
        data.dtFolder().post();
        const QString man
            = m_cat->scalar(QStringLiteral("select FNAME from TMAN where FMANID = 1")).toString();
        const int people = m_cat->scalar(QStringLiteral("select count(*) from TMAN")).toInt();

        QueryDataSet query(data.DefDatabase(), QStringLiteral("dtProbe"));
        SqlStatement stmt(data.DefDatabase(), QStringLiteral("ibsProbe"));
        ISC_STATUS code = 0;
        QString text;
        if (select) {
            query.setSelectSql({sql});
            text = errorOf([&query] { query.open(); }, &code);
            QVERIFY(!query.isOpen());
        } else {
            stmt.setSql(sql);
            text = errorOf([&stmt] { stmt.execute(); }, &code);
        }
        QVERIFY2(code != 0, qPrintable(text));
        QVERIFY2(text.contains(message), qPrintable(text));

        // Connection, transaction and the open dataset all go on.
        QVERIFY(data.DefDatabase().isConnected());
        QVERIFY(data.DefDatabase().transaction().isActive());
        QCOMPARE(data.dtFolder().state(), QueryDataSet::State::Browse);
        data.dtFolder().insert();
        data.dtFolder().fieldByName(QStringLiteral("FFOLDER")).setString(QStringLiteral("После"));
        data.dtFolder().post();
        stmt.setSql(QStringLiteral("update TMAN set FCOMMENT = 'ок' where FMANID = 1"));
        stmt.execute();
        data.dtFolder().close();
        data.dtMan().open();
        QVERIFY(data.dtMan().locate(QStringLiteral("FMANID"), 1));
        QCOMPARE(data.dtMan().fieldByName(QStringLiteral("FCOMMENT")).asString(),
                 QStringLiteral("ок"));
        data.DefDatabase().close();

        // Both folders kept; the refused statement changed nothing.
        QCOMPARE(m_cat
                     ->scalar(QStringLiteral("select list(FFOLDER, ',') from (select FFOLDER "
                                             "from TFOLDER order by FFOLDERID)"))
                     .toString(),
                 QStringLiteral("До,После"));
        QCOMPARE(
            m_cat->scalar(QStringLiteral("select FNAME from TMAN where FMANID = 1")).toString(),
            man);
        QCOMPARE(m_cat->scalar(QStringLiteral("select count(*) from TMAN")).toInt(), people);
        QCOMPARE(m_cat->scalar(QStringLiteral("select count(*) from TDISK")).toInt(), 0);
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
