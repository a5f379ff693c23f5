#include "searchindex/ContentIndex.h"

#include "searchindex/IndexText.h"
#include "store/Connection.h"
#include "store/Statement.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLockFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <algorithm>

namespace {

constexpr quint32 kStateMagic = 0x4B444958;
constexpr quint32 kStateVersion = 1;

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

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

ContentIndex::ContentIndex(const QString &folder) : m_folder(folder) { }

ContentIndex::~ContentIndex() = default;

void ContentIndex::clear()
{
    m_segments.clear();
    m_states.clear();
    m_disks.clear();
    m_marks.clear();
    m_built = false;
    m_generator = 0;
    m_settled = 0;
    m_stamp.clear();
}

bool ContentIndex::load()
{
    clear();
    QFile file(QDir(m_folder).filePath(stateFile()));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QDataStream in(&file);
    quint32 magic = 0;
    quint32 version = 0;
    in >> magic >> version;
    if (magic != kStateMagic || version != kStateVersion)
        return false;
    qint32 segments = 0;
    in >> m_stamp >> m_generator >> m_settled >> m_disks >> m_nextSegment >> segments;
    qint32 marks = 0;
    in >> marks;
    for (qint32 i = 0; i < marks && in.status() == QDataStream::Ok; ++i) {
        Mark m;
        in >> m.atMs >> m.generator;
        m_marks << m;
    }
    for (qint32 i = 0; i < segments && in.status() == QDataStream::Ok; ++i) {
        SegmentState st;
        in >> st.file >> st.masked;
        auto seg = IndexSegment::open(QDir(m_folder).filePath(st.file));
        if (!seg) {
            clear();
            return false;
        }
        m_states.push_back(st);
        m_segments.push_back(std::move(seg));
    }
    if (in.status() != QDataStream::Ok) {
        clear();
        return false;
    }
    m_built = true;
    return true;
}

bool ContentIndex::saveState(QString *error) const
{
    QSaveFile file(QDir(m_folder).filePath(stateFile()));
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    QDataStream out(&file);
    out << kStateMagic << kStateVersion << m_stamp << m_generator << m_settled << m_disks
        << qint32(m_nextSegment) << qint32(m_states.size()) << qint32(m_marks.size());
    for (const Mark &m : m_marks)
        out << m.atMs << m.generator;
    for (const SegmentState &st : m_states)
        out << st.file << st.masked;
    if (!file.commit()) {
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

qint64 ContentIndex::settledAt(qint64 now) const
{
    qint64 settled = m_settled;
    for (const Mark &m : m_marks) {
        if (m.atMs <= now - SettleMs)
            settled = std::max(settled, m.generator);
    }
    return settled;
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
    if (!IndexSegment::write(path, batch, &error))
        return false;
    auto seg = IndexSegment::open(path);
    if (!seg)
        return false;
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
    const qint64 started = nowMs();
    identify(connection, &generator, &stamp);
    m_disks = diskKeys(connection);
    Statement s(connection);
    s.prepare(QStringLiteral("select FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, FCONTENT from "
                             "TCONTENT"));
    s.execute();
    IndexSegment::Batch batch;
    while (s.fetch()) {
        batch.add(entryOf(s));
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
    m_settled = 0;
    m_marks = {{started, generator}};
    QString error;
    m_built = saveState(&error);
}

bool ContentIndex::isKnown(qint32 disk, qint32 key) const
{
    Ref ref;
    return findEntry(disk, key, &ref);
}

QList<qint32> ContentIndex::rootKeys(qint32 disk) const
{
    QList<qint32> roots;
    for (size_t s = 0; s < m_segments.size(); ++s) {
        if (m_states[s].masked.contains(disk))
            continue;
        const IndexSegment &seg = *m_segments[s];
        const IndexSegment::Range r = seg.rangeOf(disk);
        for (quint32 e = r.first; e < r.last; ++e) {
            if (seg.parent(e) == IndexSegment::NoParent)
                roots << seg.key(e);
        }
    }
    return roots;
}

void ContentIndex::mask(qint32 disk)
{
    for (size_t s = 0; s < m_segments.size(); ++s) {
        if (!m_segments[s]->rangeOf(disk).isEmpty())
            m_states[s].masked.insert(disk);
    }
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
    const qint64 started = nowMs();
    qint64 generator = 0;
    QString stamp;
    identify(connection, &generator, &stamp);
    if (stamp != m_stamp || generator < m_generator)
        return Update::Foreign;
    const QList<qint32> disks = diskKeys(connection);
    const qint64 settled = settledAt(started);
    if (generator == m_generator && disks == m_disks && settled >= m_generator)
        return Update::Current;
    // Keys are drawn one by one: the generator bounds how many entries can be new.
    if (maxRows > 0 && generator - settled > maxRows)
        return Update::TooFar;

    QSet<qint32> now(disks.begin(), disks.end());
    QSet<qint32> before(m_disks.begin(), m_disks.end());
    QHash<qint32, std::vector<IndexSegment::Entry>> fresh;
    {
        Statement s(connection);
        s.prepare(entrySelect(QStringLiteral("FCONTENTID > :K")));
        s.setParam(QStringLiteral("K"), settled);
        s.execute();
        while (s.fetch()) {
            const qint32 key = s.value(0).toInt();
            const qint32 disk = s.value(1).toInt();
            if (before.contains(disk) && isKnown(disk, key))
                continue;
            fresh[disk].push_back(entryOf(s));
        }
    }
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
        std::vector<IndexSegment::Entry> &entries = fresh[disk];
        Statement s(connection);
        s.prepare(entrySelect(QStringLiteral("FDISKID = :D and FCONTENTID <= :K")));
        s.setParam(QStringLiteral("D"), disk);
        s.setParam(QStringLiteral("K"), settled);
        s.execute();
        while (s.fetch())
            entries.push_back(entryOf(s));
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
    m_disks = disks;
    m_generator = generator;
    m_settled = settled;
    QList<Mark> marks;
    for (const Mark &m : m_marks) {
        if (m.atMs > started - SettleMs)
            marks << m;
    }
    marks << Mark {started, generator};
    m_marks = marks;
    QString error;
    if (!saveState(&error))
        return Update::Foreign;
    return Update::Updated;
}

std::vector<ContentIndex::Ref> ContentIndex::scanDisk(qint32 disk, const QByteArray &needle,
                                                      bool roots) const
{
    std::vector<Ref> refs;
    std::vector<quint32> hits;
    int parts = 0;
    for (size_t s = 0; s < m_segments.size(); ++s) {
        if (m_states[s].masked.contains(disk))
            continue;
        const IndexSegment &seg = *m_segments[s];
        const IndexSegment::Range r = seg.rangeOf(disk);
        if (r.isEmpty())
            continue;
        hits.clear();
        seg.scan(r, needle, hits, roots);
        if (!hits.empty())
            ++parts;
        for (quint32 h : hits)
            refs.push_back({quint32(s), h});
    }
    // A disk read in several turns has entries in several segments.
    if (parts > 1)
        std::sort(refs.begin(), refs.end(),
                  [this](const Ref &a, const Ref &b) { return key(a) < key(b); });
    return refs;
}

bool ContentIndex::findEntry(qint32 disk, qint32 key, Ref *ref) const
{
    for (size_t s = 0; s < m_segments.size(); ++s) {
        if (m_states[s].masked.contains(disk))
            continue;
        const IndexSegment &seg = *m_segments[s];
        const IndexSegment::Range r = seg.rangeOf(disk);
        if (r.isEmpty())
            continue;
        const qint64 e = seg.find(r, key);
        if (e >= 0) {
            *ref = {quint32(s), quint32(e)};
            return true;
        }
    }
    return false;
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
