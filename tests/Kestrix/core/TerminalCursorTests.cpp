#include "Kestrix/core/Terminal.h"
#include "TerminalTestSupport.h"

#include <gtest/gtest.h>

using namespace kestrix;
using namespace kestrix::testing;

namespace {

std::pair<int64_t, int64_t> cursorAt(int64_t x, int64_t y)
{
    return {x, y};
}

// A 10 x 5 terminal with an optional scroll region, left/right margins and origin mode.
struct CursorSetup {
    int64_t x = 0;
    int64_t y = 0;
    int64_t top = 0;
    int64_t bottom = 4;
    int64_t left = 0;
    int64_t right = 9;
    bool originMode = false;
    bool marginMode = false;
};

struct CursorCase {
    const char *name;
    CursorSetup setup;
    const char *sequence;
    int64_t expectedX;
    int64_t expectedY;
};

void apply(Terminal &terminal, const CursorSetup &setup)
{
    Buffer &b = *terminal.buffer;
    b.setScrollTop(setup.top);
    b.setScrollBottom(setup.bottom);
    b.setMarginLeft(setup.left);
    b.setMarginRight(setup.right);
    terminal.originMode = setup.originMode;
    terminal.marginMode = setup.marginMode;
    b.setX(setup.x);
    b.setY(setup.y);
}

constexpr CursorSetup at(int64_t x, int64_t y)
{
    CursorSetup setup;
    setup.x = x;
    setup.y = y;
    return setup;
}

constexpr CursorSetup inRegion(int64_t x, int64_t y, int64_t top, int64_t bottom, bool origin = false)
{
    CursorSetup setup = at(x, y);
    setup.top = top;
    setup.bottom = bottom;
    setup.originMode = origin;
    return setup;
}

constexpr CursorSetup inMargins(int64_t x, int64_t y, int64_t left, int64_t right, bool origin = false)
{
    CursorSetup setup = at(x, y);
    setup.left = left;
    setup.right = right;
    setup.marginMode = true;
    setup.originMode = origin;
    if (origin) {
        setup.top = 1;
        setup.bottom = 3;
    }
    return setup;
}

const CursorCase cursorCases[] = {
    {"CUP without parameters homes", at(5, 3), "\x1b[H", 0, 0},
    {"CUP 0;0 homes", at(5, 3), "\x1b[0;0H", 0, 0},
    {"CUP 1;1 homes", at(5, 3), "\x1b[1;1H", 0, 0},
    {"CUP row only", at(5, 3), "\x1b[3H", 0, 2},
    {"CUP row and column", at(0, 0), "\x1b[3;4H", 3, 2},
    {"CUP past the screen clamps", at(0, 0), "\x1b[99;99H", 9, 4},
    {"CUP in origin mode homes to the region", inRegion(5, 0, 1, 3, true), "\x1b[H", 0, 1},
    {"CUP in origin mode stays in the region", inRegion(5, 0, 1, 3, true), "\x1b[9;1H", 0, 3},
    {"CUP in origin mode counts from the left margin", inMargins(0, 0, 2, 5, true), "\x1b[1;2H", 3, 1},
    {"HVP is CUP", at(5, 3), "\x1b[2;3f", 2, 1},
    {"HVP in origin mode stays in the region", inRegion(5, 0, 1, 3, true), "\x1b[9;1f", 0, 3},

    {"CUU inside the region stops at its top", inRegion(3, 4, 2, 4), "\x1b[9A", 3, 2},
    {"CUU above the region reaches row 0", inRegion(3, 1, 2, 4), "\x1b[9A", 3, 0},
    {"CUU 0 moves one row", at(3, 3), "\x1b[0A", 3, 2},
    {"CUU leaves the pending wrap", at(10, 2), "\x1b[A", 9, 1},
    {"CUD inside the region stops at its bottom", inRegion(0, 1, 0, 2), "\x1b[9B", 0, 2},
    {"CUD below the region reaches the last row", inRegion(0, 3, 0, 2), "\x1b[9B", 0, 4},
    {"CUD leaves the pending wrap", at(10, 0), "\x1b[B", 9, 1},
    {"CUF", at(0, 0), "\x1b[3C", 3, 0},
    {"CUF stops at the last column", at(0, 0), "\x1b[99C", 9, 0},
    {"CUF stops at the right margin", inMargins(3, 0, 2, 5), "\x1b[99C", 5, 0},
    {"CUF right of the margin stops at the last column", inMargins(7, 0, 2, 5), "\x1b[99C", 9, 0},
    {"CUB", at(5, 0), "\x1b[2D", 3, 0},
    {"CUB 0 moves one column", at(5, 0), "\x1b[0D", 4, 0},
    {"CUB stops at the left margin", inMargins(4, 0, 2, 5), "\x1b[9D", 2, 0},
    {"CUB left of the margin stops at column 0", inMargins(1, 0, 2, 5), "\x1b[9D", 0, 0},
    {"CUB from the pending wrap starts at the last column", at(10, 0), "\x1b[D", 8, 0},
    {"CNL", at(5, 1), "\x1b[2E", 0, 3},
    {"CNL goes to the left margin", inMargins(5, 1, 2, 5), "\x1b[E", 2, 2},
    {"CPL", at(5, 3), "\x1b[F", 0, 2},

    {"CHA", at(5, 2), "\x1b[4G", 3, 2},
    {"CHA past the screen clamps", at(5, 2), "\x1b[99G", 9, 2},
    {"CHA in origin mode counts from the left margin", inMargins(0, 1, 2, 5, true), "\x1b[3G", 4, 1},
    {"CHA in origin mode never passes the last column", inMargins(0, 1, 2, 5, true), "\x1b[99G", 9, 1},
    {"HPA", at(5, 2), "\x1b[4`", 3, 2},
    {"HPA past the screen clamps", at(5, 2), "\x1b[99`", 9, 2},
    {"HPR", at(2, 2), "\x1b[3a", 5, 2},
    {"HPR past the screen clamps", at(2, 2), "\x1b[99a", 9, 2},
    {"VPA", at(5, 0), "\x1b[3d", 5, 2},
    {"VPA past the screen clamps", at(5, 0), "\x1b[99d", 5, 4},
    {"VPA leaves the pending wrap", at(10, 0), "\x1b[2d", 9, 1},
    {"VPR", at(5, 1), "\x1b[2e", 5, 3},
    {"VPR past the screen clamps", at(5, 1), "\x1b[99e", 5, 4},

    {"CHT", at(0, 0), "\x1b[I", 8, 0},
    {"CHT stops at the last column", at(0, 0), "\x1b[3I", 9, 0},
    {"CHT stops at the right margin", inMargins(0, 0, 0, 5), "\x1b[I", 5, 0},
    {"CBT", at(9, 0), "\x1b[Z", 8, 0},
    {"CBT goes to column 0 without a stop", at(9, 0), "\x1b[3Z", 0, 0},
    {"CBT from far past the screen does nothing", at(12, 0), "\x1b[Z", 12, 0},

    {"Huge counts are clamped", inRegion(5, 2, 1, 3), "\x1b[999999999A\x1b[999999999C", 9, 1},
};

class CursorMoves : public ::testing::TestWithParam<CursorCase> {};

} // namespace

TEST_P(CursorMoves, LandWhereTheCountAndPositionRulesSay)
{
    const CursorCase &c = GetParam();
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    apply(terminal, c.setup);
    terminal.feedString(c.sequence);
    EXPECT_EQ(terminal.cursorPosition(), cursorAt(c.expectedX, c.expectedY)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Table, CursorMoves, ::testing::ValuesIn(cursorCases));

TEST(TerminalCursor, CupMarksTheRowsItLeavesAndReachesDirty)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    terminal.feedString("\x1b[2;1H");
    terminal.resetDirtyRows();
    terminal.feedString("\x1b[4;1H");
    EXPECT_EQ(terminal.dirtyRowRange(), std::make_optional(std::pair<int64_t, int64_t>{1, 3}));
}

TEST(TerminalCursor, SetTopBottomMarginsSetsTheRegionAndHomes)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    terminal.feedString("\x1b[4;6H\x1b[2;4r");
    EXPECT_EQ(terminal.buffer->scrollTop(), 1);
    EXPECT_EQ(terminal.buffer->scrollBottom(), 3);
    EXPECT_EQ(terminal.cursorPosition(), cursorAt(0, 0));

    // Top at or below bottom keeps the region but still homes, into the region under origin mode.
    terminal.originMode = true;
    terminal.feedString("\x1b[5;6H\x1b[4;2r");
    EXPECT_EQ(terminal.buffer->scrollTop(), 1);
    EXPECT_EQ(terminal.buffer->scrollBottom(), 3);
    EXPECT_EQ(terminal.cursorPosition(), cursorAt(0, 1));

    // A bottom of 0 or past the screen means the last row; intermediates make it something else.
    terminal.feedString("\x1b[2;99r");
    EXPECT_EQ(terminal.buffer->scrollBottom(), 4);
    terminal.feedString("\x1b[3;0r");
    EXPECT_EQ(terminal.buffer->scrollTop(), 2);
    EXPECT_EQ(terminal.buffer->scrollBottom(), 4);
    terminal.feedString("\x1b[?1;2r");
    EXPECT_EQ(terminal.buffer->scrollTop(), 2);
}

// Parameters too large for any screen go as far as the screen allows: they never wrap round to a
// small count.
TEST(TerminalCursor, HugeParametersGoAsFarAsTheScreenAllows)
{
    const std::pair<const char *, std::pair<int64_t, int64_t>> cases[] = {
        {"\x1b[3;3H\x1b[18446744073709551617B", {2, 4}},
        {"\x1b[3;3H\x1b[18446744073709551617A", {2, 0}},
        {"\x1b[3;3H\x1b[9223372036854775807C", {9, 2}},
        {"\x1b[3;3H\x1b[99999999999999999999999D", {0, 2}},
        {"\x1b[18446744073709551617;18446744073709551623H", {9, 4}},
        {"\x1b[18446744073709551617;18446744073709551623f", {9, 4}},
        {"\x1b[3;3H\x1b[18446744073709551617G", {9, 2}},
        {"\x1b[3;3H\x1b[18446744073709551617d", {2, 4}},
        {"\x1b[3;3H\x1b[18446744073709551617e", {2, 4}},
        {"\x1b[3;3H\x1b[18446744073709551617a", {9, 2}},
        {"\x1b[3;3H\x1b[18446744073709551617E", {0, 4}},
        {"\x1b[3;3H\x1b[18446744073709551617I", {9, 2}},
    };
    for (const auto &[sequence, cursor] : cases) {
        Terminal terminal(nullptr, optionsOfSize(10, 5));
        terminal.feedString(sequence);
        EXPECT_EQ(terminal.cursorPosition(), cursor) << sequence;
    }
}

TEST(TerminalCursor, FinalSSetsMarginsInMarginModeAndSavesTheCursorOtherwise)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    terminal.feedString("\x1b[3;4H\x1b[5;10s");
    EXPECT_EQ(terminal.buffer->savedX, 3);
    EXPECT_EQ(terminal.buffer->savedY, 2);
    EXPECT_EQ(terminal.buffer->marginLeft(), 0);

    terminal.marginMode = true;
    terminal.feedString("\x1b[5;10s");
    EXPECT_EQ(terminal.buffer->marginLeft(), 4);
    EXPECT_EQ(terminal.buffer->marginRight(), 9);
    EXPECT_EQ(terminal.cursorPosition(), cursorAt(0, 0));

    // A right margin of 0 means the last column.
    terminal.feedString("\x1b[3;0s");
    EXPECT_EQ(terminal.buffer->marginLeft(), 2);
    EXPECT_EQ(terminal.buffer->marginRight(), 9);
    // Like the scroll region, margins whose left is not left of their right are refused; the cursor
    // still goes home.
    for (const char *refused : {"8;3", "10;10", "3;3", "10;1", "11;11", "10"}) {
        terminal.feedString("\x1b[3;4H\x1b[" + std::string(refused) + "s");
        EXPECT_EQ(terminal.buffer->marginLeft(), 2) << refused;
        EXPECT_EQ(terminal.buffer->marginRight(), 9) << refused;
        EXPECT_EQ(terminal.cursorPosition(), cursorAt(0, 0)) << refused;
    }
    terminal.feedString("\x1b[1;99s");
    EXPECT_EQ(terminal.buffer->marginLeft(), 0);
    EXPECT_EQ(terminal.buffer->marginRight(), 9);
}

TEST(TerminalCursor, RestoreBringsBackPositionAttributeCharsetAndModes)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    terminal.curAttr.fg = Attribute::Color::ansi256(3);
    ASSERT_NE(CharSets::mapLookup('0'), nullptr);
    terminal.charset = *CharSets::mapLookup('0');
    terminal.originMode = true;
    terminal.reverseWraparound = true;
    terminal.feedString("\x1b[2;3H\x1b"
                        "7");

    terminal.curAttr = Attribute();
    terminal.charset.reset();
    terminal.originMode = false;
    terminal.reverseWraparound = false;
    terminal.wraparound = false;
    terminal.feedString("\x1b[5;9H\x1b"
                        "8");
    EXPECT_EQ(terminal.cursorPosition(), cursorAt(2, 1));
    EXPECT_EQ(terminal.curAttr.fg, Attribute::Color::ansi256(3));
    EXPECT_TRUE(terminal.charset.has_value());
    EXPECT_TRUE(terminal.originMode);
    EXPECT_TRUE(terminal.reverseWraparound);
    EXPECT_TRUE(terminal.wraparound);
    EXPECT_TRUE(terminal.normalBuffer->modes().wraparound);
    EXPECT_TRUE(terminal.altBuffer->modes().wraparound);

    // CSI u restores too, but not with intermediates.
    terminal.feedString("\x1b[5;9H\x1b[?u");
    EXPECT_EQ(terminal.cursorPosition(), cursorAt(8, 4));
    terminal.feedString("\x1b[u");
    EXPECT_EQ(terminal.cursorPosition(), cursorAt(2, 1));
}

TEST(TerminalCursor, RestoreClampsASavedPositionToTheScreen)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    terminal.buffer->savedX = 40;
    terminal.buffer->savedY = 40;
    terminal.feedString("\x1b"
                        "8");
    EXPECT_EQ(terminal.cursorPosition(), cursorAt(9, 4));
}

TEST(TerminalCursor, EachScreenKeepsItsOwnSavedCursor)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    terminal.feedString("\x1b[2;3H\x1b"
                        "7");
    terminal.activateAlternateScreen(std::nullopt);
    terminal.feedString("\x1b[4;5H\x1b"
                        "7");
    terminal.activateNormalScreen(false);
    terminal.feedString("\x1b[5;9H\x1b"
                        "8");
    EXPECT_EQ(terminal.cursorPosition(), cursorAt(2, 1));
}

TEST(TerminalCursor, TabClearRemovesOneStopOrAll)
{
    Terminal terminal(nullptr, optionsOfSize(20, 5));
    terminal.feedString("\x1b[1;9H\x1b[g\x1b[1;1H\t");
    EXPECT_EQ(terminal.cursorPosition().first, 16);
    terminal.feedString("\x1b[3g\x1b[1;1H\t");
    EXPECT_EQ(terminal.cursorPosition().first, 19);
    EXPECT_EQ(terminal.buffer->tabStops.size(), 20u);
    // Other selectors change nothing.
    terminal.feedString("\x1b[1;5H\x1bH\x1b[2g\x1b[1;1H\t");
    EXPECT_EQ(terminal.cursorPosition().first, 4);
}
