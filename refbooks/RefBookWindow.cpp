#include "refbooks/RefBookWindow.h"

#include "app/Catalogue.h"
#include "refbooks/RefBooksLog.h"
#include "store/DbError.h"
#include "widgets/DBGrid.h"
#include "widgets/ErrorBox.h"
#include "widgets/ErrorExplainer.h"
#include "widgets/ScreenCentre.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <algorithm>

RefBookWindow::RefBookWindow(Catalogue &data, const Design &design, QWidget *parent)
    : QDialog(parent),
      m_data(data),
      m_keyField(design.keyField),
      m_dataSet(data.DefDatabase(), design.dataSetName, design.tableName)
{
    setWindowTitle(design.caption);
    setModal(true);
    setFixedSize(311, 364);
    moveToScreenCentre(*this);

    m_dataSet.afterInsert = [this](QueryDataSet &ds) { dataSetAfterInsert(ds); };

    DBGridEh1 = new DBGrid(this);
    DBGridEh1->setObjectName(QStringLiteral("DBGridEh1"));
    DBGridEh1->setGeometry(0, 0, 309, 329);
    DBGridEh1->setFrameShape(QFrame::NoFrame);
    DBGridEh1->setShowGrid(false);
    DBGridEh1->setRowKeys(true);
    DBGridEh1->setAppendOnDown(true);
    // The columns share the grid's width: the design widths are only their proportions.
    QList<DataSetModel::Column> columns = design.columns;
    for (DataSetModel::Column &c : columns)
        c.stretch = true;
    DBGridEh1->setDataSet(&m_dataSet, columns);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                              QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(220, 336, 75, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &RefBookWindow::BitBtn1Click);
    // The grid keeps Enter from the dialog; outside a cell editor it is the default button's.
    connect(DBGridEh1, &DBGrid::activatedByKey, BitBtn1, &QPushButton::click);

    DBGridEh1->setDeleteQuestion(design.deleteQuestion, QStringLiteral("Подтверждение"));
    new ErrorExplainer(this, [design](const DbError &e) { return explain(design, e); });

    // FormCreate: a failure is shown and the window opens all the same, its table closed.
    runCommand(this, [this] { m_dataSet.open(); });
}

RefBookWindow::~RefBookWindow()
{
    // A row not yet stored goes with the window.
    try {
        m_dataSet.close();
    } catch (const DbError &e) {
        // A connection that has gone away has nothing left to keep.
        qCInfo(lcRefBooks) << "reference book closed with" << e.text();
    }
}

QString RefBookWindow::explain(const Design &design, const DbError &error)
{
    // The data layer's own refusal names the field; the server's names the constraint.
    static const QRegularExpression required(QStringLiteral("^Field '(\\w+)' must have a value"));
    const QRegularExpressionMatch match = required.match(error.text());
    if (match.hasMatch()) {
        const bool name = std::any_of(
            design.columns.begin(), design.columns.end(),
            [&](const DataSetModel::Column &c) { return c.fieldName == match.captured(1); });
        return name ? design.nameRequired : QString();
    }
    for (const auto &[constraint, text] : design.inUse) {
        if (error.text().contains(QLatin1Char('"') + constraint + QLatin1Char('"')))
            return text;
    }
    return QString();
}

void RefBookWindow::dataSetAfterInsert(QueryDataSet &ds)
{
    m_data.assignNextId(ds, m_keyField);
}

void RefBookWindow::BitBtn1Click()
{
    // Text still being typed into a cell belongs to the row.
    DBGridEh1->commitEdit();
    setResult(QDialog::Accepted);
    runCommand(this, [this] {
        if (m_dataSet.state() == QueryDataSet::State::Edit
            || m_dataSet.state() == QueryDataSet::State::Insert)
            m_dataSet.post();
    });
    done(QDialog::Accepted);
}
