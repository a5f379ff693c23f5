#pragma once

#include <QByteArray>
#include <QColor>
#include <QMarginsF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <vector>

// A banded report template. Every length is in millimetres; an object's left edge is measured
// from the page's left edge, its top from the top of its band.

enum class BandKind { ReportTitle, PageHeader, MasterData, MasterFooter, PageFooter };

enum class ObjectKind { Text, RichText, CheckBox, Rectangle, RoundedRectangle, Ellipse, Line };

// How a text box writes the value of an expression that is its whole text.
enum class ValueFormat {
    Plain, // as the workstation writes it
    GroupedDecimals, // "#,###.##": thousands grouped, up to two decimals, zero blank
    GroupedInteger, // thousands grouped, no decimals, zero as 0
    Date // the short date format
};

struct ReportObject
{
    ObjectKind kind = ObjectKind::Text;
    QString name;
    QRectF geometry; // a line runs from the top left to the bottom right corner
    // Text: literal text with [expressions]; rich text: HTML with [expressions];
    // check box: an expression, checked when its value is true or a non-zero number.
    QString text;
    QString fontFamily = QStringLiteral("Arial");
    double fontSize = 10; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    QColor color = Qt::black;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop;
    bool frame = false; // shapes and lines always draw their outline
    double frameWidth = 0.2;
    QColor frameColor = Qt::black;
    QColor fill; // invalid: no fill
    bool wordWrap = true;
    bool stretch = true; // grows downwards when its text does not fit
    ValueFormat format = ValueFormat::Plain;

    bool operator==(const ReportObject &) const = default;
};

struct ReportBand
{
    BandKind kind = BandKind::MasterData;
    double height = 10;
    QString dataSource; // master data: the name of the source it runs over
    std::vector<ReportObject> objects;

    bool operator==(const ReportBand &) const = default;
};

struct ReportPage
{
    QSizeF size {210, 297}; // as the paper is used, so landscape has width > height
    QMarginsF margins {10, 10, 10, 10};
    std::vector<ReportBand> bands;

    bool operator==(const ReportPage &) const = default;
};

struct ReportTemplate
{
    std::vector<ReportPage> pages;

    bool isEmpty() const { return pages.empty(); }

    // The stored form (kept in TREPORT.FFRF): a versioned format that load reads back into
    // an equal template and save writes again byte for byte.
    QByteArray save() const;
    // False, with a message for the user in *error, when the bytes are not a template this
    // program can read; the template is then left empty.
    bool load(const QByteArray &bytes, QString *error);

    bool operator==(const ReportTemplate &) const = default;
};
