#pragma once

#include <QDialog>

#include "reportengine/ReportTemplate.h"

class ReportDataSource;

// The designer: a modal window over a template. Bands and objects are added, removed,
// selected, moved and resized with the mouse and the arrow keys; texts and expressions are
// edited with a list of the data source's fields.
class ReportDesigner : public QDialog
{
    Q_OBJECT

public:
    // Adds one blank page when the template has none.
    ReportDesigner(const ReportTemplate &report, const QString &documentName,
                   const ReportDataSource *source, QWidget *parent = nullptr);
    ~ReportDesigner() override;

    // The template as the designer holds it now.
    const ReportTemplate &result() const;
};
