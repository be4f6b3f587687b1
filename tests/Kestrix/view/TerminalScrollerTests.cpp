#include "Kestrix/view/TerminalScroller.h"
#include "TerminalViewTestSupport.h"

#include <QApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::ViewFixture;
using Style = TerminalScroller::Style;

// `count` line feeds from the top of a fresh screen leave `count` + 1 lines once the screen is full.
void feedLineFeeds(ViewFixture &f, int count)
{
    for (int i = 0; i < count; ++i) {
        f.view->feedHostOutput(std::string_view("line\r\n"));
    }
    f.advance(20);
}

void sendMouse(QWidget *widget, QEvent::Type type, QPointF position)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, position, widget->mapToGlobal(position), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

TEST(TerminalScrollerTest, ValueAndKnobFollowTheBuffer)
{
    ViewFixture f(ViewFixture::gridFrame(80, 24));
    TerminalScroller &scroller = *f.view->scroller();
    f.view->updateScroller();
    EXPECT_FALSE(scroller.isEnabled());
    EXPECT_EQ(scroller.doubleValue(), 0.0);
    EXPECT_EQ(scroller.knobProportion(), 1.0);

    // 1,000 lines: 24 on the screen and 976 of scrollback, at the bottom.
    f.view->changeScrollback(976);
    feedLineFeeds(f, 1100);
    ASSERT_EQ(f.terminal().buffer->lines().count(), 1000);
    EXPECT_TRUE(scroller.isEnabled());
    EXPECT_EQ(scroller.doubleValue(), 1.0);
    EXPECT_DOUBLE_EQ(scroller.knobProportion(), 0.024);

    f.view->feedHostOutput(std::string_view("\x1b[?1049h"));
    EXPECT_FALSE(scroller.isEnabled());
    EXPECT_EQ(scroller.doubleValue(), 0.0);
    EXPECT_EQ(scroller.knobProportion(), 0.0);
    f.view->feedHostOutput(std::string_view("\x1b[?1049l"));
    EXPECT_TRUE(scroller.isEnabled());
    EXPECT_EQ(scroller.doubleValue(), 1.0);
}

TEST(TerminalScrollerTest, DraggingTheKnobMovesTheViewport)
{
    ViewFixture f(ViewFixture::gridFrame(80, 24));
    feedLineFeeds(f, 123);
    ASSERT_EQ(f.terminal().buffer->lines().count(), 124);
    TerminalScroller *scroller = f.view->scroller();
    const QRectF knob = scroller->knobRect();
    const double travel = scroller->height() - knob.height();
    ASSERT_GT(travel, 0);

    const QPointF grab = knob.center();
    sendMouse(scroller, QEvent::MouseButtonPress, grab);
    EXPECT_EQ(scroller->hitPart(), TerminalScroller::Part::knob);
    EXPECT_EQ(f.terminal().buffer->yDisp(), 100);
    // Halfway along the track, and a little past it so that whole pixels land on row 50.
    sendMouse(scroller, QEvent::MouseMove, grab - QPointF(0, travel / 2 - 0.25));
    sendMouse(scroller, QEvent::MouseButtonRelease, grab - QPointF(0, travel / 2 - 0.25));
    EXPECT_EQ(f.terminal().buffer->yDisp(), 50);
    ASSERT_FALSE(f.host.positions.empty());
    EXPECT_DOUBLE_EQ(f.host.positions.back(), 0.5);

    // Dragged past either end, the viewport stops at the end.
    const QPointF top = scroller->knobRect().center();
    sendMouse(scroller, QEvent::MouseButtonPress, top);
    sendMouse(scroller, QEvent::MouseMove, top - QPointF(0, 10 * travel));
    EXPECT_EQ(f.terminal().buffer->yDisp(), 0);
    sendMouse(scroller, QEvent::MouseMove, top + QPointF(0, 10 * travel));
    EXPECT_EQ(f.terminal().buffer->yDisp(), 100);
    sendMouse(scroller, QEvent::MouseButtonRelease, top);
    // Moving after the release drags nothing.
    sendMouse(scroller, QEvent::MouseMove, QPointF(5, 5));
    EXPECT_EQ(f.terminal().buffer->yDisp(), 100);
}

TEST(TerminalScrollerTest, PressesOnTheTrackPageUpAndDown)
{
    ViewFixture f(ViewFixture::gridFrame(80, 24));
    feedLineFeeds(f, 123);
    TerminalScroller *scroller = f.view->scroller();
    Terminal &t = f.terminal();

    sendMouse(scroller, QEvent::MouseButtonPress, QPointF(5, 2));
    EXPECT_EQ(scroller->hitPart(), TerminalScroller::Part::decrementPage);
    EXPECT_EQ(t.buffer->yDisp(), 76);
    EXPECT_DOUBLE_EQ(scroller->doubleValue(), 0.76);
    sendMouse(scroller, QEvent::MouseButtonPress, QPointF(5, 2));
    EXPECT_EQ(t.buffer->yDisp(), 52);

    sendMouse(scroller, QEvent::MouseButtonPress, QPointF(5, scroller->height() - 2));
    EXPECT_EQ(scroller->hitPart(), TerminalScroller::Part::incrementPage);
    EXPECT_EQ(t.buffer->yDisp(), 76);
    sendMouse(scroller, QEvent::MouseButtonPress, QPointF(5, scroller->height() - 2));
    sendMouse(scroller, QEvent::MouseButtonPress, QPointF(5, scroller->height() - 2));
    EXPECT_EQ(t.buffer->yDisp(), 100);
    EXPECT_EQ(scroller->doubleValue(), 1.0);
    // Typed input is not what moved the viewport: the host heard no page keys.
    EXPECT_TRUE(f.host.sent.empty());
}

TEST(TerminalScrollerTest, PartsThatDoNotScrollOnlyPrintTheirLine)
{
    ViewFixture f(ViewFixture::gridFrame(80, 24));
    TerminalScroller *scroller = f.view->scroller();
    // A knob over the whole track leaves only the slot to press.
    scroller->setEnabled(true);
    scroller->setKnobProportion(1.0);
    ::testing::internal::CaptureStdout();
    sendMouse(scroller, QEvent::MouseButtonPress, QPointF(5, 100));
    const std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(scroller->hitPart(), TerminalScroller::Part::knobSlot);
    EXPECT_EQ(printed, "Scroller .knobSlot clicked\n");
    EXPECT_EQ(f.terminal().buffer->yDisp(), 0);
}

TEST(TerminalScrollerTest, StylesHaveTheirOwnWidthsAndTheGridFollowsAtTheNextResize)
{
    EXPECT_NE(TerminalScroller::scrollerWidth(Style::legacy), TerminalScroller::scrollerWidth(Style::overlay));
    ViewFixture f;
    TerminalScroller *scroller = f.view->scroller();
    EXPECT_EQ(f.view->scrollerStyle(), Style::overlay);
    EXPECT_EQ(scroller->width(), TerminalScroller::scrollerWidth(Style::overlay));
    const int64_t cols = f.terminal().cols;

    f.view->setScrollerStyle(Style::legacy);
    const int legacyWidth = TerminalScroller::scrollerWidth(Style::legacy);
    EXPECT_EQ(scroller->scrollerStyle(), Style::legacy);
    EXPECT_EQ(scroller->geometry(), QRect(f.view->width() - legacyWidth, 0, legacyWidth, f.view->height()));
    EXPECT_EQ(f.terminal().cols, cols);

    // A frame exactly 80 columns wide beside the overlay scroller holds 79 beside the legacy one.
    f.view->resize(f.view->width(), f.view->height() + 15);
    EXPECT_EQ(f.terminal().cols, (80 * 8 + ViewFixture::scrollerWidth - legacyWidth) / 8);
    EXPECT_EQ(f.view->widthExcludingScroller(100), 100 - legacyWidth);
}

} // namespace
} // namespace kestrix
