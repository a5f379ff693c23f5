#include "searchindex/IndexSegment.h"

#include <QSaveFile>
#include <algorithm>
#include <cstring>

namespace {

constexpr char kMagic[8] = {'K', 'D', 'R', 'I', 'D', 'X', '0', '2'};

struct Header
{
    char magic[8];
    quint32 entries;
    quint32 disks;
    quint32 roots;
    quint32 reserved;
    quint64 namesBytes;
};

qint64 padded(qint64 bytes)
{
    return (bytes + 7) & ~qint64(7);
}

} // namespace

void IndexSegment::Batch::add(const Entry &e)
{
    keys.push_back(e.key);
    disks.push_back(e.disk);
    parents.push_back(e.parent);
    roots.push_back(e.root ? 1 : 0);
    nameAt.push_back(quint64(names.size()));
    names += e.folded;
}

bool IndexSegment::write(const QString &path, const Batch &batch, QString *error)
{
    const size_t n = batch.size();
    if (n >= UINT32_MAX) {
        *error = QStringLiteral("too many entries for one index file");
        return false;
    }
    std::vector<quint32> order(n);
    for (size_t i = 0; i < n; ++i)
        order[i] = quint32(i);
    std::sort(order.begin(), order.end(), [&batch](quint32 a, quint32 b) {
        return batch.disks[a] != batch.disks[b] ? batch.disks[a] < batch.disks[b]
                                                : batch.keys[a] < batch.keys[b];
    });
    auto nameSize = [&batch, n](quint32 i) {
        const quint64 end = i + 1 < n ? batch.nameAt[i + 1] : quint64(batch.names.size());
        return end - batch.nameAt[i];
    };
    std::vector<qint32> diskKeys;
    std::vector<quint32> diskFirst;
    std::vector<quint64> diskNames;
    std::vector<quint32> roots;
    quint64 namesBytes = 0;
    for (size_t i = 0; i < n; ++i) {
        const quint32 e = order[i];
        if (diskKeys.empty() || diskKeys.back() != batch.disks[e]) {
            diskKeys.push_back(batch.disks[e]);
            diskFirst.push_back(quint32(i));
            diskNames.push_back(namesBytes);
        }
        if (batch.roots[e])
            roots.push_back(quint32(i));
        namesBytes += nameSize(e) + 1;
    }
    diskFirst.push_back(quint32(n));
    diskNames.push_back(namesBytes);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    static const char zeros[8] = {};
    auto put = [&file](const void *data, qint64 bytes) {
        file.write(static_cast<const char *>(data), bytes);
        file.write(zeros, padded(bytes) - bytes);
    };
    Header header {};
    std::memcpy(header.magic, kMagic, sizeof kMagic);
    header.entries = quint32(n);
    header.disks = quint32(diskKeys.size());
    header.roots = quint32(roots.size());
    header.namesBytes = namesBytes;
    put(&header, sizeof header);
    put(diskKeys.data(), qint64(diskKeys.size() * sizeof(qint32)));
    put(diskFirst.data(), qint64(diskFirst.size() * sizeof(quint32)));
    put(diskNames.data(), qint64(diskNames.size() * sizeof(quint64)));
    std::vector<qint32> column(n);
    for (size_t i = 0; i < n; ++i)
        column[i] = batch.keys[order[i]];
    put(column.data(), qint64(n * sizeof(qint32)));
    for (size_t i = 0; i < n; ++i)
        column[i] = batch.parents[order[i]];
    put(column.data(), qint64(n * sizeof(qint32)));
    put(roots.data(), qint64(roots.size() * sizeof(quint32)));
    QByteArray names;
    for (size_t i = 0; i < n; ++i) {
        const quint32 e = order[i];
        names.append(batch.names.constData() + batch.nameAt[e], qsizetype(nameSize(e)));
        names += '\n';
        if (names.size() > (4 << 20)) {
            file.write(names);
            names.clear();
        }
    }
    file.write(names);
    file.write(zeros, padded(qint64(namesBytes)) - qint64(namesBytes));
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

std::unique_ptr<IndexSegment> IndexSegment::open(const QString &path)
{
    std::unique_ptr<IndexSegment> s(new IndexSegment);
    s->m_path = path;
    s->m_file.setFileName(path);
    if (!s->m_file.open(QIODevice::ReadOnly))
        return nullptr;
    s->m_size = s->m_file.size();
    if (s->m_size < qint64(sizeof(Header)))
        return nullptr;
    const uchar *base = s->m_file.map(0, s->m_size);
    if (!base)
        return nullptr;
    Header header;
    std::memcpy(&header, base, sizeof header);
    if (std::memcmp(header.magic, kMagic, sizeof kMagic) != 0)
        return nullptr;
    const qint64 n = header.entries;
    const qint64 d = header.disks;
    const qint64 r = header.roots;
    qint64 at = padded(sizeof(Header));
    auto take = [&](qint64 bytes) {
        const uchar *p = base + at;
        at += padded(bytes);
        return p;
    };
    const qint64 expected = padded(sizeof(Header)) + padded(d * 4) + padded((d + 1) * 4)
        + padded((d + 1) * 8) + 2 * padded(n * 4) + padded(r * 4)
        + padded(qint64(header.namesBytes));
    if (expected != s->m_size)
        return nullptr;
    s->m_entries = quint32(n);
    s->m_disks = quint32(d);
    s->m_rootCount = quint32(r);
    s->m_diskKeys = reinterpret_cast<const qint32 *>(take(d * 4));
    s->m_diskFirst = reinterpret_cast<const quint32 *>(take((d + 1) * 4));
    s->m_diskNames = reinterpret_cast<const quint64 *>(take((d + 1) * 8));
    s->m_keys = reinterpret_cast<const qint32 *>(take(n * 4));
    s->m_parents = reinterpret_cast<const qint32 *>(take(n * 4));
    s->m_roots = reinterpret_cast<const quint32 *>(take(r * 4));
    s->m_names = reinterpret_cast<const char *>(take(qint64(header.namesBytes)));
    return s;
}

IndexSegment::Range IndexSegment::rangeOf(qint32 disk) const
{
    const qint32 *end = m_diskKeys + m_disks;
    const qint32 *it = std::lower_bound(m_diskKeys, end, disk);
    if (it == end || *it != disk)
        return {};
    return rangeAt(quint32(it - m_diskKeys));
}

bool IndexSegment::isRoot(quint32 entry) const
{
    return std::binary_search(m_roots, m_roots + m_rootCount, entry);
}

qint64 IndexSegment::find(Range range, qint32 key) const
{
    const qint32 *first = m_keys + range.first;
    const qint32 *last = m_keys + range.last;
    const qint32 *it = std::lower_bound(first, last, key);
    if (it == last || *it != key)
        return -1;
    return it - m_keys;
}

void IndexSegment::scan(Range range, const QByteArray &needle, std::vector<quint32> &hits,
                        bool roots) const
{
    const char *const end = m_names + range.end;
    const char *line = m_names + range.begin; // where the name of entry starts
    quint32 entry = range.first;
    const quint32 *root = std::lower_bound(m_roots, m_roots + m_rootCount, range.first);
    const quint32 *rootsEnd = m_roots + m_rootCount;
    while (line < end) {
        const void *found
            = memmem(line, size_t(end - line), needle.constData(), size_t(needle.size()));
        if (!found)
            break;
        const char *hit = static_cast<const char *>(found);
        // The names between run one a line: count them to the one the hit lies in.
        const qint64 skipped = std::count(line, hit, '\n');
        if (skipped > 0) {
            entry += quint32(skipped);
            line = static_cast<const char *>(memrchr(line, '\n', size_t(hit - line))) + 1;
        }
        while (root != rootsEnd && *root < entry)
            ++root;
        if (roots || root == rootsEnd || *root != entry)
            hits.push_back(entry);
        line = static_cast<const char *>(memchr(hit, '\n', size_t(end - hit))) + 1;
        ++entry;
    }
}
