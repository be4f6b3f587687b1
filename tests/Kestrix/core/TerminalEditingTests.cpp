#include "Kestrix/core/Terminal.h"
#include "TerminalTestSupport.h"

#include <gtest/gtest.h>

using namespace kestrix;
using namespace kestrix::testing;

namespace {

using Screen = std::vector<std::string>;

const Screen fullScreen = {"abcdefghij", "klmnopqrst", "uvwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX"};

// A 10 x 5 terminal showing `fullScreen` below three lines of scrollback, so screen rows are not
// ring indices.
void fill(Terminal &terminal)
{
    terminal.feedString("old 1\r\nold 2\r\nold 3\r\n");
    for (size_t row = 0; row < fullScreen.size(); ++row) {
        terminal.feedString((row == 0 ? "" : "\r\n") + fullScreen[row]);
    }
}

// Scroll region rows 1-3 and margin columns 2-5 for the cases that ask for them.
enum class Frame { screen, region, margins };

struct EditCase {
    const char *name;
    Frame frame;
    const char *sequence;
    Screen expected;
};

void applyFrame(Terminal &terminal, Frame frame)
{
    Buffer &b = *terminal.buffer;
    if (frame == Frame::region) {
        b.setScrollTop(1);
        b.setScrollBottom(3);
    } else if (frame == Frame::margins) {
        terminal.marginMode = true;
        b.setMarginLeft(2);
        b.setMarginRight(5);
    }
}

const EditCase editCases[] = {
    {"ED 0 erases from the cursor to the end",
     Frame::screen,
     "\x1b[2;4H\x1b[J",
     {"abcdefghij", "klm", "", "", ""}},
    {"ED 1 erases from the start to the cursor",
     Frame::screen,
     "\x1b[2;4H\x1b[1J",
     {"", "    opqrst", "uvwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX"}},
    {"ED 2 erases the screen", Frame::screen, "\x1b[2;4H\x1b[2J", {"", "", "", "", ""}},
    {"CSI ? 2 J erases like ED 2", Frame::screen, "\x1b[2;4H\x1b[?2J", {"", "", "", "", ""}},
    {"ED with another selector does nothing", Frame::screen, "\x1b[2;4H\x1b[4J", fullScreen},
    {"EL 0",
     Frame::screen,
     "\x1b[2;4H\x1b[K",
     {"abcdefghij", "klm", "uvwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX"}},
    {"EL 1",
     Frame::screen,
     "\x1b[2;4H\x1b[1K",
     {"abcdefghij", "    opqrst", "uvwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX"}},
    {"EL 2", Frame::screen, "\x1b[2;4H\x1b[2K", {"abcdefghij", "", "uvwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX"}},
    {"CSI ? K erases like EL",
     Frame::screen,
     "\x1b[2;4H\x1b[?K",
     {"abcdefghij", "klm", "uvwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX"}},
    {"EL at the pending wrap erases nothing",
     Frame::screen,
     "\x1b[2;10Hx\x1b[K",
     {"abcdefghij", "klmnopqrsx", "uvwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX"}},
    {"ECH",
     Frame::screen,
     "\x1b[2;4H\x1b[2X",
     {"abcdefghij", "klm  pqrst", "uvwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX"}},
    {"ECH past the line stops at its end",
     Frame::screen,
     "\x1b[2;4H\x1b[999999999X",
     {"abcdefghij", "klm", "uvwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX"}},

    {"ICH",
     Frame::screen,
     "\x1b[2;4H\x1b[2@",
     {"abcdefghij", "klm  nopqr", "uvwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX"}},
    {"ICH with a huge count",
     Frame::screen,
     "\x1b[2;4H\x1b[999999999@",
     {"abcdefghij", "klm", "uvwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX"}},
    {"ICH at the pending wrap does nothing",
     Frame::screen,
     "\x1b[2;10Hx\x1b[@",
     {"abcdefghij", "klmnopqrsx", "uvwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX"}},
    {"ICH within margins",
     Frame::margins,
     "\x1b[2;4H\x1b[@",
     {"abcdefghij", "klm noqrst", "uvwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX"}},
    {"ICH outside margins does nothing", Frame::margins, "\x1b[2;8H\x1b[@", fullScreen},
    {"DCH",
     Frame::screen,
     "\x1b[2;4H\x1b[2P",
     {"abcdefghij", "klmpqrst", "uvwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX"}},
    {"DCH with a huge count",
     Frame::screen,
     "\x1b[2;4H\x1b[999999999P",
     {"abcdefghij", "klm", "uvwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX"}},
    {"DCH at the pending wrap does nothing",
     Frame::screen,
     "\x1b[2;10Hx\x1b[P",
     {"abcdefghij", "klmnopqrsx", "uvwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX"}},
    {"DCH within margins",
     Frame::margins,
     "\x1b[2;4H\x1b[9P",
     {"abcdefghij", "klm   qrst", "uvwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX"}},

    {"IL", Frame::screen, "\x1b[2;1H\x1b[2L", {"abcdefghij", "", "", "klmnopqrst", "uvwxyzABCD"}},
    {"IL with a huge count", Frame::screen, "\x1b[2;1H\x1b[999999999L", {"abcdefghij", "", "", "", ""}},
    {"IL inside a region",
     Frame::region,
     "\x1b[3;1H\x1b[L",
     {"abcdefghij", "klmnopqrst", "", "uvwxyzABCD", "OPQRSTUVWX"}},
    {"IL below the region does nothing", Frame::region, "\x1b[5;1H\x1b[L", fullScreen},
    {"IL within margins",
     Frame::margins,
     "\x1b[2;4H\x1b[L",
     {"abcdefghij", "kl    qrst", "uvmnopABCD", "EFwxyzKLMN", "OPGHIJUVWX"}},
    {"IL outside margins does nothing", Frame::margins, "\x1b[2;1H\x1b[L", fullScreen},
    {"DL", Frame::screen, "\x1b[2;1H\x1b[2M", {"abcdefghij", "EFGHIJKLMN", "OPQRSTUVWX", "", ""}},
    {"DL with a huge count", Frame::screen, "\x1b[2;1H\x1b[999999999M", {"abcdefghij", "", "", "", ""}},
    {"DL inside a region",
     Frame::region,
     "\x1b[2;1H\x1b[M",
     {"abcdefghij", "uvwxyzABCD", "EFGHIJKLMN", "", "OPQRSTUVWX"}},
    {"DL below the region does nothing", Frame::region, "\x1b[5;1H\x1b[M", fullScreen},
    {"DL within margins",
     Frame::margins,
     "\x1b[2;4H\x1b[2M",
     {"abcdefghij", "klGHIJqrst", "uvQRSTABCD", "EF    KLMN", "OP    UVWX"}},

    {"SU", Frame::screen, "\x1b[2S", {"uvwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX", "", ""}},
    {"SU with a huge count", Frame::screen, "\x1b[999999999S", {"", "", "", "", ""}},
    {"SU inside a region",
     Frame::region,
     "\x1b[S",
     {"abcdefghij", "uvwxyzABCD", "EFGHIJKLMN", "", "OPQRSTUVWX"}},
    {"SU within margins whatever the cursor column",
     Frame::margins,
     "\x1b[1;1H\x1b[S",
     {"abmnopghij", "klwxyzqrst", "uvGHIJABCD", "EFQRSTKLMN", "OP    UVWX"}},
    {"SD", Frame::screen, "\x1b[2T", {"", "", "abcdefghij", "klmnopqrst", "uvwxyzABCD"}},
    {"SD inside a region",
     Frame::region,
     "\x1b[T",
     {"abcdefghij", "", "klmnopqrst", "uvwxyzABCD", "OPQRSTUVWX"}},
    {"SD within margins",
     Frame::margins,
     "\x1b[T",
     {"ab    ghij", "klcdefqrst", "uvmnopABCD", "EFwxyzKLMN", "OPGHIJUVWX"}},

    {"REP repeats the character left of the cursor",
     Frame::screen,
     "\x1b[2;4Hz\x1b[3b",
     {"abcdefghij", "klmzzzzrst", "uvwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX"}},
    {"REP at column 0 writes blanks",
     Frame::screen,
     "\x1b[2;1H\x1b[3b",
     {"abcdefghij", "   nopqrst", "uvwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX"}},
    {"REP wraps at the right edge",
     Frame::screen,
     "\x1b[2;9Hz\x1b[3b",
     {"abcdefghij", "klmnopqrzz", "zzwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX"}},
    {"REP with a huge count is bounded",
     Frame::screen,
     "\x1b[5;1Hz\x1b[999999999b",
     {"zzzzzzzzzz", "zzzzzzzzzz", "zzzzzzzzzz", "zzzzzzzzzz", "z"}},
    {"REP repeats a whole wide character",
     Frame::screen,
     "\x1b[2;1H\xe4\xb8\x80\x1b[2b",
     {"abcdefghij", "\xe4\xb8\x80\xe4\xb8\x80\xe4\xb8\x80qrst", "uvwxyzABCD", "EFGHIJKLMN", "OPQRSTUVWX"}},
};

class Editing : public ::testing::TestWithParam<EditCase> {};

} // namespace

TEST_P(Editing, LeavesTheExpectedScreen)
{
    const EditCase &c = GetParam();
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    fill(terminal);
    ASSERT_EQ(terminal.buffer->yBase(), 3);
    applyFrame(terminal, c.frame);
    terminal.feedString(c.sequence);
    EXPECT_EQ(screenText(terminal), c.expected) << c.name;
    // The scrollback stays as it was (a full-screen REP scrolls more lines into it).
    EXPECT_EQ(terminal.scrollInvariantLine(0)->translateToString(true), "old 1") << c.name;
}

INSTANTIATE_TEST_SUITE_P(Table, Editing, ::testing::ValuesIn(editCases));

TEST(TerminalEditing, ErasingUsesTheCurrentBackgroundAndScrollingUsesDefaultBlanks)
{
    struct Blanked {
        const char *sequence;
        int64_t col;
        int64_t row;
    };
    const Blanked erasing[] = {{"\x1b[1;4H\x1b[K", 3, 0},  {"\x1b[1;4H\x1b[J", 3, 0},
                               {"\x1b[1;4H\x1b[1J", 0, 0}, {"\x1b[1;4H\x1b[X", 3, 0},
                               {"\x1b[1;4H\x1b[@", 3, 0},  {"\x1b[1;4H\x1b[P", 9, 0},
                               {"\x1b[1;4H\x1b[L", 0, 0},  {"\x1b[1;4H\x1b[M", 0, 4}};
    Attribute erased;
    erased.bg = Attribute::Color::ansi256(1);
    for (const Blanked &each : erasing) {
        Terminal terminal(nullptr, optionsOfSize(10, 5));
        fill(terminal);
        terminal.feedString("\x1b[1;41m");
        terminal.feedString(each.sequence);
        const CharData cell = *terminal.cellAt(each.col, each.row);
        EXPECT_EQ(cell.code, 0) << each.sequence;
        EXPECT_EQ(cell.attribute, erased) << each.sequence;
    }

    const Blanked scrolling[] = {{"\x1b[S", 0, 4}, {"\x1b[T", 0, 0}};
    for (const Blanked &each : scrolling) {
        Terminal terminal(nullptr, optionsOfSize(10, 5));
        fill(terminal);
        terminal.feedString("\x1b[1;41m");
        terminal.feedString(each.sequence);
        EXPECT_EQ(*terminal.cellAt(each.col, each.row), CharData::nullCell) << each.sequence;
    }
}

TEST(TerminalEditing, EraseInDisplayBelowClearsTheWrapFlagOnlyFromColumnZero)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    terminal.feedString("abcdefghijklmnopqrstuvwxyz");
    ASSERT_TRUE(terminal.screenLine(1)->isWrapped);
    terminal.feedString("\x1b[2;3H\x1b[J");
    EXPECT_TRUE(terminal.screenLine(1)->isWrapped);
    EXPECT_FALSE(terminal.screenLine(2)->isWrapped);
    terminal.feedString("\x1b[2;1H\x1b[J");
    EXPECT_FALSE(terminal.screenLine(1)->isWrapped);
}

TEST(TerminalEditing, EraseInLineKeepsTheWrapFlag)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    terminal.feedString("abcdefghijklmnopqrstuvwxyz");
    terminal.feedString("\x1b[2;1H\x1b[2K");
    EXPECT_TRUE(terminal.screenLine(1)->isWrapped);
    EXPECT_EQ(rowText(terminal, 1), "");
}

TEST(TerminalEditing, EraseInDisplayAboveThroughTheLastColumnEndsTheWrap)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    terminal.feedString("abcdefghijklmnopqrstuvwxyz");
    terminal.feedString("\x1b[1;10H\x1b[1J");
    EXPECT_FALSE(terminal.screenLine(1)->isWrapped);
    EXPECT_EQ(rowText(terminal, 1), "klmnopqrst");
}

TEST(TerminalEditing, EraseInDisplayAboveOnTheLastRowTouchesNoLineBelowTheScreen)
{
    // A full ring: the slot after the last screen row is the oldest scrollback line.
    Terminal terminal(nullptr, optionsOfSize(10, 5, 2));
    terminal.feedString("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8");
    CircularBufferLineList &lines = terminal.buffer->lines();
    ASSERT_TRUE(lines.isFull());
    lines[0].isWrapped = true;
    const int64_t count = lines.count();
    terminal.feedString("\x1b[5;10H\x1b[1J");
    EXPECT_TRUE(lines[0].isWrapped);
    EXPECT_EQ(lines.count(), count);
    EXPECT_EQ(screenText(terminal), (Screen{"", "", "", "", ""}));
}

TEST(TerminalEditing, EraseSavedLinesKeepsOnlyTheScreen)
{
    RecordingDelegate delegate;
    Terminal terminal(&delegate, optionsOfSize(10, 5, 100));
    for (int line = 0; line < 105; ++line) {
        terminal.feedString((line == 0 ? "" : "\r\n") + std::to_string(line));
    }
    Buffer &b = *terminal.buffer;
    ASSERT_EQ(b.yBase(), 100);
    terminal.userScrolling = true;
    b.setYDisp(40);
    terminal.resetDirtyRows();
    delegate.scrollPositions.clear();

    terminal.feedString("\x1b[3J");
    EXPECT_EQ(b.lines().count(), 5);
    EXPECT_EQ(b.yBase(), 0);
    EXPECT_EQ(b.yDisp(), 0);
    EXPECT_EQ(b.linesTop, 0);
    EXPECT_EQ(screenText(terminal), (Screen{"100", "101", "102", "103", "104"}));
    EXPECT_TRUE(terminal.dirtyRowRange().has_value());
    EXPECT_EQ(delegate.scrollPositions, std::vector<int64_t>{0});

    // Nothing above the screen: nothing changes.
    terminal.feedString("\x1b[3J");
    EXPECT_EQ(b.lines().count(), 5);
    EXPECT_EQ(delegate.scrollPositions.size(), 1u);
    terminal.activateAlternateScreen(std::nullopt);
    terminal.feedString("\x1b[3J");
    EXPECT_EQ(terminal.buffer->lines().count(), 5);
}

TEST(TerminalEditing, LineEditsMarkTheRegionDirty)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    fill(terminal);
    terminal.feedString("\x1b[2;4r\x1b[3;1H");
    terminal.resetDirtyRows();
    terminal.feedString("\x1b[L");
    EXPECT_EQ(terminal.dirtyRowRange(), std::make_optional(std::pair<int64_t, int64_t>{1, 3}));
    terminal.feedString("\x1b[2;4H");
    terminal.resetDirtyRows();
    terminal.feedString("\x1b[X");
    EXPECT_EQ(terminal.dirtyRowRange(), std::make_optional(std::pair<int64_t, int64_t>{1, 1}));
}

TEST(TerminalEditing, InsertedLinesReuseTheRingsLines)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    fill(terminal);
    std::vector<uint64_t> serials;
    for (int64_t row = 0; row < 5; ++row) {
        serials.push_back(terminal.screenLine(row)->serial());
    }
    terminal.feedString("\x1b[2;1H\x1b[L");
    // The bottom line went round to the cursor row, cleared: no line was made.
    EXPECT_EQ(terminal.screenLine(1)->serial(), serials[4]);
    EXPECT_EQ(terminal.screenLine(2)->serial(), serials[1]);
    EXPECT_FALSE(terminal.screenLine(1)->isWrapped);
}
