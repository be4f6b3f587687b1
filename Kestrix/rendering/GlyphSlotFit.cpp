#include "Kestrix/rendering/GlyphSlotFit.h"

#include <algorithm>
#include <cmath>

namespace kestrix {

namespace {

constexpr double smallestScale = 0.1;

bool hasNoInk(const RectF &bounds)
{
    const bool finite = std::isfinite(bounds.x) && std::isfinite(bounds.y) && std::isfinite(bounds.width) &&
                        std::isfinite(bounds.height);
    return !finite || bounds.width <= 0 || bounds.height <= 0;
}

} // namespace

GlyphSlotFit GlyphSlotFit::compute(double advance, const RectF &bounds, const Slot &slot)
{
    if (slot.columnWidth < 2 || !(advance > 0) || !std::isfinite(advance)) {
        return {};
    }
    const double slotWidth = static_cast<double>(slot.columnWidth) * slot.cellWidth;
    const double slotHeight = slot.cellHeight;
    if (hasNoInk(bounds) || (bounds.width <= slotWidth && bounds.height <= slotHeight)) {
        return {(slotWidth - advance) / 2, 0, 1};
    }
    double scale = std::min({1.0, slotHeight / bounds.height, slotWidth / bounds.width});
    if (!(scale >= smallestScale)) {
        scale = smallestScale;
    }
    GlyphSlotFit fit{(slotWidth - advance * scale) / 2, 0, scale};
    if (scale < 1) {
        // Moves the scaled ink's centre to the middle of the cell: the baseline sits baselineOffset
        // above the cell's bottom, and the ink's centre (bounds.y + height / 2) × scale from the baseline.
        fit.dy = slot.baselineOffset - slotHeight / 2 - (bounds.y + bounds.height / 2) * scale;
    }
    return fit;
}

} // namespace kestrix
