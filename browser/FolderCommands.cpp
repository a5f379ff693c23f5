#include "browser/FolderCommands.h"

#include "browser/TDBTreeView.h"
#include "store/DbError.h"
#include "store/QueryDataSet.h"

namespace FolderCommands {

namespace {

QueryDataSet &dataSetOf(const TDBTreeView &tree)
{
    if (!tree.dataSet())
        throw DbError(QStringLiteral("The folder tree has no dataset"));
    return *tree.dataSet();
}

} // namespace

void setupFolderTree(TDBTreeView &tree, QueryDataSet &dtFolder)
{
    tree.setKeyField(QStringLiteral("FFOLDERID"));
    tree.setParentField(QStringLiteral("FOWNFOLDERID"));
    tree.setListField(QStringLiteral("FFOLDER"));
    tree.setDisplayField(QStringLiteral("FFOLDER"));
    tree.setSeparatedSt(QStringLiteral(" - "));
    tree.setRootValue(QStringLiteral("0"));
    tree.setOptions(TDBTreeView::trDBCanDelete | TDBTreeView::trDBConfirmDelete
                    | TDBTreeView::trCanDBNavigate | TDBTreeView::trSmartRecordCopy
                    | TDBTreeView::trCheckHasChildren);
    tree.setSortType(TCustomAutoTreeView::SortType::Text);
    tree.setSelectedIndex(3);
    tree.setShowNodeHint(true);
    tree.setReadOnly(false);
    tree.setIndentation(19);
    tree.setDataSet(&dtFolder);
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
    QueryDataSet *ds = tree.dataSet();
    if (!ds || !ds->isOpen() || !tree.currentDBNode())
        return;
    ds->remove();
}

void renameFolder(TDBTreeView &tree)
{
    QueryDataSet &ds = dataSetOf(tree);
    ds.edit();
    // An empty table starts a new row instead; its node appears once it has a key.
    const TDBTreeNode *record = tree.currentDBNode();
    if (record && record->node) {
        tree.setCurrentItem(record->node);
        tree.editItem(record->node);
    }
}

} // namespace FolderCommands
