#include "widgets/SortableTitles.h"

#include "store/QueryDataSet.h"
#include "widgets/DataSetModel.h"

#include <QPointer>

SortableTitles::SortableTitles(QueryDataSet &dataSet, int columns, SortKey key,
                               MarkChanged markChanged)
    : m_dataSet(dataSet),
      m_key(std::move(key)),
      m_markChanged(std::move(markChanged)),
      m_marks(size_t(columns), Mark::None)
{ }

QStringList SortableTitles::withOrdering(const QStringList &lines, const QString &ordering)
{
    QStringList result = lines;
    for (qsizetype i = 0; i + 1 < result.size(); ++i) {
        if (result[i] == QLatin1String("order by"))
            result[i + 1] = ordering;
    }
    return result;
}

SortableTitles::SortKey SortableTitles::selectPositions(const DataSetModel &model)
{
    return [shown = QPointer<const DataSetModel>(&model)](int column) {
        const Field *f = shown ? shown->field(column) : nullptr;
        return f && !f->isLookup() ? QString::number(f->index() + 1) : QString();
    };
}

void SortableTitles::titleClick(int column)
{
    if (column < 0 || column >= int(m_marks.size()))
        return;
    const QString key = m_key(column);
    if (key.isEmpty())
        return;
    // The row being edited is stored before the list is read again in the new order; a row
    // that cannot be stored stops the sort here, its text still there to be mended.
    m_dataSet.checkBrowseMode();
    const bool descending = m_marks[size_t(column)] == Mark::Down;
    for (size_t c = 0; c < m_marks.size(); ++c) {
        if (m_marks[c] != Mark::None) {
            m_marks[c] = Mark::None;
            if (m_markChanged)
                m_markChanged(int(c), Mark::None);
        }
    }
    m_marks[size_t(column)] = descending ? Mark::Up : Mark::Down;
    if (m_markChanged)
        m_markChanged(column, m_marks[size_t(column)]);

    const QString ordering = key + (descending ? QStringLiteral(" desc") : QStringLiteral(" asc"));
    if (m_reorder) {
        m_reorder(ordering);
        return;
    }
    m_dataSet.close();
    m_dataSet.setSelectSql(withOrdering(m_dataSet.selectSql(), ordering));
    m_dataSet.open();
}
