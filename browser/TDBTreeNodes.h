#pragma once

#include "browser/TDBTreeNode.h"
#include "store/FieldType.h"

#include <memory>
#include <vector>

// The records of a data-bound tree, ordered by key (ascending) and found by bisection. Keys
// compare as values of the key field's type; a null key is never stored and never matches.
class TDBTreeNodes
{
public:
    TDBTreeNodes() = default;
    TDBTreeNodes(const TDBTreeNodes &) = delete;
    TDBTreeNodes &operator=(const TDBTreeNodes &) = delete;

    FieldType keyType() const { return m_keyType; }
    // Changing the type re-orders the records held.
    void setKeyType(FieldType type);

    int count() const { return int(m_nodes.size()); }
    bool isEmpty() const { return m_nodes.empty(); }
    TDBTreeNode *at(int index) const { return m_nodes[size_t(index)].get(); }

    TDBTreeNode *find(const QVariant &key) const;
    // A new record for a key not held yet (nullptr for a null key).
    TDBTreeNode *add(const QVariant &key, const QVariant &parentValue);
    void remove(const TDBTreeNode *node);
    void clear() { m_nodes.clear(); }

    // -1, 0 or 1 as values of the key type; nulls sort first.
    int compare(const QVariant &a, const QVariant &b) const;
    // Equal values, or both null.
    bool same(const QVariant &a, const QVariant &b) const;
    static bool isNull(const QVariant &value);

private:
    // First position whose key is not less than key.
    size_t lowerBound(const QVariant &key) const;

    FieldType m_keyType = FieldType::Unknown;
    std::vector<std::unique_ptr<TDBTreeNode>> m_nodes;
};
