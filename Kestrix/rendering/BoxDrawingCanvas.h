#pragma once

#include "Kestrix/rendering/BoxDrawingGlyph.h"
#include "Kestrix/rendering/BoxDrawingTable.h"

// The drawing steps of one box-drawing character. All coordinates are whole device pixels from the
// cell's top-left corner; a pixel range from a to b includes a and excludes b.

namespace kestrix {

class BoxDrawingCanvas {
public:
    BoxDrawingCanvas(double width, double height, double scale);

    int widthPx() const { return glyph_.widthPx(); }
    int heightPx() const { return glyph_.heightPx(); }
    int minimumThicknessPx() const { return minimumThicknessPx_; }
    const BoxDrawingGlyph &glyph() const { return glyph_; }
    // The light stroke for a base thickness: at least one point, and small enough to double.
    int lightThickness(int baseThickness) const;

    // Clamped to the cell; nothing is added when the clamped rectangle is empty.
    void fillPixelRect(int x0, int y0, int x1, int y1);
    void fillHorizontalBar(int x0, int x1, int y, int thickness);
    void fillVerticalBar(int y0, int y1, int x, int thickness);

    void drawArms(BoxArmDescriptor descriptor, int baseThickness);
    void drawHorizontalDashes(int count, int thickness, int gapCap, int fallbackThickness);
    void drawVerticalDashes(int count, int thickness, int gapCap, int fallbackThickness);
    void drawRoundedCorner(BoxCorner corner, int thickness);
    void drawRisingDiagonal(int thickness);
    void drawFallingDiagonal(int thickness);

private:
    BoxDrawingGlyph glyph_;
    int minimumThicknessPx_;
};

} // namespace kestrix
