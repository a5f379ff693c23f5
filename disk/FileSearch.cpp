#include "disk/FileSearch.h"

#include "searchindex/IndexText.h"
#include "searchindex/IndexedFind.h"
#include "searchindex/SearchIndex.h"
#include "store/QueryDataSet.h"

FileSearch::FileSearch(Connection &connection, SearchIndex *index)
    : m_connection(connection),
      m_index(index),
      dtFindFile(std::make_unique<QueryDataSet>(connection, QStringLiteral("dtFindFile")))
{
    dtFindFile->setSelectSql(
        {QStringLiteral("select FCONTENTID from FINDFILE(:VDISKID,:VCONTENT)")});
}

FileSearch::~FileSearch() = default;

std::optional<int> FileSearch::step(int diskId, const QString &text)
{
    QueryDataSet &find = *dtFindFile;
    const bool again = text == m_previous && (find.isOpen() || !m_keys.empty());
    m_previous = text;
    if (again && !m_keys.empty()) {
        if (m_next < m_keys.size())
            return m_keys[m_next++];
        m_keys.clear();
        return std::nullopt;
    }
    bool found = false;
    if (again) {
        find.next();
        found = !find.eof();
    } else {
        find.close();
        m_keys.clear();
        m_indexed = false;
        // As the server compares; see the search window.
        const QString upper = IndexText::upper(text);
        // No name is longer: nothing to ask the server, which would refuse the text.
        if (upper.size() > IndexText::MaxName)
            return std::nullopt;
        if (m_index && IndexedFind::canAnswer(upper)) {
            if (auto index = m_index->prepare(m_connection)) {
                m_indexed = true;
                for (const ContentIndex::Ref &r :
                     index->scanDisk(diskId, IndexText::fold(upper), true))
                    m_keys.push_back(index->key(r));
                m_next = 0;
                if (m_keys.empty())
                    return std::nullopt;
                return m_keys[m_next++];
            }
        }
        find.setParam(QStringLiteral("VDISKID"), diskId);
        find.setParam(QStringLiteral("VCONTENT"), upper);
        find.open();
        found = !find.isEmpty();
    }
    if (!found) {
        find.close();
        return std::nullopt;
    }
    return find.fieldByName(QStringLiteral("FCONTENTID")).asInteger();
}
