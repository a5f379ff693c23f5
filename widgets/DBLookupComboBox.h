#pragma once

#include "widgets/FieldLink.h"

#include <QComboBox>
#include <QPointer>

// A drop-down bound to a key field of a dataset's current row: it lists the names of a lookup
// dataset, shows the name of the row whose key the field holds, and choosing a name writes its
// key into the field.
class DBLookupComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit DBLookupComboBox(QWidget *parent = nullptr);

    void setField(QueryDataSet *dataSet, const QString &keyFieldName, QueryDataSet *lookup,
                  const QString &lookupKeyField, const QString &lookupResultField);
    QueryDataSet *dataSet() const { return m_link.dataSet(); }
    const QString &fieldName() const { return m_link.fieldName(); }
    QueryDataSet *lookupDataSet() const;

private:
    void fillList();
    void showField();
    void onActivated(int index);

    FieldLink m_link;
    QPointer<QueryDataSet> m_lookup;
    QString m_lookupKeyField;
    QString m_lookupResultField;
    // Set while the list is filled: fetching the whole lookup reports the rows it fetched.
    bool m_filling = false;
};
