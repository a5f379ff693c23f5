#include "app/uAbout.h"

#include "widgets/ContrastColour.h"

#include "app/Catalogue.h"
#include "store/DbError.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QUrlQuery>

const QString TfAbout::mailAddress = QStringLiteral("info@brenk.ru");
const QString TfAbout::webAddress = QStringLiteral("https://brenk.ru");

namespace {

QLabel *label(QWidget *parent, const QString &text, int x, int y, int pixelSize = 0,
              bool bold = false)
{
    auto *l = new QLabel(text, parent);
    QFont f = l->font();
    if (pixelSize > 0)
        f.setPixelSize(pixelSize);
    f.setBold(bold);
    l->setFont(f);
    l->move(x, y);
    l->adjustSize();
    return l;
}

QLabel *link(QWidget *parent, const QString &text, const QString &target, int x, int y)
{
    const QPalette &pal = parent->palette();
    const QColor colour
        = ContrastColour::readableOn(pal.color(QPalette::Link), pal.color(QPalette::Window));
    QLabel *l = label(parent,
                      QStringLiteral("<a href=\"%1\" style=\"color:%2\">%3</a>")
                          .arg(target.toHtmlEscaped(), colour.name(), text.toHtmlEscaped()),
                      x, y);
    l->setTextFormat(Qt::RichText);
    l->setCursor(Qt::PointingHandCursor);
    l->adjustSize();
    return l;
}

} // namespace

TfAbout::TfAbout(Catalogue &data, QWidget *parent)
    : QDialog(parent), openUrl([](const QUrl &url) { QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("fAbout"));
    setWindowTitle(QStringLiteral("О программе"));
    setFixedSize(339, 193);
    // The layout's fixed positions are made for an 8-point interface font.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    setAutoFillBackground(true);
    // A card on the theme's text ground: white on a light theme, dark on a dark one.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Base));
    pal.setColor(QPalette::WindowText, pal.color(QPalette::Text));
    setPalette(pal);

    auto *title = new QLabel(QStringLiteral("KODRA"), this);
    QFont titleFont(QStringLiteral("Times New Roman"));
    titleFont.setPixelSize(29);
    titleFont.setBold(true);
    titleFont.setItalic(true);
    title->setFont(titleFont);
    // Large bold letters read at 3:1.
    QPalette titlePalette = title->palette();
    titlePalette.setColor(QPalette::WindowText,
                          ContrastColour::readableOn(Qt::red, pal.color(QPalette::Window), 3.0));
    title->setPalette(titlePalette);
    title->setAlignment(Qt::AlignCenter);
    title->setGeometry(0, 0, width(), 33);
    auto *shadow = new QGraphicsDropShadowEffect(title);
    shadow->setColor(Qt::gray);
    shadow->setOffset(2, 2);
    shadow->setBlurRadius(0);
    title->setGraphicsEffect(shadow);

    QLabel *description
        = label(this, QStringLiteral("База данных компакт-дисков и других носителей"), 8, 40, 16);
    description->setWordWrap(true);
    description->setFixedSize(243, 41);

    label(this, QStringLiteral("Brenk"), 8, 88, 13);
    label(this, QStringLiteral("freeware"), 192, 88);
    QUrl mail(QStringLiteral("mailto:") + mailAddress);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"), QStringLiteral("KODRA"));
    mail.setQuery(query);
    lMail = link(this, QStringLiteral("E-mail:") + mailAddress, mail.toString(), 8, 108);
    lWeb = link(this, webAddress, webAddress, 136, 107);
    connect(lMail, &QLabel::linkActivated, this, &TfAbout::openLink);
    connect(lWeb, &QLabel::linkActivated, this, &TfAbout::openLink);

    label(this, QStringLiteral("Версия базы данных:"), 8, 128);
    lVer = label(this, QStringLiteral("нет соединения"), 132, 128, 0, true);
    label(this, QStringLiteral("Версия клиента:"), 8, 144);
    lVerClt = label(this, QStringLiteral("1.0"), 132, 144, 0, true);
    label(this, QStringLiteral("Сборка:"), 8, 164);
    const QDate built = QFileInfo(QCoreApplication::applicationFilePath()).lastModified().date();
    lDate = label(this, QLocale().toString(built, QLocale::ShortFormat), 68, 164, 0, true);

    bOK = new QPushButton(QStringLiteral("OK"), this);
    bOK->setGeometry(232, 156, 95, 25);
    bOK->setCursor(Qt::PointingHandCursor);
    bOK->setDefault(true);
    connect(bOK, &QPushButton::clicked, this, &QDialog::accept);

    if (data.DefDatabase().isConnected()) {
        try {
            data.spVer().execute();
            lVer->setText(data.spVer().paramAsString(QStringLiteral("VERSION")));
        } catch (const DbError &e) {
            lVer->setText(QStringLiteral("Ошибка ") + e.text());
        }
        lVer->adjustSize();
    }
}

void TfAbout::openLink(const QString &link)
{
    if (openUrl)
        openUrl(QUrl(link));
}
