#pragma once

#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QStyledItemDelegate>

class TDBTreeView;

// Draws a folder with the image its tree chooses (the drop target of a drag as selected) and
// renames it in a line edit limited to the name column's length; starting an edit puts the
// dataset into edit mode.
class FolderTreeDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit FolderTreeDelegate(TDBTreeView *tree);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;

    // The editor open now, and the folder it renames.
    QLineEdit *editor() const { return m_editor; }
    QModelIndex editedIndex() const { return m_editor ? QModelIndex(m_edited) : QModelIndex(); }
    // The view closes an editor before it is deleted: it is no longer the open one.
    void editorClosed(const QWidget *editor);

    // The option a folder is drawn with (for the label's rectangle).
    void styleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
    {
        initStyleOption(option, index);
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    TDBTreeView *m_tree;
    mutable QPointer<QLineEdit> m_editor;
    mutable QPersistentModelIndex m_edited;
};
