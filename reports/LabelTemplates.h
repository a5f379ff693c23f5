#pragma once

#include "reportengine/ReportTemplate.h"
#include "store/TableDataSet.h"

class Connection;

// The stored label templates (TREPORT): each row a name (FREPORT) and a stored form (FFRF)
// under its key (FREPORTID). Reads a row's template and stores one back. The rows are the
// table dtReport, which the label window lists and edits.
class LabelTemplates
{
public:
    explicit LabelTemplates(Connection &connection);

    static const QString KeyField;
    static const QString TemplateField;
    static const QString NameField;

    TableDataSet &table() { return m_table; }
    bool isEmpty() const { return !m_table.isOpen() || m_table.isEmpty(); }
    int currentKey() const;
    QString currentName() const;

    // The current row's template into `report`. Nothing stored leaves `report` as it is; an
    // unreadable form leaves it empty and is false with a message for the user in *error.
    bool readCurrent(ReportTemplate &report, QString *error);
    // Stores the template in the row with this key; false when there is no such row.
    bool store(int key, const ReportTemplate &report);

private:
    // Walks the rows from the first (storing a row being typed) to the one with this key;
    // false when there is none.
    bool walkTo(int key);

    TableDataSet m_table;
};
