#include "Kestrix/model/Buffer.h"
#include "tests/Kestrix/model/ImageStub.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

CharData cellOf(char32_t code, int8_t width = 1, Attribute attribute = Attribute())
{
    CharData cell;
    cell.setValue(static_cast<int32_t>(code), width);
    cell.attribute = attribute;
    return cell;
}

// A buffer with a stand-in for the terminal's scroll of a region that starts at the top: the top line
// enters the scrollback (or is recycled once the ring is full).
struct BufferFixture : testing::Test {
    explicit BufferFixture(int64_t cols = 10, int64_t rows = 5, std::optional<int64_t> scrollback = 100)
        : buffer(cols, rows, 8, scrollback)
    {
        buffer.fillViewportRows();
        buffer.modes().wraparound = true;
        buffer.scroll = [this](bool wrapped) { scrollUp(wrapped); };
    }

    void scrollUp(bool wrapped)
    {
        scrolls.push_back(wrapped);
        CircularBufferLineList &lines = buffer.lines();
        int64_t bottom = buffer.yBase() + buffer.scrollBottom();
        if (buffer.scrollTop() != 0) {
            lines.moveRange(buffer.yBase() + buffer.scrollTop() + 1,
                            buffer.scrollBottom() - buffer.scrollTop(), -1);
            lines.set(bottom, buffer.getBlankLine(Attribute()));
        } else if (lines.isFull()) {
            lines.recycle(Attribute());
        } else {
            lines.push(buffer.getBlankLine(Attribute()));
            buffer.setYBase(buffer.yBase() + 1);
        }
        lines[bottom].isWrapped = wrapped;
        buffer.setYDisp(buffer.yBase());
    }

    void print(const std::string &text)
    {
        std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t *>(text.data()), text.size());
        ASSERT_EQ(buffer.putAsciiRun(bytes, 0, Attribute()), static_cast<int64_t>(text.size()));
    }

    void newLine()
    {
        buffer.setX(0);
        if (buffer.y() == buffer.scrollBottom()) {
            scrollUp(false);
        } else {
            buffer.setY(buffer.y() + 1);
        }
    }

    // Writes one line of text per screen row from the cursor on.
    void printLines(int count, char first = 'a')
    {
        for (int i = 0; i < count; ++i) {
            if (i > 0) {
                newLine();
            }
            print(std::string(1, static_cast<char>(first + i)));
        }
    }

    std::string rowText(int64_t logicalRow)
    {
        auto blankForEmpty = [](const CharData &cell) {
            return cell.code == 0 ? std::string(" ") : CharData::stringFromScalar(cell.code);
        };
        return buffer.lines()[logicalRow].translateToString(true, 0, -1, false, blankForEmpty);
    }

    std::string screenText()
    {
        std::string text;
        for (int64_t row = 0; row < buffer.rows(); ++row) {
            text += rowText(buffer.yBase() + row) + "|";
        }
        return text;
    }

    Buffer buffer;
    std::vector<bool> scrolls;
};

TEST(Buffer, StartsEmptyWithDefaultsAndTabStopsEveryTabWidth)
{
    Buffer buffer(20, 4, 8, 50);
    EXPECT_EQ(buffer.lines().count(), 0);
    EXPECT_EQ(buffer.lines().maxLength(), 54);
    EXPECT_TRUE(buffer.hasScrollback());
    EXPECT_EQ(buffer.scrollBottom(), 3);
    EXPECT_EQ(buffer.marginRight(), 19);
    EXPECT_TRUE(buffer.savedAttr.isPlainDefault());
    EXPECT_FALSE(buffer.modes().wraparound);
    std::vector<int> stops;
    for (size_t i = 0; i < buffer.tabStops.size(); ++i) {
        if (buffer.tabStops[i]) {
            stops.push_back(static_cast<int>(i));
        }
    }
    EXPECT_EQ(stops, (std::vector<int>{0, 8, 16}));

    Attribute fill;
    fill.bg = Attribute::Color::ansi256(4);
    buffer.fillViewportRows(fill);
    EXPECT_EQ(buffer.lines().count(), 4);
    EXPECT_EQ(buffer.charAt(5, 2).attribute, fill);
    EXPECT_EQ(buffer.lines()[0].fillCharacter().attribute, fill);
    buffer.fillViewportRows();
    EXPECT_EQ(buffer.lines().count(), 4);
}

TEST(Buffer, RingCapacitySaturatesAndCostsNothingUntilUsed)
{
    const int64_t huge = std::numeric_limits<int64_t>::max();
    EXPECT_EQ(Buffer::ringCapacity(24, huge), 2147483647);
    EXPECT_EQ(Buffer::ringCapacity(24, std::nullopt), 24);
    EXPECT_EQ(Buffer::ringCapacity(24, -5), 24);

    Buffer buffer(80, 24, 8, huge);
    buffer.fillViewportRows();
    EXPECT_EQ(buffer.lines().maxLength(), 2147483647);
    EXPECT_LE(buffer.lines().allocatedSlots(), 24);

    buffer.resize(100, 30);
    EXPECT_EQ(buffer.lines().maxLength(), 2147483647);
    EXPECT_LE(buffer.lines().allocatedSlots(), 30);
    buffer.clear();
    EXPECT_EQ(buffer.lines().maxLength(), 2147483647);
    buffer.changeScrollback(huge - 1);
    EXPECT_EQ(buffer.lines().maxLength(), 2147483647);
}

TEST(Buffer, AnAbsentScrollbackHoldsExactlyTheScreen)
{
    Buffer buffer(10, 5, 8, std::nullopt);
    EXPECT_EQ(buffer.lines().maxLength(), 5);
    EXPECT_FALSE(buffer.hasScrollback());

    Buffer normal(10, 5, 8, 100);
    normal.fillViewportRows();
    normal.changeScrollback(std::nullopt);
    EXPECT_EQ(normal.lines().maxLength(), 5);
    EXPECT_FALSE(normal.hasScrollback());
    EXPECT_EQ(normal.scrollback(), std::nullopt);
}

TEST(BufferDeathTest, PrintingAWrapAtTheBottomWithoutAScrollHandlerStops)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Buffer buffer(3, 1, 8, 10);
    buffer.fillViewportRows();
    buffer.modes().wraparound = true;
    std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t *>("abcd"), 4);
    EXPECT_DEATH(buffer.putAsciiRun(bytes, 0, Attribute()), "This should be set after creating a buffer");
}

TEST_F(BufferFixture, ReadsOutsideTheBufferGiveTheNullCell)
{
    print("ab");
    EXPECT_EQ(buffer.charAt(1, 0).code, 'b');
    EXPECT_EQ(buffer.charAt(10, 0), CharData::nullCell);
    EXPECT_EQ(buffer.charAt(-1, 0), CharData::nullCell);
    EXPECT_EQ(buffer.charAt(0, 5), CharData::nullCell);
    EXPECT_EQ(buffer.charAt(0, -1), CharData::nullCell);
    EXPECT_EQ(buffer.getCharAtBufferRelative(0, 0).code, 'a');
}

TEST_F(BufferFixture, GuardedSettersIgnoreNegativeValues)
{
    buffer.setX(3);
    buffer.setY(2);
    buffer.setX(-1);
    buffer.setY(-4);
    buffer.setYDisp(-1);
    buffer.setScrollTop(-1);
    buffer.setScrollBottom(-2);
    EXPECT_EQ(buffer.x(), 3);
    EXPECT_EQ(buffer.y(), 2);
    EXPECT_EQ(buffer.yDisp(), 0);
    EXPECT_EQ(buffer.scrollTop(), 0);
    EXPECT_EQ(buffer.scrollBottom(), 4);
    buffer.setMarginLeft(-7);
    EXPECT_EQ(buffer.marginLeft(), -7);
}

TEST_F(BufferFixture, AWideCharacterAtTheLastColumnWrapsOrIsDropped)
{
    Attribute red;
    red.fg = Attribute::Color::ansi256(1);
    buffer.modes().wraparound = false;
    buffer.setX(9);
    buffer.putCharacter(cellOf(0x4E2D, 2, red));
    EXPECT_EQ(buffer.x(), 9);
    EXPECT_EQ(buffer.charAt(9, 0), CharData::nullCell);

    buffer.modes().wraparound = true;
    buffer.putCharacter(cellOf(0x4E2D, 2, red));
    EXPECT_EQ(buffer.y(), 1);
    EXPECT_EQ(buffer.x(), 2);
    EXPECT_TRUE(buffer.lines()[1].isWrapped);
    EXPECT_EQ(buffer.charAt(0, 1).code, 0x4E2D);
    // The continuation cell carries the printed cell's attribute.
    EXPECT_EQ(buffer.charAt(1, 1), cellOf(0, 0, red));
    EXPECT_EQ(buffer.lastBufferStorage.y, 1);
    EXPECT_EQ(buffer.lastBufferStorage.x, 0);
}

TEST_F(BufferFixture, WithoutWraparoundANarrowCharacterOverwritesTheLastColumn)
{
    buffer.modes().wraparound = false;
    print("0123456789");
    EXPECT_EQ(buffer.x(), 10);
    buffer.putCharacter(cellOf('x'));
    EXPECT_EQ(rowText(0), "012345678x");
    EXPECT_EQ(buffer.x(), 10);
    EXPECT_EQ(buffer.y(), 0);
}

TEST_F(BufferFixture, WrappingFollowsTheLineFeedRule)
{
    // On the bottom row of the region: the region scrolls.
    buffer.setScrollTop(1);
    buffer.setScrollBottom(2);
    buffer.setY(2);
    print("0123456789x");
    EXPECT_EQ(scrolls, std::vector<bool>{true});
    EXPECT_EQ(buffer.y(), 2);
    EXPECT_TRUE(buffer.lines()[2].isWrapped);

    // Below the region: the cursor moves down without scrolling.
    scrolls.clear();
    buffer.setY(3);
    buffer.setX(0);
    print("0123456789y");
    EXPECT_TRUE(scrolls.empty());
    EXPECT_EQ(buffer.y(), 4);
    EXPECT_TRUE(buffer.lines()[4].isWrapped);
    EXPECT_EQ(rowText(4), "y");

    // On the last row below the region: the cursor stays on that row.
    buffer.setX(0);
    print("0123456789z");
    EXPECT_TRUE(scrolls.empty());
    EXPECT_EQ(buffer.y(), 4);
    EXPECT_EQ(rowText(4), "z123456789");
}

TEST_F(BufferFixture, WrappingWithScrollbackMarksTheRowUnderTheCursor)
{
    printLines(7);
    ASSERT_EQ(buffer.yBase(), 2);
    buffer.setY(1);
    buffer.setX(0);
    print("0123456789w");
    EXPECT_EQ(buffer.y(), 2);
    EXPECT_TRUE(buffer.lines()[buffer.yBase() + 2].isWrapped);
    EXPECT_FALSE(buffer.lines()[2].isWrapped);
    EXPECT_EQ(rowText(buffer.yBase() + 2), "w");
}

TEST_F(BufferFixture, InsertModePushesTheLineRightWithinTheMargin)
{
    print("abcdefghi");
    buffer.modes().insertMode = true;
    buffer.setX(2);
    buffer.putCharacter(cellOf('X'));
    EXPECT_EQ(rowText(0), "abXcdefghi");

    Attribute blue;
    blue.bg = Attribute::Color::ansi256(4);
    buffer.setX(0);
    buffer.setY(1);
    buffer.modes().insertMode = false;
    print("abcdefgh");
    buffer.putCharacter(cellOf(0x4E2D, 2));
    EXPECT_EQ(buffer.charAt(8, 1).width, 2);
    // Inserting pushes the wide character half out of the line: the cut half becomes a blank of the
    // printed cell's attribute.
    buffer.modes().insertMode = true;
    buffer.setX(0);
    buffer.putCharacter(cellOf('Z', 1, blue));
    EXPECT_EQ(buffer.charAt(0, 1).code, 'Z');
    EXPECT_EQ(buffer.charAt(8, 1).code, 'h');
    EXPECT_EQ(buffer.charAt(9, 1), cellOf(0, 1, blue));

    // The margin bounds the push.
    buffer.modes().marginMode = true;
    buffer.setMarginLeft(2);
    buffer.setMarginRight(5);
    buffer.setY(2);
    buffer.setX(0);
    buffer.modes().insertMode = false;
    print("abcdef");
    buffer.setY(3);
    buffer.setX(0);
    buffer.modes().marginMode = false;
    print("0123456789");
    buffer.modes().marginMode = true;
    buffer.modes().insertMode = true;
    buffer.setX(3);
    buffer.putCharacter(cellOf('Q'));
    EXPECT_EQ(rowText(buffer.yBase() + 3), "012Q346789");
}

TEST_F(BufferFixture, AsciiRunsStopAtTheEdgeWithoutWraparoundAndNeverRunInInsertMode)
{
    std::string text = "abcdefghijkl";
    std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t *>(text.data()), text.size());
    buffer.modes().insertMode = true;
    EXPECT_EQ(buffer.putAsciiRun(bytes, 0, Attribute()), 0);
    buffer.modes().insertMode = false;
    EXPECT_EQ(buffer.putAsciiRun(bytes, 12, Attribute()), 0);

    buffer.modes().wraparound = false;
    buffer.modes().marginMode = true;
    buffer.setMarginRight(5);
    buffer.setX(2);
    EXPECT_EQ(buffer.putAsciiRun(bytes, 1, Attribute()), 4);
    EXPECT_EQ(rowText(0), "  bcde");
    EXPECT_EQ(buffer.x(), 6);
    EXPECT_EQ(buffer.lastBufferStorage.x, 5);

    buffer.modes().wraparound = true;
    buffer.setMarginLeft(1);
    EXPECT_EQ(buffer.putAsciiRun(bytes, 0, Attribute()), 12);
    EXPECT_EQ(rowText(1), " abcde");
    EXPECT_EQ(rowText(2), " fghij");
    EXPECT_EQ(rowText(3), " kl");
    EXPECT_TRUE(buffer.lines()[3].isWrapped);
    EXPECT_EQ(buffer.lastBufferStorage.y, 3);
    EXPECT_EQ(buffer.lastBufferStorage.x, 2);
}

TEST_F(BufferFixture, AsciiRunsGiveUpWhenTheMarginsLeaveNoRoom)
{
    buffer.modes().marginMode = true;
    buffer.setMarginLeft(6);
    buffer.setMarginRight(4);
    buffer.setX(5);
    std::string text = "abc";
    std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t *>(text.data()), text.size());
    EXPECT_EQ(buffer.putAsciiRun(bytes, 0, Attribute()), 0);
}

TEST_F(BufferFixture, TabStopsStayWithinTheLineAndTheMargins)
{
    EXPECT_EQ(buffer.previousTabStop(0), 0);
    EXPECT_EQ(buffer.previousTabStop(5), 0);
    EXPECT_EQ(buffer.previousTabStop(9), 8);
    EXPECT_EQ(buffer.nextTabStop(9), 9);
    EXPECT_EQ(buffer.nextTabStop(0), 8);
    EXPECT_EQ(buffer.nextTabStop(8), 9);

    buffer.setTabStop(4);
    buffer.setTabStop(10);
    buffer.setTabStop(-1);
    EXPECT_EQ(buffer.tabStops.size(), 10u);
    EXPECT_EQ(buffer.nextTabStop(0), 4);
    buffer.clearTabStop(4);
    buffer.clearTabStop(99);
    EXPECT_EQ(buffer.nextTabStop(0), 8);

    buffer.setMarginRight(6);
    EXPECT_EQ(buffer.nextTabStop(0, true), 6);
    EXPECT_EQ(buffer.nextTabStop(0, false), 8);
    buffer.setX(3);
    EXPECT_EQ(buffer.nextTabStop(), 8);
    EXPECT_EQ(buffer.previousTabStop(), 0);
}

// One stop anywhere in a line of 37 columns (so stops sit before, inside and after whole words of
// eight), with any non-zero value marking it: the next stop from every column is that stop while it
// lies ahead, else the right edge.
TEST(Buffer, NextTabStopFindsASingleStopFromEveryColumn)
{
    const int64_t cols = 37;
    Buffer buffer(cols, 2, 8, std::nullopt);
    for (const uint8_t mark : {uint8_t{1}, uint8_t{0x7F}, uint8_t{0x80}, uint8_t{0xFF}}) {
        for (int64_t stop = 0; stop < cols; ++stop) {
            std::fill(buffer.tabStops.begin(), buffer.tabStops.end(), uint8_t{0});
            buffer.tabStops[static_cast<size_t>(stop)] = mark;
            for (int64_t from = 0; from < cols + 2; ++from) {
                ASSERT_EQ(buffer.nextTabStop(from), stop > from ? stop : cols - 1)
                    << "stop " << stop << " from " << from << " mark " << int(mark);
            }
        }
    }
    // Within margins the search ends at the right margin.
    std::fill(buffer.tabStops.begin(), buffer.tabStops.end(), uint8_t{0});
    buffer.tabStops[30] = 1;
    buffer.setMarginRight(20);
    EXPECT_EQ(buffer.nextTabStop(0, true), 20);
    EXPECT_EQ(buffer.nextTabStop(0, false), 30);
}

TEST(Buffer, TabStopsContinueFromTheOldWidthAfterAResize)
{
    Buffer buffer(20, 2, 8, std::nullopt);
    buffer.fillViewportRows();
    buffer.setTabStop(3);
    buffer.resize(40, 2);
    buffer.setupTabStops(20, 8);
    std::vector<int> stops;
    for (size_t i = 0; i < buffer.tabStops.size(); ++i) {
        if (buffer.tabStops[i]) {
            stops.push_back(static_cast<int>(i));
        }
    }
    EXPECT_EQ(stops, (std::vector<int>{0, 3, 8, 16, 24, 32}));

    buffer.setupTabStops(-1, 0);
    EXPECT_EQ(std::count(buffer.tabStops.begin(), buffer.tabStops.end(), true), 0);
}

TEST(Buffer, ShrinkingTheScrollbackDropsTheOldestLinesButKeepsTheSavedRow)
{
    Buffer buffer(10, 5, 8, 1000);
    buffer.fillViewportRows();
    for (int i = 0; i < 500; ++i) {
        buffer.lines().push(buffer.getBlankLine(Attribute()));
    }
    buffer.setYBase(500);
    buffer.setYDisp(480);
    buffer.savedY = 3;
    buffer.changeScrollback(10);
    EXPECT_EQ(buffer.lines().maxLength(), 15);
    EXPECT_EQ(buffer.lines().count(), 15);
    EXPECT_EQ(buffer.yBase(), 10);
    EXPECT_EQ(buffer.yDisp(), 0);
    EXPECT_EQ(buffer.savedY, 3);
    EXPECT_EQ(buffer.scrollback(), 10);

    buffer.changeScrollback(2000);
    EXPECT_EQ(buffer.lines().maxLength(), 2005);
    EXPECT_EQ(buffer.lines().count(), 15);
}

TEST_F(BufferFixture, GrowingRowsPullsLinesOutOfTheScrollbackFirst)
{
    printLines(7);
    ASSERT_EQ(buffer.yBase(), 2);
    ASSERT_EQ(buffer.y(), 4);
    buffer.resize(10, 8);
    EXPECT_EQ(buffer.yBase(), 0);
    EXPECT_EQ(buffer.yDisp(), 0);
    EXPECT_EQ(buffer.y(), 6);
    EXPECT_EQ(buffer.lines().count(), 8);
    EXPECT_EQ(screenText(), "a|b|c|d|e|f|g||");
    EXPECT_EQ(buffer.scrollBottom(), 7);
}

TEST_F(BufferFixture, ShrinkingRowsDropsBlankLinesBelowTheCursorFirst)
{
    printLines(2);
    buffer.resize(10, 3);
    EXPECT_EQ(buffer.yBase(), 0);
    EXPECT_EQ(buffer.lines().count(), 3);
    EXPECT_EQ(screenText(), "a|b||");

    buffer.savedY = 2;
    buffer.resize(10, 1);
    EXPECT_EQ(buffer.yBase(), 1);
    EXPECT_EQ(buffer.y(), 0);
    EXPECT_EQ(screenText(), "b|");
    EXPECT_EQ(buffer.savedY, 2);
}

TEST(Buffer, ShrinkingRowsOfAFullRingDropsScrollbackWithoutMovingTheSavedRow)
{
    Buffer buffer(10, 5, 8, 2);
    buffer.fillViewportRows();
    buffer.lines().push(buffer.getBlankLine(Attribute()));
    buffer.lines().push(buffer.getBlankLine(Attribute()));
    buffer.setYBase(2);
    buffer.setYDisp(2);
    buffer.setY(4);
    buffer.savedY = 4;
    buffer.resize(10, 3);
    EXPECT_EQ(buffer.lines().maxLength(), 5);
    EXPECT_EQ(buffer.lines().count(), 5);
    EXPECT_EQ(buffer.yBase(), 2);
    EXPECT_EQ(buffer.y(), 2);
    EXPECT_EQ(buffer.savedY, 4);
}

TEST_F(BufferFixture, ChangingColumnsWidensEveryLineAndCutsOnlyLinesWithScrollback)
{
    print("0123456789");
    buffer.savedX = 9;
    buffer.resize(15, 5);
    EXPECT_EQ(buffer.lines()[0].dataSize(), 15);
    EXPECT_EQ(buffer.lines()[4].dataSize(), 15);
    EXPECT_EQ(buffer.marginRight(), 9);
    EXPECT_EQ(buffer.tabStops.size(), 15u);

    buffer.resize(6, 5);
    EXPECT_EQ(buffer.lines()[0].dataSize(), 6);
    EXPECT_EQ(rowText(0), "012345");
    EXPECT_EQ(buffer.x(), 5);
    EXPECT_EQ(buffer.savedX, 5);
    EXPECT_EQ(buffer.marginRight(), 5);

    Buffer alternate(10, 3, 8, std::nullopt);
    alternate.fillViewportRows();
    alternate.resize(6, 3);
    EXPECT_EQ(alternate.lines()[0].dataSize(), 10);
    EXPECT_EQ(alternate.cols(), 6);
    // Lines made after the resize have the new width.
    alternate.lines().set(1, nullptr);
    EXPECT_EQ(alternate.lines()[1].dataSize(), 6);
}

TEST_F(BufferFixture, ImageListsAreCountedAndDroppedWithAGenerationChange)
{
    buffer.appendLineImage(std::make_shared<ImageStub>(), 1);
    buffer.appendLineImage(std::make_shared<ImageStub>(), 1);
    buffer.appendLineImage(std::make_shared<ImageStub>(), 3);
    buffer.appendLineImage(std::make_shared<ImageStub>(), 99);
    EXPECT_EQ(buffer.linesWithImagesCount(), 2);
    EXPECT_EQ(buffer.lines()[1].images->size(), 2u);

    uint64_t generation = buffer.lines()[1].generation;
    buffer.clearLineImages(1);
    EXPECT_EQ(buffer.linesWithImagesCount(), 1);
    EXPECT_NE(buffer.lines()[1].generation, generation);
    generation = buffer.lines()[1].generation;
    buffer.clearLineImages(1);
    EXPECT_EQ(buffer.lines()[1].generation, generation);
    EXPECT_EQ(buffer.linesWithImagesCount(), 1);

    buffer.lines()[0].images.emplace();
    buffer.recountLinesWithImages();
    EXPECT_EQ(buffer.linesWithImagesCount(), 2);
    EXPECT_TRUE(buffer.hasLinesWithImages());
}

TEST_F(BufferFixture, LinesWithImagesThatLeaveOnResizeOrScrollbackChangeAreUncounted)
{
    printLines(7);
    buffer.appendLineImage(std::make_shared<ImageStub>(), 0);
    buffer.setY(1);
    buffer.appendLineImage(std::make_shared<ImageStub>(), buffer.yBase() + 4);
    ASSERT_EQ(buffer.linesWithImagesCount(), 2);
    buffer.resize(10, 4);
    EXPECT_EQ(buffer.linesWithImagesCount(), 1);
    buffer.changeScrollback(0);
    EXPECT_EQ(buffer.linesWithImagesCount(), 0);
}

TEST(BufferDeathTest, ALineNarrowerThanTheNewWidthAfterAResizeStops)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Buffer buffer(10, 3, 8, std::nullopt);
    buffer.fillViewportRows();
    buffer.lines().set(1, std::make_unique<BufferLine>(4));
    EXPECT_DEATH(buffer.resize(10, 2), "stop here newCols=10 but the element has: 4");
}

TEST(Buffer, RecyclingALineWithImagesLowersTheCount)
{
    Buffer buffer(4, 2, 8, std::nullopt);
    buffer.fillViewportRows();
    buffer.appendLineImage(std::make_shared<ImageStub>(), 0);
    ASSERT_EQ(buffer.linesWithImagesCount(), 1);
    buffer.lines().recycle(Attribute());
    EXPECT_EQ(buffer.linesWithImagesCount(), 0);
    auto withImage = buffer.getBlankLine(Attribute());
    withImage->images = BufferLine::ImageList{std::make_shared<ImageStub>()};
    buffer.lines().push(std::move(withImage));
    EXPECT_EQ(buffer.linesWithImagesCount(), 1);
}

TEST_F(BufferFixture, ClearEmptiesTheRingAndResetsPositionsButKeepsModes)
{
    printLines(7);
    buffer.modes().insertMode = true;
    buffer.setMarginLeft(2);
    buffer.setScrollTop(1);
    buffer.savedX = 4;
    buffer.linesTop = 3;
    buffer.clear();
    EXPECT_EQ(buffer.lines().count(), 0);
    EXPECT_EQ(buffer.lines().maxLength(), 105);
    EXPECT_EQ(buffer.yBase(), 0);
    EXPECT_EQ(buffer.x(), 0);
    EXPECT_EQ(buffer.y(), 0);
    EXPECT_EQ(buffer.linesTop, 0);
    EXPECT_EQ(buffer.scrollTop(), 0);
    EXPECT_EQ(buffer.marginLeft(), 0);
    EXPECT_TRUE(buffer.modes().insertMode);
    EXPECT_EQ(buffer.savedX, 4);

    buffer.savedAttr.style = CharacterStyle::bold;
    buffer.savedCharset = CharSetMap{{0x60, U'x'}};
    buffer.savedWraparound = true;
    buffer.setMarginRight(3);
    buffer.softReset();
    EXPECT_TRUE(buffer.savedAttr.isPlainDefault());
    EXPECT_EQ(buffer.savedX, 0);
    EXPECT_FALSE(buffer.savedCharset);
    EXPECT_FALSE(buffer.savedWraparound);
    EXPECT_EQ(buffer.marginRight(), 9);
    EXPECT_TRUE(buffer.modes().insertMode);
}

} // namespace
} // namespace kestrix
