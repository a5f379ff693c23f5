#pragma once

#include "store/QueryDataSet.h"

#include <QAbstractItemModel>
#include <QCollator>
#include <QCollatorSortKey>
#include <QPointer>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

// The folders of a dataset over a self-referencing table as a tree: one node per row with a
// key, nested by the parent column, captioned by the name column, siblings in the locale's
// case-sensitive order. The model follows the dataset's row notifications one row at a time
// and compares its nodes with the rows only when the dataset was re-read as a whole.
//
// Renaming writes the name of the current row; a folder dropped onto another is moved there
// (its parent rewritten) or copied with its sub-folders as new rows; deleting a folder row
// deletes the rows of its sub-folders too. Writes and readings that fail are told through
// failed, after the model has shown the table again as it is.
class FolderTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    static const QString folderMimeType;
    enum Role { KeyRole = Qt::UserRole + 1, MaxLengthRole };

    explicit FolderTreeModel(QObject *parent = nullptr);
    ~FolderTreeModel() override;

    // Binds the model to a dataset (nullptr unbinds); an open dataset is read at once.
    void setDataSet(QueryDataSet *dataSet, const QString &keyField, const QString &parentField,
                    const QString &nameField);
    QueryDataSet *dataSet() const { return m_dataSet; }

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Renames the folder of the dataset's current row while the dataset is editing it.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;
    // A folder may go onto any folder but itself and its own sub-folders.
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    // Moves (MoveAction) or copies (CopyAction) the dragged folder to be the last child of
    // parent; folderDropped names the result.
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

    QModelIndex indexOfKey(qint64 key) const;
    std::optional<qint64> keyOf(const QModelIndex &index) const;
    // The node of the dataset's current row, if it has one.
    QModelIndex currentIndex() const;
    int folderCount() const { return int(m_folders.size()); }
    bool isAncestor(const QModelIndex &ancestor, const QModelIndex &index) const;

    // Moves the dataset to a folder's row, unless it is inserting a row; errors are ignored.
    void makeCurrent(const QModelIndex &index);
    // Puts the dataset into edit mode for renaming a folder when it is the current row's.
    void startRename(const QModelIndex &index);
    // Deletes the rows of a folder and its sub-folders, the deepest first.
    bool removeFolder(const QModelIndex &index);

    // A copied folder takes over the other columns of the folder it copies.
    bool copiesOtherColumns() const { return m_copyOtherColumns; }
    void setCopiesOtherColumns(bool on) { m_copyOtherColumns = on; }

    // Set while the model writes the dataset or follows its notifications: selection changes
    // do not move the dataset then.
    bool isUpdating() const { return m_updating > 0; }
    bool isCopying() const { return m_copying; }

Q_SIGNALS:
    // The dataset's current row moved to a folder (an invalid index for a row without one).
    void currentFolderChanged(const QModelIndex &index);
    // A dropped folder was moved or copied; index is the moved folder or the copy.
    void folderDropped(const QModelIndex &index);
    // The dataset stopped editing or inserting a row: a rename in progress has nothing to
    // write to any more.
    void renameEnded();
    // A write or a reading of the model's own failed; what it did before stays done.
    void failed(std::exception_ptr error);

private:
    struct Folder;
    class Updating;

    Folder *folderOf(const QModelIndex &index) const;
    QModelIndex indexOf(const Folder *folder) const;
    Folder *find(const std::optional<qint64> &key) const;
    // A new folder, not in the tree yet.
    Folder *make(qint64 key, const std::optional<qint64> &parentKey, const QString &name);
    std::optional<qint64> rowKey(int row) const;
    std::optional<qint64> rowParent(int row) const;
    QString rowName(int row) const;
    const QCollatorSortKey &sortKey(const Folder &folder) const;
    bool sortsBefore(const Folder &a, const Folder &b) const;
    static bool isInside(const Folder *folder, const Folder *ancestor);
    static std::vector<Folder *> preOrder(Folder *folder);

    // Tree edits, each told to the views.
    int sortedPosition(const Folder *parent, const Folder *folder) const;
    void insertFolder(Folder *folder, Folder *parent, int position);
    void moveFolder(Folder *folder, Folder *parent, int position);
    void deleteFolder(Folder *folder);
    void setName(Folder *folder, const QString &name);
    // A renamed folder moves to its place among sorted siblings.
    void placeAmongSiblings(Folder *folder);
    void sortChildren(const std::vector<Folder *> &parents);
    void renumber(Folder *parent, int from = 0);
    // The parent a folder's row names, or the root; the folder stays where it is when that
    // would make it its own ancestor.
    Folder *wantedParent(Folder *folder) const;

    // Dataset to model.
    void connectDataSet();
    void clear();
    void readColumns();
    void build();
    void syncWithDataSet(bool sortAll);
    void syncRow(int row);
    // Reads the rest of the rows; a failure is told, the rows read so far are shown.
    void fetchAll();
    void onDataReset();
    void onRowsFetched();
    void onRowInserted(int row);
    void onRowAboutToBeRemoved(int row);
    void onRowRemoved(int row);
    void onRowMoved(int from, int to);
    void onRowChanged(int row);
    void onCurrentRowChanged();
    void onDataSetChanged();
    void deleteOrphanedRows();

    // Model to dataset.
    // Runs the model's own writes with the dataset's views off; on an error the dataset is
    // read again where readAgainOnError, the tree compared with it, and failed told.
    bool write(const std::function<void()> &work, bool readAgainOnError);
    QModelIndex moveFolderTo(Folder *folder, Folder *target);
    QModelIndex copyFolderTo(Folder *folder, Folder *target);
    void copyOtherColumns(qint64 from, qint64 to);
    bool locate(qint64 key);

    QPointer<QueryDataSet> m_dataSet;
    QList<QMetaObject::Connection> m_links;
    QString m_keyField;
    QString m_parentField;
    QString m_nameField;
    int m_keyColumn = -1;
    int m_parentColumn = -1;
    int m_nameColumn = -1;
    QCollator m_collator;
    bool m_copyOtherColumns = true;

    std::unique_ptr<Folder> m_root;
    std::unordered_map<qint64, std::unique_ptr<Folder>> m_folders;
    // The folder of each dataset row, in the dataset's order; null for a row without a key.
    std::vector<Folder *> m_rows;
    // Sub-folders of a deleted folder row, whose rows go after it (deepest last in the list).
    std::vector<qint64> m_orphaned;

    int m_updating = 0;
    // Set while the model itself drives the dataset: its notifications are not followed then.
    bool m_ownChange = false;
    bool m_copying = false;
};
