#include "searchindex/IndexSegment.h"

#include "searchindex/IndexLog.h"

#include <QSaveFile>
#include <algorithm>
#include <cstring>
#include <zlib.h>

namespace {

constexpr char kMagic[8] = {'K', 'D', 'R', 'I', 'D', 'X', '0', '3'};

struct Header
{
    char magic[8];
    quint32 entries;
    quint32 disks;
    quint32 roots;
    quint32 reserved;
    quint64 namesBytes;
    quint32 bodyCrc; // of every byte after the header
    quint32 headerCrc; // of the header up to here
};

quint32 crcOf(quint32 crc, const void *data, quint64 bytes)
{
    return quint32(crc32_z(crc, static_cast<const Bytef *>(data), size_t(bytes)));
}

quint32 headerCrcOf(const Header &h)
{
    return crcOf(0, &h, offsetof(Header, headerCrc));
}

template<typename T> bool ascending(const T *values, quint64 count, bool strictly)
{
    for (quint64 i = 1; i < count; ++i) {
        if (strictly ? values[i] <= values[i - 1] : values[i] < values[i - 1])
            return false;
    }
    return true;
}

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
    quint32 crc = crcOf(0, nullptr, 0);
    auto out = [&file, &crc](const void *data, qint64 bytes) {
        file.write(static_cast<const char *>(data), bytes);
        crc = crcOf(crc, data, quint64(bytes));
    };
    auto put = [&out](const void *data, qint64 bytes) {
        out(data, bytes);
        out(zeros, padded(bytes) - bytes);
    };
    Header header {};
    std::memcpy(header.magic, kMagic, sizeof kMagic);
    header.entries = quint32(n);
    header.disks = quint32(diskKeys.size());
    header.roots = quint32(roots.size());
    header.namesBytes = namesBytes;
    // The header goes last, when the checksum of what follows it is known.
    file.write(QByteArray(int(padded(sizeof header)), '\0'));
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
            out(names.constData(), names.size());
            names.clear();
        }
    }
    out(names.constData(), names.size());
    out(zeros, padded(qint64(namesBytes)) - qint64(namesBytes));
    header.bodyCrc = crc;
    header.headerCrc = headerCrcOf(header);
    if (!file.seek(0)
        || file.write(reinterpret_cast<const char *>(&header), sizeof header)
            != qint64(sizeof header)) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

std::unique_ptr<IndexSegment> IndexSegment::open(const QString &path)
{
    const auto refuse = [&path](const char *why) {
        qCWarning(lcSearchIndex, "index file %s dropped: %s", qPrintable(path), why);
        return nullptr;
    };
    std::unique_ptr<IndexSegment> s(new IndexSegment);
    s->m_path = path;
    s->m_file.setFileName(path);
    if (!s->m_file.open(QIODevice::ReadOnly))
        return refuse("cannot be opened");
    s->m_size = s->m_file.size();
    if (s->m_size < padded(sizeof(Header)))
        return refuse("shorter than its header");
    const uchar *base = s->m_file.map(0, s->m_size);
    if (!base)
        return refuse("cannot be mapped");
    Header header;
    std::memcpy(&header, base, sizeof header);
    if (std::memcmp(header.magic, kMagic, sizeof kMagic) != 0
        || header.headerCrc != headerCrcOf(header) || header.namesBytes > quint64(s->m_size))
        return refuse("not an index file of this version, or its header is damaged");
    const qint64 n = header.entries;
    const qint64 d = header.disks;
    const qint64 r = header.roots;
    const qint64 bodyAt = padded(sizeof(Header));
    const qint64 expected = bodyAt + padded(d * 4) + padded((d + 1) * 4) + padded((d + 1) * 8)
        + 2 * padded(n * 4) + padded(r * 4) + padded(qint64(header.namesBytes));
    if (expected != s->m_size)
        return refuse("of another size than its header says");
    // A damaged disk or another hand gives a file of the right size with wrong bytes.
    if (crcOf(crcOf(0, nullptr, 0), base + bodyAt, quint64(s->m_size - bodyAt)) != header.bodyCrc)
        return refuse("checksum does not match");
    qint64 at = bodyAt;
    auto take = [&](qint64 bytes) {
        const uchar *p = base + at;
        at += padded(bytes);
        return p;
    };
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
    if (!s->isSound(header.namesBytes))
        return refuse("offsets or order out of bounds");
    return s;
}

bool IndexSegment::isSound(quint64 namesBytes) const
{
    // Every offset and order the searches rely on, so that a file written by other hands
    // cannot send a read outside the mapping or a bisection astray.
    if (m_diskFirst[0] != 0 || m_diskFirst[m_disks] != m_entries || m_diskNames[0] != 0
        || m_diskNames[m_disks] != namesBytes || !ascending(m_diskKeys, m_disks, true)
        || !ascending(m_diskFirst, m_disks + 1, false)
        || !ascending(m_diskNames, m_disks + 1, false) || !ascending(m_roots, m_rootCount, true)
        || (m_rootCount > 0 && m_roots[m_rootCount - 1] >= m_entries))
        return false;
    for (quint32 i = 0; i < m_disks; ++i) {
        const Range r = rangeAt(i);
        if (!ascending(m_keys + r.first, r.last - r.first, true))
            return false;
        // One name a line, the last one ended too.
        const quint64 lines = quint64(std::count(m_names + r.begin, m_names + r.end, '\n'));
        if (lines != r.last - r.first || (r.end > r.begin && m_names[r.end - 1] != '\n'))
            return false;
    }
    return true;
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

QByteArray IndexSegment::lastName(Range range) const
{
    if (range.isEmpty())
        return {};
    // Checked when mapped: a range of names ends with its line break.
    const char *end = m_names + range.end - 1;
    const char *line = m_names + range.begin;
    if (const void *eol = memrchr(line, '\n', size_t(end - line)))
        line = static_cast<const char *>(eol) + 1;
    return QByteArray(line, end - line);
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
        if (entry >= range.last)
            break;
        while (root != rootsEnd && *root < entry)
            ++root;
        if (roots || root == rootsEnd || *root != entry)
            hits.push_back(entry);
        const void *eol = memchr(hit, '\n', size_t(end - hit));
        if (!eol)
            break;
        line = static_cast<const char *>(eol) + 1;
        ++entry;
    }
}
