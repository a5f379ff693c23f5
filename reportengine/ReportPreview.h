#pragma once

#include "reportengine/BuiltReport.h"

#include <QDialog>

class QAction;
class QLabel;
class QPrintPreviewWidget;
class QPrinter;
class QToolBar;

// The preview of a built report, modal: zoom to the whole page, the page width or 100%, open
// and save a built report, print through the system's print dialog, find text, help and
// close; Page Up, Page Down, Home and End turn the pages.
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
    // Asks for a text and shows the next page from the current one on that holds it.
    void aFindExecute();
    // The next page holding the text, from the page after the current one round to it; 0 when
    // none does.
    int findPage(const QString &text) const;
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
    QToolBar *toolBar() const { return m_toolBar; }

private:
    void createActions();
    void paintRequested(QPrinter *printer);
    void reportChanged();
    void updatePageLabel();

    BuiltReport m_report;
    QString m_lastFind;
    QToolBar *m_toolBar = nullptr;
    QPrintPreviewWidget *m_view = nullptr;
    QLabel *m_pageLabel = nullptr;
};
