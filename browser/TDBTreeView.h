#pragma once

#include <QIcon>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTreeView>
#include <exception>
#include <functional>

class FolderTreeDelegate;
class FolderTreeModel;
class QDrag;
class QLineEdit;
class QMimeData;
class QTimer;

// The folder tree's view over its FolderTreeModel: selecting a folder moves the dataset to it
// and the dataset's current row selects its folder; in-place renaming (F2, or a click on the
// selected folder's label), the Delete key after a question, folder images by state, hints for
// names that do not fit, a frame around the selected label while the tree has no focus, and
// drag and drop: the drop target highlighted, the copy pointer with Ctrl, scrolling by itself
// while a folder is held on its top or bottom row.
class TDBTreeView : public QTreeView
{
    Q_OBJECT

public:
    enum class DragState { Enter, Leave, Move };

    // Asked on every drag movement over the tree with the tree's own answer in accept.
    std::function<void(QObject *sender, QObject *source, const QPoint &pos, DragState state,
                       bool &accept)>
        OnDragOver;
    // Asked before a dragged folder is dropped, and on every movement of a folder drag.
    std::function<void(const QModelIndex &target, const QModelIndex &dragged, bool &accept)>
        OnDragDropTreeNode;
    // Told of every drop once the tree has handled it.
    std::function<void(QObject *sender, QObject *source, const QPoint &pos)> OnDragDrop;
    // Runs a drag the tree started; tests replace it to avoid the nested drag loop.
    std::function<void(QDrag *)> runDrag;

    static constexpr int dragInterval = 300;

    explicit TDBTreeView(QWidget *parent = nullptr);
    ~TDBTreeView() override;

    FolderTreeModel *folderModel() const { return m_model; }
    using QTreeView::edit;

    // The program's folder images: 3 marked folder (the selected one), 4 open, 5 closed.
    static QList<QIcon> folderImages();
    // The image index a folder is drawn with now, and the image.
    int imageIndexOf(const QModelIndex &index) const;
    QIcon imageOf(const QModelIndex &index) const;

    bool isEditingLabel() const;
    QModelIndex editingNode() const;
    QLineEdit *labelEditor() const;
    // Ends an in-place edit as Escape does.
    void cancelLabelEdit();

    // Where a folder's whole name is drawn (viewport coordinates; may reach past the pane).
    QRect labelRect(const QModelIndex &index) const;
    // The hint shown at a viewport point: the name of a folder that does not fit, or nothing.
    QString nodeHintAt(const QPoint &pos) const;

    // The drag in progress: the folder being dragged (none for a drag from elsewhere), the
    // folder last highlighted as the drop target, and the timer that repeats a resting
    // pointer's position while the tree's own folder is dragged.
    QModelIndex dragSourceNode() const { return m_dragSource; }
    QModelIndex dropTarget() const { return m_dropTarget; }
    bool isDropHighlighted(const QModelIndex &index) const
    {
        return index.isValid() && index == m_dropTarget && m_dropHighlight;
    }
    QTimer *dragTimer() const { return m_dragTimer; }
    // The pointer shown while Ctrl is held over the tree (AUTOTREEDRAGCOPY).
    static QPixmap dragCopyCursor();

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

protected Q_SLOTS:
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    void showFolder(const QModelIndex &index);
    void folderMoved(const QModelIndex &destination, int row);
    void showError(std::exception_ptr error);
    void deleteKeyPressed(const QModelIndex &index);

    QModelIndex rowAt(const QPoint &pos) const;
    bool acceptsDrag(QObject *source, const QMimeData *mime, const QPoint &pos, DragState state);
    void dragOver(QDragMoveEvent *event, DragState state);
    static Qt::DropAction dropAction(const QDropEvent *event);
    void autoScroll(const QModelIndex &row);
    void setDropTarget(const QModelIndex &index, bool highlight);
    void dragLeft();
    void dropFolder(const QModelIndex &source, const QModelIndex &target, bool copy,
                    const QMimeData *mime);
    void dragTimerTick();

    FolderTreeModel *m_model;
    FolderTreeDelegate *m_delegate;
    QList<QIcon> m_images;

    QPersistentModelIndex m_dragSource;
    QPersistentModelIndex m_dropTarget;
    bool m_dropHighlight = false;
    bool m_dragAccepted = false;
    // Where the pointer rests over the tree, for the timer to deliver again.
    bool m_dragInside = false;
    QPoint m_dragPos;
    Qt::DropActions m_dragActions;
    Qt::KeyboardModifiers m_dragModifiers;
    QPointer<const QMimeData> m_dragMime;
    QTimer *m_dragTimer;
};
