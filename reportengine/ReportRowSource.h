#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

// A named source of rows a report reads (frDisks, frdtStat1). A master data band runs over it
// from the first row to the last: startRun(), then hasRow(0), hasRow(1), ... until false,
// then finishRun(). A field read outside such a run reads the source's current row.
class ReportRowSource
{
public:
    virtual ~ReportRowSource() = default;

    // The name templates give it.
    virtual QString name() const = 0;
    // True for its name or another it answers to (the dataset it reads), ignoring case.
    virtual bool answersTo(const QString &name) const;
    // The field names the designer offers for expressions.
    virtual QStringList fieldNames() const = 0;
    // The index of a field named so, ignoring case; -1 when there is none.
    virtual int fieldIndex(const QString &field) const;

    // The row a field outside a run reads; -1 when there is none.
    virtual int currentRow() const = 0;
    virtual QVariant value(int row, int field) const = 0;

    // False when there is nothing to read: no run follows.
    virtual bool startRun() = 0;
    // Whether the row exists, read in when it has not been yet.
    virtual bool hasRow(int row) = 0;
    // The run is over: at lastRow when it went to the end, -1 when it was broken off.
    virtual void finishRun(int lastRow) = 0;
};
