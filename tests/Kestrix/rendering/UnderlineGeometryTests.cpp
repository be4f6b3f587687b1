#include "Kestrix/rendering/StrikethroughGeometry.h"
#include "Kestrix/rendering/UnderlineGeometry.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace kestrix {
namespace {

TEST(UnderlineGeometry, WidthsFollowTheDevicePixelThickness)
{
    const UnderlineGeometry retina(1, 2, 8, 2);
    EXPECT_EQ(retina.lineWidth(), 1);
    EXPECT_EQ(retina.dashLength(), 2);
    EXPECT_EQ(retina.curlAmplitude(), 1);
    EXPECT_EQ(retina.curlWavelength(), 4);
    EXPECT_EQ(retina.doubleLineDistance(), 2);

    EXPECT_EQ(UnderlineGeometry(0.2, 2, 8, 1).lineWidth(), 0.5); // never thinner than half a point
    EXPECT_EQ(UnderlineGeometry(std::nan(""), 2, 8, 1).lineWidth(), 0.5);

    const UnderlineGeometry thick(1.3, 2, 8, 2); // 2.6 pixels round to 3
    EXPECT_EQ(thick.lineWidth(), 1.5);
    EXPECT_EQ(thick.dashLength(), 3);
    EXPECT_EQ(thick.curlAmplitude(), 1.5);
    EXPECT_EQ(thick.curlWavelength(), 6);
    EXPECT_EQ(thick.doubleLineDistance(), 2.5);
}

TEST(UnderlineGeometry, EachStyleRunsOneWholeCellWidthBelowTheBaseline)
{
    // Glyph at x 10 on a baseline at y 20; the line lies 2 points below; a 7.5 point cell draws 8.
    const UnderlineGeometry geometry(1, 2, 7.5, 2);
    const PointF origin{10, 20};
    const std::vector<PointF> line{{10, 22}, {18, 22}};

    struct Case {
        UnderlineStyle style;
        std::vector<DecorationStroke> strokes;
    };
    const Case cases[] = {
        {UnderlineStyle::none, {}},
        {UnderlineStyle::single, {{line, 1, 0, 0, StrokeCap::butt}}},
        {UnderlineStyle::double_,
         {{line, 1, 0, 0, StrokeCap::butt}, {{{10, 24}, {18, 24}}, 1, 0, 0, StrokeCap::butt}}},
        {UnderlineStyle::dotted, {{line, 1, 1, 2, StrokeCap::round}}},
        {UnderlineStyle::dashed, {{line, 1, 2, 2, StrokeCap::butt}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.style));
        std::vector<DecorationStroke> strokes;
        geometry.appendStrokes(c.style, origin, 1, strokes);
        ASSERT_EQ(strokes.size(), c.strokes.size());
        for (size_t i = 0; i < strokes.size(); ++i) {
            EXPECT_EQ(strokes[i].points, c.strokes[i].points);
            EXPECT_EQ(strokes[i].width, c.strokes[i].width);
            EXPECT_EQ(strokes[i].dash, c.strokes[i].dash);
            EXPECT_EQ(strokes[i].gap, c.strokes[i].gap);
            EXPECT_EQ(strokes[i].cap, c.strokes[i].cap);
        }
    }
}

TEST(UnderlineGeometry, CurlyLineOverAnEightPointCellHasNineSamplesRisingFirst)
{
    const UnderlineGeometry geometry(1, 2, 8, 1);
    std::vector<DecorationStroke> strokes;
    geometry.appendStrokes(UnderlineStyle::curly, {0, 20}, 1, strokes);
    ASSERT_EQ(strokes.size(), 1u);
    const std::vector<double> expectedY{22, 21, 22, 23, 22, 21, 22, 23, 22};
    ASSERT_EQ(strokes[0].points.size(), expectedY.size());
    for (size_t i = 0; i < expectedY.size(); ++i) {
        EXPECT_DOUBLE_EQ(strokes[0].points[i].x, static_cast<double>(i));
        EXPECT_NEAR(strokes[0].points[i].y, expectedY[i], 1e-9);
    }
    EXPECT_EQ(strokes[0].width, 1);
    EXPECT_FALSE(strokes[0].isDashed());
}

TEST(UnderlineGeometry, WideGlyphIsUnderlinedAcrossAllItsCells)
{
    const UnderlineGeometry geometry(1, 2, 7.5, 1);
    std::vector<DecorationStroke> strokes;
    geometry.appendStrokes(UnderlineStyle::single, {15, 20}, 2, strokes);
    geometry.appendStrokes(UnderlineStyle::curly, {15, 20}, 2, strokes);
    ASSERT_EQ(strokes.size(), 2u);
    EXPECT_EQ(strokes[0].points, (std::vector<PointF>{{15, 22}, {30, 22}}));
    EXPECT_EQ(strokes[1].points.size(), 16u);
    EXPECT_EQ(strokes[1].points.back().x, 30);

    const StrikethroughGeometry strikethrough(1, 7, 7.5, 1);
    strokes.clear();
    strikethrough.appendStrokes(1, {15, 20}, 2, strokes);
    EXPECT_EQ(strokes[0].points, (std::vector<PointF>{{15, 16}, {30, 16}}));
}

TEST(UnderlineGeometry, CurlsOfNeighbouringCellsJoin)
{
    // A 7 point cell is not a whole number of 4 point waves; the next cell picks up the phase.
    const UnderlineGeometry geometry(1, 2, 7, 1);
    std::vector<DecorationStroke> strokes;
    geometry.appendStrokes(UnderlineStyle::curly, {0, 20}, 1, strokes);
    geometry.appendStrokes(UnderlineStyle::curly, {7, 20}, 1, strokes);
    ASSERT_EQ(strokes.size(), 2u);
    EXPECT_EQ(strokes[0].points.back().x, strokes[1].points.front().x);
    EXPECT_NEAR(strokes[0].points.back().y, 23, 1e-9);
    EXPECT_NEAR(strokes[1].points.front().y, 23, 1e-9);
}

TEST(UnderlineGeometry, UnusableCellWidthDrawsAPointNotAnEndlessCurl)
{
    std::vector<DecorationStroke> strokes;
    UnderlineGeometry(1, 2, std::nan(""), 1).appendStrokes(UnderlineStyle::curly, {0, 20}, 1, strokes);
    ASSERT_EQ(strokes.size(), 1u);
    EXPECT_EQ(strokes[0].points.size(), 1u);
    // An endless cell still gives a bounded curl.
    UnderlineGeometry(1, 2, std::numeric_limits<double>::infinity(), 1)
        .appendStrokes(UnderlineStyle::curly, {0, 20}, 1, strokes);
    ASSERT_EQ(strokes.size(), 2u);
    EXPECT_LE(strokes[1].points.size(), 65537u);
}

TEST(UnderlineGeometry, StyleValueBitsChooseTheKind)
{
    struct Case {
        int64_t value;
        UnderlineStyle style;
    };
    const Case cases[] = {
        {0, UnderlineStyle::none},       {1, UnderlineStyle::single},      {0x8, UnderlineStyle::single},
        {0x9, UnderlineStyle::double_},  {0x101, UnderlineStyle::dotted},  {0x201, UnderlineStyle::dashed},
        {0x401, UnderlineStyle::dashed}, {0x309, UnderlineStyle::double_},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(underlineStyleFromStyleValue(c.value), c.style) << c.value;
    }
}

TEST(StrikethroughGeometry, LineCrossesTheMiddleOfTheXHeight)
{
    // x-height 7, thickness 1: the centre lies (7 + 1) / 2 = 4 above the baseline.
    const StrikethroughGeometry geometry(1, 7, 7.5, 1);
    EXPECT_EQ(geometry.lineWidth(), 1);
    EXPECT_EQ(geometry.raise(), 4);

    std::vector<DecorationStroke> strokes;
    geometry.appendStrokes(1, {10, 20}, 1, strokes);
    ASSERT_EQ(strokes.size(), 1u);
    EXPECT_EQ(strokes[0].points, (std::vector<PointF>{{10, 16}, {18, 16}}));
    EXPECT_FALSE(strokes[0].isDashed());
}

TEST(StrikethroughGeometry, DashAndDoubleBitsShapeTheLine)
{
    const StrikethroughGeometry geometry(0.2, 7, 8, 1); // thickness rounds up to half a point
    std::vector<DecorationStroke> strokes;
    geometry.appendStrokes(0x209, {0, 20}, 1, strokes);
    ASSERT_EQ(strokes.size(), 2u);
    EXPECT_EQ(strokes[0].points, (std::vector<PointF>{{0, 16.25}, {8, 16.25}}));
    EXPECT_EQ(strokes[1].points, (std::vector<PointF>{{0, 17.75}, {8, 17.75}}));
    for (const DecorationStroke &stroke : strokes) {
        EXPECT_EQ(stroke.width, 0.5);
        EXPECT_EQ(stroke.dash, 2);
        EXPECT_EQ(stroke.gap, 2);
    }
}

} // namespace
} // namespace kestrix
