#include "browser/FolderCommands.h"

#include "browser/FolderTreeModel.h"
#include "browser/TDBTreeView.h"
#include "store/DbError.h"
#include "store/QueryDataSet.h"

namespace FolderCommands {

namespace {

QueryDataSet &dataSetOf(const TDBTreeView &tree)
{
    QueryDataSet *ds = tree.folderModel()->dataSet();
    if (!ds)
        throw DbError(QStringLiteral("The folder tree has no dataset"));
    return *ds;
}

} // namespace

void setupFolderTree(TDBTreeView &tree, QueryDataSet &dtFolder)
{
    tree.folderModel()->setDataSet(&dtFolder, QStringLiteral("FFOLDERID"),
                                   QStringLiteral("FOWNFOLDERID"), QStringLiteral("FFOLDER"));
}

void addFolder(TDBTreeView &tree)
{
    QueryDataSet &ds = dataSetOf(tree);
    ds.insert();
    ds.fieldByName(QStringLiteral("FFOLDER")).setString(QStringLiteral("Новая папка"));
    ds.post();
}

void delFolder(TDBTreeView &tree)
{
    QueryDataSet *ds = tree.folderModel()->dataSet();
    if (!ds || !ds->isOpen() || !tree.folderModel()->currentIndex().isValid())
        return;
    ds->remove();
}

void renameFolder(TDBTreeView &tree)
{
    QueryDataSet &ds = dataSetOf(tree);
    ds.edit();
    // An empty table starts a new row instead; its folder appears once it has a key.
    const QModelIndex folder = tree.folderModel()->currentIndex();
    if (folder.isValid()) {
        tree.setCurrentIndex(folder);
        tree.edit(folder);
    }
}

} // namespace FolderCommands
