#include "disk/StoredContent.h"

#include "store/Connection.h"
#include "store/DbError.h"
#include "store/Statement.h"

#include <QDate>
#include <QElapsedTimer>
#include <QHash>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTime>

#include <algorithm>
#include <bit>
#include <chrono>

StoredContent::StoredContent() : m_seed(QRandomGenerator::global()->generate64()) { }

StoredContent::~StoredContent()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
        if (m_reading)
            m_reading->cancelOperation();
    }
    if (m_thread.joinable())
        m_thread.join();
}

QList<std::pair<int, QString>> StoredContent::roots(Connection &connection, int diskId)
{
    Statement s(connection);
    s.prepare(QStringLiteral("select FCONTENTID, FCONTENT from TCONTENT where FDISKID = :D and "
                             "FOWNCONTENTID is null order by FCONTENTID"));
    s.setParam(QStringLiteral("D"), diskId);
    s.execute();
    QList<std::pair<int, QString>> result;
    while (s.fetch())
        result.append({s.value(0).toInt(), s.value(1).toString()});
    return result;
}

quint64 StoredContent::nameHash(QStringView name) const
{
    // Seeded anew for every read: no name can be made to collide with another on purpose.
    return quint64(qHash(name, size_t(m_seed)));
}

quint64 StoredContent::slotHash(qint32 owner, quint64 nameHash)
{
    return nameHash ^ (quint64(quint32(owner)) * 0x9E3779B97F4A7C15ULL);
}

void StoredContent::start(Connection &connection, int diskId)
{
    m_thread = std::thread([this, name = connection.databaseName(), params = connection.params(),
                            diskId] { run(name, params, diskId); });
    // The reading's snapshot must be taken before the caller changes any entry.
    std::unique_lock lock(m_mutex);
    m_came.wait(lock, [this] { return m_begun || m_done; });
    // One that could not even begin fails the read before anything changed.
    if (!m_begun && m_error)
        std::rethrow_exception(std::exchange(m_error, nullptr));
}

void StoredContent::run(const QString &databaseName, const QStringList &params, int diskId)
{
    try {
        Connection connection;
        connection.setDatabaseName(databaseName);
        connection.setParams(params);
        connection.open();
        connection.transaction().start();
        {
            const std::lock_guard lock(m_mutex);
            m_begun = true;
            m_came.notify_all();
            if (m_stop)
                throw DbError(QStringLiteral("stopped"));
            m_reading = &connection;
        }
        const auto forget = qScopeGuard([this] {
            const std::lock_guard lock(m_mutex);
            m_reading = nullptr;
        });
        Statement s(connection);
        // Date and time apart: a time stamp would be made a local QDateTime, which costs a
        // look at the time zone for every row.
        s.prepare(QStringLiteral("select FCONTENTID, FOWNCONTENTID, FTYPE, FSIZE, cast(FDATE as "
                                 "date), cast(FDATE as time), FCONTENT from TCONTENT where "
                                 "FDISKID = :D"));
        s.setParam(QStringLiteral("D"), diskId);
        s.execute();
        // Handed over a few hundred at a time, so that the walk seldom waits for a row that
        // was read already.
        constexpr quint32 handOverEvery = 512;
        Entry *chunk = nullptr;
        quint32 count = 0;
        quint32 handed = 0;
        std::vector<Chunk> started;
        auto handOver = [&] {
            const std::lock_guard lock(m_mutex);
            for (Chunk &c : started)
                m_ready.push_back({std::move(c), 0});
            started.clear();
            m_ready.push_back({nullptr, count - handed});
            handed = count;
            m_came.notify_all();
            return !m_stop;
        };
        while (s.fetch()) {
            if ((count & (ChunkSize - 1)) == 0) {
                started.push_back(std::make_unique<Entry[]>(ChunkSize));
                chunk = started.back().get();
            }
            Entry &e = chunk[count & (ChunkSize - 1)];
            e.key = s.value(0).toInt();
            const QVariant owner = s.value(1);
            e.owner = owner.isNull() ? 0 : owner.toInt();
            const QVariant type = s.value(2);
            e.type = type.isNull() ? qint8(-1) : qint8(qBound(-1, type.toInt(), 100));
            e.size = s.value(3).toDouble();
            const QVariant day = s.value(4);
            e.day = day.isNull() ? NoDay : qint32(day.toDate().toJulianDay());
            e.msecs = day.isNull() ? 0 : s.value(5).toTime().msecsSinceStartOfDay();
            e.nameHash = nameHash(s.value(6).toString());
            ++count;
            if (count - handed >= handOverEvery && !handOver())
                break;
        }
        s.closeCursor();
        s.free();
        {
            // Not cancelled while it detaches.
            const std::lock_guard lock(m_mutex);
            m_reading = nullptr;
        }
        connection.transaction().rollback();
        connection.close();
        if (count > handed)
            handOver();
    } catch (...) {
        const std::lock_guard lock(m_mutex);
        m_error = std::current_exception();
    }
    const std::lock_guard lock(m_mutex);
    m_done = true;
    m_came.notify_all();
}

bool StoredContent::absorb(bool wait)
{
    std::vector<std::pair<Chunk, quint32>> ready;
    bool done = false;
    {
        std::unique_lock lock(m_mutex);
        if (wait && m_ready.empty() && !m_done)
            m_came.wait_for(lock, std::chrono::milliseconds(5),
                            [this] { return !m_ready.empty() || m_done; });
        ready.swap(m_ready);
        done = m_done && m_ready.empty();
        if (done && m_error)
            std::rethrow_exception(std::exchange(m_error, nullptr));
    }
    for (auto &[chunk, entries] : ready) {
        if (chunk) {
            m_chunks.push_back(std::move(chunk));
            continue;
        }
        for (quint32 i = 0; i < entries; ++i)
            insert(quint32(m_count++));
    }
    return !done;
}

void StoredContent::insert(quint32 index)
{
    Entry &e = at(index);
    if (e.owner == 0) {
        m_roots.push_back(index);
        e.met = std::find(m_metRoots.begin(), m_metRoots.end(), e.key) != m_metRoots.end();
        return;
    }
    // At most two thirds full: a miss ends after a few slots.
    if (3 * (m_used + 1) > 2 * m_slots.size()) {
        std::vector<quint32> old(std::bit_ceil(qMax<size_t>(1024, 2 * m_slots.size())), 0);
        old.swap(m_slots);
        const size_t mask = m_slots.size() - 1;
        for (const quint32 taken : old) {
            if (taken == 0)
                continue;
            const Entry &t = at(taken - 1);
            size_t slot = slotHash(t.owner, t.nameHash) & mask;
            while (m_slots[slot] != 0)
                slot = (slot + 1) & mask;
            m_slots[slot] = taken;
        }
    }
    const size_t mask = m_slots.size() - 1;
    size_t slot = slotHash(e.owner, e.nameHash) & mask;
    while (m_slots[slot] != 0)
        slot = (slot + 1) & mask;
    m_slots[slot] = index + 1;
    ++m_used;
}

void StoredContent::finish()
{
    QElapsedTimer waited;
    waited.start();
    while (absorb(true))
        waitingFor(waited);
}

void StoredContent::waitingFor(QElapsedTimer &waited)
{
    if (m_waiting && waited.hasExpired(5)) {
        m_waiting();
        waited.restart();
    }
}

StoredContent::Entry *StoredContent::find(qint32 owner, quint64 hash)
{
    if (m_slots.empty())
        return nullptr;
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = slotHash(owner, hash) & mask; m_slots[slot] != 0; slot = (slot + 1) & mask) {
        Entry &e = at(m_slots[slot] - 1);
        if (!e.met && e.owner == owner && e.nameHash == hash) {
            e.met = true;
            return &e;
        }
    }
    return nullptr;
}

StoredContent::Entry *StoredContent::meet(int owner, QStringView name)
{
    if (owner == 0)
        return nullptr;
    const quint64 hash = nameHash(name);
    // An entry not come yet may still come; only when all have come is it known to be new.
    QElapsedTimer waited;
    for (bool more = true;;) {
        if (Entry *e = find(owner, hash))
            return e;
        if (!more)
            return nullptr;
        more = absorb(true);
        if (!waited.isValid())
            waited.start();
        waitingFor(waited);
    }
}

void StoredContent::meetRoot(int key)
{
    m_metRoots.push_back(key);
    for (const quint32 i : m_roots) {
        if (at(i).key == key)
            at(i).met = true;
    }
}

bool StoredContent::holds(const Entry &entry, int type, qint64 size, const QDateTime &date)
{
    if (entry.type != type || entry.size != double(size))
        return false;
    if (!date.isValid())
        return entry.day == NoDay;
    return entry.day == qint32(date.date().toJulianDay())
        && entry.msecs == date.time().msecsSinceStartOfDay();
}

void StoredContent::forEachUnmet(const std::function<void(int key)> &take) const
{
    for (quint32 i = 0; i < quint32(m_count); ++i) {
        if (!at(i).met)
            take(at(i).key);
    }
}

qint64 StoredContent::bytes() const
{
    return qint64(m_chunks.size()) * qint64(sizeof(Entry)) * (1 << ChunkBits)
        + qint64(m_slots.size() * sizeof(quint32)) + qint64(m_roots.size() * sizeof(quint32));
}
