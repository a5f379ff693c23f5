#include "widgets/IconSet.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace IconSet {

namespace {

const char *themeName(int index)
{
    switch (index) {
    case About:
        return "help-about";
    case FolderMarked:
        return "folder-important";
    case FolderOpen:
        return "folder-open";
    case FolderClosed:
        return "folder";
    case Connect:
        return "network-connect";
    case Find:
        return "edit-find";
    case Setup:
        return "preferences-system";
    case Exit:
        return "application-exit";
    case Give:
        return "x-office-address-book";
    case Save:
        return "document-save";
    case Install:
        return "document-new";
    case Add:
        return "list-add";
    case Delete:
        return "edit-delete";
    case Groups:
        return "view-list-tree";
    case People:
        return "system-users";
    case Types:
        return "media-optical";
    case Edit:
        return "document-edit";
    case Reports:
        return "document-print";
    case Refresh:
        return "view-refresh";
    default:
        return "";
    }
}

void drawFolder(QPainter &p, bool open, bool marked)
{
    p.setPen(QPen(QColor(150, 110, 20), 0.8));
    p.setBrush(QColor(240, 200, 90));
    QPainterPath back;
    back.moveTo(1.5, 3.5);
    back.lineTo(6, 3.5);
    back.lineTo(7.5, 5);
    back.lineTo(14.5, 5);
    back.lineTo(14.5, 13.5);
    back.lineTo(1.5, 13.5);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(QColor(250, 220, 120));
    if (open) {
        QPolygonF front({{3.5, 7.5}, {15.5, 7.5}, {13.5, 13.5}, {1.5, 13.5}});
        p.drawPolygon(front);
    } else {
        p.drawRect(QRectF(1.5, 6.5, 13, 7));
    }
    if (marked) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(220, 30, 30));
        p.drawEllipse(QRectF(10, 9, 5.5, 5.5));
    }
}

void drawPicture(QPainter &p, int index)
{
    const QPen dark(QColor(50, 50, 60), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (index) {
    case FolderMarked:
        drawFolder(p, false, true);
        break;
    case FolderOpen:
        drawFolder(p, true, false);
        break;
    case FolderClosed:
        drawFolder(p, false, false);
        break;
    case About:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 100, 200));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(7, 3.5, 2, 2));
        p.drawRect(QRectF(7, 6.5, 2, 6));
        break;
    case Connect:
        p.setPen(dark);
        p.setBrush(QColor(90, 170, 90));
        p.drawRect(QRectF(2.5, 5.5, 5, 5));
        p.drawRect(QRectF(8.5, 5.5, 5, 5));
        p.drawLine(QPointF(0.5, 8), QPointF(2.5, 8));
        p.drawLine(QPointF(13.5, 8), QPointF(15.5, 8));
        break;
    case Find:
        p.setPen(QPen(QColor(50, 50, 60), 1.8, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(QColor(200, 225, 250));
        p.drawEllipse(QRectF(2, 2, 8, 8));
        p.drawLine(QPointF(9.5, 9.5), QPointF(14, 14));
        break;
    case Setup: {
        p.setPen(dark);
        p.setBrush(QColor(150, 150, 165));
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.translate(8, 8);
            p.rotate(45.0 * i);
            p.drawRect(QRectF(-1.5, -7, 3, 3));
            p.restore();
        }
        p.drawEllipse(QRectF(3, 3, 10, 10));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(6, 6, 4, 4));
        break;
    }
    case Exit:
        p.setPen(dark);
        p.setBrush(QColor(170, 120, 70));
        p.drawRect(QRectF(2.5, 1.5, 7, 13));
        p.setPen(QPen(QColor(200, 40, 40), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(QPointF(7, 8), QPointF(14.5, 8));
        p.drawLine(QPointF(12, 5.5), QPointF(14.5, 8));
        p.drawLine(QPointF(12, 10.5), QPointF(14.5, 8));
        break;
    case Give:
        p.setPen(dark);
        p.setBrush(QColor(230, 230, 240));
        p.drawEllipse(QRectF(1.5, 1.5, 11, 11));
        p.setBrush(QColor(40, 40, 40));
        p.drawEllipse(QRectF(6, 6, 2, 2));
        p.setPen(QPen(QColor(200, 40, 40), 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9, 10), QPointF(14.5, 14.5));
        break;
    case Save:
        p.setPen(dark);
        p.setBrush(QColor(60, 90, 170));
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, 1.5, 8, 5));
        p.setBrush(QColor(200, 200, 210));
        p.drawRect(QRectF(4, 9.5, 8, 5));
        break;
    case Install:
        p.setPen(dark);
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({{3.5, 1.5}, {10, 1.5}, {12.5, 4}, {12.5, 14.5}, {3.5, 14.5}}));
        p.setPen(QPen(QColor(40, 150, 40), 2));
        p.drawLine(QPointF(8, 7), QPointF(8, 13));
        p.drawLine(QPointF(5, 10), QPointF(11, 10));
        break;
    case Add:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 160, 40));
        p.drawRect(QRectF(6.5, 2, 3, 12));
        p.drawRect(QRectF(2, 6.5, 12, 3));
        break;
    case Delete:
        p.setPen(QPen(QColor(210, 40, 40), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
        break;
    case Groups:
        p.setPen(dark);
        p.setBrush(QColor(120, 170, 220));
        p.drawRect(QRectF(1.5, 1.5, 8, 5));
        p.setBrush(QColor(150, 200, 120));
        p.drawRect(QRectF(6.5, 9.5, 8, 5));
        p.drawLine(QPointF(4, 6.5), QPointF(4, 12));
        p.drawLine(QPointF(4, 12), QPointF(6.5, 12));
        break;
    case People:
        p.setPen(dark);
        p.setBrush(QColor(240, 200, 160));
        p.drawEllipse(QRectF(5, 1.5, 6, 6));
        p.setBrush(QColor(70, 120, 190));
        p.drawChord(QRectF(2, 8.5, 12, 12), 0, 180 * 16);
        break;
    case Types:
        p.setPen(dark);
        p.setBrush(QColor(205, 210, 225));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(QColor(160, 190, 230));
        p.drawEllipse(QRectF(4.5, 4.5, 7, 7));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(6.5, 6.5, 3, 3));
        break;
    case Edit:
        p.setPen(dark);
        p.setBrush(QColor(240, 190, 60));
        p.drawPolygon(QPolygonF({{11, 1.5}, {14.5, 5}, {5.5, 14}, {2, 14}, {2, 10.5}}));
        break;
    case Reports:
        p.setPen(dark);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(150, 150, 160));
        p.drawRect(QRectF(1.5, 6.5, 13, 6));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 10.5, 7, 4));
        break;
    case Refresh: {
        p.setPen(QPen(QColor(30, 120, 40), 2, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3, 3, 10, 10), 30 * 16, 280 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 120, 40));
        p.drawPolygon(QPolygonF({{9.5, 0.5}, {14.5, 4}, {9, 6.5}}));
        break;
    }
    default:
        p.setPen(dark);
        p.setBrush(QColor(220, 220, 230));
        p.drawRect(QRectF(2.5, 2.5, 11, 11));
        break;
    }
}

QPixmap render(int index, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    drawPicture(p, index);
    return pixmap;
}

} // namespace

QIcon drawn(int index)
{
    static QHash<int, QIcon> cache;
    auto it = cache.find(index);
    if (it == cache.end()) {
        QIcon icon;
        for (int size : {16, 24, 32, 48})
            icon.addPixmap(render(index, size));
        it = cache.insert(index, icon);
    }
    return *it;
}

QIcon icon(int index)
{
    return QIcon::fromTheme(QString::fromLatin1(themeName(index)), drawn(index));
}

} // namespace IconSet
