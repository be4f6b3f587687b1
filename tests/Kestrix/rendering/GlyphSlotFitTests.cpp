#include "Kestrix/rendering/GlyphSlotFit.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

// An 8 × 16 point cell whose baseline lies 4 points above its bottom.
GlyphSlotFit::Slot slot(int64_t columns)
{
    return {.columnWidth = columns, .cellWidth = 8, .cellHeight = 16, .baselineOffset = 4};
}

TEST(GlyphSlotFit, NarrowSegmentsAndGlyphsWithoutAdvanceAreLeftAlone)
{
    EXPECT_EQ(GlyphSlotFit::compute(30, {0, -20, 30, 30}, slot(1)), (GlyphSlotFit{0, 0, 1}));
    EXPECT_EQ(GlyphSlotFit::compute(0, {0, -20, 30, 30}, slot(2)), (GlyphSlotFit{0, 0, 1}));
    EXPECT_EQ(GlyphSlotFit::compute(-3, {0, -20, 30, 30}, slot(2)), (GlyphSlotFit{0, 0, 1}));
}

TEST(GlyphSlotFit, WideGlyphThatFitsIsCentredByItsAdvanceAndNotScaled)
{
    EXPECT_EQ(GlyphSlotFit::compute(15, {0.5, -12, 14, 14}, slot(2)), (GlyphSlotFit{0.5, 0, 1}));
    // A glyph without ink (a wide space) is centred the same way.
    EXPECT_EQ(GlyphSlotFit::compute(12, {0, 0, 0, 0}, slot(2)), (GlyphSlotFit{2, 0, 1}));
}

TEST(GlyphSlotFit, OversizedGlyphShrinksAndItsInkIsCentredInTheCell)
{
    // 20 × 20 ink, 16 above the baseline, into a 16 × 16 slot: scale 0.8.
    const GlyphSlotFit fit = GlyphSlotFit::compute(20, {0, -16, 20, 20}, slot(2));
    EXPECT_DOUBLE_EQ(fit.scale, 0.8);
    EXPECT_DOUBLE_EQ(fit.dx, 0);
    EXPECT_NEAR(fit.dy, 0.8, 1e-12);
    // The baseline moves to 16 - 4 + 0.8 = 12.8 from the cell top; the scaled ink then spans 0 to 16.
    const double baseline = 16 - 4 + fit.dy;
    EXPECT_NEAR(baseline + -16 * fit.scale, 0, 1e-12);
    EXPECT_NEAR(baseline + (-16 + 20) * fit.scale, 16, 1e-12);
}

TEST(GlyphSlotFit, ScaleNeverFallsBelowOneTenth)
{
    const GlyphSlotFit fit = GlyphSlotFit::compute(400, {0, -10, 400, 10}, slot(2));
    EXPECT_DOUBLE_EQ(fit.scale, 0.1);
    EXPECT_DOUBLE_EQ(fit.dx, -12);
    EXPECT_DOUBLE_EQ(fit.dy, 4 - 8 - (-10 + 5) * 0.1);
}

TEST(GlyphSlotFit, WiderSlotsGiveMoreRoom)
{
    // 20 points of ink fit three columns (24 points) but are too tall: only the height limits.
    const GlyphSlotFit fit = GlyphSlotFit::compute(20, {2, -24, 20, 32}, slot(3));
    EXPECT_DOUBLE_EQ(fit.scale, 0.5);
    EXPECT_DOUBLE_EQ(fit.dx, 7);
    EXPECT_DOUBLE_EQ(fit.dy, 4 - 8 - (-24 + 16) * 0.5);
}

} // namespace
} // namespace kestrix
