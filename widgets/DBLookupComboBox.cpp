#include "widgets/DBLookupComboBox.h"

#include "store/Field.h"
#include "store/QueryDataSet.h"
#include "widgets/WidgetsLog.h"

#include <QScopedValueRollback>

DBLookupComboBox::DBLookupComboBox(QWidget *parent) : QComboBox(parent), m_link(this)
{
    setEditable(false);
    connect(&m_link, &FieldLink::changed, this, &DBLookupComboBox::showField);
    connect(&m_link, &FieldLink::focusRequested, this, [this] { setFocus(Qt::OtherFocusReason); });
    connect(this, &QComboBox::activated, this, &DBLookupComboBox::onActivated);
    showField();
}

void DBLookupComboBox::setField(QueryDataSet *dataSet, const QString &keyFieldName,
                                QueryDataSet *lookup, const QString &lookupKeyField,
                                const QString &lookupResultField)
{
    if (m_lookup)
        disconnect(m_lookup, nullptr, this, nullptr);
    m_lookup = lookup;
    m_lookupKeyField = lookupKeyField;
    m_lookupResultField = lookupResultField;
    if (lookup) {
        // New, renamed or removed names show at once.
        connect(lookup, &QueryDataSet::dataReset, this, &DBLookupComboBox::fillList);
        connect(lookup, &QueryDataSet::rowsFetched, this, &DBLookupComboBox::fillList);
        connect(lookup, &QueryDataSet::rowChanged, this, &DBLookupComboBox::fillList);
        connect(lookup, &QueryDataSet::rowInserted, this, &DBLookupComboBox::fillList);
        connect(lookup, &QueryDataSet::rowRemoved, this, &DBLookupComboBox::fillList);
        connect(lookup, &QueryDataSet::rowMoved, this, &DBLookupComboBox::fillList);
        connect(lookup, &QObject::destroyed, this, &DBLookupComboBox::fillList);
    }
    fillList();
    m_link.setField(dataSet, keyFieldName);
}

QueryDataSet *DBLookupComboBox::lookupDataSet() const
{
    return m_lookup;
}

void DBLookupComboBox::fillList()
{
    if (m_filling)
        return;
    const QScopedValueRollback filling(m_filling, true);
    clear();
    QueryDataSet *lookup = m_lookup;
    if (lookup && lookup->isOpen()) {
        // A list that cannot be read shows empty, as a lookup cell of the grid does.
        try {
            lookup->fetchAll();
            const Field *key = lookup->findField(m_lookupKeyField);
            const Field *result = lookup->findField(m_lookupResultField);
            if (key && result) {
                for (int row = 0; row < lookup->fetchedCount(); ++row)
                    addItem(Field::displayText(lookup->value(row, result->index())),
                            lookup->value(row, key->index()));
            }
        } catch (const std::exception &e) {
            qCInfo(lcWidgets) << "lookup list not read:" << e.what();
            clear();
        }
    }
    showField();
}

void DBLookupComboBox::showField()
{
    setEnabled(m_link.canWrite());
    const QVariant key = m_link.value();
    int shown = -1;
    for (int i = 0; shown < 0 && i < count(); ++i) {
        if (Field::sameKey(itemData(i), key))
            shown = i;
    }
    setCurrentIndex(shown);
}

void DBLookupComboBox::onActivated(int index)
{
    const QVariant key = itemData(index);
    // Choosing the name already shown changes nothing and leaves the row as it is.
    if (index < 0 || Field::sameKey(key, m_link.value()))
        return;
    m_link.write(key);
}
