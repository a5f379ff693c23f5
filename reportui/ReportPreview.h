#pragma once

#include "reportengine/BuiltReport.h"

#include <QDialog>

class QAction;
class QLabel;
class QPrintPreviewWidget;
class QPrinter;
class QSpinBox;
class QToolBar;

// The preview of a built report, modal: zoom to the whole page, the page width or 100%, open
// and save a built report, print through the system's print dialog, find text, help and
// close. The page buttons (first, previous, the page number of the count, next, last) and
// Home, Page Up, Page Down and End turn the pages.
class ReportPreview : public QDialog
{
    Q_OBJECT

public:
    ReportPreview(BuiltReport report, QWidget *parent = nullptr);
    ~ReportPreview() override;

    // "Предварительный просмотр", then " - " and the title when there is one.
    static QString captionFor(const QString &title);

    const BuiltReport &report() const { return m_report; }
    int currentPage() const; // from 1
    void setCurrentPage(int page);
    QPrintPreviewWidget *view() const { return m_view; }

    // Commands, callable from tests as the toolbar calls them.
    void aWholePageExecute();
    void aPageWidthExecute();
    void aActualSizeExecute();
    void aOpenExecute();
    void aSaveExecute();
    void aPrintExecute();
    // Asks for a text and marks the first box holding it from the current page on: the box is
    // shown highlighted and its page turned to. "Найти далее" (F3) goes on to the next one.
    void aFindExecute();
    void aFindNextExecute();
    // The box the last find marked: its page (from 1, 0 when none) and its index into the
    // page's objects.
    int foundPage() const { return m_foundPage; }
    int foundObject() const { return m_foundObject; }
    void aHelpExecute();

    QAction *aWholePage = nullptr;
    QAction *aPageWidth = nullptr;
    QAction *aActualSize = nullptr;
    QAction *aOpen = nullptr;
    QAction *aSave = nullptr;
    QAction *aPrint = nullptr;
    QAction *aFind = nullptr;
    QAction *aHelp = nullptr;
    QAction *aClose = nullptr;
    QAction *aFindNext = nullptr;
    QAction *aFirstPage = nullptr;
    QAction *aPriorPage = nullptr;
    QAction *aNextPage = nullptr;
    QAction *aLastPage = nullptr;
    QToolBar *toolBar() const { return m_toolBar; }
    // The row of page buttons under the pages, and its page number: typing one turns to it.
    QToolBar *pageBar() const { return m_pageBar; }
    QSpinBox *pageBox() const { return m_pageBox; }

private:
    void createActions();
    void paintRequested(QPrinter *printer);
    void reportChanged();
    void updatePageLabel();
    // Marks the next box holding the text: from the start of the current page when restart,
    // else after the box marked last. False when no box holds it.
    bool findNext(const QString &text, bool restart);
    void mark(int page, int object);

    BuiltReport m_report;
    BuiltReport m_shown; // the report with the box found highlighted
    QString m_lastFind;
    int m_foundPage = 0;
    int m_foundObject = -1;
    QSpinBox *m_pageBox = nullptr;
    QLabel *m_pageCount = nullptr;
    QToolBar *m_toolBar = nullptr;
    QPrintPreviewWidget *m_view = nullptr;
    QToolBar *m_pageBar = nullptr;
};
