#include "reports/uFreeRep.h"

#include "app/Catalogue.h"
#include "app/ConnectionSettings.h"
#include "reportengine/ReportLog.h"
#include "store/DbError.h"
#include "widgets/DBGrid.h"
#include "widgets/ErrorBox.h"
#include "widgets/IconSet.h"
#include "widgets/Prompt.h"
#include "widgets/ScreenCentre.h"

#include <QAction>
#include <QBoxLayout>
#include <QMenu>
#include <QToolBar>

TfFreeRep::TfFreeRep(Catalogue &data, QWidget *parent, SettingsStore *store)
    : QDialog(parent),
      templates(data.DefDatabase()),
      dtReport(templates.table()),
      frDisks(QStringLiteral("frDisks"), data.dtDisk()),
      frReport1(this),
      m_data(data)
{
    if (store)
        m_placement = std::make_unique<FormStorage>(
            this, store, ConnectionSettings::section + QStringLiteral("\\FreeRep"));
    setObjectName(QStringLiteral("fFreeRep"));
    setWindowTitle(QStringLiteral("Редактор наклеек"));
    setModal(true);
    setSizeGripEnabled(true);
    frReport1.addDataSource(&frDisks);
    dtReport.afterInsert = [this](QueryDataSet &ds) { dtReportAfterInsert(ds); };

    createActions();
    createGrid();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_toolBar);
    layout->addWidget(DBGridEh1, 1);

    resize(304, 362);
    moveToScreenCentre(*this);

    FormCreate();
}

TfFreeRep::~TfFreeRep()
{
    if (m_placement)
        m_placement->formDestroying();
    try {
        dtReport.close();
    } catch (const DbError &e) {
        // A connection that has gone away has nothing left to keep.
        qCInfo(reportLog) << "closing the template list:" << e.text();
    }
}

void TfFreeRep::createActions()
{
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);

    auto make = [this](const char *name, const QString &caption, const QString &hint, int icon) {
        auto *action = new QAction(IconSet::icon(icon), caption, this);
        action->setObjectName(QString::fromLatin1(name));
        action->setToolTip(hint);
        action->setStatusTip(hint);
        addAction(action);
        return action;
    };
    aShow = make("aShow", QStringLiteral("Показать"), QStringLiteral("Показать"), IconSet::Reports);
    aNew = make("aNew", QStringLiteral("Новая"), QStringLiteral("Новый шаблон"), IconSet::Add);
    aEdit = make("aEdit", QStringLiteral("Редактировать"), QStringLiteral("Редактировать"),
                 IconSet::Edit);
    aDel = make("aDel", QStringLiteral("Удалить"), QStringLiteral("Удалить шаблон"),
                IconSet::Delete);
    aExit = make("aExit", QStringLiteral("Закрыть"), QStringLiteral("Закрыть"), IconSet::Exit);
    aExit->setShortcut(QKeySequence(Qt::Key_Escape));
    aExit->setShortcutContext(Qt::WindowShortcut);

    m_toolBar->addAction(aShow);
    m_toolBar->addSeparator();
    m_toolBar->addAction(aNew);
    m_toolBar->addAction(aEdit);
    m_toolBar->addAction(aDel);
    m_toolBar->addSeparator();
    m_toolBar->addAction(aExit);

    connect(aShow, &QAction::triggered, this, &TfFreeRep::aShowExecute);
    connect(aNew, &QAction::triggered, this, &TfFreeRep::aNewExecute);
    connect(aEdit, &QAction::triggered, this, &TfFreeRep::aEditExecute);
    connect(aDel, &QAction::triggered, this, &TfFreeRep::aDelExecute);
    connect(aExit, &QAction::triggered, this, &TfFreeRep::aExitExecute);
}

void TfFreeRep::createGrid()
{
    DBGridEh1 = new DBGrid(this);
    DBGridEh1->setObjectName(QStringLiteral("DBGridEh1"));
    DBGridEh1->setFrameShape(QFrame::NoFrame);
    DBGridEh1->setRowKeys(true);
    DataSetModel::Column name;
    name.fieldName = LabelTemplates::NameField;
    name.title = QStringLiteral("Форма наклейки");
    name.width = 266;
    name.stretch = true;
    DBGridEh1->setDataSet(&dtReport, {name});

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(aShow);
    PopupMenu1->addAction(aEdit);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(aNew);
    PopupMenu1->addAction(aDel);
    PopupMenu1->setDefaultAction(aShow);
    DBGridEh1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGridEh1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu1->popup(DBGridEh1->mapToGlobal(pos)); });
    connect(DBGridEh1, &DBGrid::activatedByDoubleClick, this, &TfFreeRep::DBGridEh1DblClick);
}

void TfFreeRep::FormCreate()
{
    runCommand(this, [this] { dtReport.open(); });
}

void TfFreeRep::dtReportAfterInsert(QueryDataSet &ds)
{
    m_data.assignNextId(ds, LabelTemplates::KeyField);
}

void TfFreeRep::DBGridEh1DblClick()
{
    aShowExecute();
}

bool TfFreeRep::loadCurrent()
{
    QString error;
    if (templates.readCurrent(frReport1.reportTemplate(), &error))
        return true;
    frReport1.refuseStoredForm(error);
    return false;
}

void TfFreeRep::aShowExecute()
{
    DBGridEh1->commitEdit();
    runCommand(this, [this] {
        if (templates.isEmpty())
            return;
        loadCurrent();
        frReport1.setTitle(templates.currentName());
        frReport1.show();
    });
}

void TfFreeRep::aEditExecute()
{
    DBGridEh1->commitEdit();
    runCommand(this, [this] {
        if (templates.isEmpty())
            return;
        // A stored template this version cannot read (damaged, or from a newer version) is
        // kept as it is: a designer over the empty report would store a blank one over it.
        if (!loadCurrent())
            return;
        const QString name = templates.currentName();
        frReport1.setTitle(name);
        frReport1.setDocumentName(name);
        // Stored unless the user threw the changes away, which leaves the stored bytes alone.
        if (!frReport1.design())
            return;
        templates.store(templates.currentKey(), frReport1.reportTemplate());
    });
}

void TfFreeRep::aNewExecute()
{
    DBGridEh1->commitEdit();
    runCommand(this, [this] { dtReport.insert(); });
    DBGridEh1->setFocus();
}

void TfFreeRep::aDelExecute()
{
    DBGridEh1->commitEdit();
    runCommand(this, [this] {
        const QString name = templates.isEmpty() ? QString() : templates.currentName();
        if (Prompt::instance().message(this,
                                       QStringLiteral("Удалить ") + name + QStringLiteral(" ?"),
                                       QStringLiteral("Удалить ?"), QMessageBox::Question,
                                       QMessageBox::Ok | QMessageBox::Cancel)
            != QMessageBox::Ok)
            return;
        dtReport.remove();
    });
}

void TfFreeRep::aExitExecute()
{
    close();
}
