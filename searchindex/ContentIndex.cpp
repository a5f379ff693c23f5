#include "searchindex/ContentIndex.h"

#include "searchindex/CheckedFile.h"
#include "searchindex/IndexLog.h"
#include "searchindex/IndexText.h"
#include "store/Connection.h"
#include "store/Statement.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLockFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <algorithm>

namespace {

constexpr quint32 kStateMagic = 0x4B444958;
constexpr quint32 kStateVersion = 2;
// A state file is a few lists of keys; anything far larger is not one of ours.
constexpr qint64 kMaxStateBytes = qint64(256) << 20;
// Runs of unseen keys looked up by one execution.
constexpr int kHolesPerQuery = 64;
// Keys below the generator's value that a build looks for unseen ones among.
constexpr qint64 kRecentKeys = 1000000;
// Disks whose newest entry tells whether the catalogue went back to an older copy.
constexpr int kWitnesses = 8;

QString stateFile()
{
    return QStringLiteral("state");
}

// Runs in the connection's transaction, starting one when none runs; one this started ends as
// the other data objects end theirs.
class InTransaction
{
public:
    explicit InTransaction(Connection &connection) : m_connection(connection)
    {
        connection.ensureConnected();
        if (!connection.transaction().isActive())
            connection.transaction().start();
    }
    ~InTransaction()
    {
        try {
            m_connection.transaction().checkAutoStop();
        } catch (...) {
            // The work was reading only.
        }
    }
    InTransaction(const InTransaction &) = delete;
    InTransaction &operator=(const InTransaction &) = delete;

private:
    Connection &m_connection;
};

QString entrySelect(const QString &where)
{
    return QStringLiteral("select FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, FCONTENT from "
                          "TCONTENT where ")
        + where;
}

IndexSegment::Entry entryOf(const Statement &s)
{
    IndexSegment::Entry e;
    e.key = s.value(0).toInt();
    e.disk = s.value(1).toInt();
    const QVariant parent = s.value(2);
    e.parent = parent.isNull() ? IndexSegment::NoParent : parent.toInt();
    const QVariant type = s.value(3);
    e.root = !type.isNull() && type.toInt() == 2;
    const QVariant name = s.value(4);
    if (!name.isNull())
        e.folded = IndexText::fold(name.toString());
    return e;
}

QList<qint32> diskKeys(Connection &connection)
{
    Statement s(connection);
    s.prepare(QStringLiteral("select FDISKID from TDISK"));
    s.execute();
    QList<qint32> disks;
    while (s.fetch())
        disks << s.value(0).toInt();
    std::sort(disks.begin(), disks.end());
    return disks;
}

// A count read from a file, bounded by the bytes left to hold its items.
bool readCount(QDataStream &in, qint64 itemBytes, qint32 *count)
{
    in >> *count;
    return in.status() == QDataStream::Ok && *count >= 0
        && qint64(*count) * itemBytes <= in.device()->bytesAvailable();
}

bool readKeys(QDataStream &in, QList<qint32> *keys)
{
    qint32 n = 0;
    if (!readCount(in, 4, &n))
        return false;
    keys->clear();
    keys->reserve(n);
    for (qint32 i = 0; i < n; ++i) {
        qint32 k = 0;
        in >> k;
        keys->append(k);
    }
    return in.status() == QDataStream::Ok;
}

void writeKeys(QDataStream &out, const QList<qint32> &keys)
{
    out << qint32(keys.size());
    for (qint32 k : keys)
        out << k;
}

bool isSegmentName(const QString &name)
{
    return name.startsWith(QLatin1String("segment-")) && !name.contains(QLatin1Char('/'))
        && !name.contains(QLatin1Char('\\'));
}

} // namespace

ContentIndex::ContentIndex(const QString &folder) : m_folder(folder) { }

ContentIndex::~ContentIndex() = default;

void ContentIndex::clear()
{
    m_segments.clear();
    m_states.clear();
    m_disks.clear();
    m_holes.clear();
    m_built = false;
    m_generator = 0;
    m_stamp.clear();
}

bool ContentIndex::load()
{
    clear();
    QFile file(QDir(m_folder).filePath(stateFile()));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxStateBytes)
        return false;
    if (!readState(file.readAll())) {
        qCWarning(lcSearchIndex, "index in %s dropped: its state or a file is damaged",
                  qPrintable(m_folder));
        clear();
        return false;
    }
    m_built = true;
    return true;
}

bool ContentIndex::readState(const QByteArray &bytes)
{
    QByteArray body;
    if (!CheckedFile::unframe(bytes, kStateMagic, kStateVersion, &body))
        return false;
    QDataStream in(body);
    qint32 segments = 0;
    qint32 holes = 0;
    qint32 next = 0;
    in >> m_stamp >> m_generator;
    if (!readKeys(in, &m_disks))
        return false;
    in >> next;
    m_nextSegment = next;
    if (!readCount(in, 16, &holes))
        return false;
    for (qint32 i = 0; i < holes; ++i) {
        Hole h;
        in >> h.first >> h.last;
        if (h.first > h.last || h.last > m_generator
            || (!m_holes.empty() && h.first <= m_holes.back().last))
            return false;
        m_holes.push_back(h);
    }
    if (!readCount(in, 8, &segments))
        return false;
    for (qint32 i = 0; i < segments && in.status() == QDataStream::Ok; ++i) {
        SegmentState st;
        QList<qint32> masked;
        in >> st.file;
        if (!readKeys(in, &masked) || !isSegmentName(st.file))
            return false;
        st.masked = QSet<qint32>(masked.cbegin(), masked.cend());
        // A file that fails its checks is dropped with the rest: the next build writes anew.
        auto seg = IndexSegment::open(QDir(m_folder).filePath(st.file));
        if (!seg)
            return false;
        m_states.push_back(st);
        m_segments.push_back(std::move(seg));
    }
    return in.status() == QDataStream::Ok && in.atEnd()
        && std::is_sorted(m_disks.cbegin(), m_disks.cend());
}

bool ContentIndex::saveState(QString *error) const
{
    QByteArray body;
    {
        QDataStream out(&body, QIODevice::WriteOnly);
        out << m_stamp << m_generator;
        writeKeys(out, m_disks);
        out << qint32(m_nextSegment) << qint32(m_holes.size());
        for (const Hole &h : m_holes)
            out << h.first << h.last;
        out << qint32(m_states.size());
        for (const SegmentState &st : m_states) {
            out << st.file;
            writeKeys(out, QList<qint32>(st.masked.cbegin(), st.masked.cend()));
        }
    }
    QSaveFile file(QDir(m_folder).filePath(stateFile()));
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    if (file.write(CheckedFile::frame(kStateMagic, kStateVersion, body)) < 0 || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

void ContentIndex::identify(Connection &connection, qint64 *generator, QString *stamp) const
{
    // The generator moves with every new entry; a restored or another catalogue has another
    // creation time.
    Statement s(connection);
    s.prepare(QStringLiteral("select gen_id(SQ_MAIN, 0), MON$CREATION_DATE from MON$DATABASE"));
    s.execute();
    if (!s.fetch())
        return;
    *generator = s.value(0).toLongLong();
    *stamp = s.value(1).toDateTime().toString(Qt::ISODateWithMs);
    s.closeCursor();
}

bool ContentIndex::addSegment(const IndexSegment::Batch &batch)
{
    if (batch.empty())
        return true;
    QDir().mkpath(m_folder);
    // Named apart from what another program on the same catalogue may write at the same time.
    const QString name = QStringLiteral("segment-%1-%2-%3")
                             .arg(m_nextSegment++)
                             .arg(QCoreApplication::applicationPid())
                             .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    const QString path = QDir(m_folder).filePath(name);
    QString error;
    if (!IndexSegment::write(path, batch, &error)) {
        qCWarning(lcSearchIndex, "index file %s not written: %s", qPrintable(path),
                  qPrintable(error));
        return false;
    }
    auto seg = IndexSegment::open(path);
    if (!seg) {
        qCWarning(lcSearchIndex, "index file %s written but not readable", qPrintable(path));
        return false;
    }
    m_segments.push_back(std::move(seg));
    m_states.push_back({name, {}});
    return true;
}

void ContentIndex::build(Connection &connection)
{
    QDir().mkpath(m_folder);
    QLockFile lock(QDir(m_folder).filePath(QStringLiteral("lock")));
    if (!lock.tryLock(0))
        return;
    InTransaction running(connection);
    QDir dir(m_folder);
    dir.mkpath(QStringLiteral("."));
    // The old files go first: a build that stops half-way leaves no index, not a wrong one.
    QFile::remove(dir.filePath(stateFile()));
    for (const QString &f : dir.entryList({QStringLiteral("segment-*")}, QDir::Files))
        QFile::remove(dir.filePath(f));
    clear();
    m_nextSegment = 1;
    qint64 generator = 0;
    QString stamp;
    identify(connection, &generator, &stamp);
    m_disks = diskKeys(connection);
    Statement s(connection);
    s.prepare(QStringLiteral("select FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, FCONTENT from "
                             "TCONTENT"));
    s.execute();
    IndexSegment::Batch batch;
    // Keys not seen among the newest may still come: another workstation commits late. Older
    // ones are given up, which bounds the memory this takes.
    const qint64 recent = std::max<qint64>(0, generator - kRecentKeys);
    std::vector<qint64> seen;
    while (s.fetch()) {
        batch.add(entryOf(s));
        if (batch.keys.back() > recent)
            seen.push_back(batch.keys.back());
        if (batch.size() >= EntriesPerFile || batch.names.size() > (qint64(3) << 30)) {
            if (!addSegment(batch))
                return;
            batch = {};
        }
    }
    if (!addSegment(batch))
        return;
    m_stamp = stamp;
    m_generator = generator;
    addHoles(recent, generator, std::move(seen), m_disks);
    QString error;
    m_built = saveState(&error);
    if (!m_built)
        qCWarning(lcSearchIndex, "index state not saved: %s", qPrintable(error));
}

bool ContentIndex::isKnown(qint32 disk, qint32 key) const
{
    Ref ref;
    return findEntry(disk, key, &ref);
}

template<typename Visit> void ContentIndex::forEachPart(qint32 disk, Visit visit) const
{
    for (size_t s = 0; s < m_segments.size(); ++s) {
        if (m_states[s].masked.contains(disk))
            continue;
        const IndexSegment &seg = *m_segments[s];
        const IndexSegment::Range r = seg.rangeOf(disk);
        if (!r.isEmpty() && !visit(quint32(s), seg, r))
            return;
    }
}

QList<qint32> ContentIndex::rootKeys(qint32 disk) const
{
    QList<qint32> roots;
    forEachPart(disk, [&](quint32, const IndexSegment &seg, IndexSegment::Range r) {
        for (quint32 e = r.first; e < r.last; ++e) {
            if (seg.parent(e) == IndexSegment::NoParent)
                roots << seg.key(e);
        }
        return true;
    });
    return roots;
}

void ContentIndex::mask(qint32 disk)
{
    // Entries masked before stay masked: only the unmasked parts need marking.
    std::vector<quint32> parts;
    forEachPart(disk, [&](quint32 s, const IndexSegment &, IndexSegment::Range) {
        parts.push_back(s);
        return true;
    });
    for (quint32 s : parts)
        m_states[s].masked.insert(disk);
}

void ContentIndex::addHoles(qint64 above, qint64 upTo, std::vector<qint64> seen,
                            const QList<qint32> &disks)
{
    // Disks take keys from the same generator.
    for (qint32 d : disks) {
        if (d > above && d <= upTo)
            seen.push_back(d);
    }
    std::sort(seen.begin(), seen.end());
    qint64 next = above + 1;
    for (qint64 k : seen) {
        if (k > upTo)
            break;
        if (k > next)
            m_holes.push_back({next, k - 1});
        next = std::max(next, k + 1);
    }
    if (next <= upTo)
        m_holes.push_back({next, upTo});
    std::sort(m_holes.begin(), m_holes.end(),
              [](const Hole &a, const Hole &b) { return a.first < b.first; });
    if (m_holes.size() > size_t(MaxHoles))
        m_holes.erase(m_holes.begin(), m_holes.end() - MaxHoles);
}

bool ContentIndex::fetchHoles(Connection &connection, qint64 maxRows,
                              const std::function<void(const Statement &)> &take)
{
    if (m_holes.empty())
        return true;
    // As many runs a call as there are, up to a bound: a statement of fewer terms is
    // prepared sooner.
    const int terms = int(std::min(m_holes.size(), size_t(kHolesPerQuery)));
    QString where;
    for (int i = 0; i < terms; ++i)
        where += QStringLiteral("%1FCONTENTID between :A%2 and :B%2")
                     .arg(i ? QStringLiteral(" or ") : QString())
                     .arg(i);
    Statement s(connection);
    s.prepare(entrySelect(where));
    std::vector<qint64> found;
    for (size_t at = 0; at < m_holes.size(); at += size_t(terms)) {
        const size_t end = std::min(m_holes.size(), at + size_t(terms));
        for (int i = 0; i < terms; ++i) {
            const Hole &h = m_holes[std::min(end - 1, at + size_t(i))];
            s.setParam(QStringLiteral("A%1").arg(i), h.first);
            s.setParam(QStringLiteral("B%1").arg(i), h.last);
        }
        s.execute();
        while (s.fetch()) {
            found.push_back(s.value(0).toLongLong());
            if (maxRows > 0 && qint64(found.size()) > maxRows)
                return false;
            take(s);
        }
    }
    if (found.empty())
        return true;
    // What came fills its holes; the rest of each stays open.
    std::sort(found.begin(), found.end());
    std::vector<Hole> left;
    auto f = found.cbegin();
    for (Hole h : m_holes) {
        while (f != found.cend() && *f < h.first)
            ++f;
        for (; f != found.cend() && *f <= h.last; ++f) {
            if (*f > h.first)
                left.push_back({h.first, *f - 1});
            h.first = *f + 1;
        }
        if (h.first <= h.last)
            left.push_back(h);
    }
    m_holes = std::move(left);
    return true;
}

bool ContentIndex::wentBack(Connection &connection, const QList<qint32> &disks) const
{
    // The newest entries of the newest disks: a catalogue put back to an older copy of itself
    // has lost them, or has given their keys to other entries since.
    struct Witness
    {
        qint32 key;
        size_t segment;
        quint32 disk; // index into the segment's disks
    };
    std::vector<Witness> witnesses;
    for (size_t s = 0; s < m_segments.size(); ++s) {
        const IndexSegment &seg = *m_segments[s];
        for (quint32 i = 0; i < seg.diskCount(); ++i) {
            const qint32 disk = seg.diskAt(i);
            const IndexSegment::Range r = seg.rangeAt(i);
            if (r.isEmpty() || m_states[s].masked.contains(disk)
                || !std::binary_search(disks.cbegin(), disks.cend(), disk))
                continue;
            witnesses.push_back({seg.key(r.last - 1), s, i});
        }
    }
    const size_t count = std::min(witnesses.size(), size_t(kWitnesses));
    std::partial_sort(witnesses.begin(), witnesses.begin() + qsizetype(count), witnesses.end(),
                      [](const Witness &a, const Witness &b) { return a.key > b.key; });
    // A disk whose root entries are gone was read anew, which an update takes in: its entries
    // are gone or, read again in place, those under the root entry hang from its new one.
    Statement r(connection);
    r.prepare(QStringLiteral("select count(*) from TCONTENT where FDISKID = :D and "
                             "FOWNCONTENTID is null and FCONTENTID = :K"));
    auto readAnew = [&](qint32 disk) {
        for (qint32 root : rootKeys(disk)) {
            r.setParam(QStringLiteral("D"), disk);
            r.setParam(QStringLiteral("K"), root);
            r.execute();
            const bool there = r.fetch() && r.value(0).toInt() != 0;
            r.closeCursor();
            if (!there)
                return true;
        }
        return false;
    };
    Statement s(connection);
    s.prepare(entrySelect(QStringLiteral("FCONTENTID = :K")));
    for (size_t i = 0; i < count; ++i) {
        const Witness &w = witnesses[i];
        const IndexSegment &seg = *m_segments[w.segment];
        const IndexSegment::Range range = seg.rangeAt(w.disk);
        const qint32 disk = seg.diskAt(w.disk);
        s.setParam(QStringLiteral("K"), w.key);
        s.execute();
        if (s.fetch()) {
            const IndexSegment::Entry e = entryOf(s);
            s.closeCursor();
            if (e.disk != disk || e.folded != seg.lastName(range))
                return true;
            if (e.parent != seg.parent(range.last - 1) && !readAnew(disk))
                return true;
            continue;
        }
        if (!readAnew(disk))
            return true;
    }
    return false;
}

ContentIndex::Update ContentIndex::update(Connection &connection, qint64 maxRows)
{
    if (!m_built)
        return Update::Foreign;
    // Another program on the same catalogue is writing the index: the server answers now.
    QLockFile lock(QDir(m_folder).filePath(QStringLiteral("lock")));
    if (!lock.tryLock(0))
        return Update::TooFar;
    InTransaction running(connection);
    qint64 generator = 0;
    QString stamp;
    identify(connection, &generator, &stamp);
    if (stamp != m_stamp || generator < m_generator)
        return Update::Foreign;
    const QList<qint32> disks = diskKeys(connection);
    if (wentBack(connection, disks)) {
        qCInfo(lcSearchIndex, "the catalogue went back to an older copy: the index is built anew");
        return Update::Foreign;
    }
    if (generator == m_generator && disks == m_disks && m_holes.empty())
        return Update::Current;
    // Keys are drawn one by one: the generator bounds how many entries can be new.
    if (maxRows > 0 && generator - m_generator > maxRows)
        return Update::TooFar;

    QSet<qint32> now(disks.begin(), disks.end());
    QSet<qint32> before(m_disks.begin(), m_disks.end());
    QHash<qint32, std::vector<IndexSegment::Entry>> fresh;
    QSet<qint32> fetched;
    const auto take = [&](const Statement &s) {
        const qint32 key = s.value(0).toInt();
        const qint32 disk = s.value(1).toInt();
        if ((before.contains(disk) && isKnown(disk, key)) || fetched.contains(key))
            return;
        fetched.insert(key);
        fresh[disk].push_back(entryOf(s));
    };
    std::vector<qint64> seen;
    {
        Statement s(connection);
        s.prepare(entrySelect(QStringLiteral("FCONTENTID > :K")));
        s.setParam(QStringLiteral("K"), m_generator);
        s.execute();
        while (s.fetch()) {
            seen.push_back(s.value(0).toLongLong());
            take(s);
        }
    }
    // Entries committed late, many of them: left to the background as well.
    if (!fetchHoles(connection, maxRows, take))
        return Update::TooFar;
    if (generator == m_generator && disks == m_disks && fetched.isEmpty())
        return Update::Current;
    // A disk whose root entries are gone had its contents replaced: it is fetched whole.
    QList<qint32> whole;
    for (auto it = fresh.cbegin(); it != fresh.cend(); ++it) {
        if (!before.contains(it.key()) || !now.contains(it.key()))
            continue;
        const QList<qint32> indexed = rootKeys(it.key());
        if (indexed.isEmpty())
            continue;
        Statement s(connection);
        s.prepare(QStringLiteral(
            "select FCONTENTID from TCONTENT where FDISKID = :D and FOWNCONTENTID is null"));
        s.setParam(QStringLiteral("D"), it.key());
        s.execute();
        QSet<qint32> present;
        while (s.fetch())
            present.insert(s.value(0).toInt());
        for (qint32 root : indexed) {
            if (!present.contains(root)) {
                whole << it.key();
                break;
            }
        }
    }
    for (qint32 disk : whole) {
        mask(disk);
        std::vector<IndexSegment::Entry> &entries = fresh[disk];
        entries.clear();
        Statement s(connection);
        s.prepare(entrySelect(QStringLiteral("FDISKID = :D")));
        s.setParam(QStringLiteral("D"), disk);
        s.execute();
        while (s.fetch())
            entries.push_back(entryOf(s));
    }
    // A disk not seen before may hold entries older than those fetched (a disk made visible
    // late, or given another key).
    for (qint32 disk : disks) {
        if (before.contains(disk))
            continue;
        Statement s(connection);
        s.prepare(entrySelect(QStringLiteral("FDISKID = :D and FCONTENTID <= :K")));
        s.setParam(QStringLiteral("D"), disk);
        s.setParam(QStringLiteral("K"), m_generator);
        s.execute();
        while (s.fetch())
            take(s);
    }
    for (qint32 disk : m_disks) {
        if (!now.contains(disk))
            mask(disk);
    }
    IndexSegment::Batch all;
    for (auto it = fresh.cbegin(); it != fresh.cend(); ++it) {
        // Entries of disks that are gone stay out: FIND does not reach them.
        if (!now.contains(it.key()))
            continue;
        for (const IndexSegment::Entry &e : it.value())
            all.add(e);
    }
    if (!addSegment(all))
        return Update::Foreign;
    // Keys drawn since the last update that no entry has yet are looked at again next time.
    addHoles(m_generator, generator, std::move(seen), disks);
    m_disks = disks;
    m_generator = generator;
    QString error;
    if (!saveState(&error)) {
        qCWarning(lcSearchIndex, "index state not saved, built anew: %s", qPrintable(error));
        return Update::Foreign;
    }
    return Update::Updated;
}

std::vector<ContentIndex::Ref> ContentIndex::scanDisk(qint32 disk, const QByteArray &needle,
                                                      bool roots) const
{
    std::vector<Ref> refs;
    std::vector<quint32> hits;
    int parts = 0;
    forEachPart(disk, [&](quint32 s, const IndexSegment &seg, IndexSegment::Range r) {
        hits.clear();
        seg.scan(r, needle, hits, roots);
        if (!hits.empty())
            ++parts;
        for (quint32 h : hits)
            refs.push_back({s, h});
        return true;
    });
    // A disk read in several turns has entries in several segments.
    if (parts > 1)
        std::sort(refs.begin(), refs.end(),
                  [this](const Ref &a, const Ref &b) { return key(a) < key(b); });
    return refs;
}

bool ContentIndex::findEntry(qint32 disk, qint32 key, Ref *ref) const
{
    bool found = false;
    forEachPart(disk, [&](quint32 s, const IndexSegment &seg, IndexSegment::Range r) {
        const qint64 e = seg.find(r, key);
        if (e >= 0) {
            *ref = {s, quint32(e)};
            found = true;
        }
        return !found;
    });
    return found;
}

qint64 ContentIndex::entryCount() const
{
    qint64 n = 0;
    for (const auto &s : m_segments)
        n += s->entryCount();
    return n;
}

qint64 ContentIndex::fileBytes() const
{
    qint64 n = 0;
    for (const auto &s : m_segments)
        n += s->fileSize();
    return n;
}
