#pragma once

#include <QCollatorSortKey>
#include <QTreeWidgetItem>
#include <optional>

// A node of an auto tree: a caption, a pointer the owning tree keeps with it, and the
// caption's collation key, kept until the caption changes, so sorting compares keys only.
class TAutoTreeNode : public QTreeWidgetItem
{
public:
    static constexpr int Type = QTreeWidgetItem::UserType + 1;

    TAutoTreeNode();

    void *nodeData() const { return m_data; }
    void setNodeData(void *data) { m_data = data; }

    bool operator<(const QTreeWidgetItem &other) const override;
    void setData(int column, int role, const QVariant &value) override;

private:
    const QCollatorSortKey &sortKey() const;

    void *m_data = nullptr;
    mutable std::optional<QCollatorSortKey> m_sortKey;
};
