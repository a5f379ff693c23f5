#pragma once

#include <QModelIndex>
#include <QString>

class QAbstractItemModel;

// A tree as text: captions in display order, children in brackets, e.g. "A(B,C(D)),E".
QString treeShape(const QAbstractItemModel *model, const QModelIndex &parent = {});
