#pragma once

#include "platform/VolumeList.h"

#include <QComboBox>

// eDriveCD: the drives a disk can be read from. The mounted volumes come first, each by its
// mount point with an icon for its kind, then folders the user chose, and last "another
// folder", which asks for any folder (a mounted image, a share, a backup) to read as a drive.
class DrivePicker : public QComboBox
{
    Q_OBJECT

public:
    explicit DrivePicker(QWidget *parent = nullptr);
    // A picker over these volumes instead of the mounted ones.
    DrivePicker(const QList<VolumeList::Volume> &volumes, QWidget *parent = nullptr);

    // The chosen drive: a mount point or a folder; empty when none is chosen.
    QString drive() const;
    // Chooses the item of this drive. A folder that exists and is not listed becomes an item
    // of its own; anything else chooses firstDrive(); an empty text chooses none.
    void setDrive(const QString &drive);
    // The drive to take when none was chosen: the first optical volume, else the first
    // removable one other than "/"; empty when there is neither.
    QString firstDrive() const;

    // The volumes mounted now in place of those listed: folders the user chose stay, the
    // chosen drive stays chosen while it is there; with none chosen, a disc or stick that
    // came is taken.
    void updateVolumes(const QList<VolumeList::Volume> &volumes);

    static const QString otherFolderText;

private:
    void build(const QList<VolumeList::Volume> &volumes);
    void addVolume(int index, const VolumeList::Volume &volume);
    int addFolder(const QString &folder);
    void itemActivated(int index);
    bool isOtherItem(int index) const;

    int m_last = -1;
};
