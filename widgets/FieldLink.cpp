#include "widgets/FieldLink.h"

#include "store/Field.h"
#include "store/QueryDataSet.h"
#include "widgets/ErrorBox.h"
#include "widgets/WidgetsLog.h"

#include <QScopedValueRollback>
#include <QWidget>

FieldLink::FieldLink(QWidget *control) : m_control(control) { }

void FieldLink::setField(QueryDataSet *dataSet, const QString &fieldName)
{
    if (m_dataSet)
        disconnect(m_dataSet, nullptr, this, nullptr);
    m_dataSet = dataSet;
    m_fieldName = fieldName;
    if (dataSet) {
        connect(dataSet, &QueryDataSet::dataReset, this, &FieldLink::notify);
        connect(dataSet, &QueryDataSet::currentRowChanged, this, &FieldLink::notify);
        connect(dataSet, &QueryDataSet::stateChanged, this, &FieldLink::notify);
        connect(dataSet, &QueryDataSet::dataSetChanged, this, &FieldLink::notify);
        // Any field: a lookup field shows anew when its key field is written.
        connect(dataSet, &QueryDataSet::fieldChanged, this, &FieldLink::notify);
        connect(dataSet, &QueryDataSet::rowChanged, this, [this](int row) {
            if (m_dataSet && row == m_dataSet->currentRow())
                notify();
        });
        connect(dataSet, &QueryDataSet::focusFieldRequested, this, [this](const QString &name) {
            if (name.compare(m_fieldName, Qt::CaseInsensitive) == 0)
                Q_EMIT focusRequested();
        });
        connect(dataSet, &QObject::destroyed, this, &FieldLink::changed);
    }
    Q_EMIT changed();
}

QueryDataSet *FieldLink::dataSet() const
{
    return m_dataSet;
}

Field *FieldLink::field() const
{
    if (!m_dataSet || !m_dataSet->isOpen() || m_dataSet->currentRow() < 0)
        return nullptr;
    return m_dataSet->findField(m_fieldName);
}

QVariant FieldLink::value() const
{
    const Field *f = field();
    if (!f)
        return {};
    // A lookup field may fetch its source; a failure there shows as no value, as in the grid.
    try {
        return f->value();
    } catch (const std::exception &e) {
        qCInfo(lcWidgets) << "field" << m_fieldName << "not read:" << e.what();
        return {};
    }
}

bool FieldLink::canWrite() const
{
    const Field *f = field();
    return f && !f->isLookup();
}

bool FieldLink::write(const QVariant &value)
{
    if (!canWrite())
        return false;
    QueryDataSet *ds = m_dataSet;
    const QString name = m_fieldName;
    bool ok = false;
    {
        const QScopedValueRollback writing(m_writing, true);
        ok = runCommand(m_control, [ds, name, value] {
            if (ds->state() == QueryDataSet::State::Browse)
                ds->edit();
            ds->fieldByName(name).setValue(value);
        });
    }
    if (!ok)
        Q_EMIT changed();
    return ok;
}

void FieldLink::notify()
{
    if (!m_writing)
        Q_EMIT changed();
}
