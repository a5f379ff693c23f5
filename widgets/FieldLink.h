#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

class Field;
class QueryDataSet;
class QWidget;

// The tie between a data-aware control and one field of a dataset's current row: it tells the
// control when to show the field again and writes the user's edits into the row, putting the
// dataset into edit state first. Errors are shown in the standard error box over the control.
class FieldLink : public QObject
{
    Q_OBJECT

public:
    explicit FieldLink(QWidget *control);

    void setField(QueryDataSet *dataSet, const QString &fieldName);
    QueryDataSet *dataSet() const;
    const QString &fieldName() const { return m_fieldName; }

    // The bound field, or nullptr while the dataset has no such field or no current row.
    Field *field() const;
    // The field's value in the current row; nothing without a row or when reading fails.
    QVariant value() const;
    // Whether the user may write the field now: a current row of an open dataset, and a data
    // field (a lookup field is written by choosing its key).
    bool canWrite() const;
    // A user's edit: the dataset goes into edit state and the field takes the value. False
    // when that failed (the error box has been shown and the control should show the field
    // again).
    bool write(const QVariant &value);

Q_SIGNALS:
    // The control should show the field's value and editability again.
    void changed();
    // The dataset asks the control to take the keyboard focus.
    void focusRequested();

private:
    void notify();

    QWidget *m_control;
    QPointer<QueryDataSet> m_dataSet;
    QString m_fieldName;
    // Set while the link writes: the dataset's echo of the write must not reach the control.
    bool m_writing = false;
};
