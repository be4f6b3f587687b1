#include "Kestrix/rendering/BlockElementRect.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kestrix {

namespace {

constexpr BlockAlpha full = BlockAlpha::full;
constexpr BlockAlpha dark = BlockAlpha::dark;
constexpr BlockAlpha medium = BlockAlpha::medium;
constexpr BlockAlpha light = BlockAlpha::light;

struct BlockElement {
    uint32_t codePoint;
    uint8_t count;
    std::array<BlockElementRect, 3> rects;
};

// Rectangles as {x0, x1, y0, y1, alpha} in eighths, y counted from the top of the cell.
constexpr std::array<BlockElement, 32> blockElements = {{
    {0x2580, 1, {{{0, 8, 0, 4, full}}}},                                         // upper half
    {0x2581, 1, {{{0, 8, 7, 8, full}}}},                                         // lower one eighth
    {0x2582, 1, {{{0, 8, 6, 8, full}}}},                                         // lower one quarter
    {0x2583, 1, {{{0, 8, 5, 8, full}}}},                                         // lower three eighths
    {0x2584, 1, {{{0, 8, 4, 8, full}}}},                                         // lower half
    {0x2585, 1, {{{0, 8, 3, 8, full}}}},                                         // lower five eighths
    {0x2586, 1, {{{0, 8, 2, 8, full}}}},                                         // lower three quarters
    {0x2587, 1, {{{0, 8, 1, 8, full}}}},                                         // lower seven eighths
    {0x2588, 1, {{{0, 8, 0, 8, full}}}},                                         // full block
    {0x2589, 1, {{{0, 7, 0, 8, full}}}},                                         // left seven eighths
    {0x258A, 1, {{{0, 6, 0, 8, full}}}},                                         // left three quarters
    {0x258B, 1, {{{0, 5, 0, 8, full}}}},                                         // left five eighths
    {0x258C, 1, {{{0, 4, 0, 8, full}}}},                                         // left half
    {0x258D, 1, {{{0, 3, 0, 8, full}}}},                                         // left three eighths
    {0x258E, 1, {{{0, 2, 0, 8, full}}}},                                         // left one quarter
    {0x258F, 1, {{{0, 1, 0, 8, full}}}},                                         // left one eighth
    {0x2590, 1, {{{4, 8, 0, 8, full}}}},                                         // right half
    {0x2591, 1, {{{0, 8, 0, 8, light}}}},                                        // light shade
    {0x2592, 1, {{{0, 8, 0, 8, medium}}}},                                       // medium shade
    {0x2593, 1, {{{0, 8, 0, 8, dark}}}},                                         // dark shade
    {0x2594, 1, {{{0, 8, 0, 1, full}}}},                                         // upper one eighth
    {0x2595, 1, {{{7, 8, 0, 8, full}}}},                                         // right one eighth
    {0x2596, 1, {{{0, 4, 4, 8, full}}}},                                         // lower left
    {0x2597, 1, {{{4, 8, 4, 8, full}}}},                                         // lower right
    {0x2598, 1, {{{0, 4, 0, 4, full}}}},                                         // upper left
    {0x2599, 3, {{{0, 4, 0, 4, full}, {0, 4, 4, 8, full}, {4, 8, 4, 8, full}}}}, // all but upper right
    {0x259A, 2, {{{0, 4, 0, 4, full}, {4, 8, 4, 8, full}}}},                     // upper left, lower right
    {0x259B, 3, {{{0, 4, 0, 4, full}, {4, 8, 0, 4, full}, {0, 4, 4, 8, full}}}}, // all but lower right
    {0x259C, 3, {{{0, 4, 0, 4, full}, {4, 8, 0, 4, full}, {4, 8, 4, 8, full}}}}, // all but lower left
    {0x259D, 1, {{{4, 8, 0, 4, full}}}},                                         // upper right
    {0x259E, 2, {{{4, 8, 0, 4, full}, {0, 4, 4, 8, full}}}},                     // upper right, lower left
    {0x259F, 3, {{{4, 8, 0, 4, full}, {0, 4, 4, 8, full}, {4, 8, 4, 8, full}}}}, // all but upper left
}};

constexpr uint32_t firstBlockElement = 0x2580;

constexpr bool tableIsInCodePointOrder()
{
    for (size_t i = 0; i < blockElements.size(); ++i) {
        if (blockElements[i].codePoint != firstBlockElement + i) {
            return false;
        }
    }
    return true;
}
static_assert(tableIsInCodePointOrder());

double snapDown(double value, double scale)
{
    return std::floor(value * scale) / scale;
}

double snapUp(double value, double scale)
{
    return std::ceil(value * scale) / scale;
}

} // namespace

double rawValue(BlockAlpha alpha)
{
    switch (alpha) {
    case BlockAlpha::full:
        return 1.0;
    case BlockAlpha::dark:
        return 0.75;
    case BlockAlpha::medium:
        return 0.5;
    case BlockAlpha::light:
        return 0.25;
    }
    return 1.0;
}

std::optional<BlockAlpha> blockAlphaFromRawValue(double value)
{
    for (BlockAlpha alpha : {full, dark, medium, light}) {
        if (rawValue(alpha) == value) {
            return alpha;
        }
    }
    return std::nullopt;
}

std::optional<std::span<const BlockElementRect>> blockElementRects(uint32_t codePoint)
{
    if (codePoint < firstBlockElement || codePoint - firstBlockElement >= blockElements.size()) {
        return std::nullopt;
    }
    const BlockElement &element = blockElements[codePoint - firstBlockElement];
    return std::span<const BlockElementRect>(element.rects.data(), element.count);
}

std::optional<RectF> blockElementFillRect(const BlockElementRect &rect, const RectF &cell, double scale,
                                          bool snapToPixels)
{
    const double eighthWidth = cell.width * 0.125;
    const double eighthHeight = cell.height * 0.125;
    double left = cell.x + rect.x0 * eighthWidth;
    double right = cell.x + rect.x1 * eighthWidth;
    double top = cell.y + rect.y0 * eighthHeight;
    double bottom = cell.y + rect.y1 * eighthHeight;
    if (snapToPixels && std::isfinite(scale) && scale > 0) {
        left = snapDown(left, scale);
        top = snapDown(top, scale);
        right = snapUp(right, scale);
        bottom = snapUp(bottom, scale);
    }
    const RectF filled{left, top, right - left, bottom - top};
    if (!(filled.width > 0 && filled.height > 0)) {
        return std::nullopt;
    }
    return filled;
}

double blockElementFillAlpha(BlockAlpha alpha, double colourAlpha)
{
    const double filled = colourAlpha * rawValue(alpha);
    if (!(filled > 0)) {
        return 0;
    }
    return std::min(1.0, filled);
}

} // namespace kestrix
