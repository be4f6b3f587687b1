#include "Kestrix/core/TaskQueue.h"
#include "Kestrix/core/Terminal.h"
#include "TerminalTestSupport.h"

#include <gtest/gtest.h>

using namespace kestrix;
using namespace kestrix::testing;
using namespace std::chrono_literals;

namespace {

using Cell = std::pair<int64_t, int64_t>;
using Range = std::optional<std::pair<int64_t, int64_t>>;

void fillRows(Terminal &terminal)
{
    for (int64_t row = 0; row < terminal.rows; ++row) {
        terminal.feedString((row == 0 ? "" : "\r\n") + std::string(1, static_cast<char>('A' + row)));
    }
}

} // namespace

TEST(TerminalScrolling, LineFeedAtRegionBottomScrollsIntoScrollback)
{
    RecordingDelegate delegate;
    Terminal terminal(&delegate, optionsOfSize(10, 3));
    fillRows(terminal);
    terminal.feedString("\r\nD");
    EXPECT_EQ(screenText(terminal), (std::vector<std::string>{"B", "C", "D"}));
    EXPECT_EQ(terminal.buffer->yBase(), 1);
    EXPECT_EQ(terminal.buffer->yDisp(), 1);
    EXPECT_EQ(terminal.scrollInvariantLine(0)->translateToString(true), "A");
    EXPECT_EQ(delegate.scrollPositions, std::vector<int64_t>{1});
}

TEST(TerminalScrolling, LineFeedWithAFullRingRecyclesTheOldestLine)
{
    Terminal terminal(nullptr, optionsOfSize(10, 3, 2));
    fillRows(terminal);
    terminal.feedString("\r\nD\r\nE");
    ASSERT_TRUE(terminal.buffer->lines().isFull());
    EXPECT_EQ(terminal.buffer->yBase(), 2);
    terminal.feedString("\r\nF");
    EXPECT_EQ(terminal.buffer->yBase(), 2);
    EXPECT_EQ(terminal.buffer->linesTop, 1);
    EXPECT_EQ(screenText(terminal), (std::vector<std::string>{"D", "E", "F"}));
    EXPECT_EQ(terminal.scrollInvariantLine(0)->translateToString(true), "B");

    // A user who scrolled back keeps seeing the same text.
    terminal.userScrolling = true;
    terminal.buffer->setYDisp(1);
    terminal.feedString("\nG");
    EXPECT_EQ(terminal.buffer->yDisp(), 0);
    terminal.feedString("\nH");
    EXPECT_EQ(terminal.buffer->yDisp(), 0);
}

TEST(TerminalScrolling, RegionBelowTheTopScrollsWithoutScrollback)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    fillRows(terminal);
    terminal.buffer->setScrollTop(1);
    terminal.buffer->setScrollBottom(3);
    terminal.buffer->setY(3);
    terminal.feedString("\n");
    EXPECT_EQ(screenText(terminal), (std::vector<std::string>{"A", "C", "D", "", "E"}));
    EXPECT_EQ(terminal.buffer->yBase(), 0);
}

TEST(TerminalScrolling, MarginsScrollOnlyTheirColumns)
{
    Terminal terminal(nullptr, optionsOfSize(16, 3));
    terminal.feedString("0123456789abcdef\r\nGHIJKLMNOPQRSTUV\r\nghijklmnopqrstuv");
    terminal.marginMode = true;
    terminal.buffer->setMarginLeft(5);
    terminal.buffer->setMarginRight(10);
    terminal.buffer->setX(7);
    terminal.cmdLineFeed();
    EXPECT_EQ(screenText(terminal),
              (std::vector<std::string>{"01234LMNOPQbcdef", "GHIJKlmnopqRSTUV", "ghijk      rstuv"}));
    EXPECT_EQ(terminal.buffer->yBase(), 0);

    // Right of the margins on the bottom margin, a line feed leaves the cursor where it is.
    terminal.buffer->setX(12);
    terminal.cmdLineFeed();
    EXPECT_EQ(terminal.cursorPosition(), Cell(12, 2));
    EXPECT_EQ(screenText(terminal)[0], "01234LMNOPQbcdef");
}

TEST(TerminalScrolling, IndexLeftOfTheMarginOnTheBottomStays)
{
    Terminal terminal(nullptr, optionsOfSize(16, 3));
    terminal.marginMode = true;
    terminal.buffer->setMarginLeft(5);
    terminal.buffer->setMarginRight(10);
    terminal.buffer->setX(2);
    terminal.buffer->setY(2);
    terminal.cmdIndex();
    EXPECT_EQ(terminal.cursorPosition(), Cell(2, 2));
    terminal.buffer->setY(0);
    terminal.cmdIndex();
    EXPECT_EQ(terminal.cursorPosition(), Cell(2, 1));
}

TEST(TerminalScrolling, IndexBelowTheRegionOnlyMovesDown)
{
    // Rows r1..r7 on an eight-row screen, a region of rows 4-5, the cursor on row 7 below it.
    struct Case {
        const char *name;
        std::string sequence;
        int64_t expectedRow;
    };
    const std::string setup = "\x1b[4;5r\x1b[7;1H";
    const Case cases[] = {
        {"ESC D", setup + "\x1b" "D", 7},
        {"ESC E", setup + "\x1b" "E", 7},
        {"C1 IND", setup + "\x1b[\x84", 7},
        {"C1 NEL", setup + "\x1b[\x85", 7},
        {"ESC D left of the margins", "\x1b[?69h\x1b[3;6s" + setup + "\x1b" "D", 7},
        {"ESC D right of the margins", "\x1b[?69h\x1b[1;2s" + setup + "\x1b[5C\x1b" "D", 7},
        {"ESC D on the last row", setup + "\x1b[8H\x1b" "D", 7},
        {"ESC E on the last row", setup + "\x1b[8H\x1b" "E", 7},
    };
    const std::vector<std::string> rows = {"r1", "r2", "r3", "r4", "r5", "r6", "r7", ""};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Terminal terminal(nullptr, optionsOfSize(10, 8));
        terminal.feedString("r1\r\nr2\r\nr3\r\nr4\r\nr5\r\nr6\r\nr7");
        terminal.feedString(c.sequence);
        EXPECT_EQ(screenText(terminal), rows);
        EXPECT_EQ(terminal.cursorPosition().second, c.expectedRow);
        EXPECT_EQ(terminal.buffer->yBase(), 0);
    }
}

TEST(TerminalScrolling, ReverseIndexAtTheTopMarginInsertsABlankLine)
{
    Terminal terminal(nullptr, optionsOfSize(10, 4));
    fillRows(terminal);
    terminal.buffer->setY(1);
    terminal.feedString("\x1bM");
    EXPECT_EQ(terminal.cursorPosition().second, 0);
    terminal.feedString("\x1bM");
    EXPECT_EQ(screenText(terminal), (std::vector<std::string>{"", "A", "B", "C"}));
    EXPECT_EQ(terminal.cursorPosition().second, 0);
}

TEST(TerminalScrolling, DirtyRowRanges)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    terminal.resetDirtyRows();
    EXPECT_EQ(terminal.dirtyRowRange(), Range());
    terminal.feedString("\r\n\nab");
    EXPECT_EQ(terminal.dirtyRowRange(), Range({2, 2}));
    terminal.markRowDirty(-3);
    terminal.markRowDirty(0, true);
    EXPECT_EQ(terminal.dirtyRowRange(), Range({0, 2}));
    EXPECT_EQ(terminal.dirtyScrollInvariantRowRange(), Range({2, 2}));
    terminal.markAllRowsDirty();
    EXPECT_EQ(terminal.dirtyRowRange(), Range({0, 5}));
    terminal.resetDirtyRows();
    EXPECT_EQ(terminal.dirtyScrollInvariantRowRange(), Range());

    // A full-screen scroll into the scrollback marks the screen but not the invariant range.
    terminal.feedString("\n\n\n");
    EXPECT_EQ(terminal.dirtyRowRange(), Range({0, 4}));
    EXPECT_EQ(terminal.dirtyScrollInvariantRowRange(), Range());
}

TEST(TerminalScrolling, ResizeRaisesTheMinimumAndIgnoresTheSameSize)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    terminal.resetDirtyRows();
    terminal.resizeScreen(10, 5);
    EXPECT_EQ(terminal.dirtyRowRange(), Range());
    terminal.resizeScreen(30, 8);
    EXPECT_EQ(terminal.options.cols, 30);
    EXPECT_EQ(terminal.altBuffer->cols(), 30);
    EXPECT_TRUE(terminal.buffer->tabStops[24]);
    EXPECT_EQ(terminal.dirtyRowRange(), Range({0, 7}));
}

TEST(TerminalScrolling, FullResetKeepsSizeAndCursorVisibilityAndGoesHome)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    terminal.resizeScreen(12, 6);
    terminal.feedString("hello\r\nworld");
    terminal.makeCursorHidden();
    terminal.feedString("\x1b"
                        "c");
    EXPECT_EQ(terminal.screenSize(), Cell(12, 6));
    EXPECT_TRUE(terminal.cursorHidden);
    EXPECT_EQ(terminal.cursorPosition(), Cell(0, 0));
    EXPECT_EQ(rowText(terminal, 0), "");
    terminal.hardReset();
    EXPECT_EQ(terminal.screenSize(), Cell(12, 6));
}

TEST(TerminalScrolling, CursorVisibilityNoticesOnlyOnChange)
{
    RecordingDelegate delegate;
    Terminal terminal(&delegate, optionsOfSize(10, 5));
    terminal.makeCursorVisible();
    terminal.makeCursorHidden();
    terminal.makeCursorHidden();
    terminal.makeCursorVisible();
    EXPECT_EQ(delegate.concealed, 1);
    EXPECT_EQ(delegate.revealed, 1);
}

TEST(TerminalScrolling, SynchronizedOutputTimesOutAfterOneSecondFromTheLastSet)
{
    RecordingDelegate delegate;
    ManualTaskQueue queue;
    Terminal terminal(&delegate, optionsOfSize(10, 5), &queue);
    terminal.synchronizedOutputActive = true;
    terminal.beginSynchronizedOutput();
    queue.advance(600ms);
    terminal.beginSynchronizedOutput();
    queue.advance(600ms);
    EXPECT_TRUE(terminal.synchronizedOutputActive);
    EXPECT_TRUE(delegate.synchronizedOutput.empty());
    queue.advance(400ms);
    EXPECT_FALSE(terminal.synchronizedOutputActive);
    EXPECT_EQ(delegate.synchronizedOutput, std::vector<bool>{false});
}

TEST(TerminalScrolling, SynchronizedOutputEndsOnResizeAndTimeoutOutlivesNoTerminal)
{
    RecordingDelegate delegate;
    ManualTaskQueue queue;
    {
        Terminal terminal(&delegate, optionsOfSize(10, 5), &queue);
        terminal.synchronizedOutputActive = true;
        terminal.beginSynchronizedOutput();
        terminal.resizeScreen(20, 5);
        EXPECT_FALSE(terminal.synchronizedOutputActive);
        terminal.synchronizedOutputActive = true;
        terminal.beginSynchronizedOutput();
    }
    queue.advance(2s);
    EXPECT_EQ(delegate.synchronizedOutput, std::vector<bool>{false});
}

TEST(TerminalScrolling, ScrollbackSizeChange)
{
    Terminal terminal(nullptr, optionsOfSize(10, 3, 100));
    for (int i = 0; i < 20; ++i) {
        terminal.feedString("line\r\n");
    }
    terminal.setScrollbackLines(5);
    EXPECT_EQ(terminal.options.scrollback, 5);
    EXPECT_EQ(terminal.buffer->lines().count(), 8);
    terminal.setScrollbackLines(std::nullopt);
    EXPECT_FALSE(terminal.buffer->hasScrollback());
    EXPECT_EQ(terminal.options.scrollback, 0);
}

namespace {

// Lines of many kinds, each followed in turn by every other kind, so that each kind is written onto
// a recycled line that held each other kind. The number of kinds is prime, so every step runs
// through all of them.
std::string lineKindsStream()
{
    const std::vector<std::string> kinds = {
        "plain text of some length that fills most of the row",
        "ab",
        "",
        "\x1b[1;31mred bold\x1b[0m then plain",
        "\x1b[44mblue background erased to the end\x1b[K\x1b[0m",
        "\x1b[42m\x1b[2K\x1b[0mline erased in green",
        "wide \xe4\xb8\xad\xe6\x96\x87 and e\xcc\x81 marks",
        "tab\there\tand\tthere",
        "abcdef\x1b[3D\x1b[2@XY inserted",
        "\x1b[4:3;58;5;99mcurly underline\x1b[0m",
        "\x1b#6double width",
        "a line long enough to wrap past the right margin of a forty column terminal screen",
        "\x1b[7mreverse\x1b[27m\x1b[10Gx",
        "\tafter a leading tab",
        "near\x1b[30Gfar after a cursor move",
        "plain text\x1b[6Dwritten back over",
        "0123456789012345678901234567890123456789",
        "\x1b[32mname\x1b[0m  \x1b[1;34mdir\x1b[0m\x1b[25G\x1b[36mfar in colour\x1b[0m",
        "\x1b[31m\tred after a tab\x1b[0m then plain",
    };
    std::string stream;
    for (size_t step = 1; step <= kinds.size(); ++step) {
        for (size_t i = 0; i < kinds.size(); ++i) {
            stream += kinds[(i * step) % kinds.size()] + "\r\n";
        }
    }
    return stream + "last";
}

// Every byte of every cell, the wrap flag and the line rendition of one line.
std::string lineImage(const BufferLine &line)
{
    std::string image(reinterpret_cast<const char *>(line.cells()),
                      static_cast<size_t>(line.dataSize()) * sizeof(CharData));
    image += line.isWrapped ? 'w' : '-';
    image += static_cast<char>('0' + static_cast<int>(line.renderMode));
    return image + std::to_string(line.trimmedLength()) + (line.hasAnyContent() ? "c" : "e");
}

} // namespace

// A line that drops off a full ring is reused for the new bottom line: whatever it held before, it
// reads exactly as a line that was never used, fed whole or a byte at a time.
TEST(TerminalScrolling, RecycledLinesReadAsFreshLines)
{
    const std::string stream = lineKindsStream();
    Terminal fresh(nullptr, optionsOfSize(40, 5, 1000));
    fresh.feedString(stream);
    Terminal recycling(nullptr, optionsOfSize(40, 5, 3));
    recycling.feedString(stream);
    Terminal byteByByte(nullptr, optionsOfSize(40, 5, 3));
    for (char byte : stream) {
        byteByByte.feedString(std::string_view(&byte, 1));
    }
    CircularBufferLineList &all = fresh.buffer->lines();
    for (Terminal *terminal : {&recycling, &byteByByte}) {
        CircularBufferLineList &kept = terminal->buffer->lines();
        ASSERT_TRUE(kept.isFull());
        ASSERT_LT(kept.count(), all.count());
        for (int64_t i = 0; i < kept.count(); ++i) {
            const BufferLine &line = kept[i];
            const BufferLine &expected = all[all.count() - kept.count() + i];
            EXPECT_EQ(lineImage(line), lineImage(expected)) << "line " << i;
            EXPECT_EQ(line.translateToString(true), expected.translateToString(true)) << "line " << i;
        }
        EXPECT_EQ(screenText(*terminal), screenText(fresh));
    }
}
