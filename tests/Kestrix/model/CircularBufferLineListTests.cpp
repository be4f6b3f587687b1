#include "Kestrix/model/CircularBufferLineList.h"
#include "tests/Kestrix/model/ImageStub.h"

#include <gtest/gtest.h>
#include <set>

namespace kestrix {
namespace {

using LinePtr = CircularBufferLineList::LinePtr;

LinePtr lineNamed(char name)
{
    auto line = std::make_unique<BufferLine>(2);
    CharData cell;
    cell.code = name;
    line->setCell(0, cell);
    return line;
}

// The first cell of every logical line, '.' for a line that starts empty.
std::string names(CircularBufferLineList &ring)
{
    std::string text;
    for (int64_t i = 0; i < ring.count(); ++i) {
        int32_t code = ring[i][0].code;
        text += code == 0 ? '.' : static_cast<char>(code);
    }
    return text;
}

struct Ring {
    explicit Ring(int64_t capacity = 5)
        : ring(capacity)
    {
        ring.makeEmpty = [](int64_t) { return std::make_unique<BufferLine>(2); };
    }

    void pushAll(const std::string &text)
    {
        for (char name : text) {
            ring.push(lineNamed(name));
        }
    }

    CircularBufferLineList ring;
};

struct RingFixture : testing::Test, Ring {};

TEST(CircularBufferLineListBasics, PushingIntoAFullRingDropsTheOldestLine)
{
    CircularBufferLineList ring(3);
    int pushed = 0;
    int withImages = 0;
    ring.onLinePushed = [&](bool hasImages) {
        ++pushed;
        withImages += hasImages;
    };
    ring.push(lineNamed('A'));
    ring.push(lineNamed('B'));
    auto withImage = lineNamed('C');
    withImage->images = BufferLine::ImageList{std::make_shared<ImageStub>()};
    ring.push(std::move(withImage));
    ring.push(lineNamed('D'));
    EXPECT_EQ(ring.count(), 3);
    EXPECT_EQ(names(ring), "BCD");
    EXPECT_EQ(pushed, 4);
    EXPECT_EQ(withImages, 1);
}

TEST_F(RingFixture, RecycleTurnsTheOldestLineIntoTheNewestClearedOne)
{
    pushAll("ABCDE");
    ring[0].isWrapped = true;
    ring[0].renderMode = BufferLine::RenderLineMode::doubledTop;
    ring[0].images = BufferLine::ImageList{std::make_shared<ImageStub>()};
    uint64_t serial = ring[0].serial();
    std::vector<bool> reported;
    ring.onLineRecycled = [&](bool hadImages) { reported.push_back(hadImages); };

    Attribute erase;
    erase.bg = Attribute::Color::ansi256(3);
    ring.recycle(erase);
    EXPECT_EQ(names(ring), "BCDE.");
    BufferLine &last = ring[4];
    EXPECT_EQ(last.serial(), serial);
    EXPECT_TRUE(last.isWrapped);
    EXPECT_EQ(last.renderMode, BufferLine::RenderLineMode::single);
    EXPECT_FALSE(last.images);
    EXPECT_EQ(last[1].attribute, erase);
    EXPECT_EQ(reported, std::vector<bool>{true});
}

TEST_F(RingFixture, ReadingAnEmptySlotMakesAndKeepsALine)
{
    ring.setCount(3);
    BufferLine &first = ring[1];
    EXPECT_EQ(&ring[1], &first);
    EXPECT_EQ(first.dataSize(), 2);
}

TEST_F(RingFixture, MoveRangeRefusesBadArgumentsWithAMessage)
{
    pushAll("ABCDE");
    struct Case {
        int64_t start, count, offset;
        const char *message;
    };
    const Case cases[] = {
        {1, -1, 1, "Assertion at start=1 count=-1 offset=1: count < 0\n"},
        {-1, 1, 2, "Assertion at start=-1 count=1 offset=2: start < 0\n"},
        {5, 1, 1, "Assertion at start=5 count=1 offset=1: start >= self.count\n"},
        {1, 1, -1, "Assertion at start=1 count=1 offset=-1: start+offset <= 0\n"},
    };
    for (const Case &c : cases) {
        testing::internal::CaptureStdout();
        EXPECT_FALSE(ring.moveRange(c.start, c.count, c.offset));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message);
        EXPECT_EQ(names(ring), "ABCDE");
    }
}

TEST_F(RingFixture, MoveRangeShiftsLinesBothWays)
{
    pushAll("ABCD");
    EXPECT_TRUE(ring.moveRange(2, 2, -1));
    ring.set(3, lineNamed('x'));
    EXPECT_EQ(names(ring), "ACDx");

    EXPECT_TRUE(ring.moveRange(1, 3, 1));
    ring.set(1, lineNamed('y'));
    EXPECT_EQ(ring.count(), 5);
    EXPECT_EQ(names(ring), "AyCDx");
}

TEST_F(RingFixture, MoveRangePastTheCapacityDropsTheOldestLinesInOrder)
{
    pushAll("ABCDE");
    EXPECT_TRUE(ring.moveRange(1, 4, 2));
    EXPECT_EQ(ring.count(), 5);
    ring.set(0, lineNamed('x'));
    // Logical lines 0 and 1 (A and the vacated slot) left the top; B..E keep their order.
    EXPECT_EQ(names(ring), "xBCDE");

    Ring partial;
    partial.pushAll("ABC");
    EXPECT_TRUE(partial.ring.moveRange(1, 2, 3));
    EXPECT_EQ(partial.ring.count(), 5);
    EXPECT_EQ(names(partial.ring).substr(3), "BC");
}

TEST_F(RingFixture, RotateTurnsARangeAcrossTheRingsWrapPoint)
{
    pushAll("ABCDEFG"); // capacity 5: the ring holds CDEFG and starts mid-array
    ring.rotate(1, 3, 1);
    EXPECT_EQ(names(ring), "CEFDG");
    ring.rotate(1, 3, -1);
    EXPECT_EQ(names(ring), "CDEFG");
    ring.rotate(0, 5, 7);
    EXPECT_EQ(names(ring), "EFGCD");
    // A range past the lines is cut to them; one line or none changes nothing.
    ring.rotate(3, 100, 1);
    EXPECT_EQ(names(ring), "EFGDC");
    ring.rotate(4, 1, 1);
    ring.rotate(9, 3, 1);
    EXPECT_EQ(names(ring), "EFGDC");
}

TEST_F(RingFixture, SpliceDeletesAndInsertsWhileReportingRows)
{
    pushAll("ABCD");
    std::set<int64_t> rows;
    std::vector<LinePtr> items;
    items.push_back(lineNamed('x'));
    ring.splice(1, 2, std::move(items), [&](int64_t row) { rows.insert(row); });
    EXPECT_EQ(names(ring), "AxD");
    EXPECT_EQ(rows, (std::set<int64_t>{1, 2}));

    items.clear();
    items.push_back(lineNamed('y'));
    items.push_back(lineNamed('z'));
    ring.splice(3, 0, std::move(items));
    EXPECT_EQ(names(ring), "AxDyz");
}

TEST_F(RingFixture, SpliceIntoAFullRingDropsFromTheTop)
{
    pushAll("ABCDE");
    std::vector<LinePtr> items;
    items.push_back(lineNamed('x'));
    ring.splice(4, 0, std::move(items));
    EXPECT_EQ(names(ring), "BCDxE");

    // Everything above the insertion point leaves, then the first inserted lines themselves.
    items.clear();
    for (char name : std::string("uvw")) {
        items.push_back(lineNamed(name));
    }
    ring.splice(1, 0, std::move(items));
    EXPECT_EQ(names(ring), "wCDxE");

    items.clear();
    items.push_back(lineNamed('q'));
    ring.splice(0, 0, std::move(items));
    EXPECT_EQ(names(ring), "wCDxE");
}

TEST_F(RingFixture, MaxLengthChangesKeepTheLinesInOrder)
{
    pushAll("ABCDEFG");
    EXPECT_EQ(names(ring), "CDEFG");
    ASSERT_NE(ring.startIndex(), 0);
    ring.setMaxLength(8);
    EXPECT_EQ(ring.startIndex(), 0);
    EXPECT_EQ(names(ring), "CDEFG");
    pushAll("HIJ");
    EXPECT_EQ(names(ring), "CDEFGHIJ");

    ring.dropOldest(5);
    ring.setMaxLength(3);
    EXPECT_EQ(names(ring), "HIJ");
    pushAll("K");
    EXPECT_EQ(names(ring), "IJK");
}

TEST_F(RingFixture, LinesTakenOutComeBackInANewOrderAsTheSameObjects)
{
    pushAll("ABCDEFG"); // the ring holds CDEFG and starts mid-array
    BufferLine *lineD = &ring[1];
    std::vector<LinePtr> lines = ring.takeLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(ring.count(), 0);
    EXPECT_EQ(lines[1].get(), lineD);

    // Drop E, put x after F: the kept lines are the very same objects.
    lines.erase(lines.begin() + 2);
    lines.insert(lines.begin() + 3, lineNamed('x'));
    EXPECT_EQ(ring.putLines(std::move(lines)), 0);
    EXPECT_EQ(names(ring), "CDFxG");
    EXPECT_EQ(&ring[1], lineD);
    EXPECT_EQ(ring.startIndex(), 0);
    pushAll("H");
    EXPECT_EQ(names(ring), "DFxGH");

    // More lines than the capacity: the oldest go.
    lines = ring.takeLines();
    lines.push_back(lineNamed('y'));
    lines.push_back(lineNamed('z'));
    EXPECT_EQ(ring.putLines(std::move(lines)), 2);
    EXPECT_EQ(names(ring), "xGHyz");
}

TEST_F(RingFixture, TakingLinesReleasesStaleSlotsBeyondTheCount)
{
    pushAll("ABC");
    ring.setCount(1);
    std::vector<LinePtr> lines = ring.takeLines();
    ASSERT_EQ(lines.size(), 1u);
    ring.putLines(std::move(lines));
    ring.setCount(3);
    // The lines once at 1 and 2 are gone: the slots are made afresh.
    EXPECT_EQ(names(ring), "A..");
}

TEST(CircularBufferLineListCapacity, AHugeCapacityAllocatesSlotsOnlyForArrivingLines)
{
    CircularBufferLineList ring(2147483647);
    for (int i = 0; i < 100; ++i) {
        ring.push(lineNamed('a'));
    }
    EXPECT_EQ(ring.count(), 100);
    EXPECT_LE(ring.allocatedSlots(), 100);
    ring.setMaxLength(2147483646);
    EXPECT_LE(ring.allocatedSlots(), 100);
    EXPECT_EQ(ring.count(), 100);
}

using CircularBufferLineListDeathTest = RingFixture;

TEST_F(CircularBufferLineListDeathTest, InternalConsistencyFailuresStopTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    pushAll("AB");
    EXPECT_DEATH(ring.recycle(Attribute()), "can only recycle when the buffer is full");
    EXPECT_DEATH(ring.setCount(6), "count 6 outside");
    CircularBufferLineList bare(3);
    bare.setCount(2);
    EXPECT_DEATH(bare[1], "without makeEmpty");
}

} // namespace
} // namespace kestrix
