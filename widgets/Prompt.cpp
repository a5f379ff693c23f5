#include "widgets/Prompt.h"

#include <QInputDialog>

namespace {
Prompt *g_current = nullptr;
} // namespace

Prompt &Prompt::instance()
{
    static MessageBoxPrompt real;
    return g_current ? *g_current : real;
}

void Prompt::setInstance(Prompt *prompt)
{
    g_current = prompt;
}

QMessageBox::StandardButton Prompt::detailedMessage(QWidget *parent, const QString &text,
                                                    const QString &details, const QString &caption,
                                                    QMessageBox::Icon icon,
                                                    QMessageBox::StandardButtons buttons)
{
    return message(parent, details.isEmpty() ? text : text + QStringLiteral("\n\n") + details,
                   caption, icon, buttons);
}

QMessageBox::StandardButton MessageBoxPrompt::message(QWidget *parent, const QString &text,
                                                      const QString &caption,
                                                      QMessageBox::Icon icon,
                                                      QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, caption, text, buttons, parent);
    return QMessageBox::StandardButton(box.exec());
}

bool MessageBoxPrompt::input(QWidget *parent, const QString &caption, const QString &label,
                             QString &text)
{
    bool ok = false;
    const QString answer
        = QInputDialog::getText(parent, caption, label, QLineEdit::Normal, text, &ok);
    if (ok)
        text = answer;
    return ok;
}

QMessageBox::StandardButton MessageBoxPrompt::detailedMessage(QWidget *parent, const QString &text,
                                                              const QString &details,
                                                              const QString &caption,
                                                              QMessageBox::Icon icon,
                                                              QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, caption, text, buttons, parent);
    box.setDetailedText(details);
    return QMessageBox::StandardButton(box.exec());
}
