#pragma once

#include <algorithm>
#include <cmath>

// Plain geometry shared by the renderers. Coordinates are y-down: y grows towards the bottom of
// the view, a row's top is row × cell height.

namespace kestrix {

struct PointF {
    double x = 0;
    double y = 0;

    friend bool operator==(const PointF &, const PointF &) = default;
};

struct RectF {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double right() const { return x + width; }
    double bottom() const { return y + height; }

    friend bool operator==(const RectF &, const RectF &) = default;
};

// A range of whole device pixels, [x0, x1) × [y0, y1).
struct PixelRect {
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;

    bool isEmpty() const { return x1 <= x0 || y1 <= y0; }

    friend bool operator==(const PixelRect &, const PixelRect &) = default;
};

// Pixel snapping rounds halves away from zero.
inline double roundHalfAwayFromZero(double value)
{
    return std::round(value);
}

// Device pixels per point; anything unusable counts as 1.
inline double usableScale(double scale)
{
    return std::isfinite(scale) && scale > 0 ? scale : 1.0;
}

// A length in points as whole device pixels, at least 1 and small enough for int arithmetic.
inline int wholePixels(double points, double scale)
{
    constexpr double largest = 1 << 20;
    const double pixels = roundHalfAwayFromZero(points * scale);
    if (!(pixels >= 1)) {
        return 1;
    }
    return static_cast<int>(std::min(pixels, largest));
}

} // namespace kestrix
