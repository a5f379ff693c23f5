#pragma once

#include <QByteArray>
#include <QString>

// Small trees of awkward entries built in a temporary folder, with names as raw bytes so that
// invalid UTF-8 can be made.
namespace FixtureTree {

enum class Fixture {
    Cyrillic,
    Accented,
    Cjk,
    Emoji,
    InvalidUtf8,
    LongName,
    Deep,
    SymlinkLoop,
    Unreadable,
    Fifo,
    Sparse,
    Hidden,
    HiddenFolder,
    Empty
};

inline constexpr int DeepLevels = 120;
inline constexpr qint64 SparseSize = 5LL * 1024 * 1024 * 1024;

QByteArray joined(const QByteArray &folder, const QByteArray &name);
bool writeFile(const QByteArray &path, const QByteArray &content);
// Builds the fixture under root.
bool build(Fixture fixture, const QByteArray &root);
// Undoes what keeps a fixture from being removed with its temporary folder.
void release(const QByteArray &root);

// A collection of files files in files/10 folders under root, for reads that take a while:
// ten top folders, then ten in each folder of a level until there are enough, the files
// spread evenly, a third of them empty. The number of entries (folders and files), or -1
// when the tree could not be made.
qint64 buildCollection(const QString &root, int files);

} // namespace FixtureTree
