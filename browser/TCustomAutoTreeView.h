#pragma once

#include <QCollator>
#include <QIcon>
#include <QLineEdit>
#include <QList>
#include <QPointer>
#include <QTreeWidget>

class TAutoTreeDelegate;

// A tree of captioned nodes: siblings in the locale's case-sensitive order, in-place editing
// of a node's label (F2, or a click on the selected node's label), the Delete key, node images
// by state, hints for captions that do not fit, and a frame around the selected node's label
// while the tree has no focus. Derived trees decide what editing and deleting mean.
class TCustomAutoTreeView : public QTreeWidget
{
    Q_OBJECT

public:
    enum class SortType { None, Text };

    explicit TCustomAutoTreeView(QWidget *parent = nullptr);
    ~TCustomAutoTreeView() override;

    using QTreeWidget::edit;

    // Text sorting keeps siblings ordered; switching it on sorts every level.
    SortType sortType() const { return m_sortType; }
    void setSortType(SortType type);
    const QCollator &collator() const { return m_collator; }

    // A read-only tree neither edits labels nor deletes with the Delete key.
    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);
    bool showNodeHint() const { return m_showNodeHint; }
    void setShowNodeHint(bool show) { m_showNodeHint = show; }

    // Images by index; the selected node shows selectedIndex, the others imageIndex().
    const QList<QIcon> &images() const { return m_images; }
    void setImages(const QList<QIcon> &images);
    int selectedIndex() const { return m_selectedIndex; }
    void setSelectedIndex(int index);
    // The program's folder images: 3 marked folder, 4 open folder, 5 closed folder.
    static QList<QIcon> folderImages();
    // The image index a node is drawn with now.
    int imageIndexOf(QTreeWidgetItem *node) const;

    // Changing a caption re-sorts the node's siblings when text sorting is on.
    void setNodeText(QTreeWidgetItem *node, const QString &text);
    void sortSiblings(QTreeWidgetItem *node);
    // Makes a node the last child of newParent, or the last top-level node without one. The
    // moving flag is set meanwhile; the selection stays on the moved node.
    void moveNode(QTreeWidgetItem *node, QTreeWidgetItem *newParent);
    bool isMoving() const { return m_moving; }

    bool isEditingLabel() const { return m_editor != nullptr; }
    QTreeWidgetItem *editingNode() const { return m_editor ? m_editNode : nullptr; }
    QLineEdit *labelEditor() const { return m_editor; }
    // Ends an in-place edit as Escape does.
    void cancelLabelEdit();

    // Where a node's whole caption is drawn (viewport coordinates; may reach past the pane).
    QRect labelRect(QTreeWidgetItem *node) const;
    // The hint shown at a viewport point: the caption of a node that does not fit, or nothing.
    QString nodeHintAt(const QPoint &pos) const;

    static bool isDescendant(const QTreeWidgetItem *node, const QTreeWidgetItem *ancestor);
    // A node followed by each child and that child's descendants.
    static QList<QTreeWidgetItem *> preOrder(QTreeWidgetItem *node);

protected:
    // The image of a node that is not selected: an expanded node 4, any other 5.
    virtual int imageIndex(QTreeWidgetItem *node, bool expanded) const;
    // Label editing: may refuse to start; fills the editor; receives the typed text at the end
    // (nullptr when the edit was cancelled).
    virtual bool labelEditStarting(QTreeWidgetItem *node);
    virtual void initLabelEditor(QTreeWidgetItem *node, QLineEdit *editor);
    virtual void labelEditEnded(QTreeWidgetItem *node, const QString *text);
    // The Delete key on the selected node (not while editing, not when read-only).
    virtual void deleteKeyPressed(QTreeWidgetItem *node);
    // Deletes a node with its subtree; derived trees act on their data first.
    virtual void deleteNode(QTreeWidgetItem *node);
    // Removes the visual node and its subtree, ending an edit inside it.
    void removeNodeItem(QTreeWidgetItem *node);
    // moveNode() for the top-level node at a known position.
    void moveTopLevelNode(int index, QTreeWidgetItem *newParent);
    // While held, caption changes do not re-sort; the last release sorts every level.
    void holdSorting() { ++m_sortHold; }
    void releaseSorting();
    bool sortsNow() const { return m_sortType == SortType::Text && m_sortHold == 0; }

    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

protected Q_SLOTS:
    void commitData(QWidget *editor) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    friend class TAutoTreeDelegate;

    QWidget *createLabelEditor(QWidget *parent, const QModelIndex &index);
    void prepareLabelEditor(QLineEdit *editor, const QModelIndex &index);
    QIcon nodeIcon(const QModelIndex &index) const;
    void relink(QTreeWidgetItem *node, QTreeWidgetItem *newParent, int topLevelIndex);

    TAutoTreeDelegate *m_delegate;
    QCollator m_collator;
    SortType m_sortType = SortType::None;
    int m_sortHold = 0;
    bool m_readOnly = false;
    bool m_showNodeHint = true;
    QList<QIcon> m_images;
    int m_selectedIndex = 3;
    bool m_moving = false;
    QPointer<QLineEdit> m_editor;
    QTreeWidgetItem *m_editNode = nullptr;
    bool m_editEnded = false;
};
