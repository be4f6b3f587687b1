#pragma once

#include "Kestrix/rendering/BoxDrawingGlyph.h"

#include <QColor>

class QPainter;

namespace kestrix {

// Paints a box-drawing glyph's geometry, whose units are device pixels from the cell's top-left
// corner: rectangles without anti-aliasing, arcs and diagonals with it. Both renderers paint through
// here, so their box glyphs agree.
void paintBoxDrawingGlyph(QPainter &painter, const BoxDrawingGlyph &glyph, const QColor &color);

} // namespace kestrix
