#pragma once

#include "store/FieldType.h"
#include "widgets/FieldLink.h"

#include <QLineEdit>

// A line edit bound to a field of a dataset's current row: shows it, and writes what the user
// types into it. Its length and validator follow the field (a text's size, a number's digits).
class DBEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit DBEdit(QWidget *parent = nullptr);

    void setField(QueryDataSet *dataSet, const QString &fieldName);
    QueryDataSet *dataSet() const { return m_link.dataSet(); }
    const QString &fieldName() const { return m_link.fieldName(); }

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    void showField();
    void fitTo(const Field *field);
    void onTextEdited(const QString &text);

    FieldLink m_link;
    // The field type and size the length and validator were last set for.
    FieldType m_fittedType = FieldType::Unknown;
    int m_fittedSize = -1;
};
