#include "disk/DrivePicker.h"
#include "tests/support/FixedVolumeSource.h"
#include "tests/support/ScriptedFilePicker.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

QList<VolumeList::Volume> volumes()
{
    VolumeList::Volume cdrom;
    cdrom.mountPoint = QStringLiteral("/media/cdrom");
    cdrom.kind = VolumeList::Kind::Optical;
    VolumeList::Volume stick;
    stick.mountPoint = QStringLiteral("/media/stick");
    stick.kind = VolumeList::Kind::Removable;
    return {cdrom, stick};
}

} // namespace

// The drive picker: choosing by the stored setting, and reading any folder as a drive.
class TestDrivePicker : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void setDrive_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<int>("items");
        QTest::newRow("listed") << QStringLiteral("/media/stick") << QStringLiteral("/media/stick")
                                << 3;
        QTest::newRow("trailing slash")
            << QStringLiteral("/media/stick/") << QStringLiteral("/media/stick") << 3;
        QTest::newRow("gone: the first")
            << QStringLiteral("/media/gone") << QStringLiteral("/media/cdrom") << 3;
        QTest::newRow("a letter: the first")
            << QStringLiteral("D") << QStringLiteral("/media/cdrom") << 3;
        QTest::newRow("empty: none") << QString() << QString() << 3;
    }
    void setDrive()
    {
        QFETCH(QString, setting);
        QFETCH(QString, chosen);
        QFETCH(int, items);
        DrivePicker picker(volumes());
        picker.setDrive(setting);
        QCOMPARE(picker.drive(), chosen);
        QCOMPARE(picker.count(), items);
        QCOMPARE(picker.itemText(items - 1), DrivePicker::otherFolderText);
        QCOMPARE(picker.firstDrive(), QStringLiteral("/media/cdrom"));
    }

    // Without the stored drive the picker takes a disc, then a removable volume, and never a
    // fixed disk, a RAM disk or "/": reading one would catalogue the system into the disk.
    void automaticChoice_data()
    {
        QTest::addColumn<QStringList>("mounted"); // in mount point order
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("chosen");
        const QStringList all {"/:fixed", "/boot:fixed", "/media/cdrom0:optical",
                               "/media/user/STICK:removable", "/mnt/ram:ram"};
        const QStringList noDisc {"/:fixed", "/media/user/STICK:removable", "/mnt/ram:ram"};
        const QStringList system {"/:fixed", "/home:fixed", "/mnt/ram:ram"};
        QTest::newRow("the default letter: the disc")
            << all << QStringLiteral("D") << QStringLiteral("/media/cdrom0");
        QTest::newRow("a label gone: the disc")
            << all << QStringLiteral("/media/user/OLD") << QStringLiteral("/media/cdrom0");
        QTest::newRow("no disc: the removable volume")
            << noDisc << QStringLiteral("/media/user/OLD") << QStringLiteral("/media/user/STICK");
        QTest::newRow("only fixed and RAM: none") << system << QStringLiteral("D") << QString();
        QTest::newRow("nothing stored, only fixed and RAM: none")
            << system << QString() << QString();
        QTest::newRow("a removable root is the system too")
            << QStringList {"/:removable", "/media/user/STICK:removable"} << QStringLiteral("D")
            << QStringLiteral("/media/user/STICK");
        QTest::newRow("stored root stays") << all << QStringLiteral("/") << QStringLiteral("/");
        QTest::newRow("stored RAM disk stays")
            << all << QStringLiteral("/mnt/ram") << QStringLiteral("/mnt/ram");
    }
    void automaticChoice()
    {
        QFETCH(QStringList, mounted);
        QFETCH(QString, setting);
        QFETCH(QString, chosen);
        DrivePicker picker(FixedVolumeSource::volumesOf(mounted));
        picker.setDrive(setting.isEmpty() ? picker.firstDrive() : setting);
        QCOMPARE(picker.drive(), chosen);
        QCOMPARE(picker.currentIndex() < 0, chosen.isEmpty());
        QCOMPARE(picker.count(), mounted.size() + 1);
    }

    // A folder chosen before comes back as an item of its own.
    void existingFolderBecomesAnItem()
    {
        QTemporaryDir folder;
        DrivePicker picker(volumes());
        picker.setDrive(folder.path());
        QCOMPARE(picker.drive(), folder.path());
        QCOMPARE(picker.count(), 4);
        QCOMPARE(picker.currentIndex(), 2);
        picker.setDrive(folder.path());
        QCOMPARE(picker.count(), 4);
    }

    void anotherFolder_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("picked") << false;
        QTest::newRow("cancelled") << true;
    }
    void anotherFolder()
    {
        QFETCH(bool, cancel);
        QTemporaryDir folder;
        ScriptedFilePicker files;
        if (!cancel)
            files.answers << folder.path();
        DrivePicker picker(volumes());
        picker.setDrive(QStringLiteral("/media/stick"));
        picker.setCurrentIndex(picker.count() - 1);
        Q_EMIT picker.activated(picker.count() - 1);
        QCOMPARE(files.requests.size(), 1);
        QCOMPARE(files.requests.at(0).mode, FilePickRequest::Mode::ExistingFolder);
        QCOMPARE(picker.drive(), cancel ? QStringLiteral("/media/stick") : folder.path());
        QCOMPARE(picker.count(), cancel ? 3 : 4);
    }

    // Volumes coming and going while the editor is open: the chosen drive stays while it is
    // there, folders the user chose stay, and a disc that comes is taken when none was chosen.
    void volumesFollowed_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("items");
        const QStringList both {"/media/cdrom:optical", "/media/stick:removable"};
        QTest::newRow("chosen stays when another comes")
            << QStringList {"/media/stick:removable"} << "/media/stick" << both << "/media/stick"
            << 3;
        QTest::newRow("chosen gone: the disc")
            << both << "/media/stick" << QStringList {"/media/cdrom:optical"} << "/media/cdrom"
            << 2;
        QTest::newRow("none chosen: the disc that came")
            << QStringList {"/:fixed"} << "" << QStringList {"/:fixed", "/media/cdrom:optical"}
            << "/media/cdrom" << 3;
        QTest::newRow("all gone: none") << both << "/media/cdrom" << QStringList {} << "" << 1;
    }
    void volumesFollowed()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, chosen);
        QFETCH(QStringList, after);
        QFETCH(QString, expected);
        QFETCH(int, items);
        DrivePicker picker(FixedVolumeSource::volumesOf(before));
        picker.setDrive(chosen);
        picker.updateVolumes(FixedVolumeSource::volumesOf(after));
        QCOMPARE(picker.drive(), expected);
        QCOMPARE(picker.count(), items);
        QCOMPARE(picker.itemText(items - 1), DrivePicker::otherFolderText);
    }

    void folderChosenStaysWhenVolumesChange()
    {
        QTemporaryDir dir;
        DrivePicker picker(FixedVolumeSource::volumesOf({"/media/stick:removable"}));
        picker.setDrive(dir.path());
        picker.updateVolumes(FixedVolumeSource::volumesOf({"/media/cdrom:optical"}));
        QCOMPARE(picker.drive(), dir.path());
        QCOMPARE(picker.count(), 3);
        QCOMPARE(picker.itemText(0), QStringLiteral("/media/cdrom"));
    }
};

QTEST_MAIN(TestDrivePicker)
#include "tst_drivepicker.moc"
