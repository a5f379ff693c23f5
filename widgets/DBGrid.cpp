#include "widgets/DBGrid.h"

#include "store/QueryDataSet.h"
#include "widgets/DBGridDelegate.h"
#include "widgets/ErrorBox.h"
#include "widgets/Prompt.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <QToolTip>
#include <map>

namespace {

// A stretching column never shrinks below this (or below its own width, if smaller).
constexpr int MinStretchWidth = 24;
// The width of a digit in the font the column widths were designed with.
constexpr qreal DesignDigitWidth = 6;

bool isEditing(const QueryDataSet *ds)
{
    return ds
        && (ds->state() == QueryDataSet::State::Edit || ds->state() == QueryDataSet::State::Insert);
}

} // namespace

DBGrid::DBGrid(QWidget *parent) : QTableView(parent)
{
    setItemDelegate(new DBGridDelegate(this));
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectItems);
    setEditTriggers(SelectedClicked | EditKeyPressed | AnyKeyPressed);
    setTabKeyNavigation(true);
    setShowGrid(true);
    setGridStyle(Qt::SolidLine);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setSortingEnabled(false);
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerItem);

    QHeaderView *titles = horizontalHeader();
    titles->setHighlightSections(false);
    titles->setSectionsClickable(true);
    titles->setStretchLastSection(false);
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setMinimumSectionSize(8);
    titles->setSortIndicatorShown(false);
    connect(titles, &QHeaderView::sectionClicked, this, &DBGrid::titleClicked);
    connect(titles, &QHeaderView::sectionResized, this, &DBGrid::sectionResized);

    // The row indicator: one narrow column marking the current row and its state.
    QHeaderView *indicator = verticalHeader();
    const int rowHeight = fontMetrics().height() + 4;
    indicator->setSectionResizeMode(QHeaderView::Fixed);
    indicator->setMinimumSectionSize(rowHeight);
    indicator->setDefaultSectionSize(rowHeight);
    indicator->setHighlightSections(false);
    indicator->setFixedWidth(fontMetrics().horizontalAdvance(QChar(0x270E)) + 8);
    connect(indicator, &QHeaderView::sectionPressed, this, &DBGrid::rowIndicatorPressed);
    indicator->viewport()->installEventFilter(this);

    // Connected first, so the owner's handler of the same click can set a new hint.
    connect(this, &QAbstractItemView::clicked, this, [this] { setHintText(QString()); });
}

DataSetModel *DBGrid::setDataSet(QueryDataSet *dataSet, const QList<DataSetModel::Column> &columns)
{
    QPointer<DataSetModel> old = m_model;
    auto *model = new DataSetModel(dataSet, columns, this);
    setDataSetModel(model);
    if (old && old->parent() == this)
        old->deleteLater();
    return model;
}

void DBGrid::setDataSetModel(DataSetModel *model)
{
    for (const auto &c : m_connections)
        disconnect(c);
    m_connections.clear();

    QItemSelectionModel *oldSelection = selectionModel();
    m_model = model;
    QTableView::setModel(model);
    if (oldSelection && oldSelection != selectionModel())
        oldSelection->deleteLater();
    m_widths.clear();
    m_userSized.clear();
    if (!model)
        return;

    model->setErrorParent(this);
    model->setToolTipText(m_hintText);
    for (const auto &column : model->columns())
        m_widths.push_back(column.width);
    m_userSized.assign(m_widths.size(), false);
    if (QueryDataSet *ds = model->dataSet()) {
        m_connections << connect(ds, &QueryDataSet::currentRowChanged, this,
                                 &DBGrid::followDataSet);
        m_connections << connect(ds, &QueryDataSet::stateChanged, this, [this] {
            if (dataSet() && !dataSet()->isOpen())
                setHintText(QString());
        });
        m_connections << connect(ds, &QueryDataSet::focusFieldRequested, this, &DBGrid::focusField);
    }
    m_connections << connect(model, &QAbstractItemModel::modelReset, this, [this] {
        layoutColumns();
        followDataSet();
    });
    m_connections << connect(model, &DataSetModel::sortMarksChanged, this,
                             &DBGrid::syncSortIndicator);
    layoutColumns();
    syncSortIndicator();
    followDataSet();
}

QueryDataSet *DBGrid::dataSet() const
{
    return m_model ? m_model->dataSet() : nullptr;
}

void DBGrid::setHintText(const QString &text)
{
    m_hintText = text;
    if (m_model)
        m_model->setToolTipText(text);
    if (text.isEmpty() && QToolTip::isVisible())
        QToolTip::hideText();
}

void DBGrid::setRowSelect(bool on)
{
    m_rowSelect = on;
    setSelectionBehavior(on ? SelectRows : SelectItems);
    selectCurrent();
}

void DBGrid::setRangeSelect(bool on)
{
    m_rangeSelect = on;
    setSelectionMode(on ? ExtendedSelection : SingleSelection);
    if (!on)
        selectCurrent();
}

QString DBGrid::selectedText() const
{
    const QItemSelectionModel *selection = selectionModel();
    if (!m_model || !selection)
        return {};
    // Rows and columns from the ranges, not from every index: all rows may be chosen.
    std::map<int, std::vector<bool>> rows;
    const int columnCount = m_model->columnCount();
    std::vector<bool> chosenColumns(size_t(columnCount), false);
    for (const QItemSelectionRange &range : selection->selection()) {
        for (int r = range.top(); r <= range.bottom(); ++r) {
            std::vector<bool> &cells = rows[r];
            cells.resize(size_t(columnCount), false);
            for (int c = range.left(); c <= range.right(); ++c)
                cells[size_t(c)] = true;
        }
        for (int c = range.left(); c <= range.right(); ++c)
            chosenColumns[size_t(c)] = true;
    }
    std::vector<int> columns;
    for (int visual = 0; visual < columnCount; ++visual) {
        const int c = horizontalHeader()->logicalIndex(visual);
        if (c >= 0 && chosenColumns[size_t(c)] && !isColumnHidden(c))
            columns.push_back(c);
    }
    QStringList lines;
    for (const auto &[row, cells] : rows) {
        QStringList texts;
        for (const int c : columns)
            texts << (cells[size_t(c)] ? m_model->displayText(row, c) : QString());
        lines << texts.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n'));
}

void DBGrid::selectAllRows()
{
    if (!m_model)
        return;
    // A fetch that fails leaves the rows as they are, and so ends the loop.
    while (m_model->canFetchMore({})) {
        const int before = m_model->rowCount();
        m_model->fetchMore({});
        if (m_model->rowCount() == before)
            break;
    }
    selectAll();
}

QString DBGrid::currentFieldName() const
{
    const QModelIndex current = currentIndex();
    if (!m_model || !current.isValid())
        return {};
    return m_model->column(current.column()).fieldName;
}

void DBGrid::copyCurrentCell()
{
    const QModelIndex current = currentIndex();
    if (!m_model || !current.isValid())
        return;
    QGuiApplication::clipboard()->setText(m_model->displayText(current.row(), current.column()));
}

qreal DBGrid::widthScale() const
{
    if (m_widthScale > 0)
        return m_widthScale;
    return fontMetrics().horizontalAdvance(QLatin1Char('0')) / DesignDigitWidth;
}

void DBGrid::setWidthScale(qreal scale)
{
    m_widthScale = scale;
    layoutColumns();
}

void DBGrid::layoutColumns()
{
    if (!m_model)
        return;
    const qreal scale = widthScale();
    const int count = qMin(m_model->columnCount(), int(m_widths.size()));
    // Every column at least as wide as its title, so that no title is cut, unless the user
    // has made it narrower.
    std::vector<int> widths(static_cast<size_t>(count));
    std::vector<int> least(static_cast<size_t>(count));
    std::vector<bool> stretching(static_cast<size_t>(count));
    int fixed = 0;
    for (int c = 0; c < count; ++c) {
        if (isColumnHidden(c))
            continue;
        const size_t i = size_t(c);
        widths[i] = qRound(m_widths[i] * scale);
        least[i] = horizontalHeader()->sectionSizeHint(c);
        stretching[i] = m_model->column(c).stretch;
        if (stretching[i])
            least[i] = qMax(least[i], qMin(widths[i], MinStretchWidth));
        else
            fixed += widths[i] = m_userSized[i] ? widths[i] : qMax(widths[i], least[i]);
    }
    // The stretching columns share what the fixed ones leave in proportion to their widths;
    // one whose share would be narrower than its title keeps its title's width instead.
    const int free = viewport()->width() - fixed;
    std::vector<bool> pinned(static_cast<size_t>(count));
    int lastStretch = -1;
    int stretchBase = 0;
    int room = free;
    for (bool again = true; again;) {
        again = false;
        stretchBase = 0;
        room = free;
        lastStretch = -1;
        for (int c = 0; c < count; ++c) {
            if (!stretching[size_t(c)])
                continue;
            if (pinned[size_t(c)]) {
                room -= least[size_t(c)];
            } else {
                stretchBase += widths[size_t(c)];
                lastStretch = c;
            }
        }
        for (int c = 0; c < count && stretchBase > 0; ++c) {
            const size_t i = size_t(c);
            if (stretching[i] && !pinned[i]
                && qint64(qMax(room, 0)) * widths[i] / stretchBase < least[i]) {
                pinned[i] = true;
                again = true;
            }
        }
    }
    int left = qMax(room, 0);
    const QScopedValueRollback layingOut(m_layingOut, true);
    for (int c = 0; c < count; ++c) {
        if (isColumnHidden(c))
            continue;
        const size_t i = size_t(c);
        if (!stretching[i]) {
            setColumnWidth(c, widths[i]);
            continue;
        }
        if (pinned[i] || stretchBase <= 0) {
            setColumnWidth(c, pinned[i] ? least[i] : qMax(widths[i], least[i]));
            continue;
        }
        // The last stretching column takes the rounding rest, so the row fills exactly.
        int share = c == lastStretch ? left : int(qint64(qMax(room, 0)) * widths[i] / stretchBase);
        share = qMax(share, least[i]);
        left -= share;
        setColumnWidth(c, share);
    }
}

bool DBGrid::isCopyKey(const QKeyEvent *event) const
{
    return event->matches(QKeySequence::Copy)
        || (event->key() == Qt::Key_Insert
            && (event->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier);
}

bool DBGrid::isSelectAllKey(const QKeyEvent *event) const
{
    return m_rangeSelect && event->matches(QKeySequence::SelectAll);
}

bool DBGrid::isRowKey(const QKeyEvent *event) const
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    return m_rowKeys
        && ((event->key() == Qt::Key_Insert && modifiers == Qt::NoModifier)
            || (event->key() == Qt::Key_Delete && modifiers == Qt::ControlModifier));
}

bool DBGrid::downPastLastRow() const
{
    const QueryDataSet *ds = dataSet();
    if (!ds || ds->state() != QueryDataSet::State::Browse || ds->canFetchMore())
        return false;
    const int rows = m_model->rowCount();
    return rows == 0 || currentIndex().row() == rows - 1;
}

bool DBGrid::event(QEvent *event)
{
    // Copying and the row keys stay the grid's even where a window has a shortcut on them.
    if (event->type() == QEvent::ShortcutOverride
        && (isCopyKey(static_cast<QKeyEvent *>(event))
            || isSelectAllKey(static_cast<QKeyEvent *>(event))
            || isRowKey(static_cast<QKeyEvent *>(event)))) {
        event->accept();
        return true;
    }
    // Esc cancels a row's unposted changes before a window may take it to close.
    if (event->type() == QEvent::ShortcutOverride
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape && isEditing(dataSet())) {
        event->accept();
        return true;
    }
    return QTableView::event(event);
}

bool DBGrid::eventFilter(QObject *watched, QEvent *event)
{
    // A press on the row indicator keeps the current column, which the table's own row
    // selection would reset before rowIndicatorPressed() runs.
    if (watched == verticalHeader()->viewport() && event->type() == QEvent::MouseButtonPress)
        m_indicatorColumn = m_column;
    return QTableView::eventFilter(watched, event);
}

bool DBGrid::viewportEvent(QEvent *event)
{
    // Cells show the hint through the model; the empty part of the grid shows it too.
    if (event->type() == QEvent::ToolTip && !m_hintText.isEmpty()) {
        const auto *help = static_cast<QHelpEvent *>(event);
        if (!indexAt(help->pos()).isValid()) {
            QToolTip::showText(help->globalPos(), m_hintText, viewport());
            return true;
        }
    }
    return QTableView::viewportEvent(event);
}

void DBGrid::keyPressEvent(QKeyEvent *event)
{
    if (isCopyKey(event)) {
        if (m_rangeSelect)
            QGuiApplication::clipboard()->setText(selectedText());
        else
            copyCurrentCell();
        event->accept();
        return;
    }
    if (isSelectAllKey(event)) {
        selectAllRows();
        event->accept();
        return;
    }
    QueryDataSet *ds = dataSet();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Handled on release; taken here so that no dialog takes it for its default button.
        // An Enter the in-place editor passes on ends the edit and is not the grid's.
        if (!event->isAutoRepeat())
            m_enterPressed = state() != EditingState;
        event->accept();
        return;
    case Qt::Key_Insert:
        if (m_rowKeys && modifiers == Qt::NoModifier && ds && ds->isOpen()) {
            closeOpenEditor();
            runCommand(this, [ds] { ds->insert(); });
            event->accept();
            return;
        }
        break;
    case Qt::Key_Delete:
        if (m_rowKeys && modifiers == Qt::ControlModifier && ds && ds->isOpen() && !ds->isEmpty()) {
            event->accept();
            if (Prompt::instance().message(this, m_deleteQuestion, m_deleteCaption,
                                           QMessageBox::Question,
                                           QMessageBox::Ok | QMessageBox::Cancel)
                == QMessageBox::Ok) {
                closeOpenEditor();
                runCommand(this, [ds] { ds->remove(); });
            }
            return;
        }
        break;
    case Qt::Key_Escape:
        if (isEditing(ds)) {
            closeOpenEditor();
            runCommand(this, [ds] { ds->cancel(); });
            event->accept();
            return;
        }
        break;
    case Qt::Key_Down:
        if (modifiers != Qt::NoModifier || !m_model || !ds || !ds->isOpen())
            break;
        // The typed value goes into the row before anything else happens to it.
        commitEdit();
        if (m_appendOnDown && downPastLastRow()) {
            runCommand(this, [ds] { ds->insert(); });
            event->accept();
            return;
        }
        if (currentIndex().row() == m_model->rowCount() - 1 && m_model->canFetchMore({}))
            m_model->fetchMore({});
        break;
    default:
        break;
    }
    QTableView::keyPressEvent(event);
}

void DBGrid::keyReleaseEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && !event->isAutoRepeat()) {
        const bool pressed = m_enterPressed;
        m_enterPressed = false;
        event->accept();
        if (pressed)
            Q_EMIT activatedByKey();
        return;
    }
    QTableView::keyReleaseEvent(event);
}

void DBGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        Q_EMIT activatedByDoubleClick();
}

void DBGrid::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    layoutColumns();
}

void DBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    // The base commits an editor still open on the previous cell, into the row it belongs to.
    QTableView::currentChanged(current, previous);
    if (current.isValid())
        m_column = current.column();
    QueryDataSet *ds = dataSet();
    if (m_following || m_moving || !current.isValid() || !ds || !ds->isOpen()
        || m_model->isChanging() || current.row() == ds->currentRow()) {
        if (!m_moving)
            selectCurrent();
        return;
    }
    // The user chose another row: the dataset leaves its row first (posting or cancelling
    // it, which may move a posted new row behind the others), then goes to the chosen row.
    const QPersistentModelIndex target(current);
    {
        const QScopedValueRollback moving(m_moving, true);
        runCommand(this, [ds, &target] {
            ds->checkBrowseMode();
            if (target.isValid())
                ds->moveTo(target.row());
        });
    }
    // Wherever the dataset ended up, the grid shows it.
    followDataSet();
}

bool DBGrid::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    // Only the dataset's current row is edited; another row has to be reached first.
    const QueryDataSet *ds = dataSet();
    if (index.isValid() && ds && ds->isOpen() && index.row() != ds->currentRow())
        return false;
    const bool wasEditing = state() == EditingState;
    if (!QTableView::edit(index, trigger, event))
        return false;
    if (!wasEditing && state() == EditingState && ds && ds->isOpen()) {
        m_rowEditedBeforeCell = isEditing(ds);
        m_rowBeforeCell.clear();
        for (int i = 0; i < ds->fieldCount(); ++i)
            m_rowBeforeCell << ds->value(ds->currentRow(), i);
    }
    return true;
}

void DBGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    // The view would revert the whole model (the row) on Esc; only the cell goes back.
    if (hint != QAbstractItemDelegate::RevertModelCache) {
        QTableView::closeEditor(editor, hint);
        return;
    }
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    undoCell();
}

void DBGrid::undoCell()
{
    QueryDataSet *ds = dataSet();
    if (!isEditing(ds))
        return;
    // A row without changes before this cell is simply left as it was.
    if (!m_rowEditedBeforeCell) {
        runCommand(this, [ds] { ds->cancel(); });
        return;
    }
    // An editor that writes at once (a list) may have changed fields; they take back their
    // values, the row's earlier changes stay.
    runCommand(this, [this, ds] {
        for (int i = 0; i < ds->fieldCount() && i < m_rowBeforeCell.size(); ++i) {
            if (ds->field(i).isLookup())
                continue;
            if (ds->value(ds->currentRow(), i) != m_rowBeforeCell.at(i))
                ds->setCurrentValue(i, m_rowBeforeCell.at(i));
        }
    });
}

QItemSelectionModel::SelectionFlags DBGrid::selectionCommand(const QModelIndex &index,
                                                             const QEvent *event) const
{
    if (m_rangeSelect)
        return QTableView::selectionCommand(index, event);
    // The selection is always the current cell (or row); selectCurrent() keeps it so.
    return QItemSelectionModel::NoUpdate;
}

void DBGrid::followDataSet()
{
    if (m_moving || !m_model)
        return;
    const QueryDataSet *ds = dataSet();
    const int row = ds && ds->isOpen() ? ds->currentRow() : -1;
    const QScopedValueRollback following(m_following, true);
    if (row < 0 || row >= m_model->rowCount() || m_model->columnCount() == 0) {
        if (currentIndex().isValid()) {
            closeOpenEditor();
            selectionModel()->clearCurrentIndex();
        }
        selectCurrent();
        return;
    }
    const QModelIndex wanted = m_model->index(row, qBound(0, m_column, m_model->columnCount() - 1));
    if (currentIndex() != wanted) {
        // An in-place edit belongs to the row the dataset has left.
        if (currentIndex().row() != row)
            closeOpenEditor();
        setCurrentIndex(wanted);
    }
    selectCurrent();
}

void DBGrid::commitEdit()
{
    if (state() != EditingState)
        return;
    if (QWidget *editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void DBGrid::closeOpenEditor()
{
    if (state() != EditingState)
        return;
    if (QWidget *editor = indexWidget(currentIndex()))
        closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void DBGrid::selectCurrent()
{
    QItemSelectionModel *selection = selectionModel();
    // Chosen ranges follow the keys and the mouse as a table's do.
    if (!selection || !m_model || m_rangeSelect)
        return;
    const QModelIndex current = currentIndex();
    if (!current.isValid()) {
        if (selection->hasSelection())
            selection->clearSelection();
        return;
    }
    const QItemSelection wanted = m_rowSelect
        ? QItemSelection(m_model->index(current.row(), 0),
                         m_model->index(current.row(), m_model->columnCount() - 1))
        : QItemSelection(current, current);
    if (selection->selection() != wanted)
        selection->select(wanted, QItemSelectionModel::ClearAndSelect);
}

void DBGrid::syncSortIndicator()
{
    QHeaderView *titles = horizontalHeader();
    int section = -1;
    Qt::SortOrder order = Qt::AscendingOrder;
    for (int c = 0; m_model && c < m_model->columnCount(); ++c) {
        const DataSetModel::SortMark mark = m_model->sortMark(c);
        if (mark != DataSetModel::SortMark::None) {
            section = c;
            // Qt draws an ascending indicator as the arrow pointing down.
            order = mark == DataSetModel::SortMark::Down ? Qt::AscendingOrder : Qt::DescendingOrder;
            break;
        }
    }
    titles->setSortIndicatorShown(section >= 0);
    titles->setSortIndicator(section, order);
}

void DBGrid::titleClicked(int section)
{
    commitEdit();
    if (m_titleClick) {
        const TitleClick handler = m_titleClick;
        runCommand(this, [&handler, section] { handler(section); });
    }
    // The header flips its own indicator on a click; only the marks decide what it shows.
    syncSortIndicator();
}

void DBGrid::rowIndicatorPressed(int section)
{
    if (!m_model || m_model->columnCount() == 0)
        return;
    m_column = m_indicatorColumn;
    setCurrentIndex(m_model->index(section, qBound(0, m_column, m_model->columnCount() - 1)));
}

void DBGrid::sectionResized(int section, int, int newSize)
{
    if (m_layingOut || !m_model || section < 0 || section >= int(m_widths.size()))
        return;
    const qreal scale = widthScale();
    if (!m_model->column(section).stretch) {
        m_widths[size_t(section)] = qRound(newSize / scale);
        m_userSized[size_t(section)] = true;
        layoutColumns();
        return;
    }
    // A stretching column dragged by the user: the stretching columns keep the proportions
    // they now show.
    for (int c = 0; c < int(m_widths.size()); ++c) {
        if (m_model->column(c).stretch)
            m_widths[size_t(c)] = qRound(columnWidth(c) / scale);
    }
}

void DBGrid::focusField(const QString &fieldName)
{
    if (!m_model)
        return;
    const int column = m_model->columnOfField(fieldName);
    if (column < 0)
        return;
    m_column = column;
    if (!m_moving)
        followDataSet();
    if (isVisible() && window()->isActiveWindow())
        setFocus();
}
