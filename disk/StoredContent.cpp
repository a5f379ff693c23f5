#include "disk/StoredContent.h"

#include "store/Statement.h"

#include <QDate>
#include <QHash>
#include <QRandomGenerator>
#include <QTime>

#include <bit>

StoredContent::StoredContent() : m_seed(QRandomGenerator::global()->generate64()) { }

StoredContent::~StoredContent() = default;

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

bool StoredContent::load(Connection &connection, int diskId, const std::function<bool()> &goOn)
{
    m_chunks.clear();
    m_roots.clear();
    m_slots.clear();
    m_count = 0;
    Statement s(connection);
    // Date and time apart: a time stamp would be made a local QDateTime, which costs a look at
    // the time zone for every row.
    s.prepare(QStringLiteral("select FCONTENTID, FOWNCONTENTID, FTYPE, FSIZE, cast(FDATE as "
                             "date), cast(FDATE as time), FCONTENT from TCONTENT where FDISKID "
                             "= :D"));
    s.setParam(QStringLiteral("D"), diskId);
    s.execute();
    constexpr quint32 chunkSize = 1u << ChunkBits;
    while (s.fetch()) {
        if ((quint32(m_count) & (chunkSize - 1)) == 0) {
            if (!goOn()) {
                s.closeCursor();
                return false;
            }
            m_chunks.push_back(std::make_unique<Entry[]>(chunkSize));
        }
        Entry &e = at(quint32(m_count));
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
        if (e.owner == 0)
            m_roots.push_back(quint32(m_count));
        ++m_count;
    }
    buildLookup();
    return true;
}

void StoredContent::buildLookup()
{
    // At most two thirds full: a miss ends after a few slots.
    const size_t wanted = size_t(m_count) + size_t(m_count) / 2 + 16;
    m_slots.assign(std::bit_ceil(wanted), 0);
    const size_t mask = m_slots.size() - 1;
    for (quint32 i = 0; i < quint32(m_count); ++i) {
        const Entry &e = at(i);
        if (e.owner == 0)
            continue;
        size_t slot = slotHash(e.owner, e.nameHash) & mask;
        while (m_slots[slot] != 0)
            slot = (slot + 1) & mask;
        m_slots[slot] = i + 1;
    }
}

StoredContent::Entry *StoredContent::meet(int owner, QStringView name)
{
    if (m_slots.empty() || owner == 0)
        return nullptr;
    const quint64 hash = nameHash(name);
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

void StoredContent::meetRoot(int key)
{
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
