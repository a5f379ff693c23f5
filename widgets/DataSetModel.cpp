#include "widgets/DataSetModel.h"

#include "store/Field.h"
#include "store/QueryDataSet.h"
#include "widgets/ErrorBox.h"
#include "widgets/WidgetsLog.h"

#include <QLocale>
#include <QScopedValueRollback>
#include <QWidget>

namespace {

bool isNumeric(FieldType type)
{
    return type == FieldType::Integer || type == FieldType::LargeInt || type == FieldType::Float;
}

QString stateMarker(QueryDataSet::State state)
{
    switch (state) {
    case QueryDataSet::State::Browse:
        return QStringLiteral("\u25B8");
    case QueryDataSet::State::Edit:
        return QStringLiteral("\u270E");
    case QueryDataSet::State::Insert:
        return QStringLiteral("I");
    case QueryDataSet::State::Inactive:
        break;
    }
    return {};
}

} // namespace

DataSetModel::DataSetModel(QueryDataSet *dataSet, const QList<Column> &columns, QObject *parent)
    : QAbstractTableModel(parent),
      m_dataSet(dataSet),
      m_columns(columns),
      m_sortMarks(size_t(columns.size()), SortMark::None)
{
    resolveFields();
    if (!m_dataSet)
        return;
    m_rows = m_dataSet->isOpen() ? m_dataSet->fetchedCount() : 0;
    watchLookups();

    QueryDataSet *ds = m_dataSet;
    connect(ds, &QueryDataSet::dataReset, this, &DataSetModel::resetRows);
    connect(ds, &QueryDataSet::rowsAboutToBeFetched, this, &DataSetModel::beginInsert);
    connect(ds, &QueryDataSet::rowsFetched, this, &DataSetModel::endInsert);
    connect(ds, &QueryDataSet::rowAboutToBeInserted, this,
            [this](int row) { beginInsert(row, row); });
    connect(ds, &QueryDataSet::rowInserted, this, [this](int row) { endInsert(row, row); });
    connect(ds, &QueryDataSet::rowAboutToBeRemoved, this, &DataSetModel::beginRemove);
    connect(ds, &QueryDataSet::rowRemoved, this, &DataSetModel::endRemove);
    connect(ds, &QueryDataSet::rowAboutToBeMoved, this, &DataSetModel::beginMove);
    connect(ds, &QueryDataSet::rowMoved, this, &DataSetModel::endMove);
    connect(ds, &QueryDataSet::rowChanged, this, &DataSetModel::onRowChanged);
    connect(ds, &QueryDataSet::currentRowChanged, this, &DataSetModel::updateMarker);
    connect(ds, &QueryDataSet::stateChanged, this, &DataSetModel::updateMarker);
    connect(ds, &QueryDataSet::dataSetChanged, this, &DataSetModel::updateMarker);
    connect(ds, &QObject::destroyed, this, [this] {
        beginResetModel();
        m_rows = 0;
        endResetModel();
    });
    updateMarker();
}

QueryDataSet *DataSetModel::dataSet() const
{
    return m_dataSet;
}

void DataSetModel::setErrorParent(QWidget *parent)
{
    m_errorParent = parent;
}

int DataSetModel::columnOfField(const QString &fieldName) const
{
    for (int c = 0; c < m_columns.size(); ++c) {
        if (m_columns[c].fieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            return c;
    }
    return -1;
}

Field *DataSetModel::field(int column) const
{
    if (!m_dataSet || column < 0 || column >= int(m_fieldIndex.size())
        || m_fieldIndex[size_t(column)] < 0
        || m_fieldIndex[size_t(column)] >= m_dataSet->fieldCount())
        return nullptr;
    return &m_dataSet->field(m_fieldIndex[size_t(column)]);
}

QString DataSetModel::columnTitle(int column) const
{
    return m_columns.value(column).title;
}

void DataSetModel::setColumnTitle(int column, const QString &title)
{
    if (column < 0 || column >= m_columns.size() || m_columns[column].title == title)
        return;
    m_columns[column].title = title;
    Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
}

DataSetModel::SortMark DataSetModel::sortMark(int column) const
{
    if (column < 0 || column >= int(m_sortMarks.size()))
        return SortMark::None;
    return m_sortMarks[size_t(column)];
}

void DataSetModel::setSortMark(int column, SortMark mark)
{
    if (column < 0 || column >= int(m_sortMarks.size()) || m_sortMarks[size_t(column)] == mark)
        return;
    m_sortMarks[size_t(column)] = mark;
    Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
    Q_EMIT sortMarksChanged();
}

void DataSetModel::clearSortMarks()
{
    for (int c = 0; c < int(m_sortMarks.size()); ++c)
        setSortMark(c, SortMark::None);
}

void DataSetModel::setCellColor(const CellColor &cellColor)
{
    m_cellColor = cellColor;
    if (m_rows > 0 && !m_columns.isEmpty())
        Q_EMIT dataChanged(index(0, 0), index(m_rows - 1, columnCount() - 1), {Qt::ForegroundRole});
}

void DataSetModel::setToolTipText(const QString &text)
{
    m_toolTipText = text;
}

QVariant DataSetModel::fieldValue(int row, int column) const
{
    if (!m_dataSet || !m_dataSet->isOpen() || !field(column))
        return {};
    if (row < 0 || row >= m_dataSet->fetchedCount())
        return {};
    return m_dataSet->value(row, m_fieldIndex[size_t(column)]);
}

QString DataSetModel::displayText(int row, int column) const
{
    if (column < 0 || column >= m_columns.size())
        return {};
    const QVariant value = fieldValue(row, column);
    const Column &c = m_columns[column];
    return c.format ? c.format(value) : Field::displayText(value);
}

QStringList DataSetModel::lookupTexts(int column) const
{
    const Field *f = field(column);
    if (!f || !f->isLookup() || !f->def().lookupDataSet->isOpen())
        return {};
    QueryDataSet &lookup = *f->def().lookupDataSet;
    const Field *result = lookup.findField(f->def().lookupResultField);
    if (!result)
        return {};
    lookup.fetchAll();
    QStringList texts;
    for (int r = 0; r < lookup.fetchedCount(); ++r) {
        const QVariant v = lookup.value(r, result->index());
        if (!v.isNull())
            texts.append(v.toString());
    }
    return texts;
}

void DataSetModel::resolveFields()
{
    m_fieldIndex.assign(size_t(m_columns.size()), -1);
    if (!m_dataSet)
        return;
    for (int c = 0; c < m_columns.size(); ++c) {
        if (const Field *f = m_dataSet->findField(m_columns[c].fieldName))
            m_fieldIndex[size_t(c)] = f->index();
    }
}

void DataSetModel::watchLookups()
{
    for (int c = 0; c < m_columns.size(); ++c) {
        const Field *f = field(c);
        if (!f || !f->isLookup())
            continue;
        QueryDataSet *lookup = f->def().lookupDataSet;
        bool known = false;
        for (const auto &l : m_lookups)
            known = known || l == lookup;
        if (known)
            continue;
        m_lookups.emplace_back(lookup);
        // New or renamed names show at once; fetching alone changes nothing shown.
        connect(lookup, &QueryDataSet::dataReset, this, &DataSetModel::onLookupChanged);
        connect(lookup, &QueryDataSet::rowChanged, this, &DataSetModel::onLookupChanged);
        connect(lookup, &QueryDataSet::rowInserted, this, &DataSetModel::onLookupChanged);
        connect(lookup, &QueryDataSet::rowRemoved, this, &DataSetModel::onLookupChanged);
    }
}

void DataSetModel::resetRows()
{
    const QScopedValueRollback changing(m_changing, true);
    beginResetModel();
    m_rows = m_dataSet && m_dataSet->isOpen() ? m_dataSet->fetchedCount() : 0;
    resolveFields();
    watchLookups();
    endResetModel();
    updateMarker();
}

bool DataSetModel::inStep() const
{
    const int rows = m_dataSet && m_dataSet->isOpen() ? m_dataSet->fetchedCount() : 0;
    return rows == m_rows;
}

// Each change is bracketed only when the model is in step with the dataset and the change
// fits its rows; otherwise the change's end resets the model, which is always right.
void DataSetModel::beginInsert(int first, int last)
{
    m_changing = true;
    m_bracketed = inStep() && first >= 0 && first <= m_rows && last >= first;
    if (m_bracketed)
        beginInsertRows(QModelIndex(), first, last);
}

void DataSetModel::endInsert(int first, int last)
{
    if (m_bracketed) {
        m_rows += last - first + 1;
        endInsertRows();
    }
    endChange();
}

void DataSetModel::beginRemove(int row)
{
    m_changing = true;
    m_bracketed = inStep() && row >= 0 && row < m_rows;
    if (m_bracketed)
        beginRemoveRows(QModelIndex(), row, row);
}

void DataSetModel::endRemove()
{
    if (m_bracketed) {
        --m_rows;
        endRemoveRows();
    }
    endChange();
}

void DataSetModel::beginMove(int from, int to)
{
    m_changing = true;
    // Qt counts the destination before the move: a row moving down lands before to + 1.
    m_bracketed = inStep() && from >= 0 && to >= 0 && from < m_rows && to < m_rows
        && beginMoveRows(QModelIndex(), from, from, QModelIndex(), to > from ? to + 1 : to);
}

void DataSetModel::endMove()
{
    if (m_bracketed)
        endMoveRows();
    endChange();
}

void DataSetModel::endChange()
{
    const bool bracketed = m_bracketed;
    m_bracketed = false;
    if (!bracketed || !inStep())
        resetRows();
    m_changing = false;
}

void DataSetModel::onRowChanged(int row)
{
    if (row >= 0 && row < m_rows && !m_columns.isEmpty())
        Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void DataSetModel::onLookupChanged()
{
    if (m_rows == 0)
        return;
    for (int c = 0; c < m_columns.size(); ++c) {
        const Field *f = field(c);
        if (f && f->isLookup())
            Q_EMIT dataChanged(index(0, c), index(m_rows - 1, c));
    }
}

void DataSetModel::updateMarker()
{
    const int row = m_dataSet && m_dataSet->isOpen() ? m_dataSet->currentRow() : -1;
    const QPersistentModelIndex old = m_marker;
    m_marker
        = row >= 0 && row < m_rows ? QPersistentModelIndex(index(row, 0)) : QPersistentModelIndex();
    if (old.isValid() && old.row() < m_rows && old.row() != m_marker.row())
        Q_EMIT headerDataChanged(Qt::Vertical, old.row(), old.row());
    if (m_marker.isValid())
        Q_EMIT headerDataChanged(Qt::Vertical, m_marker.row(), m_marker.row());
}

int DataSetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int DataSetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant DataSetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid()
        || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const int row = index.row();
    const int column = index.column();
    // Reading a lookup may fetch its source; a failure there shows as an empty cell.
    try {
        switch (role) {
        case Qt::DisplayRole:
            return displayText(row, column);
        case Qt::EditRole:
            return fieldValue(row, column);
        case Qt::ToolTipRole:
            if (m_toolTipText.isEmpty())
                return {};
            return m_toolTipText;
        case Qt::TextAlignmentRole: {
            Qt::Alignment alignment = m_columns[column].alignment;
            if (!(alignment & Qt::AlignHorizontal_Mask)) {
                const Field *f = field(column);
                alignment |= f && isNumeric(f->type()) ? Qt::AlignRight : Qt::AlignLeft;
            }
            if (!(alignment & Qt::AlignVertical_Mask))
                alignment |= Qt::AlignVCenter;
            return int(alignment);
        }
        case Qt::ForegroundRole: {
            if (!m_cellColor || !m_dataSet || row >= m_dataSet->fetchedCount())
                return {};
            const std::optional<QColor> color = m_cellColor(row, column);
            if (!color)
                return {};
            return *color;
        }
        default:
            return {};
        }
    } catch (const std::exception &e) {
        qCInfo(lcWidgets) << "cell" << row << column << "not read:" << e.what();
        return {};
    }
}

bool DataSetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid()
        || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)
        || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    QueryDataSet *ds = m_dataSet;
    const int fieldIndex = m_fieldIndex[size_t(index.column())];
    const QPersistentModelIndex target(index);
    bool written = false;
    const bool ok = runCommand(m_errorParent, [&] {
        if (target.row() != ds->currentRow()) {
            // Leaving the row may post it, and a posted new row moves behind the others:
            // the target row is known again only after that.
            ds->checkBrowseMode();
            if (!target.isValid())
                return;
            ds->moveTo(target.row());
            if (ds->currentRow() != target.row())
                return;
        }
        const Field &f = ds->field(fieldIndex);
        const QVariant current = ds->value(ds->currentRow(), fieldIndex);
        // An editor that closes unchanged must not put the row into edit state.
        const bool same
            = f.isLookup() ? value.toString() == current.toString() : f.coerce(value) == current;
        if (!same)
            ds->setCurrentValue(fieldIndex, value);
        written = true;
    });
    return ok && written;
}

void DataSetModel::revert()
{
    QueryDataSet *ds = m_dataSet;
    if (!ds
        || (ds->state() != QueryDataSet::State::Edit && ds->state() != QueryDataSet::State::Insert))
        return;
    runCommand(m_errorParent, [ds] { ds->cancel(); });
}

Qt::ItemFlags DataSetModel::flags(const QModelIndex &index) const
{
    if (!index.isValid()
        || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return Qt::NoItemFlags;
    const Qt::ItemFlags shown = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    const Field *f = field(index.column());
    if (m_columns[index.column()].readOnly || !f || !m_dataSet->isOpen())
        return shown;
    if (f->isLookup()) {
        // A lookup is written through its key field, which must be a data field.
        const Field *key = m_dataSet->findField(f->def().keyField);
        if (!key || key->isLookup())
            return shown;
    }
    return shown | Qt::ItemIsEditable;
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= m_columns.size())
            return {};
        if (role == Qt::DisplayRole)
            return m_columns[section].title;
        return {};
    }
    if (section < 0 || section >= m_rows)
        return {};
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole)
        return {};
    if (!m_dataSet || !m_dataSet->isOpen() || section != m_dataSet->currentRow())
        return QString();
    return stateMarker(m_dataSet->state());
}

bool DataSetModel::canFetchMore(const QModelIndex &parent) const
{
    // Not while a change is being reported: a fetch then would nest one change in another.
    return !parent.isValid() && !m_changing && m_dataSet && m_dataSet->canFetchMore() && inStep();
}

void DataSetModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    QueryDataSet *ds = m_dataSet;
    runCommand(m_errorParent, [ds] { ds->fetchMore(); });
}
