#pragma once

#include <QIcon>

// The program's one image list: an icon by its index, taken from the desktop's icon theme
// when it has one, else drawn here, so that a bare machine shows every icon too.
namespace IconSet {
enum Index {
    About = 2,
    FolderMarked = 3,
    FolderOpen = 4,
    FolderClosed = 5,
    Connect = 8,
    Find = 9,
    Setup = 10,
    Exit = 11,
    Give = 13,
    Save = 14,
    Install = 15,
    Add = 20,
    Delete = 21,
    Groups = 23,
    People = 24,
    Types = 25,
    Edit = 26,
    Reports = 27,
    Refresh = 28,
};
QIcon icon(int index);
// The drawn picture, whatever the theme has.
QIcon drawn(int index);
} // namespace IconSet
