#include "Kestrix/view/StripAnimation.h"
#include "Kestrix/view/TerminalProgressBarView.h"
#include "TerminalViewTestSupport.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::ViewFixture;
using State = ProgressReportState;

constexpr uint64_t ms = 1'000'000;

TEST(StripAnimationTest, EasesInAndOutAndReversesWhenAsked)
{
    EXPECT_DOUBLE_EQ(StripAnimation::easeInEaseOut(0), 0.0);
    EXPECT_NEAR(StripAnimation::easeInEaseOut(0.5), 0.5, 1e-9);
    EXPECT_NEAR(StripAnimation::easeInEaseOut(1), 1.0, 1e-9);
    // Slow at both ends: a quarter of the time covers less than a quarter of the way.
    EXPECT_LT(StripAnimation::easeInEaseOut(0.25), 0.25);
    EXPECT_GT(StripAnimation::easeInEaseOut(0.75), 0.75);
    EXPECT_NEAR(StripAnimation::easeInEaseOut(0.25) + StripAnimation::easeInEaseOut(0.75), 1.0, 1e-9);

    const StripAnimation once{10, 30, 1000 * ms, 200 * ms};
    EXPECT_EQ(once.valueAt(900 * ms), 10.0);
    EXPECT_NEAR(once.valueAt(1100 * ms), 20.0, 1e-6);
    EXPECT_FALSE(once.finishedAt(1199 * ms));
    EXPECT_TRUE(once.finishedAt(1200 * ms));
    EXPECT_EQ(once.valueAt(5000 * ms), 30.0);

    const StripAnimation sliding{0, 100, 0, 1200 * ms, true, true};
    EXPECT_NEAR(sliding.valueAt(600 * ms), 50.0, 1e-6);
    EXPECT_NEAR(sliding.valueAt(1200 * ms), 100.0, 1e-6);
    EXPECT_NEAR(sliding.valueAt(1800 * ms), 50.0, 1e-6);
    EXPECT_NEAR(sliding.valueAt(2400 * ms), 0.0, 1e-6);
    EXPECT_NEAR(sliding.valueAt(100 * 2400 * ms + 1200 * ms), 100.0, 1e-6);
    EXPECT_FALSE(sliding.finishedAt(UINT64_MAX));
}

struct StripFixture : ViewFixture {
    StripFixture()
        : ViewFixture(QRect(0, 0, 400, 375))
    {
    }
    TerminalProgressBarView &strip() { return *view->progressBarView(); }
    void advanceMs(uint64_t milliseconds) { nowNs += milliseconds * ms; }
};

TEST(TerminalProgressBarViewTest, NewWidthIsReachedThroughTheAnimationAndResizeLaysOutAtOnce)
{
    StripFixture f;
    f.view->applyProgressReport({State::set, 50});
    TerminalProgressBarView &strip = f.strip();
    EXPECT_EQ(strip.barFrame(), QRectF(0, 0, 200, 2));
    EXPECT_TRUE(strip.animatesWidth());
    EXPECT_EQ(strip.presentedBarFrame().width(), 0.0);
    f.advanceMs(100);
    EXPECT_NEAR(strip.presentedBarFrame().width(), 100.0, 1e-6);
    f.advanceMs(100);
    EXPECT_FALSE(strip.animatesWidth());
    EXPECT_EQ(strip.presentedBarFrame(), QRectF(0, 0, 200, 2));

    // A later value animates from where the bar is drawn, even mid-way.
    f.view->applyProgressReport({State::set, 100});
    f.advanceMs(100);
    EXPECT_NEAR(strip.presentedBarFrame().width(), 300.0, 1e-6);
    f.view->applyProgressReport({State::set, 0});
    EXPECT_NEAR(strip.presentedBarFrame().width(), 300.0, 1e-6);
    f.advanceMs(200);
    EXPECT_EQ(strip.presentedBarFrame().width(), 0.0);

    f.view->applyProgressReport({State::set, 25});
    f.view->resize(600, 375);
    EXPECT_FALSE(strip.animatesWidth());
    EXPECT_EQ(strip.presentedBarFrame(), QRectF(0, 0, 150, 2));
}

TEST(TerminalProgressBarViewTest, ColoursAndShapesByState)
{
    const QColor red(255, 59, 48);
    const QColor orange(255, 149, 0);
    struct Case {
        const char *name;
        std::vector<ProgressReport> reports;
        bool accent;
        QColor colour;
        bool slides;
        double width;
    };
    const std::vector<Case> cases = {
        {"error keeps the last value", {{State::set, 40}, {State::error, std::nullopt}}, false, red, false, 160},
        {"error without any value", {{State::error, std::nullopt}}, false, red, true, 100},
        {"pause without any value is full", {{State::pause, std::nullopt}}, false, orange, false, 400},
        {"indeterminate ignores its value", {{State::indeterminate, 70}}, true, {}, true, 100},
        {"set without a value is empty", {{State::set, std::nullopt}}, true, {}, false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        StripFixture f;
        for (const ProgressReport &report : c.reports) {
            f.view->applyProgressReport(report);
        }
        f.advanceMs(200);
        TerminalProgressBarView &strip = f.strip();
        EXPECT_TRUE(strip.isVisible());
        EXPECT_EQ(strip.barColor(), c.accent ? strip.palette().color(QPalette::Highlight) : c.colour);
        EXPECT_EQ(strip.slides(), c.slides);
        // The track shows only behind the sliding segment.
        EXPECT_EQ(strip.trackVisible(), c.slides);
        EXPECT_EQ(strip.presentedBarFrame().width(), c.width);
    }
}

TEST(TerminalProgressBarViewTest, SegmentSlidesToAndFroOverTheTrack)
{
    StripFixture f;
    f.view->applyProgressReport({State::indeterminate, std::nullopt});
    TerminalProgressBarView &strip = f.strip();
    EXPECT_EQ(strip.presentedBarFrame(), QRectF(0, 0, 100, 2));
    f.advanceMs(600);
    EXPECT_NEAR(strip.presentedBarFrame().left(), 150.0, 1e-6);
    f.advanceMs(600);
    EXPECT_NEAR(strip.presentedBarFrame().left(), 300.0, 1e-6);
    f.advanceMs(1200);
    EXPECT_NEAR(strip.presentedBarFrame().left(), 0.0, 1e-6);

    // A value stops the sliding; the bar is laid out from the left edge.
    f.view->applyProgressReport({State::set, 10});
    EXPECT_FALSE(strip.slides());
    EXPECT_FALSE(strip.trackVisible());
    EXPECT_EQ(strip.presentedBarFrame().left(), 0.0);

    f.view->applyProgressReport({State::remove, std::nullopt});
    EXPECT_FALSE(strip.isVisible());
    EXPECT_FALSE(strip.slides());
}

TEST(TerminalProgressBarViewTest, StripWithoutRoomShowsTheSegmentStill)
{
    QWidget window;
    window.resize(100, 100);
    window.show();
    uint64_t now = 0;
    auto *strip = new TerminalProgressBarView(&window, [&now] { return now; });
    strip->setGeometry(0, 0, 0, 2);
    strip->showReport(State::indeterminate, std::nullopt);
    EXPECT_TRUE(strip->trackVisible());
    EXPECT_FALSE(strip->slides());
    EXPECT_EQ(strip->presentedBarFrame(), QRectF(0, 0, 0, 2));
    // Given room, the next layout slides it.
    strip->setGeometry(0, 0, 40, 2);
    EXPECT_TRUE(strip->slides());
    EXPECT_EQ(strip->presentedBarFrame(), QRectF(0, 0, 10, 2));
}

TEST(TerminalProgressBarViewTest, ReportsKeepTheStripUpUntilFifteenQuietSeconds)
{
    StripFixture f;
    for (int i = 0; i < 5; ++i) {
        f.view->applyProgressReport({State::set, uint8_t(10 * i)});
        f.advance(10000);
        EXPECT_TRUE(f.strip().isVisible());
    }
    f.advance(5000);
    EXPECT_FALSE(f.strip().isVisible());
    EXPECT_EQ(f.view->lastProgressValue(), std::nullopt);
}

} // namespace
} // namespace kestrix
