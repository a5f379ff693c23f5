#include "widgets/ErrorBox.h"

#include "store/DbError.h"
#include "widgets/ErrorExplainer.h"
#include "widgets/Prompt.h"

#include <QGuiApplication>

void showErrorBox(QWidget *parent, const QString &text)
{
    Prompt::instance().message(parent, errorBoxText(text), QStringLiteral("Kodra"),
                               QMessageBox::Critical, QMessageBox::Ok);
}

void showErrorBox(QWidget *parent, const QString &text, const QString &details)
{
    Prompt::instance().detailedMessage(parent, errorBoxText(text), details, QStringLiteral("Kodra"),
                                       QMessageBox::Critical, QMessageBox::Ok);
}

bool runCommand(QWidget *parent, const std::function<void()> &command)
{
    try {
        command();
        return true;
    } catch (const DbError &e) {
        const QString explained = ErrorExplainer::explain(parent, e);
        if (explained.isEmpty())
            showErrorBox(parent, e.text());
        else
            showErrorBox(parent, explained, errorBoxText(e.text()));
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
