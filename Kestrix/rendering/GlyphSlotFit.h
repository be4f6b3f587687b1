#pragma once

#include "Kestrix/rendering/GeometryPrimitives.h"

#include <cstdint>

namespace kestrix {

// How a glyph of a wide segment (two or more columns) is fitted into its slot of cells: centred by
// its advance, and when its ink is larger than the slot, scaled down (never below 0.1) and centred
// vertically in the cell. Shared by both renderers and the caret.
struct GlyphSlotFit {
    double dx = 0;    // added to the glyph's drawing position, in points
    double dy = 0;    // added to its baseline, in points, y-down
    double scale = 1; // applied to the font size for this one glyph

    struct Slot {
        int64_t columnWidth = 1;
        double cellWidth = 0;
        double cellHeight = 0;
        // The normal font's baseline height above the bottom of the cell: ceil(descent + leading).
        double baselineOffset = 0;
    };

    // `bounds` is the glyph's ink rectangle in the run font, y-down from its origin on the baseline.
    static GlyphSlotFit compute(double advance, const RectF &bounds, const Slot &slot);

    friend bool operator==(const GlyphSlotFit &, const GlyphSlotFit &) = default;
};

} // namespace kestrix
