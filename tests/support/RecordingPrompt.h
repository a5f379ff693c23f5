#pragma once

#include "widgets/Prompt.h"

#include <QList>

// Records every message box instead of showing it and answers from a script (OK, or the
// first of the offered buttons, when the script is empty). Installs itself while it lives.
class RecordingPrompt : public Prompt
{
public:
    struct Shown
    {
        QString text;
        QString caption;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
    };

    RecordingPrompt();
    ~RecordingPrompt() override;

    QMessageBox::StandardButton message(QWidget *parent, const QString &text,
                                        const QString &caption, QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons) override;

    QList<Shown> shown;
    QList<QMessageBox::StandardButton> answers;
};
