#include "browser/ActiveDrag.h"

#include <QDrag>
#include <QDropEvent>
#include <QScopeGuard>

QPointer<QDrag> ActiveDrag::s_drag;

void ActiveDrag::run(QDrag *drag, const std::function<void(QDrag *)> &runner)
{
    // QDrag::exec disposes of the drag itself; its parent takes one that never ran.
    const QPointer<QDrag> outer = s_drag;
    s_drag = drag;
    const auto end = qScopeGuard([&outer] { s_drag = outer; });
    if (runner)
        runner(drag);
}

QObject *ActiveDrag::source(const QDropEvent *event)
{
    if (event && event->source())
        return event->source();
    return s_drag ? s_drag->source() : nullptr;
}
