#include "Kestrix/rendering/BlockElementRect.h"

#include <gtest/gtest.h>
#include <vector>

namespace kestrix {
namespace {

std::vector<BlockElementRect> rectsFor(uint32_t codePoint)
{
    const auto rects = blockElementRects(codePoint);
    if (!rects) {
        return {};
    }
    return {rects->begin(), rects->end()};
}

TEST(BlockElementRect, TableCoversTheBlockInEighthsFromTheTop)
{
    using enum BlockAlpha;
    EXPECT_EQ(rectsFor(0x2580), (std::vector<BlockElementRect>{{0, 8, 0, 4, full}}));
    EXPECT_EQ(rectsFor(0x2584), (std::vector<BlockElementRect>{{0, 8, 4, 8, full}}));
    EXPECT_EQ(rectsFor(0x258F), (std::vector<BlockElementRect>{{0, 1, 0, 8, full}}));
    EXPECT_EQ(rectsFor(0x2592), (std::vector<BlockElementRect>{{0, 8, 0, 8, medium}}));
    EXPECT_EQ(rectsFor(0x259F),
              (std::vector<BlockElementRect>{{4, 8, 0, 4, full}, {0, 4, 4, 8, full}, {4, 8, 4, 8, full}}));
    for (uint32_t codePoint = 0x2580; codePoint <= 0x259F; ++codePoint) {
        EXPECT_FALSE(rectsFor(codePoint).empty()) << codePoint;
    }
    EXPECT_FALSE(blockElementRects(0x257F));
    EXPECT_FALSE(blockElementRects(0x25A0));
}

TEST(BlockElementRect, OnlyTheFourAlphaStepsHaveRawValues)
{
    EXPECT_EQ(blockAlphaFromRawValue(0.75), BlockAlpha::dark);
    EXPECT_EQ(blockAlphaFromRawValue(0.25), BlockAlpha::light);
    EXPECT_FALSE(blockAlphaFromRawValue(0.3));
}

TEST(BlockElementRect, LowerHalfFillsExactlyTheLowerHalfOfTheCell)
{
    const RectF cell{16, 34, 8, 17}; // column 2, row 2 of an 8 × 17 grid
    const BlockElementRect lowerHalf = rectsFor(0x2584)[0];
    EXPECT_EQ(blockElementFillRect(lowerHalf, cell, 1, false), (RectF{16, 42.5, 8, 8.5}));
    // Without anti-aliasing the edges grow outwards onto whole device pixels.
    EXPECT_EQ(blockElementFillRect(lowerHalf, cell, 1, true), (RectF{16, 42, 8, 9}));
    EXPECT_EQ(blockElementFillRect(lowerHalf, cell, 2, true), (RectF{16, 42.5, 8, 8.5}));
    const RectF oddCell{7.3, 0, 7.3, 17.3};
    EXPECT_EQ(blockElementFillRect(lowerHalf, oddCell, 2, true), (RectF{7, 8.5, 8, 9}));
}

TEST(BlockElementRect, WideCellsSpreadTheEighthsOverAllColumns)
{
    const RectF twoColumns{0, 0, 16, 16};
    EXPECT_EQ(blockElementFillRect(rectsFor(0x2590)[0], twoColumns, 1, true), (RectF{8, 0, 8, 16}));
}

TEST(BlockElementRect, RectangleWithoutAreaIsSkipped)
{
    const BlockElementRect empty{3, 3, 0, 8, BlockAlpha::full};
    EXPECT_FALSE(blockElementFillRect(empty, {0, 0, 8, 16}, 1, false));
    EXPECT_FALSE(blockElementFillRect(rectsFor(0x2588)[0], {0, 0, 0, 16}, 1, true));
}

TEST(BlockElementRect, ShadesScaleTheColourAlpha)
{
    EXPECT_DOUBLE_EQ(blockElementFillAlpha(BlockAlpha::medium, 1), 0.5);
    EXPECT_DOUBLE_EQ(blockElementFillAlpha(BlockAlpha::light, 0.8), 0.2);
    EXPECT_DOUBLE_EQ(blockElementFillAlpha(BlockAlpha::full, 1.5), 1);
    EXPECT_DOUBLE_EQ(blockElementFillAlpha(BlockAlpha::dark, -1), 0);
}

} // namespace
} // namespace kestrix
