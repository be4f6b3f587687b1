#include "KittyPlacementTestSupport.h"

#include <gtest/gtest.h>
#include <random>

namespace kestrix {
namespace {

using testing::KittyTerminal;
using testing::optionsOfSize;
using testing::rgbaImage;
using testing::screenText;
using testing::stripesOf;

// The text of every logical line of the normal screen, scrollback included: the cells of each
// wrapped group that belong to its text, in order. Blank lines at the end are not text.
std::vector<std::vector<CharData>> logicalLines(Terminal &terminal)
{
    Buffer &buffer = *terminal.normalBuffer;
    std::vector<std::vector<CharData>> lines;
    for (int64_t row = 0; row < buffer.lines().count(); ++row) {
        if (row == 0 || !buffer.lines()[row].isWrapped) {
            lines.emplace_back();
        }
        const BufferLine &line = buffer.lines()[row];
        const int64_t length = buffer.wrappedLineTrimmedLength(row, buffer.cols());
        lines.back().insert(lines.back().end(), line.cells(), line.cells() + length);
    }
    while (!lines.empty() && lines.back().empty()) {
        lines.pop_back();
    }
    return lines;
}

// Printable text of about `cells` columns: ASCII, wide characters and letters with combining marks.
std::string randomText(std::mt19937 &random, int cells)
{
    static const char *const wide[] = {"中", "文", "字", "😀", "한"};
    static const char *const marked[] = {"e\xcc\x81", "a\xcc\x88\xcc\x81", "n\xcc\x83"};
    std::string text;
    for (int used = 0; used < cells;) {
        switch (random() % 6) {
        case 0:
            text += wide[random() % std::size(wide)];
            used += 2;
            break;
        case 1:
            text += marked[random() % std::size(marked)];
            used += 1;
            break;
        default:
            text += static_cast<char>(' ' + random() % 95);
            used += 1;
        }
    }
    return text;
}

TEST(TerminalReflow, ResizingThereAndBackGivesBackEveryLogicalLine)
{
    const std::pair<int64_t, int64_t> widths[] = {{10, 2},  {2, 10}, {10, 3}, {7, 13}, {13, 4},
                                                  {20, 2},  {5, 2},  {3, 2},  {2, 3},  {80, 33},
                                                  {33, 80}, {9, 8},  {8, 9},  {4, 40}, {40, 7}};
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        for (const auto &[cols, otherCols] : widths) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(cols) + " -> " +
                         std::to_string(otherCols));
            std::mt19937 random(seed);
            Terminal terminal(nullptr, optionsOfSize(cols, 6, 5000));
            for (int group = 0; group < 8; ++group) {
                terminal.feedString(randomText(random, 1 + static_cast<int>(random() % (3 * cols))) + "\r\n");
            }
            const std::vector<std::vector<CharData>> before = logicalLines(terminal);
            ASSERT_EQ(before.size(), 8u);
            terminal.resizeScreen(otherCols, 6);
            terminal.resizeScreen(cols, 6);
            EXPECT_EQ(logicalLines(terminal), before);
            EXPECT_EQ(terminal.buffer->x(), 0);
            EXPECT_EQ(terminal.buffer->lines().count(), terminal.buffer->yBase() + 6);
        }
    }
}

TEST(TerminalReflow, AProgramsTextBelowTheCursorSurvivesBothWays)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    terminal.feedString("0123456789ab\r\nx\r\ny\r\nz\x1b[3;1H");
    terminal.resizeScreen(5, 5);
    EXPECT_EQ(screenText(terminal), (std::vector<std::string>{"56789", "ab", "x", "y", "z"}));
    EXPECT_EQ(terminal.cursorPosition(), std::make_pair(int64_t{0}, int64_t{2}));
    terminal.resizeScreen(10, 5);
    EXPECT_EQ(screenText(terminal), (std::vector<std::string>{"0123456789", "ab", "x", "y", "z"}));
    terminal.feedString("X");
    EXPECT_EQ(screenText(terminal)[2], "X");
}

TEST(TerminalReflow, TheSavedCursorComesBackOnTheScreen)
{
    Terminal terminal(nullptr, optionsOfSize(10, 4));
    terminal.feedString("0123456789ab\r\n$\x1b"
                        "7");
    terminal.resizeScreen(3, 4);
    terminal.resizeScreen(10, 4);
    terminal.feedString("\x1b"
                        "8!");
    EXPECT_EQ(screenText(terminal), (std::vector<std::string>{"0123456789", "ab", "$!", ""}));
}

TEST(TerminalReflow, APlacementsRecordFollowsItsStripesThroughAReflow)
{
    KittyTerminal host(20, 10, 50);
    host.terminal.insertKittyImage(rgbaImage(20, 40), 1, std::nullopt);
    host.feed(std::string(50, 'a') + "\r\n");
    host.send("a=p,i=1,p=1,C=1");
    ASSERT_EQ(host.record(1, 1)->row, 3);
    host.terminal.resizeScreen(10, 10);
    EXPECT_EQ(stripesOf(*host.terminal.buffer)[1].front().line, 5);
    EXPECT_EQ(host.record(1, 1)->row, 5);
    host.terminal.resizeScreen(50, 10);
    EXPECT_EQ(host.record(1, 1)->row, 1);
}

} // namespace
} // namespace kestrix
