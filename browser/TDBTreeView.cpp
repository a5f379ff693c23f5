#include "browser/TDBTreeView.h"

#include "browser/ActiveDrag.h"
#include "browser/FolderTreeDelegate.h"
#include "browser/FolderTreeModel.h"
#include "widgets/ErrorBox.h"
#include "widgets/IconSet.h"
#include "widgets/Prompt.h"

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
#include <QTimer>
#include <QToolTip>
#include <memory>

TDBTreeView::TDBTreeView(QWidget *parent)
    : QTreeView(parent),
      m_model(new FolderTreeModel(this)),
      m_delegate(new FolderTreeDelegate(this)),
      m_images(folderImages()),
      m_dragTimer(new QTimer(this))
{
    setModel(m_model);
    setItemDelegate(m_delegate);
    setHeaderHidden(true);
    setIndentation(19);
    setIconSize(QSize(16, 16));
    // One row height for all folders keeps scrolling a long tree cheap.
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    // Folders are dragged by the mouse; the tree draws its own drop target and scrolls itself.
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    runDrag = [](QDrag *drag) { drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction); };
    m_dragTimer->setInterval(dragInterval);
    connect(m_dragTimer, &QTimer::timeout, this, &TDBTreeView::dragTimerTick);

    connect(selectionModel(), &QItemSelectionModel::currentChanged, m_model,
            [this](const QModelIndex &current) { m_model->makeCurrent(current); });
    connect(m_model, &FolderTreeModel::currentFolderChanged, this, &TDBTreeView::showFolder);
    // A moved folder or a copy is shown and selected, which moves the dataset to it.
    connect(m_model, &FolderTreeModel::folderDropped, this, &TDBTreeView::showFolder);
    connect(m_model, &FolderTreeModel::failed, this, &TDBTreeView::showError);
    connect(m_model, &FolderTreeModel::renameEnded, this, &TDBTreeView::cancelLabelEdit);
    connect(m_model, &QAbstractItemModel::rowsMoved, this,
            [this](const QModelIndex &, int, int, const QModelIndex &destination, int row) {
                folderMoved(destination, row);
            });
}

TDBTreeView::~TDBTreeView()
{
    // The model goes with the view; nothing it tells on the way is of interest any more.
    m_model->disconnect(this);
    selectionModel()->disconnect(m_model);
}

QList<QIcon> TDBTreeView::folderImages()
{
    QList<QIcon> images(6);
    for (int index : {IconSet::FolderMarked, IconSet::FolderOpen, IconSet::FolderClosed}) {
        const QIcon source = IconSet::icon(index);
        QIcon icon;
        // The selected folder's image is drawn as it is, not tinted.
        for (const QSize size : {QSize(16, 16), QSize(32, 32)}) {
            const QPixmap pixmap = source.pixmap(size);
            icon.addPixmap(pixmap, QIcon::Normal);
            icon.addPixmap(pixmap, QIcon::Selected);
        }
        images[index] = icon;
    }
    return images;
}

int TDBTreeView::imageIndexOf(const QModelIndex &index) const
{
    if (!index.isValid())
        return -1;
    if (index == currentIndex())
        return IconSet::FolderMarked;
    return isExpanded(index) ? IconSet::FolderOpen : IconSet::FolderClosed;
}

QIcon TDBTreeView::imageOf(const QModelIndex &index) const
{
    const int image = imageIndexOf(index);
    return image >= 0 && image < m_images.size() ? m_images[image] : QIcon();
}

// Following the dataset.

void TDBTreeView::showFolder(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
        expand(p);
    setCurrentIndex(index);
    scrollTo(index);
}

void TDBTreeView::folderMoved(const QModelIndex &destination, int row)
{
    // The current folder given another parent stays in view.
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.parent() == destination && current.row() == row)
        showFolder(current);
}

void TDBTreeView::showError(std::exception_ptr error)
{
    runCommand(this, [error] { std::rethrow_exception(error); });
}

// Renaming and deleting.

bool TDBTreeView::isEditingLabel() const
{
    return m_delegate->editor() != nullptr;
}

QModelIndex TDBTreeView::editingNode() const
{
    return m_delegate->editedIndex();
}

QLineEdit *TDBTreeView::labelEditor() const
{
    return m_delegate->editor();
}

void TDBTreeView::cancelLabelEdit()
{
    if (QLineEdit *editor = m_delegate->editor())
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

bool TDBTreeView::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    // A click starts editing only on the selected folder's label, not on its image.
    if (trigger == QAbstractItemView::SelectedClicked && event
        && event->type() == QEvent::MouseButtonRelease) {
        const QPoint pos = static_cast<QMouseEvent *>(event)->position().toPoint();
        if (!labelRect(index).contains(pos))
            return false;
    }
    return QTreeView::edit(index, trigger, event);
}

void TDBTreeView::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Tab ends the edit without opening the next folder's.
    if (hint == QAbstractItemDelegate::EditNextItem
        || hint == QAbstractItemDelegate::EditPreviousItem)
        hint = QAbstractItemDelegate::NoHint;
    m_delegate->editorClosed(editor);
    QTreeView::closeEditor(editor, hint);
    viewport()->update();
}

void TDBTreeView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Delete && state() != EditingState && currentIndex().isValid())
        deleteKeyPressed(currentIndex());
    QTreeView::keyPressEvent(event);
}

void TDBTreeView::deleteKeyPressed(const QModelIndex &index)
{
    const std::optional<qint64> key = m_model->keyOf(index);
    const QString question = QStringLiteral("Do you want to delete the item \"")
        + index.data().toString() + QLatin1Char('"');
    if (!key
        || Prompt::instance().message(this, question, QStringLiteral("Confirm"),
                                      QMessageBox::Question, QMessageBox::Ok | QMessageBox::Cancel)
            != QMessageBox::Ok)
        return;
    // The question ran an event loop: find the folder again.
    m_model->removeFolder(m_model->indexOfKey(*key));
}

void TDBTreeView::mousePressEvent(QMouseEvent *event)
{
    // The context menu acts on the selected folder: a right click does not select.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

// Label, frame and hints.

QRect TDBTreeView::labelRect(const QModelIndex &index) const
{
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

QString TDBTreeView::nodeHintAt(const QPoint &pos) const
{
    const QModelIndex index = indexAt(pos);
    if (!index.isValid())
        return {};
    const QRect label = labelRect(index);
    if (label.left() >= 0 && label.right() < viewport()->width())
        return {};
    return index.data().toString();
}

void TDBTreeView::paintEvent(QPaintEvent *event)
{
    QTreeView::paintEvent(event);
    if (hasFocus() || isEditingLabel())
        return;
    const QModelIndex index = currentIndex();
    if (!index.isValid() || !selectionModel()->isSelected(index))
        return;
    const QRect frame
        = labelRect(index).intersected(visualRect(index)).intersected(viewport()->rect());
    if (frame.isEmpty())
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Text));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
}

bool TDBTreeView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QString hint = nodeHintAt(help->pos());
        if (hint.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), hint, viewport(),
                               visualRect(indexAt(help->pos())));
        }
        return true;
    }
    return QTreeView::viewportEvent(event);
}

void TDBTreeView::focusInEvent(QFocusEvent *event)
{
    QTreeView::focusInEvent(event);
    viewport()->update();
}

void TDBTreeView::focusOutEvent(QFocusEvent *event)
{
    QTreeView::focusOutEvent(event);
    viewport()->update();
}

// Drag and drop.

QPixmap TDBTreeView::dragCopyCursor()
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

QModelIndex TDBTreeView::rowAt(const QPoint &pos) const
{
    // Any part of a row counts, the indentation and the space right of the label included.
    const QModelIndex index = indexAt(pos);
    return index.isValid() ? index : indexAt(QPoint(columnViewportPosition(0) + 1, pos.y()));
}

void TDBTreeView::startDrag(Qt::DropActions)
{
    const QModelIndex index = currentIndex();
    if (!index.isValid())
        return;
    cancelLabelEdit();
    std::unique_ptr<QMimeData> mime(m_model->mimeData({index}));
    if (!mime)
        return;
    auto *drag = new QDrag(this);
    drag->setMimeData(mime.release());
    drag->setDragCursor(dragCopyCursor(), Qt::CopyAction);
    m_dragSource = index;
    m_dropTarget = QModelIndex();
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
    m_dragSource = QModelIndex();
    m_dropTarget = QModelIndex();
    m_dropHighlight = false;
}

bool TDBTreeView::acceptsDrag(QObject *source, const QMimeData *mime, const QPoint &pos,
                              DragState state)
{
    // The tree's own rule: its own folder, not onto itself or into its own subtree.
    bool accept = false;
    if (source == this && m_dragSource.isValid()
        && m_model->canDropMimeData(mime, Qt::MoveAction, -1, 0, m_dropTarget)) {
        accept = true;
        if (OnDragDropTreeNode)
            OnDragDropTreeNode(m_dropTarget, m_dragSource, accept);
    }
    if (OnDragOver)
        OnDragOver(this, source, pos, state, accept);
    return accept;
}

void TDBTreeView::autoScroll(const QModelIndex &row)
{
    const QModelIndex target = m_dropTarget;
    if (!row.isValid() || !target.isValid() || row == target)
        return;
    if (indexAbove(target) == row) {
        const QModelIndex above = indexAbove(row);
        if (above.isValid() && visualRect(above).top() <= 0)
            scrollTo(above, QAbstractItemView::PositionAtTop);
    } else if (indexBelow(target) == row) {
        const QModelIndex below = indexBelow(row);
        if (below.isValid() && visualRect(below).bottom() + 1 >= viewport()->height()) {
            const QModelIndex first = indexBelow(rowAt(QPoint(0, 0)));
            if (first.isValid())
                scrollTo(first, QAbstractItemView::PositionAtTop);
        }
    }
}

void TDBTreeView::setDropTarget(const QModelIndex &index, bool highlight)
{
    if (m_dropTarget == index && m_dropHighlight == highlight)
        return;
    m_dropTarget = index;
    m_dropHighlight = index.isValid() && highlight;
    viewport()->update();
}

void TDBTreeView::dragOver(QDragMoveEvent *event, DragState state)
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
    const QModelIndex row = rowAt(pos);
    if (row.isValid()) {
        autoScroll(row);
        setDropTarget(row, true);
    }
    m_dragAccepted = acceptsDrag(source, event->mimeData(), pos, state);
    if (!m_dragAccepted) {
        event->ignore();
        return;
    }
    event->setDropAction(dropAction(event));
    event->accept();
}

Qt::DropAction TDBTreeView::dropAction(const QDropEvent *event)
{
    // Ctrl copies: the pointer shows it.
    if ((event->modifiers() & Qt::ControlModifier) && (event->possibleActions() & Qt::CopyAction))
        return Qt::CopyAction;
    if (event->possibleActions() & Qt::MoveAction)
        return Qt::MoveAction;
    return event->proposedAction();
}

void TDBTreeView::dragEnterEvent(QDragEnterEvent *event)
{
    m_dropTarget = QModelIndex();
    m_dropHighlight = false;
    dragOver(event, DragState::Enter);
    // A widget that refuses the enter gets no movements: the refusal shows as the no-drop
    // pointer instead, and the next movement may accept.
    if (!event->isAccepted() && ActiveDrag::source(event)) {
        event->setDropAction(Qt::IgnoreAction);
        event->accept();
    }
}

void TDBTreeView::dragMoveEvent(QDragMoveEvent *event)
{
    dragOver(event, DragState::Move);
}

void TDBTreeView::dragLeft()
{
    m_dragInside = false;
    if (m_dropHighlight) {
        m_dropHighlight = false;
        viewport()->update();
    }
    if (m_dragSource.isValid() && currentIndex() != m_dragSource)
        setCurrentIndex(m_dragSource);
}

void TDBTreeView::dragLeaveEvent(QDragLeaveEvent *event)
{
    dragLeft();
    // A drop never follows a leave here: the pointer comes back through an enter, which
    // starts with no target.
    m_dropTarget = QModelIndex();
    m_dragAccepted = false;
    if (OnDragOver && ActiveDrag::source(nullptr)) {
        bool accept = false;
        OnDragOver(this, ActiveDrag::source(nullptr), m_dragPos, DragState::Leave, accept);
    }
    event->accept();
}

void TDBTreeView::dropEvent(QDropEvent *event)
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
    const QPersistentModelIndex target = m_dropTarget;
    if (target.isValid()) {
        setCurrentIndex(target);
        viewport()->update();
    }
    const QPersistentModelIndex dragged = source == this ? m_dragSource : QPersistentModelIndex();
    if (dragged.isValid() && target.isValid())
        dropFolder(dragged, target, copy, event->mimeData());
    if (OnDragDrop)
        OnDragDrop(this, source, pos);
    m_dropTarget = QModelIndex();
    m_dropHighlight = false;
    m_dragAccepted = false;
    event->setDropAction(dropAction(event));
    event->accept();
}

void TDBTreeView::dropFolder(const QModelIndex &source, const QModelIndex &target, bool copy,
                             const QMimeData *mime)
{
    if (target == source || m_model->isAncestor(source, target)
        || (!copy && source.parent() == target))
        return;
    bool accept = true;
    if (OnDragDropTreeNode)
        OnDragDropTreeNode(target, source, accept);
    if (!accept)
        return;
    const QPersistentModelIndex oldParent = source.parent();
    // The model selects the result through folderDropped.
    if (m_model->dropMimeData(mime, copy ? Qt::CopyAction : Qt::MoveAction, -1, 0, target) && !copy
        && oldParent.isValid() && m_model->rowCount(oldParent) == 0)
        collapse(oldParent);
}

void TDBTreeView::dragTimerTick()
{
    // A resting pointer moves again: each scroll slides a new row under it.
    if (!m_dragInside || !m_dragMime)
        return;
    QDragMoveEvent move(m_dragPos, m_dragActions, m_dragMime, QGuiApplication::mouseButtons(),
                        m_dragModifiers);
    QApplication::sendEvent(viewport(), &move);
}
