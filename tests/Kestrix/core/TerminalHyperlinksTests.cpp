#include "Kestrix/model/AtomTable.h"
#include "OscTestSupport.h"
#include "TerminalTestSupport.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::oscBel;
using testing::oscSt;

const std::string link = "id=7;https://example.com/a";

std::string openLink(const std::string &payload = link)
{
    return oscSt("8;" + payload);
}

const std::string closeLink = oscBel("8;;");

// The columns of a viewport row that carry the link's payload, written like "..xxxx.." for the
// first `width` columns.
std::string linkedColumns(Terminal &terminal, int64_t row, int64_t width, const std::string &payload = link)
{
    std::string marks;
    for (int64_t col = 0; col < width; ++col) {
        const std::optional<CharData> cell = terminal.cellAt(col, row);
        marks += cell && cell->getPayload() == payload ? 'x' : '.';
    }
    return marks;
}

class HyperlinkTest : public ::testing::Test {
protected:
    Terminal terminal{nullptr, testing::xtermPaletteOptions(10, 5)};
};

TEST_F(HyperlinkTest, LinkCoversExactlyTheCellsPrintedWhileItWasOpen)
{
    terminal.feedString("ab" + openLink() + "link" + closeLink + "cd");
    EXPECT_EQ(linkedColumns(terminal, 0, 10), "..xxxx....");
}

TEST_F(HyperlinkTest, OneCharacterLinkIsApplied)
{
    terminal.feedString("a" + openLink() + "b" + closeLink);
    EXPECT_EQ(linkedColumns(terminal, 0, 10), ".x........");
}

TEST_F(HyperlinkTest, LinkStartingInTheLastColumnCoversItAndContinuesOnTheNextRow)
{
    terminal.buffer->setX(9);
    terminal.feedString(openLink() + "z" + closeLink);
    EXPECT_EQ(linkedColumns(terminal, 0, 10), ".........x");

    terminal.feedString("\r\n");
    terminal.buffer->setX(9);
    terminal.feedString(openLink() + "yz" + closeLink);
    EXPECT_EQ(linkedColumns(terminal, 1, 10), ".........x");
    EXPECT_EQ(linkedColumns(terminal, 2, 10), "x.........");
}

TEST_F(HyperlinkTest, LinkOpenedWhileAWrapIsPendingStartsOnTheNextRow)
{
    terminal.feedString("0123456789" + openLink() + "ab" + closeLink);
    EXPECT_EQ(linkedColumns(terminal, 0, 10), "..........");
    EXPECT_EQ(linkedColumns(terminal, 1, 10), "xx........");
}

TEST_F(HyperlinkTest, WrappedLinkCoversTheRowsBetween)
{
    terminal.feedString("1234567" + openLink() + "abcdefghijklmnop" + closeLink + "!");
    EXPECT_EQ(linkedColumns(terminal, 0, 10), ".......xxx");
    EXPECT_EQ(linkedColumns(terminal, 1, 10), "xxxxxxxxxx");
    EXPECT_EQ(linkedColumns(terminal, 2, 10), "xxx.......");
}

TEST_F(HyperlinkTest, WideCharacterLinkCoversBothHalves)
{
    terminal.feedString(openLink() + "\xe4\xb8\xad" + closeLink);
    EXPECT_EQ(linkedColumns(terminal, 0, 10), "xx........");
}

TEST_F(HyperlinkTest, OpeningAndClosingWithoutPrintingLeavesTheCellsAlone)
{
    terminal.feedString("abc");
    terminal.buffer->setX(1);
    terminal.feedString(openLink() + closeLink);
    EXPECT_EQ(linkedColumns(terminal, 0, 10), "..........");
    const BufferLine *line = terminal.screenLine(0);
    for (int64_t col = 0; col < 10; ++col) {
        EXPECT_EQ((*line)[col].payload, TinyAtom{}) << col;
    }
}

TEST_F(HyperlinkTest, NewLinkDropsTheOpenOneAndCloseWithoutLinkDoesNothing)
{
    terminal.feedString(closeLink + openLink("id=1;https://one") + "ab" + openLink() + "cd" + closeLink);
    EXPECT_EQ(linkedColumns(terminal, 0, 10, "id=1;https://one"), "..........");
    EXPECT_EQ(linkedColumns(terminal, 0, 10), "..xx......");
    EXPECT_FALSE(terminal.hyperLinkTracking.has_value());
}

TEST_F(HyperlinkTest, LinkKeepsItsCellsWhenAFullRingScrollsUnderIt)
{
    // No scrollback: the ring is full from the start, so scrolling leaves yBase alone.
    Terminal full(nullptr, testing::xtermPaletteOptions(10, 3));
    full.setScrollbackLines(std::nullopt);
    full.feedString("\r\n\r\n12345678" + openLink() + "abcd" + closeLink);
    ASSERT_EQ(full.buffer->yBase(), 0);
    EXPECT_EQ(linkedColumns(full, 1, 10), "........xx");
    EXPECT_EQ(linkedColumns(full, 2, 10), "xx........");
}

TEST_F(HyperlinkTest, LinkFollowsItsStartLineWhenLinesAreInsertedAbove)
{
    terminal.feedString("\r\n" + openLink() + "ab");
    terminal.buffer->setY(0);
    terminal.feedString("\x1bM");
    terminal.buffer->setY(2);
    terminal.feedString(closeLink);
    EXPECT_EQ(linkedColumns(terminal, 1, 10), "..........");
    EXPECT_EQ(linkedColumns(terminal, 2, 10), "xx........");
    EXPECT_EQ(testing::rowText(terminal, 2), "ab");
}

TEST_F(HyperlinkTest, LinkClosedOnTheOtherScreenIsNotApplied)
{
    terminal.feedString("a" + openLink() + "bc");
    terminal.activateAlternateScreen(std::nullopt);
    terminal.feedString("de" + closeLink);
    EXPECT_EQ(linkedColumns(terminal, 0, 10), "..........");
    terminal.activateNormalScreen(false);
    EXPECT_EQ(linkedColumns(terminal, 0, 10), "..........");
}

TEST_F(HyperlinkTest, OversizedPayloadIsIgnoredWithoutAnAtom)
{
    const std::string longest =
        "id=9;https://example.com/" + std::string(Terminal::maximumHyperlinkPayloadLength - 25, 'a');
    ASSERT_EQ(longest.size(), Terminal::maximumHyperlinkPayloadLength);
    terminal.feedString(openLink(longest) + "ab" + closeLink);
    EXPECT_EQ(linkedColumns(terminal, 0, 10, longest), "xx........");

    const uint16_t lastCode = AtomTable::shared().lastCode();
    const std::string oversized = longest + "b";
    terminal.feedString(openLink() + "cd" + openLink(oversized) + "ef" + closeLink);
    EXPECT_EQ(AtomTable::shared().lastCode(), lastCode);
    EXPECT_EQ(linkedColumns(terminal, 0, 10), "..........");
    EXPECT_EQ(linkedColumns(terminal, 0, 10, oversized), "..........");
}

} // namespace
} // namespace kestrix
