#pragma once

#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

// A tree as text: captions in display order, children in brackets, e.g. "A(B,C(D)),E".
QString treeShape(const QTreeWidget *tree);
QString treeShape(const QTreeWidgetItem *item);
