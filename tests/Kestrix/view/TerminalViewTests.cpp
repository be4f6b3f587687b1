#include "Kestrix/view/ColorConversions.h"
#include "Kestrix/view/TerminalProgressBarView.h"
#include "TerminalViewTestSupport.h"

#include <QApplication>
#include <QFocusEvent>

#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace kestrix {
namespace {

using testing::RecordingHost;
using testing::ViewFixture;

std::string bytes(const std::vector<uint8_t> &data)
{
    return std::string(data.begin(), data.end());
}

// Fills the normal screen's scrollback: `count` lines, the cursor ending on the last row.
void feedLines(ViewFixture &f, int count)
{
    for (int i = 0; i < count; ++i) {
        f.view->feedHostOutput(std::string_view("line\r\n"));
    }
    f.advance(20);
}

// MARK: Construction and options

TEST(TerminalViewTest, ZeroFrameGivesDefaultOptionsAndColours)
{
    ViewFixture f(QRect(), ViewFixture::defaultMetrics, 1.0, false);
    Terminal &t = f.terminal();
    EXPECT_EQ(t.cols, 80);
    EXPECT_EQ(t.rows, 25);
    EXPECT_EQ(t.options, TerminalOptions{});
    EXPECT_EQ(t.options.scrollback, 500);
    EXPECT_EQ(t.options.termName, "xterm-256color");
    EXPECT_EQ(t.normalBuffer->scrollback(), 500);
    // The new terminal reported its default colours back to the view.
    EXPECT_EQ(f.view->nativeBackgroundColor(), QColor(Qt::black));
    EXPECT_EQ(colorFromNSColor(f.view->nativeForegroundColor()), (Color{35389, 35389, 35389}));
    EXPECT_EQ(f.view->cellDimension(), QSizeF(8, 15));
}

TEST(TerminalViewTest, KnownFrameGivesGridOfWholeCellsBesideTheScroller)
{
    // 100 - 15 = 85 points for the grid: 10 columns; 50 / 15: 3 rows.
    ViewFixture f(QRect(0, 0, 100, 50));
    EXPECT_EQ(f.terminal().screenSize(), (std::pair<int64_t, int64_t>{10, 3}));
    EXPECT_EQ(f.view->optimalFrame(), QRectF(0, 0, 10 * 8 + 15, 3 * 15));
}

TEST(TerminalViewTest, PlainPrintableTextTable)
{
    struct Case {
        std::string_view text;
        bool printable;
    };
    const Case cases[] = {
        {"", false},          {"a", true},        {"\xc3\xa9", true},
        {"ab\tc", false},     {"\x7f", false},    {"\xc2\x85", false},
        {"x\xc2\x9f", false}, {"\xc2\xa0", true}, {"\xf0\x9f\x99\x82", true},
        {"\xc3", false},      {" ", true},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(TerminalView::isPlainPrintableText(c.text), c.printable) << c.text;
    }
}

TEST(TerminalViewTest, RestoringTheDefaultFontKeepsTheCellSize)
{
    ViewFixture f;
    f.measurer->setMetrics({20, 5, 0, 12});
    f.view->restoreDefaultFont();
    EXPECT_EQ(f.view->fontSet().normal, TerminalView::defaultFont());
    EXPECT_EQ(f.view->font(), TerminalView::defaultFont());
    EXPECT_EQ(f.view->cellDimension(), QSizeF(8, 15));
    EXPECT_TRUE(f.host.sizes.empty());
}

TEST(TerminalViewTest, ScrollSensitivityNeverBelowMinimum)
{
    ViewFixture f;
    f.view->setScrollSensitivity(0.01);
    EXPECT_EQ(f.view->scrollSensitivity(), 0.05);
}

// MARK: Redraw scheduling

TEST(TerminalViewTest, OutputSoonAfterInputIsDrawnBeforeTheFeedReturns)
{
    ViewFixture f;
    f.view->send(std::string_view("a"));
    f.nowNs += 100'000'000;
    f.view->feedHostOutput(std::string_view("x"));
    ASSERT_EQ(f.view->dirtyRects.size(), 1u);
    EXPECT_FALSE(f.view->pendingDisplay());
    EXPECT_FALSE(f.queue.hasPending());
}

TEST(TerminalViewTest, OutputLongAfterInputIsCoalescedIntoOneUpdatePerFrame)
{
    ViewFixture f;
    f.view->send(std::string_view("a"));
    f.nowNs += 200'000'000;
    for (int i = 0; i < 10; ++i) {
        f.view->feedHostOutput(std::string_view("x"));
    }
    EXPECT_TRUE(f.view->dirtyRects.empty());
    EXPECT_TRUE(f.view->pendingDisplay());
    f.advance(16);
    EXPECT_TRUE(f.view->dirtyRects.empty());
    f.advance(1);
    EXPECT_EQ(f.view->dirtyRects.size(), 1u);
    EXPECT_FALSE(f.view->pendingDisplay());
}

TEST(TerminalViewTest, OutputWhileTypingIsDrawnAtOnceAtMostOncePerFrame)
{
    ViewFixture f;
    f.nowNs += 1'000'000'000;
    f.view->send(std::string_view("a"));
    f.nowNs += 1'000'000;
    f.view->feedHostOutput(std::string_view("a"));
    ASSERT_EQ(f.view->dirtyRects.size(), 1u);
    // A host flooding output right after the key: the rest waits for the next frame.
    for (int chunk = 0; chunk < 50; ++chunk) {
        f.view->feedHostOutput(std::string_view("flood\r\n"));
    }
    EXPECT_EQ(f.view->dirtyRects.size(), 1u);
    f.advance(16);
    EXPECT_EQ(f.view->dirtyRects.size(), 1u);
    f.advance(1);
    EXPECT_EQ(f.view->dirtyRects.size(), 2u);
    // A frame after that update, output is drawn at once again.
    f.nowNs += 17'000'000;
    f.view->feedHostOutput(std::string_view("b"));
    EXPECT_EQ(f.view->dirtyRects.size(), 3u);
}

TEST(TerminalViewTest, AKeyDuringAStretchedWaitLeavesNoSecondUpdateWithinAFrame)
{
    ViewFixture f;
    f.view->feedHostOutput(std::string_view("x"));
    f.advance(17);
    f.view->dirtyRects.clear();
    f.view->notePainting(std::chrono::milliseconds(5));
    f.view->feedHostOutput(std::string_view("flood\r\n")); // due 45 ms from now
    f.advance(20);
    f.view->send(std::string_view("a"));
    f.view->feedHostOutput(std::string_view("flood\r\n")); // drawn at once
    ASSERT_EQ(f.view->dirtyRects.size(), 1u);
    f.view->feedHostOutput(std::string_view("flood\r\n")); // a frame later
    f.advance(17);
    ASSERT_EQ(f.view->dirtyRects.size(), 2u);
    f.advance(3);
    f.view->feedHostOutput(std::string_view("flood\r\n")); // a frame after this feed
    f.advance(5);
    // The wait queued before the key has nothing left to draw.
    EXPECT_EQ(f.view->dirtyRects.size(), 2u);
    f.advance(12);
    EXPECT_EQ(f.view->dirtyRects.size(), 3u);
    EXPECT_FALSE(f.view->pendingDisplay());
}

TEST(TerminalViewTest, CoalescingWaitGivesPaintingATenthOfTheTime)
{
    using std::chrono::milliseconds;
    using std::chrono::microseconds;
    struct Case {
        microseconds painting;
        milliseconds expected;
    };
    const Case cases[] = {
        {microseconds(0), milliseconds(17)},     {microseconds(1800), milliseconds(17)},
        {microseconds(1900), milliseconds(18)},  {microseconds(5000), milliseconds(45)},
        {microseconds(5001), milliseconds(46)},  {microseconds(20000), milliseconds(100)},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(TerminalView::displayCoalescingDelayAfter(c.painting), c.expected) << c.painting.count();
    }
}

TEST(TerminalViewTest, FloodIsDrawnOncePerFrameStretchedByItsPaintingTime)
{
    ViewFixture f;
    f.view->feedHostOutput(std::string_view("x"));
    f.advance(17);
    ASSERT_EQ(f.view->dirtyRects.size(), 1u);
    // Drawing that frame took 5 ms: the host keeps writing, and the next update waits 45 ms,
    // however many chunks arrive meanwhile.
    f.view->notePainting(std::chrono::milliseconds(5));
    for (int chunk = 0; chunk < 200; ++chunk) {
        f.view->feedHostOutput(std::string_view("more output\r\n"));
        if (chunk % 20 == 19) {
            f.advance(4);
        }
    }
    EXPECT_EQ(f.view->dirtyRects.size(), 1u);
    f.advance(5);
    EXPECT_EQ(f.view->dirtyRects.size(), 2u);
    EXPECT_FALSE(f.view->pendingDisplay());
}

TEST(TerminalViewTest, OutputAfterAPauseIsDrawnAtTheNormalPace)
{
    ViewFixture f;
    f.view->feedHostOutput(std::string_view("x"));
    f.advance(17);
    f.view->notePainting(std::chrono::milliseconds(5));
    f.advance(101);
    f.view->dirtyRects.clear();
    f.view->feedHostOutput(std::string_view("y"));
    f.advance(17);
    EXPECT_EQ(f.view->dirtyRects.size(), 1u);
}

TEST(TerminalViewTest, OneChangedRowMarksOnlyThatRowsBand)
{
    ViewFixture f;
    f.view->feedHostOutput(std::string_view("\x1b[11;1H"));
    f.advance(17);
    f.view->dirtyRects.clear();
    f.view->feedHostOutput(std::string_view("\x1b[31mchanged\x1b[m\x1b[K\x1b[11;1H"));
    f.advance(17);
    // Row 10 (15 points high) and the row below it, which a glyph may reach into.
    ASSERT_EQ(f.view->dirtyRects.size(), 1u);
    EXPECT_EQ(f.view->dirtyRects[0], QRectF(0, 150, f.view->width(), 30));
}

TEST(TerminalViewTest, InputTimeAheadOfTheClockDoesNotCountAsRecent)
{
    ViewFixture f;
    EXPECT_FALSE(f.view->userInputIsRecent());
    f.view->send(std::string_view("a"));
    EXPECT_TRUE(f.view->userInputIsRecent());
    f.nowNs -= 1;
    EXPECT_FALSE(f.view->userInputIsRecent());
    f.nowNs += 1 + 150'000'000;
    EXPECT_TRUE(f.view->userInputIsRecent());
    f.nowNs += 1;
    EXPECT_FALSE(f.view->userInputIsRecent());
}

TEST(TerminalViewTest, SynchronizedOutputQueuesAndDrawsNothing)
{
    ViewFixture f;
    f.view->feedHostOutput(std::string_view("\x1b[?2026h"));
    f.advance(20);
    f.view->dirtyRects.clear();
    ASSERT_TRUE(f.terminal().synchronizedOutputActive);
    f.view->send(std::string_view("a"));
    f.view->feedHostOutput(std::string_view("x"));
    f.view->feedHostOutput(std::string_view("y"));
    EXPECT_FALSE(f.view->pendingDisplay());
    f.advance(500);
    EXPECT_TRUE(f.view->dirtyRects.empty());
    // The host never ended it: after a second the terminal does, and the screen is drawn.
    f.advance(500);
    EXPECT_FALSE(f.terminal().synchronizedOutputActive);
    f.advance(17);
    EXPECT_EQ(f.view->dirtyRects.size(), 1u);
}

TEST(TerminalViewTest, UpdateRequestedFromAnotherThreadRunsOnTheMainQueueOnce)
{
    ViewFixture f;
    f.terminal().markRowDirty(3);
    std::thread worker([&] {
        f.view->updateDisplayNow();
        f.view->updateDisplayNow();
    });
    worker.join();
    EXPECT_TRUE(f.view->pendingDisplay());
    EXPECT_TRUE(f.view->dirtyRects.empty());
    EXPECT_EQ(f.queue.runPending(), 1);
    EXPECT_EQ(f.view->dirtyRects.size(), 1u);
    EXPECT_FALSE(f.view->pendingDisplay());
}

// MARK: Display update

TEST(TerminalViewTest, FullRefreshReportsRowsEndingAtTheLastRow)
{
    ViewFixture f;
    f.view->setNotifyUpdateChanges(true);
    f.view->colorsChanged();
    f.advance(17);
    ASSERT_EQ(f.host.updatedRows.size(), 1u);
    EXPECT_EQ(f.host.updatedRows[0], (std::pair<int64_t, int64_t>{0, 24}));
    // Down to the bottom edge: no row is asked for below the screen.
    ASSERT_EQ(f.view->dirtyRects.size(), 1u);
    EXPECT_EQ(f.view->dirtyRects[0], QRectF(0, 0, f.view->width(), f.view->height()));
    EXPECT_EQ(f.terminal().dirtyRowRange(), std::nullopt);
}

TEST(TerminalViewTest, UpdateWithNothingRefreshedReportsTheCursorRow)
{
    ViewFixture f;
    f.view->setNotifyUpdateChanges(true);
    f.view->updateDisplay(true);
    ASSERT_EQ(f.host.updatedRows.size(), 1u);
    const Buffer &b = *f.terminal().buffer;
    EXPECT_EQ(f.host.updatedRows[0], (std::pair<int64_t, int64_t>{b.yDisp() + b.y(), b.yDisp() + b.y()}));
    EXPECT_TRUE(f.view->dirtyRects.empty());
}

TEST(TerminalViewTest, RowsAreNotReportedUnlessAskedFor)
{
    ViewFixture f;
    f.view->feedHostOutput(std::string_view("x"));
    f.advance(17);
    f.view->updateDisplay(true);
    EXPECT_TRUE(f.host.updatedRows.empty());
}

// MARK: Viewport

TEST(TerminalViewTest, ScrollToClampsAndTracksUserScrolling)
{
    ViewFixture f;
    feedLines(f, 60);
    Terminal &t = f.terminal();
    const int64_t bottom = t.buffer->lines().count() - t.rows;
    ASSERT_GT(bottom, 0);
    EXPECT_EQ(t.buffer->yDisp(), bottom);

    f.view->scrollTo(0);
    EXPECT_EQ(t.buffer->yDisp(), 0);
    EXPECT_TRUE(f.view->userScrolling());
    EXPECT_TRUE(t.userScrolling);
    ASSERT_FALSE(f.host.positions.empty());
    EXPECT_EQ(f.host.positions.back(), 0.0);

    f.view->scrollTo(bottom + 1000);
    EXPECT_EQ(t.buffer->yDisp(), bottom);
    EXPECT_FALSE(f.view->userScrolling());
    EXPECT_EQ(f.host.positions.back(), 1.0);

    // The current row: nothing moves and nothing is reported.
    const size_t reports = f.host.positions.size();
    f.view->scrollTo(bottom);
    EXPECT_EQ(f.host.positions.size(), reports);
}

TEST(TerminalViewTest, PageKeysScrollTheNormalScreenByOnePage)
{
    ViewFixture f;
    feedLines(f, 80);
    Terminal &t = f.terminal();
    const int64_t bottom = t.buffer->yDisp();
    f.view->pageUp();
    EXPECT_EQ(t.buffer->yDisp(), bottom - 25);
    f.view->pageUp();
    f.view->pageUp();
    f.view->pageUp();
    EXPECT_EQ(t.buffer->yDisp(), 0);
    f.view->pageDown();
    EXPECT_EQ(t.buffer->yDisp(), 25);
    f.view->scrollDown(1000);
    EXPECT_EQ(t.buffer->yDisp(), bottom);
    f.view->scrollUp(INT64_MAX);
    EXPECT_EQ(t.buffer->yDisp(), 0);
    f.view->scrollDown(INT64_MAX);
    EXPECT_EQ(t.buffer->yDisp(), bottom);
    EXPECT_TRUE(f.host.sent.empty());
}

TEST(TerminalViewTest, PagingTheAlternateScreenMovesNothingAndSendsNothing)
{
    ViewFixture f;
    feedLines(f, 40);
    Terminal &t = f.terminal();
    f.view->feedHostOutput(std::string_view("\x1b[?1049h"));
    ASSERT_TRUE(t.isAlternateBufferActive());
    const int64_t before = t.buffer->yDisp();
    f.view->pageUp();
    f.view->pageDown();
    EXPECT_EQ(t.buffer->yDisp(), before);
    EXPECT_TRUE(f.host.sent.empty());
}

TEST(TerminalViewTest, ScrollerFollowsTheViewport)
{
    ViewFixture f;
    TerminalScroller &scroller = *f.view->scroller();
    f.view->updateScroller();
    EXPECT_FALSE(scroller.isEnabled());
    EXPECT_EQ(scroller.doubleValue(), 0.0);
    EXPECT_EQ(scroller.knobProportion(), 1.0);

    feedLines(f, 75);
    Terminal &t = f.terminal();
    EXPECT_TRUE(scroller.isEnabled());
    EXPECT_EQ(scroller.doubleValue(), 1.0);
    EXPECT_DOUBLE_EQ(scroller.knobProportion(), 25.0 / static_cast<double>(t.buffer->lines().count()));

    const int64_t range = t.buffer->lines().count() - t.rows;
    f.view->scrollToPosition(0.5);
    EXPECT_EQ(t.buffer->yDisp(), range / 2);

    t.activateAlternateScreen(std::nullopt);
    f.view->terminalDidSwitchBuffer(t);
    EXPECT_FALSE(scroller.isEnabled());
    EXPECT_EQ(scroller.knobProportion(), 0.0);
}

TEST(TerminalViewTest, ScrollerKnobNeverShrinksBelowOneHundredth)
{
    ViewFixture f(ViewFixture::gridFrame(80, 2));
    feedLines(f, 600);
    EXPECT_EQ(f.terminal().buffer->lines().count(), 502);
    EXPECT_EQ(f.view->scroller()->knobProportion(), 0.01);
}

TEST(TerminalViewTest, HiddenScrollerLeavesTheFullWidthToTheGrid)
{
    ViewFixture f;
    EXPECT_EQ(f.view->widthExcludingScroller(100), 85);
    EXPECT_EQ(f.view->widthExcludingScroller(10), 0);
    f.view->scroller()->hide();
    EXPECT_EQ(f.view->widthExcludingScroller(100), 100);
    EXPECT_TRUE(f.view->resizeTerminalToFrame(QSizeF(800, 375)));
    EXPECT_EQ(f.terminal().cols, 100);
}

TEST(TerminalViewTest, TypingWhileScrolledBackReturnsToTheLiveScreenFirst)
{
    ViewFixture f;
    feedLines(f, 60);
    Terminal &t = f.terminal();
    const int64_t bottom = t.buffer->yDisp();
    f.view->scrollTo(0);
    f.view->send(std::string_view("k"));
    ASSERT_EQ(f.host.viewportAtSend.size(), 1u);
    EXPECT_EQ(f.host.viewportAtSend[0], bottom);
}

TEST(TerminalViewTest, RepliesReachTheHostWithoutMovingTheViewport)
{
    ViewFixture f;
    feedLines(f, 60);
    Terminal &t = f.terminal();
    f.view->scrollTo(0);
    const uint8_t reply[] = {0x1b, '[', '1', ';', '1', 'R'};
    f.view->terminalSendToHost(t, reply);
    EXPECT_EQ(f.host.sentText(), "\x1b[1;1R");
    EXPECT_EQ(t.buffer->yDisp(), 0);
    EXPECT_FALSE(f.view->userInputIsRecent());
}

TEST(TerminalViewTest, ChangeScrollbackDropsOldLinesAndReportsThePosition)
{
    ViewFixture f;
    feedLines(f, 100);
    Terminal &t = f.terminal();
    f.view->changeScrollback(10);
    EXPECT_EQ(t.options.scrollback, 10);
    EXPECT_EQ(t.buffer->lines().count(), 35);
    ASSERT_FALSE(f.host.positions.empty());
    f.view->changeScrollback(std::nullopt);
    EXPECT_EQ(t.options.scrollback, 0);
    EXPECT_FALSE(f.view->canScroll());
}

// MARK: Resize

TEST(TerminalViewTest, OneSizeNoticePerRealGridChange)
{
    ViewFixture f;
    Terminal &t = f.terminal();
    // More pixels, same grid.
    f.view->resize(ViewFixture::gridFrame(80, 25).size() + QSize(7, 14));
    EXPECT_TRUE(f.host.sizes.empty());

    f.view->resize(ViewFixture::gridFrame(100, 30).size());
    ASSERT_EQ(f.host.sizes.size(), 1u);
    EXPECT_EQ(f.host.sizes[0], (RecordingHost::Size{100, 30}));
    EXPECT_EQ(t.screenSize(), (std::pair<int64_t, int64_t>{100, 30}));

    // Frames of no width or height are both empty: no resize at all.
    EXPECT_FALSE(f.view->resizeTerminalToFrame(QSizeF(0, 0)));
    EXPECT_EQ(f.host.sizes.size(), 1u);
}

TEST(TerminalViewTest, CollapsedFrameResizesOnceToTheSmallestGrid)
{
    ViewFixture f;
    f.view->resize(5, 0);
    f.view->resize(1, 0);
    f.view->resize(10, 3);
    ASSERT_EQ(f.host.sizes.size(), 1u);
    EXPECT_EQ(f.host.sizes[0], (RecordingHost::Size{Terminal::MINIMUM_COLS, Terminal::MINIMUM_ROWS}));
    EXPECT_FALSE(f.view->resizeTerminalToFrame(QSizeF(1, 1)));
}

TEST(TerminalViewTest, HiddenViewKeepsItsGridAndFitsTheFrameItIsShownIn)
{
    ViewFixture f;
    f.view->hide();
    f.view->resize(ViewFixture::gridFrame(40, 10).size());
    f.view->resize(ViewFixture::gridFrame(100, 30).size());
    f.advance(20);
    EXPECT_EQ(f.terminal().screenSize(), (std::pair<int64_t, int64_t>{80, 25}));
    EXPECT_TRUE(f.host.sizes.empty()) << "no passing size reaches the host";

    // Shown: the grid waits for the layouts of the showing, then takes the final frame once.
    f.view->show();
    f.view->resize(ViewFixture::gridFrame(60, 20).size());
    f.advance(0);
    ASSERT_EQ(f.host.sizes.size(), 1u);
    EXPECT_EQ(f.host.sizes[0], (RecordingHost::Size{60, 20}));
    EXPECT_EQ(f.terminal().screenSize(), (std::pair<int64_t, int64_t>{60, 20}));

    f.view->hide();
    f.view->show();
    f.advance(0);
    EXPECT_EQ(f.host.sizes.size(), 1u) << "shown again at the same frame: nothing to tell";
}

TEST(TerminalViewTest, ProgressStripSpansTheTopEdgeAfterEveryResize)
{
    ViewFixture f;
    for (const QSize size : {QSize(300, 200), QSize(41, 17), QSize(0, 0)}) {
        f.view->resize(size);
        EXPECT_EQ(f.view->progressBarView()->geometry(), QRect(0, 0, size.width(), 2));
    }
}

TEST(TerminalViewTest, FontChangeSizesTheGridFromTheWidthBesideTheScroller)
{
    ViewFixture f;
    f.view->feedHostOutput(std::string_view("\x1b[6;11H\x1b"
                                            "7"));
    ASSERT_EQ(f.terminal().buffer->savedX, 10);
    f.measurer->setMetrics({14, 5, 1, 10});
    QFont bigger = f.view->font();
    bigger.setPixelSize(bigger.pixelSize() + 4);
    f.view->setFont(bigger);
    EXPECT_EQ(f.view->cellDimension(), QSizeF(10, 20));
    EXPECT_EQ(f.view->fontSet().normal, bigger);
    EXPECT_TRUE(f.view->fontSet().bold.bold());
    EXPECT_TRUE(f.view->fontSet().boldItalic.italic());
    // (640 + 15 - 15) / 10 columns, 375 / 20 rows.
    ASSERT_EQ(f.host.sizes.size(), 1u);
    EXPECT_EQ(f.host.sizes[0], (RecordingHost::Size{64, 18}));
    // A soft reset follows the new grid: the saved cursor is forgotten.
    EXPECT_EQ(f.terminal().buffer->savedX, 0);
    // Setting the same face again re-measures nothing.
    f.view->setFont(bigger);
    EXPECT_EQ(f.host.sizes.size(), 1u);
}

// MARK: Cell metrics

TEST(TerminalViewTest, CellMetricsTable)
{
    struct Case {
        FontMeasurement metrics;
        double scale;
        double lineSpacing;
        QSizeF expected;
    };
    const Case cases[] = {
        {{10, 3, 0, 7.8}, 2.0, 1.0, QSizeF(8.0, 13)}, // ceil(15.6) / 2
        {{10, 3, 0, 7.2}, 1.0, 1.0, QSizeF(8, 13)},
        {{10.2, 3, 0, 7.2}, 2.0, 1.0, QSizeF(7.5, 14)}, // ceil(13.2) = 14 before the scale
        {{10, 3, 1, 7}, 1.0, 1.5, QSizeF(7, 21)},
        {{5000, 4000, 0, 7}, 1.0, 1.0, QSizeF(7, 8192)},
        {{0, 0, 0, 0}, 1.0, 1.0, QSizeF(1, 1)},
    };
    for (const Case &c : cases) {
        ViewFixture f(QRect(), c.metrics, c.scale, false);
        if (c.lineSpacing != 1.0) {
            f.view->setLineSpacing(c.lineSpacing);
        }
        EXPECT_EQ(f.view->cellDimension(), c.expected) << c.metrics.advanceOfW << " at " << c.scale;
    }
}

TEST(TerminalViewTest, CellPixelSizeRoundsHalvesAwayFromZero)
{
    // 7.5 x 14 points at scale 1.5: 11.25 and 21 device pixels.
    ViewFixture f(QRect(), {10.2, 3, 0, 7.2}, 2.0, false);
    f.backingScale = 1.5;
    EXPECT_EQ(f.view->cellSizeInPixels(), (CellPixelSize{11, 21}));
    f.backingScale = 3.0;
    EXPECT_EQ(f.view->cellSizeInPixels(), (CellPixelSize{23, 42}));
}

// MARK: Colours

TEST(TerminalViewTest, PaletteColourMappingTable)
{
    ViewFixture f;
    const std::vector<Color> &palette = f.terminal().ansiColors;
    struct Case {
        uint8_t index;
        bool bold;
        bool bright;
        uint8_t drawn;
    };
    const Case cases[] = {
        {1, true, true, 9},     {1, false, true, 1},     {6, true, true, 14},      {7, true, true, 7},
        {9, false, false, 1},   {15, true, false, 7},    {8, false, false, 0},     {7, true, false, 7},
        {16, false, false, 16}, {200, true, false, 200}, {255, false, false, 255}, {200, true, true, 200},
    };
    for (const Case &c : cases) {
        const QColor color = f.view->nsColor(Attribute::Color::ansi256(c.index), true, c.bold, c.bright);
        EXPECT_EQ(color, makeNSColor(palette[c.drawn]))
            << int(c.index) << " bold " << c.bold << " bright " << c.bright;
    }
}

TEST(TerminalViewTest, DefaultTrueAndInvertedColours)
{
    ViewFixture f;
    TerminalView &v = *f.view;
    EXPECT_EQ(v.nsColor(Attribute::Color::defaultColor(), true, false, true), v.nativeForegroundColor());
    EXPECT_EQ(v.nsColor(Attribute::Color::defaultColor(), false, false, true), v.nativeBackgroundColor());
    EXPECT_EQ(v.nsColor(Attribute::Color::defaultInvertedColor(), false, false, true), QColor(Qt::white));
    EXPECT_EQ(v.nsColor(Attribute::Color::trueColor(10, 20, 30), true, false, true), QColor(10, 20, 30));
    EXPECT_EQ(v.nsColor(Attribute::Color::trueColor(10, 20, 30), false, true, false), QColor(10, 20, 30));
}

TEST(TerminalViewTest, PaletteChangeDropsTheCachedEntryAndRedrawsEveryRow)
{
    ViewFixture f;
    Terminal &t = f.terminal();
    const Attribute::Color red = Attribute::Color::ansi256(1);
    const Attribute::Color green = Attribute::Color::ansi256(2);
    const QColor greenBefore = f.view->nsColor(green, true, false, true);
    (void)f.view->nsColor(red, true, false, true);
    t.ansiColors[1] = Color::fromRgb8(1, 2, 3);
    t.ansiColors[2] = Color::fromRgb8(4, 5, 6);
    EXPECT_NE(f.view->nsColor(red, true, false, true), QColor(1, 2, 3));
    f.view->terminalPaletteDidChange(t, 1);
    EXPECT_EQ(f.view->nsColor(red, true, false, true), QColor(1, 2, 3));
    EXPECT_EQ(f.view->nsColor(green, true, false, true), greenBefore);
    EXPECT_EQ(t.refreshStart, 0);
    EXPECT_EQ(t.refreshEnd, t.rows);
    EXPECT_TRUE(f.view->pendingDisplay());
}

TEST(TerminalViewTest, TextColoursComeFromThePalette)
{
    ViewFixture f;
    QPalette palette = f.view->palette();
    palette.setColor(QPalette::Text, QColor(10, 20, 30));
    palette.setColor(QPalette::Base, QColor(240, 241, 242));
    f.view->setPalette(palette);
    f.view->useTextColors();
    EXPECT_EQ(f.view->nativeForegroundColor(), QColor(10, 20, 30));
    EXPECT_EQ(f.view->nativeBackgroundColor(), QColor(240, 241, 242));
    EXPECT_EQ(f.terminal().backgroundColor(), Color::fromRgb8(240, 241, 242));
    EXPECT_TRUE(f.view->pendingDisplay());
}

TEST(TerminalViewTest, FontSmoothingAloneRedrawsNothing)
{
    ViewFixture f;
    f.view->setFontSmoothing(false);
    EXPECT_FALSE(f.view->fontSmoothing());
    EXPECT_TRUE(f.view->dirtyRects.empty());
    EXPECT_FALSE(f.view->pendingDisplay());
}

TEST(TerminalViewTest, ColourSettersReachTheTerminalWithoutRecursion)
{
    ViewFixture f;
    Terminal &t = f.terminal();
    f.view->setForegroundColor(Color::fromRgb8(200, 100, 50));
    EXPECT_EQ(t.foregroundColor(), Color::fromRgb8(200, 100, 50));
    EXPECT_EQ(f.view->nativeForegroundColor(), QColor(200, 100, 50));
    // A store into the terminal notifies the view, which stores back without notifying again.
    t.setBackgroundColor(Color::fromRgb8(1, 2, 3));
    EXPECT_EQ(f.view->nativeBackgroundColor(), QColor(1, 2, 3));
    EXPECT_EQ(t.backgroundColor(), Color::fromRgb8(1, 2, 3));
}

TEST(TerminalViewTest, InstallColorsTakesOnlyAFullBaseSet)
{
    ViewFixture f;
    Terminal &t = f.terminal();
    const std::vector<Color> before = t.installedColors;
    const std::vector<Color> eight(8, Color::fromRgb8(9, 9, 9));
    f.view->installColors(eight);
    EXPECT_EQ(t.installedColors, before);
    EXPECT_EQ(t.refreshStart, 0);

    std::vector<Color> sixteen(16, Color::fromRgb8(9, 9, 9));
    f.view->installColors(sixteen);
    EXPECT_EQ(t.installedColors, sixteen);
}

TEST(TerminalViewTest, ColourConversionsRoundTrip)
{
    const Color grey{35389, 35389, 35389};
    EXPECT_EQ(colorFromNSColor(makeNSColor(grey)), grey);
    EXPECT_EQ(colorFromNSColor(makeNSColor(Color{1, 65534, 32768})), (Color{1, 65534, 32768}));
    EXPECT_EQ(colorFromNSColor(QColor()), Color::defaultForeground());
    EXPECT_EQ(inverseColor(QColor(0, 255, 10, 128)), QColor(255, 0, 245, 128));
    EXPECT_EQ(averaged(QColor(0, 100, 200, 50), QColor(100, 100, 100)), QColor(50, 100, 150, 50));
}

// MARK: Window reports

TEST(TerminalViewTest, WindowReportBytes)
{
    // 7.2 x 14 points at scale 2.5: cells of 18 x 35 device pixels.
    ViewFixture f(QRect(), {10, 3, 1, 7.2}, 2.5, false);
    Terminal &t = f.terminal();
    t.resizeScreen(80, 24);
    ASSERT_EQ(f.view->cellDimension(), QSizeF(7.2, 14));
    using Command = WindowManipulationCommand;
    struct Case {
        Command command;
        bool eightBit;
        std::optional<std::string> reply;
    };
    const Case cases[] = {
        {Command::of(Command::Kind::reportTextAreaPixelDimension), false, "\x1b[4;840;1440t"},
        {Command::of(Command::Kind::reportCellSizeInPixels), false, "\x1b[6;35;18t"},
        {Command::of(Command::Kind::reportTextAreaPixelDimension), true,
         "\x9b"
         "4;840;1440t"},
        {Command::of(Command::Kind::reportCellSizeInPixels), true,
         "\x9b"
         "6;35;18t"},
        {Command::resizeWindowTo(300, 200), false, std::nullopt},
        {Command::resizeTo(10, 10), false, std::nullopt},
        {Command::of(Command::Kind::iconifyWindow), false, std::nullopt},
    };
    for (const Case &c : cases) {
        t.cc.send8bit = c.eightBit;
        const auto reply = f.view->terminalWindowRequest(t, c.command);
        ASSERT_EQ(reply.has_value(), c.reply.has_value()) << int(c.command.kind);
        if (reply) {
            EXPECT_EQ(bytes(*reply), *c.reply);
        }
    }
    EXPECT_EQ(t.screenSize(), (std::pair<int64_t, int64_t>{80, 24}));

    // The same answers through the terminal, for the host's own requests.
    t.cc.send8bit = false;
    RecordingHost host;
    f.view->setTerminalDelegate(&host);
    f.view->feedHostOutput(std::string_view("\x1b[14t\x1b[16t"));
    EXPECT_EQ(host.sentText(), "\x1b[4;840;1440t\x1b[6;35;18t");
    f.view->setTerminalDelegate(nullptr);
}

TEST(TerminalViewTest, TextAreaReportRoundsHalvesAwayFromZero)
{
    // 80 x 24 cells of 7.5 x 14 points at scale 1.5: 2520 x 504 exactly, and 11.25 per cell.
    ViewFixture f(QRect(), {10.2, 3, 0, 7.2}, 2.0, false);
    f.backingScale = 1.5;
    Terminal &t = f.terminal();
    t.resizeScreen(3, 1);
    // 1 x 14 x 1.5 = 21; 3 x 7.5 x 1.5 = 33.75.
    const auto reply = f.view->terminalWindowRequest(
        t, WindowManipulationCommand::of(WindowManipulationCommand::Kind::reportTextAreaPixelDimension));
    ASSERT_TRUE(reply);
    EXPECT_EQ(bytes(*reply), "\x1b[4;21;34t");
}

// MARK: Focus

TEST(TerminalViewTest, FocusReportsFollowFocusWhenTheHostAskedForThem)
{
    ViewFixture f;
    Terminal &t = f.terminal();
    QFocusEvent in(QEvent::FocusIn);
    QFocusEvent out(QEvent::FocusOut);

    QApplication::sendEvent(f.view, &in);
    QApplication::sendEvent(f.view, &out);
    EXPECT_TRUE(f.host.sent.empty());
    EXPECT_FALSE(t.reportedFocusState);

    f.view->feedHostOutput(std::string_view("\x1b[?1004h"));
    ASSERT_TRUE(t.sendFocus);
    QApplication::sendEvent(f.view, &in);
    EXPECT_TRUE(t.reportedFocusState);
    QApplication::sendEvent(f.view, &out);
    t.cc.send8bit = true;
    QApplication::sendEvent(f.view, &in);
    // Switching reports on tells the host the focus at once: it was lost above.
    EXPECT_EQ(f.host.sentText(), "\x1b[O\x1b[I\x1b[O\x9bI");
}

// MARK: Host notices

TEST(TerminalViewTest, TerminalNoticesReachTheHost)
{
    ViewFixture f;
    Terminal &t = f.terminal();
    f.view->terminalTitleDidChange(t, "build");
    f.view->feedHostOutput(std::string_view("\a"));
    t.hostCurrentDirectory = "/srv";
    f.view->terminalCurrentDirectoryDidChange(t);
    const uint8_t data[] = {'c', 'l', 'i', 'p'};
    f.view->terminalCopyToClipboard(t, data);
    f.view->terminalExtendedCommand(t, data);
    EXPECT_EQ(f.host.titles, std::vector<std::string>{"build"});
    EXPECT_EQ(f.host.bells, 1);
    EXPECT_EQ(f.host.directories, std::vector<std::optional<std::string>>{"/srv"});
    EXPECT_EQ(bytes(*f.view->terminalReadClipboard(t)), "clip");
    ASSERT_EQ(f.host.payloads.size(), 1u);
    EXPECT_EQ(bytes(f.host.payloads[0]), "clip");
}

TEST(TerminalViewTest, WithoutAHostNoticesAreDroppedAndTheClipboardIsAbsent)
{
    ViewFixture f;
    f.view->setTerminalDelegate(nullptr);
    Terminal &t = f.terminal();
    f.view->feedHostOutput(std::string_view("\a"));
    f.view->send(std::string_view("x"));
    f.view->resize(300, 300);
    EXPECT_EQ(f.view->terminalReadClipboard(t), std::nullopt);
    EXPECT_EQ(f.host.bells, 0);
    EXPECT_TRUE(f.host.sent.empty());
    EXPECT_TRUE(f.host.sizes.empty());
}

TEST(TerminalViewTest, EndOfSynchronizedOutputRedrawsAndReportsThePosition)
{
    ViewFixture f;
    Terminal &t = f.terminal();
    t.synchronizedOutputActive = true;
    f.view->feedHostOutput(std::string_view("x"));
    t.endSynchronizedOutput();
    EXPECT_TRUE(f.view->pendingDisplay());
    EXPECT_EQ(f.host.positions.size(), 1u);
    f.advance(17);
    EXPECT_EQ(f.view->dirtyRects.size(), 1u);
}

// MARK: Progress

TEST(TerminalViewTest, ProgressFromAnotherThreadIsAppliedOnTheMainQueue)
{
    ViewFixture f;
    std::thread worker([&] {
        f.view->terminalProgressDidChange(f.terminal(), {ProgressReportState::set, 40});
    });
    worker.join();
    EXPECT_FALSE(f.view->progressBarView()->isVisible());
    f.queue.runPending();
    EXPECT_TRUE(f.view->progressBarView()->isVisible());
    EXPECT_EQ(f.view->progressBarView()->progress(), 40);
}

TEST(TerminalViewTest, ProgressShownByStateAndLastValue)
{
    struct Case {
        std::vector<ProgressReport> reports;
        bool visible;
        std::optional<uint8_t> shown;
    };
    using S = ProgressReportState;
    const Case cases[] = {
        {{{S::set, 50}}, true, 50},
        {{{S::set, std::nullopt}}, true, 0},
        {{{S::set, 40}, {S::error, std::nullopt}}, true, 40},
        {{{S::error, std::nullopt}}, true, std::nullopt},
        {{{S::pause, std::nullopt}}, true, 100},
        {{{S::set, 30}, {S::pause, std::nullopt}}, true, 30},
        {{{S::indeterminate, 70}}, true, std::nullopt},
        {{{S::set, 30}, {S::remove, std::nullopt}}, false, std::nullopt},
    };
    for (const Case &c : cases) {
        ViewFixture f;
        for (const ProgressReport &report : c.reports) {
            f.view->applyProgressReport(report);
        }
        EXPECT_EQ(f.view->progressBarView()->isVisible(), c.visible);
        EXPECT_EQ(f.view->progressBarView()->progress(), c.shown);
    }
}

TEST(TerminalViewTest, ProgressGoesStaleAfterFifteenQuietSeconds)
{
    ViewFixture f;
    f.view->applyProgressReport({ProgressReportState::set, 10});
    f.advance(10'000);
    f.view->applyProgressReport({ProgressReportState::set, 20});
    f.advance(10'000);
    EXPECT_TRUE(f.view->progressBarView()->isVisible());
    f.advance(5'000);
    EXPECT_FALSE(f.view->progressBarView()->isVisible());
    EXPECT_EQ(f.view->lastProgressValue(), std::nullopt);
}

} // namespace
} // namespace kestrix
