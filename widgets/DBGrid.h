#pragma once

#include "widgets/DataSetModel.h"

#include <QList>
#include <QPointer>
#include <QTableView>
#include <functional>
#include <vector>

class QueryDataSet;

// The grid over a dataset (DBGridEh). Its current row and the dataset's current row move
// together: choosing a row moves the dataset, which first posts or cancels the row it
// leaves; a refused post shows the error box and the grid stays on the dataset's row.
// Cells are edited in place; Esc in a cell gives back that cell, Esc on the row cancels the
// row's unposted changes; Down on the last row starts a new row.
// Every dataset call a user action makes runs as a command, so no error escapes.
class DBGrid : public QTableView
{
    Q_OBJECT

public:
    using TitleClick = std::function<void(int column)>;

    explicit DBGrid(QWidget *parent = nullptr);

    // Shows a dataset through a model the grid owns.
    DataSetModel *setDataSet(QueryDataSet *dataSet, const QList<DataSetModel::Column> &columns);
    // Shows a model made elsewhere; its owner keeps it.
    void setDataSetModel(DataSetModel *model);
    DataSetModel *dataSetModel() const { return m_model; }
    QueryDataSet *dataSet() const;

    // Called with the column whose title was clicked; without one a click does nothing.
    void setTitleClickHandler(const TitleClick &handler) { m_titleClick = handler; }

    // The tooltip shown wherever the mouse rests over the cells. A click on a cell and
    // closing the dataset clear it; the owner sets it again after the click (clicked()).
    QString hintText() const { return m_hintText; }
    void setHintText(const QString &text);

    // Down on the last row of a browsing dataset starts a new row (on by default).
    bool appendOnDown() const { return m_appendOnDown; }
    void setAppendOnDown(bool on) { m_appendOnDown = on; }

    // Insert starts a new row and Ctrl+Delete deletes the current one after asking (off by
    // default: the main window's list has commands of its own on these keys).
    bool rowKeys() const { return m_rowKeys; }
    void setRowKeys(bool on) { m_rowKeys = on; }
    // The question Ctrl+Delete asks first ("Delete record?", "Confirm" by default).
    void setDeleteQuestion(const QString &text, const QString &caption)
    {
        m_deleteQuestion = text;
        m_deleteCaption = caption;
    }

    // The whole current row is highlighted instead of the current cell.
    bool rowSelect() const { return m_rowSelect; }
    void setRowSelect(bool on);

    // Cells are chosen in ranges (Shift or Ctrl with the keys or the mouse, Ctrl+A all rows,
    // fetched first) and Ctrl+C copies the chosen cells (off by default: the current cell).
    bool rangeSelect() const { return m_rangeSelect; }
    void setRangeSelect(bool on);
    // The chosen cells as text: a line per row in the grid's order, the cells of the chosen
    // columns in their order on screen separated by tabs (a cell not chosen is empty).
    QString selectedText() const;
    // Chooses every cell of every row.
    void selectAllRows();

    // Text typed into a cell goes into its row and the cell editor closes; commands that move,
    // re-read or leave the row call this first.
    void commitEdit();

    // The field shown by the current column, empty without one.
    QString currentFieldName() const;
    // Ctrl+C and Ctrl+Insert: the current cell's text to the clipboard.
    void copyCurrentCell();
    // Widths from the column list; stretching columns share what the fixed ones leave.
    void layoutColumns();
    // The column list's widths are pixels for the font they were designed with (digits
    // 6 pixels wide); by default they grow with the digits of the grid's font, so that the
    // numbers and dates they were sized for still fit. 1 keeps them as they are.
    qreal widthScale() const;
    void setWidthScale(qreal scale);

Q_SIGNALS:
    // The Enter key was released on the grid (not ending an in-place edit).
    void activatedByKey();
    // A double click anywhere on the cells, also on an empty grid.
    void activatedByDoubleClick();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event) const override;

private:
    void followDataSet();
    void closeOpenEditor();
    // Esc in a cell editor: the row as it was when the editor opened.
    void undoCell();
    void selectCurrent();
    void syncSortIndicator();
    void titleClicked(int section);
    void rowIndicatorPressed(int section);
    void sectionResized(int section, int oldSize, int newSize);
    void focusField(const QString &fieldName);
    bool isCopyKey(const QKeyEvent *event) const;
    bool isSelectAllKey(const QKeyEvent *event) const;
    bool isRowKey(const QKeyEvent *event) const;
    bool downPastLastRow() const;

    QPointer<DataSetModel> m_model;
    QList<QMetaObject::Connection> m_connections;
    TitleClick m_titleClick;
    QString m_hintText;
    QString m_deleteQuestion = QStringLiteral("Delete record?");
    QString m_deleteCaption = QStringLiteral("Confirm");
    std::vector<int> m_widths;
    std::vector<bool> m_userSized; // fixed columns the user has given a width
    // The row as the cell editor found it: whether it had unposted changes, and its values.
    bool m_rowEditedBeforeCell = false;
    QVariantList m_rowBeforeCell;
    qreal m_widthScale = 0; // 0: from the font
    int m_column = 0;
    int m_indicatorColumn = 0;
    bool m_appendOnDown = true;
    bool m_rowSelect = false;
    bool m_rangeSelect = false;
    bool m_rowKeys = false;
    bool m_moving = false;
    bool m_following = false;
    bool m_layingOut = false;
    bool m_enterPressed = false;
};
