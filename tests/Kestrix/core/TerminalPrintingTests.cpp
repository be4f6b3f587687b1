#include "Kestrix/core/Terminal.h"
#include "TerminalTestSupport.h"
#include "tests/support/PrintedState.h"

#include <gtest/gtest.h>
#include <span>

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

TEST_F(PrintingTest, InvalidSequenceSplitAcrossReadsDropsItsContinuationBytesAsOneRead)
{
    terminal.feedString("\xe0\x80");
    terminal.feedString("\xaf!\xed");
    terminal.feedString("\xa0");
    terminal.feedString("\n\xaf?");
    EXPECT_EQ(rowText(terminal, 0), "\u00e0!\u00ed");
    EXPECT_EQ(rowText(terminal, 1), "   ?");
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

namespace {

// The cells of a row that hold text, each as its column and text: "3:x 5:y".
std::string filledCells(Terminal &terminal, int64_t row)
{
    std::string text;
    for (int64_t col = 0; col < terminal.cols; ++col) {
        const CharData cell = *terminal.cellAt(col, row);
        if (cell.code != 0) {
            text += (text.empty() ? "" : " ") + std::to_string(col) + ":" + terminal.stringForCellCode(cell.code);
        }
    }
    return text;
}

} // namespace

// A joining character joins only the cell just printed, while nothing has moved the cursor or
// changed the screen since; otherwise it takes a cell of its own at the cursor (a zero-width one,
// having nothing to join, is dropped).
TEST(JoiningCharacters, JoinOnlyTheCellJustPrinted)
{
    struct Case {
        const char *name;
        std::string setUp;
        std::string text;
        std::vector<std::string> rows;
        Cell cursor;
    };
    const std::string thumb = "\U0001F44D";
    const std::string tone = "\U0001F3FD";
    const Case cases[] = {
        {"modifier after a cursor move", "Z\x1b[2;1H", tone, {"0:Z", "0:" + tone}, {2, 1}},
        {"modifier after an editor's move on the row", "\x1b[1;27H" + thumb + "\x1b[1;29H", tone,
         {"26:" + thumb + " 28:" + tone}, {30, 0}},
        {"modifier after a return", "Z\r", tone, {"0:" + tone}, {2, 0}},
        {"modifier after an erase", "Z\x1b[1K", tone, {"1:" + tone}, {3, 0}},
        {"modifier after a scroll", "\x1b[3;1HZ\x1b" "D", tone, {"", "0:Z", "1:" + tone}, {3, 2}},
        {"regional indicator after a move", "\U0001F1E9\x1b[2;1H", "\U0001F1EA",
         {"0:\U0001F1E9", "0:\U0001F1EA"}, {2, 1}},
        {"joiner continuation after a move", "\U0001F469\u200d\x1b[2;1H", "\U0001F4BB",
         {"0:\U0001F469\u200d", "0:\U0001F4BB"}, {2, 1}},
        {"combining mark after a move", "e\x1b[2;1H", "\u0301", {"0:e", ""}, {0, 1}},
        {"presentation selector after a move", "\u2764\x1b[2;1H", "\uFE0F", {"0:\u2764", ""}, {0, 1}},
        {"modifier after a colour change", "Z\x1b[31m", tone, {"0:Z" + tone}, {1, 0}},
        {"mark in the next read", "e", "\u0301", {"0:e\u0301"}, {1, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Terminal terminal(nullptr, optionsOfSize(40, 3));
        terminal.feedString(c.setUp);
        terminal.feedString(c.text);
        std::vector<std::string> rows;
        for (size_t row = 0; row < c.rows.size(); ++row) {
            rows.push_back(filledCells(terminal, static_cast<int64_t>(row)));
        }
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(terminal.cursorPosition(), c.cursor);
    }
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

namespace {

// Text fed at once and a byte at a time must leave the same cells.
void expectSameAsByteByByte(const TerminalOptions &options, const std::string &setUp, const std::string &text)
{
    const auto states = calvero::testing::printedWholeAndBytewise(options, setUp, text);
    EXPECT_EQ(states.whole, states.bytewise) << "set-up " << setUp << ", text " << text;
}

// A screen to print on: its size and what is fed before the text.
struct ScreenSetting {
    TerminalOptions options;
    const char *setUp;
};

void expectSameAsByteByByteOnEach(std::span<const ScreenSetting> settings, const std::string &text)
{
    for (const ScreenSetting &setting : settings) {
        expectSameAsByteByByte(setting.options, setting.setUp, text);
    }
}

const char *const graphemeSamples[] = {
    "caf\u00e9 na\u00efve e\u0301t\u00e9 \u00c5ngstr\u00f6m",
    "\u4e2d\u6587\u5b57\u65e5\u672c\u8a9e\ud55c\uad6d\uc5b4\u2500\u2502\u250c\u03b1\u03b2\u03b3",
    "\U0001F600\U0001F44D\U0001F3FD\U0001F469\u200d\U0001F4BB\U0001F468\u200d\U0001F469\u200d\U0001F467\u200d"
    "\U0001F466\U0001F1E9\U0001F1EA",
    // Joiners before a wide character, before ASCII, at the start and doubled; a pictograph after a
    // joiner that follows a mark.
    "\u200d\u4e2d\u200da\u200d\u200d\U0001F600x\u0301\u200d\U0001F600",
    // Presentation selectors: widening, narrowing, on a base without variations and alone.
    "\u2764\ufe0f\u231a\ufe0e\u2764\ufe0e\ufe0f\u00e9\ufe0f\ufe0e a\ufe0f",
    // Flags, odd indicators, and a flag after a joiner.
    "\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1EC\U0001F1ED \U0001F1E9\u200d\U0001F1EA",
    // Hangul jamo, marks that join nothing, format characters and controls from UTF-8.
    "\u1100\u1161\u11a8\u1100 \u0301\u0302\u200b\ufeff\u00ad\u0085\u0080x\u2028y",
    // Runs of marks after a letter, a wide character and an emoji; with a joiner, a selector and a
    // control among them; and past the most a cluster holds, ending with a spacing mark.
    "a\u0301\u0302\u0303b \u4e2d\u0301\u0308 \U0001F600\U0001F3FD\u0301 x\u0301\u200d\U0001F600 "
    "y\u0301\ufe0f\u0302 z\u0301\u0085\u0302 e\u0301\u0302\u0303\u0304\u0305\u0306\u0307\u0308"
    "\u0301\u0302\u0303\u0304\u0305\u0306\u0307\u0308\u0301\u0302\u0303\u0304\u0305\u0306\u0307\u0308"
    "\u0301\u0302\u0303\u0304\u0305\u0306\u0307\u0308\u0301\u0302\u0303\u0304\u0305\u0306\u0307\u0308"
    "\u0903q",
    // Marks right after a Latin-1 letter and an astral one, and after a control or an invalid byte
    // that follows a letter.
    "\u00e9\u0301\u0302 \U0001D400\u0301\u0302 q\u0085\u0301\u0302 r\xc3\u0301\u0302 s\u0301",
    // Marks of three bytes after letters, alone, before and after marks of two, and after an
    // ideograph.
    "a\u20d7\u0301 b\u0301\u20d7 c\u1dc0 d\ufe20\ufe21 \u4e2d\u20d7 e\u0951\u0301",
    // A spacing mark that takes a column of its own, right after a mark and among marks.
    "\u0e01\u0301\u0e33 a\u0301\u0e33\u0302 b\u0e33\u0301",
    // Runs of ideographs and syllables broken by invalid three-byte forms (overlong, surrogate, cut
    // short), a joiner, a mark, a selector and an emoji, and one right after a joiner.
    "\u4e2d\u6587\xe0\x80\xaf\ud55c\uad6d\xed\xa0\x80\u4e2d\xe4\xb8\u6587\u200d\u4e2d\u6587\u0301\u8a9e\u2764"
    "\ufe0f\u65e5\U0001F600\uc5b4 \U0001F469\u200d\u4e2d\u6587\u2500\u00e9\u4e2d",
    // Words of ideographs and syllables between single and double spaces; a space before a joiner,
    // an overlong form, a mark, an emoji and a sequence cut off at the end.
    "\u4e2d \u6587 \ud55c  \uad6d \u200d\u4e2d \xe0\x80\xaf\u6587 \u0301\u8a9e \U0001F600\u65e5 \xe4\xb8",
    // Astral letters, a private-use scalar and invalid bytes between scalars.
    "\U0001D400\U0001D401\U000F0000\xc3("
    "\xe4\xb8\xad\xf0\x9f\x98\xc3\xa9\xed\xa0\x80\xe0\x80\xaf\xf0\x80\xbf\xe2\x82",
};

} // namespace

TEST(PrintRuns, LeaveTheSameCellsAsPrintingScalarByScalar)
{
    TerminalOptions narrowFlags = optionsOfSize(7, 3, 4);
    narrowFlags.regionalIndicatorWidth = RegionalIndicatorWidth::narrow;
    const ScreenSetting settings[] = {
        {optionsOfSize(80, 3), ""},
        // Wide characters and clusters wrap at odd columns and scroll into the scrollback.
        {optionsOfSize(7, 3, 4), ""},
        {optionsOfSize(7, 3, 4), "\x1b[?7l"},
        {optionsOfSize(9, 3, 4), "\x1b[4h\x1b[31;1m"},
        {optionsOfSize(12, 4, 4), "\x1b[?69h\x1b[3;8s\x1b[2;5r\x1b[4;4H"},
        {narrowFlags, ""},
        {optionsOfSize(10, 3, 4), "\x1b(0"},
    };
    for (const char *sample : graphemeSamples) {
        expectSameAsByteByByteOnEach(settings, sample);
    }
}

TEST(PrintRuns, RandomGraphemeSoupLeavesTheSameCells)
{
    // Scalars of every kind the print path tells apart, strung together at random.
    const char *const pieces[] = {
        "a",          " ",          "abcdefghij", "\u00e9", "\u0301", "\u4e2d", "\u200d", "\U0001F600",
        "\U0001F3FD", "\U0001F1E9", "\ufe0f",     "\ufe0e", "\u2764", "\u231a", "\u1100", "\u1161",
        "\u200b",     "\U0001D400", "\xc3",       "\x85",   "\u0085", "\u2028",
    };
    uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1103515245 + 12345;
        return state >> 16;
    };
    for (int round = 0; round < 40; ++round) {
        std::string text;
        for (int i = 0; i < 60; ++i) {
            text += pieces[next() % std::size(pieces)];
        }
        expectSameAsByteByByte(optionsOfSize(5 + static_cast<int64_t>(round % 7), 3, 3), "", text);
        expectSameAsByteByByte(optionsOfSize(6, 3, 3), "\x1b[?7l", text);
    }
}

TEST(PrintRuns, MixedScriptLinesLeaveTheSameCells)
{
    // Lines as a program writes them: words of wide ideographs and syllables, emoji sequences, letters
    // with marks and long ASCII words ending in a mark, on screens where they wrap, overwrite the last
    // column, insert, and stay within margins.
    const char *const emoji[] = {
        "\U0001F600", "\u2705", "\U0001F44D\U0001F3FD", "\U0001F469\u200d\U0001F4BB",
        "\U0001F468\u200d\U0001F469\u200d\U0001F467\u200d\U0001F466", "\U0001F1E9\U0001F1EA", "\u2764\ufe0f",
    };
    const char *const marks[] = {"", "\u0301", "\u0308\u0323", "\u0300\u0301\u0302"};
    uint32_t state = 2024;
    auto next = [&state](uint32_t bound) {
        state = state * 1103515245 + 12345;
        return (state >> 16) % bound;
    };
    auto appendScalar = [](std::string &text, uint32_t scalar) {
        char bytes[4];
        text.append(bytes, utf8::encode(scalar, bytes));
    };
    std::string text;
    for (int word = 0; word < 160; ++word) {
        const uint32_t kind = next(5);
        for (uint32_t i = 0, length = 1 + next(5); i < length; ++i) {
            switch (kind) {
            case 0:
                appendScalar(text, 0x4E00 + next(0x5200));
                break;
            case 1:
                appendScalar(text, 0xAC00 + next(11172));
                break;
            case 2:
                text += emoji[next(std::size(emoji))];
                break;
            case 3:
                text += static_cast<char>('a' + next(26));
                text += marks[next(std::size(marks))];
                break;
            default:
                text += std::string(16 + next(8), static_cast<char>('A' + next(26)));
                text += marks[next(std::size(marks))];
                break;
            }
        }
        text += next(6) == 0 ? "\r\n" : " ";
    }
    const ScreenSetting settings[] = {
        {optionsOfSize(80, 5, 10), ""},
        {optionsOfSize(13, 4, 5), ""},
        {optionsOfSize(13, 4, 5), "\x1b[?7l"},
        {optionsOfSize(13, 4, 5), "\x1b[4h"},
        {optionsOfSize(16, 5, 5), "\x1b[?69h\x1b[4;12s\x1b[2;4r\x1b[3;5H"},
    };
    expectSameAsByteByByteOnEach(settings, text);
}

TEST(PrintRuns, EmojiSequencesSeenAgainLeaveTheSameCells)
{
    // Each sequence three times, so that the later ones are found by their bytes: skin tones,
    // joiners, a joiner before something that is no pictograph or before an invalid sequence, a
    // selector among them, a joiner at the end and a chain past the most a cluster holds.
    std::string chain;
    for (int i = 0; i < 20; ++i) {
        chain += "\U0001F600\u200d";
    }
    chain += "\U0001F525";
    const std::string sequences[] = {
        "\U0001F44D\U0001F3FD",
        "\U0001F469\u200d\U0001F4BB",
        "\U0001F468\u200d\U0001F469\u200d\U0001F467\u200d\U0001F466",
        "\U0001F44D\U0001F3FD\U0001F3FB",
        "\U0001F469\U0001F3FD\u200d\U0001F4BB",
        "\U0001F600\u200d\u4e2d",
        "\U0001F600\u200d\xe4\x41\x41",
        "\u2764\ufe0f\u200d\U0001F525",
        "\u2764\u200d\U0001F525\u0301",
        "\U0001F600\u200d",
        chain,
    };
    std::string text;
    for (int round = 0; round < 3; ++round) {
        for (const std::string &sequence : sequences) {
            text += sequence + "x";
        }
    }
    const ScreenSetting settings[] = {
        {optionsOfSize(80, 3, 4), ""},
        {optionsOfSize(7, 3, 4), ""},
        {optionsOfSize(7, 3, 4), "\x1b[?7l"},
        {optionsOfSize(9, 3, 4), "\x1b[4h"},
    };
    expectSameAsByteByByteOnEach(settings, text);
}

TEST(PrintRuns, WordsOfEmojiSeenAgainLeaveTheSameCells)
{
    // Emoji of three and four bytes, alone and in sequences, each seen again after every kind of
    // neighbour: another emoji, one space or two, marks that join it, a joiner or selector that
    // changes it, a letter and an ideograph; the second time at the end of a run.
    const char *const emoji[] = {
        "\U0001F600", "\u2705", "\u2764\ufe0f", "\u2764", "\u231a", "\U0001F44D\U0001F3FD", "\U0001F469\u200d\U0001F4BB",
        "\U0001F1E9\U0001F1EA", "\U0001D400",
    };
    const char *const after[] = {
        "", " ", "  ", "\u0301", "\u0301\u0302", "\u200d\U0001F525", "\ufe0f", "\ufe0e", "\U0001F3FB", "x", "\u4e2d",
    };
    std::string text;
    for (int round = 0; round < 2; ++round) {
        for (const char *next : after) {
            for (const char *item : emoji) {
                text += std::string(item) + next + " " + item + item + next + (round == 0 ? "" : "\r\n");
            }
        }
    }
    const ScreenSetting settings[] = {
        {optionsOfSize(80, 3, 4), ""},
        {optionsOfSize(7, 3, 4), ""},
        {optionsOfSize(7, 3, 4), "\x1b[?7l"},
        {optionsOfSize(9, 3, 4), "\x1b[4h"},
        {optionsOfSize(12, 4, 4), "\x1b[?69h\x1b[3;8s\x1b[2;5r\x1b[4;4H"},
        {optionsOfSize(10, 3, 4), "\x1b(0"},
    };
    expectSameAsByteByByteOnEach(settings, text);
}

TEST(PrintRuns, WordsOfEmojiStoppedByTheRightEdgeLeaveTheSameCells)
{
    // Emoji seen before, narrow and wide, up to a cluster that does not fit before the edge; then
    // marks and a selector, which must join the cell written last, at every column the word starts;
    // and more emoji after the line's end, which belong to the next run.
    const char *const words[] = {
        "\U0001F600\u2714\U0001F600\u0301x",
        "\U0001F600\u2714 \U0001F600\u0301\u0302",
        "\U0001F600\U0001F600\u2714\U0001F44D\U0001F3FD\ufe0f",
        "\U0001F600\u2705\u2714\U0001F1E9\U0001F1EA\u0301",
    };
    const std::string seen = "\U0001F600\U0001F600 \U0001F600\u2714\u2714\u2705\u2705\U0001F44D\U0001F3FD"
                             "\U0001F44D\U0001F3FD\U0001F1E9\U0001F1EA\U0001F1E9\U0001F1EA\r\n";
    for (const char *wrap : {"", "\x1b[?7l"}) {
        for (const char *word : words) {
            for (int column = 1; column <= 8; ++column) {
                const std::string text = "\x1b[" + std::to_string(column) + "G" + word + "\r" + seen;
                expectSameAsByteByByte(optionsOfSize(8, 3, 4), seen + wrap, text);
            }
        }
    }
}

TEST(PrintRuns, PlainTextFillsUpToTheRightEdgeAndWrapsPastIt)
{
    const struct {
        const char *setUp;
        const char *text;
        std::vector<std::string> rows;
        Cell cursor;
    } cases[] = {
        // Ending on the last column leaves the wrap pending for the next character.
        {"\x1b[1;7H", "abcd", {"      abcd", ""}, {10, 0}},
        {"\x1b[1;7Habcd", "ef", {"      abcd", "ef"}, {2, 1}},
        {"\x1b[1;7H", "abcde", {"      abcd", "e"}, {1, 1}},
        // Without wraparound the last column takes the rest, one over the other.
        {"\x1b[?7l\x1b[1;7H", "abcdef", {"      abcf", ""}, {10, 0}},
        {"xyz\x1b[4h\x1b[1;1H", "ab", {"abxyz", ""}, {2, 0}},
        // Columns 3 to 6 as margins: the run ends at the right one and goes on at the left one.
        {"\x1b[?69h\x1b[3;6s\x1b[1;3H", "abcd", {"  abcd", ""}, {6, 0}},
        {"\x1b[?69h\x1b[3;6s\x1b[1;3H", "abcdef", {"  abcd", "  ef"}, {4, 1}},
        {"\x1b[?69h\x1b[3;6s\x1b[1;8H", "ab", {"", "  ab"}, {4, 1}},
    };
    for (const auto &c : cases) {
        Terminal terminal(nullptr, optionsOfSize(10, 2));
        terminal.feedString(c.setUp);
        terminal.feedString(c.text);
        EXPECT_EQ(screenText(terminal), c.rows) << c.setUp << " then " << c.text;
        EXPECT_EQ(terminal.cursorPosition(), c.cursor) << c.setUp << " then " << c.text;
    }
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
