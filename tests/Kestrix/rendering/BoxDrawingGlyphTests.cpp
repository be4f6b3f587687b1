#include "Kestrix/rendering/BoxDrawingGlyph.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace kestrix {
namespace {

std::vector<PixelRect> rectsOf(const BoxDrawingGlyph &glyph)
{
    return {glyph.filledRects().begin(), glyph.filledRects().end()};
}

// The filled pixels of a glyph, one text line per pixel row: '#' filled, '.' empty.
std::string picture(const BoxDrawingGlyph &glyph)
{
    std::vector<std::string> rows(glyph.heightPx(), std::string(glyph.widthPx(), '.'));
    for (const PixelRect &rect : glyph.filledRects()) {
        for (int y = rect.y0; y < rect.y1; ++y) {
            for (int x = rect.x0; x < rect.x1; ++x) {
                rows[y][x] = '#';
            }
        }
    }
    std::string text;
    for (const std::string &row : rows) {
        text += row + "\n";
    }
    return text;
}

TEST(BoxDrawingGlyph, LightLineIsOnePixelAtOneTimesAndTwoPixelsAtTwoTimes)
{
    // An 8 × 16 point cell; the horizontal line is drawn as its right and left arms.
    EXPECT_EQ(rectsOf(drawBoxDrawingCharacter(0x2500, 1, 8, 16, 1)),
              (std::vector<PixelRect>{{3, 7, 8, 8}, {0, 7, 4, 8}}));
    EXPECT_EQ(rectsOf(drawBoxDrawingCharacter(0x2500, 1, 8, 16, 2)),
              (std::vector<PixelRect>{{7, 15, 16, 17}, {0, 15, 9, 17}}));
}

TEST(BoxDrawingGlyph, HeavyLineIsTwiceTheLightThickness)
{
    EXPECT_EQ(rectsOf(drawBoxDrawingCharacter(0x2501, 1, 8, 16, 2)),
              (std::vector<PixelRect>{{7, 14, 16, 18}, {0, 14, 9, 18}}));
    EXPECT_EQ(rectsOf(drawBoxDrawingCharacter(0x2503, 1, 8, 16, 1)),
              (std::vector<PixelRect>{{3, 0, 5, 8}, {3, 7, 5, 16}}));
}

TEST(BoxDrawingGlyph, BandOfAnOddCellStartsAtTheLowerHalf)
{
    // H = 17, t = 2: rows floor(15 / 2) = 7 up to 9.
    const BoxDrawingGlyph glyph = drawBoxDrawingCharacter(0x2500, 2, 8, 17, 1);
    for (const PixelRect &rect : glyph.filledRects()) {
        EXPECT_EQ(rect.y0, 7);
        EXPECT_EQ(rect.y1, 9);
    }
}

TEST(BoxDrawingGlyph, HeavyLineWiderThanTheCellCoversTheWholeCell)
{
    const BoxDrawingGlyph glyph = drawBoxDrawingCharacter(0x2501, 2, 8, 3, 1);
    EXPECT_EQ(rectsOf(glyph), (std::vector<PixelRect>{{3, 0, 8, 3}, {0, 0, 5, 3}}));
}

TEST(BoxDrawingGlyph, ArmsMeetAtTheCentre)
{
    EXPECT_EQ(picture(drawBoxDrawingCharacter(0x253C, 1, 9, 9, 1)), // light cross
              "....#....\n"
              "....#....\n"
              "....#....\n"
              "....#....\n"
              "#########\n"
              "....#....\n"
              "....#....\n"
              "....#....\n"
              "....#....\n");
    // The down arm of a tee starts below the horizontal bar.
    EXPECT_EQ(rectsOf(drawBoxDrawingCharacter(0x252C, 1, 9, 9, 1)),
              (std::vector<PixelRect>{{4, 4, 9, 5}, {4, 5, 5, 9}, {0, 4, 5, 5}}));
    // A heavy arm makes the light arm it meets reach across the heavy band.
    EXPECT_EQ(picture(drawBoxDrawingCharacter(0x2511, 1, 9, 9, 1)), // down light, left heavy
              ".........\n"
              ".........\n"
              ".........\n"
              "#####....\n"
              "#####....\n"
              "....#....\n"
              "....#....\n"
              "....#....\n"
              "....#....\n");
}

TEST(BoxDrawingGlyph, DoubleLinesTurnCornersWithInnerStrokesStoppingAtEachOther)
{
    EXPECT_EQ(picture(drawBoxDrawingCharacter(0x2554, 1, 9, 9, 1)), // double down and right
              ".........\n"
              ".........\n"
              ".........\n"
              "...######\n"
              "...#.....\n"
              "...#.####\n"
              "...#.#...\n"
              "...#.#...\n"
              "...#.#...\n");
    EXPECT_EQ(picture(drawBoxDrawingCharacter(0x256C, 1, 9, 9, 1)), // double cross
              "...#.#...\n"
              "...#.#...\n"
              "...#.#...\n"
              "####.####\n"
              ".........\n"
              "####.####\n"
              "...#.#...\n"
              "...#.#...\n"
              "...#.#...\n");
    // A single line meeting a double one reaches its outer stroke.
    EXPECT_EQ(picture(drawBoxDrawingCharacter(0x2562, 1, 9, 9, 1)), // vertical double, left single
              "...#.#...\n"
              "...#.#...\n"
              "...#.#...\n"
              "...#.#...\n"
              "####.#...\n"
              "...#.#...\n"
              "...#.#...\n"
              "...#.#...\n"
              "...#.#...\n");
}

TEST(BoxDrawingGlyph, DashesShareTheCellLengthWithEqualGaps)
{
    struct Case {
        uint32_t codePoint;
        int base;
        double width;
        double height;
        std::vector<PixelRect> rects;
    };
    const Case cases[] = {
        // 30 pixels, 4 dashes, gap min(3, 4) = 3: 18 pixels of dashes, 5 5 4 4, half a gap first.
        {0x2508, 1, 30, 10, {{1, 4, 6, 5}, {9, 4, 14, 5}, {17, 4, 21, 5}, {24, 4, 28, 5}}},
        // Vertical dashes start at the top.
        {0x250A, 1, 10, 30, {{4, 0, 5, 5}, {4, 8, 5, 13}, {4, 16, 5, 20}, {4, 23, 5, 27}}},
        // Two dashes with the gap capped at the light thickness 2.
        {0x254C, 2, 8, 10, {{1, 4, 3, 6}, {5, 4, 7, 6}}},
        // Heavy triple dash: thickness 4, gap min(16 / 6, 4) = 2, dashes 4 3 3.
        {0x2505, 2, 16, 10, {{1, 3, 5, 7}, {7, 3, 10, 7}, {12, 3, 15, 7}}},
        // Too short for three dashes: one solid line of the base thickness.
        {0x2504, 1, 5, 10, {{0, 4, 5, 5}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.codePoint);
        EXPECT_EQ(rectsOf(drawBoxDrawingCharacter(c.codePoint, c.base, c.width, c.height, 1)), c.rects);
    }
}

TEST(BoxDrawingGlyph, DashesAtTwoTimesUseTheScaledLightThickness)
{
    // 10 × 10 points at 2×: 20 pixels, light 2, gap min(20 / 6, 4) = 3, dashes (20 - 9) / 3 = 3 + 2 left.
    EXPECT_EQ(rectsOf(drawBoxDrawingCharacter(0x2504, 1, 10, 10, 2)),
              (std::vector<PixelRect>{{1, 9, 5, 11}, {8, 9, 12, 11}, {15, 9, 18, 11}}));
}

TEST(BoxDrawingGlyph, RoundedCornerIsTwoBarsAndAQuarterRing)
{
    // 8 × 16 at 1×: t = 1, centre lines 3.5 and 7.5, radius min(2.4, 3.5) = 2.4.
    const BoxDrawingGlyph downRight = drawBoxDrawingCharacter(0x256D, 1, 8, 16, 1);
    EXPECT_EQ(rectsOf(downRight), (std::vector<PixelRect>{{3, 9, 4, 16}, {5, 7, 8, 8}}));
    ASSERT_TRUE(downRight.arc());
    const BoxDrawingArc arc = *downRight.arc();
    EXPECT_DOUBLE_EQ(arc.centre.x, 5.9);
    EXPECT_DOUBLE_EQ(arc.centre.y, 9.9);
    EXPECT_DOUBLE_EQ(arc.outerRadius, 2.9);
    EXPECT_DOUBLE_EQ(arc.innerRadius, 1.9);
    EXPECT_DOUBLE_EQ(arc.clip.x, 0);
    EXPECT_DOUBLE_EQ(arc.clip.y, 0);
    EXPECT_DOUBLE_EQ(arc.clip.right(), 5.9);
    EXPECT_DOUBLE_EQ(arc.clip.bottom(), 9.9);
}

TEST(BoxDrawingGlyph, RoundedCornerAtTwoTimes)
{
    // 16 × 32 pixels, t = 2, centre lines 8 and 16, radius min(4.8, 7) = 4.8.
    const BoxDrawingGlyph upLeft = drawBoxDrawingCharacter(0x256F, 1, 8, 16, 2);
    EXPECT_EQ(rectsOf(upLeft), (std::vector<PixelRect>{{7, 0, 9, 12}, {0, 15, 4, 17}}));
    ASSERT_TRUE(upLeft.arc());
    const BoxDrawingArc arc = *upLeft.arc();
    EXPECT_DOUBLE_EQ(arc.centre.x, 3.2);
    EXPECT_DOUBLE_EQ(arc.centre.y, 11.2);
    EXPECT_DOUBLE_EQ(arc.outerRadius, 5.8);
    EXPECT_DOUBLE_EQ(arc.innerRadius, 3.8);
    EXPECT_DOUBLE_EQ(arc.clip.x, 3.2);
    EXPECT_DOUBLE_EQ(arc.clip.y, 11.2);
    EXPECT_DOUBLE_EQ(arc.clip.right(), 16);
    EXPECT_DOUBLE_EQ(arc.clip.bottom(), 32);

    const BoxDrawingGlyph upRight = drawBoxDrawingCharacter(0x2570, 1, 8, 16, 2);
    EXPECT_EQ(rectsOf(upRight), (std::vector<PixelRect>{{7, 0, 9, 12}, {12, 15, 16, 17}}));
    EXPECT_DOUBLE_EQ(upRight.arc()->centre.x, 12.8);
    EXPECT_DOUBLE_EQ(upRight.arc()->clip.x, 0);
    EXPECT_DOUBLE_EQ(upRight.arc()->clip.right(), 12.8);
}

TEST(BoxDrawingGlyph, CornerOfATinyCellIsAQuarterDiscAtTheCentre)
{
    // Smaller side 2, no more than t = 2: radius 0.
    const BoxDrawingGlyph downLeft = drawBoxDrawingCharacter(0x256E, 2, 2, 4, 1);
    EXPECT_EQ(rectsOf(downLeft), (std::vector<PixelRect>{{0, 2, 2, 4}, {0, 1, 1, 3}}));
    ASSERT_TRUE(downLeft.arc());
    EXPECT_EQ(*downLeft.arc(), (BoxDrawingArc{{1, 2}, 1, 0, {1, 0, 1, 2}}));
}

TEST(BoxDrawingGlyph, DiagonalsOverhangTheCornersAndThickenWithTheLightStroke)
{
    const BoxDrawingGlyph rising = drawBoxDrawingCharacter(0x2571, 1, 8, 16, 1);
    ASSERT_EQ(rising.lines().size(), 1u);
    EXPECT_EQ(rising.lines()[0], (BoxDrawingLine{{8.25, -0.5}, {-0.25, 16.5}, 1}));
    EXPECT_TRUE(rising.filledRects().empty());

    const BoxDrawingGlyph cross = drawBoxDrawingCharacter(0x2573, 1, 8, 16, 2);
    ASSERT_EQ(cross.lines().size(), 2u);
    EXPECT_EQ(cross.lines()[0], (BoxDrawingLine{{16.25, -0.5}, {-0.25, 32.5}, 3}));
    EXPECT_EQ(cross.lines()[1], (BoxDrawingLine{{-0.25, -0.5}, {16.25, 32.5}, 3}));
}

TEST(BoxDrawingGlyph, CodePointsOutsideTheBlockDrawNothing)
{
    EXPECT_TRUE(drawBoxDrawingCharacter(0x24FF, 1, 8, 16, 1).isEmpty());
    EXPECT_TRUE(drawBoxDrawingCharacter(0x2580, 1, 8, 16, 1).isEmpty());
}

TEST(BoxDrawingGlyph, UnusableSizesAreBounded)
{
    const BoxDrawingGlyph glyph = drawBoxDrawingCharacter(0x253C, 1, std::nan(""), -3, 0);
    EXPECT_EQ(glyph.widthPx(), 1);
    EXPECT_EQ(glyph.heightPx(), 1);
    EXPECT_EQ(glyph.scale(), 1);
    EXPECT_EQ(picture(glyph), "#\n");

    // An absurd stroke is bounded before it is doubled, and fills the cell.
    const BoxDrawingGlyph heavy = drawBoxDrawingCharacter(0x254B, std::numeric_limits<int>::max(), 2, 3, 1);
    EXPECT_EQ(picture(heavy), "##\n##\n##\n");
}

TEST(BoxDrawingGlyph, PixelRectsBecomePointsFromTheCellOrigin)
{
    const BoxDrawingGlyph glyph = drawBoxDrawingCharacter(0x2500, 1, 8, 16, 2);
    EXPECT_EQ(glyph.rectInPoints(glyph.filledRects()[0], {80, 32}), (RectF{83.5, 39.5, 4.5, 1}));
}

TEST(BoxDrawingPlacement, BaseThicknessIsAtLeastOnePointAndFollowsTheUnderline)
{
    EXPECT_EQ(boxDrawingBaseThickness(1, 1), 1);   // 1.35 rounds to 1
    EXPECT_EQ(boxDrawingBaseThickness(1, 2), 3);   // 2.7 rounds to 3
    EXPECT_EQ(boxDrawingBaseThickness(0.2, 2), 2); // never below one point
    EXPECT_EQ(boxDrawingBaseThickness(2, 1), 3);
}

TEST(BoxDrawingPlacement, CellsSitOnWholeDevicePixelsOfAWholePixelCellWidth)
{
    // Cell 7.6 × 17.5 points, row 5.
    EXPECT_EQ(boxDrawingCellRect(3, 2, 0, 5 * 17.5, 7.6, 17.5, 1), (RectF{24, 88, 16, 18}));
    EXPECT_EQ(boxDrawingCellRect(3, 2, 0, 5 * 17.5, 7.6, 17.5, 2), (RectF{22.5, 87.5, 15, 17.5}));
    // Neighbouring cells meet exactly.
    const RectF left = boxDrawingCellRect(4, 1, 0.3, 0, 7.6, 17.5, 2);
    const RectF right = boxDrawingCellRect(5, 1, 0.3, 0, 7.6, 17.5, 2);
    EXPECT_EQ(left.right(), right.x);
}

} // namespace
} // namespace kestrix
