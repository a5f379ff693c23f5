#include "widgets/ErrorBox.h"

#include "store/DbError.h"
#include "widgets/Prompt.h"

#include <QGuiApplication>

void showErrorBox(QWidget *parent, const QString &text)
{
    showErrorBox(parent, text, QString());
}

void showErrorBox(QWidget *parent, const QString &text, const QString &details)
{
    Prompt::instance().message(parent, errorBoxText(text), QStringLiteral("Kodra"),
                               QMessageBox::Critical, QMessageBox::Ok, details);
}

bool runCommand(QWidget *parent, const std::function<void()> &command)
{
    try {
        command();
        return true;
    } catch (const DbError &e) {
        showErrorBox(parent, e.text());
    } catch (const std::exception &e) {
        showErrorBox(parent, QString::fromLocal8Bit(e.what()));
    }
    return false;
}

WaitCursor::WaitCursor()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor()
{
    QGuiApplication::restoreOverrideCursor();
}
