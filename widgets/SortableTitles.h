#pragma once

#include "widgets/SortMark.h"

#include <QStringList>
#include <functional>
#include <vector>

class DataSetModel;
class QueryDataSet;

// Sorting by a click on a column title: the server sorts, the click rewrites the line after
// "order by" in the dataset's select and re-opens it. Marks: down shows ascending, up
// descending; repeated clicks on one column alternate, starting ascending.
class SortableTitles
{
public:
    using Mark = SortMark;
    // The sort key of a column (a field name, or a position in the select list); empty for a
    // column that does not sort.
    using SortKey = std::function<QString(int column)>;
    using MarkChanged = std::function<void(int column, Mark mark)>;
    // Reads the list again in an ordering ("3 asc"); by default the line after "order by" is
    // rewritten in the dataset's select.
    using Reorder = std::function<void(const QString &ordering)>;

    SortableTitles(QueryDataSet &dataSet, int columns, SortKey key, MarkChanged markChanged = {});

    // The title of a column was clicked. Throws the server's error when the re-opened select
    // fails; the dataset then stays closed.
    void titleClick(int column);
    Mark mark(int column) const { return m_marks[size_t(column)]; }
    // For a list whose owner puts its statement together itself.
    void setReorder(Reorder reorder) { m_reorder = std::move(reorder); }

    // Replaces the line after every line that is exactly "order by".
    static QStringList withOrdering(const QStringList &lines, const QString &ordering);

    // Sort keys by position, for selects whose columns repeat names: a column sorts by the
    // position of its field in the select list, counted from 1. The dataset's fields must be
    // the select's own columns, in their order; a column without a field does not sort.
    static SortKey selectPositions(const DataSetModel &model);

private:
    QueryDataSet &m_dataSet;
    SortKey m_key;
    MarkChanged m_markChanged;
    Reorder m_reorder;
    std::vector<Mark> m_marks;
};
