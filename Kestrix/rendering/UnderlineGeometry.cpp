#include "Kestrix/rendering/UnderlineGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestrix {

namespace {

bool hasBits(int64_t value, int64_t bits)
{
    return (value & bits) == bits;
}

} // namespace

UnderlineStyle underlineStyleFromStyleValue(int64_t value)
{
    using namespace decorationStyleBits;
    if (hasBits(value, single | doubled)) {
        return UnderlineStyle::double_;
    }
    if (hasBits(value, patternDot)) {
        return UnderlineStyle::dotted;
    }
    if ((value & (patternDash | patternDashDotDot)) != 0) {
        return UnderlineStyle::dashed;
    }
    return value != 0 ? UnderlineStyle::single : UnderlineStyle::none;
}

UnderlineGeometry::UnderlineGeometry(double underlineThickness, double underlineOffset, double cellWidth,
                                     double scale)
    : lineWidth_(decorationLineWidth(underlineThickness, scale))
    , offset_(std::isfinite(underlineOffset) ? underlineOffset : 0)
    , cellWidth_(cellWidth)
{
}

double UnderlineGeometry::dashLength() const
{
    return std::max(2.0, 2 * lineWidth_);
}

double UnderlineGeometry::curlAmplitude() const
{
    return std::max(1.0, lineWidth_);
}

double UnderlineGeometry::curlWavelength() const
{
    return std::max(4.0, 4 * lineWidth_);
}

DecorationStroke UnderlineGeometry::straightLine(PointF glyphOrigin, double length, double below) const
{
    const double y = glyphOrigin.y + below;
    return {.points = {{glyphOrigin.x, y}, {glyphOrigin.x + length, y}}, .width = lineWidth_};
}

DecorationStroke UnderlineGeometry::curlyLine(PointF glyphOrigin, double length) const
{
    const double y = glyphOrigin.y + offset_;
    const double step = curlAmplitude();
    const double wavelength = curlWavelength();
    DecorationStroke stroke;
    stroke.width = lineWidth_;
    // Samples every `step` points from the left end while they stay on the line (the length is
    // bounded and the step at least 1, so this ends). The phase follows x itself, so the waves of
    // neighbouring cells join whatever the cell width; the wave rises from x = 0.
    for (int i = 0; i * step <= length; ++i) {
        const double x = glyphOrigin.x + i * step;
        const double phase = x / wavelength * 2 * std::numbers::pi;
        stroke.points.push_back({x, y - std::sin(phase) * step});
    }
    return stroke;
}

void UnderlineGeometry::appendStrokes(UnderlineStyle style, PointF glyphOrigin, int64_t columns,
                                      std::vector<DecorationStroke> &strokes) const
{
    const double length = decorationLength(cellWidth_, columns);
    switch (style) {
    case UnderlineStyle::none:
        return;
    case UnderlineStyle::single:
        strokes.push_back(straightLine(glyphOrigin, length, offset_));
        return;
    case UnderlineStyle::double_:
        strokes.push_back(straightLine(glyphOrigin, length, offset_));
        strokes.push_back(straightLine(glyphOrigin, length, offset_ + doubleLineDistance()));
        return;
    case UnderlineStyle::curly:
        strokes.push_back(curlyLine(glyphOrigin, length));
        return;
    case UnderlineStyle::dotted: {
        DecorationStroke dots = straightLine(glyphOrigin, length, offset_);
        dots.dash = curlAmplitude();
        dots.gap = 2 * curlAmplitude();
        dots.cap = StrokeCap::round;
        strokes.push_back(std::move(dots));
        return;
    }
    case UnderlineStyle::dashed: {
        DecorationStroke dashes = straightLine(glyphOrigin, length, offset_);
        dashes.dash = dashLength();
        dashes.gap = dashLength();
        strokes.push_back(std::move(dashes));
        return;
    }
    }
}

} // namespace kestrix
