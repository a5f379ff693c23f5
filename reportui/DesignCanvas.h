#pragma once

#include <QWidget>

#include "reportengine/ReportTemplate.h"

// The page of a template drawn to scale, its bands stacked from the top margin down in the
// order they print. Objects are selected, moved and resized with the mouse and the arrow keys
// (Shift+arrows resize); a click while an object kind is armed places a new object there.
class DesignCanvas : public QWidget
{
    Q_OBJECT

public:
    // What is selected: the page (band -1), a band (object -1) or an object in a band.
    struct Selection
    {
        int band = -1;
        int object = -1;
        bool operator==(const Selection &) const = default;
    };

    explicit DesignCanvas(ReportTemplate &report, QWidget *parent = nullptr);

    int pageIndex() const { return m_page; }
    void setPageIndex(int page);
    ReportPage &page();

    const Selection &selection() const { return m_selection; }
    void select(Selection selection);
    ReportBand *selectedBand();
    ReportObject *selectedObject();

    // The next click on a band places an object of this kind; cleared once placed.
    void armInsert(ObjectKind kind);
    void disarmInsert() { m_armed = false; }
    bool insertArmed() const { return m_armed; }

    // Adds a band of this kind where it prints and selects it; master data runs over source.
    void addBand(BandKind kind, const QString &source);
    // Removes the selected object, or the selected band with its objects.
    void removeSelected();

    // A mouse drag is moving or resizing something; it ends with one more changed().
    bool dragging() const { return m_drag != Drag::None; }

    // Pixels per millimetre at the current zoom.
    double scale() const;
    void setZoom(double zoom);
    double zoom() const { return m_zoom; }

    // Where things are drawn, in widget pixels: for tests and the inspector's hints.
    QRectF pageRect() const;
    QRectF bandRect(int band) const;
    QRectF objectRect(int band, int object) const;

    QSize sizeHint() const override;

Q_SIGNALS:
    void selectionChanged();
    // The template changed through the canvas (move, resize, insert, remove).
    void changed();
    void editRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    enum class Drag { None, Move, ResizeRight, ResizeBottom, ResizeCorner, BandHeight };

    double bandTop(int band) const; // mm from the page's top edge
    int bandAt(QPointF pos) const;
    int bandEdgeAt(QPointF pos) const;
    Selection objectAt(QPointF pos) const;
    Drag handleAt(QPointF pos) const;
    QPointF toMm(QPointF pos) const;
    void placeObject(int band, QPointF mm);
    void nudge(double dx, double dy, bool resize);
    // The selected object moved or resized: stored, its band grown to hold it, redrawn.
    void placeSelected(const QRectF &geometry);
    // A band's objects drawn as they print, with the designer's outline of frameless boxes.
    void paintBand(QPainter &painter, int band) const;
    void updateSize();

    ReportTemplate &m_report;
    int m_page = 0;
    Selection m_selection;
    double m_zoom = 1.0;
    bool m_armed = false;
    ObjectKind m_armedKind = ObjectKind::Text;
    Drag m_drag = Drag::None;
    QPointF m_dragStart; // mm
    QRectF m_dragGeometry;
    double m_dragBandHeight = 0;
    int m_dragBand = -1;
};
