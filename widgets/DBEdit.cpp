#include "widgets/DBEdit.h"

#include "store/Field.h"
#include "widgets/FieldEditing.h"

#include <QValidator>

DBEdit::DBEdit(QWidget *parent) : QLineEdit(parent), m_link(this)
{
    connect(&m_link, &FieldLink::changed, this, &DBEdit::showField);
    connect(&m_link, &FieldLink::focusRequested, this, [this] { setFocus(Qt::OtherFocusReason); });
    connect(this, &QLineEdit::textEdited, this, &DBEdit::onTextEdited);
    showField();
}

void DBEdit::setField(QueryDataSet *dataSet, const QString &fieldName)
{
    m_link.setField(dataSet, fieldName);
}

void DBEdit::fitTo(const Field *field)
{
    // Fields are built when the dataset opens, so the fitting is checked on every showing.
    if (!field || (field->type() == m_fittedType && field->size() == m_fittedSize))
        return;
    m_fittedType = field->type();
    m_fittedSize = field->size();
    delete validator();
    setValidator(nullptr);
    setMaxLength(32767);
    FieldEditing::fitLineEdit(this, *field);
}

void DBEdit::showField()
{
    const Field *field = m_link.field();
    fitTo(field);
    setReadOnly(!m_link.canWrite());
    const QString shown = FieldEditing::editText(m_link.value());
    if (shown != text())
        setText(shown);
}

void DBEdit::onTextEdited(const QString &text)
{
    // A number half typed ("-", "1e") waits; it is written once it is one.
    if (!text.isEmpty() && !hasAcceptableInput())
        return;
    if (const Field *field = m_link.field())
        m_link.write(FieldEditing::typedValue(*field, text));
}

void DBEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // A number left half typed gives way to what the field holds.
    if (!hasAcceptableInput())
        showField();
}
