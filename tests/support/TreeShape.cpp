#include "tests/support/TreeShape.h"

#include <QAbstractItemModel>
#include <QStringList>

QString treeShape(const QAbstractItemModel *model, const QModelIndex &parent)
{
    QStringList parts;
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        QString text = index.data().toString();
        if (model->rowCount(index) > 0)
            text += QLatin1Char('(') + treeShape(model, index) + QLatin1Char(')');
        parts << text;
    }
    return parts.join(QLatin1Char(','));
}
