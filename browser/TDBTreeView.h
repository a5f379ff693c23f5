#pragma once

#include "browser/TCustomAutoTreeView.h"
#include "browser/TDBTreeNodes.h"

#include <QPointer>
#include <QStringList>

class QueryDataSet;

// A tree bound to a dataset: one node per row, nested by a parent-key field, captioned by
// display fields, kept in step with the dataset's current row both ways. Renaming a node
// writes the list field; deleting a node deletes the rows of its whole subtree. The key field
// holds integers: rows are located by integer keys.
class TDBTreeView : public TCustomAutoTreeView
{
    Q_OBJECT

public:
    enum Option {
        trDBCanDelete = 0x01, // the Delete key deletes the selected node
        trDBConfirmDelete = 0x02, // ... after asking
        trCanDBNavigate = 0x04, // the dataset's current row selects its node
        trSmartRecordCopy = 0x08, // a copied node takes over the other columns
        trCheckHasChildren = 0x10,
        trSmartRecordLoad = 0x20, // lazy loading: not supported, rows are all loaded
    };
    Q_DECLARE_FLAGS(Options, Option)

    explicit TDBTreeView(QWidget *parent = nullptr);
    ~TDBTreeView() override;

    QueryDataSet *dataSet() const { return m_dataSet; }
    // Binds the tree to a dataset (nullptr unbinds); an open dataset is loaded at once.
    void setDataSet(QueryDataSet *dataSet);

    const QString &keyField() const { return m_keyField; }
    void setKeyField(const QString &name) { m_keyField = name; }
    const QString &parentField() const { return m_parentField; }
    void setParentField(const QString &name) { m_parentField = name; }
    const QString &listField() const { return m_listField; }
    void setListField(const QString &name) { m_listField = name; }
    // Field names separated by ';'; their texts joined by separatedSt make the caption.
    QString displayField() const { return m_displayFields.join(QLatin1Char(';')); }
    void setDisplayField(const QString &names);
    const QString &separatedSt() const { return m_separatedSt; }
    void setSeparatedSt(const QString &separator) { m_separatedSt = separator; }
    // The parent value of top-level rows for lazy loading; kept for it, unused otherwise.
    const QString &rootValue() const { return m_rootValue; }
    void setRootValue(const QString &value) { m_rootValue = value; }
    Options options() const { return m_options; }
    void setOptions(Options options) { m_options = options; }

    const TDBTreeNodes &dbNodes() const { return m_nodes; }
    // The record of the dataset's current row, or nullptr.
    TDBTreeNode *currentDBNode() const;
    TDBTreeNode *dbNodeOf(QTreeWidgetItem *node) const;
    QTreeWidgetItem *nodeByKey(const QVariant &key) const;

    // Set while the tree itself scans or writes the dataset: it then ignores the dataset's
    // notifications and its own selection changes.
    bool isUpdating() const { return m_updating; }
    // Set while the tree appends rows for copied nodes.
    bool isCopying() const { return m_copying; }

    // Discards every node and loads all rows again.
    void reload();

protected:
    bool labelEditStarting(QTreeWidgetItem *node) override;
    void initLabelEditor(QTreeWidgetItem *node, QLineEdit *editor) override;
    void labelEditEnded(QTreeWidgetItem *node, const QString *text) override;
    void deleteKeyPressed(QTreeWidgetItem *node) override;
    // Deletes the rows of the node's subtree, deepest first, then the nodes.
    void deleteNode(QTreeWidgetItem *node) override;

private:
    // Field positions in the dataset, looked up again for every load.
    struct Fields
    {
        int key = -1;
        int parent = -1;
        int list = -1;
        QList<int> display;
    };

    Fields fields() const;
    QString displayText(const Fields &f, int row) const;
    QVariant currentKey() const;
    QTreeWidgetItem *currentRowNode() const;

    void activeChanged();
    void onDataReset();
    void onDataSetChanged();
    void onScrolled();
    void onFieldChanged(int fieldIndex);
    void onCurrentItemChanged(QTreeWidgetItem *current);

    void fullLoad();
    void syncRow(const Fields &f, int row);
    void reparent();
    void removeUnseen();
    void navigate();
    void discardAll();
    void rebuildAfterError();
    void appendTopLevel(QTreeWidgetItem *node);
    void relinkNode(QTreeWidgetItem *node, QTreeWidgetItem *newParent);

    QPointer<QueryDataSet> m_dataSet;
    QList<QMetaObject::Connection> m_links;
    QString m_keyField;
    QString m_parentField;
    QString m_listField;
    QStringList m_displayFields;
    QString m_separatedSt = QStringLiteral(" - ");
    QString m_rootValue;
    Options m_options = Options(trDBCanDelete | trDBConfirmDelete | trCanDBNavigate
                                | trSmartRecordCopy | trCheckHasChildren);

    TDBTreeNodes m_nodes;
    bool m_updating = false;
    bool m_copying = false;
    bool m_linkActive = false;
    // A load into an empty tree builds the nodes off the view and adds them in one step.
    bool m_detached = false;
    QList<QTreeWidgetItem *> m_detachedTop;
    QString m_captionBeforeEdit;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TDBTreeView::Options)
