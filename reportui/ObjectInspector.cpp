#include "reportui/ObjectInspector.h"

#include "reportengine/DesignNames.h"
#include "reportengine/ObjectPainter.h"
#include "reportui/DesignCanvas.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace {

struct Paper
{
    const char *name;
    double width;
    double height;
};

// Portrait sizes in millimetres; the last entry stands for any other size.
constexpr Paper papers[]
    = {{"A4", 210, 297},         {"A5", 148, 210},         {"A6", 105, 148},
       {"Letter", 215.9, 279.4}, {"Конверт C5", 162, 229}, {"Конверт DL", 110, 220}};

const std::pair<const char *, Qt::Alignment> horizontal[] = {{"по левому краю", Qt::AlignLeft},
                                                             {"по центру", Qt::AlignHCenter},
                                                             {"по правому краю", Qt::AlignRight},
                                                             {"по ширине", Qt::AlignJustify}};
const std::pair<const char *, Qt::Alignment> vertical[]
    = {{"сверху", Qt::AlignTop}, {"посередине", Qt::AlignVCenter}, {"снизу", Qt::AlignBottom}};
const std::pair<const char *, ValueFormat> formats[]
    = {{"как есть", ValueFormat::Plain},
       {"#,###.##", ValueFormat::GroupedDecimals},
       {"#,### без дробной части", ValueFormat::GroupedInteger},
       {"дата", ValueFormat::Date}};

bool near(double a, double b)
{
    return std::abs(a - b) < 0.05;
}

} // namespace

ObjectInspector::ObjectInspector(DesignCanvas &canvas, const QString &source,
                                 const QStringList &fields, QWidget *parent)
    : QWidget(parent), m_canvas(canvas), m_source(source)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(buildPage());
    layout->addWidget(buildBand());
    layout->addWidget(buildObject());
    layout->addStretch(1);
    for (const QString &field : fields)
        m_fields->addItem(field);
    m_fields->setEnabled(!fields.isEmpty());
    m_bandSource->addItem(source);

    connect(&m_canvas, &DesignCanvas::selectionChanged, this, &ObjectInspector::refresh);
    connect(&m_canvas, &DesignCanvas::changed, this, &ObjectInspector::refresh);
    connect(&m_canvas, &DesignCanvas::editRequested, this, &ObjectInspector::editText);
    refresh();
}

QDoubleSpinBox *ObjectInspector::millimetres(double maximum)
{
    auto *box = new QDoubleSpinBox(this);
    box->setDecimals(1);
    box->setRange(0, maximum);
    box->setSingleStep(0.5);
    box->setSuffix(QStringLiteral(" мм"));
    box->setKeyboardTracking(false);
    return box;
}

QGroupBox *ObjectInspector::buildPage()
{
    m_pageBox = new QGroupBox(tr("Страница"), this);
    auto *form = new QFormLayout(m_pageBox);
    m_paper = new QComboBox(m_pageBox);
    m_paper->setObjectName(QStringLiteral("paper"));
    for (const Paper &paper : papers)
        m_paper->addItem(QString::fromUtf8(paper.name));
    m_paper->addItem(tr("Свой размер"));
    m_orientation = new QComboBox(m_pageBox);
    m_orientation->setObjectName(QStringLiteral("orientation"));
    m_orientation->addItems({tr("Книжная"), tr("Альбомная")});
    m_pageWidth = millimetres(2000);
    m_pageWidth->setObjectName(QStringLiteral("pageWidth"));
    m_pageHeight = millimetres(2000);
    m_pageHeight->setObjectName(QStringLiteral("pageHeight"));
    m_marginLeft = millimetres(500);
    m_marginTop = millimetres(500);
    m_marginRight = millimetres(500);
    m_marginBottom = millimetres(500);
    m_marginLeft->setObjectName(QStringLiteral("marginLeft"));
    m_marginTop->setObjectName(QStringLiteral("marginTop"));
    m_marginRight->setObjectName(QStringLiteral("marginRight"));
    m_marginBottom->setObjectName(QStringLiteral("marginBottom"));
    form->addRow(tr("Бумага"), m_paper);
    form->addRow(tr("Ориентация"), m_orientation);
    form->addRow(tr("Ширина"), m_pageWidth);
    form->addRow(tr("Высота"), m_pageHeight);
    form->addRow(tr("Поле слева"), m_marginLeft);
    form->addRow(tr("Поле сверху"), m_marginTop);
    form->addRow(tr("Поле справа"), m_marginRight);
    form->addRow(tr("Поле снизу"), m_marginBottom);

    connect(m_paper, &QComboBox::activated, this, [this](int index) {
        if (index >= int(std::size(papers)))
            return;
        ReportPage &page = m_canvas.page();
        const bool landscape = page.size.width() > page.size.height();
        QSizeF size(papers[index].width, papers[index].height);
        page.size = landscape ? size.transposed() : size;
        pageEdited();
    });
    connect(m_orientation, &QComboBox::activated, this, [this](int index) {
        ReportPage &page = m_canvas.page();
        const bool landscape = index == 1;
        if (landscape != (page.size.width() > page.size.height()))
            page.size.transpose();
        pageEdited();
    });
    // Each value on its own: the others keep what the editors cannot show exactly.
    auto pageValue = [this](QDoubleSpinBox *box, void (*apply)(ReportPage &, double)) {
        connect(box, &QDoubleSpinBox::valueChanged, this, [this, apply](double value) {
            if (m_loading)
                return;
            apply(m_canvas.page(), value);
            pageEdited();
        });
    };
    pageValue(m_pageWidth, [](ReportPage &p, double v) { p.size.setWidth(std::max(10.0, v)); });
    pageValue(m_pageHeight, [](ReportPage &p, double v) { p.size.setHeight(std::max(10.0, v)); });
    pageValue(m_marginLeft, [](ReportPage &p, double v) { p.margins.setLeft(v); });
    pageValue(m_marginTop, [](ReportPage &p, double v) { p.margins.setTop(v); });
    pageValue(m_marginRight, [](ReportPage &p, double v) { p.margins.setRight(v); });
    pageValue(m_marginBottom, [](ReportPage &p, double v) { p.margins.setBottom(v); });
    return m_pageBox;
}

QGroupBox *ObjectInspector::buildBand()
{
    m_bandBox = new QGroupBox(tr("Полоса"), this);
    auto *form = new QFormLayout(m_bandBox);
    m_bandKind = new QLabel(m_bandBox);
    m_bandHeight = millimetres(1000);
    m_bandHeight->setObjectName(QStringLiteral("bandHeight"));
    m_bandSource = new QComboBox(m_bandBox);
    m_bandSource->setObjectName(QStringLiteral("bandSource"));
    m_bandSource->setEditable(true);
    form->addRow(tr("Вид"), m_bandKind);
    form->addRow(tr("Высота"), m_bandHeight);
    form->addRow(tr("Источник"), m_bandSource);
    connect(m_bandHeight, &QDoubleSpinBox::valueChanged, this, [this](double value) {
        editBand([value](ReportBand &band) {
            double lowest = 0;
            for (const ReportObject &object : band.objects)
                lowest = std::max(lowest, object.geometry.bottom());
            // A band is never cut below its lowest object.
            band.height = std::max(value, lowest);
        });
    });
    connect(m_bandSource, &QComboBox::currentTextChanged, this, [this](const QString &text) {
        editBand([&text](ReportBand &band) {
            if (band.kind == BandKind::MasterData)
                band.dataSource = text.trimmed();
        });
    });
    return m_bandBox;
}

QGroupBox *ObjectInspector::buildObject()
{
    m_objectBox = new QGroupBox(tr("Объект"), this);
    auto *form = new QFormLayout(m_objectBox);
    m_name = new QLineEdit(m_objectBox);
    m_name->setObjectName(QStringLiteral("name"));
    form->addRow(tr("Имя"), m_name);

    m_left = millimetres(2000);
    m_top = millimetres(2000);
    m_width = millimetres(2000);
    m_height = millimetres(2000);
    m_left->setObjectName(QStringLiteral("left"));
    m_top->setObjectName(QStringLiteral("top"));
    m_width->setObjectName(QStringLiteral("width"));
    m_height->setObjectName(QStringLiteral("height"));
    auto *place = new QHBoxLayout;
    place->addWidget(m_left);
    place->addWidget(m_top);
    auto *size = new QHBoxLayout;
    size->addWidget(m_width);
    size->addWidget(m_height);
    form->addRow(tr("Слева, сверху"), place);
    form->addRow(tr("Ширина, высота"), size);

    m_text = new QPlainTextEdit(m_objectBox);
    m_text->setObjectName(QStringLiteral("text"));
    m_text->setTabChangesFocus(true);
    m_text->setFixedHeight(70);
    form->addRow(tr("Текст"), m_text);
    m_fields = new QListWidget(m_objectBox);
    m_fields->setObjectName(QStringLiteral("fields"));
    m_fields->setFixedHeight(90);
    m_fields->setToolTip(tr("Двойной щелчок или Enter вставляет поле в текст"));
    form->addRow(tr("Поля"), m_fields);

    m_font = new QFontComboBox(m_objectBox);
    m_font->setObjectName(QStringLiteral("font"));
    m_fontSize = new QDoubleSpinBox(m_objectBox);
    m_fontSize->setObjectName(QStringLiteral("fontSize"));
    m_fontSize->setRange(1, 400);
    m_fontSize->setDecimals(1);
    m_fontSize->setKeyboardTracking(false);
    auto *font = new QHBoxLayout;
    font->addWidget(m_font, 1);
    font->addWidget(m_fontSize);
    form->addRow(tr("Шрифт"), font);
    m_bold = new QCheckBox(tr("Ж"), m_objectBox);
    m_italic = new QCheckBox(tr("К"), m_objectBox);
    m_underline = new QCheckBox(tr("Ч"), m_objectBox);
    m_bold->setObjectName(QStringLiteral("bold"));
    m_italic->setObjectName(QStringLiteral("italic"));
    m_underline->setObjectName(QStringLiteral("underline"));
    m_color = new QToolButton(m_objectBox);
    m_color->setObjectName(QStringLiteral("color"));
    auto *style = new QHBoxLayout;
    style->addWidget(m_bold);
    style->addWidget(m_italic);
    style->addWidget(m_underline);
    style->addWidget(m_color);
    style->addStretch(1);
    form->addRow(tr("Начертание"), style);

    m_hAlign = new QComboBox(m_objectBox);
    m_hAlign->setObjectName(QStringLiteral("hAlign"));
    for (const auto &[name, flag] : horizontal)
        m_hAlign->addItem(QString::fromUtf8(name), int(flag));
    m_vAlign = new QComboBox(m_objectBox);
    m_vAlign->setObjectName(QStringLiteral("vAlign"));
    for (const auto &[name, flag] : vertical)
        m_vAlign->addItem(QString::fromUtf8(name), int(flag));
    auto *align = new QHBoxLayout;
    align->addWidget(m_hAlign);
    align->addWidget(m_vAlign);
    form->addRow(tr("Выравнивание"), align);

    m_frame = new QCheckBox(tr("Рамка"), m_objectBox);
    m_frame->setObjectName(QStringLiteral("frame"));
    m_frameWidth = millimetres(10);
    m_frameWidth->setDecimals(2);
    m_frameWidth->setObjectName(QStringLiteral("frameWidth"));
    m_frameWidth->setSingleStep(0.1);
    m_frameColor = new QToolButton(m_objectBox);
    m_frameColor->setObjectName(QStringLiteral("frameColor"));
    auto *frame = new QHBoxLayout;
    frame->addWidget(m_frame);
    frame->addWidget(m_frameWidth);
    frame->addWidget(m_frameColor);
    form->addRow(tr("Линия"), frame);
    m_filled = new QCheckBox(tr("Заливка"), m_objectBox);
    m_filled->setObjectName(QStringLiteral("filled"));
    m_fill = new QToolButton(m_objectBox);
    m_fill->setObjectName(QStringLiteral("fill"));
    auto *fill = new QHBoxLayout;
    fill->addWidget(m_filled);
    fill->addWidget(m_fill);
    fill->addStretch(1);
    form->addRow(QString(), fill);
    m_wordWrap = new QCheckBox(tr("Перенос слов"), m_objectBox);
    m_wordWrap->setObjectName(QStringLiteral("wordWrap"));
    m_stretch = new QCheckBox(tr("Растягивать вниз"), m_objectBox);
    m_stretch->setObjectName(QStringLiteral("stretch"));
    auto *flow = new QHBoxLayout;
    flow->addWidget(m_wordWrap);
    flow->addWidget(m_stretch);
    form->addRow(QString(), flow);
    m_format = new QComboBox(m_objectBox);
    m_format->setObjectName(QStringLiteral("format"));
    for (const auto &[name, format] : formats)
        m_format->addItem(QString::fromUtf8(name), int(format));
    form->addRow(tr("Формат"), m_format);

    // Each editor writes its own property only, so that what it cannot show exactly (a
    // hundredth of a millimetre, a font this machine lacks) stays as the template has it.
    auto number = [this](QDoubleSpinBox *box, void (*apply)(ReportObject &, double)) {
        connect(box, &QDoubleSpinBox::valueChanged, this, [this, apply](double value) {
            editObject([&](ReportObject &o) { apply(o, value); });
        });
    };
    number(m_left, [](ReportObject &o, double v) { o.geometry.moveLeft(v); });
    number(m_top, [](ReportObject &o, double v) { o.geometry.moveTop(v); });
    number(m_width, [](ReportObject &o, double v) { o.geometry.setWidth(v); });
    number(m_height, [](ReportObject &o, double v) { o.geometry.setHeight(v); });
    number(m_fontSize, [](ReportObject &o, double v) { o.fontSize = v; });
    number(m_frameWidth, [](ReportObject &o, double v) { o.frameWidth = v; });
    auto flag = [this](QCheckBox *box, bool ReportObject::*member) {
        connect(box, &QCheckBox::toggled, this,
                [this, member](bool on) { editObject([&](ReportObject &o) { o.*member = on; }); });
    };
    flag(m_bold, &ReportObject::bold);
    flag(m_italic, &ReportObject::italic);
    flag(m_underline, &ReportObject::underline);
    flag(m_frame, &ReportObject::frame);
    flag(m_wordWrap, &ReportObject::wordWrap);
    flag(m_stretch, &ReportObject::stretch);
    connect(m_filled, &QCheckBox::toggled, this, [this](bool on) {
        QColor fill = m_fill->property("color").value<QColor>();
        if (!fill.isValid())
            fill = Qt::white;
        editObject([&](ReportObject &o) { o.fill = on ? fill : QColor(); });
    });
    connect(m_hAlign, &QComboBox::currentIndexChanged, this, [this] {
        const auto flags = Qt::Alignment(m_hAlign->currentData().toInt());
        editObject([&](ReportObject &o) {
            o.alignment = (o.alignment & ~Qt::AlignHorizontal_Mask) | flags;
        });
    });
    connect(m_vAlign, &QComboBox::currentIndexChanged, this, [this] {
        const auto flags = Qt::Alignment(m_vAlign->currentData().toInt());
        editObject([&](ReportObject &o) {
            o.alignment = (o.alignment & ~Qt::AlignVertical_Mask) | flags;
        });
    });
    connect(m_format, &QComboBox::currentIndexChanged, this, [this] {
        const auto format = ValueFormat(m_format->currentData().toInt());
        editObject([&](ReportObject &o) { o.format = format; });
    });
    connect(m_font, &QFontComboBox::currentFontChanged, this, [this](const QFont &font) {
        editObject([&](ReportObject &o) { o.fontFamily = font.family(); });
    });
    connect(m_name, &QLineEdit::textEdited, this,
            [this](const QString &name) { editObject([&](ReportObject &o) { o.name = name; }); });
    connect(m_text, &QPlainTextEdit::textChanged, this, [this] {
        const QString text = m_text->toPlainText();
        editObject([&](ReportObject &o) { o.text = text; });
    });
    for (QToolButton *button : {m_color, m_frameColor, m_fill})
        connect(button, &QToolButton::clicked, this, [this, button] { pickColor(button); });
    connect(m_fields, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { insertField(item->text()); });
    return m_objectBox;
}

void ObjectInspector::showColor(QToolButton *button, const QColor &color)
{
    button->setProperty("color", color);
    QPixmap swatch(16, 16);
    swatch.fill(color.isValid() ? color : QColor(Qt::white));
    button->setIcon(QIcon(swatch));
}

void ObjectInspector::pickColor(QToolButton *button)
{
    const QColor color = QColorDialog::getColor(button->property("color").value<QColor>(), this);
    if (!color.isValid())
        return;
    showColor(button, color);
    if (button == m_fill) {
        m_filled->setChecked(true);
        editObject([&](ReportObject &o) { o.fill = color; });
    } else if (button == m_color) {
        editObject([&](ReportObject &o) { o.color = color; });
    } else {
        editObject([&](ReportObject &o) { o.frameColor = color; });
    }
}

void ObjectInspector::refresh()
{
    m_loading = true;
    const ReportPage &page = m_canvas.page();
    ReportBand *band = m_canvas.selectedBand();
    ReportObject *object = m_canvas.selectedObject();
    m_pageBox->setVisible(!band);
    m_bandBox->setVisible(band && !object);
    m_objectBox->setVisible(object != nullptr);

    const bool landscape = page.size.width() > page.size.height();
    m_orientation->setCurrentIndex(landscape ? 1 : 0);
    const QSizeF portrait = landscape ? page.size.transposed() : page.size;
    int paper = int(std::size(papers));
    for (int i = 0; i < int(std::size(papers)); ++i) {
        if (near(portrait.width(), papers[i].width) && near(portrait.height(), papers[i].height))
            paper = i;
    }
    m_paper->setCurrentIndex(paper);
    m_pageWidth->setValue(page.size.width());
    m_pageHeight->setValue(page.size.height());
    m_marginLeft->setValue(page.margins.left());
    m_marginTop->setValue(page.margins.top());
    m_marginRight->setValue(page.margins.right());
    m_marginBottom->setValue(page.margins.bottom());

    if (band) {
        m_bandKind->setText(DesignNames::bandName(band->kind));
        m_bandHeight->setValue(band->height);
        m_bandSource->setEnabled(band->kind == BandKind::MasterData);
        m_bandSource->setCurrentText(band->dataSource);
    }
    if (object) {
        m_objectBox->setTitle(DesignNames::objectName(object->kind));
        m_name->setText(object->name);
        m_left->setValue(object->geometry.left());
        m_top->setValue(object->geometry.top());
        m_width->setValue(object->geometry.width());
        m_height->setValue(object->geometry.height());
        if (m_text->toPlainText() != object->text)
            m_text->setPlainText(object->text);
        const bool hasText = object->kind == ObjectKind::Text
            || object->kind == ObjectKind::RichText || object->kind == ObjectKind::CheckBox;
        const bool hasFont
            = object->kind == ObjectKind::Text || object->kind == ObjectKind::RichText;
        m_text->setEnabled(hasText);
        m_fields->setEnabled(hasText && m_fields->count() > 0);
        for (QWidget *w : std::initializer_list<QWidget *> {
                 m_font, m_fontSize, m_bold, m_italic, m_underline, m_color, m_hAlign, m_vAlign,
                 m_wordWrap, m_stretch, m_format})
            w->setEnabled(hasFont);
        QFont shown;
        shown.setFamilies({ObjectPainter::fontFamily(*object)});
        m_font->setCurrentFont(shown);
        m_fontSize->setValue(object->fontSize);
        m_bold->setChecked(object->bold);
        m_italic->setChecked(object->italic);
        m_underline->setChecked(object->underline);
        showColor(m_color, object->color);
        int h = 0;
        for (int i = 0; i < int(std::size(horizontal)); ++i) {
            if (object->alignment & horizontal[i].second)
                h = i;
        }
        m_hAlign->setCurrentIndex(h);
        int v = 0;
        for (int i = 0; i < int(std::size(vertical)); ++i) {
            if (object->alignment & vertical[i].second)
                v = i;
        }
        m_vAlign->setCurrentIndex(v);
        m_frame->setChecked(object->frame);
        m_frame->setEnabled(hasFont);
        m_frameWidth->setValue(object->frameWidth);
        showColor(m_frameColor, object->frameColor);
        m_filled->setChecked(object->fill.isValid());
        showColor(m_fill, object->fill);
        m_wordWrap->setChecked(object->wordWrap);
        m_stretch->setChecked(object->stretch);
        m_format->setCurrentIndex(m_format->findData(int(object->format)));
    }
    m_loading = false;
}

void ObjectInspector::pageEdited()
{
    m_canvas.setZoom(m_canvas.zoom()); // the page's size in pixels follows
    refresh();
    Q_EMIT changed();
}

void ObjectInspector::editBand(const std::function<void(ReportBand &)> &change)
{
    ReportBand *band = m_canvas.selectedBand();
    if (m_loading || !band)
        return;
    change(*band);
    m_canvas.setZoom(m_canvas.zoom());
    Q_EMIT changed();
}

void ObjectInspector::editObject(const std::function<void(ReportObject &)> &change)
{
    ReportObject *object = m_canvas.selectedObject();
    if (m_loading || !object)
        return;
    change(*object);
    ReportBand &band = *m_canvas.selectedBand();
    band.height = std::max(band.height, object->geometry.bottom());
    m_canvas.setZoom(m_canvas.zoom());
    Q_EMIT changed();
}

void ObjectInspector::editText()
{
    if (!m_canvas.selectedObject())
        return;
    m_text->setFocus(Qt::OtherFocusReason);
    m_text->moveCursor(QTextCursor::End);
}

void ObjectInspector::insertField(const QString &field)
{
    if (!m_canvas.selectedObject())
        return;
    m_text->insertPlainText(QStringLiteral("[%1.\"%2\"]").arg(m_source, field));
    m_text->setFocus(Qt::OtherFocusReason);
}
