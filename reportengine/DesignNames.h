#pragma once

#include <QString>

#include "reportengine/ReportTemplate.h"

// The designer's names for bands and objects, as its toolbar, canvas and inspector show them.
class DesignNames
{
public:
    static QString bandName(BandKind kind);
    // The band's name, with the source a master data band runs over.
    static QString bandCaption(const ReportBand &band);
    static QString objectName(ObjectKind kind);
    // The start of a new object's name ("Text", "Line"), numbered after it.
    static QString objectPrefix(ObjectKind kind);
};
