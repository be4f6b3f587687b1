#include "Kestrix/rendering/DecorationStrokePainter.h"

#include <QPainter>
#include <QPolygonF>

namespace kestrix {

// Decorations stay on whole device pixels: no anti-aliasing. Qt counts dashes in pen widths.
void paintDecorationStroke(QPainter &painter, const DecorationStroke &stroke, const QColor &color)
{
    if (stroke.points.size() < 2 || !(stroke.width > 0)) {
        return;
    }
    QPen pen(color, stroke.width);
    pen.setCapStyle(stroke.cap == StrokeCap::round ? Qt::RoundCap : Qt::FlatCap);
    if (stroke.isDashed()) {
        pen.setDashPattern({stroke.dash / stroke.width, stroke.gap / stroke.width});
        pen.setDashOffset(0);
    }
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    QPolygonF line;
    line.reserve(static_cast<qsizetype>(stroke.points.size()));
    for (PointF point : stroke.points) {
        line << QPointF(point.x, point.y);
    }
    painter.drawPolyline(line);
}

} // namespace kestrix
