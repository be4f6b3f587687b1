#include "Kestrix/core/Terminal.h"
#include "TerminalTestSupport.h"

#include <gtest/gtest.h>

using namespace kestrix;
using namespace kestrix::testing;

namespace {

using Cell = std::pair<int64_t, int64_t>;

struct PrintingTest : ::testing::Test {
    Terminal terminal{nullptr, optionsOfSize(80, 5)};

    CharData cell(int64_t col, int64_t row = 0) { return *terminal.cellAt(col, row); }
};

} // namespace

TEST_F(PrintingTest, Utf8SplitAcrossTwoFeedsPrintsOneCell)
{
    terminal.feedString("\xc3");
    terminal.feedString("\xa9x");
    EXPECT_EQ(rowText(terminal, 0), "\u00e9x");
    EXPECT_EQ(terminal.cursorPosition(), Cell(2, 0));
}

TEST_F(PrintingTest, EscapeSequenceBetweenHalvesDiscardsTheStart)
{
    terminal.feedString("\xc3");
    terminal.feedString("\x1b[m\xa9");
    EXPECT_EQ(rowText(terminal, 0), "\u00a9");
}

TEST_F(PrintingTest, MalformedBytesPrintAsLatin1OrAreDropped)
{
    const struct {
        const char *input;
        const char *screen;
    } cases[] = {
        // An invalid lead prints as Latin-1; the byte that ended it is read again.
        {"\xc3"
         "A",
         "\u00c3A"},
        {"\x80", ""},
        {"\xa9", "\u00a9"},
        // An overlong form and a surrogate: the lead prints, its continuation bytes go.
        {"\xe0\x80\xaf!", "\u00e0!"},
        {"\xed\xa0\x80!", "\u00ed!"},
        {"\xf5\xff", "\u00f5\u00ff"},
        // Controls and DEL never become cells, on the plain-text path or the other.
        {"a\x7f"
         "b",
         "ab"},
        {"a\x19"
         "b\xc3\xa9\x7f",
         "ab\u00e9"},
    };
    for (const auto &c : cases) {
        Terminal fresh(nullptr, optionsOfSize(20, 2));
        fresh.feedString(c.input);
        EXPECT_EQ(rowText(fresh, 0), c.screen) << c.input;
    }
}

TEST_F(PrintingTest, CombiningMarkJoinsThePreviousCell)
{
    terminal.feedString("e\xcc\x81z");
    EXPECT_EQ(terminal.stringForCellCode(cell(0).code), "e\u0301");
    EXPECT_EQ(cell(0).width, 1);
    EXPECT_EQ(rowText(terminal, 0), "e\u0301z");
    EXPECT_EQ(terminal.cursorPosition(), Cell(2, 0));
}

TEST_F(PrintingTest, ClusterKeepsAtMostThirtyTwoScalars)
{
    std::string flood = "a";
    for (int i = 0; i < 5000; ++i) {
        flood += "\xcc\x81";
    }
    terminal.feedString(flood + "b");
    const std::string text = terminal.stringForCellCode(cell(0).code);
    EXPECT_EQ(text.size(), 1 + 31 * 2u);
    EXPECT_EQ(rowText(terminal, 0).back(), 'b');
    EXPECT_EQ(terminal.cursorPosition(), Cell(2, 0));
}

TEST_F(PrintingTest, EmojiPresentationSelectorWidensTheCell)
{
    terminal.feedString("\x1b[11G");
    terminal.buffer->setX(10);
    terminal.feedString("\u2764\ufe0f");
    EXPECT_EQ(cell(10).width, 2);
    EXPECT_EQ(terminal.stringForCellCode(cell(10).code), "\u2764\ufe0f");
    EXPECT_EQ(cell(11).width, 0);
    EXPECT_EQ(cell(11).code, 0);
    EXPECT_EQ(terminal.cursorPosition(), Cell(12, 0));

    Terminal edge(nullptr, optionsOfSize(80, 5));
    edge.buffer->setX(79);
    edge.feedString("\u2764\ufe0f");
    EXPECT_EQ(edge.cellAt(79, 0)->width, 1);
    EXPECT_EQ(edge.stringForCellCode(edge.cellAt(79, 0)->code), "\u2764\ufe0f");
}

TEST_F(PrintingTest, TextPresentationSelectorNarrowsAndUnknownBaseDropsIt)
{
    terminal.feedString("\u231a\ufe0e|a\ufe0f|");
    EXPECT_EQ(cell(0).width, 1);
    EXPECT_EQ(rowText(terminal, 0), "\u231a\ufe0e|a|");
}

TEST_F(PrintingTest, RegionalIndicatorPairs)
{
    terminal.feedString("\U0001F1E9\U0001F1EA!");
    EXPECT_EQ(terminal.stringForCellCode(cell(0).code), "\U0001F1E9\U0001F1EA");
    EXPECT_EQ(cell(0).width, 2);
    EXPECT_EQ(rowText(terminal, 0), "\U0001F1E9\U0001F1EA!");

    TerminalOptions narrowOptions = optionsOfSize(80, 5);
    narrowOptions.regionalIndicatorWidth = RegionalIndicatorWidth::narrow;
    Terminal narrow(nullptr, narrowOptions);
    narrow.feedString("\U0001F1E9");
    EXPECT_EQ(narrow.cursorPosition(), Cell(1, 0));
    narrow.feedString("\U0001F1EA");
    EXPECT_EQ(narrow.cellAt(0, 0)->width, 2);
    EXPECT_EQ(narrow.stringForCellCode(narrow.cellAt(0, 0)->code), "\U0001F1E9\U0001F1EA");
    EXPECT_EQ(narrow.cursorPosition(), Cell(2, 0));
}

TEST_F(PrintingTest, ZeroWidthJoinerSequenceAndEmojiModifierStayInOneCell)
{
    terminal.feedString("\U0001F469\u200d\U0001F4BBx\U0001F44D\U0001F3FDy");
    EXPECT_EQ(terminal.stringForCellCode(cell(0).code), "\U0001F469\u200d\U0001F4BB");
    EXPECT_EQ(cell(0).width, 2);
    EXPECT_EQ(terminal.stringForCellCode(cell(3).code), "\U0001F44D\U0001F3FD");
    EXPECT_EQ(rowText(terminal, 0), "\U0001F469\u200d\U0001F4BBx\U0001F44D\U0001F3FDy");
    EXPECT_EQ(terminal.cursorPosition(), Cell(6, 0));
}

TEST_F(PrintingTest, WideCharactersTakeTwoColumns)
{
    terminal.feedString("\u4e00a");
    EXPECT_EQ(cell(0).width, 2);
    EXPECT_EQ(cell(1).width, 0);
    EXPECT_EQ(terminal.cursorPosition(), Cell(3, 0));
}

TEST_F(PrintingTest, CharacterSetTranslatesAsciiBytes)
{
    terminal.feedString("\x1b(0qx\x1b(Bq");
    EXPECT_EQ(rowText(terminal, 0), "\u2500\u2502q");
}

TEST_F(PrintingTest, TextWrapsAndScrollsAtTheBottom)
{
    Terminal small(nullptr, optionsOfSize(4, 2));
    small.feedString("abcdefghij");
    EXPECT_EQ(screenText(small), (std::vector<std::string>{"efgh", "ij"}));
    EXPECT_TRUE(small.screenLine(1)->isWrapped);
}

TEST(TerminalControls, LineFeedCarriageReturnAndBackspace)
{
    RecordingDelegate delegate;
    Terminal terminal(&delegate, optionsOfSize(10, 5));
    terminal.feedString("ab\bc\r\nd");
    EXPECT_EQ(screenText(terminal)[0], "ac");
    EXPECT_EQ(screenText(terminal)[1], "d");
    EXPECT_EQ(delegate.lineFeeds, 1);

    terminal.lineFeedMode = true;
    terminal.feedString("\n");
    EXPECT_EQ(terminal.cursorPosition(), Cell(0, 2));
}

TEST(TerminalControls, BackspaceAndCarriageReturnAgainstTheMargins)
{
    Terminal terminal(nullptr, optionsOfSize(20, 10));
    Buffer &b = *terminal.buffer;
    terminal.marginMode = true;
    b.setMarginLeft(5);
    b.setMarginRight(10);

    b.setX(3);
    terminal.cmdCarriageReturn();
    EXPECT_EQ(b.x(), 0);
    b.setX(8);
    terminal.cmdCarriageReturn();
    EXPECT_EQ(b.x(), 5);
    terminal.cmdBackspace();
    EXPECT_EQ(b.x(), 5);
    b.setX(3);
    terminal.cmdBackspace();
    EXPECT_EQ(b.x(), 2);

    // Reverse wraparound at the top margin goes to the bottom margin's right edge.
    terminal.marginMode = false;
    terminal.reverseWraparound = true;
    b.setScrollTop(2);
    b.setScrollBottom(6);
    b.setX(0);
    b.setY(2);
    terminal.cmdBackspace();
    EXPECT_EQ(terminal.cursorPosition(), Cell(19, 6));
    terminal.cmdBackspace();
    EXPECT_EQ(terminal.cursorPosition(), Cell(18, 6));
    b.setX(0);
    b.setY(0);
    terminal.cmdBackspace();
    EXPECT_EQ(terminal.cursorPosition(), Cell(0, 0));
}

TEST(TerminalControls, TabBellAndNextLine)
{
    RecordingDelegate delegate;
    Terminal terminal(&delegate, optionsOfSize(20, 5));
    terminal.feedString("a\tb\x07\x1b"
                        "E\x1b[3G");
    EXPECT_EQ(rowText(terminal, 0), "a       b");
    EXPECT_EQ(delegate.bells, 1);
    EXPECT_EQ(terminal.cursorPosition().second, 1);
}
