#pragma once

#include <QByteArray>

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

} // namespace FixtureTree
