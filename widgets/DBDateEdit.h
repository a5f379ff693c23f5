#pragma once

#include "widgets/FieldLink.h"

#include <QDateEdit>

// A date edit with a calendar drop-down bound to a date field of a dataset's current row. It
// may also be empty, for no date: Delete or Backspace over the whole text empties it, and so
// does clearDate(). An empty box starts from today when a date is typed, stepped or picked.
class DBDateEdit : public QDateEdit
{
    Q_OBJECT

public:
    explicit DBDateEdit(QWidget *parent = nullptr);

    void setField(QueryDataSet *dataSet, const QString &fieldName);
    QueryDataSet *dataSet() const { return m_link.dataSet(); }
    const QString &fieldName() const { return m_link.fieldName(); }

    // True while the box shows no date.
    bool isEmpty() const;

public Q_SLOTS:
    // Empties the box and writes no date into the field.
    void clearDate();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void showField();
    void showDate(const QDate &date);
    void onDateChanged(const QDate &date);

    FieldLink m_link;
    // Set while the program shows a date: that change is not the user's.
    bool m_showing = false;
};
