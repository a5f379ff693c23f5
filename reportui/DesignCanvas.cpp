#include "reportui/DesignCanvas.h"

#include "reportengine/DesignNames.h"
#include "reportengine/ObjectPainter.h"
#include "reportengine/TemplateEdit.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

// The strip above each band that carries its name; only the designer draws it.
constexpr double titleStrip = 4.0; // mm
constexpr double border = 12.0; // px around the page
constexpr double handleSize = 6.0; // px

} // namespace

DesignCanvas::DesignCanvas(ReportTemplate &report, QWidget *parent)
    : QWidget(parent), m_report(report)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    setPalette(pal);
    updateSize();
}

void DesignCanvas::setPageIndex(int page)
{
    m_page = std::clamp(page, 0, int(m_report.pages.size()) - 1);
    m_selection = {};
    updateSize();
    update();
    Q_EMIT selectionChanged();
}

ReportPage &DesignCanvas::page()
{
    return m_report.pages[size_t(m_page)];
}

void DesignCanvas::select(Selection selection)
{
    const auto &bands = m_report.pages[size_t(m_page)].bands;
    if (selection.band < 0 || selection.band >= int(bands.size()))
        selection = {};
    else if (selection.object >= int(bands[size_t(selection.band)].objects.size()))
        selection.object = -1;
    if (selection == m_selection)
        return;
    m_selection = selection;
    update();
    Q_EMIT selectionChanged();
}

ReportBand *DesignCanvas::selectedBand()
{
    if (m_selection.band < 0)
        return nullptr;
    return &page().bands[size_t(m_selection.band)];
}

ReportObject *DesignCanvas::selectedObject()
{
    ReportBand *band = selectedBand();
    if (!band || m_selection.object < 0)
        return nullptr;
    return &band->objects[size_t(m_selection.object)];
}

void DesignCanvas::armInsert(ObjectKind kind)
{
    m_armed = true;
    m_armedKind = kind;
    setCursor(Qt::CrossCursor);
}

void DesignCanvas::addBand(BandKind kind, const QString &source)
{
    const int index = TemplateEdit::addBand(page(), kind, source);
    updateSize();
    m_selection = {index, -1};
    update();
    Q_EMIT changed();
    Q_EMIT selectionChanged();
}

void DesignCanvas::removeSelected()
{
    ReportBand *band = selectedBand();
    if (!band)
        return;
    if (m_selection.object >= 0) {
        band->objects.erase(band->objects.begin() + m_selection.object);
        m_selection.object = -1;
    } else {
        page().bands.erase(page().bands.begin() + m_selection.band);
        m_selection = {};
    }
    updateSize();
    update();
    Q_EMIT changed();
    Q_EMIT selectionChanged();
}

double DesignCanvas::scale() const
{
    return m_zoom * 96.0 / 25.4;
}

void DesignCanvas::setZoom(double zoom)
{
    m_zoom = std::clamp(zoom, 0.25, 4.0);
    updateSize();
    update();
}

QRectF DesignCanvas::pageRect() const
{
    const ReportPage &p = m_report.pages[size_t(m_page)];
    double height = p.size.height();
    const double bandsEnd = bandTop(int(p.bands.size())) + p.margins.bottom();
    height = std::max(height, bandsEnd);
    return {border, border, p.size.width() * scale(), height * scale()};
}

double DesignCanvas::bandTop(int band) const
{
    const ReportPage &p = m_report.pages[size_t(m_page)];
    double top = p.margins.top();
    for (int i = 0; i < band && i < int(p.bands.size()); ++i)
        top += titleStrip + p.bands[size_t(i)].height;
    return top + titleStrip;
}

QRectF DesignCanvas::bandRect(int band) const
{
    const ReportPage &p = m_report.pages[size_t(m_page)];
    const double s = scale();
    return {border, border + bandTop(band) * s, p.size.width() * s,
            p.bands[size_t(band)].height * s};
}

QRectF DesignCanvas::objectRect(int band, int object) const
{
    const QRectF b = bandRect(band);
    const QRectF g
        = m_report.pages[size_t(m_page)].bands[size_t(band)].objects[size_t(object)].geometry;
    const double s = scale();
    return {b.left() + g.left() * s, b.top() + g.top() * s, g.width() * s, g.height() * s};
}

QSize DesignCanvas::sizeHint() const
{
    const QRectF r = pageRect();
    return QSize(int(std::ceil(r.right() + border)), int(std::ceil(r.bottom() + border)));
}

void DesignCanvas::updateSize()
{
    const QSize size = sizeHint();
    setMinimumSize(size);
    resize(size.expandedTo(QWidget::size().boundedTo(size)));
    updateGeometry();
}

QPointF DesignCanvas::toMm(QPointF pos) const
{
    return (pos - QPointF(border, border)) / scale();
}

int DesignCanvas::bandAt(QPointF pos) const
{
    const auto &bands = m_report.pages[size_t(m_page)].bands;
    const double s = scale();
    for (int i = 0; i < int(bands.size()); ++i) {
        QRectF r = bandRect(i);
        r.setTop(r.top() - titleStrip * s); // its name strip selects it too
        if (r.contains(pos))
            return i;
    }
    return -1;
}

int DesignCanvas::bandEdgeAt(QPointF pos) const
{
    const auto &bands = m_report.pages[size_t(m_page)].bands;
    for (int i = 0; i < int(bands.size()); ++i) {
        const QRectF r = bandRect(i);
        if (pos.x() >= r.left() && pos.x() <= r.right() && std::abs(pos.y() - r.bottom()) <= 2)
            return i;
    }
    return -1;
}

DesignCanvas::Selection DesignCanvas::objectAt(QPointF pos) const
{
    const auto &bands = m_report.pages[size_t(m_page)].bands;
    // The topmost object is the last one drawn.
    for (int b = 0; b < int(bands.size()); ++b) {
        for (int o = int(bands[size_t(b)].objects.size()) - 1; o >= 0; --o) {
            if (objectRect(b, o).normalized().adjusted(-3, -3, 3, 3).contains(pos))
                return {b, o};
        }
    }
    return {};
}

DesignCanvas::Drag DesignCanvas::handleAt(QPointF pos) const
{
    if (m_selection.band < 0 || m_selection.object < 0)
        return Drag::None;
    const QRectF r = objectRect(m_selection.band, m_selection.object);
    auto near = [pos](QPointF p) {
        return std::abs(pos.x() - p.x()) <= handleSize / 2 + 1
            && std::abs(pos.y() - p.y()) <= handleSize / 2 + 1;
    };
    if (near(r.bottomRight()))
        return Drag::ResizeCorner;
    if (near(QPointF(r.right(), r.center().y())))
        return Drag::ResizeRight;
    if (near(QPointF(r.center().x(), r.bottom())))
        return Drag::ResizeBottom;
    return Drag::None;
}

void DesignCanvas::placeObject(int band, QPointF mm)
{
    const int object
        = TemplateEdit::placeObject(page(), band, m_armedKind, mm - QPointF(0, bandTop(band)));
    m_armed = false;
    unsetCursor();
    m_selection = {band, object};
    updateSize();
    update();
    Q_EMIT changed();
    Q_EMIT selectionChanged();
}

void DesignCanvas::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPointF pos = event->position();
    if (m_armed) {
        const int band = bandAt(pos);
        if (band >= 0)
            placeObject(band, toMm(pos));
        return;
    }
    m_dragStart = toMm(pos);
    m_drag = handleAt(pos);
    if (m_drag == Drag::None) {
        const int edge = bandEdgeAt(pos);
        const Selection hit = objectAt(pos);
        if (hit.object < 0 && edge >= 0) {
            select({edge, -1});
            m_drag = Drag::BandHeight;
            m_dragBand = edge;
            m_dragBandHeight = page().bands[size_t(edge)].height;
            return;
        }
        if (hit.object >= 0) {
            select(hit);
            m_drag = Drag::Move;
        } else {
            select({bandAt(pos), -1});
        }
    }
    if (ReportObject *object = selectedObject())
        m_dragGeometry = object->geometry;
}

void DesignCanvas::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF pos = event->position();
    if (m_drag == Drag::None) {
        switch (handleAt(pos)) {
        case Drag::ResizeCorner:
            setCursor(Qt::SizeFDiagCursor);
            break;
        case Drag::ResizeRight:
            setCursor(Qt::SizeHorCursor);
            break;
        case Drag::ResizeBottom:
            setCursor(Qt::SizeVerCursor);
            break;
        default:
            if (m_armed)
                setCursor(Qt::CrossCursor);
            else if (bandEdgeAt(pos) >= 0)
                setCursor(Qt::SplitVCursor);
            else
                unsetCursor();
        }
        return;
    }
    const QPointF delta = toMm(pos) - m_dragStart;
    if (m_drag == Drag::BandHeight) {
        ReportBand &band = page().bands[size_t(m_dragBand)];
        band.height = TemplateEdit::bandHeight(band, m_dragBandHeight + delta.y());
        updateSize();
        update();
        Q_EMIT changed();
        return;
    }
    ReportObject *object = selectedObject();
    if (!object)
        return;
    const ObjectKind kind = object->kind;
    QRectF g = m_dragGeometry;
    switch (m_drag) {
    case Drag::Move:
        g = TemplateEdit::moved(g, delta, page().size.width());
        break;
    case Drag::ResizeRight:
        g.setWidth(TemplateEdit::side(g.width(), delta.x(), kind));
        break;
    case Drag::ResizeBottom:
        g.setHeight(TemplateEdit::side(g.height(), delta.y(), kind));
        break;
    case Drag::ResizeCorner:
        g.setWidth(TemplateEdit::side(g.width(), delta.x(), kind));
        g.setHeight(TemplateEdit::side(g.height(), delta.y(), kind));
        break;
    default:
        break;
    }
    placeSelected(g);
}

void DesignCanvas::placeSelected(const QRectF &geometry)
{
    ReportObject *object = selectedObject();
    if (geometry == object->geometry)
        return;
    object->geometry = geometry;
    // The band grows to hold the object; it never shrinks under the user's hand.
    ReportBand &band = *selectedBand();
    band.height = std::max(band.height, geometry.bottom());
    updateSize();
    update();
    Q_EMIT changed();
}

void DesignCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_drag != Drag::None) {
        m_drag = Drag::None;
        // The whole drag as one change, for those who keep a change per gesture.
        Q_EMIT changed();
    }
    QWidget::mouseReleaseEvent(event);
}

void DesignCanvas::mouseDoubleClickEvent(QMouseEvent *event)
{
    const Selection hit = objectAt(event->position());
    if (hit.object >= 0) {
        select(hit);
        Q_EMIT editRequested();
    }
}

void DesignCanvas::nudge(double dx, double dy, bool resize)
{
    ReportObject *object = selectedObject();
    if (!object) {
        // A band alone: the keys change its height.
        if (ReportBand *band = selectedBand(); band && resize && dy != 0) {
            band->height = TemplateEdit::bandHeight(*band, band->height + dy);
            updateSize();
            update();
            Q_EMIT changed();
        }
        return;
    }
    QRectF g = object->geometry;
    if (resize) {
        g.setWidth(TemplateEdit::side(g.width(), dx, object->kind));
        g.setHeight(TemplateEdit::side(g.height(), dy, object->kind));
    } else {
        g = TemplateEdit::moved(g, QPointF(dx, dy), page().size.width());
    }
    placeSelected(g);
}

void DesignCanvas::keyPressEvent(QKeyEvent *event)
{
    // A millimetre a press, a tenth with Ctrl.
    const double step = event->modifiers() & Qt::ControlModifier ? 0.1 : 1.0;
    const bool resize = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Left:
        nudge(-step, 0, resize);
        break;
    case Qt::Key_Right:
        nudge(step, 0, resize);
        break;
    case Qt::Key_Up:
        nudge(0, -step, resize);
        break;
    case Qt::Key_Down:
        nudge(0, step, resize);
        break;
    case Qt::Key_Delete:
        removeSelected();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (selectedObject())
            Q_EMIT editRequested();
        else
            QWidget::keyPressEvent(event);
        break;
    case Qt::Key_Escape:
        if (m_armed) {
            m_armed = false;
            unsetCursor();
        } else if (m_selection.band >= 0) {
            select({});
        } else {
            QWidget::keyPressEvent(event);
        }
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void DesignCanvas::paintBand(QPainter &painter, int band) const
{
    const ReportBand &b = m_report.pages[size_t(m_page)].bands[size_t(band)];
    // The objects as the page prints them: the band's corner is their origin.
    painter.save();
    painter.translate(bandRect(band).topLeft());
    painter.scale(scale() / ObjectPainter::UnitsPerMm, scale() / ObjectPainter::UnitsPerMm);
    for (const ReportObject &object : b.objects)
        ObjectPainter::draw(painter, object);
    painter.restore();
    // Frameless boxes still show where they stand, as a faint dotted outline.
    painter.setPen(QPen(QColor(0xa0, 0xa0, 0xa0), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    for (int o = 0; o < int(b.objects.size()); ++o) {
        const ReportObject &object = b.objects[size_t(o)];
        if ((object.kind == ObjectKind::Text || object.kind == ObjectKind::RichText)
            && !object.frame)
            painter.drawRect(objectRect(band, o));
    }
}

void DesignCanvas::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const ReportPage &p = m_report.pages[size_t(m_page)];
    const double s = scale();
    const QRectF paper = pageRect();
    painter.fillRect(paper.translated(3, 3), QColor(0x50, 0x50, 0x50));
    painter.fillRect(paper, Qt::white);
    // The margins as a thin grey frame.
    const QRectF printable(paper.left() + p.margins.left() * s, paper.top() + p.margins.top() * s,
                           (p.size.width() - p.margins.left() - p.margins.right()) * s,
                           (p.size.height() - p.margins.top() - p.margins.bottom()) * s);
    painter.setPen(QPen(QColor(0xc8, 0xc8, 0xc8), 1, Qt::DashLine));
    painter.drawRect(printable);

    QFont small = font();
    small.setPointSizeF(std::max(6.0, 7.0 * m_zoom));
    for (int b = 0; b < int(p.bands.size()); ++b) {
        const ReportBand &band = p.bands[size_t(b)];
        const QRectF r = bandRect(b);
        const QRectF strip(r.left(), r.top() - titleStrip * s, r.width(), titleStrip * s);
        const bool bandSelected = m_selection.band == b && m_selection.object < 0;
        painter.fillRect(strip, bandSelected ? QColor(0x9e, 0xc5, 0xf0) : QColor(0xe3, 0xee, 0xfa));
        painter.setPen(QColor(0x30, 0x50, 0x80));
        painter.setFont(small);
        painter.drawText(strip.adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         DesignNames::bandCaption(band));
        painter.setPen(QPen(QColor(0x70, 0x90, 0xc0), 1, Qt::DashLine));
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        paintBand(painter, b);
    }
    if (p.bands.empty()) {
        painter.setPen(QColor(0x90, 0x90, 0x90));
        painter.drawText(printable, Qt::AlignCenter | Qt::TextWordWrap,
                         tr("Пустая страница: добавьте полосу"));
    }
    if (m_selection.band >= 0 && m_selection.object >= 0) {
        const QRectF r = objectRect(m_selection.band, m_selection.object);
        painter.setPen(QPen(QColor(0x20, 0x60, 0xd0), 1, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(r.normalized());
        painter.setPen(Qt::black);
        painter.setBrush(QColor(0x20, 0x60, 0xd0));
        const double h = handleSize;
        for (QPointF c : {r.bottomRight(), QPointF(r.right(), r.center().y()),
                          QPointF(r.center().x(), r.bottom())})
            painter.drawRect(QRectF(c.x() - h / 2, c.y() - h / 2, h, h));
    }
}
