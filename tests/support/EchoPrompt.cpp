#include "tests/support/EchoPrompt.h"

#include <cstdio>

namespace {

void say(const QString &line)
{
    // One line each, the text's own line breaks shown as spaces.
    QString flat = line;
    flat.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fputs(qPrintable(flat + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

} // namespace

EchoPrompt::EchoPrompt()
{
    Prompt::setInstance(this);
}

EchoPrompt::~EchoPrompt()
{
    Prompt::setInstance(nullptr);
}

QMessageBox::StandardButton EchoPrompt::message(QWidget *parent, const QString &text,
                                                const QString &caption, QMessageBox::Icon icon,
                                                QMessageBox::StandardButtons buttons,
                                                const QString &details)
{
    say(QStringLiteral("message: ") + text);
    if (!details.isEmpty())
        say(QStringLiteral("details: ") + details);
    const QMessageBox::StandardButton answer
        = MessageBoxPrompt::message(parent, text, caption, icon, buttons, details);
    say(QStringLiteral("answer: ") + QString::number(int(answer), 16));
    return answer;
}

bool EchoPrompt::input(QWidget *parent, const QString &caption, const QString &label, QString &text)
{
    say(QStringLiteral("input: ") + caption);
    const bool ok = MessageBoxPrompt::input(parent, caption, label, text);
    say(ok ? QStringLiteral("input answered") : QStringLiteral("input cancelled"));
    return ok;
}
