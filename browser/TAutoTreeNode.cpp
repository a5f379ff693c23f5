#include "browser/TAutoTreeNode.h"

#include "browser/TCustomAutoTreeView.h"

namespace {

// Sorting happens only inside a tree; a detached node compares with the locale's rules.
const QCollator &collatorOf(const QTreeWidget *view)
{
    if (const auto *tree = qobject_cast<const TCustomAutoTreeView *>(view))
        return tree->collator();
    static const QCollator fallback;
    return fallback;
}

} // namespace

TAutoTreeNode::TAutoTreeNode() : QTreeWidgetItem(Type)
{
    setFlags(flags() | Qt::ItemIsEditable);
}

const QCollatorSortKey &TAutoTreeNode::sortKey() const
{
    if (!m_sortKey)
        m_sortKey = collatorOf(treeWidget()).sortKey(text(0));
    return *m_sortKey;
}

bool TAutoTreeNode::operator<(const QTreeWidgetItem &other) const
{
    if (other.type() == Type)
        return sortKey().compare(static_cast<const TAutoTreeNode &>(other).sortKey()) < 0;
    return collatorOf(treeWidget()).compare(text(0), other.text(0)) < 0;
}

void TAutoTreeNode::setData(int column, int role, const QVariant &value)
{
    if (column == 0 && (role == Qt::DisplayRole || role == Qt::EditRole))
        m_sortKey.reset();
    QTreeWidgetItem::setData(column, role, value);
}
