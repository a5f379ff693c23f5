#include "disk/DrivePicker.h"

#include "disk/VolumeSource.h"
#include "widgets/FilePicker.h"

#include <QDir>
#include <QFileInfo>
#include <QStyle>

const QString DrivePicker::otherFolderText = QStringLiteral("Другая папка...");

namespace {
constexpr int kOtherRole = Qt::UserRole + 1;
constexpr int kKindRole = Qt::UserRole + 2;

QStyle::StandardPixmap pixmapOf(VolumeList::Kind kind)
{
    switch (kind) {
    case VolumeList::Kind::Removable:
        return QStyle::SP_DriveFDIcon;
    case VolumeList::Kind::Optical:
        return QStyle::SP_DriveCDIcon;
    case VolumeList::Kind::Fixed:
    case VolumeList::Kind::Ram:
        break;
    }
    return QStyle::SP_DriveHDIcon;
}

QString cleanFolder(const QString &folder)
{
    return QDir::cleanPath(folder);
}
} // namespace

DrivePicker::DrivePicker(QWidget *parent) : DrivePicker(VolumeSource::instance().drives(), parent)
{ }

DrivePicker::DrivePicker(const QList<VolumeList::Volume> &volumes, QWidget *parent)
    : QComboBox(parent)
{
    setObjectName(QStringLiteral("eDriveCD"));
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(20);
    build(volumes);
    connect(this, &QComboBox::activated, this, &DrivePicker::itemActivated);
    // A long path does not fit the box: the tooltip shows it whole.
    connect(this, &QComboBox::currentIndexChanged, this, [this] { setToolTip(drive()); });
}

void DrivePicker::build(const QList<VolumeList::Volume> &volumes)
{
    for (const VolumeList::Volume &volume : volumes)
        addVolume(count(), volume);
    addItem(style()->standardIcon(QStyle::SP_DirOpenIcon), otherFolderText);
    setItemData(count() - 1, true, kOtherRole);
    setCurrentIndex(-1);
}

void DrivePicker::addVolume(int index, const VolumeList::Volume &volume)
{
    insertItem(index, style()->standardIcon(pixmapOf(volume.kind)), volume.mountPoint,
               volume.mountPoint);
    setItemData(index, int(volume.kind), kKindRole);
}

void DrivePicker::updateVolumes(const QList<VolumeList::Volume> &volumes)
{
    const QString chosen = drive();
    // Volumes lead the list; the folders chosen and "another folder" follow.
    while (count() > 0 && itemData(0, kKindRole).isValid())
        removeItem(0);
    for (int i = 0; i < volumes.size(); ++i) {
        const int folder = findData(volumes[i].mountPoint);
        if (folder >= 0)
            removeItem(folder);
        addVolume(i, volumes[i]);
    }
    int index = chosen.isEmpty() ? -1 : findData(chosen);
    if (index < 0) {
        const QString first = firstDrive();
        index = first.isEmpty() ? -1 : findData(first);
    }
    setCurrentIndex(index);
    m_last = index;
}

bool DrivePicker::isOtherItem(int index) const
{
    return itemData(index, kOtherRole).toBool();
}

QString DrivePicker::drive() const
{
    const int index = currentIndex();
    if (index < 0 || isOtherItem(index))
        return {};
    return itemData(index).toString();
}

int DrivePicker::addFolder(const QString &folder)
{
    const QString path = cleanFolder(folder);
    const int existing = findData(path);
    if (existing >= 0)
        return existing;
    const int index = count() - 1; // before "another folder"
    insertItem(index, style()->standardIcon(QStyle::SP_DirIcon), path, path);
    return index;
}

QString DrivePicker::firstDrive() const
{
    // Only media: "/" or any fixed or RAM disk read by mistake would put the whole system
    // into the user's disk.
    for (const VolumeList::Kind kind : {VolumeList::Kind::Optical, VolumeList::Kind::Removable}) {
        for (int i = 0; i < count(); ++i) {
            const QVariant itemKind = itemData(i, kKindRole);
            const QString mountPoint = itemData(i).toString();
            if (itemKind.isValid() && itemKind.toInt() == int(kind)
                && mountPoint != QLatin1String("/"))
                return mountPoint;
        }
    }
    return {};
}

void DrivePicker::setDrive(const QString &drive)
{
    if (drive.isEmpty()) {
        setCurrentIndex(-1);
        m_last = -1;
        return;
    }
    int index = findData(cleanFolder(drive));
    if (index < 0 && QDir::isAbsolutePath(drive) && QFileInfo(drive).isDir())
        index = addFolder(drive);
    if (index < 0) {
        const QString first = firstDrive();
        index = first.isEmpty() ? -1 : findData(first);
    }
    setCurrentIndex(index);
    m_last = index;
}

void DrivePicker::itemActivated(int index)
{
    if (!isOtherItem(index)) {
        m_last = index;
        return;
    }
    FilePickRequest request;
    request.title = otherFolderText;
    request.folder = m_last >= 0 ? itemData(m_last).toString() : QDir::homePath();
    request.mode = FilePickRequest::Mode::ExistingFolder;
    const QString folder = FilePicker::instance().pick(window(), request);
    if (folder.isEmpty()) {
        setCurrentIndex(m_last);
        return;
    }
    m_last = addFolder(folder);
    setCurrentIndex(m_last);
}
