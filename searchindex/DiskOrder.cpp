#include "searchindex/DiskOrder.h"

#include "searchindex/IndexText.h"
#include "store/Statement.h"

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
    Statement s(connection);
    s.prepare(QStringLiteral("select d.FFOLDERID, d.FDISKID, f.FFOLDERFULL, d.FNAME, "
                             "d.FCOMMENT, d.FGETDATE from TDISK d left join "
                             "GETFOLDERFULL(d.FFOLDERID) f on 1 = 1 "
                             "order by f.FFOLDERFULL, d.FNN, d.FNAME, d.FDISKID"));
    s.execute();
    while (s.fetch()) {
        Disk d;
        for (int c = 0; c < 6; ++c)
            d.values[c] = s.value(c);
        d.key = d.values[1].toInt();
        d.folded = IndexText::fold(d.values[3].toString());
        m_disks.push_back(std::move(d));
    }
    if (!ours)
        m_stamp = stamp;
}
