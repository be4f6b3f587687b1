#pragma once

#include "Kestrix/rendering/DecorationStroke.h"

#include <cstdint>
#include <vector>

namespace kestrix {

// Strikethrough lines of a run, through the middle of the run font's lower-case letters.
class StrikethroughGeometry {
public:
    // The run font's underline thickness and x-height, in points.
    StrikethroughGeometry(double underlineThickness, double xHeight, double cellWidth, double scale);

    // Whole device pixels, never thinner than half a point.
    double lineWidth() const { return lineWidth_; }
    // How far the line's centre lies above the baseline.
    double raise() const { return raise_; }

    // Appends the strokes through one glyph whose grid position on the baseline is `glyphOrigin` and
    // that spans `columns` cells. The style value's dash pattern bit dashes the line; its double
    // bits add a second line below.
    void appendStrokes(int64_t styleValue, PointF glyphOrigin, int64_t columns,
                       std::vector<DecorationStroke> &strokes) const;

private:
    double lineWidth_;
    double raise_;
    double cellWidth_;
};

} // namespace kestrix
