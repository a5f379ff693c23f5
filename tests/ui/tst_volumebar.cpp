#include "app/Catalogue.h"
#include "browser/VolumeBar.h"
#include "browser/uMain.h"
#include "platform/VolumeId.h"
#include "tests/support/MainWindowFixture.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

namespace {

bool run(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QList<VolumeBar *> bars(TfMain &main)
{
    return main.findChildren<VolumeBar *>();
}

VolumeBar *barFor(TfMain &main, const QString &mountPoint)
{
    for (VolumeBar *bar : bars(main)) {
        if (bar->mountPoint() == mountPoint)
            return bar;
    }
    return nullptr;
}

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

const QString ext4Uuid = QStringLiteral("5f3c1d2e-8a7b-4c6d-9e0f-112233445566");

} // namespace

// A disc or stick put in while the program runs: the bar over the disk list says which
// catalogued disk it is, or that it is not in the catalogue, and goes with the volume.
class TestVolumeBar : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QStringList m_mounted;
    bool m_iso = false;

    static bool isoSupported()
    {
        QFile filesystems(QStringLiteral("/proc/filesystems"));
        return filesystems.open(QIODevice::ReadOnly)
            && filesystems.readAll().contains("\tiso9660\n");
    }

    bool mount(const QString &image, const QString &point, const QStringList &options = {})
    {
        QDir().mkpath(point);
        if (!run(QStringLiteral("mount"),
                 options
                     + QStringList {QStringLiteral("-o"), QStringLiteral("loop,ro"), image, point}))
            return false;
        m_mounted << point;
        return true;
    }
    bool unmount(const QString &point)
    {
        m_mounted.removeAll(point);
        return run(QStringLiteral("umount"), {point});
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("loop mounts need root");
        for (const char *tool : {"mkfs.ext4", "genisoimage", "mount", "truncate"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(tool)));
        }
        QVERIFY(m_dir.isValid());
        const QString ext4 = m_dir.filePath(QStringLiteral("stick.img"));
        QVERIFY(
            run(QStringLiteral("truncate"), {QStringLiteral("-s"), QStringLiteral("8M"), ext4}));
        QVERIFY(run(QStringLiteral("mkfs.ext4"),
                    {QStringLiteral("-q"), QStringLiteral("-F"), QStringLiteral("-U"), ext4Uuid,
                     QStringLiteral("-L"), QStringLiteral("STICK"), ext4}));
        // The unknown volume is a disc where the kernel reads ISO 9660, else a second stick.
        m_iso = isoSupported();
        if (m_iso) {
            QDir().mkpath(m_dir.filePath(QStringLiteral("disc")));
            QVERIFY(
                run(QStringLiteral("genisoimage"),
                    {QStringLiteral("-quiet"), QStringLiteral("-volid"), QStringLiteral("NEWDISC"),
                     QStringLiteral("-o"), m_dir.filePath(QStringLiteral("disc.iso")),
                     m_dir.filePath(QStringLiteral("disc"))}));
        } else {
            qInfo("this kernel has no ISO 9660: the unknown volume is an ext4 image");
            const QString other = m_dir.filePath(QStringLiteral("disc.iso"));
            QVERIFY(run(QStringLiteral("truncate"),
                        {QStringLiteral("-s"), QStringLiteral("8M"), other}));
            QVERIFY(run(QStringLiteral("mkfs.ext4"),
                        {QStringLiteral("-q"), QStringLiteral("-F"), QStringLiteral("-L"),
                         QStringLiteral("NEWDISC"), other}));
        }
    }
    void cleanupTestCase()
    {
        const QStringList points = m_mounted;
        for (const QString &point : points)
            unmount(point);
    }

    void knownAndUnknownVolumes()
    {
        const QString serial = VolumeId::serialFromUuid(QStringLiteral("ext4"), ext4Uuid);
        MainWindowFixture f;
        const QString error = f.start(
            {"insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values (1002, 'Флешки', "
             "1001)",
             QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, FUNIQUE, "
                            "FLABEL) values (2001, 1002, 1, 'Рабочая флешка', 1, '%1', 'STICK')")
                 .arg(serial)});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        TfMain &main = f.main();
        QVERIFY(main.aWatchVolumes->isChecked());

        const QString stick = m_dir.filePath(QStringLiteral("mnt/stick"));
        const QString disc = m_dir.filePath(QStringLiteral("mnt/disc"));
        QVERIFY(mount(m_dir.filePath(QStringLiteral("stick.img")), stick));
        QTRY_VERIFY_WITH_TIMEOUT(barFor(main, stick), 2000);
        VolumeBar *known = barFor(main, stick);
        QCOMPARE(known->text->text(),
                 QStringLiteral("В приводе %1: STICK, ID=%2 — это «Рабочая флешка» в папке "
                                "«Диски/Флешки»")
                     .arg(stick, serial));
        QVERIFY(known->goButton && known->rereadButton && !known->addButton);

        QVERIFY(mount(m_dir.filePath(QStringLiteral("disc.iso")), disc));
        QTRY_VERIFY_WITH_TIMEOUT(barFor(main, disc), 2000);
        VolumeBar *unknown = barFor(main, disc);
        QVERIFY2(unknown->text->text().startsWith(QStringLiteral("NEWDISC, ID=")),
                 qPrintable(unknown->text->text()));
        QVERIFY(unknown->text->text().endsWith(QStringLiteral(" нет в каталоге")));
        QVERIFY(unknown->addButton && !unknown->goButton);
        // Nothing is written until the user acts.
        QCOMPARE(f.catalogue().scalar(QStringLiteral("select count(*) from TDISK")).toInt(), 1);

        QCOMPARE(f.data().currentFolder(), 1001);
        known->goButton->click();
        QCOMPARE(f.data().currentFolder(), 1002);
        QCOMPARE(f.data().currentDisk(), 2001);

        QVERIFY(unmount(stick));
        QTRY_VERIFY_WITH_TIMEOUT(!barFor(main, stick), 2000);
        QVERIFY(barFor(main, disc));
        QVERIFY(unmount(disc));
        QTRY_VERIFY_WITH_TIMEOUT(bars(main).isEmpty(), 2000);

        // Watching costs nothing while no volume comes or goes.
        // An event loop of its own: qWait would wake every few milliseconds itself.
        const double before = cpuSeconds();
        QEventLoop idleLoop;
        QTimer::singleShot(10000, &idleLoop, &QEventLoop::quit);
        idleLoop.exec();
        const double idle = cpuSeconds() - before;
        qInfo("CPU over 10 s idle: %.3f s", idle);
        QVERIFY2(idle < 0.05, qPrintable(QString::number(idle)));

        // Turned off: a volume gets no bar.
        main.aWatchVolumes->setChecked(false);
        QVERIFY(mount(m_dir.filePath(QStringLiteral("stick.img")), stick));
        QTest::qWait(500);
        QVERIFY(bars(main).isEmpty());
        QVERIFY(unmount(stick));
    }
};

QTEST_MAIN(TestVolumeBar)
#include "tst_volumebar.moc"
