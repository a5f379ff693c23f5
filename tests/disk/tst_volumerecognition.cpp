#include "disk/DiskReader.h"
#include "disk/VolumeRecognition.h"
#include "platform/MountWatcher.h"
#include "platform/VolumeId.h"
#include "store/Connection.h"
#include "tests/support/FixedVolumeSource.h"
#include "tests/support/TestCatalogue.h"

#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

VolumeList::Volume volume(const QString &mountPoint, const QString &device)
{
    VolumeList::Volume v;
    v.mountPoint = mountPoint;
    v.device = device;
    v.fsType = QStringLiteral("ext4");
    return v;
}

} // namespace

// Which catalogued disks a volume in the drive is, and the volumes appearing and going.
class TestVolumeRecognition : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestCatalogue> m_catalogue;
    std::unique_ptr<Connection> m_connection;

private Q_SLOTS:
    void initTestCase()
    {
        m_catalogue = std::make_unique<TestCatalogue>();
        QVERIFY2(m_catalogue->isValid(), qPrintable(m_catalogue->error()));
        const QString fat
            = VolumeId::serialFromUuid(QStringLiteral("vfat"), QStringLiteral("1A2B-3C4D"));
        const QString ntfs
            = VolumeId::serialFromUuid(QStringLiteral("ntfs"), QStringLiteral("0123456789ABCDEF"));
        const QString ext4 = VolumeId::serialFromUuid(
            QStringLiteral("ext4"), QStringLiteral("5f3c1d2e-8a7b-4c6d-9e0f-112233445566"));
        QCOMPARE(fat, QStringLiteral("1A2B3C4D"));
        QCOMPARE(ntfs, QStringLiteral("89ABCDEF"));
        QCOMPARE(ext4, QStringLiteral("5F3C1D2E"));
        const QString root = DiskReader::rootText(QStringLiteral("/media/NOSERIAL"),
                                                  QStringLiteral("NOSERIAL"), {});
        // Folders: Мои диски (16) > Музыка (201) > Рок (202); Фильмы (203) at the top.
        m_catalogue->exec({
            "insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values (201, 'Музыка', 16)",
            "insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values (202, 'Рок', 201)",
            "insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values (203, 'Фильмы', 0)",
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, FUNIQUE, "
                           "FLABEL) values (301, 202, 1, 'Флешка', 1, '%1', 'STICK')")
                .arg(fat),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, FUNIQUE, "
                           "FLABEL) values (302, 16, 1, 'Архив NTFS', 1, '%1', 'ARCHIVE')")
                .arg(ntfs),
            QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, FUNIQUE, "
                           "FLABEL) values (303, 16, 1, 'Линукс', 2, '%1', 'DATA')")
                .arg(ext4),
            // One disc copied twice: two disks with one serial.
            "insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, FUNIQUE, FLABEL) values "
            "(304, 203, 1, 'Фильм, копия', 2, '2A1B0C0D', 'FILM')",
            "insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, FUNIQUE, FLABEL) values "
            "(305, 203, 1, 'Фильм', 1, '2A1B0C0D', 'FILM')",
            // Without a serial: the same label at another mount point is another volume.
            "insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, FUNIQUE, FLABEL) values "
            "(306, 16, 1, 'Без номера', 3, '', 'NOSERIAL')",
            QStringLiteral("insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, "
                           "FCONTENT) values (401, 306, null, 1, '%1')")
                .arg(root),
            "insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, FUNIQUE, FLABEL) values "
            "(307, 16, 1, 'Тоже без номера', 4, null, 'NOSERIAL')",
            "insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, FCONTENT) values "
            "(402, 307, null, 1, '/media/other: NOSERIAL, ID=')",
        });
        m_connection = m_catalogue->connection();
        m_connection->open();
    }
    void cleanupTestCase()
    {
        m_connection.reset();
        m_catalogue.reset();
    }

    void lookup_data()
    {
        QTest::addColumn<QString>("mountPoint");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("text");
        QTest::newRow("FAT stick in a nested folder")
            << "/media/STICK"
            << "Stick"
            << "1A2B3C4D"
            << "В приводе /media/STICK: STICK, ID=1A2B3C4D — это «Флешка» в папке «Мои "
               "диски/Музыка/Рок»";
        QTest::newRow("NTFS by the low 32 bits")
            << "/media/ARCHIVE"
            << "ARCHIVE"
            << "89ABCDEF"
            << "В приводе /media/ARCHIVE: ARCHIVE, ID=89ABCDEF — это «Архив NTFS» в папке «Мои "
               "диски»";
        QTest::newRow("ext4, another label than stored")
            << "/mnt/data"
            << "NEWNAME"
            << "5F3C1D2E"
            << "В приводе /mnt/data: NEWNAME, ID=5F3C1D2E — это «Линукс» в папке «Мои диски»";
        QTest::newRow("ISO: two disks with one serial, in the disk list's order")
            << "/media/cdrom"
            << "FILM"
            << "2A1B0C0D"
            << "В приводе /media/cdrom: FILM, ID=2A1B0C0D — это «Фильм» в папке «Фильмы», "
               "«Фильм, копия» в папке «Фильмы»";
        QTest::newRow("unknown serial") << "/media/NEW"
                                        << "NEW"
                                        << "0BADF00D"
                                        << "NEW, ID=0BADF00D нет в каталоге";
        QTest::newRow("no serial: label and root entry")
            << "/media/NOSERIAL"
            << "NOSERIAL"
            << ""
            << "В приводе /media/NOSERIAL: NOSERIAL, ID= — это «Без номера» в папке «Мои диски»";
        QTest::newRow("no serial, same label elsewhere: never a false match")
            << "/media/third"
            << "NOSERIAL"
            << ""
            << "NOSERIAL, ID= нет в каталоге";
        QTest::newRow("no serial, no label") << "/media/x"
                                             << ""
                                             << ""
                                             << ", ID= нет в каталоге";
    }
    void lookup()
    {
        QFETCH(QString, mountPoint);
        QFETCH(QString, label);
        QFETCH(QString, serial);
        QFETCH(QString, text);
        FixedVolumeSource source;
        source.volumes.insert(mountPoint, {label, serial, 0, 0});
        const VolumeRecognition::Volume found
            = VolumeRecognition::recognise(*m_connection, mountPoint);
        QCOMPARE(VolumeRecognition::describe(found), text);
    }

    // A folder loop in a damaged tree ends the path instead of hanging the lookup.
    void folderLoopEnds()
    {
        m_catalogue->exec({"insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(210, 'A', 211)",
                           "insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values "
                           "(211, 'B', 210)"});
        m_connection->close();
        m_connection->open();
        QCOMPARE(VolumeRecognition::folderPath(*m_connection, 210), QStringLiteral("B/A"));
    }

    // Appearing and going are told once each; a different device at the same point is a new
    // volume; the volumes there at the start are told as such.
    void watcherTellsDifferences()
    {
        QList<VolumeList::Volume> table {volume("/", "/dev/sda1")};
        MountWatcher watcher([&table] { return table; });
        QSignalSpy appeared(&watcher, &MountWatcher::appeared);
        QSignalSpy gone(&watcher, &MountWatcher::gone);
        QVERIFY(watcher.start());
        QCOMPARE(appeared.count(), 1);
        QCOMPARE(appeared.at(0).at(1).toBool(), true);

        table << volume("/media/cdrom", "/dev/sr0");
        watcher.rescan();
        watcher.rescan();
        QCOMPARE(appeared.count(), 2);
        QCOMPARE(appeared.at(1).at(0).value<VolumeList::Volume>().mountPoint,
                 QStringLiteral("/media/cdrom"));
        QCOMPARE(appeared.at(1).at(1).toBool(), false);
        QCOMPARE(gone.count(), 0);

        table[1].device = QStringLiteral("/dev/sr1");
        watcher.rescan();
        QCOMPARE(gone.count(), 1);
        QCOMPARE(appeared.count(), 3);

        table.removeLast();
        watcher.rescan();
        QCOMPARE(gone.count(), 2);
        QCOMPARE(gone.at(1).at(0).value<VolumeList::Volume>().device, QStringLiteral("/dev/sr1"));
    }

    // The kernel's mark on the mount table wakes the watcher: a mount and an unmount are told
    // without polling.
    void watcherWakesOnRealMount()
    {
        if (::geteuid() != 0)
            QSKIP("mounting needs root");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        MountWatcher watcher;
        QVERIFY(watcher.start());
        QSignalSpy appeared(&watcher, &MountWatcher::appeared);
        QSignalSpy gone(&watcher, &MountWatcher::gone);
        QCOMPARE(QProcess::execute(QStringLiteral("mount"),
                                   {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                    QStringLiteral("kodratest"), dir.path()}),
                 0);
        auto unmount
            = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {dir.path()}); });
        QTRY_COMPARE_WITH_TIMEOUT(appeared.count(), 1, 2000);
        QCOMPARE(appeared.at(0).at(0).value<VolumeList::Volume>().mountPoint, dir.path());
        unmount.dismiss();
        QCOMPARE(QProcess::execute(QStringLiteral("umount"), {dir.path()}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(gone.count(), 1, 2000);
    }
};

QTEST_GUILESS_MAIN(TestVolumeRecognition)
#include "tst_volumerecognition.moc"
