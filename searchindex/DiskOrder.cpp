#include "searchindex/DiskOrder.h"

#include "searchindex/IndexText.h"
#include "store/Statement.h"

#include <QHash>
#include <algorithm>

void DiskOrder::refresh(Connection &connection)
{
    Statement check(connection);
    check.prepare(QStringLiteral(
        "select d.C, d.S, d.V, f.C, f.S, f.V, current_transaction from (select count(*) C, "
        "sum(FDISKID) S, max(RDB$RECORD_VERSION) V from TDISK) d cross join (select count(*) "
        "C, sum(FFOLDERID) S, max(RDB$RECORD_VERSION) V from TFOLDER) f"));
    check.execute();
    QList<qint64> stamp;
    if (check.fetch()) {
        for (int c = 0; c < 7; ++c)
            stamp << check.value(c).toLongLong();
    }
    check.closeCursor();
    // A change made in the running transaction leaves the newest version as it was: the
    // disks are read again while it runs.
    const qint64 running = stamp.value(6);
    const bool ours = stamp.value(2) >= running || stamp.value(5) >= running;
    stamp.removeLast();
    if (!ours && !m_stamp.isEmpty() && stamp == m_stamp)
        return;
    m_stamp.clear();
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
    if (!ours)
        m_stamp = stamp;
}
