#include "Kestrix/rendering/StrikethroughGeometry.h"

#include "Kestrix/rendering/UnderlineGeometry.h"

#include <cmath>

namespace kestrix {

namespace {

constexpr double strikethroughDash = 2.0;

} // namespace

StrikethroughGeometry::StrikethroughGeometry(double underlineThickness, double xHeight, double cellWidth,
                                             double scale)
    : lineWidth_(decorationLineWidth(underlineThickness, scale))
    , raise_((std::isfinite(xHeight) ? xHeight : 0) / 2 + lineWidth_ / 2)
    , cellWidth_(cellWidth)
{
}

void StrikethroughGeometry::appendStrokes(int64_t styleValue, PointF glyphOrigin, int64_t columns,
                                          std::vector<DecorationStroke> &strokes) const
{
    const double length = decorationLength(cellWidth_, columns);
    using namespace decorationStyleBits;
    const bool dashed = (styleValue & patternDash) != 0;
    const auto line = [&](double y) {
        DecorationStroke stroke{.points = {{glyphOrigin.x, y}, {glyphOrigin.x + length, y}},
                                .width = lineWidth_};
        if (dashed) {
            stroke.dash = strikethroughDash;
            stroke.gap = strikethroughDash;
        }
        return stroke;
    };
    const double y = glyphOrigin.y - raise_;
    strokes.push_back(line(y));
    if ((styleValue & (single | doubled)) == (single | doubled)) {
        strokes.push_back(line(y + 1 + lineWidth_));
    }
}

} // namespace kestrix
