#pragma once

#include "Kestrix/rendering/GeometryPrimitives.h"

#include <cstdint>
#include <vector>

namespace kestrix {

enum class StrokeCap : uint8_t { butt, round };

// One line of an underline or strikethrough, in points, y-down. Decorations are stroked without
// anti-aliasing so that they stay on whole device pixels. A dashed stroke starts with a dash at its
// first point; dash and gap are lengths in points (a QPen counts them in pen widths).
struct DecorationStroke {
    std::vector<PointF> points; // a polyline; a straight line has two points
    double width = 0;
    double dash = 0; // 0 for a solid line
    double gap = 0;
    StrokeCap cap = StrokeCap::butt;

    bool isDashed() const { return dash > 0; }
};

// A decoration line is a whole number of device pixels thick, but never thinner than half a point.
double decorationLineWidth(double fontLineThickness, double scale);

// How long a decoration is under a glyph that spans `columns` cells: rounded up to whole points so
// that the lines of neighbouring cells touch. Unusable widths give 0.
double decorationLength(double cellWidth, int64_t columns);

} // namespace kestrix
