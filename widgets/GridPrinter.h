#pragma once

#include <QPageLayout>
#include <QString>
#include <utility>
#include <vector>

class DBGrid;
class QPagedPaintDevice;
class QPrinter;
class QWidget;

// Prints a grid as the user sees it: the visible columns in their order on screen, with their
// titles and their widths on screen (not fitted to the paper), every row in the grid's order,
// black on white, within margins of 2 cm and without page header or footer. The titles head
// every sheet; the rows run on over as many sheets as they need, and columns wider than a
// sheet go on to further sheets across. Rows the grid has not fetched yet are fetched first.
class GridPrinter
{
public:
    explicit GridPrinter(DBGrid *grid);

    // The print preview, modal. Its print button goes through the system's print dialog; a
    // button of its own saves the same pages as a PDF file.
    static void preview(DBGrid *grid, QWidget *parent);
    // The system's print dialog, then the pages; false when the user cancelled the dialog or
    // the printer could not be written to.
    static bool print(DBGrid *grid, QWidget *parent);
    // The pages as a PDF file on paper of a layout (A4 portrait within the margins unless
    // told); false when the file cannot be written.
    static bool savePdf(DBGrid *grid, const QString &fileName,
                        const QPageLayout &layout = pageLayout());
    // A4 portrait within the margins every print of a grid has.
    static QPageLayout pageLayout();

    // The margins every print of a grid has.
    static void setUpPrinter(QPrinter &printer);
    // Draws the pages onto a printer or a PDF writer; the number of pages, 0 when the device
    // could not be painted on.
    int paint(QPagedPaintDevice &device);
    // The number of pages paint() draws on that device.
    int pageCount(const QPagedPaintDevice &device);

private:
    // Pixels of the grid's screen, first row or column and the one after the last.
    using Range = std::pair<int, int>;
    struct Pages
    {
        double scale = 1; // device pixels per screen pixel
        std::vector<int> columns; // logical columns in visual order
        std::vector<Range> across; // columns (into columns) of each sheet across
        std::vector<Range> down; // rows of each sheet down
    };

    void fetchAllRows();
    Pages layOut(const QPagedPaintDevice &device) const;
    int titleHeight() const;

    DBGrid *m_grid;
};
