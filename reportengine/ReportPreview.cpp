#include "reportengine/ReportPreview.h"

#include "reportengine/ReportExporter.h"
#include "widgets/FilePicker.h"
#include "widgets/Prompt.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QToolBar>
#include <QVBoxLayout>

ReportPreview::ReportPreview(BuiltReport report, QWidget *parent)
    : QDialog(parent), m_report(std::move(report))
{
    setWindowTitle(captionFor(m_report.title));
    setModal(true);
    resize(900, 700);

    m_toolBar = new QToolBar(this);
    m_view = new QPrintPreviewWidget(this);
    m_view->setZoomMode(QPrintPreviewWidget::FitToWidth);
    connect(m_view, &QPrintPreviewWidget::paintRequested, this, &ReportPreview::paintRequested);
    connect(m_view, &QPrintPreviewWidget::previewChanged, this, &ReportPreview::updatePageLabel);
    m_pageLabel = new QLabel(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_toolBar);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_pageLabel);
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

    auto turn = [this, &make](const QKeySequence &key, auto target) {
        QAction *a = make(QString(), key);
        connect(a, &QAction::triggered, this, [this, target] { setCurrentPage(target(this)); });
    };
    turn(QKeySequence(Qt::Key_PageDown), [](ReportPreview *p) { return p->currentPage() + 1; });
    turn(QKeySequence(Qt::Key_PageUp), [](ReportPreview *p) { return p->currentPage() - 1; });
    turn(QKeySequence(Qt::Key_Home), [](ReportPreview *) { return 1; });
    turn(QKeySequence(Qt::Key_End), [](ReportPreview *p) { return p->m_report.pageCount(); });
}

void ReportPreview::paintRequested(QPrinter *printer)
{
    printer->setFullPage(true);
    m_report.paint(*printer);
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
    m_pageLabel->setText(
        QStringLiteral("Страница %1 из %2").arg(m_view->currentPage()).arg(m_report.pageCount()));
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
    request.mode = FilePickRequest::Mode::FileInExistingFolder;
    const QString fileName = FilePicker::instance().pick(this, request);
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

int ReportPreview::findPage(const QString &text) const
{
    const int count = m_report.pageCount();
    if (text.isEmpty() || count == 0)
        return 0;
    for (int step = 1; step <= count; ++step) {
        const int page = (currentPage() - 1 + step) % count; // from 0
        for (const QString &t : m_report.pageTexts(page)) {
            if (t.contains(text, Qt::CaseInsensitive))
                return page + 1;
        }
    }
    return 0;
}

void ReportPreview::aFindExecute()
{
    QString text = m_lastFind;
    if (!Prompt::instance().input(this, QStringLiteral("Найти"), QStringLiteral("Текст:"), text))
        return;
    m_lastFind = text;
    const int page = findPage(text);
    if (page > 0)
        setCurrentPage(page);
    else
        Prompt::instance().message(this, QStringLiteral("Текст \"%1\" не найден").arg(text),
                                   QStringLiteral("Найти"), QMessageBox::Information,
                                   QMessageBox::Ok);
}

void ReportPreview::aHelpExecute()
{
    Prompt::instance().message(
        this,
        QStringLiteral("Страницы листаются клавишами Page Up и Page Down, Home и End "
                       "открывают первую и последнюю.\n"
                       "Масштаб: страница целиком, по ширине страницы или 100%.\n"
                       "«Сохранить» записывает отчёт в файл Kodra (*.kdr), который потом "
                       "открывает «Открыть», или в PDF, текст, RTF, CSV или HTML.\n"
                       "«Печать» печатает отчёт на выбранном принтере."),
        QStringLiteral("Справка"), QMessageBox::Information, QMessageBox::Ok);
}
