#include "browser/FolderTreeDelegate.h"

#include "browser/FolderTreeModel.h"
#include "browser/TDBTreeView.h"
#include "widgets/ErrorBox.h"

#include <QApplication>
#include <QLineEdit>

namespace {
// Set once the editor holds the name: later changes of the row must not undo the typing.
const char *const kPrepared = "kodraPrepared";
} // namespace

FolderTreeDelegate::FolderTreeDelegate(TDBTreeView *tree) : QStyledItemDelegate(tree), m_tree(tree)
{ }

QWidget *FolderTreeDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                          const QModelIndex &index) const
{
    if (m_editor)
        return nullptr;
    FolderTreeModel *model = m_tree->folderModel();
    runCommand(m_tree, [model, &index] { model->startRename(index); });
    auto *editor = new QLineEdit(parent);
    connect(editor, &QLineEdit::inputRejected, editor, [] { QApplication::beep(); });
    m_editor = editor;
    m_edited = index;
    return editor;
}

void FolderTreeDelegate::editorClosed(const QWidget *editor)
{
    if (editor == m_editor)
        m_editor = nullptr;
}

void FolderTreeDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *edit = qobject_cast<QLineEdit *>(editor);
    if (!edit || edit->property(kPrepared).toBool())
        return;
    edit->setProperty(kPrepared, true);
    edit->setText(index.data(Qt::EditRole).toString());
    const QVariant maxLength = index.data(FolderTreeModel::MaxLengthRole);
    if (maxLength.isValid())
        edit->setMaxLength(maxLength.toInt());
}

void FolderTreeDelegate::initStyleOption(QStyleOptionViewItem *option,
                                         const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QIcon icon = m_tree->imageOf(index);
    if (!icon.isNull()) {
        option->icon = icon;
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->decorationSize = m_tree->iconSize().isValid() ? m_tree->iconSize() : QSize(16, 16);
    }
    if (m_tree->isDropHighlighted(index))
        option->state |= QStyle::State_Selected;
}
