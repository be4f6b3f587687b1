#include "Kestrix/rendering/gpu/GpuGeometry.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

constexpr GpuColor red{1, 0, 0, 1};

GpuClip clipTo(float x0, float y0, float x1, float y1)
{
    return {{{x0, y0}, {x1, y1}}, false};
}

const GpuClip noClip{};

TEST(GpuGeometry, RenderModeDoublesAndStretchesAboutTheAnchor)
{
    const GpuRect rect{{10, 100}, {20, 110}};
    EXPECT_EQ(applyRenderMode(rect, LineRenderMode::single, 100), rect);
    EXPECT_EQ(applyRenderMode(rect, LineRenderMode::doubleWidth, 100), (GpuRect{{20, 100}, {40, 110}}));
    // y = H stays, y = H + 10 goes to H + 20.
    EXPECT_EQ(applyRenderMode(rect, LineRenderMode::doubledDown, 100), (GpuRect{{20, 100}, {40, 120}}));
    EXPECT_EQ(applyRenderMode(rect, LineRenderMode::doubledTop, 110), (GpuRect{{20, 90}, {40, 110}}));
    // Corners come back ordered.
    EXPECT_EQ(applyRenderMode({{5, 8}, {1, 2}}, LineRenderMode::single, 0), (GpuRect{{1, 2}, {5, 8}}));
}

TEST(GpuGeometry, ClipRectCutsOrDropsAndUnclippedPasses)
{
    const GpuRect rect{{0, 0}, {10, 10}};
    EXPECT_EQ(clipRect(rect, noClip), rect);
    EXPECT_EQ(clipRect(rect, clipTo(5, -5, 20, 8)), (GpuRect{{5, 0}, {10, 8}}));
    EXPECT_EQ(clipRect(rect, clipTo(10, 0, 20, 10)), std::nullopt);
    EXPECT_EQ(clipRect(rect, clipTo(0, 12, 10, 20)), std::nullopt);
}

TEST(GpuGeometry, ClippedTextureCoordinatesFollowTheVisiblePart)
{
    const TexturedRect quad{{{0, 0}, {10, 20}}, {{0, 0}, {1, 1}}};
    const std::optional<TexturedRect> half = clipTexturedRect(quad, clipTo(5, 0, 100, 100));
    ASSERT_TRUE(half);
    EXPECT_EQ(half->rect, (GpuRect{{5, 0}, {10, 20}}));
    EXPECT_EQ(half->texture, (GpuRect{{0.5f, 0}, {1, 1}}));
    const std::optional<TexturedRect> quarter = clipTexturedRect(quad, clipTo(-5, 5, 5, 10));
    ASSERT_TRUE(quarter);
    EXPECT_EQ(quarter->texture, (GpuRect{{0, 0.25f}, {0.5f, 0.5f}}));
    EXPECT_EQ(clipTexturedRect(quad, clipTo(20, 0, 30, 20)), std::nullopt);
    EXPECT_EQ(clipTexturedRect({{{5, 5}, {5, 9}}, {}}, clipTo(0, 0, 10, 10)), std::nullopt);
    EXPECT_EQ(clipTexturedRect({{{5, 5}, {5, 9}}, {}}, noClip), (TexturedRect{{{5, 5}, {5, 9}}, {}}));
}

TEST(GpuGeometry, AspectFitCentresTheImage)
{
    EXPECT_EQ(aspectFitRect(200, 100, {0, 0, 100, 100}), (RectF{0, 25, 100, 50}));
    EXPECT_EQ(aspectFitRect(100, 200, {10, 10, 100, 100}), (RectF{35, 10, 50, 100}));
    EXPECT_EQ(aspectFitRect(50, 50, {0, 0, 100, 200}), (RectF{0, 50, 100, 100}));
    for (const auto &[width, height] : {std::pair{0.0, 10.0}, {10.0, -1.0}}) {
        EXPECT_EQ(aspectFitRect(width, height, {1, 2, 3, 4}), (RectF{1, 2, 3, 4}));
    }
    EXPECT_EQ(aspectFitRect(10, 10, {1, 2, 0, 4}), (RectF{1, 2, 0, 4}));
}

TEST(GpuGeometry, ImageDrawIsTwoWhiteTrianglesOfTheScaledRectangle)
{
    const std::optional<ImageDraw> draw =
        makeImageDraw(nullptr, LineRenderMode::single, noClip, {{1, 2}, {3, 4}}, {{0, 0}, {1, 1}}, 0, 2);
    ASSERT_TRUE(draw);
    const GpuColor white{1, 1, 1, 1};
    const std::vector<GlyphVertex> expected = {
        {{2, 4}, {0, 0}, white}, {{6, 4}, {1, 0}, white}, {{2, 8}, {0, 1}, white},
        {{6, 4}, {1, 0}, white}, {{6, 8}, {1, 1}, white}, {{2, 8}, {0, 1}, white},
    };
    EXPECT_EQ(draw->vertices, expected);
}

TEST(GpuGeometry, ImageDrawOutsideTheClipIsDroppedAndHalfInsideKeepsItsHalf)
{
    EXPECT_FALSE(makeImageDraw(nullptr, LineRenderMode::single, clipTo(0, 0, 10, 10), {{20, 0}, {30, 10}},
                               {{0, 0}, {1, 1}}, 0, 1));
    const std::optional<ImageDraw> half = makeImageDraw(nullptr, LineRenderMode::single, clipTo(0, 0, 10, 10),
                                                        {{0, 5}, {10, 15}}, {{0, 0}, {1, 1}}, 0, 1);
    ASSERT_TRUE(half);
    EXPECT_EQ(half->vertices[0].position, (GpuPoint{0, 5}));
    EXPECT_EQ(half->vertices[0].texCoord, (GpuPoint{0, 0}));
    EXPECT_EQ(half->vertices[4].position, (GpuPoint{10, 10}));
    EXPECT_EQ(half->vertices[4].texCoord, (GpuPoint{1, 0.5f}));
}

std::vector<ColorCell> decorate(UnderlineStyle style, float startX, float endX, float thickness = 2,
                                const GpuClip &clip = noClip, LineRenderMode mode = LineRenderMode::single)
{
    std::vector<ColorCell> cells;
    appendDecorationCells(style, mode, clip, cells, {startX, endX, 50, thickness, 1, 40}, red);
    return cells;
}

TEST(GpuGeometry, StraightUnderlinesAreOneBar)
{
    EXPECT_TRUE(decorate(UnderlineStyle::none, 0, 100).empty());
    for (const UnderlineStyle style : {UnderlineStyle::single, UnderlineStyle::double_}) {
        EXPECT_EQ(decorate(style, 10, 30), (std::vector<ColorCell>{{{10, 49}, {20, 2}, red}}));
    }
    EXPECT_TRUE(decorate(UnderlineStyle::single, 30, 30).empty());
    EXPECT_TRUE(decorate(UnderlineStyle::single, 30, 10).empty());
    // On a double-height line the bar doubles about the anchor, and the clip cuts it.
    // bar y 49...51 about anchor 40 → 58...62, x doubled to 20...60, then cut.
    EXPECT_EQ(decorate(UnderlineStyle::single, 10, 30, 2, clipTo(0, 0, 50, 61), LineRenderMode::doubledDown),
              (std::vector<ColorCell>{{{20, 58}, {30, 3}, red}}));
    EXPECT_TRUE(decorate(UnderlineStyle::single, 10, 30, 2, clipTo(0, 0, 50, 58), LineRenderMode::doubledDown).empty());
}

TEST(GpuGeometry, DottedAndDashedBarsRepeatAndTheLastIsCut)
{
    // Stroke width 2: dots of 2 every 6, dashes of 4 every 8.
    const std::vector<ColorCell> dots = decorate(UnderlineStyle::dotted, 0, 13);
    ASSERT_EQ(dots.size(), 3u);
    EXPECT_EQ(dots[1].position, (GpuPoint{6, 49}));
    EXPECT_EQ(dots[2].size, (GpuPoint{1, 2}));
    const std::vector<ColorCell> dashes = decorate(UnderlineStyle::dashed, 0, 18);
    ASSERT_EQ(dashes.size(), 3u);
    EXPECT_EQ(dashes[0].size, (GpuPoint{4, 2}));
    EXPECT_EQ(dashes[2].position, (GpuPoint{16, 49}));
    EXPECT_EQ(dashes[2].size, (GpuPoint{2, 2}));
}

TEST(GpuGeometry, CurlyFollowsASineOfFlatSegments)
{
    // Exactly one stroke width: one segment at the sine's zero.
    EXPECT_EQ(decorate(UnderlineStyle::curly, 0, 2), (std::vector<ColorCell>{{{0, 49}, {2, 2}, red}}));
    const std::vector<ColorCell> curly = decorate(UnderlineStyle::curly, 0, 8);
    ASSERT_EQ(curly.size(), 4u);
    const float centres[] = {50, 52, 50, 48};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(curly[i].position.y + 1, centres[i], 1e-4) << i;
        EXPECT_FLOAT_EQ(curly[i].position.x, 2.0f * static_cast<float>(i));
    }
}

TEST(GpuGeometry, DecorationsWithoutAStrokeWidthDrawNothingAndEnd)
{
    std::vector<ColorCell> cells;
    for (const UnderlineStyle style : {UnderlineStyle::curly, UnderlineStyle::dotted, UnderlineStyle::dashed}) {
        appendDecorationCells(style, LineRenderMode::single, noClip, cells, {0, 100, 50, 0, 0, 0}, red);
        appendDecorationCells(style, LineRenderMode::single, noClip, cells, {0, 100, 50, -3, -1, 0}, red);
        appendDecorationCells(style, LineRenderMode::single, noClip, cells, {0, 1e30f, 50, 1e-30f, 0, 0}, red);
    }
    EXPECT_TRUE(cells.empty());
}

TEST(GpuGeometry, PlaceholderFindsTheFirstPlacementHoldingTheCell)
{
    const std::vector<KittyPlacementRecord> placements = {
        {.imageId = 1, .placementId = 4, .cols = 2, .rows = 2, .isVirtual = true},
        {.imageId = 1, .placementId = 5, .cols = 0, .rows = 9, .isVirtual = true},
        {.imageId = 1, .placementId = 6, .cols = 5, .rows = 5, .isVirtual = true},
    };
    const auto cell = [](uint32_t placementId, int64_t row, int64_t col) {
        KittyPlaceholderCell placeholder;
        placeholder.imageId = 1;
        placeholder.placementId = placementId;
        placeholder.placeholderRow = row;
        placeholder.placeholderCol = col;
        return placeholder;
    };
    EXPECT_EQ(placementForPlaceholder(placements, cell(0, 1, 1))->placementId, 4u);
    EXPECT_EQ(placementForPlaceholder(placements, cell(0, 3, 1))->placementId, 6u);
    EXPECT_EQ(placementForPlaceholder(placements, cell(6, 0, 0))->placementId, 6u);
    EXPECT_FALSE(placementForPlaceholder(placements, cell(5, 0, 0)));
    EXPECT_FALSE(placementForPlaceholder(placements, cell(0, 5, 0)));
}

TEST(GpuGeometry, VisibleLineRange)
{
    EXPECT_EQ(visibleLineRange(0, 24, 0), std::nullopt);
    EXPECT_EQ(visibleLineRange(0, 24, 100), (LineIndexRange{0, 23}));
    EXPECT_EQ(visibleLineRange(90, 24, 100), (LineIndexRange{90, 99}));
    EXPECT_EQ(visibleLineRange(100, 24, 100), std::nullopt);
}

} // namespace
} // namespace kestrix
