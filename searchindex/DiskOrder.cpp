#include "searchindex/DiskOrder.h"

#include "searchindex/CheckedFile.h"
#include "searchindex/IndexLog.h"
#include "searchindex/IndexText.h"
#include "store/Statement.h"

#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <algorithm>

namespace {

constexpr quint32 kMagic = 0x4B44444F;
constexpr quint32 kVersion = 1;
// Far more than the file of a million disks takes.
constexpr qint64 kMaxBytes = qint64(256) << 20;
constexpr int kStampValues = 8;
constexpr int kColumns = 6;

// How a value is kept in the file: the few types the disks' columns give.
enum Tag : quint8 { Null = 0, Int = 1, Text = 2, Date = 3 };

void writeValue(QDataStream &out, const QVariant &v)
{
    if (v.isNull()) {
        out << quint8(Null);
    } else if (v.metaType().id() == QMetaType::Int) {
        out << quint8(Int) << qint32(v.toInt());
    } else if (v.metaType().id() == QMetaType::QDate) {
        out << quint8(Date) << qint64(v.toDate().toJulianDay());
    } else {
        out << quint8(Text) << v.toString();
    }
}

bool readValue(QDataStream &in, QVariant *v)
{
    quint8 tag = 0;
    in >> tag;
    switch (tag) {
    case Null:
        *v = QVariant();
        break;
    case Int: {
        qint32 x = 0;
        in >> x;
        *v = int(x);
        break;
    }
    case Date: {
        qint64 day = 0;
        in >> day;
        const QDate date = QDate::fromJulianDay(day);
        if (!date.isValid())
            return false;
        *v = date;
        break;
    }
    case Text: {
        QString s;
        in >> s;
        if (s.isNull())
            s = QLatin1String("");
        *v = s;
        break;
    }
    default:
        return false;
    }
    return in.status() == QDataStream::Ok;
}

// The catalogue's identity: a restored or another catalogue has another creation time.
QString identityOf(Connection &connection)
{
    Statement s(connection);
    s.prepare(QStringLiteral("select MON$CREATION_DATE from MON$DATABASE"));
    s.execute();
    QString identity;
    if (s.fetch())
        identity = s.value(0).toDateTime().toString(Qt::ISODateWithMs);
    s.closeCursor();
    return identity;
}

} // namespace

void DiskOrder::refresh(Connection &connection)
{
    // Record versions are summed as well as their newest taken: a transaction older than the
    // newest change may still commit a change of its own.
    Statement check(connection);
    check.prepare(QStringLiteral(
        "select d.C, d.S, d.V, d.R, f.C, f.S, f.V, f.R, current_transaction from (select "
        "count(*) C, sum(FDISKID) S, max(RDB$RECORD_VERSION) V, sum(RDB$RECORD_VERSION) R from "
        "TDISK) d cross join (select count(*) C, sum(FFOLDERID) S, max(RDB$RECORD_VERSION) V, "
        "sum(RDB$RECORD_VERSION) R from TFOLDER) f"));
    check.execute();
    QList<qint64> stamp;
    if (check.fetch()) {
        for (int c = 0; c <= kStampValues; ++c)
            stamp << check.value(c).toLongLong();
    }
    check.closeCursor();
    // A change made in the running transaction leaves the newest version as it was: the
    // disks are read again while it runs.
    const qint64 running = stamp.value(kStampValues);
    const bool ours = stamp.value(2) >= running || stamp.value(6) >= running;
    stamp.removeLast();
    if (!ours && !m_stamp.isEmpty() && stamp == m_stamp) {
        m_source = Source::Kept;
        return;
    }
    const bool firstRead = m_stamp.isEmpty();
    m_stamp.clear();
    const bool keep = !ours && !m_folder.isEmpty();
    const QString identity = keep ? identityOf(connection) : QString();
    if (keep && firstRead && !identity.isEmpty() && loadFile(identity, stamp)) {
        m_stamp = stamp;
        m_source = Source::File;
        return;
    }
    readFromServer(connection);
    m_source = Source::Server;
    if (ours)
        return;
    m_stamp = stamp;
    if (keep && !identity.isEmpty())
        saveFile(identity);
}

void DiskOrder::readFromServer(Connection &connection)
{
    m_disks.clear();
    // FIND sorts by folder path first: each folder's path is built once here and ranked by
    // the server (equal paths share a rank), where FIND builds one per disk.
    QHash<qint32, std::pair<qint64, QVariant>> folders;
    {
        Statement f(connection);
        f.prepare(QStringLiteral("select t.FFOLDERID, g.FFOLDERFULL, dense_rank() over (order "
                                 "by g.FFOLDERFULL) from TFOLDER t left join "
                                 "GETFOLDERFULL(t.FFOLDERID) g on 1 = 1"));
        f.execute();
        while (f.fetch())
            folders.insert(f.value(0).toInt(), {f.value(2).toLongLong(), f.value(1)});
    }
    Statement s(connection);
    s.prepare(QStringLiteral("select d.FFOLDERID, d.FDISKID, d.FNAME, d.FCOMMENT, d.FGETDATE "
                             "from TDISK d order by d.FNN, d.FNAME, d.FDISKID"));
    s.execute();
    std::vector<qint64> ranks;
    while (s.fetch()) {
        Disk d;
        const QVariant folder = s.value(0);
        d.values[0] = folder;
        d.values[1] = s.value(1);
        // A disk in no folder has no path, which sorts first.
        const auto f = folders.constFind(folder.toInt());
        d.values[2] = f != folders.cend() ? f->second : QVariant();
        d.values[3] = s.value(2);
        d.values[4] = s.value(3);
        d.values[5] = s.value(4);
        d.key = d.values[1].toInt();
        d.folded = IndexText::fold(d.values[3].toString());
        ranks.push_back(f != folders.cend() ? f->first : 0);
        m_disks.push_back(std::move(d));
    }
    std::vector<size_t> order(m_disks.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&ranks](size_t a, size_t b) { return ranks[a] < ranks[b]; });
    std::vector<Disk> sorted;
    sorted.reserve(m_disks.size());
    for (size_t i : order)
        sorted.push_back(std::move(m_disks[i]));
    m_disks = std::move(sorted);
}

bool DiskOrder::loadFile(const QString &identity, const QList<qint64> &stamp)
{
    QFile file(QDir(m_folder).filePath(fileName()));
    if (!file.exists())
        return false;
    const auto refuse = [this](const char *why) {
        qCInfo(lcSearchIndex, "disk order in %s not used: %s", qPrintable(m_folder), why);
        return false;
    };
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxBytes)
        return refuse("unreadable");
    QByteArray body;
    if (!CheckedFile::unframe(file.readAll(), kMagic, kVersion, &body))
        return refuse("damaged");
    QDataStream in(body);
    QString keptIdentity;
    in >> keptIdentity;
    QList<qint64> keptStamp;
    for (int i = 0; i < kStampValues; ++i) {
        qint64 v = 0;
        in >> v;
        keptStamp << v;
    }
    if (in.status() != QDataStream::Ok)
        return refuse("damaged");
    if (keptIdentity != identity)
        return refuse("another catalogue");
    if (keptStamp != stamp)
        return refuse("disks or folders changed");
    qint32 count = 0;
    in >> count;
    // Each disk takes at least a tag per column and its key.
    if (in.status() != QDataStream::Ok || count < 0
        || qint64(count) * (kColumns + 4) > in.device()->bytesAvailable())
        return refuse("damaged");
    std::vector<Disk> disks;
    disks.reserve(size_t(count));
    for (qint32 i = 0; i < count; ++i) {
        Disk d;
        for (QVariant &v : d.values) {
            if (!readValue(in, &v))
                return refuse("damaged");
        }
        // The key is a disk's own: never empty, never twice.
        if (d.values[1].metaType().id() != QMetaType::Int)
            return refuse("damaged");
        d.key = d.values[1].toInt();
        d.folded = IndexText::fold(d.values[3].toString());
        disks.push_back(std::move(d));
    }
    if (!in.atEnd())
        return refuse("damaged");
    std::vector<qint32> keys;
    keys.reserve(disks.size());
    for (const Disk &d : disks)
        keys.push_back(d.key);
    std::sort(keys.begin(), keys.end());
    if (std::adjacent_find(keys.begin(), keys.end()) != keys.end()
        || qint64(keys.size()) != stamp.value(0))
        return refuse("damaged");
    m_disks = std::move(disks);
    return true;
}

void DiskOrder::saveFile(const QString &identity) const
{
    QByteArray body;
    {
        QDataStream out(&body, QIODevice::WriteOnly);
        out << identity;
        for (qint64 v : m_stamp)
            out << v;
        out << qint32(m_disks.size());
        for (const Disk &d : m_disks) {
            for (const QVariant &v : d.values)
                writeValue(out, v);
        }
    }
    QDir().mkpath(m_folder);
    QSaveFile file(QDir(m_folder).filePath(fileName()));
    const bool ok = file.open(QIODevice::WriteOnly)
        && file.write(CheckedFile::frame(kMagic, kVersion, body)) >= 0 && file.commit();
    if (!ok)
        qCWarning(lcSearchIndex, "disk order in %s not kept: %s", qPrintable(m_folder),
                  qPrintable(file.errorString()));
}
