#include "Kestrix/rendering/gpu/MetalTerminalRenderer.h"
#include "Kestrix/view/CaretView.h"
#include "Kestrix/view/MetalView.h"
#include "Kestrix/view/TerminalViewMetalFrame.h"
#include "tests/Kestrix/view/TerminalViewTestSupport.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::ViewFixture;

// A 20 x 6 terminal view and a GPU renderer whose context is current, so frames can be built directly.
struct FrameFixture : ::testing::Test {
    FrameFixture()
    {
        metalView.resize(f.view->size());
        metalView.setDelegate(&renderer);
        metalView.grabFramebuffer();
        metalView.makeCurrent();
    }
    ~FrameFixture() override
    {
        metalView.doneCurrent();
        metalView.setDelegate(nullptr);
    }

    void feed(std::string_view text) { f.view->feedHostOutput(text); }
    DrawData build(std::optional<LineIndexRange> dirty = std::nullopt)
    {
        return renderer.buildFrameDrawData(1, makeMetalFrameSource(*f.view, dirty));
    }
    int64_t rebuilt(std::optional<LineIndexRange> dirty = std::nullopt)
    {
        build(dirty);
        return renderer.lastFrameStats.rowsBuilt;
    }
    // The frame built with every row drawn anew.
    DrawData fresh()
    {
        renderer.rowCache.clear();
        return build();
    }

    ViewFixture f{ViewFixture::gridFrame(20, 6)};
    MetalView metalView;
    MetalTerminalRenderer renderer{f.view, &metalView};
};

void expectSameCells(const FrameDrawData &a, const FrameDrawData &b)
{
    EXPECT_EQ(a.backgroundCells, b.backgroundCells);
    EXPECT_EQ(a.glyphCellsGray, b.glyphCellsGray);
    EXPECT_EQ(a.glyphCellsColor, b.glyphCellsColor);
    EXPECT_EQ(a.decorationCells, b.decorationCells);
}

TEST_F(FrameFixture, PrintingIntoOneLineRebuildsOnlyThatRowAndTheFrameMatchesAFreshBuild)
{
    feed("one\r\n\x1b[31mtwo\x1b[m\r\nthree");
    ASSERT_TRUE(renderer.isReady());
    EXPECT_EQ(rebuilt(), 6);
    EXPECT_EQ(rebuilt(), 0);
    EXPECT_EQ(renderer.lastFrameStats.rowsReused, 6);
    feed("\x1b[2;5H\x1b[4mX");
    const DrawData cached = build();
    EXPECT_EQ(renderer.lastFrameStats.rowsBuilt, 1);
    EXPECT_EQ(renderer.rowCache.at(1).generation, f.terminal().buffer->lines()[1].generation);
    expectSameCells(cached.frame, fresh().frame);
    EXPECT_FALSE(cached.frame.decorationCells.empty());
}

TEST_F(FrameFixture, MovingTheViewportRebuildsEveryRow)
{
    for (int i = 0; i < 20; ++i) {
        feed("line " + std::to_string(i) + "\r\n");
    }
    build();
    f.view->scrollUp(1);
    EXPECT_EQ(rebuilt(), 6);
    expectSameCells(build().frame, fresh().frame);
    f.view->scrollDown(1);
    EXPECT_EQ(rebuilt(), 6);
}

TEST_F(FrameFixture, LinesMovingUnderAStillViewportAreDrawnAnew)
{
    // With no scrollback the viewport never moves: scrolling the screen puts other lines at every index.
    f.view->changeScrollback(0);
    for (int i = 0; i < 6; ++i) {
        feed("row " + std::to_string(i) + (i < 5 ? "\r\n" : ""));
    }
    build();
    feed("\r\nrow 6");
    EXPECT_EQ(rebuilt(), 6);
    expectSameCells(build().frame, fresh().frame);
}

TEST_F(FrameFixture, AChangedKittyStampOrAppearanceRebuildsEveryRow)
{
    feed("text");
    build();
    // An image transmitted without a placement changes only the Kitty stamp.
    feed("\x1b_Ga=t,i=7,f=24,s=1,v=1;AAAA\x1b\\");
    EXPECT_EQ(rebuilt(), 6);
    EXPECT_EQ(rebuilt(), 0);
    f.view->setSelectedTextBackgroundColor(QColor(1, 2, 3));
    EXPECT_EQ(rebuilt(), 6);
    f.view->selectAll();
    EXPECT_EQ(rebuilt(), 6);
}

TEST_F(FrameFixture, DirtyLinesRebuildOnlyTheirVisiblePart)
{
    for (int i = 0; i < 20; ++i) {
        feed("line " + std::to_string(i) + "\r\n");
    }
    const int64_t yDisp = f.terminal().buffer->yDisp();
    ASSERT_GT(yDisp, 4);
    build();
    EXPECT_EQ(rebuilt(LineIndexRange{0, yDisp - 1}), 0);
    EXPECT_EQ(rebuilt(LineIndexRange{yDisp + 6, yDisp + 40}), 0);
    EXPECT_EQ(rebuilt(LineIndexRange{yDisp - 3, yDisp + 1}), 2);
    EXPECT_EQ(rebuilt(LineIndexRange{yDisp + 5, yDisp + 9}), 1);
}

TEST_F(FrameFixture, AnEmptyViewportGivesNoRowsAndNoCursor)
{
    f.terminal().buffer->setYDisp(f.terminal().buffer->lines().count());
    const DrawData draw = build();
    EXPECT_TRUE(draw.frame.backgroundCells.empty());
    EXPECT_TRUE(draw.cursorColorVertices.empty());
    EXPECT_EQ(renderer.lastFrameStats.rowsBuilt, 0);
}

TEST_F(FrameFixture, TheCursorIsPartOfEveryFrameButNeverOfTheRowCache)
{
    feed("\x1b[2 qab");
    f.view->caretView()->setTracksFocus(false);
    const DrawData first = build();
    EXPECT_EQ(first.cursorColorVertices.size(), 6u);
    EXPECT_TRUE(first.cursorGlyphVerticesGray.empty());
    feed("\x1b[D");
    const DrawData second = build();
    EXPECT_EQ(renderer.lastFrameStats.rowsBuilt, 0);
    ASSERT_EQ(second.cursorColorVertices.size(), 6u);
    EXPECT_EQ(second.cursorColorVertices[0].position.x, 8);
    // The block now covers "b", which is drawn again over it.
    EXPECT_FALSE(second.cursorGlyphVerticesGray.empty());
}

} // namespace
} // namespace kestrix
