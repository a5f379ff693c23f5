#include "reportui/ReportDesigner.h"

#include "reportengine/DesignNames.h"
#include "reportengine/ReportRowSource.h"
#include "reportui/DesignCanvas.h"
#include "reportui/ObjectInspector.h"
#include "widgets/Prompt.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

ReportDesigner::ReportDesigner(const ReportTemplate &report, const QString &documentName,
                               const ReportRowSource *source, QWidget *parent)
    : QDialog(parent), m_report(report), m_documentName(documentName), m_source(source)
{
    if (m_report.pages.empty())
        m_report.pages.emplace_back();
    setWindowTitle(documentName.isEmpty() ? tr("Дизайнер отчётов")
                                          : tr("Дизайнер отчётов - ") + documentName);
    setSizeGripEnabled(true);
    resize(1000, 720);

    auto *toolBar = new QToolBar(this);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);

    auto *bandMenu = new QMenu(tr("Полоса"), this);
    const std::pair<BandKind, const char *> bands[] = {{BandKind::ReportTitle, "addReportTitle"},
                                                       {BandKind::PageHeader, "addPageHeader"},
                                                       {BandKind::MasterData, "addMasterData"},
                                                       {BandKind::MasterFooter, "addMasterFooter"},
                                                       {BandKind::PageFooter, "addPageFooter"}};
    for (const auto &[kind, name] : bands) {
        QAction *action = bandMenu->addAction(DesignNames::bandName(kind));
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, [this, kind = kind] { addBand(kind); });
    }
    auto *bandButton = new QToolButton(toolBar);
    bandButton->setText(tr("Полоса"));
    bandButton->setMenu(bandMenu);
    bandButton->setPopupMode(QToolButton::InstantPopup);
    toolBar->addWidget(bandButton);
    toolBar->addSeparator();

    m_canvas = new DesignCanvas(m_report, this);
    const std::pair<ObjectKind, const char *> objects[]
        = {{ObjectKind::Text, "addText"},
           {ObjectKind::RichText, "addRichText"},
           {ObjectKind::CheckBox, "addCheckBox"},
           {ObjectKind::Rectangle, "addRectangle"},
           {ObjectKind::RoundedRectangle, "addRoundedRectangle"},
           {ObjectKind::Ellipse, "addEllipse"},
           {ObjectKind::Line, "addLine"}};
    for (const auto &[kind, name] : objects) {
        QAction *action = toolBar->addAction(DesignNames::objectName(kind));
        action->setObjectName(QLatin1String(name));
        action->setToolTip(tr("Щёлкните по полосе, чтобы поставить объект"));
        connect(action, &QAction::triggered, m_canvas, [this, kind = kind] {
            m_canvas->armInsert(kind);
            m_canvas->setFocus();
        });
    }
    toolBar->addSeparator();
    QAction *undo = toolBar->addAction(tr("Отменить"));
    undo->setObjectName(QStringLiteral("undo"));
    undo->setShortcut(QKeySequence::Undo);
    undo->setEnabled(false);
    connect(undo, &QAction::triggered, this, &ReportDesigner::undo);
    QAction *remove = toolBar->addAction(tr("Удалить"));
    remove->setObjectName(QStringLiteral("remove"));
    connect(remove, &QAction::triggered, m_canvas, &DesignCanvas::removeSelected);

    // The paper's commands on a row of their own, so that both rows fit the window.
    auto *pageBar = new QToolBar(this);
    pageBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_pages = new QComboBox(pageBar);
    m_pages->setObjectName(QStringLiteral("pages"));
    pageBar->addWidget(m_pages);
    QAction *addPage = pageBar->addAction(tr("Новая страница"));
    addPage->setObjectName(QStringLiteral("addPage"));
    connect(addPage, &QAction::triggered, this, [this] {
        ReportPage page;
        // A new page takes the paper of the one shown.
        page.size = m_canvas->page().size;
        page.margins = m_canvas->page().margins;
        m_report.pages.push_back(page);
        showPage(int(m_report.pages.size()) - 1);
        record();
    });
    QAction *removePage = pageBar->addAction(tr("Удалить страницу"));
    removePage->setObjectName(QStringLiteral("removePage"));
    connect(removePage, &QAction::triggered, this, [this] {
        // A template keeps at least the one page it was opened with.
        if (m_report.pages.size() < 2)
            return;
        const int page = m_canvas->pageIndex();
        m_report.pages.erase(m_report.pages.begin() + page);
        showPage(std::max(0, page - 1));
        record();
    });
    connect(m_pages, &QComboBox::activated, this, &ReportDesigner::showPage);

    pageBar->addSeparator();
    auto *zoom = new QComboBox(pageBar);
    zoom->setObjectName(QStringLiteral("zoom"));
    for (int percent : {50, 75, 100, 150, 200})
        zoom->addItem(QString::number(percent) + QLatin1Char('%'), percent / 100.0);
    zoom->setCurrentIndex(2);
    connect(zoom, &QComboBox::activated, this,
            [this, zoom](int index) { m_canvas->setZoom(zoom->itemData(index).toDouble()); });
    pageBar->addWidget(new QLabel(tr("Масштаб"), pageBar));
    pageBar->addWidget(zoom);

    auto *scroll = new QScrollArea(this);
    scroll->setWidget(m_canvas);
    scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scroll->setBackgroundRole(QPalette::Dark);

    m_inspector = new ObjectInspector(*m_canvas, source ? source->name() : QString(),
                                      source ? source->fieldNames() : QStringList(), this);
    auto *side = new QScrollArea(this);
    side->setWidget(m_inspector);
    side->setWidgetResizable(true);
    side->setMinimumWidth(400);
    auto *splitter = new QSplitter(this);
    splitter->addWidget(scroll);
    splitter->addWidget(side);
    splitter->setStretchFactor(0, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *close = buttons->button(QDialogButtonBox::Close);
    close->setText(tr("Закрыть"));
    // Enter ends typing in a field; it must not close the window.
    close->setAutoDefault(false);
    close->setDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &ReportDesigner::reject);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(toolBar);
    layout->addWidget(pageBar);
    layout->addWidget(splitter, 1);
    layout->addWidget(buttons);

    connect(m_canvas, &DesignCanvas::selectionChanged, this, &ReportDesigner::updateCommands);
    // The object chosen stays in sight, also when the arrows move it off the view.
    auto follow = [this, scroll] {
        const DesignCanvas::Selection &s = m_canvas->selection();
        if (s.band >= 0 && s.object >= 0) {
            const QRectF r = m_canvas->objectRect(s.band, s.object).normalized();
            scroll->ensureVisible(int(r.center().x()), int(r.center().y()), int(r.width() / 2) + 20,
                                  int(r.height() / 2) + 20);
        }
    };
    connect(m_canvas, &DesignCanvas::selectionChanged, this, follow);
    connect(m_canvas, &DesignCanvas::changed, this, follow);
    connect(m_canvas, &DesignCanvas::changed, this, &ReportDesigner::record);
    connect(m_inspector, &ObjectInspector::changed, this, &ReportDesigner::record);
    m_recorded = m_report;
    m_opened = m_report;
    showPage(0);
    m_canvas->setFocus();
}

ReportDesigner::~ReportDesigner() = default;

const ReportTemplate &ReportDesigner::result() const
{
    return m_report;
}

QAction *ReportDesigner::command(const QString &name) const
{
    return findChild<QAction *>(name);
}

void ReportDesigner::record()
{
    if (m_canvas->dragging() || m_report == m_recorded)
        return;
    m_undo.push_back(m_recorded);
    m_recorded = m_report;
    updateCommands();
}

bool ReportDesigner::undo()
{
    if (m_undo.empty())
        return false;
    m_report = m_undo.back();
    m_undo.pop_back();
    m_recorded = m_report;
    showPage(std::min(m_canvas->pageIndex(), int(m_report.pages.size()) - 1));
    m_inspector->refresh();
    return true;
}

bool ReportDesigner::isModified() const
{
    return m_report != m_opened;
}

void ReportDesigner::reject()
{
    if (!isModified()) {
        accept();
        return;
    }
    switch (Prompt::instance().message(this, tr("Сохранить изменения?"), windowTitle(),
                                       QMessageBox::Question,
                                       QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        accept();
        break;
    case QMessageBox::No:
        QDialog::reject();
        break;
    default:
        break;
    }
}

void ReportDesigner::addBand(BandKind kind)
{
    m_canvas->addBand(kind, m_source ? m_source->name() : QString());
    m_canvas->setFocus();
}

void ReportDesigner::showPage(int page)
{
    m_pages->clear();
    for (int i = 0; i < int(m_report.pages.size()); ++i)
        m_pages->addItem(tr("Страница %1").arg(i + 1));
    m_pages->setCurrentIndex(page);
    m_canvas->setPageIndex(page);
    updateCommands();
}

void ReportDesigner::updateCommands()
{
    command(QStringLiteral("remove"))->setEnabled(m_canvas->selection().band >= 0);
    command(QStringLiteral("removePage"))->setEnabled(m_report.pages.size() > 1);
    command(QStringLiteral("undo"))->setEnabled(!m_undo.empty());
}
