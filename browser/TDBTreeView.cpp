#include "browser/TDBTreeView.h"

#include "browser/TDBTreeItem.h"
#include "store/Connection.h"
#include "store/DbError.h"
#include "store/Field.h"
#include "store/QueryDataSet.h"
#include "store/Statement.h"
#include "store/Transaction.h"
#include "widgets/ErrorBox.h"
#include "widgets/Prompt.h"

#include <QDoubleValidator>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpressionValidator>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <memory>
#include <utility>

namespace {

TDBTreeItem *dbItem(QTreeWidgetItem *item)
{
    return dynamic_cast<TDBTreeItem *>(item);
}

bool isChanging(const QueryDataSet &ds)
{
    return ds.state() == QueryDataSet::State::Edit || ds.state() == QueryDataSet::State::Insert;
}

} // namespace

TDBTreeView::TDBTreeView(QWidget *parent) : TCustomAutoTreeView(parent)
{
    setSortType(SortType::Text);
    connect(this, &QTreeWidget::currentItemChanged, this, &TDBTreeView::onCurrentItemChanged);
}

TDBTreeView::~TDBTreeView()
{
    m_updating = true;
    disconnect(this, &QTreeWidget::currentItemChanged, this, &TDBTreeView::onCurrentItemChanged);
    for (const auto &link : std::as_const(m_links))
        disconnect(link);
    discardAll();
}

void TDBTreeView::setDataSet(QueryDataSet *dataSet)
{
    if (m_dataSet == dataSet)
        return;
    for (const auto &link : std::as_const(m_links))
        disconnect(link);
    m_links.clear();
    m_dataSet = dataSet;
    m_linkActive = false;
    discardAll();
    if (!dataSet)
        return;
    m_links << connect(dataSet, &QueryDataSet::dataReset, this, &TDBTreeView::onDataReset)
            << connect(dataSet, &QueryDataSet::dataSetChanged, this, &TDBTreeView::onDataSetChanged)
            << connect(dataSet, &QueryDataSet::currentRowChanged, this, &TDBTreeView::onScrolled)
            << connect(dataSet, &QueryDataSet::fieldChanged, this, &TDBTreeView::onFieldChanged)
            << connect(dataSet, &QObject::destroyed, this, [this] {
                   m_linkActive = false;
                   discardAll();
               });
    if (dataSet->isOpen())
        activeChanged();
}

void TDBTreeView::setDisplayField(const QString &names)
{
    m_displayFields.clear();
    for (const QString &name : names.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (!name.trimmed().isEmpty())
            m_displayFields << name.trimmed();
    }
}

TDBTreeView::Fields TDBTreeView::fields() const
{
    const QueryDataSet &ds = *m_dataSet;
    Fields f;
    f.key = ds.fieldByName(m_keyField).index();
    if (!m_parentField.isEmpty())
        f.parent = ds.fieldByName(m_parentField).index();
    if (!m_listField.isEmpty())
        f.list = ds.fieldByName(m_listField).index();
    for (const QString &name : m_displayFields)
        f.display << ds.fieldByName(name).index();
    return f;
}

QString TDBTreeView::displayText(const Fields &f, int row) const
{
    const QueryDataSet &ds = *m_dataSet;
    if (f.display.isEmpty())
        return f.list >= 0 ? Field::displayText(ds.value(row, f.list)) : QString();
    QStringList parts;
    for (int index : f.display)
        parts << Field::displayText(ds.value(row, index));
    return parts.join(m_separatedSt);
}

QVariant TDBTreeView::currentKey() const
{
    if (!m_dataSet || !m_dataSet->isOpen())
        return {};
    const Field *key = m_dataSet->findField(m_keyField);
    return key ? m_dataSet->currentValue(key->index()) : QVariant();
}

TDBTreeNode *TDBTreeView::dbNodeOf(QTreeWidgetItem *node) const
{
    const TDBTreeItem *item = dbItem(node);
    return item ? item->record() : nullptr;
}

QTreeWidgetItem *TDBTreeView::nodeByKey(const QVariant &key) const
{
    const TDBTreeNode *record = m_nodes.find(key);
    return record ? record->node : nullptr;
}

TDBTreeNode *TDBTreeView::currentDBNode() const
{
    return m_nodes.find(currentKey());
}

QTreeWidgetItem *TDBTreeView::currentRowNode() const
{
    return nodeByKey(currentKey());
}

// Dataset notifications.

void TDBTreeView::activeChanged()
{
    m_linkActive = m_dataSet && m_dataSet->isOpen();
    reload();
}

void TDBTreeView::onDataReset()
{
    if (m_updating || !m_dataSet)
        return;
    // Opening, closing, and rows re-read while the controls were off (a close and open among
    // them): the nodes are built afresh, so that no row missing from a new reading counts as
    // deleted.
    activeChanged();
}

void TDBTreeView::onDataSetChanged()
{
    if (m_updating || !m_dataSet)
        return;
    if (m_dataSet->isOpen() != m_linkActive) {
        activeChanged();
        return;
    }
    if (!m_linkActive || isChanging(*m_dataSet))
        return;
    cancelLabelEdit();
    if (!runCommand(this, [this] { fullLoad(); }))
        reload();
}

void TDBTreeView::onScrolled()
{
    if (m_updating || !m_linkActive)
        return;
    navigate();
}

void TDBTreeView::onFieldChanged(int fieldIndex)
{
    QueryDataSet *ds = m_dataSet;
    if (!ds || !ds->isOpen() || !m_linkActive)
        return;
    runCommand(this, [this, ds, fieldIndex] {
        const Fields f = fields();
        if (ds->state() == QueryDataSet::State::Edit) {
            QTreeWidgetItem *node = currentRowNode();
            if (!node)
                node = currentItem();
            if (!node)
                return;
            if (fieldIndex == f.list || f.display.contains(fieldIndex))
                setNodeText(node, displayText(f, ds->currentRow()));
            if (fieldIndex == f.parent) {
                const QVariant value = ds->currentValue(fieldIndex);
                TDBTreeNode *record = dbNodeOf(node);
                if (record && !TDBTreeNodes::isNull(value)
                    && !TDBTreeNodes::isNull(record->parentValue)
                    && !m_nodes.same(value, record->parentValue)) {
                    record->parentValue = value;
                    QTreeWidgetItem *target = nodeByKey(value);
                    // A node cannot go into its own subtree: it stays.
                    if (target != node && !isDescendant(target, node)) {
                        moveNode(node, target);
                        if (target)
                            target->setExpanded(true);
                    }
                }
            }
        } else if (ds->state() == QueryDataSet::State::Insert) {
            // A new row's node appears as soon as the row has a key.
            const QVariant key = ds->currentValue(f.key);
            if (TDBTreeNodes::isNull(key))
                return;
            if (!m_updating)
                syncRow(f, ds->currentRow());
            if (QTreeWidgetItem *node = nodeByKey(key)) {
                for (QTreeWidgetItem *p = node->parent(); p; p = p->parent())
                    p->setExpanded(true);
                setCurrentItem(node);
                scrollToItem(node);
            }
        }
    });
}

// Tree to dataset.

void TDBTreeView::onCurrentItemChanged(QTreeWidgetItem *current)
{
    if (m_updating || isMoving() || !current)
        return;
    QueryDataSet *ds = m_dataSet;
    if (!ds || !ds->isOpen())
        return;
    const TDBTreeNode *record = dbNodeOf(current);
    if (!record || TDBTreeNodes::isNull(record->key) || record->key.toString().isEmpty())
        return;
    const Field *keyField = ds->findField(m_keyField);
    if (!keyField || m_nodes.same(record->key, ds->currentValue(keyField->index()))
        || ds->state() == QueryDataSet::State::Insert || ds->isEmpty())
        return;

    QScopedValueRollback<bool> guard(m_updating, true);
    const bool editing = ds->state() == QueryDataSet::State::Edit;
    const bool repaint = updatesEnabled();
    if (editing) {
        // The pending edit is posted by the locate while its own node is the selected one.
        setUpdatesEnabled(false);
        QTreeWidgetItem *edited = currentRowNode();
        if (edited && edited != current)
            setCurrentItem(edited);
    }
    try {
        ds->locate(m_keyField, record->key.toLongLong());
    } catch (const std::exception &) {
        // Neither a failed locate nor a refused post is reported here.
    }
    if (editing) {
        setCurrentItem(current);
        setUpdatesEnabled(repaint);
    }
}

// Dataset to tree.

void TDBTreeView::navigate()
{
    if (!(m_options & trCanDBNavigate) || !m_dataSet || !m_dataSet->isOpen())
        return;
    QTreeWidgetItem *node = currentRowNode();
    if (!node || node->treeWidget() != this)
        return;
    for (QTreeWidgetItem *p = node->parent(); p; p = p->parent())
        p->setExpanded(true);
    setCurrentItem(node);
    scrollToItem(node);
}

// Loading.

void TDBTreeView::appendTopLevel(QTreeWidgetItem *node)
{
    if (m_detached)
        m_detachedTop.append(node);
    else
        addTopLevelItem(node);
}

void TDBTreeView::relinkNode(QTreeWidgetItem *node, QTreeWidgetItem *newParent)
{
    if (!m_detached) {
        moveNode(node, newParent);
        return;
    }
    if (QTreeWidgetItem *parent = node->parent())
        parent->takeChild(parent->indexOfChild(node));
    else
        m_detachedTop.removeOne(node);
    if (newParent)
        newParent->addChild(node);
    else
        m_detachedTop.append(node);
}

void TDBTreeView::syncRow(const Fields &f, int row)
{
    const QueryDataSet &ds = *m_dataSet;
    const QVariant key = ds.value(row, f.key);
    if (TDBTreeNodes::isNull(key))
        return;
    const QVariant parentValue = f.parent >= 0 ? ds.value(row, f.parent) : QVariant();
    TDBTreeNode *record = m_nodes.find(key);
    const TDBTreeNode *parentRecord = m_nodes.find(parentValue);
    QTreeWidgetItem *parentNode = parentRecord ? parentRecord->node : nullptr;
    const QString caption = displayText(f, row);
    if (!record) {
        record = m_nodes.add(key, parentValue);
        auto node = std::make_unique<TDBTreeItem>();
        node->setText(0, caption);
        node->setRecord(record);
        record->node = node.get();
        if (parentNode)
            parentNode->addChild(node.release());
        else
            appendTopLevel(node.release());
        sortSiblings(record->node);
    } else {
        if (!m_nodes.same(record->parentValue, parentValue))
            record->parentValue = parentValue;
        QTreeWidgetItem *node = record->node;
        // A top-level node is left to the re-parenting after the scan.
        if (node && node->parent() && parentNode != node->parent() && parentNode != node
            && !isDescendant(parentNode, node))
            relinkNode(node, parentNode);
        if (node)
            setNodeText(node, caption);
    }
    record->hint = f.list >= 0 ? Field::displayText(ds.value(row, f.list)) : caption;
    record->seen = true;
}

void TDBTreeView::reparent()
{
    // The parent a top-level node should have; none for a row naming itself or a descendant.
    auto newParentOf = [this](QTreeWidgetItem *node) -> QTreeWidgetItem * {
        const TDBTreeNode *record = dbNodeOf(node);
        if (!record || !record->seen)
            return nullptr;
        const TDBTreeNode *parent = m_nodes.find(record->parentValue);
        if (!parent || !parent->node || parent->node == node || isDescendant(parent->node, node))
            return nullptr;
        return parent->node;
    };
    if (m_detached) {
        QList<QTreeWidgetItem *> stay;
        stay.reserve(m_detachedTop.size());
        for (QTreeWidgetItem *node : std::as_const(m_detachedTop)) {
            if (QTreeWidgetItem *parent = newParentOf(node))
                parent->addChild(node);
            else
                stay.append(node);
        }
        m_detachedTop = stay;
        return;
    }
    for (int i = 0; i < topLevelItemCount();) {
        if (QTreeWidgetItem *parent = newParentOf(topLevelItem(i)))
            moveTopLevelNode(i, parent);
        else
            ++i;
    }
}

void TDBTreeView::removeUnseen()
{
    QList<QVariant> gone;
    for (int i = 0; i < m_nodes.count(); ++i) {
        if (!m_nodes.at(i)->seen)
            gone << m_nodes.at(i)->key;
    }
    for (const QVariant &key : std::as_const(gone)) {
        // An earlier removal may have taken this record with its subtree.
        TDBTreeNode *record = m_nodes.find(key);
        if (!record || record->seen)
            continue;
        if (record->node)
            deleteNode(record->node);
        else
            m_nodes.remove(record);
    }
}

void TDBTreeView::fullLoad()
{
    QueryDataSet *ds = m_dataSet;
    if (!ds || !ds->isOpen())
        return;
    const Fields f = fields();
    m_nodes.setKeyType(ds->field(f.key).type());

    QScopedValueRollback<bool> guard(m_updating, true);
    const bool repaint = updatesEnabled();
    setUpdatesEnabled(false);
    const auto restoreRepaint = qScopeGuard([this, repaint] { setUpdatesEnabled(repaint); });
    {
        holdSorting();
        const auto sortAgain = qScopeGuard([this] { releaseSorting(); });
        for (int i = 0; i < m_nodes.count(); ++i)
            m_nodes.at(i)->seen = false;
        m_detached = m_nodes.isEmpty() && topLevelItemCount() == 0;
        {
            // Rows are read in place: the current row does not move during the scan.
            ds->disableControls();
            const auto resume = qScopeGuard([ds] { ds->enableControls(); });
            ds->fetchAll();
            for (int row = 0, rows = ds->fetchedCount(); row < rows; ++row)
                syncRow(f, row);
        }
        reparent();
        if (m_detached) {
            m_detached = false;
            addTopLevelItems(std::exchange(m_detachedTop, {}));
        }
        // Nodes of vanished rows go with the rows of their subtrees.
        QScopedValueRollback<bool> released(m_updating, false);
        removeUnseen();
    }
    navigate();
}

void TDBTreeView::discardAll()
{
    QScopedValueRollback<bool> guard(m_updating, true);
    cancelLabelEdit();
    forgetDragNodes(nullptr);
    m_pendingMove = m_pendingParent = nullptr;
    for (int i = 0; i < m_nodes.count(); ++i) {
        if (TDBTreeItem *node = dbItem(m_nodes.at(i)->node))
            node->setRecord(nullptr);
    }
    m_nodes.clear();
    qDeleteAll(std::exchange(m_detachedTop, {}));
    m_detached = false;
    clear();
}

void TDBTreeView::reload()
{
    discardAll();
    if (m_dataSet && m_dataSet->isOpen() && !runCommand(this, [this] { fullLoad(); }))
        discardAll();
}

// Deleting.

void TDBTreeView::deleteKeyPressed(QTreeWidgetItem *node)
{
    if (!(m_options & trDBCanDelete))
        return;
    const TDBTreeNode *record = dbNodeOf(node);
    const QVariant key = record ? record->key : QVariant();
    if (m_options & trDBConfirmDelete) {
        const QString question = QStringLiteral("Do you want to delete the item \"") + node->text(0)
            + QLatin1Char('"');
        if (Prompt::instance().message(this, question, QStringLiteral("Confirm"),
                                       QMessageBox::Question, QMessageBox::Ok | QMessageBox::Cancel)
            != QMessageBox::Ok)
            return;
        // The question ran an event loop: find the node again.
        if (record) {
            node = nodeByKey(key);
            if (!node)
                return;
        }
    }
    // A refused row leaves some rows deleted and others not: show the table as it is now.
    if (!runCommand(this, [this, node] { deleteNode(node); }))
        reload();
}

void TDBTreeView::deleteNode(QTreeWidgetItem *node)
{
    if (!node)
        return;
    const QList<QTreeWidgetItem *> list = preOrder(node);
    QueryDataSet *ds = m_dataSet;
    if (!isMoving() && !m_copying && ds && ds->isOpen()) {
        ds->disableControls();
        const auto resume = qScopeGuard([this, ds] {
            QScopedValueRollback<bool> guard(m_updating, true);
            ds->enableControls();
        });
        Transaction::CommitHold hold(ds->connection().transaction());
        // Backwards: every folder before its ancestors, the node itself last.
        for (qsizetype i = list.size() - 1; i >= 0; --i) {
            TDBTreeNode *record = dbNodeOf(list[i]);
            if (!record)
                continue;
            if (!m_updating && !ds->isEmpty()) {
                bool found = false;
                try {
                    found = ds->locate(m_keyField, record->key.toLongLong());
                } catch (const std::exception &) {
                    found = false;
                }
                if (found)
                    ds->remove();
            }
            record->deleted = true;
        }
    }
    for (QTreeWidgetItem *item : list) {
        if (TDBTreeNode *record = dbNodeOf(item)) {
            dbItem(item)->setRecord(nullptr);
            m_nodes.remove(record);
        }
    }
    removeNodeItem(node);
}

// In-place renaming.

bool TDBTreeView::labelEditStarting(QTreeWidgetItem *node)
{
    if (isReadOnly())
        return false;
    m_captionBeforeEdit = node->text(0);
    QueryDataSet *ds = m_dataSet;
    if (ds && ds->isOpen() && ds->state() == QueryDataSet::State::Browse && !ds->isEmpty()
        && node == currentRowNode())
        runCommand(this, [ds] { ds->edit(); });
    return true;
}

void TDBTreeView::initLabelEditor(QTreeWidgetItem *node, QLineEdit *editor)
{
    const Field *list
        = m_dataSet && m_dataSet->isOpen() ? m_dataSet->findField(m_listField) : nullptr;
    if (!list || node != currentRowNode()) {
        editor->setText(node->text(0));
        return;
    }
    editor->setText(list->asString());
    if (list->size() > 0)
        editor->setMaxLength(list->size());
    switch (list->type()) {
    case FieldType::Integer:
    case FieldType::LargeInt:
        editor->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[-+]?\\d*")), editor));
        break;
    case FieldType::Float:
        editor->setValidator(new QDoubleValidator(editor));
        break;
    default:
        break;
    }
}

void TDBTreeView::labelEditEnded(QTreeWidgetItem *node, const QString *text)
{
    if (text)
        setNodeText(node, *text);
    QueryDataSet *ds = m_dataSet;
    Field *list = ds && ds->isOpen() ? ds->findField(m_listField) : nullptr;
    if (!list || node != currentRowNode()) {
        // Only the current row's node can be renamed.
        setNodeText(node, m_captionBeforeEdit);
        return;
    }
    if (!isReadOnly() && isChanging(*ds) && list->asString() != node->text(0)) {
        const QString caption = node->text(0);
        runCommand(this, [list, caption] { list->setString(caption); });
    } else {
        setNodeText(node, list->asString());
    }
    runCommand(this,
               [this, ds, node] { setNodeText(node, displayText(fields(), ds->currentRow())); });
}

// Drag and drop.

QTreeWidgetItem *TDBTreeView::createNode()
{
    return new TDBTreeItem;
}

QString TDBTreeView::nodeHint(QTreeWidgetItem *node) const
{
    const TDBTreeNode *record = dbNodeOf(node);
    return record ? record->hint : node->text(0);
}

void TDBTreeView::rebuildAfterError()
{
    // Show the table as it is: a refused write leaves rows and nodes apart.
    m_pendingMove = m_pendingParent = nullptr;
    QueryDataSet *ds = m_dataSet;
    if (ds && ds->isOpen()) {
        QScopedValueRollback<bool> guard(m_updating, true);
        try {
            if (isChanging(*ds))
                ds->cancel();
            ds->refresh();
        } catch (const std::exception &) {
            // The tree shows what the dataset still holds.
        }
    }
    reload();
}

QTreeWidgetItem *TDBTreeView::moveDroppedNode(QTreeWidgetItem *node, QTreeWidgetItem *target)
{
    QTreeWidgetItem *moved = TCustomAutoTreeView::moveDroppedNode(node, target);
    if (!moved)
        return nullptr;
    m_pendingMove = moved;
    m_pendingParent = target;
    if (!runCommand(this, [this] { writePendingMove(); })) {
        rebuildAfterError();
        return nullptr;
    }
    return moved;
}

void TDBTreeView::writePendingMove()
{
    QTreeWidgetItem *node = std::exchange(m_pendingMove, nullptr);
    QTreeWidgetItem *parent = std::exchange(m_pendingParent, nullptr);
    TDBTreeNode *record = dbNodeOf(node);
    const TDBTreeNode *parentRecord = dbNodeOf(parent);
    QueryDataSet *ds = m_dataSet;
    if (m_updating || !record || !parentRecord || !ds || !ds->isOpen())
        return;
    QScopedValueRollback<bool> guard(m_updating, true);
    ds->disableControls();
    const auto resume = qScopeGuard([ds] { ds->enableControls(); });
    record->parentValue = parentRecord->key;
    const QVariant current = currentKey();
    const bool elsewhere = !m_nodes.same(current, record->key);
    if (elsewhere && !ds->locate(m_keyField, record->key.toLongLong()))
        throw DbError(QStringLiteral("Folder %1 not found").arg(record->key.toString()));
    try {
        ds->edit();
        ds->fieldByName(m_parentField).setValue(record->parentValue);
        ds->post();
    } catch (...) {
        if (isChanging(*ds))
            ds->cancel();
        throw;
    }
    if (elsewhere && !TDBTreeNodes::isNull(current))
        ds->locate(m_keyField, current.toLongLong());
}

QTreeWidgetItem *TDBTreeView::copyDroppedNode(QTreeWidgetItem *node, QTreeWidgetItem *target)
{
    const auto copies = copyNodes(node, target);
    if (copies.isEmpty())
        return nullptr;
    if (!runCommand(this, [this, &copies, target] { writeCopies(copies, target); })) {
        rebuildAfterError();
        return nullptr;
    }
    return copies.first().second;
}

void TDBTreeView::writeCopies(const QList<QPair<QTreeWidgetItem *, QTreeWidgetItem *>> &copies,
                              QTreeWidgetItem *target)
{
    QueryDataSet *ds = m_dataSet;
    if (!ds || !ds->isOpen() || m_nodes.isEmpty())
        return;
    const Fields f = fields();
    const Field &keyField = ds->field(f.key);
    QScopedValueRollback<bool> copying(m_copying, true);
    QScopedValueRollback<bool> guard(m_updating, true);
    ds->disableControls();
    const auto resume = qScopeGuard([ds] { ds->enableControls(); });
    // One copy is one piece of work: committed whole at its end, undone whole on an error, so
    // that neither a killed program nor a refused row leaves half a subtree behind.
    Connection &db = ds->connection();
    Transaction::CommitHold whole(db.transaction(), Transaction::CommitHold::Mode::Whole);
    const auto run = [&db](const char *sql) {
        Statement statement(db);
        statement.prepare(QString::fromLatin1(sql));
        statement.execute();
    };
    run("SAVEPOINT FOLDER_COPY");
    try {
        qint64 nextKey = m_nodes.at(m_nodes.count() - 1)->key.toLongLong();
        for (const auto &[original, copy] : copies) {
            const TDBTreeNode *source = dbNodeOf(original);
            const TDBTreeNode *parent = dbNodeOf(copy->parent());
            if (!source || !parent)
                continue;
            const QVariant key = keyField.coerce(++nextKey);
            TDBTreeNode *record = m_nodes.add(key, parent->key);
            if (!record)
                throw DbError(QStringLiteral("Folder %1 exists already").arg(key.toString()));
            record->node = copy;
            record->hint = source->hint;
            if (TDBTreeItem *item = dbItem(copy))
                item->setRecord(record);
            if (!ds->locate(m_keyField, source->key.toLongLong()))
                throw DbError(QStringLiteral("Folder %1 not found").arg(source->key.toString()));
            const QVariant caption = f.list >= 0 ? ds->currentValue(f.list) : QVariant();
            try {
                ds->insert();
                if (f.parent >= 0)
                    ds->setCurrentValue(f.parent, record->parentValue);
                if (f.list >= 0)
                    ds->setCurrentValue(f.list, caption);
                ds->setCurrentValue(f.key, key);
                ds->post();
            } catch (...) {
                if (isChanging(*ds))
                    ds->cancel();
                throw;
            }
            if (m_options & trSmartRecordCopy)
                copyOtherColumns(source->key, key);
            if (ds->locate(m_keyField, key.toLongLong()))
                setNodeText(copy, displayText(f, ds->currentRow()));
        }
    } catch (...) {
        try {
            run("ROLLBACK TO SAVEPOINT FOLDER_COPY");
        } catch (const std::exception &) {
            // The first error is the one to show.
        }
        throw;
    }
    run("RELEASE SAVEPOINT FOLDER_COPY");
    if (const TDBTreeNode *to = dbNodeOf(target))
        ds->locate(m_keyField, to->key.toLongLong());
}

void TDBTreeView::copyOtherColumns(const QVariant &from, const QVariant &to)
{
    QueryDataSet &ds = *m_dataSet;
    try {
        if (!ds.locate(m_keyField, from.toLongLong()))
            return;
        QList<QPair<int, QVariant>> values;
        for (int i = 0; i < ds.fieldCount(); ++i) {
            const Field &field = ds.field(i);
            if (field.isLookup() || field.name().compare(m_keyField, Qt::CaseInsensitive) == 0
                || field.name().compare(m_parentField, Qt::CaseInsensitive) == 0)
                continue;
            values.append(qMakePair(i, ds.currentValue(i)));
        }
        if (!ds.locate(m_keyField, to.toLongLong()))
            return;
        ds.edit();
        for (const auto &[index, value] : std::as_const(values))
            ds.setCurrentValue(index, value);
        ds.post();
    } catch (const std::exception &) {
        // The copy keeps its name and parent whatever the other columns do.
        if (isChanging(ds))
            ds.cancel();
    }
}
