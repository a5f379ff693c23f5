#pragma once

#include <QPointer>
#include <functional>

class QDrag;
class QDropEvent;
class QObject;

// The drag the program is running now. A drop event names its source only while QDrag::exec
// runs the drag; a drag run by a replaced runner still tells its targets where it came from.
class ActiveDrag
{
public:
    // Runs a drag with runner; the drag is the active one meanwhile.
    static void run(QDrag *drag, const std::function<void(QDrag *)> &runner);
    // The object that started the drag an event belongs to, or nullptr for a drag from
    // another program.
    static QObject *source(const QDropEvent *event);
    static QDrag *current() { return s_drag; }

private:
    static QPointer<QDrag> s_drag;
};
