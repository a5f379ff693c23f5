#include "app/Catalogue.h"
#include "app/uAbout.h"
#include "tests/support/TestCatalogue.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QTest>
#include <QUrlQuery>

// The about box: versions, build date and the author's links.
class TestAbout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void catalogueVersion_data()
    {
        QTest::addColumn<bool>("connect");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("shown");
        QTest::newRow("not connected") << false << QString() << "нет соединения";
        QTest::newRow("current") << true << QString() << "1.0";
        QTest::newRow("refused version") << true << "VERSION = '0.9';"
                                         << "0.9";
        QTest::newRow("failing call") << true << "VERSION = 1 / 0;"
                                      << "Ошибка ";
    }
    void catalogueVersion()
    {
        QFETCH(bool, connect);
        QFETCH(QString, body);
        QFETCH(QString, shown);
        TestCatalogue cat;
        QVERIFY2(cat.isValid(), qPrintable(cat.error()));
        if (!body.isEmpty())
            cat.exec({QStringLiteral("alter procedure GETVERSION returns (VERSION varchar(10)) "
                                     "as begin %1 end")
                          .arg(body)});
        Catalogue data;
        cat.configure(data.DefDatabase());
        if (connect)
            data.DefDatabase().open();
        TfAbout about(data);
        QVERIFY(about.lVer->text().startsWith(shown));
        if (shown == QLatin1String("Ошибка "))
            QVERIFY(about.lVer->text().contains(QStringLiteral("divide"), Qt::CaseInsensitive)
                    || about.lVer->text().contains(QStringLiteral("zero"), Qt::CaseInsensitive));
        QCOMPARE(data.DefDatabase().isConnected(), connect);
        QCOMPARE(about.lVerClt->text(), QStringLiteral("1.0"));
    }

    void buildDateAndLinks()
    {
        Catalogue data;
        TfAbout about(data);
        const QDate built
            = QFileInfo(QCoreApplication::applicationFilePath()).lastModified().date();
        QCOMPARE(about.lDate->text(), QLocale().toString(built, QLocale::ShortFormat));
        QList<QUrl> opened;
        about.openUrl = [&opened](const QUrl &url) { opened << url; };
        Q_EMIT about.lMail->linkActivated(about.lMail->text().section(QLatin1Char('"'), 1, 1));
        Q_EMIT about.lWeb->linkActivated(TfAbout::webAddress);
        QCOMPARE(opened.size(), 2);
        QCOMPARE(opened[0].scheme(), QStringLiteral("mailto"));
        QCOMPARE(opened[0].path(), TfAbout::mailAddress);
        QCOMPARE(QUrlQuery(opened[0]).queryItemValue(QStringLiteral("subject")),
                 QStringLiteral("KODRA"));
        QCOMPARE(opened[1], QUrl(TfAbout::webAddress));
        about.show();
        QTest::keyClick(&about, Qt::Key_Return);
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
