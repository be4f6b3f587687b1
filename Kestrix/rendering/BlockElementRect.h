#pragma once

#include "Kestrix/rendering/GeometryPrimitives.h"

#include <cstdint>
#include <optional>
#include <span>

namespace kestrix {

// How much of the foreground colour's alpha a block rectangle keeps.
enum class BlockAlpha : uint8_t { full, dark, medium, light };

// 1.0, 0.75, 0.5 or 0.25.
double rawValue(BlockAlpha alpha);
// Exactly those four values map back to their cases; anything else has none.
std::optional<BlockAlpha> blockAlphaFromRawValue(double value);

// One rectangle of a block element, in eighths of the cell: x from the left edge, y from the top.
struct BlockElementRect {
    uint8_t x0 = 0;
    uint8_t x1 = 0;
    uint8_t y0 = 0;
    uint8_t y1 = 0;
    BlockAlpha alpha = BlockAlpha::full;

    friend bool operator==(const BlockElementRect &, const BlockElementRect &) = default;
};

// The rectangles of a Block Elements character (U+2580 to U+259F); none for any other code point.
std::optional<std::span<const BlockElementRect>> blockElementRects(uint32_t codePoint);

// Where a block rectangle falls in a cell area (points, y-down). Without anti-aliasing its edges
// grow outwards to whole device pixels. A rectangle left without area gives none.
std::optional<RectF> blockElementFillRect(const BlockElementRect &rect, const RectF &cell, double scale,
                                          bool snapToPixels);

// The fill alpha for a rectangle drawn in a colour of the given alpha, within 0...1.
double blockElementFillAlpha(BlockAlpha alpha, double colourAlpha);

} // namespace kestrix
