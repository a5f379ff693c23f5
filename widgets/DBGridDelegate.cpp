#include "widgets/DBGridDelegate.h"

#include "store/Field.h"
#include "widgets/ContrastColour.h"
#include "widgets/DataSetModel.h"
#include "widgets/FieldEditing.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>

namespace {

using FieldEditing::NoDate;

const Field *fieldOf(const QModelIndex &index)
{
    const auto *model = qobject_cast<const DataSetModel *>(index.model());
    return model ? model->field(index.column()) : nullptr;
}

bool isDate(const Field *field)
{
    return field->type() == FieldType::Date || field->type() == FieldType::DateTime;
}

} // namespace

void DBGridDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    // A cell's own colour says something (lent, overdue, lost): it keeps its hue but is made
    // readable on the theme's ground, light or dark.
    if (const QVariant colour = index.data(Qt::ForegroundRole); colour.canConvert<QColor>()) {
        const QPalette::ColorRole ground = option->features & QStyleOptionViewItem::Alternate
            ? QPalette::AlternateBase
            : QPalette::Base;
        const QColor readable
            = ContrastColour::readableOn(colour.value<QColor>(), option->palette.color(ground));
        option->palette.setColor(QPalette::Text, readable);
    }
    if (option->displayAlignment & Qt::AlignRight)
        option->textElideMode = Qt::ElideLeft;
}

QWidget *DBGridDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                      const QModelIndex &index) const
{
    const Field *field = fieldOf(index);
    if (!field)
        return QStyledItemDelegate::createEditor(parent, option, index);

    if (field->isLookup()) {
        const auto *model = static_cast<const DataSetModel *>(index.model());
        auto *combo = new QComboBox(parent);
        combo->setFrame(false);
        combo->addItems(model->lookupTexts(index.column()));
        // The column may be narrow; the list shows whole names.
        int widest = 0;
        for (int i = 0; i < combo->count(); ++i)
            widest = qMax(widest, combo->fontMetrics().horizontalAdvance(combo->itemText(i)));
        combo->view()->setMinimumWidth(widest + 24);
        // A name chosen from the list is written at once, as a bound drop-down does.
        connect(combo, &QComboBox::activated, this, &DBGridDelegate::commitSender);
        return combo;
    }

    if (isDate(field)) {
        QDateTimeEdit *edit
            = field->type() == FieldType::Date ? new QDateEdit(parent) : new QDateTimeEdit(parent);
        edit->setFrame(false);
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(FieldEditing::dateFormat(field->type()));
        edit->setMinimumDate(NoDate);
        edit->setSpecialValueText(QStringLiteral(" "));
        return edit;
    }

    auto *edit = new QLineEdit(parent);
    edit->setFrame(false);
    FieldEditing::fitLineEdit(edit, *field);
    return edit;
}

void DBGridDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    const Field *field = fieldOf(index);
    const QVariant value = index.data(Qt::EditRole);
    if (auto *combo = qobject_cast<QComboBox *>(editor)) {
        combo->setCurrentIndex(value.isNull() ? -1 : combo->findText(value.toString()));
    } else if (auto *dateEdit = qobject_cast<QDateTimeEdit *>(editor)) {
        if (value.typeId() == QMetaType::QDateTime)
            dateEdit->setDateTime(value.toDateTime());
        else if (value.toDate().isValid())
            dateEdit->setDate(value.toDate());
        else
            dateEdit->setDate(NoDate);
    } else if (auto *lineEdit = qobject_cast<QLineEdit *>(editor); lineEdit && field) {
        lineEdit->setText(FieldEditing::editText(value));
    } else {
        QStyledItemDelegate::setEditorData(editor, index);
    }
}

void DBGridDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                  const QModelIndex &index) const
{
    const Field *field = fieldOf(index);
    if (auto *combo = qobject_cast<QComboBox *>(editor)) {
        if (combo->currentIndex() >= 0)
            model->setData(index, combo->currentText());
    } else if (auto *dateEdit = qobject_cast<QDateTimeEdit *>(editor)) {
        if (dateEdit->date() == NoDate)
            model->setData(index, QVariant());
        else if (field && field->type() == FieldType::DateTime)
            model->setData(index, dateEdit->dateTime());
        else
            model->setData(index, dateEdit->date());
    } else if (auto *lineEdit = qobject_cast<QLineEdit *>(editor); lineEdit && field) {
        model->setData(index, FieldEditing::typedValue(*field, lineEdit->text()));
    } else {
        QStyledItemDelegate::setModelData(editor, model, index);
    }
}

void DBGridDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                          const QModelIndex &index) const
{
    if (qobject_cast<QComboBox *>(editor) || qobject_cast<QDateTimeEdit *>(editor)) {
        // Narrow columns still get a usable drop-down button and date.
        QRect rect = option.rect;
        rect.setWidth(qMax(rect.width(), editor->minimumSizeHint().width()));
        editor->setGeometry(rect);
        return;
    }
    QStyledItemDelegate::updateEditorGeometry(editor, option, index);
}

void DBGridDelegate::commitSender()
{
    if (auto *editor = qobject_cast<QWidget *>(sender()))
        Q_EMIT commitData(editor);
}
