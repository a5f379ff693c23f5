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
    // The text upper-cased as fold() does it, as a string: what the search windows send to
    // the server. Unlike the locale's upper-casing it keeps every code point a code point
    // ("ß" stays, not "SS"), and a letter whose upper case is of another UTF-8 length as
    // typed, so the server finds what it finds for the text as typed.
    static QString upper(const QString &text);
    // Longest file text a name can hold (FCONTENT's length), in UTF-16 units.
    static constexpr int MaxName = 1024;
    // Whether fold() keeps the text searchable as one line (no line break, no 0x01), and the
    // server compares it as fold() does: it does not when a letter's upper case is shorter or
    // longer in UTF-8 ("ı", "ſ": nothing or little is found, "ɐ": an error).
    static bool isSearchable(const QString &text);

    // FIND's path of an entry: its ancestors' names (the parent first, up to the root entry)
    // joined with '/' in front of its own; an overlong path keeps its end behind "…/".
    static QString contentPath(const QString &name, const QStringList &ancestors);

    // Longest path FIND returns, in characters.
    static constexpr int MaxPath = 4096;
    // Deepest chain of folders FIND walks.
    static constexpr int MaxDepth = 1000;
};
