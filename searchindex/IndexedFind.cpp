#include "searchindex/IndexedFind.h"

#include "searchindex/IndexText.h"
#include "store/Connection.h"
#include "store/Statement.h"

#include <QThread>
#include <algorithm>
#include <atomic>
#include <thread>

namespace {

// Keys looked up by one execution of the statement.
constexpr int kKeysPerQuery = 100;
constexpr int kBlockRows = 1000;
constexpr size_t kMaxBatch = 2048;

} // namespace

QString IndexedFind::columnName(int column)
{
    static const char *const names[ColumnCount]
        = {"FFOLDERID", "FDISKID",      "FFOLDERFULL",  "FDISK",       "FDISKCOMMENT",
           "FDISKDATE", "FCONTENTFULL", "FCONTENTDATE", "FCONTENTSIZE"};
    return QString::fromLatin1(names[column]);
}

bool IndexedFind::canAnswer(const QString &content, const QString &disk)
{
    const auto plain = [](const QString &text) {
        return IndexText::isSearchable(text) && !text.startsWith(QLatin1Char(' '))
            && !text.endsWith(QLatin1Char(' '));
    };
    return !content.isEmpty() && content.size() <= IndexText::MaxName && plain(content)
        && disk.size() <= MaxDiskText && plain(disk);
}

IndexedFind::IndexedFind(Connection &connection, const ContentIndex &index, DiskOrder &disks,
                         const QString &content, const QString &disk)
    : m_connection(connection), m_index(index), m_needle(IndexText::fold(content))
{
    disks.refresh(connection);
    // The disk text compares as the file text does: FNAME has the same collation.
    const QByteArray diskNeedle = IndexText::fold(disk);
    for (const Disk &d : disks.disks()) {
        if (diskNeedle.isEmpty() || d.folded.contains(diskNeedle))
            m_disks.push_back(d);
    }
}

IndexedFind::~IndexedFind() = default;

bool IndexedFind::scanMore()
{
    if (m_scanned >= m_disks.size())
        return false;
    const size_t first = m_scanned;
    const size_t last = std::min(m_disks.size(), first + m_batch);
    m_batch = std::min(kMaxBatch, m_batch * 4);
    std::vector<std::vector<ContentIndex::Ref>> found(last - first);
    std::atomic<size_t> nextDisk {first};
    auto work = [&] {
        for (size_t i = nextDisk++; i < last; i = nextDisk++)
            found[i - first] = m_index.scanDisk(m_disks[i].key, m_needle);
    };
    const int threads = std::max(1, std::min(QThread::idealThreadCount(), int(last - first)));
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(work);
    work();
    for (std::thread &t : helpers)
        t.join();
    for (size_t i = first; i < last; ++i) {
        for (const ContentIndex::Ref &r : found[i - first])
            m_matches.push_back({int(i), r});
    }
    m_scanned = last;
    return true;
}

std::vector<qint32> IndexedFind::pathKeys(qint32 disk, ContentIndex::Ref ref) const
{
    // FIND walks up through entries of the same disk to the root entry, at most 1000 steps.
    std::vector<qint32> keys;
    qint32 parent = m_index.parent(ref);
    while (parent != IndexSegment::NoParent && int(keys.size()) < IndexText::MaxDepth) {
        ContentIndex::Ref up;
        if (!m_index.findEntry(disk, parent, &up) || m_index.isRoot(up))
            break;
        keys.push_back(parent);
        parent = m_index.parent(up);
    }
    return keys;
}

void IndexedFind::fetchDetails(const std::vector<qint32> &keys)
{
    if (keys.empty())
        return;
    // One statement, prepared once, for every chunk of keys; a short chunk repeats its last key.
    if (!m_byKey) {
        QString list;
        for (int i = 0; i < kKeysPerQuery; ++i)
            list += (i ? QStringLiteral(",:K") : QStringLiteral(":K")) + QString::number(i);
        m_byKey = std::make_unique<Statement>(m_connection);
        m_byKey->prepare(QStringLiteral("select FCONTENTID, FCONTENT, FDATE, FSIZE from TCONTENT "
                                        "where FCONTENTID in (")
                         + list + QLatin1Char(')'));
    }
    Statement &s = *m_byKey;
    for (size_t at = 0; at < keys.size(); at += kKeysPerQuery) {
        const size_t end = std::min(keys.size(), at + kKeysPerQuery);
        for (int i = 0; i < kKeysPerQuery; ++i)
            s.setParam(i, keys[std::min(end - 1, at + size_t(i))]);
        s.execute();
        while (s.fetch())
            m_details.insert(s.value(0).toInt(), {s.value(1).toString(), s.value(2), s.value(3)});
    }
}

bool IndexedFind::fillBlock()
{
    while (int(m_matches.size()) < m_block && scanMore()) { }
    if (m_matches.empty())
        return false;
    const int count = std::min(int(m_matches.size()), m_block);
    m_block = kBlockRows;
    // Names on the paths repeat from row to row: each is fetched once.
    std::vector<std::vector<qint32>> paths(static_cast<size_t>(count));
    std::vector<qint32> wanted;
    for (int i = 0; i < count; ++i) {
        const Match &m = m_matches[size_t(i)];
        const qint32 disk = m_disks[size_t(m.disk)].key;
        paths[size_t(i)] = pathKeys(disk, m.ref);
        const qint32 own = m_index.key(m.ref);
        if (!m_details.contains(own))
            wanted.push_back(own);
        for (qint32 k : paths[size_t(i)]) {
            if (!m_details.contains(k))
                wanted.push_back(k);
        }
    }
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    fetchDetails(wanted);
    for (int i = 0; i < count; ++i) {
        const Match m = m_matches.front();
        m_matches.pop_front();
        const auto own = m_details.constFind(m_index.key(m.ref));
        // An entry gone since the index was brought up to date is gone for FIND too.
        if (own == m_details.cend())
            continue;
        QStringList ancestors;
        for (qint32 k : paths[size_t(i)])
            ancestors << m_details.value(k).name;
        std::vector<QVariant> row(ColumnCount);
        const Disk &d = m_disks[size_t(m.disk)];
        for (int c = 0; c < FCONTENTFULL; ++c)
            row[size_t(c)] = d.values[c];
        row[FCONTENTFULL] = IndexText::contentPath(own->name, ancestors);
        row[FCONTENTDATE] = own->date;
        row[FCONTENTSIZE] = own->size;
        m_rows.push_back(std::move(row));
    }
    // Matches of one block stay cached for the path names they share; the rest is dropped.
    if (m_details.size() > 100000)
        m_details.clear();
    return true;
}

bool IndexedFind::next(std::vector<QVariant> &row)
{
    while (m_rows.empty()) {
        if (!fillBlock())
            return false;
    }
    row = std::move(m_rows.front());
    m_rows.pop_front();
    return true;
}
