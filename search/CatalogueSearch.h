#pragma once

#include "store/QueryDataSet.h"

#include <QString>
#include <functional>
#include <optional>

class Connection;
class SearchIndex;

// Searching the catalogue by names: the one place that chooses between the local index and
// the server. Texts are taken as typed and compared upper-cased code point by code point, as
// the server compares; a text it can answer goes to the index, anything else (or every text,
// without an index or while it cannot answer) to the server's FIND and FINDFILE.
class CatalogueSearch
{
public:
    // The matches inside one disk, one key at a time, none after the last.
    struct Matches
    {
        std::function<std::optional<int>()> next;
        bool indexed = false;
    };

    explicit CatalogueSearch(Connection &connection, SearchIndex *index = nullptr);

    // The rows of the last find, with FIND's columns; the caller reads and shows them.
    QueryDataSet &results() { return m_results; }

    // Opens results on the disks whose name contains diskText, with their files whose name
    // contains fileText (disks only when that is empty). True when the index answered.
    bool find(const QString &fileText, const QString &diskText);
    // The entries of one disk whose name contains a text, in FINDFILE's order.
    Matches onDisk(int diskId, const QString &text);

private:
    Connection &m_connection;
    SearchIndex *m_index;
    QueryDataSet m_results;
};
