#pragma once

#include <QDialog>

#include "reportengine/ReportTemplate.h"

class DesignCanvas;
class ObjectInspector;
class QAction;
class QComboBox;
class ReportRowSource;

// The designer: a modal window over a template. Bands and objects are added, removed,
// selected, moved and resized with the mouse and the arrow keys; texts and expressions are
// edited with a list of the data source's fields.
class ReportDesigner : public QDialog
{
    Q_OBJECT

public:
    // Adds one blank page when the template has none.
    ReportDesigner(const ReportTemplate &report, const QString &documentName,
                   const ReportRowSource *source, QWidget *parent = nullptr);
    ~ReportDesigner() override;

    // The template as the designer holds it now.
    const ReportTemplate &result() const;

    DesignCanvas *canvas() const { return m_canvas; }
    ObjectInspector *inspector() const { return m_inspector; }
    // The toolbar's commands, by object name ("addText", "addMasterData", "remove", ...).
    QAction *command(const QString &name) const;

    // Takes back the last change (Ctrl+Z); false when there is none.
    bool undo();
    // True when the template differs from the one the designer opened with.
    bool isModified() const;

    // Closing (the button, Esc, the close box) with changes asks whether to keep them: the
    // dialog is accepted when they are to be kept, rejected when they are to be thrown away,
    // and stays open on "Отмена". Without changes it is accepted: there is nothing to lose.
    void reject() override;

private:
    void addBand(BandKind kind);
    // Keeps the state before a change, once the change is complete.
    void record();
    void showPage(int page);
    void updateCommands();

    ReportTemplate m_report;
    ReportTemplate m_opened; // as it came, with the blank page added
    ReportTemplate m_recorded; // the template as of the last change kept
    std::vector<ReportTemplate> m_undo;
    QString m_documentName;
    const ReportRowSource *m_source;
    DesignCanvas *m_canvas = nullptr;
    ObjectInspector *m_inspector = nullptr;
    QComboBox *m_pages = nullptr;
};
