#include "Kestrix/rendering/gpu/MetalCursorDrawData.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

// A cursor at column 2 of the first of 5 visible lines, 10 × 20 point cells, a 100-point-high view.
MetalCursorState cursorAt(CursorStyle style)
{
    MetalCursorState state;
    state.style = style;
    state.line = 0;
    state.column = 2;
    state.cols = 10;
    state.lineCount = 5;
    state.lastVisible = 4;
    state.cellWidth = 10;
    state.cellHeight = 20;
    state.viewHeight = 100;
    state.color = {1, 1, 1, 1};
    return state;
}

// The quads of the vertex list as (x0, y0, x1, y1).
std::vector<std::array<float, 4>> quads(const MetalCursorDrawData &data)
{
    std::vector<std::array<float, 4>> result;
    for (size_t i = 0; i + 5 < data.colorVertices.size(); i += 6) {
        result.push_back({data.colorVertices[i].position.x, data.colorVertices[i].position.y,
                          data.colorVertices[i + 4].position.x, data.colorVertices[i + 4].position.y});
    }
    return result;
}

TEST(MetalCursorDrawData, EachStyleFocusedHasItsShape)
{
    using Quads = std::vector<std::array<float, 4>>;
    for (const CursorStyle style : {CursorStyle::blinkBlock, CursorStyle::steadyBlock}) {
        const MetalCursorDrawData block = buildCursorDrawData(cursorAt(style));
        EXPECT_EQ(quads(block), (Quads{{20, 80, 30, 100}}));
        EXPECT_TRUE(block.blockRect);
    }
    for (const CursorStyle style : {CursorStyle::blinkUnderline, CursorStyle::steadyUnderline}) {
        EXPECT_EQ(quads(buildCursorDrawData(cursorAt(style))), (Quads{{20, 80, 30, 82}}));
    }
    for (const CursorStyle style : {CursorStyle::blinkBar, CursorStyle::steadyBar}) {
        const MetalCursorDrawData bar = buildCursorDrawData(cursorAt(style));
        EXPECT_EQ(quads(bar), (Quads{{20, 80, 22, 100}}));
        EXPECT_FALSE(bar.blockRect);
    }
}

TEST(MetalCursorDrawData, UnfocusedIsAHollowBoxWhateverTheStyle)
{
    for (const CursorStyle style : {CursorStyle::steadyBlock, CursorStyle::steadyUnderline, CursorStyle::blinkBar}) {
        MetalCursorState state = cursorAt(style);
        state.focused = false;
        state.scale = 2;
        const MetalCursorDrawData data = buildCursorDrawData(state);
        EXPECT_EQ(quads(data), (std::vector<std::array<float, 4>>{
                                   {40, 160, 60, 166}, {40, 194, 60, 200}, {40, 166, 46, 194}, {54, 166, 60, 194}}));
        EXPECT_FALSE(data.blockRect);
    }
}

TEST(MetalCursorDrawData, NothingWhenHiddenOffScreenOrInTheOffPhase)
{
    MetalCursorState off = cursorAt(CursorStyle::blinkBar);
    off.blinkOn = false;
    MetalCursorState steady = cursorAt(CursorStyle::steadyBar);
    steady.blinkOn = false;
    EXPECT_TRUE(buildCursorDrawData(off).colorVertices.empty());
    EXPECT_FALSE(buildCursorDrawData(steady).colorVertices.empty());

    MetalCursorState hidden = cursorAt(CursorStyle::steadyBlock);
    hidden.hidden = true;
    MetalCursorState scrolledBack = cursorAt(CursorStyle::steadyBlock);
    scrolledBack.line = 20;
    scrolledBack.lineCount = 30;
    scrolledBack.firstVisible = 3;
    scrolledBack.lastVisible = 7;
    MetalCursorState pastTheLine = cursorAt(CursorStyle::steadyBlock);
    pastTheLine.column = 10;
    for (const MetalCursorState &state : {hidden, scrolledBack, pastTheLine}) {
        EXPECT_TRUE(buildCursorDrawData(state).colorVertices.empty());
    }
}

TEST(MetalCursorDrawData, WideCharactersAndDoubleWidthLinesWidenIt)
{
    MetalCursorState wide = cursorAt(CursorStyle::steadyBlock);
    wide.cellColumns = 2;
    EXPECT_EQ(buildCursorDrawData(wide).blockRect->x1, 40);
    MetalCursorState doubled = cursorAt(CursorStyle::steadyBlock);
    doubled.renderMode = BufferLine::RenderLineMode::doubleWidth;
    const MetalCursorRect rect = *buildCursorDrawData(doubled).blockRect;
    EXPECT_EQ(rect.x0, 40);
    EXPECT_EQ(rect.x1, 60);
    // Lower on screen: line 3 with one line scrolled off.
    MetalCursorState lower = cursorAt(CursorStyle::steadyBlock);
    lower.line = 3;
    lower.yDisp = 1;
    lower.firstVisible = 1;
    EXPECT_EQ(buildCursorDrawData(lower).blockRect->y0, 40);
}

} // namespace
} // namespace kestrix
