#include "reportui/ReportPreview.h"

#include "reportengine/ReportExporter.h"
#include "widgets/FilePicker.h"
#include "widgets/Prompt.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

ReportPreview::ReportPreview(BuiltReport report, QWidget *parent)
    : QDialog(parent), m_report(std::move(report)), m_shown(m_report)
{
    setWindowTitle(captionFor(m_report.title));
    setModal(true);
    resize(900, 700);

    m_toolBar = new QToolBar(this);
    m_view = new QPrintPreviewWidget(this);
    m_view->setZoomMode(QPrintPreviewWidget::FitToWidth);
    connect(m_view, &QPrintPreviewWidget::paintRequested, this, &ReportPreview::paintRequested);
    connect(m_view, &QPrintPreviewWidget::previewChanged, this, &ReportPreview::updatePageLabel);
    // The page row under the pages: first, previous, the page number of the count, next, last.
    m_pageBar = new QToolBar(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_toolBar);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_pageBar);
    createActions();
    m_view->setFocus();
}

ReportPreview::~ReportPreview() = default;

QString ReportPreview::captionFor(const QString &title)
{
    QString caption = QStringLiteral("Предварительный просмотр");
    if (!title.isEmpty())
        caption += QStringLiteral(" - ") + title;
    return caption;
}

void ReportPreview::createActions()
{
    auto make = [this](const QString &text, const QKeySequence &key = {}) {
        auto *a = new QAction(text, this);
        a->setShortcut(key);
        // The keys work wherever the focus is inside the preview.
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(a);
        return a;
    };
    aWholePage = make(QStringLiteral("Страница целиком"));
    aPageWidth = make(QStringLiteral("По ширине страницы"));
    aActualSize = make(QStringLiteral("100%"));
    aOpen = make(QStringLiteral("Открыть"), QKeySequence::Open);
    aSave = make(QStringLiteral("Сохранить"), QKeySequence::Save);
    aPrint = make(QStringLiteral("Печать"), QKeySequence::Print);
    aFind = make(QStringLiteral("Найти"), QKeySequence::Find);
    aHelp = make(QStringLiteral("Справка"), QKeySequence(Qt::Key_F1));
    aClose = make(QStringLiteral("Закрыть"));
    connect(aWholePage, &QAction::triggered, this, &ReportPreview::aWholePageExecute);
    connect(aPageWidth, &QAction::triggered, this, &ReportPreview::aPageWidthExecute);
    connect(aActualSize, &QAction::triggered, this, &ReportPreview::aActualSizeExecute);
    connect(aOpen, &QAction::triggered, this, &ReportPreview::aOpenExecute);
    connect(aSave, &QAction::triggered, this, &ReportPreview::aSaveExecute);
    connect(aPrint, &QAction::triggered, this, &ReportPreview::aPrintExecute);
    connect(aFind, &QAction::triggered, this, &ReportPreview::aFindExecute);
    connect(aHelp, &QAction::triggered, this, &ReportPreview::aHelpExecute);
    connect(aClose, &QAction::triggered, this, &QDialog::reject);
    for (QAction *a : {aWholePage, aPageWidth, aActualSize})
        m_toolBar->addAction(a);
    m_toolBar->addSeparator();
    for (QAction *a : {aOpen, aSave, aPrint})
        m_toolBar->addAction(a);
    m_toolBar->addSeparator();
    for (QAction *a : {aFind, aHelp})
        m_toolBar->addAction(a);
    m_toolBar->addSeparator();
    m_toolBar->addAction(aClose);

    aFirstPage = make(QStringLiteral("Первая страница"), QKeySequence(Qt::Key_Home));
    aPriorPage = make(QStringLiteral("Предыдущая страница"), QKeySequence(Qt::Key_PageUp));
    aNextPage = make(QStringLiteral("Следующая страница"), QKeySequence(Qt::Key_PageDown));
    aLastPage = make(QStringLiteral("Последняя страница"), QKeySequence(Qt::Key_End));
    aFindNext = make(QStringLiteral("Найти далее"), QKeySequence::FindNext);
    connect(aFindNext, &QAction::triggered, this, &ReportPreview::aFindNextExecute);
    connect(aFirstPage, &QAction::triggered, this, [this] { setCurrentPage(1); });
    connect(aPriorPage, &QAction::triggered, this, [this] { setCurrentPage(currentPage() - 1); });
    connect(aNextPage, &QAction::triggered, this, [this] { setCurrentPage(currentPage() + 1); });
    connect(aLastPage, &QAction::triggered, this, [this] { setCurrentPage(m_report.pageCount()); });
    aFirstPage->setIcon(style()->standardIcon(QStyle::SP_MediaSkipBackward));
    aPriorPage->setIcon(style()->standardIcon(QStyle::SP_ArrowLeft));
    aNextPage->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    aLastPage->setIcon(style()->standardIcon(QStyle::SP_MediaSkipForward));
    m_pageBox = new QSpinBox(m_pageBar);
    m_pageBox->setObjectName(QStringLiteral("pageBox"));
    m_pageBox->setAccessibleName(QStringLiteral("Страница"));
    m_pageBox->setKeyboardTracking(false);
    m_pageCount = new QLabel(m_pageBar);
    connect(m_pageBox, &QSpinBox::valueChanged, this, [this](int page) {
        if (page != currentPage())
            setCurrentPage(page);
    });
    m_pageBar->addAction(aFirstPage);
    m_pageBar->addAction(aPriorPage);
    m_pageBar->addWidget(new QLabel(QStringLiteral(" Страница "), m_pageBar));
    m_pageBar->addWidget(m_pageBox);
    m_pageBar->addWidget(m_pageCount);
    m_pageBar->addAction(aNextPage);
    m_pageBar->addAction(aLastPage);
    m_toolBar->insertAction(aHelp, aFindNext);
    updatePageLabel();
}

void ReportPreview::paintRequested(QPrinter *printer)
{
    printer->setFullPage(true);
    m_shown.paint(*printer);
}

int ReportPreview::currentPage() const
{
    return m_view->currentPage();
}

void ReportPreview::setCurrentPage(int page)
{
    m_view->setCurrentPage(std::clamp(page, 1, std::max(1, m_report.pageCount())));
    updatePageLabel();
}

void ReportPreview::updatePageLabel()
{
    const int page = m_view->currentPage();
    const int count = m_report.pageCount();
    if (!m_pageBox)
        return;
    const QSignalBlocker quiet(m_pageBox);
    m_pageBox->setRange(std::min(1, count), count);
    m_pageBox->setValue(page);
    m_pageCount->setText(QStringLiteral(" из %1 ").arg(count));
    aFirstPage->setEnabled(page > 1);
    aPriorPage->setEnabled(page > 1);
    aNextPage->setEnabled(page < count);
    aLastPage->setEnabled(page < count);
}

void ReportPreview::aWholePageExecute()
{
    m_view->setZoomMode(QPrintPreviewWidget::FitInView);
}

void ReportPreview::aPageWidthExecute()
{
    m_view->setZoomMode(QPrintPreviewWidget::FitToWidth);
}

void ReportPreview::aActualSizeExecute()
{
    m_view->setZoomMode(QPrintPreviewWidget::CustomZoom);
    m_view->setZoomFactor(1.0);
}

void ReportPreview::reportChanged()
{
    setWindowTitle(captionFor(m_report.title));
    m_shown = m_report;
    m_foundPage = 0;
    m_foundObject = -1;
    m_view->updatePreview();
    setCurrentPage(1);
}

void ReportPreview::aOpenExecute()
{
    FilePickRequest request;
    request.title = QStringLiteral("Открыть отчёт");
    request.filter = ReportExporter::openFilter();
    request.defaultExtension = QStringLiteral("*.kdr");
    request.mode = FilePickRequest::Mode::ExistingFile;
    const QString fileName = FilePicker::instance().pick(this, request);
    if (fileName.isEmpty())
        return;
    BuiltReport read;
    QString error;
    if (read.loadFile(fileName, &error)) {
        m_report = std::move(read);
        reportChanged();
        return;
    }
    Prompt::instance().message(this, error, QStringLiteral("Ошибка"), QMessageBox::Warning,
                               QMessageBox::Ok);
}

void ReportPreview::aSaveExecute()
{
    FilePickRequest request;
    request.title = QStringLiteral("Сохранить отчёт");
    request.filter = ReportExporter::saveFilter();
    request.defaultExtension = QStringLiteral("*.kdr");
    const QString fileName = FilePicker::saveFileName(this, request);
    if (fileName.isEmpty())
        return;
    QString error;
    if (!ReportExporter::exportFile(m_report, fileName, &error))
        Prompt::instance().message(this, error, QStringLiteral("Ошибка"), QMessageBox::Warning,
                                   QMessageBox::Ok);
}

void ReportPreview::aPrintExecute()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(m_report.title);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    printer.setFullPage(true);
    if (!m_report.paint(printer))
        Prompt::instance().message(this, QStringLiteral("Не удалось напечатать отчёт"),
                                   QStringLiteral("Ошибка"), QMessageBox::Warning, QMessageBox::Ok);
}

void ReportPreview::mark(int page, int object)
{
    m_foundPage = page;
    m_foundObject = object;
    m_shown = m_report;
    if (page > 0)
        m_shown.pages[size_t(page - 1)].objects[size_t(object)].fill = QColor(255, 255, 0);
    m_view->updatePreview();
    setCurrentPage(page > 0 ? page : currentPage());
}

bool ReportPreview::findNext(const QString &text, bool restart)
{
    const int count = m_report.pageCount();
    if (text.isEmpty() || count == 0)
        return false;
    // Where to look from: the box after the one marked, on the page shown.
    int page = currentPage() - 1;
    int from = 0;
    if (!restart && m_foundPage == currentPage()) {
        const std::vector<int> order = m_report.readingOrder(page);
        const auto at = std::find(order.begin(), order.end(), m_foundObject);
        from = int(at - order.begin()) + 1;
    }
    // Every page once, and the start page again for the boxes before the start.
    for (int step = 0; step <= count; ++step) {
        const int p = (page + step) % count;
        const std::vector<int> order = m_report.readingOrder(p);
        const QStringList texts = m_report.pageTexts(p);
        for (int k = step == 0 ? from : 0; k < int(order.size()); ++k) {
            if (texts.at(k).contains(text, Qt::CaseInsensitive)) {
                mark(p + 1, order[size_t(k)]);
                return true;
            }
        }
    }
    return false;
}

void ReportPreview::aFindExecute()
{
    QString text = m_lastFind;
    if (!Prompt::instance().input(this, QStringLiteral("Найти"), QStringLiteral("Текст:"), text))
        return;
    m_lastFind = text;
    if (!findNext(text, true)) {
        mark(0, -1);
        Prompt::instance().message(this, QStringLiteral("Текст \"%1\" не найден").arg(text),
                                   QStringLiteral("Найти"), QMessageBox::Information,
                                   QMessageBox::Ok);
    }
}

void ReportPreview::aFindNextExecute()
{
    if (m_lastFind.isEmpty()) {
        aFindExecute();
        return;
    }
    if (!findNext(m_lastFind, false))
        Prompt::instance().message(this, QStringLiteral("Текст \"%1\" не найден").arg(m_lastFind),
                                   QStringLiteral("Найти"), QMessageBox::Information,
                                   QMessageBox::Ok);
}

void ReportPreview::aHelpExecute()
{
    Prompt::instance().message(
        this,
        QStringLiteral("Страницы листаются кнопками на панели или клавишами Page Up и Page "
                       "Down, Home и End открывают первую и последнюю.\n"
                       "«Найти» выделяет найденный текст, F3 ищет его дальше.\n"
                       "Масштаб: страница целиком, по ширине страницы или 100%.\n"
                       "«Сохранить» записывает отчёт в файл Kodra (*.kdr), который потом "
                       "открывает «Открыть», или в PDF, текст, RTF, CSV или HTML.\n"
                       "«Печать» печатает отчёт на выбранном принтере."),
        QStringLiteral("Справка"), QMessageBox::Information, QMessageBox::Ok);
}
