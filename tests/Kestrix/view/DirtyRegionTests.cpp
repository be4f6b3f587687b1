#include "Kestrix/view/DirtyRegion.h"

#include <climits>
#include <gtest/gtest.h>

namespace kestrix {
namespace {

TEST(DirtyRegionTest, RefreshRangeIsClippedToTheScreen)
{
    struct Case {
        int64_t start;
        int64_t end;
        int64_t rows;
        std::optional<RowRange> expected;
    };
    const Case cases[] = {
        {INT64_MAX, -1, 25, std::nullopt}, {3, 7, 25, RowRange{3, 7}},
        {0, 25, 25, RowRange{0, 24}}, // a full refresh marks one past the last row
        {-4, 2, 25, RowRange{0, 2}},       {30, 40, 25, RowRange{24, 24}},
        {5, 2, 25, std::nullopt},          {0, 0, 0, std::nullopt},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(DirtyRegion::clippedRows(c.start, c.end, c.rows), c.expected) << c.start << ".." << c.end;
    }
}

TEST(DirtyRegionTest, RectangleCoversTheRowsAndOneBelowOrReachesTheBottom)
{
    // 25 rows of 15 points in a frame 380 high (5 points spare below the grid), 600 wide.
    const QSizeF frame(600, 380);
    struct Case {
        RowRange rows;
        QRectF expected;
    };
    const Case cases[] = {
        {{0, 0}, QRectF(0, 0, 600, 30)},
        {{3, 7}, QRectF(0, 45, 600, 90)},
        {{23, 23}, QRectF(0, 345, 600, 30)},
        {{24, 24}, QRectF(0, 360, 600, 20)}, // the last row: down to the bottom edge
        {{0, 24}, QRectF(0, 0, 600, 380)},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(DirtyRegion::rectForRows(c.rows, 25, 15, frame), c.expected)
            << c.rows.first << ".." << c.rows.second;
    }
}

TEST(DirtyRegionTest, GpuLineRangeTable)
{
    struct Case {
        std::optional<RowRange> rows;
        int64_t yDisp;
        int64_t lineCount;
        int64_t screenRows;
        std::optional<LineRange> expected;
    };
    const Case cases[] = {
        {RowRange{2, 4}, 100, 125, 25, LineRange{102, 104}},
        {RowRange{0, 24}, 0, 10, 25, LineRange{0, 9}}, // a short buffer: clamped to its last line
        {RowRange{20, 24}, 0, 10, 25, LineRange{9, 9}},
        {RowRange{2, 4}, 0, 0, 25, std::nullopt},          // no lines at all
        {std::nullopt, 100, 125, 25, LineRange{100, 124}}, // no proper range: the visible lines
        {RowRange{3, 30}, 100, 125, 25, LineRange{100, 124}},
        {std::nullopt, 130, 125, 25, std::nullopt},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(DirtyRegion::metalDirtyRange(c.rows, c.yDisp, c.lineCount, c.screenRows), c.expected);
    }
}

} // namespace
} // namespace kestrix
