#pragma once

#include <QStringList>
#include <QWidget>
#include <functional>

#include "reportengine/ReportTemplate.h"

class DesignCanvas;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFontComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QToolButton;

// The designer's property panel: the page when nothing is selected, a band's height and
// source, or an object's geometry, text with the source's fields, font, alignment, frame,
// fill and value format. Every edit goes straight into the canvas's template.
class ObjectInspector : public QWidget
{
    Q_OBJECT

public:
    // fields: the data source's field names, offered as [source."FIELD"] expressions.
    ObjectInspector(DesignCanvas &canvas, const QString &source, const QStringList &fields,
                    QWidget *parent = nullptr);

    // Reads the selection's properties into the editors.
    void refresh();
    // Puts the cursor in the text editor of the selected object.
    void editText();
    // Inserts the field's expression at the text editor's cursor.
    void insertField(const QString &field);

    QPlainTextEdit *textEditor() const { return m_text; }
    QListWidget *fieldList() const { return m_fields; }

Q_SIGNALS:
    void changed();

private:
    QGroupBox *buildPage();
    QGroupBox *buildBand();
    QGroupBox *buildObject();
    QDoubleSpinBox *millimetres(double maximum);
    void pageEdited();
    void editBand(const std::function<void(ReportBand &)> &change);
    // Applies one editor's change to the selected object.
    void editObject(const std::function<void(ReportObject &)> &change);
    void pickColor(QToolButton *button);
    static void showColor(QToolButton *button, const QColor &color);

    DesignCanvas &m_canvas;
    QString m_source;
    bool m_loading = false;

    QGroupBox *m_pageBox = nullptr;
    QComboBox *m_paper = nullptr;
    QComboBox *m_orientation = nullptr;
    QDoubleSpinBox *m_pageWidth = nullptr;
    QDoubleSpinBox *m_pageHeight = nullptr;
    QDoubleSpinBox *m_marginLeft = nullptr;
    QDoubleSpinBox *m_marginTop = nullptr;
    QDoubleSpinBox *m_marginRight = nullptr;
    QDoubleSpinBox *m_marginBottom = nullptr;

    QGroupBox *m_bandBox = nullptr;
    QLabel *m_bandKind = nullptr;
    QDoubleSpinBox *m_bandHeight = nullptr;
    QComboBox *m_bandSource = nullptr;

    QGroupBox *m_objectBox = nullptr;
    QLineEdit *m_name = nullptr;
    QDoubleSpinBox *m_left = nullptr;
    QDoubleSpinBox *m_top = nullptr;
    QDoubleSpinBox *m_width = nullptr;
    QDoubleSpinBox *m_height = nullptr;
    QPlainTextEdit *m_text = nullptr;
    QListWidget *m_fields = nullptr;
    QFontComboBox *m_font = nullptr;
    QDoubleSpinBox *m_fontSize = nullptr;
    QCheckBox *m_bold = nullptr;
    QCheckBox *m_italic = nullptr;
    QCheckBox *m_underline = nullptr;
    QToolButton *m_color = nullptr;
    QComboBox *m_hAlign = nullptr;
    QComboBox *m_vAlign = nullptr;
    QCheckBox *m_frame = nullptr;
    QDoubleSpinBox *m_frameWidth = nullptr;
    QToolButton *m_frameColor = nullptr;
    QCheckBox *m_filled = nullptr;
    QToolButton *m_fill = nullptr;
    QCheckBox *m_wordWrap = nullptr;
    QCheckBox *m_stretch = nullptr;
    QComboBox *m_format = nullptr;
};
