#pragma once

#include <QDateTime>
#include <QString>
#include <vector>

#include "reportengine/BuiltReport.h"
#include "reportengine/ReportTemplate.h"

class QWidget;
class QIODevice;
class ReportRowSource;

// One report object of a window (frReport1, frStat1): a template, its title and document
// name, and the data sources it may address. The first data source is the main one.
class Report
{
public:
    explicit Report(QWidget *parent = nullptr);

    void addDataSource(ReportRowSource *source);

    // The stored form; an unreadable stream is reported in a message box and leaves the
    // report empty.
    bool loadFromStream(QIODevice &stream);
    void saveToStream(QIODevice &stream) const;
    // Tells the user why a stored form could not be read.
    void refuseStoredForm(const QString &error) const;

    void setTitle(const QString &title) { m_title = title; }
    const QString &title() const { return m_title; }
    void setDocumentName(const QString &name) { m_documentName = name; }

    ReportTemplate &reportTemplate() { return m_template; }
    const ReportTemplate &reportTemplate() const { return m_template; }

    // The designer, modal; true when the user kept the changes, which the report then holds.
    bool design();
    // Builds the report over its data source and, when that gave at least one page, opens the
    // preview modally ("Предварительный просмотр - " and the title). A build error is shown
    // in a box captioned "Ошибка" and no preview opens; any other failure (the catalogue
    // reading the rows) is left to the window's command. False when no preview was shown.
    bool show();
    // The pages show() would preview, with [DATE] and [TIME] at start (now when invalid).
    // Throws ReportBuilder::Error on a build error.
    BuiltReport build(const QDateTime &start = QDateTime()) const;
    const std::vector<ReportRowSource *> &dataSources() const { return m_sources; }

private:
    QWidget *m_parent;
    ReportTemplate m_template;
    QString m_title;
    QString m_documentName;
    std::vector<ReportRowSource *> m_sources;
};
