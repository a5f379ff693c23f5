#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

// Every message box of the program goes through the current prompt, so that tests can record
// what would be shown and script the answer.
class Prompt
{
public:
    virtual ~Prompt() = default;

    // details: text the box keeps behind its "details" button (the engine's own words).
    virtual QMessageBox::StandardButton
    message(QWidget *parent, const QString &text, const QString &caption, QMessageBox::Icon icon,
            QMessageBox::StandardButtons buttons, const QString &details = QString())
        = 0;
    // An input box; false when the user cancelled, text then unchanged.
    virtual bool input(QWidget *parent, const QString &caption, const QString &label, QString &text)
        = 0;

    static Prompt &instance();
    // Replaces the current prompt (nullptr restores the real one); the caller keeps ownership.
    static void setInstance(Prompt *prompt);
};

// The real prompt: a modal QMessageBox.
class MessageBoxPrompt : public Prompt
{
public:
    QMessageBox::StandardButton message(QWidget *parent, const QString &text,
                                        const QString &caption, QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons,
                                        const QString &details = QString()) override;
    bool input(QWidget *parent, const QString &caption, const QString &label,
               QString &text) override;
};
