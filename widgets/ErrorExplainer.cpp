#include "widgets/ErrorExplainer.h"

#include <QWidget>

ErrorExplainer::ErrorExplainer(QWidget *window, Explain explain)
    : QObject(window), m_explain(std::move(explain))
{ }

QString ErrorExplainer::explain(const QWidget *widget, const DbError &error)
{
    for (const QObject *o = widget; o; o = o->parent()) {
        if (const auto *explainer
            = o->findChild<const ErrorExplainer *>(QString(), Qt::FindDirectChildrenOnly)) {
            const QString text = explainer->m_explain(error);
            if (!text.isEmpty())
                return text;
        }
    }
    return QString();
}
