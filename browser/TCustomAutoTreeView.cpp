#include "browser/TCustomAutoTreeView.h"

#include "browser/ActiveDrag.h"
#include "browser/TAutoTreeDelegate.h"
#include "browser/TAutoTreeNode.h"
#include "widgets/IconSet.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScopedValueRollback>
#include <QTimer>
#include <QToolTip>

const QString TCustomAutoTreeView::nodeMimeType = QStringLiteral("application/x-kodra-tree-node");

TCustomAutoTreeView::TCustomAutoTreeView(QWidget *parent)
    : QTreeWidget(parent),
      m_delegate(new TAutoTreeDelegate(this)),
      m_images(folderImages()),
      m_dragTimer(new QTimer(this))
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
    // Nodes are dragged by the mouse; the tree draws its own drop target and scrolls itself.
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    runDrag = [](QDrag *drag) { drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction); };
    m_dragTimer->setInterval(dragInterval);
    connect(m_dragTimer, &QTimer::timeout, this, &TCustomAutoTreeView::dragTimerTick);
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
    forgetDragNodes(node);
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

// Drag and drop.

QPixmap TCustomAutoTreeView::dragCopyCursor()
{
    // An arrow with a plus sign in a box beside it.
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPainterPath arrow;
    arrow.moveTo(0, 0);
    arrow.lineTo(0, 16);
    arrow.lineTo(4, 12);
    arrow.lineTo(7, 19);
    arrow.lineTo(9, 18);
    arrow.lineTo(6, 11);
    arrow.lineTo(11, 11);
    arrow.closeSubpath();
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    painter.drawPath(arrow);
    const QRect box(14, 16, 10, 10);
    painter.drawRect(box);
    painter.drawLine(box.left() + 2, box.center().y(), box.right() - 2, box.center().y());
    painter.drawLine(box.center().x(), box.top() + 2, box.center().x(), box.bottom() - 2);
    return pixmap;
}

QTreeWidgetItem *TCustomAutoTreeView::createNode()
{
    return new TAutoTreeNode;
}

QString TCustomAutoTreeView::nodeHint(QTreeWidgetItem *node) const
{
    return node->text(0);
}

void TCustomAutoTreeView::forgetDragNodes(const QTreeWidgetItem *removed)
{
    auto gone = [removed](const QTreeWidgetItem *node) {
        return node && (!removed || node == removed || isDescendant(node, removed));
    };
    if (gone(m_dragSource))
        m_dragSource = nullptr;
    if (gone(m_dropTarget)) {
        m_dropTarget = nullptr;
        m_dropHighlight = false;
    }
}

QTreeWidgetItem *TCustomAutoTreeView::rowAt(const QPoint &pos) const
{
    // Any part of a row counts, the indentation and the space right of the label included.
    QTreeWidgetItem *node = itemAt(pos);
    if (!node)
        node = itemAt(QPoint(columnViewportPosition(0) + 1, pos.y()));
    return node;
}

void TCustomAutoTreeView::startDrag(Qt::DropActions)
{
    QTreeWidgetItem *node = currentItem();
    if (!node)
        return;
    cancelLabelEdit();
    auto *drag = new QDrag(this);
    auto *mime = new QMimeData;
    mime->setData(nodeMimeType, QByteArray());
    drag->setMimeData(mime);
    drag->setDragCursor(dragCopyCursor(), Qt::CopyAction);
    m_dragSource = node;
    m_dropTarget = nullptr;
    m_dropHighlight = false;
    m_dragInside = false;
    m_dragTimer->start();
    ActiveDrag::run(drag, runDrag);
    // The drag is over, dropped or cancelled.
    m_dragTimer->stop();
    m_dragInside = false;
    m_dragMime = nullptr;
    if (m_dropHighlight)
        viewport()->update();
    m_dragSource = nullptr;
    m_dropTarget = nullptr;
    m_dropHighlight = false;
}

bool TCustomAutoTreeView::acceptsDrag(QObject *source, const QPoint &pos, DragState state)
{
    // The tree's own rule: its own node, not onto itself or into its own subtree.
    bool accept = false;
    if (source == this && m_dragSource && m_dropTarget && m_dropTarget != m_dragSource
        && !isDescendant(m_dropTarget, m_dragSource)) {
        accept = true;
        if (OnDragDropTreeNode)
            OnDragDropTreeNode(m_dropTarget, m_dragSource, accept);
    }
    if (OnDragOver)
        OnDragOver(this, source, pos, state, accept);
    return accept;
}

void TCustomAutoTreeView::autoScroll(QTreeWidgetItem *row)
{
    QTreeWidgetItem *target = m_dropTarget;
    if (!row || !target || row == target)
        return;
    if (itemAbove(target) == row) {
        QTreeWidgetItem *above = itemAbove(row);
        if (above && visualItemRect(above).top() <= 0)
            scrollToItem(above, QAbstractItemView::PositionAtTop);
    } else if (itemBelow(target) == row) {
        QTreeWidgetItem *below = itemBelow(row);
        if (below && visualItemRect(below).bottom() + 1 >= viewport()->height()) {
            if (QTreeWidgetItem *first = itemBelow(rowAt(QPoint(0, 0))))
                scrollToItem(first, QAbstractItemView::PositionAtTop);
        }
    }
}

void TCustomAutoTreeView::setDropTarget(QTreeWidgetItem *node, bool highlight)
{
    if (m_dropTarget == node && m_dropHighlight == highlight)
        return;
    m_dropTarget = node;
    m_dropHighlight = node && highlight;
    viewport()->update();
}

void TCustomAutoTreeView::dragOver(QDragMoveEvent *event, DragState state)
{
    QObject *source = ActiveDrag::source(event);
    if (!source) {
        // Drags of other programs are not the tree's business.
        event->ignore();
        return;
    }
    const QPoint pos = event->position().toPoint();
    m_dragInside = true;
    m_dragPos = pos;
    m_dragActions = event->possibleActions();
    m_dragModifiers = event->modifiers();
    m_dragMime = event->mimeData();
    if (QTreeWidgetItem *row = rowAt(pos)) {
        autoScroll(row);
        setDropTarget(row, true);
    }
    m_dragAccepted = acceptsDrag(source, pos, state);
    if (!m_dragAccepted) {
        event->ignore();
        return;
    }
    event->setDropAction(dropAction(event));
    event->accept();
}

Qt::DropAction TCustomAutoTreeView::dropAction(const QDropEvent *event)
{
    // Ctrl copies: the pointer shows it.
    if ((event->modifiers() & Qt::ControlModifier) && (event->possibleActions() & Qt::CopyAction))
        return Qt::CopyAction;
    if (event->possibleActions() & Qt::MoveAction)
        return Qt::MoveAction;
    return event->proposedAction();
}

void TCustomAutoTreeView::dragEnterEvent(QDragEnterEvent *event)
{
    m_dropTarget = nullptr;
    m_dropHighlight = false;
    dragOver(event, DragState::Enter);
    // A widget that refuses the enter gets no movements: the refusal shows as the no-drop
    // pointer instead, and the next movement may accept.
    if (!event->isAccepted() && ActiveDrag::source(event)) {
        event->setDropAction(Qt::IgnoreAction);
        event->accept();
    }
}

void TCustomAutoTreeView::dragMoveEvent(QDragMoveEvent *event)
{
    dragOver(event, DragState::Move);
}

void TCustomAutoTreeView::dragLeft()
{
    m_dragInside = false;
    if (m_dropHighlight) {
        m_dropHighlight = false;
        viewport()->update();
    }
    if (m_dragSource && currentItem() != m_dragSource)
        setCurrentItem(m_dragSource);
}

void TCustomAutoTreeView::dragLeaveEvent(QDragLeaveEvent *event)
{
    dragLeft();
    // A drop never follows a leave here: the pointer comes back through an enter, which
    // starts with no target.
    m_dropTarget = nullptr;
    m_dragAccepted = false;
    if (OnDragOver && ActiveDrag::source(nullptr)) {
        bool accept = false;
        OnDragOver(this, ActiveDrag::source(nullptr), m_dragPos, DragState::Leave, accept);
    }
    event->accept();
}

void TCustomAutoTreeView::dropEvent(QDropEvent *event)
{
    QObject *source = ActiveDrag::source(event);
    if (!source || !m_dragAccepted) {
        event->ignore();
        return;
    }
    const QPoint pos = event->position().toPoint();
    const bool copy = event->modifiers() & Qt::ControlModifier;
    // As when the pointer leaves the tree; the drop target stays.
    dragLeft();
    QTreeWidgetItem *target = m_dropTarget;
    if (target) {
        setCurrentItem(target);
        viewport()->update();
    }
    QTreeWidgetItem *node = source == this ? m_dragSource : nullptr;
    // The selection above may have rebuilt the tree.
    if (node && target && m_dragSource == node && m_dropTarget == target)
        dropNode(node, target, copy);
    if (OnDragDrop)
        OnDragDrop(this, source, pos);
    m_dropTarget = nullptr;
    m_dropHighlight = false;
    m_dragAccepted = false;
    event->setDropAction(dropAction(event));
    event->accept();
}

void TCustomAutoTreeView::dropNode(QTreeWidgetItem *source, QTreeWidgetItem *target, bool copy)
{
    if (target == source || isDescendant(target, source) || (!copy && source->parent() == target))
        return;
    bool accept = true;
    if (OnDragDropTreeNode)
        OnDragDropTreeNode(target, source, accept);
    if (!accept)
        return;
    QTreeWidgetItem *result
        = copy ? copyDroppedNode(source, target) : moveDroppedNode(source, target);
    if (!result)
        return;
    for (QTreeWidgetItem *p = result->parent(); p; p = p->parent())
        p->setExpanded(true);
    setCurrentItem(result);
    scrollToItem(result);
}

QTreeWidgetItem *TCustomAutoTreeView::moveDroppedNode(QTreeWidgetItem *node,
                                                      QTreeWidgetItem *target)
{
    QTreeWidgetItem *oldParent = node->parent();
    moveNode(node, target);
    if (node->parent() != target)
        return nullptr;
    target->setExpanded(true);
    if (oldParent && oldParent->childCount() == 0)
        oldParent->setExpanded(false);
    return node;
}

QList<QPair<QTreeWidgetItem *, QTreeWidgetItem *>>
TCustomAutoTreeView::copyNodes(QTreeWidgetItem *node, QTreeWidgetItem *target)
{
    QList<QPair<QTreeWidgetItem *, QTreeWidgetItem *>> pairs;
    QHash<const QTreeWidgetItem *, QTreeWidgetItem *> copyOf;
    for (QTreeWidgetItem *original : preOrder(node)) {
        QTreeWidgetItem *copy = createNode();
        copy->setText(0, nodeHint(original));
        QTreeWidgetItem *parent = original == node ? target : copyOf.value(original->parent());
        parent->addChild(copy);
        copyOf.insert(original, copy);
        pairs.append(qMakePair(original, copy));
    }
    return pairs;
}

QTreeWidgetItem *TCustomAutoTreeView::copyDroppedNode(QTreeWidgetItem *node,
                                                      QTreeWidgetItem *target)
{
    const auto pairs = copyNodes(node, target);
    return pairs.isEmpty() ? nullptr : pairs.first().second;
}

void TCustomAutoTreeView::dragTimerTick()
{
    // A resting pointer moves again: each scroll slides a new row under it.
    if (!m_dragInside || !m_dragMime)
        return;
    QDragMoveEvent move(m_dragPos, m_dragActions, m_dragMime, QGuiApplication::mouseButtons(),
                        m_dragModifiers);
    QApplication::sendEvent(viewport(), &move);
}
