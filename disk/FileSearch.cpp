#include "disk/FileSearch.h"

FileSearch::FileSearch(Connection &connection, SearchIndex *index) : m_search(connection, index) { }

std::optional<int> FileSearch::step(int diskId, const QString &text)
{
    const bool again = text == m_previous && m_matches.next;
    m_previous = text;
    if (!again) {
        // A search that fails leaves nothing to step through.
        m_matches = {};
        m_matches = m_search.onDisk(diskId, text);
    }
    const std::optional<int> key = m_matches.next();
    if (!key)
        m_matches.next = nullptr;
    return key;
}
