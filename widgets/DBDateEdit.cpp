#include "widgets/DBDateEdit.h"

#include "store/Field.h"
#include "widgets/FieldEditing.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QSignalBlocker>

using FieldEditing::NoDate;

DBDateEdit::DBDateEdit(QWidget *parent) : QDateEdit(parent), m_link(this)
{
    setCalendarPopup(true);
    setDisplayFormat(FieldEditing::dateFormat(FieldType::Date));
    setMinimumDate(NoDate);
    setSpecialValueText(QStringLiteral(" "));
    connect(&m_link, &FieldLink::changed, this, &DBDateEdit::showField);
    connect(&m_link, &FieldLink::focusRequested, this, [this] { setFocus(Qt::OtherFocusReason); });
    connect(this, &QDateEdit::dateChanged, this, &DBDateEdit::onDateChanged);
    showField();
}

void DBDateEdit::setField(QueryDataSet *dataSet, const QString &fieldName)
{
    m_link.setField(dataSet, fieldName);
}

bool DBDateEdit::isEmpty() const
{
    return date() == NoDate;
}

void DBDateEdit::showDate(const QDate &date)
{
    const QDate shown = date.isValid() ? date : NoDate;
    if (shown == this->date())
        return;
    const QScopedValueRollback showing(m_showing, true);
    setDate(shown);
}

void DBDateEdit::showField()
{
    setReadOnly(!m_link.canWrite());
    const QVariant value = m_link.value();
    showDate(value.typeId() == QMetaType::QDateTime ? value.toDateTime().date() : value.toDate());
}

void DBDateEdit::onDateChanged(const QDate &date)
{
    if (m_showing || isReadOnly())
        return;
    m_link.write(date == NoDate ? QVariant() : QVariant(date));
}

void DBDateEdit::clearDate()
{
    if (isReadOnly() || isEmpty())
        return;
    setDate(NoDate);
}

void DBDateEdit::keyPressEvent(QKeyEvent *event)
{
    if (isReadOnly()) {
        QDateEdit::keyPressEvent(event);
        return;
    }
    QLineEdit *edit = lineEdit();
    const bool allSelected = edit->selectedText() == edit->text();
    const int key = event->key();
    if ((key == Qt::Key_Delete || key == Qt::Key_Backspace) && (allSelected || isEmpty())) {
        clearDate();
        event->accept();
        return;
    }
    const QChar typed = event->text().size() == 1 ? event->text().front() : QChar();
    const bool wasEmpty = isEmpty();
    if (wasEmpty) {
        // An empty box starts from today: stepping gives today, typing overwrites it.
        const bool step = key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp
            || key == Qt::Key_PageDown;
        if (!step && !typed.isDigit()) {
            QDateEdit::keyPressEvent(event);
            return;
        }
        setDate(QDate::currentDate());
        if (step) {
            event->accept();
            return;
        }
    }
    if (typed.isDigit() && (allSelected || wasEmpty)) {
        // Digits over the whole text start at the first part; the box would drop them.
        setSelectedSection(sectionAt(0));
    } else if (!typed.isNull() && !typed.isLetterOrNumber()) {
        // A separator typed after the box moved past it on its own is that same separator,
        // not a step to the part after the next one.
        const int at = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
        if (at > 0 && edit->text().at(at - 1) == typed) {
            event->accept();
            return;
        }
    }
    QDateEdit::keyPressEvent(event);
}

void DBDateEdit::mousePressEvent(QMouseEvent *event)
{
    QDateEdit::mousePressEvent(event);
    // The calendar of an empty box opens on today, not on the date standing for none; only
    // picking a day writes it.
    QCalendarWidget *calendar = calendarWidget();
    if (isEmpty() && calendar && calendar->isVisible()) {
        const QSignalBlocker quiet(calendar);
        calendar->setSelectedDate(QDate::currentDate());
    }
}
