#pragma once

#include "Kestrix/rendering/GeometryPrimitives.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// Box Drawing characters (U+2500 to U+257F) are drawn from geometry, not from the font, so that
// lines of neighbouring cells meet without gaps and stay crisp at every backing scale. The
// geometry is in device pixels, y-down, from the top-left corner of the cell; both renderers
// draw it in the foreground colour: straight parts as filled rectangles without anti-aliasing,
// arcs and diagonals with it.

namespace kestrix {

// The ring between two circles around one centre, or the outer disc when the inner radius is 0,
// clipped to a rectangle.
struct BoxDrawingArc {
    PointF centre;
    double outerRadius = 0;
    double innerRadius = 0;
    RectF clip;

    friend bool operator==(const BoxDrawingArc &, const BoxDrawingArc &) = default;
};

// A stroked line with butt caps.
struct BoxDrawingLine {
    PointF from;
    PointF to;
    double width = 0;

    friend bool operator==(const BoxDrawingLine &, const BoxDrawingLine &) = default;
};

class BoxDrawingGlyph {
public:
    BoxDrawingGlyph(int widthPx, int heightPx, double scale);

    int widthPx() const { return widthPx_; }
    int heightPx() const { return heightPx_; }
    // Device pixels per point.
    double scale() const { return scale_; }

    std::span<const PixelRect> filledRects() const { return {rects_.data(), rectCount_}; }
    const std::optional<BoxDrawingArc> &arc() const { return arc_; }
    std::span<const BoxDrawingLine> lines() const { return {lines_.data(), lineCount_}; }
    bool isEmpty() const { return rectCount_ == 0 && !arc_ && lineCount_ == 0; }

    // A filled rectangle in points, for a cell whose top-left corner is at cellOrigin.
    RectF rectInPoints(const PixelRect &rect, PointF cellOrigin) const;

    void addRect(const PixelRect &rect);
    void setArc(const BoxDrawingArc &arc) { arc_ = arc; }
    void addLine(const BoxDrawingLine &line);

private:
    int widthPx_;
    int heightPx_;
    double scale_;
    // Four double arms need eight strokes; no character needs more.
    std::array<PixelRect, 8> rects_{};
    size_t rectCount_ = 0;
    std::optional<BoxDrawingArc> arc_;
    std::array<BoxDrawingLine, 2> lines_{};
    size_t lineCount_ = 0;
};

// The geometry of one box-drawing character in a cell of width × height points. The base thickness
// is the thinnest stroke in device pixels. Other code points give an empty glyph.
BoxDrawingGlyph drawBoxDrawingCharacter(uint32_t codePoint, int baseThicknessPx, double width, double height,
                                        double scale);

// The base stroke for the font: a little heavier than its underline, never under one point.
int boxDrawingBaseThickness(double underlineThickness, double scale);

// The cell a box character of a row is drawn into, in points. Cells are whole device pixels wide
// and start on whole device pixels, so the lines of neighbouring cells meet.
RectF boxDrawingCellRect(int64_t column, int columnWidth, double xOrigin, double rowTop, double cellWidth,
                         double cellHeight, double scale);

} // namespace kestrix
