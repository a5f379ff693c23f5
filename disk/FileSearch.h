#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <vector>

class Connection;
class QueryDataSet;
class SearchIndex;

// The disk editor's file search: the keys of a disk's entries whose name contains a text.
// The same text again steps to the next match; past the last one there is none, and the
// same text once more starts at the first match again.
class FileSearch
{
public:
    // With an index, a text it can answer is looked up there instead of by the server.
    explicit FileSearch(Connection &connection, SearchIndex *index = nullptr);
    ~FileSearch();

    // The key of the next match, none when there is no further match.
    std::optional<int> step(int diskId, const QString &text);
    // The text of the previous search (empty before the first).
    const QString &previousText() const { return m_previous; }
    // Whether the last new search was answered by the index.
    bool wasIndexed() const { return m_indexed; }

private:
    Connection &m_connection;
    SearchIndex *m_index;
    std::unique_ptr<QueryDataSet> dtFindFile;
    QString m_previous;
    // The matches of an indexed search and the next one to give; open while not empty.
    std::vector<int> m_keys;
    size_t m_next = 0;
    bool m_indexed = false;
};
