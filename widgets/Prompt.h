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

    virtual QMessageBox::StandardButton message(QWidget *parent, const QString &text,
                                                const QString &caption, QMessageBox::Icon icon,
                                                QMessageBox::StandardButtons buttons)
        = 0;
    // An input box; false when the user cancelled, text then unchanged.
    virtual bool input(QWidget *parent, const QString &caption, const QString &label, QString &text)
        = 0;
    // A message with more behind it (the engine's own text) shown on request. By default the
    // details follow the text.
    virtual QMessageBox::StandardButton detailedMessage(QWidget *parent, const QString &text,
                                                        const QString &details,
                                                        const QString &caption,
                                                        QMessageBox::Icon icon,
                                                        QMessageBox::StandardButtons buttons);

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
                                        QMessageBox::StandardButtons buttons) override;
    bool input(QWidget *parent, const QString &caption, const QString &label,
               QString &text) override;
    QMessageBox::StandardButton detailedMessage(QWidget *parent, const QString &text,
                                                const QString &details, const QString &caption,
                                                QMessageBox::Icon icon,
                                                QMessageBox::StandardButtons buttons) override;
};
