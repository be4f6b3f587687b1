#include "Kestrix/rendering/gpu/MetalTerminalRenderer.h"
#include "Kestrix/view/CaretView.h"
#include "Kestrix/view/MetalView.h"
#include "Kestrix/view/TerminalViewMetalFrame.h"
#include "tests/Kestrix/view/TerminalViewTestSupport.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::ViewFixture;

// A 20 x 6 terminal view at a backing scale and a GPU renderer whose context is current, so frames
// can be built directly. The GL widget has the view's size in device pixels.
struct FrameSetup {
    explicit FrameSetup(double scale = 1)
        : scale(scale)
        , f(ViewFixture::gridFrame(20, 6), ViewFixture::defaultMetrics, scale)
    {
        metalView.resize(f.view->size() * scale);
        metalView.setDelegate(&renderer);
        metalView.grabFramebuffer();
        metalView.makeCurrent();
    }
    ~FrameSetup()
    {
        metalView.doneCurrent();
        metalView.setDelegate(nullptr);
    }

    void feed(std::string_view text) { f.view->feedHostOutput(text); }
    DrawData build(std::optional<LineIndexRange> dirty = std::nullopt)
    {
        return renderer.buildFrameDrawData(scale, makeMetalFrameSource(*f.view, dirty));
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

    double scale;
    ViewFixture f;
    MetalView metalView;
    MetalTerminalRenderer renderer{f.view, &metalView};
};

struct FrameFixture : ::testing::Test, FrameSetup {};

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

TEST_F(FrameFixture, AVirtualPlacementPlacedAgainUnderItsIdsRebuildsEveryRow)
{
    feed("\x1b_Ga=t,i=7,f=24,s=1,v=1,q=2;AAAA\x1b\\\x1b_Ga=p,U=1,i=7,p=3,c=2,r=1,q=2\x1b\\");
    build();
    EXPECT_EQ(rebuilt(), 0);
    // The same image and placement ids: no count and no id counter moves, but its cells show other slices.
    feed("\x1b_Ga=p,U=1,i=7,p=3,c=4,r=2,q=2\x1b\\");
    EXPECT_EQ(f.terminal().kittyGraphicsState.placementsByKey.size(), 1u);
    EXPECT_EQ(rebuilt(), 6);
    EXPECT_EQ(rebuilt(), 0);
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

// The same terminal drawn by both renderers: the QPainter path's rows and caret into an image, and the
// GPU renderer's frame read back from its framebuffer.
struct BothRenderers : ::testing::TestWithParam<double>, FrameSetup {
    BothRenderers()
        : FrameSetup(GetParam())
    {
    }

    QImage paintedByQPainter()
    {
        QImage image(f.view->size() * scale, QImage::Format_RGB32);
        image.setDevicePixelRatio(scale);
        QPainter painter(&image);
        f.view->drawTerminalContents(painter, QRectF(image.rect()), f.terminal().buffer->yDisp());
        CaretView *caret = f.view->caretView();
        f.view->updateCaretFrame();
        if (caret->isVisible()) {
            painter.translate(caret->pos());
            caret->drawCaretContents(painter, true);
        }
        return image;
    }
    QImage drawnByGpu()
    {
        metalView.doneCurrent();
        // The widget is not on a high-density screen: the frame is built at the view's scale.
        renderer.setFrameBuilder([this](double) { return build(); });
        QImage image = metalView.grabFramebuffer().convertToFormat(QImage::Format_RGB32);
        metalView.makeCurrent();
        return image;
    }
};

struct Difference {
    int worst = 0;
    double mean = 0;
};

Difference compare(const QImage &a, const QImage &b, const QRect &area)
{
    Difference difference;
    double total = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            const int channel = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                          std::abs(qBlue(p) - qBlue(q))});
            total += channel;
            difference.worst = std::max(difference.worst, channel);
        }
    }
    difference.mean = total / (area.width() * area.height());
    return difference;
}

TEST_P(BothRenderers, DoubleWidthAndDoubleHeightLinesMatchTheQPainterPath)
{
    // Cells of the default background are the cleared frame's, which follows the view's colour.
    f.view->setNativeBackgroundColor(QColor(30, 40, 50));
    feed("\x1b[?25l\x1b[44mplain \x1b[4mline\x1b[m\r\n"
         "\x1b#6\x1b[31mwide\x1b[42m \u2500\u2584\x1b[m\r\n"
         "\x1b#3\x1b[43mTall gy\x1b[m\r\n"
         "\x1b#4\x1b[43mTall gy\x1b[m\r\n"
         "\x1b#6\x1b[9mstruck\x1b[m");
    const QImage gpu = drawnByGpu();
    const QImage painted = paintedByQPainter();
    // The grid, without the scroller's strip.
    const auto s = static_cast<int>(scale);
    const Difference all = compare(gpu, painted, QRect(0, 0, 160 * s, 90 * s));
    // Stretched glyphs are drawn through the same transform as the QPainter path's, so they land on
    // the same pixels: nothing more than a rounding step apart, and on average far less.
    EXPECT_LE(all.worst, 2);
    EXPECT_LT(all.mean, 0.1);
    // Backgrounds, box and block cells: the doubled cells of the wide line, the doubled-height halves.
    for (const QPoint point : {QPoint(2 * 4 * 8 + 3, 15 + 2), QPoint(3, 30 + 1), QPoint(150, 45 + 13),
                               QPoint(2 * 7 * 8 + 4, 15 + 12), QPoint(2 * 6 * 8 + 1, 15 + 2)}) {
        EXPECT_EQ(gpu.pixel(point * s), painted.pixel(point * s)) << point.x() << "," << point.y();
    }
}

TEST_P(BothRenderers, TheCharacterUnderABlockCursorMatchesTheQPainterCaret)
{
    f.view->caretView()->setTracksFocus(false);
    feed("\x1b[2 q\x1b[32mWxy\x1b[D\x1b[D");
    const QImage gpu = drawnByGpu();
    const QImage painted = paintedByQPainter();
    const auto s = static_cast<int>(scale);
    const QRect caret(8 * s, 0, 8 * s, 15 * s);
    const Difference under = compare(gpu, painted, caret);
    EXPECT_LE(under.worst, 2);
    EXPECT_LT(under.mean, 0.2);
    // The caret's text colour is not the caret colour: the character shows.
    const QColor block = f.view->caretView()->caretColor();
    int inked = 0;
    for (int y = caret.top(); y <= caret.bottom(); ++y) {
        for (int x = caret.left(); x <= caret.right(); ++x) {
            inked += gpu.pixel(x, y) != block.rgb() ? 1 : 0;
        }
    }
    EXPECT_GT(inked, 5);
}

INSTANTIATE_TEST_SUITE_P(Scales, BothRenderers, ::testing::Values(1.0, 2.0));

} // namespace
} // namespace kestrix
