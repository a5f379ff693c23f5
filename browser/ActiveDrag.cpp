#include "browser/ActiveDrag.h"

#include <QDrag>
#include <QDropEvent>
#include <QScopeGuard>

QPointer<QDrag> ActiveDrag::s_drag;

void ActiveDrag::run(QDrag *drag, const std::function<void(QDrag *)> &runner)
{
    const QPointer<QDrag> outer = s_drag;
    s_drag = drag;
    const QPointer<QDrag> guard(drag);
    const auto end = qScopeGuard([&] {
        s_drag = outer;
        if (guard)
            guard->deleteLater();
    });
    if (runner)
        runner(drag);
}

QObject *ActiveDrag::source(const QDropEvent *event)
{
    if (event && event->source())
        return event->source();
    return s_drag ? s_drag->source() : nullptr;
}
