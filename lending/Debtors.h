#pragma once

#include "store/QueryDataSet.h"

#include <QStringList>
#include <array>

class Connection;

// Every lending with its disk, folder, type, owner and borrower, narrowed by four filters and
// ordered on the server. The statement is put together from its clauses: the columns, the
// tables, the condition of the filters that are on, and the ordering.
class Debtors
{
public:
    // The filters in the order their conditions are joined.
    enum Filter { NotMine, Mine, NotReturned, Overdue };
    using Filters = std::array<bool, 4>;

    // The ordering the list starts with: folder path, disk number, disk name, lending date.
    static const QString defaultOrdering;

    explicit Debtors(Connection &connection);

    // The lendings listed; read-only.
    QueryDataSet &rows() { return m_rows; }

    bool isOn(Filter filter) const { return m_on[size_t(filter)]; }
    // Turns a filter on or off and reads the list again.
    void toggle(Filter filter);
    // Orders the list by a sort key ("17 asc") and reads it again.
    void orderBy(const QString &ordering);
    // Reads the list with the filters and the ordering it has.
    void open();

    // The WHERE clause of the filters that are on, empty when none is.
    static QString condition(const Filters &on);
    // The whole statement, one select item or join per line, then the condition (an empty line
    // when there is none), "order by" and the ordering.
    static QStringList statement(const Filters &on, const QString &ordering);

private:
    QueryDataSet m_rows;
    Filters m_on {};
    QString m_ordering;
};
