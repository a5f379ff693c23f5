#include "widgets/Prompt.h"

#include <QAbstractButton>
#include <QInputDialog>
#include <utility>

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

QMessageBox::StandardButton MessageBoxPrompt::message(QWidget *parent, const QString &text,
                                                      const QString &caption,
                                                      QMessageBox::Icon icon,
                                                      QMessageBox::StandardButtons buttons,
                                                      const QString &details)
{
    QMessageBox box(icon, caption, text, buttons, parent);
    box.setDetailedText(details);
    // The buttons in the program's language, whatever translations are installed.
    const std::pair<QMessageBox::StandardButton, const char *> names[]
        = {{QMessageBox::Ok, "OK"},
           {QMessageBox::Cancel, "Отмена"},
           {QMessageBox::Yes, "Да"},
           {QMessageBox::No, "Нет"},
           {QMessageBox::Abort, "Прервать"},
           {QMessageBox::Retry, "Повторить"},
           {QMessageBox::Ignore, "Пропустить"},
           {QMessageBox::Close, "Закрыть"}};
    for (const auto &[button, name] : names) {
        if (QAbstractButton *b = box.button(button))
            b->setText(QString::fromUtf8(name));
    }
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
