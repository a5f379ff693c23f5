#include "disk/ContentTree.h"
#include "disk/DiskReader.h"
#include "disk/DrivePicker.h"
#include "disk/EditorReadWatch.h"
#include "disk/uEdtDisk.h"
#include "disk/uProgress.h"
#include "tests/support/FixedVolumeSource.h"
#include "tests/support/FixtureTree.h"
#include "tests/support/MainWindowFixture.h"
#include "widgets/DBGrid.h"

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace FixtureTree;

// Renders the disk editor and its progress dialog to PNG files in the build folder's
// "pictures", for a person to look at, and checks that they show something.
class TestEditorPictures : public QObject
{
    Q_OBJECT

private:
    static QString picturePath(const QString &name)
    {
        const QString folder = QStringLiteral(KODRA_BINARY_DIR "/pictures");
        QDir().mkpath(folder);
        return folder + QLatin1Char('/') + name;
    }
    // Saved, of the expected size, and not one flat colour.
    static bool saved(const QImage &image, const QString &name)
    {
        if (image.isNull() || !image.save(picturePath(name)))
            return false;
        const QRgb corner = image.pixel(0, 0);
        for (int y = 0; y < image.height(); y += 3) {
            for (int x = 0; x < image.width(); x += 3) {
                if (image.pixel(x, y) != corner)
                    return true;
            }
        }
        return false;
    }

private Q_SLOTS:
    void editorAndProgress()
    {
        QTemporaryDir drive;
        const QByteArray root = QFile::encodeName(drive.path());
        // A long name without blanks: the path in the dialog breaks anywhere.
        const QByteArray bach
            = "Музыка/Иоганн_Себастьян_Бах_Сонаты_и_партиты_для_скрипки_соло_BWV_1001-1006";
        const QList<QByteArray> folders {"Музыка", bach,        "Музыка/Моцарт",
                                         "Фото",   "Фото/2004", "Документы"};
        for (const QByteArray &folder : folders)
            QVERIFY(::mkdir(joined(root, folder).constData(), 0755) == 0);
        for (int i = 1; i <= 40; ++i)
            QVERIFY(writeFile(
                joined(
                    root,
                    "Музыка/Иоганн_Себастьян_Бах_Сонаты_и_партиты_для_скрипки_соло_BWV_1001-1006/"
                    "Партита "
                        + QByteArray::number(i) + ".flac"),
                QByteArray(1000 * i, 'x')));
        QVERIFY(writeFile(joined(root, "Фото/2004/IMG_0001.JPG"), QByteArray(2048, 'j')));
        QVERIFY(writeFile(joined(root, "readme.txt"), "Диск с музыкой"));

        FixedVolumeSource volumes;
        volumes.volumes.insert(drive.path(),
                               {QStringLiteral("Music"), QStringLiteral("1A2B3C4D"), 734003200});
        MainWindowFixture f;
        const QString error = f.start(
            {QStringLiteral("insert into TMAN (FMANID, FNAME) values (501, 'Иванов')"),
             QStringLiteral("insert into TDISK (FDISKID, FFOLDERID, FMANID, FTYPEID, FGROUPID, "
                            "FNAME, FNN, FCOMMENT, FLOCATION, FGETDATE) values (2001, 1001, 1, "
                            "3, 10, 'Классика', 7, 'Бах и Моцарт, записи 2004 года', "
                            "'Полка 2, коробка 3', '2004-03-12')"),
             QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE, FCTRLDATE, "
                            "FRETDATE, FCOMMENT) values (3001, 2001, 501, current_date - 20, "
                            "current_date - 10, current_date - 5, 'вернул поздно')"),
             QStringLiteral("insert into TGIVE (FGIVEID, FDISKID, FMANID, FGIVEDATE, FCTRLDATE) "
                            "values (3002, 2001, 501, current_date - 3, current_date - 1)")});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(f.locateDisk(2001));
        auto editor = f.openEditor();
        editor->eDriveCD->setDrive(drive.path());

        QImage progressPicture;
        QString progressText;
        connect(&editor->reader(), &DiskReader::entryWritten, editor.get(), [&](qint64 entries) {
            if (entries != 30)
                return;
            TfProgress *progress = editor->readWatch().progress();
            progress->flush();
            progressText = progress->lRead->text();
            progressPicture = progress->grab().toImage();
        });
        editor->aReadExecute();
        QVERIFY(f.prompt().shown.isEmpty());
        QVERIFY(progressText.contains(QStringLiteral("Партита")));
        QVERIFY(saved(progressPicture, QStringLiteral("progress-midway.png")));

        // Two levels open: the reading and "Музыка".
        QTreeWidgetItem *reading = editor->tvDisk->topLevelItem(0);
        QVERIFY(reading && reading->isExpanded());
        for (int i = 0; i < reading->childCount(); ++i) {
            if (reading->child(i)->text(0).startsWith(QStringLiteral("Музыка")))
                reading->child(i)->setExpanded(true);
        }
        editor->resize(720, 620);
        // The grid reads the lendings again after the read posted the disk.
        QTRY_COMPARE(editor->DBGridEh1->model()->rowCount(), 2);
        const QImage editorPicture = editor->grab().toImage();
        QVERIFY(saved(editorPicture, QStringLiteral("disk-editor.png")));
        QVERIFY(editorPicture.width() >= 720);
    }
};

QTEST_MAIN(TestEditorPictures)
#include "tst_editorpictures.moc"
