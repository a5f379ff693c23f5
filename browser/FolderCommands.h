#pragma once

class QueryDataSet;
class TDBTreeView;

// The folder tree of the main window and the commands of its context menu. The commands throw
// the data layer's errors: the caller runs them through runCommand().
namespace FolderCommands {

// Binds the tree to dtFolder: keys FFOLDERID, parents FOWNFOLDERID, names FFOLDER.
void setupFolderTree(TDBTreeView &tree, QueryDataSet &dtFolder);

// aAddFolder: a new top-level folder named "Новая папка", posted at once.
void addFolder(TDBTreeView &tree);
// aDelFolder: deletes the current folder, if it is in the tree, without asking; the tree then
// deletes the rows of its sub-folders.
void delFolder(TDBTreeView &tree);
// aRenameFolder: puts the folder dataset into edit mode and opens the folder's label for typing.
void renameFolder(TDBTreeView &tree);

} // namespace FolderCommands
