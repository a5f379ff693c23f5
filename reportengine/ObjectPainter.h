#pragma once

#include "reportengine/ReportTemplate.h"

#include <QFont>

class QPainter;

// The one drawing of a report object: the preview, the printer, the PDF file and the
// designer's canvas all draw through it, so that what the designer shows is what the paper
// gets. Objects are laid out and drawn at one resolution, so that a text breaks into the same
// lines on screen, on paper and in a PDF file.
class ObjectPainter
{
public:
    // Layout units per millimetre: 1 point is 10 units.
    static constexpr double UnitsPerMm = 720 / 25.4;
    // Room between a text box's edge and its text, mm.
    static constexpr double TextInsetX = 0.5;
    static constexpr double TextInsetY = 0.2;

    // Draws the object at its geometry (mm) on a painter whose units are UnitsPerMm to the mm.
    // A check box is marked when its text is "1", as a built report holds it.
    static void draw(QPainter &painter, const ReportObject &object);

    // The family a box is drawn in: its own, or the default where it names none.
    static QString fontFamily(const ReportObject &object);
    // The font of a text box in layout units.
    static QFont font(const ReportObject &object);
    static int textFlags(const ReportObject &object);
    // The height in mm a text box needs for its text at its width.
    static double textHeight(const ReportObject &object, const QFont &font);
    // The same for a rich text box.
    static double richTextHeight(const ReportObject &object);
};
