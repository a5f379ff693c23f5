#include "tests/support/RecordingPrompt.h"

RecordingPrompt::RecordingPrompt()
{
    Prompt::setInstance(this);
}

RecordingPrompt::~RecordingPrompt()
{
    Prompt::setInstance(nullptr);
}

QMessageBox::StandardButton RecordingPrompt::message(QWidget *, const QString &text,
                                                     const QString &caption, QMessageBox::Icon icon,
                                                     QMessageBox::StandardButtons buttons)
{
    shown.append({text, caption, icon, buttons, {}});
    return answer(buttons);
}

QMessageBox::StandardButton RecordingPrompt::detailedMessage(QWidget *, const QString &text,
                                                             const QString &details,
                                                             const QString &caption,
                                                             QMessageBox::Icon icon,
                                                             QMessageBox::StandardButtons buttons)
{
    shown.append({text, caption, icon, buttons, details});
    return answer(buttons);
}

QMessageBox::StandardButton RecordingPrompt::answer(QMessageBox::StandardButtons buttons)
{
    if (!answers.isEmpty())
        return answers.takeFirst();
    if (buttons.testFlag(QMessageBox::Ok))
        return QMessageBox::Ok;
    for (int bit = 0; bit < 32; ++bit) {
        const auto b = QMessageBox::StandardButton(1u << bit);
        if (buttons.testFlag(b))
            return b;
    }
    return QMessageBox::NoButton;
}

bool RecordingPrompt::input(QWidget *, const QString &caption, const QString &label, QString &text)
{
    asked.append({caption, label, text});
    if (inputs.isEmpty())
        return false;
    text = inputs.takeFirst();
    return true;
}
