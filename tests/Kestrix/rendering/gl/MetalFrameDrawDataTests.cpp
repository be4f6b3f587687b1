#include "Kestrix/rendering/gpu/MetalTerminalRenderer.h"
#include "Kestrix/view/CaretView.h"
#include "Kestrix/view/MetalView.h"
#include "Kestrix/view/TerminalViewMetalFrame.h"
#include "tests/Kestrix/view/TerminalViewTestSupport.h"
#include "tests/support/KittyImages.h"

#include <QByteArray>
#include <QPainter>

#include <array>
#include <functional>
#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::ViewFixture;

// A terminal view (20 x 6 unless asked) at a backing scale and a GPU renderer whose context is
// current, so frames can be built directly. The GL widget has the view's size in device pixels.
struct FrameSetup {
    explicit FrameSetup(double scale = 1, int cols = 20, int rows = 6)
        : scale(scale)
        , f(ViewFixture::gridFrame(cols, rows), ViewFixture::defaultMetrics, scale)
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
    explicit BothRenderers(int cols = 20, int rows = 6)
        : FrameSetup(GetParam(), cols, rows)
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

// What a cell holds, for how closely both renderers must agree on it.
enum class CellKind { background, selection, decoration, slopedOrRoundDecoration, box, image, glyph };
constexpr int cellKinds = 7;

struct KindDifference {
    int worst = 0;
    double total = 0;
    int64_t pixels = 0;
    QPoint worstAt;
    double mean() const { return pixels == 0 ? 0 : total / static_cast<double>(pixels); }
};

// A 20 x 12 view holding one of each kind of thing the renderers draw, the kind of every cell noted
// where it is written.
struct WholeViewOnBothRenderers : BothRenderers {
    static constexpr int cols = 20;
    static constexpr int rows = 12;

    WholeViewOnBothRenderers()
        : BothRenderers(cols, rows)
    {
        kinds.fill(CellKind::background);
    }

    void mark(int row, int firstCol, int lastCol, CellKind kind)
    {
        for (int col = firstCol; col <= lastCol; ++col) {
            kinds[static_cast<size_t>(row * cols + col)] = kind;
        }
    }

    void feedFixture()
    {
        const auto s = static_cast<int>(scale);
        feed("\x1b[?25l");
        // 16, 256 and truecolour text on such backgrounds; a background erased to the last column.
        feed("\x1b[1;1H\x1b[31;42mAb\x1b[38;5;208;48;5;24mCd\x1b[38;2;250;220;10;48;2;90;20;140mEf"
             "\x1b[1;8H\x1b[48;5;130m   \x1b[48;2;20;160;150m\x1b[K\x1b[m");
        mark(0, 0, 5, CellKind::glyph);
        // Every underline style in an underline colour, under blank cells.
        feed("\x1b[2;1H\x1b[58;2;255;128;0m\x1b[4:1m    \x1b[4:2m    \x1b[4:3m    \x1b[4:4m    \x1b[4:5m"
             "    \x1b[m");
        mark(1, 0, 19, CellKind::decoration);
        mark(1, 8, 15, CellKind::slopedOrRoundDecoration);
        // Box-drawing and block glyphs on a coloured background.
        feed("\x1b[3;1H\x1b[36;48;5;17m"
             "\u2500\u2502\u250C\u2510\u2514\u2518\u251C\u253C\u2550\u2551\u2554\u255D\u256C"
             "\u2588\u2580\u2584\u258C\u2590\u2591\u2593\x1b[m");
        mark(2, 0, 19, CellKind::box);
        // Wide CJK and a colour emoji.
        feed("\x1b[4;1H\x1b[35mCJK \u6F22\u5B57 \U0001F600 ok\x1b[m");
        mark(3, 0, 13, CellKind::glyph);
        // A selection over text and blank cells.
        feed("\x1b[5;1Hsel");
        mark(4, 0, 2, CellKind::glyph);
        mark(4, 3, 10, CellKind::selection);
        // A two-colour Sixel image of 16 x 12 pixels.
        feed("\x1b[6;1H\x1bPq#0;2;100;0;0#1;2;0;0;100#0!16~-#1!16~\x1b\\");
        mark(5, 0, 1, CellKind::image);
        // A Kitty image shown through 2 x 2 placeholder cells, sent with a pixel for each of theirs.
        const int width = 16 * s;
        const int height = 30 * s;
        const std::string payload = rgbaPayload(width, height, [&](int x, int y) {
            return QColor(x * 255 / width, y * 255 / height, 180, 2 * x < width ? 255 : 120);
        });
        feed("\x1b_Ga=t,f=32,s=" + std::to_string(width) + ",v=" + std::to_string(height) + ",i=7,q=2;" +
             payload + "\x1b\\\x1b_Ga=p,U=1,i=7,c=2,r=2,q=2\x1b\\");
        feed("\x1b[7;3H\x1b[38;5;7;43m\U0010EEEE\u0305\u0305\U0010EEEE"
             "\x1b[8;3H\U0010EEEE\u030D\u0305\U0010EEEE\x1b[m");
        mark(6, 2, 3, CellKind::image);
        mark(7, 2, 3, CellKind::image);
        // A double-width line and a double-height pair, each with text and coloured blank cells.
        // Their blank cells are curled (double width) and dotted (double height) underneath.
        feed("\x1b[9;1H\x1b#6\x1b[31mwide\x1b[44;58;2;255;128;0;4:3m  \x1b[m");
        mark(8, 0, 7, CellKind::glyph);
        mark(8, 8, 11, CellKind::slopedOrRoundDecoration);
        feed("\x1b[10;1H\x1b#3\x1b[43mTall\x1b[42;58;2;255;128;0;4:4m  \x1b[m"
             "\x1b[11;1H\x1b#4\x1b[43mTall\x1b[42;58;2;255;128;0;4:4m  \x1b[m");
        mark(9, 0, 7, CellKind::glyph);
        mark(10, 0, 7, CellKind::glyph);
        mark(10, 8, 11, CellKind::slopedOrRoundDecoration);
        // Last, as host output ends a selection.
        f.view->selection()->setSelection({0, 4}, {11, 4});
    }

    std::array<KindDifference, cellKinds> differences(const QImage &a, const QImage &b) const
    {
        std::array<KindDifference, cellKinds> result;
        const auto s = static_cast<int>(scale);
        for (int y = 0; y < rows * 15 * s; ++y) {
            for (int x = 0; x < cols * 8 * s; ++x) {
                const QRgb p = a.pixel(x, y);
                const QRgb q = b.pixel(x, y);
                const int channel = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                              std::abs(qBlue(p) - qBlue(q))});
                KindDifference &d = result[static_cast<size_t>(
                    kinds[static_cast<size_t>(y / (15 * s) * cols + x / (8 * s))])];
                d.total += channel;
                ++d.pixels;
                if (channel > d.worst) {
                    d.worst = channel;
                    d.worstAt = {x, y};
                }
            }
        }
        return result;
    }

    std::array<CellKind, size_t{cols} * rows> kinds;
};

TEST_P(WholeViewOnBothRenderers, EveryKindOfCellMatchesTheQPainterPath)
{
    feedFixture();
    ASSERT_TRUE(f.view->selectionActive());
    ASSERT_EQ(f.terminal().buffer->lines()[5].images.value_or(BufferLine::ImageList{}).size(), 1u);
    const QImage gpu = drawnByGpu();
    const QImage painted = paintedByQPainter();
    const std::array<KindDifference, cellKinds> d = differences(gpu, painted);
    const char *names[] = {"background", "selection", "decoration", "curly and dotted",
                           "box",        "image",     "glyph"};
    for (int kind = 0; kind < cellKinds; ++kind) {
        const KindDifference &k = d[static_cast<size_t>(kind)];
        SCOPED_TRACE(names[kind]);
        ASSERT_GT(k.pixels, 0);
        if (static_cast<CellKind>(kind) == CellKind::glyph) {
            // Both draw the same glyph images at the same places; only how each composites them
            // onto the background rounds differently, by a step here and there.
            EXPECT_LE(k.worst, 2);
            EXPECT_LT(k.mean(), 0.1);
            continue;
        }
        // Flat colours, lines (curled and dotted too) and images land on the same pixels: one
        // rounding step at most.
        EXPECT_LE(k.worst, 1) << "at " << k.worstAt.x() << "," << k.worstAt.y() << ": "
                              << qPrintable(gpu.pixelColor(k.worstAt).name()) << " instead of "
                              << qPrintable(painted.pixelColor(k.worstAt).name());
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, WholeViewOnBothRenderers, ::testing::Values(1.0, 2.0));

} // namespace
} // namespace kestrix
