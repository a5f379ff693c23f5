#pragma once

#include "reportengine/ReportTemplate.h"

#include <QPointF>

// The edits the designer makes to a page, in millimetres rounded to a tenth: where bands and
// objects may go and how large they may be, apart from the mouse and keys that ask for them.
class TemplateEdit
{
public:
    // The least side of an object other than a line, mm.
    static constexpr double MinimalSide = 1.0;

    static double tenth(double mm);
    // The size a new object of this kind is placed with.
    static QSizeF defaultSize(ObjectKind kind);

    // Adds a band where it prints, after the last of its kind; master data runs over source.
    // Returns its index.
    static int addBand(ReportPage &page, BandKind kind, const QString &source);
    // Places a new object of this kind with its top left corner at `at` (mm from the band's
    // top left corner), kept on the paper, named after its kind with a number unique on the
    // page; the band grows to hold it. Returns its index in the band.
    static int placeObject(ReportPage &page, int band, ObjectKind kind, QPointF at);

    // A geometry moved by `by`, kept on the paper and below the band's top.
    static QRectF moved(const QRectF &geometry, QPointF by, double pageWidth);
    // A side of an object changed by `by`, no smaller than its kind allows.
    static double side(double length, double by, ObjectKind kind);
    // The height a band takes when asked for `wanted`: never above its lowest object's bottom
    // nor below a millimetre.
    static double bandHeight(const ReportBand &band, double wanted);
};
