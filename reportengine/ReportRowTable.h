#pragma once

#include "reportengine/ReportRowSource.h"

#include <vector>

// Rows held in memory: a report over values that come from no dataset, and the builder's
// tests without a catalogue. A run leaves the current row where it was.
class ReportRowTable : public ReportRowSource
{
public:
    ReportRowTable(const QString &name, const QStringList &fields,
                   std::vector<QVariantList> rows = {});

    void addRow(const QVariantList &row) { m_rows.push_back(row); }
    int rowCount() const { return int(m_rows.size()); }
    // The row fields outside a run read; the first one until set.
    void setCurrentRow(int row) { m_current = row; }

    QString name() const override { return m_name; }
    QStringList fieldNames() const override { return m_fields; }
    int currentRow() const override;
    QVariant value(int row, int field) const override;
    bool startRun() override { return !m_rows.empty(); }
    bool hasRow(int row) override { return row >= 0 && row < rowCount(); }
    void finishRun(int) override { }

private:
    QString m_name;
    QStringList m_fields;
    std::vector<QVariantList> m_rows;
    int m_current = 0;
};
