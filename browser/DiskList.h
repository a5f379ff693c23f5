#pragma once

#include <QObject>
#include <QPoint>
#include <functional>
#include <memory>

class DBGrid;
class QDrag;
class QEvent;
class QModelIndex;
class QueryDataSet;
class QWidget;
class SortableTitles;

// The main window's disk list over dtDisk: its columns, formats and colours, sorting by a
// title click on the server, the comment hint of the name column, and dragging a disk by its
// name onto a folder.
class DiskList : public QObject
{
    Q_OBJECT

public:
    // errorParent shows the errors of writes and fetches made through the grid.
    DiskList(DBGrid *grid, QueryDataSet &dtDisk, QWidget *errorParent);
    ~DiskList() override;

    SortableTitles &titles() { return *m_titles; }
    // The disk being dragged (0 when none); the folder tree's drop reads it.
    int draggedDisk() const { return m_draggedDisk; }
    // Runs a drag the list started; tests replace it to avoid the nested drag loop.
    std::function<void(QDrag *)> runDrag;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setColumns(QWidget *errorParent);
    void clicked(const QModelIndex &index);
    bool mouse(QEvent *event);

    DBGrid *m_grid;
    QueryDataSet &dtDisk;
    std::unique_ptr<SortableTitles> m_titles;
    QPoint m_pressPos;
    int m_draggedDisk = 0;
};
