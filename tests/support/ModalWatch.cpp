#include "tests/support/ModalWatch.h"

#include <QApplication>
#include <QDialog>
#include <QWidget>

ModalWatch::ModalWatch(Handler handler) : m_handler(std::move(handler))
{
    QTimer::singleShot(10, this, &ModalWatch::check);
}

ModalWatch::~ModalWatch() = default;

void ModalWatch::check()
{
    // A new timer each time: a timer does not fire again while its slot runs, and a window
    // opened from within the handler has to be met from the loop it runs in.
    QTimer::singleShot(10, this, &ModalWatch::check);
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    for (const QPointer<QWidget> &done : std::as_const(m_handled)) {
        if (done == modal)
            return;
    }
    m_handled << QPointer<QWidget>(modal);
    seen << QString::fromLatin1(modal->metaObject()->className());
    const QPointer<QWidget> guard(modal);
    if (m_handler)
        m_handler(modal);
    if (guard && guard->isVisible()) {
        if (auto *dialog = qobject_cast<QDialog *>(guard.data()))
            dialog->reject();
        else
            guard->close();
    }
}
