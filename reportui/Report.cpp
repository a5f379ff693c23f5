#include "reportui/Report.h"

#include "reportengine/ReportBuilder.h"
#include "reportui/ReportDesigner.h"
#include "reportui/ReportPreview.h"
#include "widgets/ErrorBox.h"
#include "widgets/Prompt.h"

#include <QIODevice>

Report::Report(QWidget *parent) : m_parent(parent) { }

void Report::addDataSource(ReportRowSource *source)
{
    m_sources.push_back(source);
}

bool Report::loadFromStream(QIODevice &stream)
{
    QString error;
    if (m_template.load(stream.readAll(), &error))
        return true;
    refuseStoredForm(error);
    return false;
}

void Report::refuseStoredForm(const QString &error) const
{
    Prompt::instance().message(m_parent, error, QStringLiteral("Ошибка"), QMessageBox::Warning,
                               QMessageBox::Ok);
}

void Report::saveToStream(QIODevice &stream) const
{
    stream.write(m_template.save());
}

bool Report::design()
{
    ReportDesigner dlg(m_template, m_documentName, m_sources.empty() ? nullptr : m_sources.front(),
                       m_parent);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    m_template = dlg.result();
    return true;
}

BuiltReport Report::build(const QDateTime &start) const
{
    ReportBuilder builder(m_template, m_sources);
    builder.setStartTime(start.isValid() ? start : QDateTime::currentDateTime());
    return builder.build(m_title);
}

bool Report::show()
{
    BuiltReport built;
    try {
        WaitCursor wait;
        built = build();
    } catch (const UserMessage &e) {
        Prompt::instance().message(m_parent, e.text(), QStringLiteral("Ошибка"),
                                   QMessageBox::Critical, QMessageBox::Ok);
        return false;
    }
    if (built.isEmpty())
        return false;
    ReportPreview preview(std::move(built), m_parent);
    preview.exec();
    return true;
}
