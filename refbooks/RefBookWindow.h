#pragma once

#include "store/TableDataSet.h"
#include "widgets/DataSetModel.h"

#include <QDialog>

class DBGrid;
class DbError;
class Catalogue;
class QPushButton;

// One reference book (people, media types, media groups): a table edited in place in a grid,
// new rows keyed from GETNEXTID, and OK that stores the row still being edited. The close box
// stores nothing more: a row not yet stored is lost with the window's dataset. Rows stored by
// moving between them stay stored either way; nothing is committed here.
class RefBookWindow : public QDialog
{
    Q_OBJECT

public:
    struct Design
    {
        QString caption;
        QString tableName;
        QString dataSetName;
        QString keyField;
        QList<DataSetModel::Column> columns;
        // What the user reads instead of the engine's text (which stays in the details):
        // Ctrl+Delete's question, the refusal of a row without a name, and per foreign key
        // constraint that keeps a row in use, what uses it and what to do.
        QString deleteQuestion;
        QString nameRequired;
        QList<std::pair<QString, QString>> inUse;
    };

    RefBookWindow(Catalogue &data, const Design &design, QWidget *parent = nullptr);
    ~RefBookWindow() override;

    // OK: the window's result first, then the row being edited is stored; the window ends
    // even when storing fails.
    void BitBtn1Click();

    TableDataSet &dataSet() { return m_dataSet; }
    DBGrid *DBGridEh1 = nullptr;
    QPushButton *BitBtn1 = nullptr;

private:
    void dataSetAfterInsert(QueryDataSet &ds);
    static QString explain(const Design &design, const DbError &error);

    Catalogue &m_data;
    QString m_keyField;
    TableDataSet m_dataSet;
};
