#pragma once

#include "search/CatalogueSearch.h"

#include <QString>
#include <optional>

class Connection;
class SearchIndex;

// The disk editor's file search: the keys of a disk's entries whose name contains a text.
// The same text again steps to the next match; past the last one there is none, and the
// same text once more starts at the first match again.
class FileSearch
{
public:
    // With an index, a text it can answer is looked up there instead of by the server.
    explicit FileSearch(Connection &connection, SearchIndex *index = nullptr);

    // The key of the next match, none when there is no further match.
    std::optional<int> step(int diskId, const QString &text);
    // The text of the previous search (empty before the first).
    const QString &previousText() const { return m_previous; }
    // Whether the last new search was answered by the index.
    bool wasIndexed() const { return m_matches.indexed; }

private:
    CatalogueSearch m_search;
    QString m_previous;
    // The matches of the current text; empty once they have all been given.
    CatalogueSearch::Matches m_matches;
};
