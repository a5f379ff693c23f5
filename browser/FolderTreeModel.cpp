#include "browser/FolderTreeModel.h"

#include "store/Connection.h"
#include "store/DbError.h"
#include "store/Field.h"
#include "store/QueryDataSet.h"
#include "store/Statement.h"
#include "store/Transaction.h"

#include <QMimeData>
#include <QScopedValueRollback>
#include <algorithm>
#include <unordered_set>

const QString FolderTreeModel::folderMimeType = QStringLiteral("application/x-kodra-tree-node");

// One folder: its row's key, parent key and name, and its place in the tree. The root holds
// the top-level folders.
struct FolderTreeModel::Folder
{
    qint64 key = 0;
    std::optional<qint64> parentKey;
    QString name;
    std::optional<QCollatorSortKey> sortKey;
    Folder *parent = nullptr;
    std::vector<Folder *> children;
    // The position among its siblings.
    int row = 0;
    bool seen = false;
};

// Marks the model busy while it writes the dataset or follows its notifications.
class FolderTreeModel::Updating
{
public:
    explicit Updating(FolderTreeModel &model) : m_model(model) { ++m_model.m_updating; }
    ~Updating() { --m_model.m_updating; }
    Updating(const Updating &) = delete;
    Updating &operator=(const Updating &) = delete;

private:
    FolderTreeModel &m_model;
};

namespace {

bool isChanging(const QueryDataSet &ds)
{
    return ds.state() == QueryDataSet::State::Edit || ds.state() == QueryDataSet::State::Insert;
}

std::optional<qint64> keyValue(const QVariant &value)
{
    bool ok = false;
    const qint64 key = value.isNull() ? 0 : value.toLongLong(&ok);
    return ok ? std::optional<qint64>(key) : std::nullopt;
}

} // namespace

FolderTreeModel::FolderTreeModel(QObject *parent)
    : QAbstractItemModel(parent), m_root(std::make_unique<Folder>())
{
    m_collator.setCaseSensitivity(Qt::CaseSensitive);
}

FolderTreeModel::~FolderTreeModel()
{
    for (const auto &link : std::as_const(m_links))
        disconnect(link);
}

void FolderTreeModel::setDataSet(QueryDataSet *dataSet, const QString &keyField,
                                 const QString &parentField, const QString &nameField)
{
    for (const auto &link : std::as_const(m_links))
        disconnect(link);
    m_links.clear();
    m_dataSet = dataSet;
    m_keyField = keyField;
    m_parentField = parentField;
    m_nameField = nameField;
    connectDataSet();
    clear();
    if (m_dataSet && m_dataSet->isOpen())
        build();
}

void FolderTreeModel::connectDataSet()
{
    QueryDataSet *ds = m_dataSet;
    if (!ds)
        return;
    m_links << connect(ds, &QueryDataSet::dataReset, this, &FolderTreeModel::onDataReset)
            << connect(ds, &QueryDataSet::rowsFetched, this, &FolderTreeModel::onRowsFetched)
            << connect(ds, &QueryDataSet::rowInserted, this, &FolderTreeModel::onRowInserted)
            << connect(ds, &QueryDataSet::rowAboutToBeRemoved, this,
                       &FolderTreeModel::onRowAboutToBeRemoved)
            << connect(ds, &QueryDataSet::rowRemoved, this, &FolderTreeModel::onRowRemoved)
            << connect(ds, &QueryDataSet::rowMoved, this, &FolderTreeModel::onRowMoved)
            << connect(ds, &QueryDataSet::rowChanged, this, &FolderTreeModel::onRowChanged)
            << connect(ds, &QueryDataSet::currentRowChanged, this,
                       &FolderTreeModel::onCurrentRowChanged)
            << connect(ds, &QueryDataSet::dataSetChanged, this, &FolderTreeModel::onDataSetChanged)
            << connect(ds, &QueryDataSet::stateChanged, this,
                       [this] {
                           if (!m_ownChange && m_dataSet && !isChanging(*m_dataSet))
                               Q_EMIT renameEnded();
                       })
            << connect(ds, &QObject::destroyed, this, [this] { clear(); });
}

// The model's own interface.

FolderTreeModel::Folder *FolderTreeModel::folderOf(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<Folder *>(index.internalPointer());
}

QModelIndex FolderTreeModel::indexOf(const Folder *folder) const
{
    if (!folder || folder == m_root.get() || !folder->parent)
        return {};
    return createIndex(folder->row, 0, folder);
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    const Folder *p = parent.isValid() ? folderOf(parent) : m_root.get();
    if (!p || column != 0 || row < 0 || row >= int(p->children.size()))
        return {};
    return createIndex(row, 0, p->children[size_t(row)]);
}

QModelIndex FolderTreeModel::parent(const QModelIndex &child) const
{
    const Folder *f = folderOf(child);
    return f ? indexOf(f->parent) : QModelIndex();
}

int FolderTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    const Folder *p = parent.isValid() ? folderOf(parent) : m_root.get();
    return p ? int(p->children.size()) : 0;
}

int FolderTreeModel::columnCount(const QModelIndex &parent) const
{
    return parent.column() > 0 ? 0 : 1;
}

QVariant FolderTreeModel::data(const QModelIndex &index, int role) const
{
    const Folder *f = folderOf(index);
    if (!f)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return f->name;
    case KeyRole:
        return f->key;
    case MaxLengthRole: {
        const Field *name = m_dataSet ? m_dataSet->findField(m_nameField) : nullptr;
        return name && name->size() > 0 ? name->size() : QVariant();
    }
    default:
        return {};
    }
}

bool FolderTreeModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    // Only the current row's folder is renamed, and only while the dataset edits it; the name
    // is stored by the next move of the dataset.
    const Folder *f = folderOf(index);
    QueryDataSet *ds = m_dataSet;
    if (role != Qt::EditRole || !f || !ds || !ds->isOpen() || !isChanging(*ds)
        || currentIndex() != index || m_nameColumn < 0)
        return false;
    const QString name = value.toString();
    if (Field::displayText(ds->currentValue(m_nameColumn)) == name)
        return true;
    try {
        ds->setCurrentValue(m_nameColumn, name);
    } catch (const std::exception &) {
        return false;
    }
    return true;
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex &index) const
{
    if (!folderOf(index))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled
        | Qt::ItemIsDropEnabled;
}

QModelIndex FolderTreeModel::indexOfKey(qint64 key) const
{
    return indexOf(find(key));
}

std::optional<qint64> FolderTreeModel::keyOf(const QModelIndex &index) const
{
    const Folder *f = folderOf(index);
    return f ? std::optional<qint64>(f->key) : std::nullopt;
}

QModelIndex FolderTreeModel::currentIndex() const
{
    if (!m_dataSet || !m_dataSet->isOpen())
        return {};
    return indexOf(find(rowKey(m_dataSet->currentRow())));
}

bool FolderTreeModel::isAncestor(const QModelIndex &ancestor, const QModelIndex &index) const
{
    const Folder *a = folderOf(ancestor);
    return a && isInside(folderOf(index), a);
}

// Drag and drop.

QStringList FolderTreeModel::mimeTypes() const
{
    return {folderMimeType};
}

QMimeData *FolderTreeModel::mimeData(const QModelIndexList &indexes) const
{
    const Folder *f = indexes.isEmpty() ? nullptr : folderOf(indexes.first());
    if (!f)
        return nullptr;
    auto mime = std::make_unique<QMimeData>();
    mime->setData(folderMimeType, QByteArray::number(f->key));
    return mime.release();
}

Qt::DropActions FolderTreeModel::supportedDragActions() const
{
    return Qt::MoveAction | Qt::CopyAction;
}

Qt::DropActions FolderTreeModel::supportedDropActions() const
{
    return Qt::MoveAction | Qt::CopyAction;
}

bool FolderTreeModel::canDropMimeData(const QMimeData *data, Qt::DropAction action, int, int,
                                      const QModelIndex &parent) const
{
    if (!data || (action != Qt::MoveAction && action != Qt::CopyAction)
        || !data->hasFormat(folderMimeType))
        return false;
    const Folder *dragged = find(keyValue(data->data(folderMimeType)));
    const Folder *target = folderOf(parent);
    return dragged && target && target != dragged && !isInside(target, dragged);
}

bool FolderTreeModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int row,
                                   int column, const QModelIndex &parent)
{
    if (!canDropMimeData(data, action, row, column, parent) || !m_dataSet || !m_dataSet->isOpen())
        return false;
    Folder *dragged = find(keyValue(data->data(folderMimeType)));
    Folder *target = folderOf(parent);
    const bool copy = action == Qt::CopyAction;
    if (!copy && dragged->parent == target)
        return false;
    const QModelIndex result = copy ? copyFolderTo(dragged, target) : moveFolderTo(dragged, target);
    if (!result.isValid())
        return false;
    Q_EMIT folderDropped(result);
    return true;
}

// Helpers.

FolderTreeModel::Folder *FolderTreeModel::find(const std::optional<qint64> &key) const
{
    if (!key)
        return nullptr;
    const auto it = m_folders.find(*key);
    return it == m_folders.end() ? nullptr : it->second.get();
}

FolderTreeModel::Folder *FolderTreeModel::make(qint64 key, const std::optional<qint64> &parentKey,
                                               const QString &name)
{
    auto folder = std::make_unique<Folder>();
    folder->key = key;
    folder->parentKey = parentKey;
    folder->name = name;
    Folder *made = folder.get();
    m_folders[key] = std::move(folder);
    return made;
}

std::optional<qint64> FolderTreeModel::rowKey(int row) const
{
    if (!m_dataSet || m_keyColumn < 0 || row < 0)
        return std::nullopt;
    return keyValue(m_dataSet->value(row, m_keyColumn));
}

std::optional<qint64> FolderTreeModel::rowParent(int row) const
{
    if (!m_dataSet || m_parentColumn < 0)
        return std::nullopt;
    return keyValue(m_dataSet->value(row, m_parentColumn));
}

QString FolderTreeModel::rowName(int row) const
{
    if (!m_dataSet || m_nameColumn < 0)
        return {};
    return Field::displayText(m_dataSet->value(row, m_nameColumn));
}

const QCollatorSortKey &FolderTreeModel::sortKey(const Folder &folder) const
{
    auto &key = const_cast<Folder &>(folder).sortKey;
    if (!key)
        key = m_collator.sortKey(folder.name);
    return *key;
}

bool FolderTreeModel::sortsBefore(const Folder &a, const Folder &b) const
{
    return sortKey(a).compare(sortKey(b)) < 0;
}

bool FolderTreeModel::isInside(const Folder *folder, const Folder *ancestor)
{
    if (!folder || !ancestor)
        return false;
    for (const Folder *p = folder->parent; p; p = p->parent) {
        if (p == ancestor)
            return true;
    }
    return false;
}

std::vector<FolderTreeModel::Folder *> FolderTreeModel::preOrder(Folder *folder)
{
    std::vector<Folder *> list;
    std::vector<Folder *> stack {folder};
    while (!stack.empty()) {
        Folder *f = stack.back();
        stack.pop_back();
        list.push_back(f);
        for (auto it = f->children.rbegin(); it != f->children.rend(); ++it)
            stack.push_back(*it);
    }
    return list;
}

FolderTreeModel::Folder *FolderTreeModel::wantedParent(Folder *folder) const
{
    Folder *parent = find(folder->parentKey);
    if (!parent || !parent->parent)
        return m_root.get();
    // A row naming itself or one of its own sub-folders stays where it is.
    if (parent == folder || isInside(parent, folder))
        return folder->parent ? folder->parent : m_root.get();
    return parent;
}

// Tree edits.

void FolderTreeModel::renumber(Folder *parent, int from)
{
    for (size_t i = size_t(from); i < parent->children.size(); ++i)
        parent->children[i]->row = int(i);
}

int FolderTreeModel::sortedPosition(const Folder *parent, const Folder *folder) const
{
    // After its equals, before the first sibling that sorts after it.
    int position = 0;
    for (const Folder *sibling : parent->children) {
        if (sibling != folder && sortsBefore(*folder, *sibling))
            break;
        if (sibling != folder)
            ++position;
    }
    return position;
}

void FolderTreeModel::insertFolder(Folder *folder, Folder *parent, int position)
{
    beginInsertRows(indexOf(parent), position, position);
    parent->children.insert(parent->children.begin() + position, folder);
    folder->parent = parent;
    renumber(parent, position);
    endInsertRows();
}

void FolderTreeModel::moveFolder(Folder *folder, Folder *parent, int position)
{
    Folder *from = folder->parent;
    if (from == parent)
        return;
    beginMoveRows(indexOf(from), folder->row, folder->row, indexOf(parent), position);
    from->children.erase(from->children.begin() + folder->row);
    renumber(from, folder->row);
    parent->children.insert(parent->children.begin() + position, folder);
    folder->parent = parent;
    renumber(parent, position);
    endMoveRows();
}

void FolderTreeModel::deleteFolder(Folder *folder)
{
    Folder *parent = folder->parent;
    const int row = folder->row;
    beginRemoveRows(indexOf(parent), row, row);
    parent->children.erase(parent->children.begin() + row);
    renumber(parent, row);
    for (const Folder *gone : preOrder(folder))
        m_folders.erase(gone->key);
    endRemoveRows();
}

void FolderTreeModel::setName(Folder *folder, const QString &name)
{
    if (folder->name == name)
        return;
    folder->name = name;
    folder->sortKey.reset();
    if (folder->parent) {
        const QModelIndex index = indexOf(folder);
        Q_EMIT dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    }
}

void FolderTreeModel::placeAmongSiblings(Folder *folder)
{
    Folder *parent = folder->parent;
    if (!parent)
        return;
    // Siblings out of order (a dropped folder among them) are sorted as a whole.
    const Folder *previous = nullptr;
    for (const Folder *sibling : parent->children) {
        if (sibling == folder)
            continue;
        if (previous && sortsBefore(*sibling, *previous)) {
            sortChildren({parent});
            return;
        }
        previous = sibling;
    }
    const int position = sortedPosition(parent, folder);
    const int destination = position >= folder->row ? position + 1 : position;
    if (destination == folder->row || destination == folder->row + 1)
        return;
    const QModelIndex parentIndex = indexOf(parent);
    beginMoveRows(parentIndex, folder->row, folder->row, parentIndex, destination);
    parent->children.erase(parent->children.begin() + folder->row);
    parent->children.insert(parent->children.begin() + position, folder);
    renumber(parent);
    endMoveRows();
}

void FolderTreeModel::sortChildren(const std::vector<Folder *> &parents)
{
    const auto before = [this](const Folder *a, const Folder *b) { return sortsBefore(*a, *b); };
    std::vector<Folder *> unsorted;
    for (Folder *parent : parents) {
        if (!std::is_sorted(parent->children.begin(), parent->children.end(), before)
            && std::find(unsorted.begin(), unsorted.end(), parent) == unsorted.end())
            unsorted.push_back(parent);
    }
    if (unsorted.empty())
        return;
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList persistent = persistentIndexList();
    for (Folder *parent : unsorted) {
        std::stable_sort(parent->children.begin(), parent->children.end(), before);
        renumber(parent);
    }
    for (const QModelIndex &index : persistent) {
        const Folder *f = folderOf(index);
        changePersistentIndex(index, f ? createIndex(f->row, index.column(), f) : QModelIndex());
    }
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

// Dataset to model.

void FolderTreeModel::clear()
{
    if (m_root->children.empty() && m_folders.empty() && m_rows.empty())
        return;
    beginResetModel();
    m_root->children.clear();
    m_folders.clear();
    m_rows.clear();
    m_orphaned.clear();
    endResetModel();
}

void FolderTreeModel::readColumns()
{
    // Looked up on every reading: a select written anew may order its columns otherwise.
    const auto column = [this](const QString &name) {
        const Field *field = m_dataSet && !name.isEmpty() ? m_dataSet->findField(name) : nullptr;
        return field ? field->index() : -1;
    };
    m_keyColumn = column(m_keyField);
    m_parentColumn = column(m_parentField);
    m_nameColumn = column(m_nameField);
}

void FolderTreeModel::build()
{
    QueryDataSet *ds = m_dataSet;
    Updating updating(*this);
    readColumns();
    const bool readable = ds && ds->isOpen() && m_keyColumn >= 0;
    // Read before the reset: a failure is told while the tree is still whole.
    if (readable)
        fetchAll();
    beginResetModel();
    m_root->children.clear();
    m_folders.clear();
    m_rows.clear();
    m_orphaned.clear();
    if (readable) {
        const int rows = ds->fetchedCount();
        m_rows.assign(size_t(rows), nullptr);
        std::vector<Folder *> order;
        order.reserve(size_t(rows));
        for (int row = 0; row < rows; ++row) {
            const std::optional<qint64> key = rowKey(row);
            Folder *f = find(key);
            if (key && !f) {
                f = make(*key, rowParent(row), rowName(row));
                f->parent = m_root.get();
                order.push_back(f);
            }
            m_rows[size_t(row)] = f;
        }
        // Parents first by their links alone; a row that names one of its own descendants
        // stays where the rows before it left it.
        for (Folder *f : order)
            f->parent = wantedParent(f);
        for (Folder *f : order)
            f->parent->children.push_back(f);
        const auto before
            = [this](const Folder *a, const Folder *b) { return sortsBefore(*a, *b); };
        std::stable_sort(m_root->children.begin(), m_root->children.end(), before);
        renumber(m_root.get());
        for (Folder *f : order) {
            std::stable_sort(f->children.begin(), f->children.end(), before);
            renumber(f);
        }
    }
    endResetModel();
}

void FolderTreeModel::syncWithDataSet(bool sortAll)
{
    QueryDataSet *ds = m_dataSet;
    if (!ds || !ds->isOpen()) {
        clear();
        return;
    }
    if (m_folders.empty()) {
        build();
        return;
    }
    Updating updating(*this);
    readColumns();
    fetchAll();
    for (auto &entry : m_folders)
        entry.second->seen = false;
    const int rows = ds->fetchedCount();
    std::vector<Folder *> folderOfRow(size_t(rows), nullptr);
    std::vector<Folder *> order;
    std::vector<Folder *> created;
    std::vector<Folder *> renamedIn;
    for (int row = 0; row < rows; ++row) {
        const std::optional<qint64> key = rowKey(row);
        if (!key)
            continue;
        Folder *f = find(key);
        if (!f) {
            f = make(*key, std::nullopt, QString());
            created.push_back(f);
        }
        folderOfRow[size_t(row)] = f;
        if (f->seen)
            continue;
        f->seen = true;
        order.push_back(f);
        f->parentKey = rowParent(row);
        const QString name = rowName(row);
        if (f->parent && f->name != name)
            renamedIn.push_back(f->parent);
        setName(f, name);
    }
    m_rows = std::move(folderOfRow);

    // Folders whose rows are gone leave; their sub-folders wait at the top level.
    std::vector<Folder *> gone;
    for (const auto &entry : m_folders) {
        if (!entry.second->seen)
            gone.push_back(entry.second.get());
    }
    for (Folder *f : gone) {
        const std::vector<Folder *> children = f->children;
        for (Folder *child : children) {
            if (child->seen)
                moveFolder(child, m_root.get(), sortedPosition(m_root.get(), child));
        }
    }
    for (Folder *f : gone) {
        if (f->parent)
            deleteFolder(f);
        else
            m_folders.erase(f->key);
    }
    for (Folder *f : created)
        insertFolder(f, m_root.get(), sortedPosition(m_root.get(), f));
    for (Folder *f : order) {
        Folder *parent = wantedParent(f);
        if (parent != f->parent)
            moveFolder(f, parent, sortedPosition(parent, f));
    }
    if (sortAll) {
        std::vector<Folder *> parents {m_root.get()};
        for (const auto &entry : m_folders)
            parents.push_back(entry.second.get());
        sortChildren(parents);
    } else {
        sortChildren(renamedIn);
    }
}

void FolderTreeModel::syncRow(int row)
{
    const std::optional<qint64> key = rowKey(row);
    if (!key || row >= int(m_rows.size()))
        return;
    Updating updating(*this);
    Folder *f = m_rows[size_t(row)];
    if (f && f->key != *key) {
        // The row took another key: its folder is found under the new one from now on.
        auto node = m_folders.extract(f->key);
        if (find(key)) {
            m_rows[size_t(row)] = nullptr;
            if (f->parent)
                m_folders.insert(std::move(node));
            return;
        }
        node.key() = *key;
        f->key = *key;
        m_folders.insert(std::move(node));
    }
    if (!f)
        f = find(key);
    if (!f) {
        f = make(*key, rowParent(row), rowName(row));
        m_rows[size_t(row)] = f;
        Folder *parent = wantedParent(f);
        insertFolder(f, parent, sortedPosition(parent, f));
        // Top-level folders that name the new one as their parent go into it.
        const std::vector<Folder *> top = m_root->children;
        for (Folder *child : top) {
            if (child != f && child->parentKey == f->key && !isInside(f, child))
                moveFolder(child, f, sortedPosition(f, child));
        }
        return;
    }
    m_rows[size_t(row)] = f;
    const QString name = rowName(row);
    if (f->name != name) {
        setName(f, name);
        placeAmongSiblings(f);
    }
    const std::optional<qint64> parentKey = rowParent(row);
    if (parentKey != f->parentKey) {
        f->parentKey = parentKey;
        Folder *parent = wantedParent(f);
        if (parent != f->parent)
            moveFolder(f, parent, sortedPosition(parent, f));
    }
}

void FolderTreeModel::fetchAll()
{
    QScopedValueRollback<bool> own(m_ownChange, true);
    try {
        m_dataSet->fetchAll();
    } catch (...) {
        Q_EMIT failed(std::current_exception());
    }
}

void FolderTreeModel::onDataReset()
{
    if (m_ownChange)
        return;
    // Opened, closed, or read again while its views were off: compared row by row.
    QueryDataSet *ds = m_dataSet;
    if (!ds || !ds->isOpen())
        clear();
    else if (m_folders.empty())
        build();
    else
        syncWithDataSet(true);
}

void FolderTreeModel::onRowsFetched()
{
    if (m_ownChange || !m_dataSet)
        return;
    const int from = int(m_rows.size());
    m_rows.resize(size_t(m_dataSet->fetchedCount()), nullptr);
    for (int row = from; row < int(m_rows.size()); ++row)
        syncRow(row);
}

void FolderTreeModel::onRowInserted(int row)
{
    if (m_ownChange || row < 0 || row > int(m_rows.size()))
        return;
    m_rows.insert(m_rows.begin() + row, nullptr);
    syncRow(row);
}

void FolderTreeModel::onRowAboutToBeRemoved(int row)
{
    if (m_ownChange || row < 0 || row >= int(m_rows.size()))
        return;
    Folder *f = m_rows[size_t(row)];
    m_rows[size_t(row)] = nullptr;
    if (!f || !f->parent)
        return;
    Updating updating(*this);
    // A deleted folder takes its sub-folders along: their rows are deleted once the dataset
    // has finished this change.
    const std::vector<Folder *> subtree = preOrder(f);
    if (subtree.size() > 1) {
        const std::unordered_set<const Folder *> inside(subtree.begin() + 1, subtree.end());
        for (auto it = subtree.begin() + 1; it != subtree.end(); ++it)
            m_orphaned.push_back((*it)->key);
        for (Folder *&rowFolder : m_rows) {
            if (inside.count(rowFolder))
                rowFolder = nullptr;
        }
    }
    deleteFolder(f);
}

void FolderTreeModel::onRowRemoved(int row)
{
    if (m_ownChange || row < 0 || row >= int(m_rows.size()))
        return;
    m_rows.erase(m_rows.begin() + row);
}

void FolderTreeModel::onRowMoved(int from, int to)
{
    if (m_ownChange || from < 0 || to < 0 || from >= int(m_rows.size()) || to >= int(m_rows.size()))
        return;
    Folder *f = m_rows[size_t(from)];
    m_rows.erase(m_rows.begin() + from);
    m_rows.insert(m_rows.begin() + to, f);
}

void FolderTreeModel::onRowChanged(int row)
{
    if (m_ownChange)
        return;
    syncRow(row);
}

void FolderTreeModel::onCurrentRowChanged()
{
    if (m_ownChange || m_updating > 0)
        return;
    Q_EMIT currentFolderChanged(currentIndex());
}

void FolderTreeModel::onDataSetChanged()
{
    if (m_ownChange || m_orphaned.empty())
        return;
    deleteOrphanedRows();
}

void FolderTreeModel::deleteOrphanedRows()
{
    const std::vector<qint64> keys = std::exchange(m_orphaned, {});
    QueryDataSet *ds = m_dataSet;
    // Backwards: every folder before its ancestors.
    if (write(
            [this, ds, &keys] {
                Transaction::CommitHold hold(ds->connection().transaction());
                for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
                    if (!ds->isEmpty() && locate(*it))
                        ds->remove();
                }
            },
            false))
        syncWithDataSet(false);
}

// Model to dataset.

bool FolderTreeModel::locate(qint64 key)
{
    try {
        return m_dataSet->locate(m_keyField, key);
    } catch (const std::exception &) {
        return false;
    }
}

bool FolderTreeModel::write(const std::function<void()> &work, bool readAgainOnError)
{
    QueryDataSet *ds = m_dataSet;
    std::exception_ptr error;
    {
        Updating updating(*this);
        QScopedValueRollback<bool> own(m_ownChange, true);
        ds->disableControls();
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        ds->enableControls();
    }
    if (!error)
        return true;
    // Show the table as it is: a refused write leaves rows and folders apart.
    if (readAgainOnError) {
        QScopedValueRollback<bool> own(m_ownChange, true);
        try {
            if (isChanging(*ds))
                ds->cancel();
            ds->refresh();
        } catch (const std::exception &) {
            // The tree shows what the dataset still holds.
        }
    }
    syncWithDataSet(true);
    Q_EMIT failed(error);
    return false;
}

void FolderTreeModel::makeCurrent(const QModelIndex &index)
{
    const Folder *f = folderOf(index);
    QueryDataSet *ds = m_dataSet;
    if (m_updating > 0 || !f || !ds || !ds->isOpen() || ds->isEmpty()
        || ds->state() == QueryDataSet::State::Insert || rowKey(ds->currentRow()) == f->key)
        return;
    Updating updating(*this);
    // A refused post of a pending edit keeps the dataset where it was, without a message.
    locate(f->key);
}

void FolderTreeModel::startRename(const QModelIndex &index)
{
    QueryDataSet *ds = m_dataSet;
    if (ds && ds->isOpen() && ds->state() == QueryDataSet::State::Browse && !ds->isEmpty()
        && index.isValid() && index == currentIndex())
        ds->edit();
}

bool FolderTreeModel::removeFolder(const QModelIndex &index)
{
    Folder *f = folderOf(index);
    QueryDataSet *ds = m_dataSet;
    if (!f || !ds || !ds->isOpen())
        return false;
    std::vector<qint64> keys;
    for (const Folder *folder : preOrder(f))
        keys.push_back(folder->key);
    const bool done = write(
        [this, ds, &keys] {
            Transaction::CommitHold hold(ds->connection().transaction());
            // Every folder before its ancestors, the folder itself last.
            for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
                if (!ds->isEmpty() && locate(*it))
                    ds->remove();
            }
        },
        false);
    if (done)
        syncWithDataSet(false);
    Q_EMIT currentFolderChanged(currentIndex());
    return done;
}

QModelIndex FolderTreeModel::moveFolderTo(Folder *folder, Folder *target)
{
    QueryDataSet *ds = m_dataSet;
    const qint64 key = folder->key;
    const qint64 targetKey = target->key;
    const bool done = write(
        [this, ds, key, targetKey] {
            const std::optional<qint64> current = rowKey(ds->currentRow());
            const bool elsewhere = current != key;
            if (elsewhere && !ds->locate(m_keyField, key))
                throw DbError(QStringLiteral("Folder %1 not found").arg(key));
            try {
                ds->edit();
                ds->fieldByName(m_parentField).setValue(targetKey);
                ds->post();
            } catch (...) {
                if (isChanging(*ds))
                    ds->cancel();
                throw;
            }
            if (elsewhere && current)
                ds->locate(m_keyField, *current);
        },
        true);
    folder = find(key);
    target = find(targetKey);
    if (!done || !folder || !target)
        return {};
    // The moved folder is the target's last child until the tree is next sorted.
    Updating updating(*this);
    folder->parentKey = targetKey;
    moveFolder(folder, target, int(target->children.size()));
    syncWithDataSet(false);
    return indexOf(folder);
}

QModelIndex FolderTreeModel::copyFolderTo(Folder *folder, Folder *target)
{
    QueryDataSet *ds = m_dataSet;
    // Each copy with its new key and the key of its parent's copy (the target's for the
    // first), folders before their sub-folders.
    struct Copy
    {
        qint64 source;
        qint64 key;
        qint64 parentKey;
        QString name;
    };
    qint64 nextKey = 0;
    for (const auto &entry : m_folders)
        nextKey = std::max(nextKey, entry.first);
    std::vector<Copy> copies;
    std::unordered_map<const Folder *, qint64> copyKeyOf;
    for (const Folder *original : preOrder(folder)) {
        const qint64 key = ++nextKey;
        copyKeyOf[original] = key;
        copies.push_back({original->key, key,
                          original == folder ? target->key : copyKeyOf[original->parent],
                          original->name});
    }
    const qint64 targetKey = target->key;
    QScopedValueRollback<bool> copying(m_copying, true);
    const bool done = write(
        [this, ds, &copies, targetKey] {
            // One copy is one piece of work: committed whole at its end, undone whole on an
            // error, so that neither a killed program nor a refused row leaves half a subtree.
            Connection &db = ds->connection();
            Transaction::CommitHold whole(db.transaction(), Transaction::CommitHold::Mode::Whole);
            const auto run = [&db](const char *sql) {
                Statement statement(db);
                statement.prepare(QString::fromLatin1(sql));
                statement.execute();
            };
            run("SAVEPOINT FOLDER_COPY");
            try {
                const Field &keyField = ds->field(m_keyColumn);
                for (Copy &copy : copies) {
                    if (!ds->locate(m_keyField, copy.source))
                        throw DbError(QStringLiteral("Folder %1 not found").arg(copy.source));
                    const QVariant name = ds->currentValue(m_nameColumn);
                    try {
                        ds->insert();
                        if (m_parentColumn >= 0)
                            ds->setCurrentValue(m_parentColumn, copy.parentKey);
                        ds->setCurrentValue(m_nameColumn, name);
                        ds->setCurrentValue(m_keyColumn, keyField.coerce(copy.key));
                        ds->post();
                    } catch (...) {
                        if (isChanging(*ds))
                            ds->cancel();
                        throw;
                    }
                    copy.name = Field::displayText(name);
                    if (m_copyOtherColumns)
                        copyOtherColumns(copy.source, copy.key);
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
            ds->locate(m_keyField, targetKey);
        },
        true);
    target = find(targetKey);
    if (!done || !target)
        return {};
    // The copies, each the last child of its parent's copy, the first the target's last.
    Updating updating(*this);
    Folder *top = nullptr;
    for (const Copy &copy : copies) {
        Folder *f = make(copy.key, copy.parentKey, copy.name);
        if (!top) {
            top = f;
            continue;
        }
        Folder *parent = find(copy.parentKey);
        f->parent = parent;
        f->row = int(parent->children.size());
        parent->children.push_back(f);
    }
    insertFolder(top, target, int(target->children.size()));
    syncWithDataSet(false);
    return indexOf(top);
}

void FolderTreeModel::copyOtherColumns(qint64 from, qint64 to)
{
    QueryDataSet &ds = *m_dataSet;
    try {
        if (!ds.locate(m_keyField, from))
            return;
        QList<QPair<int, QVariant>> values;
        for (int i = 0; i < ds.fieldCount(); ++i) {
            const Field &field = ds.field(i);
            if (field.isLookup() || field.name().compare(m_keyField, Qt::CaseInsensitive) == 0
                || field.name().compare(m_parentField, Qt::CaseInsensitive) == 0)
                continue;
            values.append(qMakePair(i, ds.currentValue(i)));
        }
        if (!ds.locate(m_keyField, to))
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
