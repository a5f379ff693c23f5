#pragma once

#include <QString>
#include <functional>

class QWidget;

// The standard error box: the error's text with a full stop where it lacks one, caption
// "Kodra", a stop icon and an OK button.
void showErrorBox(QWidget *parent, const QString &text);
// The same box with a sentence for the user and the engine's own text behind "details".
void showErrorBox(QWidget *parent, const QString &text, const QString &details);

// Runs a command; an error it does not handle stops it and is shown in the standard error
// box, explained where the window has an ErrorExplainer for it. Returns false when the command
// failed. No exception leaves this function.
bool runCommand(QWidget *parent, const std::function<void()> &command);

// The hourglass while it lives, the normal cursor afterwards, also on failure.
class WaitCursor
{
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};
