#pragma once

#include <QCollatorSortKey>
#include <QTreeWidgetItem>
#include <optional>

// A node of an auto tree: a caption and its collation key, kept until the caption changes, so
// sorting compares keys only.
class TAutoTreeNode : public QTreeWidgetItem
{
public:
    static constexpr int Type = QTreeWidgetItem::UserType + 1;

    TAutoTreeNode();

    bool operator<(const QTreeWidgetItem &other) const override;
    void setData(int column, int role, const QVariant &value) override;

private:
    const QCollatorSortKey &sortKey() const;

    mutable std::optional<QCollatorSortKey> m_sortKey;
};
