#include "lending/uGive.h"

#include "app/Catalogue.h"
#include "app/ConnectionSettings.h"
#include "lending/LendingColors.h"
#include "store/DbError.h"
#include "widgets/DBGrid.h"
#include "widgets/ErrorBox.h"
#include "widgets/GridPrinter.h"
#include "widgets/ScreenCentre.h"
#include "widgets/SortableTitles.h"

#include <QAction>
#include <QBoxLayout>
#include <QScopeGuard>
#include <QToolBar>
#include <algorithm>

namespace {

DataSetModel::Column column(const char *field, const QString &title, int width, bool stretch)
{
    DataSetModel::Column c;
    c.fieldName = QString::fromLatin1(field);
    c.title = title;
    c.width = width;
    c.stretch = stretch;
    c.readOnly = true;
    return c;
}

// The width of a grid column the window leaves at its default.
constexpr int DefaultColumnWidth = 64;

} // namespace

TfGive::TfGive(Catalogue &data, SettingsStore *store, QWidget *parent)
    : QDialog(parent),
      m_debtors(data.DefDatabase()),
      dtGive(m_debtors.rows()),
      fsGive(this, store, ConnectionSettings::section + QStringLiteral("\\Give"))
{
    setObjectName(QStringLiteral("fGive"));
    setWindowTitle(QStringLiteral("Должники"));
    setModal(true);
    setSizeGripEnabled(true);

    createActions();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_toolBar);
    createGrid();
    layout->addWidget(DBGridEh1, 1);

    // Sized for the font the widths were drawn with; a larger font gets a larger window.
    const qreal scale = qMax<qreal>(1.0, DBGridEh1->widthScale());
    resize(qRound(688 * scale), qRound(388 * scale));
    moveToScreenCentre(*this);

    runCommand(this, [this] { m_debtors.open(); });
}

TfGive::~TfGive()
{
    fsGive.formDestroying();
    try {
        dtGive.close();
    } catch (const DbError &) {
        // Nothing was changed here; a connection that has gone away has nothing to keep.
    }
}

void TfGive::createActions()
{
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);

    auto make = [this](const char *name, const QString &caption) {
        auto *action = new QAction(caption, this);
        action->setObjectName(QString::fromLatin1(name));
        m_toolBar->addAction(action);
        return action;
    };
    aPrint = make("aPrint", QStringLiteral("Печать"));
    m_toolBar->addSeparator();
    aOwn = make("aOwn", QStringLiteral("Не мои"));
    aAlien = make("aAlien", QStringLiteral("Мои"));
    aGiven = make("aGiven", QStringLiteral("Невозвращенные"));
    aEval = make("aEval", QStringLiteral("Просроченные"));
    m_toolBar->addSeparator();
    aExit = make("aExit", QStringLiteral("Выход"));
    aExit->setToolTip(QStringLiteral("Выход"));
    aExit->setShortcut(QKeySequence(Qt::Key_Escape));

    for (QAction *toggle : {aOwn, aAlien, aGiven, aEval}) {
        toggle->setCheckable(true);
        connect(toggle, &QAction::triggered, this, [this, toggle] { aOwnExecute(toggle); });
    }
    connect(aPrint, &QAction::triggered, this, &TfGive::aPrintExecute);
    connect(aExit, &QAction::triggered, this, &TfGive::aExitExecute);
}

void TfGive::createGrid()
{
    DBGridEh1 = new DBGrid(this);
    DBGridEh1->setObjectName(QStringLiteral("DBGridEh1"));
    DBGridEh1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGridEh1->setAppendOnDown(false);
    DBGridEh1->setFrameShape(QFrame::NoFrame);

    DataSetModel::Column folder = column("FFOLDERFULL", QStringLiteral("Папка"), 123, true);
    // The end of a long path is the part that tells folders apart.
    folder.alignment = Qt::AlignRight;
    const QList<DataSetModel::Column> columns {
        folder,
        column("FTYPE", QStringLiteral("Тип"), 51, false),
        column("FNN", QStringLiteral("№"), 39, false),
        column("FDISKNAME", QStringLiteral("Диск"), 98, true),
        column("FOWNNAME", QStringLiteral("Владелец"), 57, false),
        column("FNAME", QStringLiteral("Кому"), 83, false),
        column("FGIVEDATE", QStringLiteral("Выдан"), 61, false),
        column("FCTRLDATE", QStringLiteral("До"), 60, false),
        column("FRETDATE", QStringLiteral("Вернул"), DefaultColumnWidth, false),
    };
    DataSetModel *model = DBGridEh1->setDataSet(&dtGive, columns);

    const int deadlineColumn = model->columnOfField(QStringLiteral("FCTRLDATE"));
    const int returnedColumn = model->columnOfField(QStringLiteral("FRETDATE"));
    QueryDataSet *give = &dtGive;
    model->setCellColor(
        [give, deadlineColumn, returnedColumn](int row, int col) -> std::optional<QColor> {
            if (col != deadlineColumn && col != returnedColumn)
                return std::nullopt;
            const QDate deadline
                = give->value(row, give->fieldByName(QStringLiteral("FCTRLDATE")).index()).toDate();
            const QDate returned
                = give->value(row, give->fieldByName(QStringLiteral("FRETDATE")).index()).toDate();
            if (col == deadlineColumn)
                return LendingColors::deadline(deadline, returned, QDate::currentDate());
            return LendingColors::returned(deadline, returned);
        });

    // Columns repeat names across the joined tables: a click sorts by the position of the
    // column's field in the select list.
    m_titles = std::make_unique<SortableTitles>(
        dtGive, int(columns.size()), SortableTitles::selectPositions(*model),
        [model](int col, SortableTitles::Mark mark) {
            model->setSortMark(col, DataSetModel::SortMark(int(mark)));
        });
    m_titles->setReorder([this](const QString &ordering) { m_debtors.orderBy(ordering); });
    DBGridEh1->setTitleClickHandler([this](int col) { m_titles->titleClick(col); });

    connect(DBGridEh1, &DBGrid::activatedByKey, this, &TfGive::chooseRow);
    connect(DBGridEh1, &DBGrid::activatedByDoubleClick, this, &TfGive::chooseRow);
}

void TfGive::aOwnExecute(QAction *toggle)
{
    const std::array<QAction *, 4> toggles {aOwn, aAlien, aGiven, aEval};
    const auto found = std::find(toggles.begin(), toggles.end(), toggle);
    if (found == toggles.end())
        return;
    const auto filter = Debtors::Filter(found - toggles.begin());
    runCommand(this, [this, toggle, filter] {
        // The button shows the filter as it stands, also when the list was not read again.
        const auto shown = qScopeGuard([&] { toggle->setChecked(m_debtors.isOn(filter)); });
        m_debtors.toggle(filter);
    });
}

void TfGive::aPrintExecute()
{
    // The list as shown: its columns, titles and order, without the colours.
    runCommand(this, [this] { GridPrinter::preview(DBGridEh1, this); });
}

void TfGive::aExitExecute()
{
    reject();
}

void TfGive::chooseRow()
{
    accept();
}
