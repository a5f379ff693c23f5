#pragma once

#include <QObject>
#include <QString>
#include <functional>

class DbError;
class QWidget;

// Says in the user's words what an error met by a window's commands means and what to do about
// it; the standard error box then shows that, with the engine's own text in its details. Made
// a child of the window; the box asks the nearest one above the widget it is shown for.
class ErrorExplainer : public QObject
{
    Q_OBJECT

public:
    // The explanation of an error, empty where there is none.
    using Explain = std::function<QString(const DbError &)>;

    ErrorExplainer(QWidget *window, Explain explain);

    // What the nearest explainer above widget (or on it) says; empty without one.
    static QString explain(const QWidget *widget, const DbError &error);

private:
    Explain m_explain;
};
