#pragma once

#include "disk/VolumeRecognition.h"

#include <QFrame>

class QLabel;
class QPushButton;
class QToolButton;

// The note over the disk list about one volume in the drive: which catalogued disks it is,
// with "Перейти" and "Перечитать", or that it is not in the catalogue, with "Добавить в
// текущую папку". It asks nothing and writes nothing; its buttons only tell their wish.
class VolumeBar : public QFrame
{
    Q_OBJECT

public:
    explicit VolumeBar(const VolumeRecognition::Volume &volume, QWidget *parent = nullptr);

    const VolumeRecognition::Volume &volume() const { return m_volume; }
    QString mountPoint() const { return m_volume.mountPoint; }

    QLabel *text = nullptr;
    QPushButton *goButton = nullptr; // known: "Перейти"
    QPushButton *rereadButton = nullptr; // known: "Перечитать"
    QPushButton *addButton = nullptr; // unknown: "Добавить в текущую папку"
    QToolButton *closeButton = nullptr;

Q_SIGNALS:
    // The first disk found; the bar names all of them.
    void goRequested(const VolumeRecognition::Disk &disk);
    void rereadRequested(const VolumeRecognition::Disk &disk, const QString &mountPoint);
    void addRequested(const QString &mountPoint, const QString &label);

private:
    VolumeRecognition::Volume m_volume;
};
