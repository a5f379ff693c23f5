#pragma once

#include "widgets/SortMark.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QList>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

class Field;
class QueryDataSet;
class QWidget;

// A table model over a dataset's fetched rows and a list of columns. The dataset tells each
// change before and after it happens, and the model brackets it the same way. Its own row
// count lags while the dataset's controls are frozen, until they are released with a reset.
class DataSetModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using SortMark = ::SortMark;

    struct Column
    {
        QString fieldName;
        QString title;
        int width = 64;
        // Stretching columns share the width the fixed ones leave, in proportion to width.
        bool stretch = false;
        // No alignment: numbers to the right, everything else to the left.
        Qt::Alignment alignment = {};
        // Display text of a value; without one, the field's usual text.
        std::function<QString(const QVariant &)> format = {};
        bool readOnly = false;
    };

    // The colour of a cell's text, or none for the normal colour. The row is the dataset's.
    using CellColor = std::function<std::optional<QColor>(int row, int column)>;

    DataSetModel(QueryDataSet *dataSet, const QList<Column> &columns, QObject *parent = nullptr);

    QueryDataSet *dataSet() const;
    const QList<Column> &columns() const { return m_columns; }
    const Column &column(int column) const { return m_columns[column]; }
    // The column showing a field (first match, letter case ignored), or -1.
    int columnOfField(const QString &fieldName) const;
    // The field a column shows, or nullptr when the dataset has no such field.
    Field *field(int column) const;

    QString columnTitle(int column) const;
    void setColumnTitle(int column, const QString &title);

    SortMark sortMark(int column) const;
    void setSortMark(int column, SortMark mark);
    void clearSortMarks();

    void setCellColor(const CellColor &cellColor);
    // The tooltip every cell shows (the grid's hint); empty for none.
    QString toolTipText() const { return m_toolTipText; }
    void setToolTipText(const QString &text);
    // Where the error box of a failed write or fetch is shown.
    void setErrorParent(QWidget *parent);

    // True while the model reports a change the dataset made (views then follow, not lead).
    bool isChanging() const { return m_changing; }

    // The text a cell shows.
    QString displayText(int row, int column) const;
    // The texts a lookup column offers: every result of its lookup dataset.
    QStringList lookupTexts(int column) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    // Posting happens when the dataset leaves the row; dropping an edit cancels the row.
    bool submit() override { return true; }
    void revert() override;

Q_SIGNALS:
    void sortMarksChanged();

private:
    QVariant fieldValue(int row, int column) const;
    void resolveFields();
    void watchLookups();
    void resetRows();
    bool inStep() const;
    void beginInsert(int first, int last);
    void endInsert(int first, int last);
    void beginRemove(int row);
    void endRemove();
    void beginMove(int from, int to);
    void endMove();
    void endChange();
    void onRowChanged(int row);
    void onLookupChanged();
    void updateMarker();

    QPointer<QueryDataSet> m_dataSet;
    QList<Column> m_columns;
    std::vector<int> m_fieldIndex;
    std::vector<SortMark> m_sortMarks;
    std::vector<QPointer<QueryDataSet>> m_lookups;
    CellColor m_cellColor;
    QString m_toolTipText;
    QPointer<QWidget> m_errorParent;
    int m_rows = 0;
    bool m_changing = false;
    // A begin...Rows() is open; without one the change's end resets the model instead.
    bool m_bracketed = false;
    QPersistentModelIndex m_marker;
};
