#include "reports/LabelTemplates.h"

#include "store/Field.h"

const QString LabelTemplates::KeyField = QStringLiteral("FREPORTID");
const QString LabelTemplates::TemplateField = QStringLiteral("FFRF");
const QString LabelTemplates::NameField = QStringLiteral("FREPORT");

LabelTemplates::LabelTemplates(Connection &connection)
    : m_table(connection, QStringLiteral("dtReport"), QStringLiteral("TREPORT"))
{ }

int LabelTemplates::currentKey() const
{
    return m_table.fieldByName(KeyField).asInteger();
}

QString LabelTemplates::currentName() const
{
    return m_table.fieldByName(NameField).asString();
}

bool LabelTemplates::walkTo(int key)
{
    m_table.first();
    while (!m_table.eof()) {
        if (currentKey() == key)
            return true;
        m_table.next();
    }
    return false;
}

bool LabelTemplates::readCurrent(ReportTemplate &report, QString *error)
{
    const Field &stored = m_table.fieldByName(TemplateField);
    if (stored.isNull() || stored.value().toByteArray().isEmpty())
        return true;
    if (!walkTo(currentKey()))
        return true;
    return report.load(m_table.fieldByName(TemplateField).value().toByteArray(), error);
}

bool LabelTemplates::store(int key, const ReportTemplate &report)
{
    if (!walkTo(key))
        return false;
    m_table.edit();
    m_table.fieldByName(KeyField).setInteger(key);
    m_table.fieldByName(TemplateField).setValue(report.save());
    m_table.post();
    return true;
}
