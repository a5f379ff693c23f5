#include "search/CatalogueSearch.h"

#include "searchindex/IndexText.h"
#include "searchindex/IndexedFind.h"
#include "searchindex/SearchIndex.h"

#include <memory>
#include <vector>

namespace {

// What the index answers for a file and a disk text: FIND's columns, row by row.
RowCache::Reader indexedRows(Connection &connection, SearchIndex &search,
                             std::shared_ptr<const ContentIndex> index, const QueryDataSet &rows,
                             const QString &content, const QString &disk)
{
    auto find
        = std::make_shared<IndexedFind>(connection, *index, search.diskOrder(), content, disk);
    std::vector<int> at;
    for (int c = 0; c < IndexedFind::ColumnCount; ++c) {
        const Field *f = rows.findField(IndexedFind::columnName(c));
        at.push_back(f ? f->index() : -1);
    }
    return [find, index, at](RowCache::Row &row) {
        std::vector<QVariant> values;
        if (!find->next(values))
            return false;
        for (size_t c = 0; c < at.size(); ++c) {
            if (at[c] >= 0)
                row[size_t(at[c])] = std::move(values[c]);
        }
        return true;
    };
}

} // namespace

CatalogueSearch::CatalogueSearch(Connection &connection, SearchIndex *index)
    : m_connection(connection), m_index(index), m_results(connection, QStringLiteral("dtFind"))
{
    m_results.setSelectSql({QStringLiteral("select * from FIND(:VCONTENT, :VDISK)")});
}

bool CatalogueSearch::find(const QString &fileText, const QString &diskText)
{
    m_results.close();
    // Upper-cased code point by code point, as the server compares: the locale's rules would
    // turn "ß" into "SS" and find other names than the server finds for the text typed.
    const QString disk = IndexText::upper(diskText);
    const QString content = IndexText::upper(fileText);
    m_results.setParam(QStringLiteral("VDISK"), disk);
    m_results.setParam(QStringLiteral("VCONTENT"), content);
    m_results.setRowSource(nullptr);
    bool indexed = false;
    if (content.size() > IndexText::MaxName || disk.size() > IndexedFind::MaxDiskText) {
        // No name is that long: nothing is found, and the server would refuse the text.
        m_results.setRowSource([] { return [](RowCache::Row &) { return false; }; });
    } else if (m_index && IndexedFind::canAnswer(content, disk)) {
        if (auto index = m_index->prepare(m_connection)) {
            indexed = true;
            m_results.setRowSource([this, index, content, disk] {
                return indexedRows(m_connection, *m_index, index, m_results, content, disk);
            });
        }
    }
    m_results.open();
    return indexed;
}

CatalogueSearch::Matches CatalogueSearch::onDisk(int diskId, const QString &text)
{
    const QString upper = IndexText::upper(text);
    // No name is longer: nothing to ask the server, which would refuse the text.
    if (upper.size() > IndexText::MaxName)
        return {[] { return std::optional<int>(); }, false};
    if (m_index && IndexedFind::canAnswer(upper)) {
        if (auto index = m_index->prepare(m_connection)) {
            auto keys = std::make_shared<std::vector<int>>();
            for (const ContentIndex::Ref &r : index->scanDisk(diskId, IndexText::fold(upper), true))
                keys->push_back(index->key(r));
            return {[keys, at = size_t(0)]() mutable {
                        return at < keys->size() ? std::optional<int>((*keys)[at++]) : std::nullopt;
                    },
                    true};
        }
    }
    auto find = std::make_shared<QueryDataSet>(m_connection, QStringLiteral("dtFindFile"));
    find->setSelectSql({QStringLiteral("select FCONTENTID from FINDFILE(:VDISKID,:VCONTENT)")});
    find->setParam(QStringLiteral("VDISKID"), diskId);
    find->setParam(QStringLiteral("VCONTENT"), upper);
    find->open();
    return {[find, started = false]() mutable -> std::optional<int> {
                if (!find->isOpen())
                    return std::nullopt;
                if (started)
                    find->next();
                started = true;
                if (find->eof() || find->isEmpty()) {
                    find->close();
                    return std::nullopt;
                }
                return find->fieldByName(QStringLiteral("FCONTENTID")).asInteger();
            },
            false};
}
