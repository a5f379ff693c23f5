#include "tests/support/TreeShape.h"

#include <QStringList>
#include <QTreeWidget>

QString treeShape(const QTreeWidgetItem *item)
{
    QString text = item->text(0);
    if (item->childCount() > 0) {
        QStringList children;
        for (int i = 0; i < item->childCount(); ++i)
            children << treeShape(item->child(i));
        text += QLatin1Char('(') + children.join(QLatin1Char(',')) + QLatin1Char(')');
    }
    return text;
}

QString treeShape(const QTreeWidget *tree)
{
    QStringList parts;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        parts << treeShape(tree->topLevelItem(i));
    return parts.join(QLatin1Char(','));
}
