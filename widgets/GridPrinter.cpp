#include "widgets/GridPrinter.h"

#include "widgets/DBGrid.h"
#include "widgets/ErrorBox.h"
#include "widgets/FilePicker.h"

#include <QAction>
#include <QFontInfo>
#include <QHeaderView>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QToolBar>
#include <algorithm>
#include <cmath>

namespace {

constexpr qreal MarginMm = 20;
// Room between a cell's edge and its text, in screen pixels, as the grid leaves it.
constexpr int TextMargin = 3;

// The font of the screen at its size in pixels, so that the painter's scale makes it as large
// on paper as it looks on screen.
QFont screenFont(const QFont &font)
{
    QFont f = font;
    f.setPixelSize(std::max(1, QFontInfo(font).pixelSize()));
    return f;
}

} // namespace

GridPrinter::GridPrinter(DBGrid *grid) : m_grid(grid) { }

void GridPrinter::setUpPrinter(QPrinter &printer)
{
    printer.setPageMargins(QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm),
                           QPageLayout::Millimeter);
    printer.setFullPage(false);
}

void GridPrinter::fetchAllRows()
{
    QAbstractItemModel *model = m_grid->model();
    if (!model)
        return;
    // A fetch that fails leaves the rows as they are, and so ends the loop.
    while (model->canFetchMore({})) {
        const int before = model->rowCount();
        model->fetchMore({});
        if (model->rowCount() == before)
            break;
    }
}

int GridPrinter::titleHeight() const
{
    const QHeaderView *titles = m_grid->horizontalHeader();
    if (titles->isHidden())
        return 0;
    return titles->height() > 0 ? titles->height() : titles->sizeHint().height();
}

GridPrinter::Pages GridPrinter::layOut(const QPagedPaintDevice &device) const
{
    Pages pages;
    const QAbstractItemModel *model = m_grid->model();
    const QHeaderView *titles = m_grid->horizontalHeader();
    pages.scale = qreal(device.logicalDpiX()) / qreal(std::max(1, m_grid->logicalDpiX()));
    const QRect paper = device.pageLayout().paintRectPixels(device.logicalDpiX());
    const qreal pageWidth = paper.width() / pages.scale;
    const qreal pageHeight = paper.height() / pages.scale;

    const int columnCount = model ? model->columnCount() : 0;
    for (int visual = 0; visual < columnCount; ++visual) {
        const int column = titles->logicalIndex(visual);
        if (column >= 0 && !m_grid->isColumnHidden(column) && m_grid->columnWidth(column) > 0)
            pages.columns.push_back(column);
    }
    // Sheets across: as many whole columns as fit; a column wider than a sheet has one alone.
    int first = 0;
    qreal used = 0;
    for (int i = 0; i < int(pages.columns.size()); ++i) {
        const int width = m_grid->columnWidth(pages.columns[size_t(i)]);
        if (i > first && used + width > pageWidth) {
            pages.across.emplace_back(first, i);
            first = i;
            used = 0;
        }
        used += width;
    }
    pages.across.emplace_back(first, int(pages.columns.size()));

    // Sheets down: the titles, then as many whole rows as fit, at least one.
    const int rowCount = model ? model->rowCount() : 0;
    const qreal room = pageHeight - titleHeight();
    first = 0;
    used = 0;
    for (int row = 0; row < rowCount; ++row) {
        const int height = m_grid->rowHeight(row);
        if (row > first && used + height > room) {
            pages.down.emplace_back(first, row);
            first = row;
            used = 0;
        }
        used += height;
    }
    pages.down.emplace_back(first, rowCount);
    return pages;
}

int GridPrinter::pageCount(const QPagedPaintDevice &device)
{
    fetchAllRows();
    const Pages pages = layOut(device);
    return int(pages.across.size() * pages.down.size());
}

int GridPrinter::paint(QPagedPaintDevice &device)
{
    fetchAllRows();
    const Pages pages = layOut(device);
    const QAbstractItemModel *model = m_grid->model();
    const QHeaderView *titles = m_grid->horizontalHeader();
    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    const QFont cellFont = screenFont(m_grid->font());
    const QFont titleFont = screenFont(titles->font());
    const QPen line(Qt::black, 1);
    const bool cellLines = m_grid->showGrid();
    const int titleRowHeight = titleHeight();
    int count = 0;
    for (const Range &down : pages.down) {
        for (const Range &across : pages.across) {
            if (count++ > 0)
                device.newPage();
            painter.resetTransform();
            painter.scale(pages.scale, pages.scale);
            painter.setPen(line);

            // The titles, each in its box.
            int x = 0;
            painter.setFont(titleFont);
            for (int i = across.first; i < across.second; ++i) {
                const int column = pages.columns[size_t(i)];
                const QRect box(x, 0, m_grid->columnWidth(column), titleRowHeight);
                const QString title = model->headerData(column, Qt::Horizontal).toString();
                painter.drawRect(box);
                const QRect text = box.adjusted(TextMargin, 0, -TextMargin, 0);
                painter.drawText(
                    text, int(titles->defaultAlignment()) | Qt::TextSingleLine,
                    painter.fontMetrics().elidedText(title, Qt::ElideRight, text.width()));
                x += box.width();
            }
            const int right = x;

            // The rows; a text too long for its cell is cut where the grid cuts it: a right-
            // aligned one (a path) keeps its end in view.
            painter.setFont(cellFont);
            int y = titleRowHeight;
            for (int row = down.first; row < down.second; ++row) {
                const int height = m_grid->rowHeight(row);
                x = 0;
                for (int i = across.first; i < across.second; ++i) {
                    const int column = pages.columns[size_t(i)];
                    const QRect cell(x, y, m_grid->columnWidth(column), height);
                    const QModelIndex index = model->index(row, column);
                    const QString text = model->data(index, Qt::DisplayRole).toString();
                    Qt::Alignment alignment(model->data(index, Qt::TextAlignmentRole).toInt());
                    if (!(alignment & Qt::AlignHorizontal_Mask))
                        alignment |= Qt::AlignLeft;
                    if (!(alignment & Qt::AlignVertical_Mask))
                        alignment |= Qt::AlignVCenter;
                    const QRect room = cell.adjusted(TextMargin, 0, -TextMargin, 0);
                    const Qt::TextElideMode cut
                        = alignment & Qt::AlignRight ? Qt::ElideLeft : Qt::ElideRight;
                    painter.drawText(room, int(alignment) | Qt::TextSingleLine,
                                     painter.fontMetrics().elidedText(text, cut, room.width()));
                    if (cellLines)
                        painter.drawRect(cell);
                    x += cell.width();
                }
                y += height;
            }
            if (!cellLines && y > titleRowHeight) {
                // Without cell lines the table is closed by a line under its last row.
                painter.drawLine(0, y, right, y);
            }
        }
    }
    painter.end();
    return count;
}

QPageLayout GridPrinter::pageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                       QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm), QPageLayout::Millimeter);
}

bool GridPrinter::savePdf(DBGrid *grid, const QString &fileName, const QPageLayout &layout)
{
    // Written aside and renamed into place, so that a failure leaves the old file whole.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    {
        QPdfWriter writer(&file);
        writer.setCreator(QStringLiteral("Kodra"));
        writer.setTitle(grid->window()->windowTitle());
        writer.setPageLayout(layout);
        GridPrinter printer(grid);
        if (printer.paint(writer) == 0)
            return false;
    }
    return file.commit();
}

bool GridPrinter::print(DBGrid *grid, QWidget *parent)
{
    QPrinter printer(QPrinter::HighResolution);
    setUpPrinter(printer);
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    return GridPrinter(grid).paint(printer) > 0;
}

void GridPrinter::preview(DBGrid *grid, QWidget *parent)
{
    QPrinter printer(QPrinter::HighResolution);
    setUpPrinter(printer);
    QPrintPreviewDialog dialog(&printer, parent);
    GridPrinter pages(grid);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&pages](QPrinter *p) { pages.paint(*p); });

    auto *savePdfAction = new QAction(QStringLiteral("Сохранить в PDF..."), &dialog);
    savePdfAction->setObjectName(QStringLiteral("aSavePdf"));
    // The PDF is what the preview shows: its paper, orientation and margins.
    QObject::connect(savePdfAction, &QAction::triggered, &dialog, [grid, &dialog, &printer] {
        FilePickRequest request;
        request.title = QStringLiteral("Сохранить в PDF");
        request.filter = QStringLiteral("Документ PDF (*.pdf)|*.pdf");
        request.defaultExtension = QStringLiteral("*.pdf");
        const QString fileName = FilePicker::saveFileName(&dialog, request);
        if (!fileName.isEmpty() && !savePdf(grid, fileName, printer.pageLayout()))
            showErrorBox(&dialog, QStringLiteral("Не удалось записать файл ") + fileName);
    });
    if (auto *bar = dialog.findChild<QToolBar *>())
        bar->addAction(savePdfAction);
    else
        dialog.addAction(savePdfAction);
    dialog.exec();
}
