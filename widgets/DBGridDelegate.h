#pragma once

#include <QStyledItemDelegate>

// In-place editors of a dataset grid: a drop-down of the lookup dataset's names for lookup
// columns, a date edit with a calendar for dates, a line edit sized to the field otherwise.
class DBGridDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

protected:
    // A right-aligned text too long for its cell is cut on its left, so that its end stays in
    // view (the file name of a path).
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private Q_SLOTS:
    void commitSender();
};
