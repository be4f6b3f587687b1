#include "Kestrix/core/Terminal.h"
#include "TerminalTestSupport.h"

#include <gtest/gtest.h>

using namespace kestrix;
using namespace kestrix::testing;

namespace {

struct TextCase {
    const char *name;
    const char *output;
    Position start;
    Position end;
    std::string expected;
};

TEST(TerminalTextExtraction, DisplayTextBetweenTwoPositions)
{
    const TextCase cases[] = {
        {"WideCharacterReadsOnce",
         "ab\xE6\xBC\xA2"
         "c",
         {0, 0},
         {5, 0},
         "ab\xE6\xBC\xA2"
         "c"},
        {"ClusterReadsWhole", "e\xCC\x81x", {0, 0}, {2, 0}, "e\xCC\x81x"},
        {"TrailingBlankRowsGiveNoLineBreaks", "abc", {0, 0}, {9, 2}, "abc"},
        {"BlankRowBetweenGivesTwoLineBreaks", "a\r\n\r\nb", {0, 0}, {5, 2}, "a\n\nb"},
        {"TypedTrailingBlanksStay", "ab   ", {0, 0}, {9, 0}, "ab   "},
        {"UnwrittenTrailingCellsDrop", "ab", {0, 0}, {9, 0}, "ab"},
        {"EmptyCellsInsideReadAsBlanks", "ab\x1b[9Gc", {0, 0}, {9, 0}, "ab      c"},
        {"EndColumnIsExclusive", "abcdef", {1, 0}, {4, 0}, "bcd"},
        {"WrappedRowsJoin", "0123456789abc", {0, 0}, {9, 1}, "0123456789abc"},
        {"EndBeforeStartIsSwapped", "abc\r\ndef", {2, 1}, {1, 0}, "bc\nde"},
        {"EqualEndsAreEmpty", "abc", {1, 0}, {1, 0}, ""},
        {"StartPastTheLinesIsEmpty", "abc", {0, 40}, {5, 41}, ""},
        {"EndRowIsLimitedToTheLastLine", "abc\r\ndef", {0, 0}, {2, 900}, "abc\ndef"},
        {"ColouredEmptyRowIsNotBlank", "a\r\n\x1b[41m\x1b[K\x1b[m\r\n", {0, 0}, {9, 2}, "a\n"},
    };
    for (const TextCase &c : cases) {
        RecordingDelegate delegate;
        Terminal terminal(&delegate, optionsOfSize(10, 5, 0));
        terminal.feedString(c.output);
        EXPECT_EQ(terminal.getDisplayText(c.start, c.end), c.expected) << c.name;
    }
}

TEST(TerminalTextExtraction, SelectedLinesKeepOneLinePerLogicalLine)
{
    RecordingDelegate delegate;
    Terminal terminal(&delegate, optionsOfSize(10, 5, 0));
    terminal.feedString("0123456789ab\r\n\r\nxy\r\n");
    const std::vector<Line> lines = terminal.getSelectedLines({0, 0}, {9, 4}, *terminal.buffer);
    std::vector<std::string> described;
    for (const Line &line : lines) {
        described.push_back(line.debugDescription());
    }
    // The wrapped pair is one line of two fragments; the blank row is a line of its own; the blank
    // row at the end of the range gives nothing.
    EXPECT_EQ(described,
              (std::vector<std::string>{"3/13: [0123456789][ab][\\n]", "2/1: [][\\n]", "1/2: [xy]"}));
    ASSERT_EQ(lines[0].fragments().size(), 3U);
    EXPECT_EQ(lines[0].fragments()[1], (LineFragment{"ab", 1, 0, 2}));
    EXPECT_EQ(lines[0].fragments()[2], LineFragment::lineBreak(1));
}

TEST(TerminalTextExtraction, LineSegmentTextReadsEmptyCellsInsideAsBlanks)
{
    RecordingDelegate delegate;
    Terminal terminal(&delegate, optionsOfSize(10, 5, 0));
    terminal.feedString("a\x1b[4Gb\xE6\xBC\xA2");
    EXPECT_EQ(terminal.lineSegmentText(0, 0, -1), "a  b\xE6\xBC\xA2");
    // Starting on the right half of the wide character skips it.
    EXPECT_EQ(terminal.lineSegmentText(0, 5, -1), "");
    EXPECT_EQ(terminal.lineSegmentText(0, 1, 4), "  b");
    EXPECT_EQ(terminal.lineSegmentText(7, 0, -1), "");
}

TEST(TerminalTextExtraction, BufferTextDataWritesCellsAsStored)
{
    RecordingDelegate delegate;
    Terminal terminal(&delegate, optionsOfSize(10, 3, 0));
    terminal.feedString("ab\xE6\xBC\xA2"
                        "c\r\n\r\nx");
    const std::string utf8{'a', 'b', '\xE6', '\xBC', '\xA2', '\0', 'c', '\n', '\n', 'x', '\n'};
    const std::vector<uint8_t> data = terminal.bufferTextData(Terminal::BufferKind::active);
    EXPECT_EQ(std::string(data.begin(), data.end()), utf8);
    // A line the encoding cannot carry is left out with its line feed.
    const std::vector<uint8_t> ascii =
        terminal.bufferTextData(Terminal::BufferKind::normal, Terminal::TextEncoding::ascii);
    EXPECT_EQ(std::string(ascii.begin(), ascii.end()), "\nx\n");
}

} // namespace
