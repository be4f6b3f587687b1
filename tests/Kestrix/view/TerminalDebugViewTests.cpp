#include "Kestrix/view/TerminalDebugView.h"
#include "TerminalViewTestSupport.h"

#include <QLabel>

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::ViewFixture;

struct DebugFixture : ViewFixture {
    DebugFixture()
        : overlay(new TerminalDebugView(*view, QRect(0, 0, 600, 400), &window))
    {
    }
    TerminalDebugView *overlay;
};

TEST(TerminalDebugViewTest, StatusLineWaitsForTheFirstUpdateThenShowsTheBuffer)
{
    DebugFixture f;
    EXPECT_EQ(f.view->debug(), f.overlay);
    EXPECT_EQ(f.overlay->statusLine()->text(), "WAITING");

    f.view->feedHostOutput(std::string_view("abc\r\n\r\nxyz"));
    f.advance(20);
    EXPECT_EQ(f.overlay->statusLine()->text(), "x: 3 y: 2 yDisp: 0 yBase: 0 clc: 25 startIndex: 0");

    // Host text never becomes markup.
    EXPECT_EQ(f.overlay->statusLine()->textFormat(), Qt::PlainText);
}

TEST(TerminalDebugViewTest, DumpShowsEachSlotTwiceWithTheViewportAndBaseMarks)
{
    DebugFixture f;
    f.view->feedHostOutput(std::string_view("first\r\nsecond"));
    f.advance(20);
    const auto rows = f.overlay->dumpRows();
    ASSERT_EQ(rows.size(), 25u);
    EXPECT_EQ(rows[0].first, "[000:000]DBfirst" + std::string(75, ' '));
    EXPECT_EQ(rows[0].second, "[000]DBfirst" + std::string(75, ' '));
    EXPECT_EQ(rows[1].second, "[001]  second" + std::string(74, ' '));
}

TEST(TerminalDebugViewTest, AfterTheRingWrappedSlotLabelsRunAheadByTheStartIndex)
{
    DebugFixture f;
    f.view->changeScrollback(5);
    for (int i = 0; i < 40; ++i) {
        f.view->feedHostOutput("line " + std::to_string(i) + "\r\n");
    }
    f.advance(20);
    Buffer &b = *f.terminal().buffer;
    const CircularBufferLineList &ring = b.lines();
    ASSERT_EQ(ring.maxLength(), 30);
    ASSERT_NE(ring.startIndex(), 0);
    const int64_t start = ring.startIndex();

    f.view->scrollUp(2);
    f.advance(20);
    ASSERT_EQ(b.yBase(), 5);
    ASSERT_EQ(b.yDisp(), 3);
    const auto rows = f.overlay->dumpRows();
    ASSERT_EQ(rows.size(), 30u);
    for (int64_t o = 0; o < 30; ++o) {
        SCOPED_TRACE(o);
        char label[16];
        std::snprintf(label, sizeof label, "[%03lld:%03lld]", static_cast<long long>(o),
                      static_cast<long long>((o + start) % 30));
        const std::string marks = std::string(o == 3 ? "D" : " ") + (o == 5 ? "B" : " ");
        EXPECT_EQ(rows[static_cast<size_t>(o)].first.substr(0, 11), label + marks);
    }
    // The logical side reads in order: the oldest kept line first.
    EXPECT_EQ(rows[0].second.substr(0, 12), "[000]  line ");
    EXPECT_EQ(rows[0].second.substr(12, 2), "11");
    EXPECT_EQ(f.overlay->statusLine()->text().toStdString(),
              "x: 0 y: 24 yDisp: 3 yBase: 5 clc: 30 startIndex: " + std::to_string(start));
    // Looking made no line and moved nothing.
    EXPECT_EQ(ring.startIndex(), start);
    EXPECT_EQ(ring.allocatedSlots(), 30);
}

TEST(TerminalDebugViewTest, FallsBackToCourierWithoutLucidaSansTypewriter)
{
    EXPECT_EQ(TerminalDebugView::chooseFont({"DejaVu Sans Mono"}).family(), "Courier");
    EXPECT_EQ(TerminalDebugView::chooseFont({"Courier", "Lucida Sans Typewriter"}).family(),
              "Lucida Sans Typewriter");
    EXPECT_EQ(TerminalDebugView::chooseFont({}).pixelSize(), 8);
}

TEST(TerminalDebugViewTest, PaintsWithoutAViewLeftToWatch)
{
    auto f = std::make_unique<DebugFixture>();
    QWidget holder;
    f->overlay->setParent(&holder);
    f->overlay->grab();
    f.reset();
    EXPECT_TRUE(f == nullptr);
    // Its view is gone: the dump is empty and painting draws only the background.
    auto *overlay = holder.findChild<TerminalDebugView *>();
    ASSERT_NE(overlay, nullptr);
    EXPECT_TRUE(overlay->dumpRows().empty());
    EXPECT_FALSE(overlay->grab().isNull());
}

} // namespace
} // namespace kestrix
