#pragma once

#include <QList>
#include <QString>

class Connection;

// Which catalogued disks a mounted volume is: by its serial number, or, for a volume without
// one, by its label together with the text of the root entry a read of that mount point
// writes. Nothing is written to the catalogue.
class VolumeRecognition
{
public:
    struct Disk
    {
        int diskId = 0;
        int folderId = 0;
        QString name;
        QString folderPath; // the folder names from the top, joined by "/"
    };

    struct Volume
    {
        QString mountPoint;
        QString label; // upper-cased as the disk reader stores it
        QString serial;
        QList<Disk> disks; // in the order of the disk list: folder path, number, name
    };

    // Reads the label and serial as the disk reader does (VolumeSource) and looks them up.
    static Volume recognise(Connection &connection, const QString &mountPoint);
    static QList<Disk> disksFor(Connection &connection, const QString &mountPoint,
                                const QString &label, const QString &serial);
    static QString folderPath(Connection &connection, int folderId);

    // The bar's text: which disks the volume in the drive is, or that it is unknown.
    static QString describe(const Volume &volume);
};
