#pragma once

#include "reports/DataSetRowSource.h"
#include "reports/LabelTemplates.h"
#include "reportui/Report.h"
#include "widgets/FormStorage.h"

#include <QDialog>
#include <memory>

class DBGrid;
class Catalogue;
class QAction;
class QMenu;
class QToolBar;

// The label templates ("Редактор наклеек"): the stored templates listed by name, each shown
// over the disks of the main window's current folder or opened in the designer. The report
// object keeps what was last loaded while the window is open, so a template with nothing
// stored yet starts from the one shown or edited before it.
class TfFreeRep : public QDialog
{
    Q_OBJECT

public:
    // With a store the window comes back at the size and place it was left.
    TfFreeRep(Catalogue &data, QWidget *parent = nullptr, SettingsStore *store = nullptr);
    ~TfFreeRep() override;

    // Commands, callable from tests as the toolbar and the menu call them.
    void aShowExecute();
    void aEditExecute();
    void aNewExecute();
    void aDelExecute();
    void aExitExecute();

    QAction *aShow = nullptr;
    QAction *aNew = nullptr;
    QAction *aEdit = nullptr;
    QAction *aDel = nullptr;
    QAction *aExit = nullptr;

    LabelTemplates templates;
    TableDataSet &dtReport;
    DataSetRowSource frDisks;
    Report frReport1;
    DBGrid *DBGridEh1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QToolBar *toolBar() const { return m_toolBar; }

private:
    std::unique_ptr<FormStorage> m_placement;
    void FormCreate();
    void dtReportAfterInsert(QueryDataSet &ds);
    void DBGridEh1DblClick();
    void createActions();
    void createGrid();
    // Loads the current row's stored template into the report; an empty one leaves the report
    // as it is. False when the stored template could not be read, which the user is told.
    bool loadCurrent();

    Catalogue &m_data;
    QToolBar *m_toolBar = nullptr;
};
