#pragma once

#include "widgets/Prompt.h"

#include <QList>
#include <QStringList>

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
        QString details; // behind the box's "Show Details..."
    };

    RecordingPrompt();
    ~RecordingPrompt() override;

    QMessageBox::StandardButton message(QWidget *parent, const QString &text,
                                        const QString &caption, QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons,
                                        const QString &details = QString()) override;
    // Records the input box and answers with the next scripted text; none left: cancelled.
    bool input(QWidget *parent, const QString &caption, const QString &label,
               QString &text) override;

    QList<Shown> shown;
    QList<QMessageBox::StandardButton> answers;

    struct Asked
    {
        QString caption;
        QString label;
        QString initial;
    };
    QList<Asked> asked;
    QStringList inputs;
};
