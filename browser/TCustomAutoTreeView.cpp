#include "browser/TCustomAutoTreeView.h"

#include "browser/TAutoTreeDelegate.h"
#include "browser/TAutoTreeNode.h"
#include "widgets/IconSet.h"

#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QToolTip>

TCustomAutoTreeView::TCustomAutoTreeView(QWidget *parent)
    : QTreeWidget(parent), m_delegate(new TAutoTreeDelegate(this)), m_images(folderImages())
{
    m_collator.setCaseSensitivity(Qt::CaseSensitive);
    setItemDelegate(m_delegate);
    setColumnCount(1);
    setHeaderHidden(true);
    setIndentation(19);
    setIconSize(QSize(16, 16));
    // One row height for all nodes keeps scrolling a long tree cheap.
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
}

TCustomAutoTreeView::~TCustomAutoTreeView() = default;

QList<QIcon> TCustomAutoTreeView::folderImages()
{
    QList<QIcon> images(6);
    for (int index : {IconSet::FolderMarked, IconSet::FolderOpen, IconSet::FolderClosed}) {
        const QIcon source = IconSet::icon(index);
        QIcon icon;
        // The selected node's image is drawn as it is, not tinted.
        for (const QSize size : {QSize(16, 16), QSize(32, 32)}) {
            const QPixmap pixmap = source.pixmap(size);
            icon.addPixmap(pixmap, QIcon::Normal);
            icon.addPixmap(pixmap, QIcon::Selected);
        }
        images[index] = icon;
    }
    return images;
}

void TCustomAutoTreeView::setSortType(SortType type)
{
    m_sortType = type;
    if (sortsNow())
        sortItems(0, Qt::AscendingOrder);
}

void TCustomAutoTreeView::releaseSorting()
{
    if (m_sortHold > 0 && --m_sortHold == 0 && m_sortType == SortType::Text)
        sortItems(0, Qt::AscendingOrder);
}

void TCustomAutoTreeView::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    setEditTriggers(readOnly
                        ? QAbstractItemView::NoEditTriggers
                        : QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    if (readOnly)
        cancelLabelEdit();
}

void TCustomAutoTreeView::setImages(const QList<QIcon> &images)
{
    m_images = images;
    viewport()->update();
}

void TCustomAutoTreeView::setSelectedIndex(int index)
{
    m_selectedIndex = index;
    viewport()->update();
}

int TCustomAutoTreeView::imageIndex(QTreeWidgetItem *, bool expanded) const
{
    return expanded ? IconSet::FolderOpen : IconSet::FolderClosed;
}

int TCustomAutoTreeView::imageIndexOf(QTreeWidgetItem *node) const
{
    const QModelIndex index = indexFromItem(node);
    if (!index.isValid())
        return -1;
    if (index == currentIndex() && m_selectedIndex >= 0)
        return m_selectedIndex;
    return imageIndex(node, isExpanded(index));
}

QIcon TCustomAutoTreeView::nodeIcon(const QModelIndex &index) const
{
    const int image = imageIndexOf(itemFromIndex(index));
    return image >= 0 && image < m_images.size() ? m_images[image] : QIcon();
}

void TCustomAutoTreeView::setNodeText(QTreeWidgetItem *node, const QString &text)
{
    if (!node || node->text(0) == text)
        return;
    node->setText(0, text);
    sortSiblings(node);
}

void TCustomAutoTreeView::sortSiblings(QTreeWidgetItem *node)
{
    if (!sortsNow() || !node || node->treeWidget() != this)
        return;
    QTreeWidgetItem *parent = node->parent() ? node->parent() : invisibleRootItem();
    parent->sortChildren(0, Qt::AscendingOrder);
}

bool TCustomAutoTreeView::isDescendant(const QTreeWidgetItem *node, const QTreeWidgetItem *ancestor)
{
    if (!node || !ancestor)
        return false;
    for (const QTreeWidgetItem *p = node->parent(); p; p = p->parent()) {
        if (p == ancestor)
            return true;
    }
    return false;
}

QList<QTreeWidgetItem *> TCustomAutoTreeView::preOrder(QTreeWidgetItem *node)
{
    QList<QTreeWidgetItem *> list;
    if (!node)
        return list;
    QList<QTreeWidgetItem *> stack {node};
    while (!stack.isEmpty()) {
        QTreeWidgetItem *item = stack.takeLast();
        list.append(item);
        for (int i = item->childCount() - 1; i >= 0; --i)
            stack.append(item->child(i));
    }
    return list;
}

void TCustomAutoTreeView::relink(QTreeWidgetItem *node, QTreeWidgetItem *newParent,
                                 int topLevelIndex)
{
    QScopedValueRollback<bool> moving(m_moving, true);
    if (m_editor && (m_editNode == node || isDescendant(m_editNode, node)))
        cancelLabelEdit();
    QTreeWidgetItem *current = currentItem();
    const bool keepCurrent = current && (current == node || isDescendant(current, node));
    if (QTreeWidgetItem *parent = node->parent())
        parent->takeChild(parent->indexOfChild(node));
    else
        takeTopLevelItem(topLevelIndex >= 0 ? topLevelIndex : indexOfTopLevelItem(node));
    if (newParent)
        newParent->addChild(node);
    else
        addTopLevelItem(node);
    if (keepCurrent)
        setCurrentItem(current);
}

void TCustomAutoTreeView::moveNode(QTreeWidgetItem *node, QTreeWidgetItem *newParent)
{
    if (!node || node == newParent || isDescendant(newParent, node))
        return;
    relink(node, newParent, -1);
}

void TCustomAutoTreeView::moveTopLevelNode(int index, QTreeWidgetItem *newParent)
{
    QTreeWidgetItem *node = topLevelItem(index);
    if (!node || node == newParent || isDescendant(newParent, node))
        return;
    relink(node, newParent, index);
}

void TCustomAutoTreeView::removeNodeItem(QTreeWidgetItem *node)
{
    if (!node)
        return;
    if (m_editor && (m_editNode == node || isDescendant(m_editNode, node)))
        cancelLabelEdit();
    delete node;
}

void TCustomAutoTreeView::deleteNode(QTreeWidgetItem *node)
{
    removeNodeItem(node);
}

void TCustomAutoTreeView::deleteKeyPressed(QTreeWidgetItem *node)
{
    deleteNode(node);
}

bool TCustomAutoTreeView::labelEditStarting(QTreeWidgetItem *)
{
    return true;
}

void TCustomAutoTreeView::initLabelEditor(QTreeWidgetItem *node, QLineEdit *editor)
{
    editor->setText(node->text(0));
}

void TCustomAutoTreeView::labelEditEnded(QTreeWidgetItem *node, const QString *text)
{
    if (text)
        setNodeText(node, *text);
}

QWidget *TCustomAutoTreeView::createLabelEditor(QWidget *parent, const QModelIndex &index)
{
    QTreeWidgetItem *node = itemFromIndex(index);
    if (!node || m_readOnly || m_editor || !labelEditStarting(node))
        return nullptr;
    auto *editor = new QLineEdit(parent);
    connect(editor, &QLineEdit::inputRejected, this, [] { QApplication::beep(); });
    m_editor = editor;
    m_editNode = node;
    m_editEnded = false;
    return editor;
}

void TCustomAutoTreeView::prepareLabelEditor(QLineEdit *editor, const QModelIndex &index)
{
    if (QTreeWidgetItem *node = itemFromIndex(index))
        initLabelEditor(node, editor);
}

void TCustomAutoTreeView::cancelLabelEdit()
{
    if (m_editor)
        closeEditor(m_editor, QAbstractItemDelegate::RevertModelCache);
}

bool TCustomAutoTreeView::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    if (m_readOnly)
        return false;
    // A click starts editing only on the selected node's label, not on its image.
    if (trigger == QAbstractItemView::SelectedClicked && event
        && event->type() == QEvent::MouseButtonRelease) {
        const QPoint pos = static_cast<QMouseEvent *>(event)->position().toPoint();
        if (!labelRect(itemFromIndex(index)).contains(pos))
            return false;
    }
    return QTreeWidget::edit(index, trigger, event);
}

void TCustomAutoTreeView::commitData(QWidget *editor)
{
    // The tree takes the text itself: the model is never written by the delegate.
    if (!m_editor || editor != m_editor || m_editEnded)
        return;
    m_editEnded = true;
    const QString text = m_editor->text();
    labelEditEnded(m_editNode, &text);
}

void TCustomAutoTreeView::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    const bool ours = m_editor && editor == m_editor;
    QTreeWidgetItem *node = ours ? m_editNode : nullptr;
    const bool ended = m_editEnded;
    if (ours) {
        m_editor = nullptr;
        m_editNode = nullptr;
        m_editEnded = false;
    }
    // Tab ends the edit without opening the next node's.
    if (hint == QAbstractItemDelegate::EditNextItem
        || hint == QAbstractItemDelegate::EditPreviousItem)
        hint = QAbstractItemDelegate::NoHint;
    QTreeWidget::closeEditor(editor, hint);
    if (ours && !ended && node)
        labelEditEnded(node, nullptr);
    viewport()->update();
}

void TCustomAutoTreeView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Delete && !m_readOnly && state() != EditingState) {
        if (QTreeWidgetItem *node = currentItem())
            deleteKeyPressed(node);
    }
    QTreeWidget::keyPressEvent(event);
}

void TCustomAutoTreeView::mousePressEvent(QMouseEvent *event)
{
    // The context menu acts on the selected node: a right click does not select.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

QRect TCustomAutoTreeView::labelRect(QTreeWidgetItem *node) const
{
    const QModelIndex index = indexFromItem(node);
    if (!index.isValid())
        return {};
    const QRect cell = visualRect(index);
    if (cell.isEmpty())
        return {};
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = cell;
    m_delegate->styleOption(&option, index);
    const QRect text = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int width = option.fontMetrics.horizontalAdvance(option.text) + 2 * margin;
    return QRect(text.left(), text.top(), width, text.height());
}

QString TCustomAutoTreeView::nodeHintAt(const QPoint &pos) const
{
    QTreeWidgetItem *node = itemAt(pos);
    if (!node)
        return {};
    const QRect label = labelRect(node);
    if (label.left() >= 0 && label.right() < viewport()->width())
        return {};
    return node->text(0);
}

void TCustomAutoTreeView::paintEvent(QPaintEvent *event)
{
    QTreeWidget::paintEvent(event);
    if (hasFocus() || isEditingLabel())
        return;
    QTreeWidgetItem *node = currentItem();
    if (!node || !node->isSelected())
        return;
    const QModelIndex index = indexFromItem(node);
    const QRect frame
        = labelRect(node).intersected(visualRect(index)).intersected(viewport()->rect());
    if (frame.isEmpty())
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Text));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
}

bool TCustomAutoTreeView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QString hint = m_showNodeHint ? nodeHintAt(help->pos()) : QString();
        if (hint.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), hint, viewport(),
                               visualItemRect(itemAt(help->pos())));
        }
        return true;
    }
    return QTreeWidget::viewportEvent(event);
}

void TCustomAutoTreeView::focusInEvent(QFocusEvent *event)
{
    QTreeWidget::focusInEvent(event);
    viewport()->update();
}

void TCustomAutoTreeView::focusOutEvent(QFocusEvent *event)
{
    QTreeWidget::focusOutEvent(event);
    viewport()->update();
}
