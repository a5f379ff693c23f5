#pragma once

#include "store/QueryDataSet.h"
#include "widgets/FormStorage.h"

#include <QDialog>
#include <array>
#include <memory>

class DBGrid;
class Catalogue;
class QAction;
class QToolBar;
class SettingsStore;
class SortableTitles;

// The debtors list: every lending with its disk, folder, type, owner and borrower, narrowed by
// four toggles and sorted on the server by a title click. It only reads. OK means a row was
// chosen: the caller reads the folder and disk of dtGive's current row before destroying it.
class TfGive : public QDialog
{
    Q_OBJECT

public:
    TfGive(Catalogue &data, SettingsStore *store, QWidget *parent = nullptr);
    ~TfGive() override;

    // The toggles in the order their conditions are joined.
    enum Toggle { Own, Alien, Given, Eval };

    // Commands, callable from tests as the toolbar calls them. One handler serves the four
    // toggles; it knows which one from the command that ran it.
    void aOwnExecute(QAction *toggle);
    // The print preview of the list as shown.
    void aPrintExecute();
    void aExitExecute();

    bool isOn(Toggle toggle) const { return m_on[size_t(toggle)]; }

    // The WHERE clause of the toggles that are on, empty when none is.
    static QString filterText(const std::array<bool, 4> &on);
    // Replaces the line before every line that is exactly "order by".
    static QStringList withFilter(const QStringList &lines, const QString &filter);
    // The statement as the window opens it: one select item or join per line, then the
    // filter slot, "order by" and the sort slot.
    static QStringList initialSelect();

    QAction *aPrint = nullptr;
    QAction *aOwn = nullptr;
    QAction *aAlien = nullptr;
    QAction *aGiven = nullptr;
    QAction *aEval = nullptr;
    QAction *aExit = nullptr;

    QueryDataSet dtGive;
    DBGrid *DBGridEh1 = nullptr;
    QToolBar *toolBar() const { return m_toolBar; }
    SortableTitles &titles() { return *m_titles; }
    FormStorage &formStorage() { return fsGive; }

private:
    void createActions();
    void createGrid();
    void chooseRow();

    QToolBar *m_toolBar = nullptr;
    std::array<bool, 4> m_on {};
    std::unique_ptr<SortableTitles> m_titles;
    FormStorage fsGive;
};
