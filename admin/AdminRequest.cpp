#include "admin/AdminRequest.h"

#include "admin/CatalogueService.h"
#include "store/Connection.h"
#include "widgets/ErrorBox.h"
#include "widgets/Prompt.h"

#include <QWidget>

namespace {

// The dialog is disabled while a request runs, and enabled again also when it fails.
class DisabledWhile
{
public:
    explicit DisabledWhile(QWidget *widget) : m_widget(widget) { m_widget->setEnabled(false); }
    ~DisabledWhile() { m_widget->setEnabled(true); }
    DisabledWhile(const DisabledWhile &) = delete;
    DisabledWhile &operator=(const DisabledWhile &) = delete;

private:
    QWidget *m_widget;
};

} // namespace

AdminRequest::AdminRequest(QWidget *dialog, CatalogueService &service, Connection &mainConnection)
    : m_dialog(dialog), m_service(service), m_mainConnection(mainConnection)
{ }

bool AdminRequest::refuse(const QString &text, const QString &caption) const
{
    Prompt::instance().message(m_dialog, text, caption, QMessageBox::Warning, QMessageBox::Ok);
    return false;
}

bool AdminRequest::mayOverwrite(bool exists, const QString &question) const
{
    return !exists
        || Prompt::instance().message(m_dialog, question, QStringLiteral("Перезаписать ?"),
                                      QMessageBox::Warning, QMessageBox::Ok | QMessageBox::Cancel)
        == QMessageBox::Ok;
}

bool AdminRequest::run(const Account &account, const std::function<void(CatalogueService &)> &work,
                       const QString &success, const QString &successCaption) const
{
    const bool ok = runCommand(m_dialog, [&] {
        // The lists close and the connection's work is committed before the server is asked;
        // the windows behind show that before the wait.
        m_mainConnection.close();
        m_dialog->repaint();
        if (QWidget *main = m_dialog->parentWidget())
            main->window()->repaint();
        m_service.attach(account.database, account.userName, account.password);
        WaitCursor wait;
        DisabledWhile disabled(m_dialog);
        m_dialog->repaint();
        work(m_service);
    });
    if (ok)
        Prompt::instance().message(m_dialog, success, successCaption, QMessageBox::NoIcon,
                                   QMessageBox::Ok);
    return ok;
}
