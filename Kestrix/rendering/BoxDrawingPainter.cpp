#include "Kestrix/rendering/BoxDrawingPainter.h"

#include <QPainter>
#include <QPainterPath>

namespace kestrix {

namespace {

QPointF toQPoint(PointF point)
{
    return {point.x, point.y};
}

} // namespace

void paintBoxDrawingGlyph(QPainter &painter, const BoxDrawingGlyph &glyph, const QColor &color)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const PixelRect &rect : glyph.filledRects()) {
        painter.fillRect(QRect(rect.x0, rect.y0, rect.x1 - rect.x0, rect.y1 - rect.y0), color);
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (const auto &arc = glyph.arc()) {
        const QPointF centre = toQPoint(arc->centre);
        QPainterPath ring;
        ring.addEllipse(centre, arc->outerRadius, arc->outerRadius);
        if (arc->innerRadius > 0) {
            QPainterPath inner;
            inner.addEllipse(centre, arc->innerRadius, arc->innerRadius);
            ring = ring.subtracted(inner);
        }
        QPainterPath clip;
        clip.addRect(QRectF(arc->clip.x, arc->clip.y, arc->clip.width, arc->clip.height));
        painter.fillPath(ring.intersected(clip), color);
    }
    for (const BoxDrawingLine &line : glyph.lines()) {
        QPen pen(color, line.width);
        pen.setCapStyle(Qt::FlatCap);
        painter.setPen(pen);
        painter.drawLine(toQPoint(line.from), toQPoint(line.to));
    }
}

} // namespace kestrix
