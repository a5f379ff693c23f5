#pragma once

#include <QString>
#include <QVariant>

class QTreeWidgetItem;

// What a data-bound tree keeps for one node: the row's key and the parent value last seen,
// the visual node, the hint text (the list field's text last seen), and two flags: the row was
// seen in the current scan, the record has been deleted.
struct TDBTreeNode
{
    QVariant key;
    QVariant parentValue;
    QTreeWidgetItem *node = nullptr;
    QString hint;
    bool seen = false;
    bool deleted = false;
};
