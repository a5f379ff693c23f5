#pragma once

#include "browser/TAutoTreeNode.h"

struct TDBTreeNode;

// A node of a data-bound tree: an auto tree node that knows the record it shows. The record
// is the tree's (TDBTreeNodes); the tree clears the link before it lets a record go.
class TDBTreeItem : public TAutoTreeNode
{
public:
    TDBTreeNode *record() const { return m_record; }
    void setRecord(TDBTreeNode *record) { m_record = record; }

private:
    TDBTreeNode *m_record = nullptr;
};
