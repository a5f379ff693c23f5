#pragma once

#include "lending/Debtors.h"
#include "store/QueryDataSet.h"
#include "widgets/FormStorage.h"

#include <QDialog>
#include <memory>

class DBGrid;
class Catalogue;
class QAction;
class QToolBar;
class SettingsStore;
class SortableTitles;

// The debtors window: the list of Debtors in a grid, its four filters as toggles, sorted on the
// server by a title click. It only reads. OK means a row was chosen: the caller reads the folder
// and disk of dtGive's current row before destroying it.
class TfGive : public QDialog
{
    Q_OBJECT

    // Declared first: dtGive below is its list.
    Debtors m_debtors;

public:
    TfGive(Catalogue &data, SettingsStore *store, QWidget *parent = nullptr);
    ~TfGive() override;

    // The toggles: "Не мои", "Мои", "Невозвращенные", "Просроченные".
    using Toggle = Debtors::Filter;

    // Commands, callable from tests as the toolbar calls them. One handler serves the four
    // toggles; it knows which one from the command that ran it.
    void aOwnExecute(QAction *toggle);
    // The print preview of the list as shown.
    void aPrintExecute();
    void aExitExecute();

    bool isOn(Toggle toggle) const { return m_debtors.isOn(toggle); }

    QAction *aPrint = nullptr;
    QAction *aOwn = nullptr;
    QAction *aAlien = nullptr;
    QAction *aGiven = nullptr;
    QAction *aEval = nullptr;
    QAction *aExit = nullptr;

    QueryDataSet &dtGive;
    DBGrid *DBGridEh1 = nullptr;
    QToolBar *toolBar() const { return m_toolBar; }
    SortableTitles &titles() { return *m_titles; }
    FormStorage &formStorage() { return fsGive; }

private:
    void createActions();
    void createGrid();
    void chooseRow();

    QToolBar *m_toolBar = nullptr;
    std::unique_ptr<SortableTitles> m_titles;
    FormStorage fsGive;
};
