#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>

class QWidget;

// Watches for modal windows while it lives, also ones opened from within another: each one
// shown is handed once to the handler, which should end it. One still open afterwards, or one
// met without a handler, is closed, so that a test never hangs on a window it did not expect.
class ModalWatch : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void(QWidget *)>;
    explicit ModalWatch(Handler handler = {});
    ~ModalWatch() override;

    // Class names of the modal windows seen, in the order they showed.
    QStringList seen;

private:
    void check();

    Handler m_handler;
    QList<QPointer<QWidget>> m_handled;
};
