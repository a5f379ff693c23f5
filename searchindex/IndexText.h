#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The text rules the catalogue's search follows, for answering it locally: names compared as
// the server's CONTAINING compares them, and an entry's path as FIND builds it.
class IndexText
{
public:
    // The name as CONTAINING sees it: every code point upper-cased on its own (no special
    // casing: "ß" stays, "ς" becomes "Σ"), as UTF-8. A line break becomes 0x01 so that names
    // can be kept one per line.
    static QByteArray fold(const QString &name);
    static QByteArray fold(const char *utf8, int size);
    // Whether fold() kept the text searchable as one line: no line break, no 0x01.
    static bool isSearchable(const QString &text);

    // FIND's path of an entry: its ancestors' names (the parent first, up to the root entry)
    // joined with '/' in front of its own; an overlong path keeps its end behind "…/".
    static QString contentPath(const QString &name, const QStringList &ancestors);

    // Longest path FIND returns, in characters.
    static constexpr int MaxPath = 4096;
    // Deepest chain of folders FIND walks.
    static constexpr int MaxDepth = 1000;
};
