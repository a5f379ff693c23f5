#pragma once

#include "reportengine/ReportTemplate.h"

#include <QString>
#include <vector>

// The label templates a new catalogue starts with, so that labels can be printed before any
// has been designed. They run over frDisks, one label per disk.
class StarterLabels
{
public:
    struct Label
    {
        int key; // TREPORT.FREPORTID, below the keys the generator hands out
        QString name;
        ReportTemplate layout;
    };

    // A front insert of a CD case: name, number, type, comment and what the disk holds.
    static ReportTemplate cdSleeve();
    // The strip for the spine of a CD case: number and name on one line.
    static ReportTemplate spineStrip();
    // A sticker for a paper sleeve: name, number, type, comment and date.
    static ReportTemplate envelopeSticker();

    static std::vector<Label> all();
    // Insert statements for the template catalogue's script, the stored forms as binary
    // literals.
    static QString insertScript();
};
