#include "lending/Debtors.h"

namespace {

// The condition of each filter, in the order they are joined.
const std::array<QString, 4> Conditions {
    QStringLiteral("d.FMANID<>1"),
    QStringLiteral("d.FMANID=1"),
    QStringLiteral("g.FRETDATE is null"),
    QStringLiteral("(g.FCTRLDATE<current_date and g.FCTRLDATE is not null)"),
};

// Sorting by a title click counts on these positions (from 1): see the debtors window.
const QStringList Columns {
    QStringLiteral("select d.FDISKID,"),
    QStringLiteral("d.FFOLDERID,"),
    QStringLiteral("g.FCOMMENT,"),
    QStringLiteral("g.FCTRLDATE,"),
    QStringLiteral("g.FDISKID,"),
    QStringLiteral("g.FGIVEDATE,"),
    QStringLiteral("g.FGIVEID,"),
    QStringLiteral("d.FMANID,"),
    QStringLiteral("g.FMANID FGIVEMANID,"),
    QStringLiteral("g.FRETDATE,"),
    QStringLiteral("m.FNAME,"),
    QStringLiteral("d.FNN,"),
    QStringLiteral("d.FNAME FDISKNAME,"),
    QStringLiteral("d.FCOMMENT FDISKCOMMENT,"),
    QStringLiteral("d.FGETDATE,"),
    QStringLiteral("d.FTYPEID,"),
    QStringLiteral("t.FTYPE,"),
    QStringLiteral("f.FFOLDER,"),
    QStringLiteral("f.FFOLDERFULL,"),
    QStringLiteral("mo.FNAME FOWNNAME"),
};

const QStringList Tables {
    QStringLiteral("from TDISK d"),
    QStringLiteral("left join GETFOLDERFULL(d.FFOLDERID) f on (d.FDISKID is not null)"),
    QStringLiteral("left join TTYPE t on (t.FTYPEID=d.FTYPEID)"),
    QStringLiteral("inner join TGIVE g on (g.FDISKID=d.FDISKID)"),
    QStringLiteral("inner join TMAN mo on (mo.FMANID=d.FMANID)"),
    QStringLiteral("inner join TMAN m on (m.FMANID=g.FMANID)"),
};

} // namespace

const QString Debtors::defaultOrdering
    = QStringLiteral(" f.FFOLDERFULL, d.FNN, d.FNAME, g.FGIVEDATE");

Debtors::Debtors(Connection &connection)
    : m_rows(connection, QStringLiteral("dtGive")), m_ordering(defaultOrdering)
{
    m_rows.setSelectSql(statement(m_on, m_ordering));
}

QString Debtors::condition(const Filters &on)
{
    QStringList joined;
    for (size_t i = 0; i < on.size(); ++i) {
        if (on[i])
            joined << Conditions[i];
    }
    return joined.isEmpty() ? QString()
                            : QStringLiteral("where ") + joined.join(QStringLiteral(" AND "));
}

QStringList Debtors::statement(const Filters &on, const QString &ordering)
{
    return Columns + Tables + QStringList {condition(on), QStringLiteral("order by"), ordering};
}

void Debtors::open()
{
    m_rows.close();
    m_rows.setSelectSql(statement(m_on, m_ordering));
    m_rows.open();
}

void Debtors::toggle(Filter filter)
{
    // Closed first: a list that cannot be read again is not left showing the old filter.
    m_rows.close();
    m_on[size_t(filter)] = !m_on[size_t(filter)];
    open();
}

void Debtors::orderBy(const QString &ordering)
{
    m_rows.close();
    m_ordering = ordering;
    open();
}
