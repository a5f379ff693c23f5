#include "browser/TAutoTreeDelegate.h"

#include "browser/TCustomAutoTreeView.h"

#include <QLineEdit>

namespace {
// Set once the tree has filled the editor: later model changes must not undo the typing.
const char *const kPrepared = "kodraPrepared";
} // namespace

TAutoTreeDelegate::TAutoTreeDelegate(TCustomAutoTreeView *tree)
    : QStyledItemDelegate(tree), m_tree(tree)
{ }

QWidget *TAutoTreeDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                         const QModelIndex &index) const
{
    return m_tree->createLabelEditor(parent, index);
}

void TAutoTreeDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *edit = qobject_cast<QLineEdit *>(editor);
    if (!edit || edit->property(kPrepared).toBool())
        return;
    edit->setProperty(kPrepared, true);
    m_tree->prepareLabelEditor(edit, index);
}

void TAutoTreeDelegate::setModelData(QWidget *, QAbstractItemModel *, const QModelIndex &) const { }

void TAutoTreeDelegate::initStyleOption(QStyleOptionViewItem *option,
                                        const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QIcon icon = m_tree->nodeIcon(index);
    if (!icon.isNull()) {
        option->icon = icon;
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->decorationSize = m_tree->iconSize().isValid() ? m_tree->iconSize() : QSize(16, 16);
    }
}
