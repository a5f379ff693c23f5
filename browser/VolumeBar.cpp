#include "browser/VolumeBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

VolumeBar::VolumeBar(const VolumeRecognition::Volume &volume, QWidget *parent)
    : QFrame(parent), m_volume(volume)
{
    setObjectName(QStringLiteral("volumeBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    // The tooltip colours are the theme's own pair for a note that stands out.
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::ToolTipBase));
    colours.setColor(QPalette::WindowText, colours.color(QPalette::ToolTipText));
    setPalette(colours);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 3, 3);
    text = new QLabel(VolumeRecognition::describe(volume), this);
    text->setObjectName(QStringLiteral("volumeText"));
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(text, 1);

    if (!volume.disks.isEmpty()) {
        const VolumeRecognition::Disk first = volume.disks.first();
        goButton = new QPushButton(QStringLiteral("Перейти"), this);
        goButton->setObjectName(QStringLiteral("volumeGo"));
        rereadButton = new QPushButton(QStringLiteral("Перечитать"), this);
        rereadButton->setObjectName(QStringLiteral("volumeReread"));
        layout->addWidget(goButton);
        layout->addWidget(rereadButton);
        connect(goButton, &QPushButton::clicked, this,
                [this, first] { Q_EMIT goRequested(first); });
        connect(rereadButton, &QPushButton::clicked, this,
                [this, first] { Q_EMIT rereadRequested(first, m_volume.mountPoint); });
    } else {
        addButton = new QPushButton(QStringLiteral("Добавить в текущую папку"), this);
        addButton->setObjectName(QStringLiteral("volumeAdd"));
        layout->addWidget(addButton);
        connect(addButton, &QPushButton::clicked, this,
                [this] { Q_EMIT addRequested(m_volume.mountPoint, m_volume.label); });
    }
    closeButton = new QToolButton(this);
    closeButton->setObjectName(QStringLiteral("volumeClose"));
    closeButton->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    closeButton->setAutoRaise(true);
    closeButton->setToolTip(QStringLiteral("Закрыть"));
    closeButton->setAccessibleName(QStringLiteral("Закрыть"));
    layout->addWidget(closeButton);
    connect(closeButton, &QToolButton::clicked, this, &QObject::deleteLater);
}
