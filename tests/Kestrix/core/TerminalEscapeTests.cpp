#include "Kestrix/core/Terminal.h"
#include "ReportingDelegate.h"
#include "TerminalTestSupport.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::rowText;
using testing::screenText;
using testing::TerminalWithHost;
using Cell = std::pair<int64_t, int64_t>;

TEST(TerminalEscape, LineDrawingSetIsDesignatedAndShiftedIn)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.feedString("\x1b(0q\x1b(Bq");
    EXPECT_EQ(rowText(t, 0), "\xe2\x94\x80q");
    // ESC - designates G1 like ESC ); SO shifts it in, SI back out.
    t.feedString("\r\n\x1b-0\x0eq\x0fq\x1b)0\x0eq");
    EXPECT_EQ(rowText(t, 1), "\xe2\x94\x80q\xe2\x94\x80");
}

TEST(TerminalEscape, DesignationWithoutATableEntryChangesNothing)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.feedString("\x1b(0\x1b(Xq");
    EXPECT_EQ(rowText(t, 0), "\xe2\x94\x80");
}

TEST(TerminalEscape, ShiftsAndPercentSelection)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    const std::pair<const char *, int> shifts[] = {
        {"\x1bn", 2}, {"\x1b~", 1}, {"\x1b}", 2}, {"\x1bo", 3}, {"\x1b|", 3}, {"\x1b%G", 0},
    };
    for (const auto &[sequence, level] : shifts) {
        t.feedString(sequence);
        EXPECT_EQ(t.gLevel, level) << sequence + 1;
    }
    t.feedString("\x1b(0\x1b%@");
    EXPECT_FALSE(t.gCharsets[0].has_value());
    EXPECT_FALSE(t.charset.has_value());
}

TEST(TerminalEscape, LineRenditionChangesOnlyHowTheRowIsDrawn)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.feedString("abc");
    const uint64_t generation = t.screenLine(0)->generation;
    t.resetDirtyRows();
    const std::pair<const char *, BufferLine::RenderLineMode> cases[] = {
        {"\x1b#6", BufferLine::RenderLineMode::doubleWidth},
        {"\x1b#3", BufferLine::RenderLineMode::doubledTop},
        {"\x1b#4", BufferLine::RenderLineMode::doubledDown},
        {"\x1b#5", BufferLine::RenderLineMode::single},
    };
    for (const auto &[sequence, mode] : cases) {
        t.feedString(sequence);
        EXPECT_EQ(t.screenLine(0)->renderMode, mode) << sequence + 1;
    }
    EXPECT_EQ(rowText(t, 0), "abc");
    EXPECT_EQ(t.cursorPosition(), Cell(3, 0));
    EXPECT_NE(t.screenLine(0)->generation, generation);
    EXPECT_EQ(t.dirtyRowRange(), Cell(0, 0));
}

TEST(TerminalEscape, AlignmentTestFillsTheScreenAndKeepsTheRegion)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.feedString("xy");
    t.buffer->setScrollTop(1);
    t.buffer->setScrollBottom(3);
    t.buffer->lines()[t.buffer->yBase()].isWrapped = true;
    t.curAttr.fg = Attribute::Color::ansi256(2);
    t.curAttr.style = CharacterStyle::bold;
    t.originMode = true;
    t.resetDirtyRows();
    t.feedString("\x1b#8");
    EXPECT_EQ(screenText(t), std::vector<std::string>(5, "EEEEEEEEEE"));
    const CharData cell = *t.cellAt(9, 4);
    EXPECT_EQ(cell.attribute.fg, Attribute::Color::ansi256(2));
    EXPECT_TRUE(cell.attribute.style == CharacterStyle());
    EXPECT_FALSE(t.screenLine(0)->isWrapped);
    EXPECT_EQ(t.buffer->scrollTop(), 1);
    EXPECT_EQ(t.buffer->scrollBottom(), 3);
    EXPECT_EQ(t.cursorPosition(), Cell(0, 1));
    EXPECT_EQ(t.dirtyRowRange(), Cell(0, 5));
}

TEST(TerminalEscape, NextLineReturnsToTheLeftMarginOnlyInOriginMode)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.feedString("\x1b[?69h");
    t.buffer->setMarginLeft(2);
    t.buffer->setMarginRight(7);
    t.buffer->setX(5);
    t.feedString("\x1b"
                 "E");
    EXPECT_EQ(t.cursorPosition(), Cell(0, 1));
    t.originMode = true;
    t.buffer->setX(5);
    t.feedString("\x1b"
                 "E");
    EXPECT_EQ(t.cursorPosition(), Cell(2, 2));
}

TEST(TerminalEscape, BackIndexShiftsAtTheLeftMarginAndMovesLeftElsewhere)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.feedString("abc\r\x1b"
                 "6");
    EXPECT_EQ(rowText(t, 0), " abc");
    t.buffer->setX(3);
    t.feedString("\x1b"
                 "6");
    EXPECT_EQ(t.cursorPosition(), Cell(2, 0));
    EXPECT_EQ(rowText(t, 0), " abc");
}

TEST(TerminalEscape, ControlWidthAndKeypadSwitches)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.feedString("\x1b G");
    EXPECT_EQ(host.reply("\x1b[5n"), "\x9b"
                                     "0n");
    t.feedString("\x1b F");
    EXPECT_EQ(host.reply("\x1b[5n"), "\x1b[0n");
    t.feedString("\x1b=");
    EXPECT_TRUE(t.applicationKeypad);
    t.feedString("\x1b>");
    EXPECT_FALSE(t.applicationKeypad);
}

} // namespace
} // namespace kestrix
