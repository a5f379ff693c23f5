#pragma once

#include <QStyledItemDelegate>

class TCustomAutoTreeView;

// Draws a node with the image its tree chooses and edits a label in a line edit that the
// tree prepares; the tree itself takes the edited text, the model is never written here.
class TAutoTreeDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit TAutoTreeDelegate(TCustomAutoTreeView *tree);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;

    // The option a node is drawn with (for the label's rectangle).
    void styleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
    {
        initStyleOption(option, index);
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    TCustomAutoTreeView *m_tree;
};
