#pragma once

#include "search/CatalogueSearch.h"
#include "store/QueryDataSet.h"
#include "widgets/FormStorage.h"

#include <QDialog>
#include <functional>
#include <memory>

class DBGrid;
class Catalogue;
class QLineEdit;
class QPushButton;
class QThread;

// The search window: disks by a text in their name and files by a text in theirs, across the
// whole catalogue. Enter searches when an input has changed since the last search; otherwise
// it asks the catalogue to go to the disk of the current result and closes the window.
// The server looks for rows on a worker thread: the window stays live, and Esc stops a search
// that runs, keeping what it has found.
class TfFind : public QDialog
{
    Q_OBJECT

    // Declared first: the results below are its rows.
    Catalogue &m_data;
    CatalogueSearch m_search;

public:
    // With a store the window comes back at the size and place it was left.
    TfFind(Catalogue &data, QWidget *parent = nullptr, SettingsStore *store = nullptr);
    ~TfFind() override;

    // Commands, callable from tests as the buttons call them.
    // "Найти..": searches, or goes to the disk of the current result.
    void BitBtn1Click();
    // "Печать..": the print preview of the results.
    void BitBtn3Click();

    // Whether the window waits for rows of the server (the search runs).
    bool isSearching() const { return m_searching; }
    // Ends a running search: the rows found so far stay.
    void stopSearch();
    // Whether either input changed since the last search.
    bool inputsChanged() const { return m_inputsChanged; }
    // Whether the last search was answered by the local index rather than the server's scan.
    bool wasIndexed() const { return m_indexed; }

    // The results of the last search.
    QueryDataSet &dtFind;
    QLineEdit *eDisk = nullptr;
    QLineEdit *eFile = nullptr;
    QPushButton *BitBtn3 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *bClose = nullptr;
    DBGrid *DBGridEh1 = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // The window's size and place, when a store was given.
    std::unique_ptr<FormStorage> m_placement;
    QWidget *createTopPanel(qreal scale);
    void createGrid();
    void search();
    void jump();
    void waitForRows(QThread &worker, const std::function<void()> &stop);

    std::function<void()> m_stop;
    bool m_inputsChanged = false;
    bool m_indexed = false;
    bool m_searching = false;
    bool m_stopping = false;
    bool m_closeAfterSearch = false;
    bool m_placed = false;
};
