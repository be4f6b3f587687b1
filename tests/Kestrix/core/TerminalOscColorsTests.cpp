#include "OscTestSupport.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::oscBel;
using testing::OscDelegate;
using testing::oscSt;

class OscColorsTest : public ::testing::Test {
protected:
    OscDelegate delegate;
    Terminal terminal{&delegate, testing::xtermPaletteOptions()};
};

TEST_F(OscColorsTest, PaletteQueryAnswersWithTheEntryEndedByStringTerminator)
{
    terminal.feedString(oscBel("4;1;?"));
    ASSERT_EQ(delegate.replies.size(), 1u);
    EXPECT_EQ(delegate.replies[0], "\x1b]4;1;rgb:c2c2/3636/2121\x1b\\");
}

TEST_F(OscColorsTest, PaletteQueryUsesSingleBytesUnderEightBitControls)
{
    terminal.cc.send8bit = true;
    terminal.feedString(oscSt("4;1;?"));
    ASSERT_EQ(delegate.replies.size(), 1u);
    EXPECT_EQ(delegate.replies[0], "\x9d"
                                   "4;1;rgb:c2c2/3636/2121\x9c");
}

TEST_F(OscColorsTest, PalettePairsSetAndQueryInOrder)
{
    terminal.feedString(oscBel("4;3;#102030;3;?;200;rgb:ff/00/80"));
    EXPECT_EQ(terminal.ansiColors[3], Color::fromRgb8(0x10, 0x20, 0x30));
    EXPECT_EQ(terminal.ansiColors[200], Color::fromRgb8(0xff, 0x00, 0x80));
    EXPECT_EQ(delegate.paletteChanges, (std::vector<std::optional<int64_t>>{3, 200}));
    ASSERT_EQ(delegate.replies.size(), 1u);
    EXPECT_EQ(delegate.replies[0], "\x1b]4;3;rgb:1010/2020/3030\x1b\\");
}

// An index that is not a number from 0 to 255 is not read as some other entry: the command stops.
TEST_F(OscColorsTest, PaletteIndexThatIsNoNumberInRangeStopsTheCommand)
{
    const std::vector<Color> before = terminal.ansiColors;
    for (const char *data : {"4;300;#fff", "4;99999999999999999999;#fff;1;#fff", "4;256;?", "4;-1;?",
                             "4;-1;#fff", "4;;?", "4;x;?", "4;1x;?", "4;+1;?", "4; 1;?", "4;1;#fff;-2;?"}) {
        terminal.feedString(oscBel(data));
    }
    EXPECT_EQ(terminal.ansiColors[1], Color::parseColor("#fff"));
    terminal.ansiColors[1] = before[1];
    EXPECT_EQ(terminal.ansiColors, before);
    EXPECT_EQ(delegate.paletteChanges, (std::vector<std::optional<int64_t>>{1}));
    EXPECT_TRUE(delegate.replies.empty());
}

TEST_F(OscColorsTest, PaletteInvalidColourChangesNothingAndGoesOn)
{
    terminal.feedString(oscBel("4;5;nonsense;6;#010203"));
    EXPECT_EQ(terminal.ansiColors[5], terminal.defaultAnsiColors[5]);
    EXPECT_EQ(terminal.ansiColors[6], Color::fromRgb8(1, 2, 3));
    EXPECT_EQ(delegate.paletteChanges, (std::vector<std::optional<int64_t>>{6}));
}

TEST_F(OscColorsTest, PaletteResetForms)
{
    struct Case {
        const char *name;
        std::string data;
        std::vector<int> resetEntries;
        std::vector<std::optional<int64_t>> notices;
    };
    const std::vector<Case> cases = {
        {"all", "104", {0, 1, 7, 255}, {std::nullopt}},
        {"listed", "104;1;7", {1, 7}, {1, 7}},
        {"not a number names entry 0", "104;foo", {0}, {0}},
        {"out of range and empty pieces skipped", "104;-1;;256;+7", {7}, {7}},
        {"huge numbers are out of range, not entry 0", "104;99999999999999999999;-99999999999999999999;+7",
         {7}, {7}},
    };
    for (const Case &c : cases) {
        OscDelegate fresh;
        Terminal t(&fresh, testing::xtermPaletteOptions());
        for (int entry : {0, 1, 7, 255}) {
            t.ansiColors[static_cast<size_t>(entry)] = Color::fromRgb8(1, 1, 1);
        }
        t.feedString(oscBel(c.data));
        for (int entry : {0, 1, 7, 255}) {
            const bool expectReset =
                std::find(c.resetEntries.begin(), c.resetEntries.end(), entry) != c.resetEntries.end();
            const auto index = static_cast<size_t>(entry);
            EXPECT_EQ(t.ansiColors[index] == t.defaultAnsiColors[index], expectReset)
                << c.name << " entry " << entry;
        }
        EXPECT_EQ(fresh.paletteChanges, c.notices) << c.name;
    }
}

TEST_F(OscColorsTest, DynamicColourQueriesAnswerOneReplyPerPiece)
{
    delegate.currentColors =
        TerminalColors{Color::fromRgb8(0x11, 0x22, 0x33), Color::fromRgb8(0xaa, 0xbb, 0xcc)};
    terminal.feedString(oscBel("10;?;?"));
    EXPECT_EQ(delegate.replies, (std::vector<std::string>{"\x1b]10;rgb:1111/2222/3333\x1b\\",
                                                          "\x1b]11;rgb:aaaa/bbbb/cccc\x1b\\"}));
}

TEST_F(OscColorsTest, CursorColourQueryWithoutCursorColourAnswersTheForeground)
{
    terminal.setForegroundColor(Color::fromRgb8(0x12, 0x34, 0x56));
    terminal.feedString(oscBel("12;?"));
    terminal.setCursorColor(Color::fromRgb8(0xfe, 0xdc, 0xba));
    terminal.feedString(oscBel("12;?"));
    EXPECT_EQ(delegate.replies, (std::vector<std::string>{"\x1b]12;rgb:1212/3434/5656\x1b\\",
                                                          "\x1b]12;rgb:fefe/dcdc/baba\x1b\\"}));
}

TEST_F(OscColorsTest, DynamicColourSetNotifiesTheDelegateOncePerChange)
{
    const Color ink = Color::fromRgb8(1, 2, 3);
    const Color paper = Color::fromRgb8(4, 5, 6);
    const Color caret = Color::fromRgb8(7, 8, 9);
    terminal.feedString(oscBel("10;#010203;#040506;#070809"));
    EXPECT_EQ(terminal.foregroundColor(), ink);
    EXPECT_EQ(terminal.backgroundColor(), paper);
    EXPECT_EQ(terminal.cursorColor(), caret);
    EXPECT_EQ(delegate.foregroundNotices, std::vector<Color>{ink});
    EXPECT_EQ(delegate.backgroundNotices, std::vector<Color>{paper});
    EXPECT_EQ(delegate.cursorNotices, std::vector<std::optional<Color>>{caret});
}

TEST_F(OscColorsTest, DynamicColourPiecesBeyondTheCursorAndInvalidPiecesAreIgnored)
{
    terminal.feedString(oscBel("11;bogus;#000001;?;?"));
    EXPECT_EQ(terminal.backgroundColor(), Color::defaultBackground());
    EXPECT_EQ(terminal.cursorColor(), Color::fromRgb8(0, 0, 1));
    EXPECT_TRUE(delegate.replies.empty());
}

TEST_F(OscColorsTest, ForegroundChangeRebuildsAHarmonisedPaletteOnce)
{
    OscDelegate fresh;
    Terminal lab(&fresh, TerminalOptions{});
    lab.feedString(oscBel("10;#336699"));
    EXPECT_EQ(fresh.foregroundNotices.size(), 1u);
    EXPECT_EQ(fresh.paletteChanges, (std::vector<std::optional<int64_t>>{std::nullopt}));
}

} // namespace
} // namespace kestrix
