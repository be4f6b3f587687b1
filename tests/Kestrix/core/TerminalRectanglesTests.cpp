#include "Kestrix/core/Terminal.h"
#include "ReportingDelegate.h"
#include "TerminalTestSupport.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::rowText;
using testing::screenText;
using testing::TerminalWithHost;

// Writes text at a screen row without going through the cursor functions.
void writeRow(Terminal &t, int64_t row, std::string_view text, Attribute attribute = {})
{
    BufferLine &line = t.buffer->lines()[t.buffer->yBase() + row];
    for (size_t i = 0; i < text.size(); ++i) {
        CharData cell;
        cell.code = static_cast<uint8_t>(text[i]);
        cell.attribute = attribute;
        line.setCell(static_cast<int64_t>(i), cell);
    }
}

void writeRows(Terminal &t, std::initializer_list<std::string_view> rows)
{
    int64_t row = 0;
    for (std::string_view text : rows) {
        writeRow(t, row++, text);
    }
}

Attribute red()
{
    Attribute attribute;
    attribute.fg = Attribute::Color::ansi256(1);
    attribute.bg = Attribute::Color::ansi256(4);
    return attribute;
}

TEST(TerminalRectangles, FillWritesTheCharacterInTheCurrentAttribute)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.curAttr = red();
    t.curAttr.style = CharacterStyle::bold;
    t.feedString("\x1b[65;1;1;2;3$x");
    EXPECT_EQ(screenText(t), (std::vector<std::string>{"AAA", "AAA", "", "", ""}));
    EXPECT_EQ(t.cellAt(2, 1)->attribute, t.curAttr);
    EXPECT_EQ(t.cellAt(3, 1)->attribute, Attribute());

}

// Only printable characters fill: what would put a control, DEL or a code of another terminal into
// the cells (and from there into a paste) leaves the screen as it was.
TEST(TerminalRectangles, FillTakesOnlyPrintableCharacters)
{
    const std::pair<const char *, int32_t> accepted[] = {
        {"32", ' '}, {"126", '~'}, {"160", 0xA0}, {"233", 0xE9}, {"255", 0xFF},
    };
    for (const auto &[code, cell] : accepted) {
        TerminalWithHost host;
        host.terminal.feedString(std::string("\x1b[") + code + ";1;1;2;2$x");
        EXPECT_EQ(host.terminal.cellAt(1, 1)->code, cell) << code;
    }
    const char *refused[] = {"", "0", "7", "27", "31", "127", "128", "155", "159", "256", "9786", "55296", "1114112",
                             "4294967329"};
    for (const char *code : refused) {
        TerminalWithHost host;
        Terminal &t = host.terminal;
        writeRows(t, {"hello", "world"});
        t.curAttr = red();
        t.feedString(std::string("\x1b[") + code + ";1;1;5;10$x");
        EXPECT_EQ(screenText(t), (std::vector<std::string>{"hello", "world", "", "", ""})) << code;
        EXPECT_EQ(t.cellAt(7, 3)->attribute, Attribute()) << code;
    }
}

TEST(TerminalRectangles, EraseReplacesColoursAndSelectiveEraseKeepsThem)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    writeRow(t, 0, "abcdef", red());
    writeRow(t, 1, "abcdef", red());
    t.feedString("\x1b[1;1;1;3${");
    EXPECT_EQ(rowText(t, 0), "   def");
    EXPECT_EQ(t.cellAt(0, 0)->attribute, red());
    EXPECT_EQ(t.cellAt(0, 0)->code, ' ');

    t.feedString("\x1b[2;1;2;3$z");
    EXPECT_EQ(rowText(t, 1), "   def");
    EXPECT_EQ(t.cellAt(0, 1)->attribute, t.curAttr);

    t.feedString("\x1b[$z");
    for (int64_t row = 0; row < t.rows; ++row) {
        EXPECT_EQ(t.cellAt(t.cols - 1, row)->code, ' ');
    }
}

TEST(TerminalRectangles, EmptyRectanglesAndOtherIntermediatesChangeNothing)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    writeRows(t, {"abc", "def"});
    ::testing::internal::CaptureStdout();
    t.feedString("\x1b[88;3;1;1;1$x\x1b[1;3;1;1$z\x1b[2;2;1;1${\x1b[88;1;1;1;1x\x1b[1;1;1;1'z\x1b[1;1;1;1z");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "TODO: Enable Locator Reporting (DECELR)\n");
    EXPECT_EQ(screenText(t), (std::vector<std::string>{"abc", "def", "", "", ""}));
}

TEST(TerminalRectangles, RectanglesFollowTheRegionInOriginMode)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.buffer->setScrollTop(2);
    t.buffer->setScrollBottom(3);
    t.originMode = true;
    t.feedString("\x1b[88;1;1;1;2$x");
    EXPECT_EQ(screenText(t), (std::vector<std::string>{"", "", "XX", "", ""}));
    // A bottom beyond the screen stops at its last row.
    t.feedString("\x1b[89;2;1;9;1$x");
    EXPECT_EQ(screenText(t), (std::vector<std::string>{"", "", "XX", "Y", "Y"}));
}

TEST(TerminalRectangles, CopyReadsTheSourceBeforeWritingAnOverlappingDestination)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    writeRows(t, {"abc", "def", "ghi"});
    t.feedString("\x1b[1;1;2;3;1;2;1;1$v");
    EXPECT_EQ(screenText(t), (std::vector<std::string>{"abc", "abc", "def", "", ""}));
    t.feedString("\x1b[1;1;1;3;1;1;2;1$v");
    EXPECT_EQ(rowText(t, 0), "aabc");
}

TEST(TerminalRectangles, CopyWithDefaultedEdgesReachesTheLastRowAndColumn)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    writeRows(t, {"abcdefghij", "r1", "r2", "r3", "r4"});
    t.feedString("\x1b[2;1;0;0;1;1;1;1$v");
    EXPECT_EQ(screenText(t), (std::vector<std::string>{"r1", "r2", "r3", "r4", "r4"}));

    writeRow(t, 0, "abcdefghij");
    t.feedString("\x1b[1;2;1;;1;1;1$v");
    EXPECT_EQ(rowText(t, 0), "bcdefghijj");
}

TEST(TerminalRectangles, CopyStopsAtTheScreenEdges)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    writeRows(t, {"abcdefghij", "klmnopqrst"});
    t.feedString("\x1b[1;1;2;10;1;5;8$v");
    EXPECT_EQ(rowText(t, 4), "       abc");
    t.feedString("\x1b[1;1;2;10;1;99;99$v");
    EXPECT_EQ(rowText(t, 4), "       aba");
}

TEST(TerminalRectangles, InsertColumnsShiftsEveryRowOfTheRegion)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    writeRows(t, {"abcdef", "abcdef", "abcdef", "abcdef", "abcdef"});
    t.buffer->setScrollTop(1);
    t.buffer->setScrollBottom(3);
    t.buffer->setX(1);
    t.buffer->setY(4);
    t.feedString("\x1b[2'}");
    EXPECT_EQ(screenText(t),
              (std::vector<std::string>{"abcdef", "a  bcdef", "a  bcdef", "a  bcdef", "abcdef"}));
    // Without the quote this is not an insert.
    t.feedString("\x1b[2}");
    EXPECT_EQ(rowText(t, 1), "a  bcdef");
}

TEST(TerminalRectangles, InsertedColumnsTakeTheEraseCellAndPushedCellsAreLost)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    writeRow(t, 0, "abcdefghij");
    t.curAttr = red();
    t.feedString("\x1b[3'}");
    EXPECT_EQ(rowText(t, 0), "   abcdefg");
    EXPECT_EQ(t.cellAt(0, 0)->attribute, t.eraseAttr());
}

TEST(TerminalRectangles, DeleteColumnsOnlyWithTheCursorInTheRegion)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    writeRows(t, {"abcdef", "abcdef", "abcdef", "abcdef", "abcdef"});
    t.buffer->setScrollTop(0);
    t.buffer->setScrollBottom(2);
    t.buffer->setY(4);
    t.feedString("\x1b[2'~");
    EXPECT_EQ(rowText(t, 0), "abcdef");
    t.buffer->setY(1);
    t.buffer->setX(1);
    t.feedString("\x1b[3~");
    EXPECT_EQ(screenText(t), (std::vector<std::string>{"aef", "aef", "aef", "abcdef", "abcdef"}));
}

TEST(TerminalRectangles, ColumnOperationsKeepInsideTheMargins)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    writeRow(t, 0, "abcdefghij");
    t.feedString("\x1b[?69h");
    t.buffer->setMarginLeft(2);
    t.buffer->setMarginRight(5);
    t.buffer->setX(2);
    t.feedString("\x1b[1'}");
    EXPECT_EQ(rowText(t, 0), "ab cdeghij");
    t.feedString("\x1b[2'~");
    EXPECT_EQ(rowText(t, 0), "abde  ghij");
    // Left of the margins nothing moves.
    t.buffer->setX(1);
    t.feedString("\x1b[1'}\x1b[1'~");
    EXPECT_EQ(rowText(t, 0), "abde  ghij");
}

} // namespace
} // namespace kestrix
