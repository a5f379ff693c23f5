#include "browser/DiskList.h"

#include "browser/DiskListFormat.h"
#include "store/QueryDataSet.h"
#include "widgets/DBGrid.h"
#include "widgets/ErrorBox.h"
#include "widgets/SortableTitles.h"

#include <QApplication>
#include <QDrag>
#include <QLocale>
#include <QMimeData>
#include <QMouseEvent>

DiskList::DiskList(DBGrid *grid, QueryDataSet &disk, QWidget *errorParent)
    : QObject(grid), m_grid(grid), dtDisk(disk)
{
    runDrag = [](QDrag *drag) { drag->exec(Qt::MoveAction); };
    setColumns(errorParent);
    connect(m_grid, &QAbstractItemView::clicked, this, &DiskList::clicked);
    m_grid->viewport()->installEventFilter(this);
    dtDisk.afterClose = [this](QueryDataSet &) { m_grid->setHintText(QString()); };
}

DiskList::~DiskList() = default;

void DiskList::setColumns(QWidget *errorParent)
{
    using Column = DataSetModel::Column;
    auto column = [](const char *field, const QString &title, int width, bool stretch) {
        Column c;
        c.fieldName = QString::fromLatin1(field);
        c.title = title;
        c.width = width;
        c.stretch = stretch;
        return c;
    };
    Column size = column("FFULLSIZE", QStringLiteral("Размер"), 78, false);
    size.format = &DiskListFormat::size;
    size.alignment = Qt::AlignRight | Qt::AlignVCenter;
    // The server computes the status: an edit there could never be stored.
    Column status = column("FSTATUS", QStringLiteral("Статус"), 57, true);
    status.readOnly = true;
    Column bought = column("FGETDATE", QStringLiteral("Приобретен"), 66, false);
    bought.format = [](const QVariant &v) {
        return v.isNull() ? QString() : QLocale().toString(v.toDate(), QLocale::ShortFormat);
    };
    const QList<Column> columns {
        column("FNAME", QStringLiteral("Наименование"), 171, true),
        column("FDISKIS", QStringLiteral("д."), 15, false),
        column("FDISKS", QStringLiteral("из"), 17, false),
        column("FTYPE", QStringLiteral("Тип"), 46, false),
        size,
        bought,
        status,
        column("FNN", QStringLiteral("№"), 30, false),
    };
    QueryDataSet &disk = dtDisk;
    DataSetModel *model = m_grid->setDataSet(&disk, columns);
    model->setErrorParent(errorParent);
    const int statusColumn = model->columnOfField(QStringLiteral("FSTATUS"));
    const int lost = disk.fieldByName(QStringLiteral("FDELDATE")).index();
    const int code = disk.fieldByName(QStringLiteral("FSTATUSCODE")).index();
    model->setCellColor([&disk, statusColumn, lost, code](int row, int col) {
        return DiskListFormat::cellColour(disk.value(row, lost), disk.value(row, code),
                                          col == statusColumn);
    });

    // The server sorts: a title click rewrites the order of the select. The lookup column
    // has no column of its own in the select and does not sort.
    m_titles = std::make_unique<SortableTitles>(
        disk, int(columns.size()),
        [model](int col) {
            const Field *f = model->field(col);
            return f && !f->isLookup() ? f->name() : QString();
        },
        [model](int col, SortMark mark) { model->setSortMark(col, mark); });
    m_grid->setTitleClickHandler([this, errorParent](int col) {
        runCommand(errorParent, [this, col] { m_titles->titleClick(col); });
    });
    m_grid->setAppendOnDown(false);
}

void DiskList::clicked(const QModelIndex &index)
{
    const Field *f = m_grid->dataSetModel()->field(index.column());
    if (f && f->name() == QLatin1String("FNAME") && dtDisk.isOpen())
        m_grid->setHintText(dtDisk.fieldByName(QStringLiteral("FCOMMENT")).asString());
}

bool DiskList::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_grid->viewport() && mouse(event))
        return true;
    return QObject::eventFilter(watched, event);
}

bool DiskList::mouse(QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        m_pressPos = static_cast<QMouseEvent *>(event)->position().toPoint();
        return false;
    }
    if (event->type() != QEvent::MouseMove)
        return false;
    const auto *move = static_cast<QMouseEvent *>(event);
    if (!(move->buttons() & Qt::LeftButton) || !dtDisk.isOpen() || dtDisk.isEmpty()
        || dtDisk.state() != QueryDataSet::State::Browse
        || m_grid->currentFieldName() != QLatin1String("FNAME"))
        return false;
    m_draggedDisk = dtDisk.fieldByName(QStringLiteral("FDISKID")).asInteger();
    if ((move->position().toPoint() - m_pressPos).manhattanLength()
        < QApplication::startDragDistance())
        return true;
    auto *drag = new QDrag(m_grid);
    auto *mime = new QMimeData;
    mime->setData(QStringLiteral("application/x-kodra-disk"), QByteArray::number(m_draggedDisk));
    drag->setMimeData(mime);
    runDrag(drag);
    return true;
}
