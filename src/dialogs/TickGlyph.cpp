#include "dialogs/TickGlyph.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace {

constexpr int GlyphSize = 18;

QPixmap Tick(int size, const QColor &colour)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / double(GlyphSize), size / double(GlyphSize));
    painter.setPen(QPen(colour, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF stroke[] = {{3.5, 9.5}, {7.5, 13.5}, {14.5, 4.5}};
    painter.drawPolyline(stroke, 3);
    return pixmap;
}

} // namespace

QIcon TickGlyph()
{
    QIcon icon;
    for (const int size : {GlyphSize, 2 * GlyphSize}) {
        icon.addPixmap(Tick(size, QColor(0, 128, 0)), QIcon::Normal);
        icon.addPixmap(Tick(size, QColor(128, 128, 128)), QIcon::Disabled);
    }
    return icon;
}
