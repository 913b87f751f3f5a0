#include "app/AppIcon.h"

#include <QPainter>

namespace {

// From the 16-colour palette, so the icon looks at home beside the older icons of a notification area.
const QColor Black(0, 0, 0);
const QColor Maroon(128, 0, 0);
const QColor Red(255, 0, 0);
const QColor Yellow(255, 255, 0);
const QColor Olive(128, 128, 0);
const QColor Gray(128, 128, 128);
const QColor White(255, 255, 255);

QPen Line(const QColor &color, qreal width)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

} // namespace

QPixmap DrawAppIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);

    // Legs, then the two bells and the hammer between them, all partly hidden by the body.
    p.setPen(Line(Gray, 2.4));
    p.drawLine(QPointF(9.5, 25.5), QPointF(6.5, 30));
    p.drawLine(QPointF(22.5, 25.5), QPointF(25.5, 30));
    p.setPen(Line(Olive, 1.2));
    p.setBrush(Yellow);
    for (const qreal x : {7.5, 24.5})
        p.drawEllipse(QPointF(x, 7.5), 5.5, 5.5);
    p.setPen(Line(Gray, 1.6));
    p.drawLine(QPointF(16, 2.5), QPointF(16, 6));
    p.setPen(Line(Olive, 1));
    p.drawEllipse(QPointF(16, 2.5), 1.6, 1.6);

    // The body and its white face with a mark at each quarter.
    p.setPen(Line(Maroon, 1.4));
    p.setBrush(Red);
    p.drawEllipse(QPointF(16, 17), 12, 12);
    p.setPen(Qt::NoPen);
    p.setBrush(White);
    p.drawEllipse(QPointF(16, 17), 9, 9);
    p.setPen(Line(Black, 1.4));
    p.drawLine(QPointF(16, 9.5), QPointF(16, 11));
    p.drawLine(QPointF(23.5, 17), QPointF(22, 17));
    p.drawLine(QPointF(16, 24.5), QPointF(16, 23));
    p.drawLine(QPointF(8.5, 17), QPointF(10, 17));

    // Hands at ten past ten.
    p.setPen(Line(Black, 1.8));
    p.drawLine(QPointF(16, 17), QPointF(11.8, 14.6));
    p.setPen(Line(Black, 1.3));
    p.drawLine(QPointF(16, 17), QPointF(20.6, 11.2));
    p.setPen(Qt::NoPen);
    p.setBrush(Red);
    p.drawEllipse(QPointF(16, 17), 1.3, 1.3);
    return pixmap;
}

QIcon AppIcon()
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(DrawAppIcon(size));
    return icon;
}
