#pragma once

#include "widgets/FieldLink.h"

#include <QPlainTextEdit>

// A multi-line text bound to a field of a dataset's current row: shows it, and writes what the
// user types into it.
class DBMemo : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit DBMemo(QWidget *parent = nullptr);

    void setField(QueryDataSet *dataSet, const QString &fieldName);
    QueryDataSet *dataSet() const { return m_link.dataSet(); }
    const QString &fieldName() const { return m_link.fieldName(); }

private:
    void showField();
    void onTextChanged();

    FieldLink m_link;
    // Set while the field is shown: that change of the text is not the user's.
    bool m_showing = false;
};
