#pragma once

#include "widgets/Prompt.h"

// The real message and input boxes, each told on stdout with its answer ("message: <text>",
// "answer: <button>", "input: <caption>", "input answered" or "input cancelled"), for a test
// that runs the program as a child process. Installs itself while it lives.
class EchoPrompt : public MessageBoxPrompt
{
public:
    EchoPrompt();
    ~EchoPrompt() override;

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
