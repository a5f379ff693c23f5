#include "widgets/DBMemo.h"

#include "widgets/FieldEditing.h"

#include <QScopedValueRollback>

DBMemo::DBMemo(QWidget *parent) : QPlainTextEdit(parent), m_link(this)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Tab moves on through the form, as in the other fields.
    setTabChangesFocus(true);
    connect(&m_link, &FieldLink::changed, this, &DBMemo::showField);
    connect(&m_link, &FieldLink::focusRequested, this, [this] { setFocus(Qt::OtherFocusReason); });
    connect(this, &QPlainTextEdit::textChanged, this, &DBMemo::onTextChanged);
    showField();
}

void DBMemo::setField(QueryDataSet *dataSet, const QString &fieldName)
{
    m_link.setField(dataSet, fieldName);
}

void DBMemo::showField()
{
    setReadOnly(!m_link.canWrite());
    const QString shown = FieldEditing::editText(m_link.value());
    if (shown == toPlainText())
        return;
    const QScopedValueRollback showing(m_showing, true);
    setPlainText(shown);
}

void DBMemo::onTextChanged()
{
    if (!m_showing && !isReadOnly())
        m_link.write(toPlainText());
}
