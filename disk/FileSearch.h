#pragma once

#include <QString>
#include <memory>
#include <optional>

class Connection;
class QueryDataSet;

// The disk editor's file search: the keys of a disk's entries whose name contains a text.
// The same text again steps to the next match; past the last one there is none, and the
// same text once more starts at the first match again.
class FileSearch
{
public:
    explicit FileSearch(Connection &connection);
    ~FileSearch();

    // The key of the next match, none when there is no further match.
    std::optional<int> step(int diskId, const QString &text);
    // The text of the previous search (empty before the first).
    const QString &previousText() const { return m_previous; }

private:
    std::unique_ptr<QueryDataSet> dtFindFile;
    QString m_previous;
};
