#pragma once

#include "Kestrix/model/UnderlineStyle.h"
#include "Kestrix/rendering/DecorationStroke.h"

#include <cstdint>
#include <vector>

namespace kestrix {

// Bits of the underline and strikethrough style values that text attributes carry.
namespace decorationStyleBits {
constexpr int64_t single = 0x1;
constexpr int64_t doubled = 0x8; // together with `single`
constexpr int64_t patternDot = 0x100;
constexpr int64_t patternDash = 0x200;
constexpr int64_t patternDashDotDot = 0x400;
} // namespace decorationStyleBits

// The kind of underline a style value asks for, when no exact kind is stored with it.
UnderlineStyle underlineStyleFromStyleValue(int64_t value);

// Underlines of a row. All underlines share the normal font's line, whatever font a run uses, so
// that an underline runs straight along a row. Each glyph gets the line under all of its cells.
class UnderlineGeometry {
public:
    // The thickness and offset are the normal font's, in points; the offset is how far the line's
    // centre lies below the baseline.
    UnderlineGeometry(double underlineThickness, double underlineOffset, double cellWidth, double scale);

    // Whole device pixels, never thinner than half a point.
    double lineWidth() const { return lineWidth_; }
    // Dashes and their gaps.
    double dashLength() const;
    // The curl's amplitude and sampling step, and the length of a dot.
    double curlAmplitude() const;
    double curlWavelength() const;
    // How much lower the second line of a double underline lies.
    double doubleLineDistance() const { return 1 + lineWidth_; }

    // Appends the strokes under one glyph whose grid position on the baseline is `glyphOrigin` and
    // that spans `columns` cells.
    void appendStrokes(UnderlineStyle style, PointF glyphOrigin, int64_t columns,
                       std::vector<DecorationStroke> &strokes) const;

private:
    DecorationStroke straightLine(PointF glyphOrigin, double length, double below) const;
    DecorationStroke curlyLine(PointF glyphOrigin, double length) const;

    double lineWidth_;
    double offset_;
    double cellWidth_;
};

} // namespace kestrix
