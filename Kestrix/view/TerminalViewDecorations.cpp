// Underlines, strikethrough, and the box-drawing and block-element cells drawn from geometry.

#include "Kestrix/rendering/BoxDrawingGlyph.h"
#include "Kestrix/rendering/BoxDrawingPainter.h"
#include "Kestrix/rendering/DecorationStrokePainter.h"
#include "Kestrix/rendering/StrikethroughGeometry.h"
#include "Kestrix/rendering/UnderlineGeometry.h"
#include "Kestrix/view/TerminalView.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace kestrix {

namespace {

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(static_cast<float>(std::clamp(alpha, 0.0, 1.0)));
    return color;
}

} // namespace

void TerminalView::drawUnderlines(QPainter &painter, const TextAttributes &attributes,
                                  std::span<const PointF> glyphOrigins, int64_t columnWidth)
{
    const double cw = cellDimension_->width();
    const double s = backingScale();
    std::vector<DecorationStroke> strokes;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (attributes.underlineStyleValue) {
        // Every underline of a row follows the normal font's line.
        const QFontMetricsF normal(fontSet_.normal);
        const UnderlineGeometry geometry(normal.lineWidth(), normal.underlinePos(), cw, s);
        const UnderlineStyle style = underlineStyle(attributes);
        for (PointF origin : glyphOrigins) {
            geometry.appendStrokes(style, origin, columnWidth, strokes);
        }
        for (const DecorationStroke &stroke : strokes) {
            paintDecorationStroke(painter, stroke, attributes.underlineColor.value_or(*nativeFg_));
        }
    }
    if (attributes.strikethroughStyleValue) {
        strokes.clear();
        const QFontMetricsF runFont(attributes.font);
        const StrikethroughGeometry geometry(runFont.lineWidth(), runFont.xHeight(), cw, s);
        for (PointF origin : glyphOrigins) {
            geometry.appendStrokes(*attributes.strikethroughStyleValue, origin, columnWidth, strokes);
        }
        for (const DecorationStroke &stroke : strokes) {
            paintDecorationStroke(painter, stroke, attributes.strikethroughColor.value_or(*nativeFg_));
        }
    }
    painter.restore();
}

void TerminalView::drawBlockElements(QPainter &painter, std::span<const BlockElementRenderItem> items,
                                     double rowTop)
{
    if (items.empty()) {
        return;
    }
    const double cw = cellDimension_->width();
    const double ch = cellDimension_->height();
    const double s = backingScale();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, antiAliasCustomBlockGlyphs_);
    for (const BlockElementRenderItem &item : items) {
        const RectF cell{static_cast<double>(item.column) * cw, rowTop,
                         static_cast<double>(item.columnWidth) * cw, ch};
        for (const BlockElementRect &rect : item.rects) {
            const auto fill = blockElementFillRect(rect, cell, s, !antiAliasCustomBlockGlyphs_);
            if (fill) {
                painter.fillRect(
                    QRectF(fill->x, fill->y, fill->width, fill->height),
                    withAlpha(item.color, blockElementFillAlpha(rect.alpha, item.color.alphaF())));
            }
        }
    }
    painter.restore();
}

void TerminalView::drawBoxCharacters(QPainter &painter, std::span<const BoxDrawingRenderItem> items,
                                     double rowTop)
{
    if (items.empty()) {
        return;
    }
    const double cw = cellDimension_->width();
    const double ch = cellDimension_->height();
    const double s = backingScale();
    const int baseThickness = boxDrawingBaseThickness(QFontMetricsF(fontSet_.normal).lineWidth(), s);
    for (const BoxDrawingRenderItem &item : items) {
        const RectF cell =
            boxDrawingCellRect(item.column, static_cast<int>(item.columnWidth), 0, rowTop, cw, ch, s);
        const BoxDrawingGlyph glyph =
            drawBoxDrawingCharacter(item.code, baseThickness, cell.width, cell.height, s);
        if (glyph.isEmpty()) {
            continue;
        }
        // The geometry is in device pixels from the cell's corner.
        painter.save();
        painter.translate(cell.x, cell.y);
        painter.scale(1 / s, 1 / s);
        paintBoxDrawingGlyph(painter, glyph, item.color);
        painter.restore();
    }
}

} // namespace kestrix
