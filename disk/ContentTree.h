#pragma once

#include <QDateTime>
#include <QTreeWidget>
#include <memory>

class Catalogue;
class QueryDataSet;
class SqlStatement;

// tvDisk: the stored contents of the current disk as a read-only tree, loaded lazily: a node's
// children are read from the catalogue the first time it is opened.
class ContentTree : public QTreeWidget
{
    Q_OBJECT

public:
    enum Role { KeyRole = Qt::UserRole + 1, LoadedRole };

    explicit ContentTree(Catalogue &data, QWidget *parent = nullptr);
    ~ContentTree() override;

    // Loads the children of node (nullptr: the top level) whose entry key is owner (0 for the
    // top level); nothing when they are there already.
    void loadChildren(QTreeWidgetItem *node, int owner);
    // The top level, and its first node opened.
    void loadTopLevel();
    void expandFirst();

    // The node of the entry with this key, loading the folders on its path; null when the
    // entry's owners do not lead to a node.
    QTreeWidgetItem *nodeOf(int key);
    // Opens the node's ancestors, scrolls it into view and selects it.
    void reveal(QTreeWidgetItem *node);

    static int keyOf(const QTreeWidgetItem *node);
    // A node's text: the name, three blanks, the date and for a file ", " and the size.
    static QString nodeText(const QString &name, int type, const QDateTime &date, double size);
    // The date in the locale's short form, a blank and the time in its long form (without a
    // time zone); the date alone at exactly midnight.
    static QString dateText(const QDateTime &date);

private:
    void nodeExpanded(QTreeWidgetItem *node);
    int currentDisk() const;
    int ownerOf(int key);
    QTreeWidgetItem *childWithKey(QTreeWidgetItem *node, int key) const;

    Catalogue &m_data;
    std::unique_ptr<QueryDataSet> dtContentBranch;
    std::unique_ptr<SqlStatement> ibsGetOwner;
    QIcon m_images[3];
};
