#include "browser/TDBTreeNodes.h"

#include <algorithm>

bool TDBTreeNodes::isNull(const QVariant &value)
{
    return !value.isValid() || value.isNull();
}

int TDBTreeNodes::compare(const QVariant &a, const QVariant &b) const
{
    const bool aNull = isNull(a);
    const bool bNull = isNull(b);
    if (aNull || bNull)
        return aNull == bNull ? 0 : (aNull ? -1 : 1);
    switch (m_keyType) {
    case FieldType::Integer:
    case FieldType::LargeInt:
    case FieldType::Boolean: {
        const qint64 x = a.toLongLong();
        const qint64 y = b.toLongLong();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case FieldType::Float: {
        const double x = a.toDouble();
        const double y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case FieldType::String:
    case FieldType::Memo: {
        const int c = a.toString().compare(b.toString());
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    default:
        break;
    }
    const QPartialOrdering order = QVariant::compare(a, b);
    if (order == QPartialOrdering::Less)
        return -1;
    if (order == QPartialOrdering::Greater)
        return 1;
    if (order == QPartialOrdering::Equivalent)
        return 0;
    // Values of unrelated types: order them by their texts.
    const int c = a.toString().compare(b.toString());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool TDBTreeNodes::same(const QVariant &a, const QVariant &b) const
{
    return compare(a, b) == 0;
}

void TDBTreeNodes::setKeyType(FieldType type)
{
    if (m_keyType == type)
        return;
    m_keyType = type;
    std::stable_sort(m_nodes.begin(), m_nodes.end(),
                     [this](const auto &x, const auto &y) { return compare(x->key, y->key) < 0; });
}

size_t TDBTreeNodes::lowerBound(const QVariant &key) const
{
    size_t low = 0;
    size_t high = m_nodes.size();
    while (low < high) {
        const size_t mid = low + (high - low) / 2;
        if (compare(m_nodes[mid]->key, key) < 0)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

TDBTreeNode *TDBTreeNodes::find(const QVariant &key) const
{
    if (isNull(key))
        return nullptr;
    const size_t pos = lowerBound(key);
    if (pos < m_nodes.size() && compare(m_nodes[pos]->key, key) == 0)
        return m_nodes[pos].get();
    return nullptr;
}

TDBTreeNode *TDBTreeNodes::add(const QVariant &key, const QVariant &parentValue)
{
    if (isNull(key))
        return nullptr;
    // Rows usually come in key order: appending needs no search.
    size_t pos = m_nodes.size();
    if (!m_nodes.empty() && compare(m_nodes.back()->key, key) >= 0)
        pos = lowerBound(key);
    if (pos < m_nodes.size() && compare(m_nodes[pos]->key, key) == 0)
        return m_nodes[pos].get();
    auto node = std::make_unique<TDBTreeNode>();
    node->key = key;
    node->parentValue = parentValue;
    return m_nodes.insert(m_nodes.begin() + std::ptrdiff_t(pos), std::move(node))->get();
}

void TDBTreeNodes::remove(const TDBTreeNode *node)
{
    if (!node)
        return;
    size_t pos = lowerBound(node->key);
    while (pos < m_nodes.size() && m_nodes[pos].get() != node
           && compare(m_nodes[pos]->key, node->key) == 0)
        ++pos;
    if (pos < m_nodes.size() && m_nodes[pos].get() == node)
        m_nodes.erase(m_nodes.begin() + std::ptrdiff_t(pos));
}
