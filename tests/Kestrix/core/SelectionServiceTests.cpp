#include "Kestrix/core/SelectionService.h"
#include "Kestrix/core/Terminal.h"
#include "TerminalTestSupport.h"

#include <gtest/gtest.h>

using namespace kestrix;
using namespace kestrix::testing;

namespace {

class RedrawCountingDelegate : public RecordingDelegate {
public:
    void terminalNeedsFullRedraw(Terminal &) override { ++redraws; }
    int redraws = 0;
};

// A terminal of `cols` x `rows` showing `output`, and its selection.
struct SelectionFixture {
    explicit SelectionFixture(const std::string &output, int64_t cols = 20, int64_t rows = 5,
                              int64_t scrollback = 0)
        : terminal(&delegate, optionsOfSize(cols, rows, scrollback))
        , selection(terminal)
    {
        terminal.feedString(output);
    }

    std::pair<Position, Position> ends() const { return {selection.start(), selection.end()}; }

    RedrawCountingDelegate delegate;
    Terminal terminal;
    SelectionService selection;
};

using Ends = std::pair<Position, Position>;

struct DoubleClickCase {
    const char *name;
    const char *row;
    int64_t col;
    Ends expected;
};

TEST(SelectionService, DoubleClickSelectsWordRunOrExpression)
{
    const DoubleClickCase cases[] = {
        {"WordWithJoiners", "foo-bar.baz_1 x", 2, {{0, 0}, {13, 0}}},
        {"WordFromItsLastCharacter", "foo-bar.baz_1 x", 12, {{0, 0}, {13, 0}}},
        {"LoneJoinerSelectsNothing", "foo-bar.baz_1 x", 3, {{3, 0}, {3, 0}}},
        {"RunOfSpaces", "ab   cd", 3, {{2, 0}, {5, 0}}},
        {"TrailingEmptyCellsToTheLineEnd", "ab", 12, {{2, 0}, {20, 0}}},
        {"PastTheLastColumnReadsEmpty", "ab", 40, {{2, 0}, {20, 0}}},
        {"OpeningBracket", "f(a[b]c) d", 1, {{1, 0}, {8, 0}}},
        {"ClosingBracket", "f(a[b]c) d", 7, {{1, 0}, {8, 0}}},
        {"InnerBracket", "f(a[b]c) d", 3, {{3, 0}, {6, 0}}},
        {"UnmatchedBracketCollapses", "f(a[b c", 1, {{1, 0}, {1, 0}}},
        {"OtherCharacterCollapses", "a+b", 1, {{1, 0}, {1, 0}}},
        {"WideCharactersFormOneWord", "x \xE6\xBC\xA2\xE5\xAD\x97 y", 3, {{2, 0}, {6, 0}}},
    };
    for (const DoubleClickCase &c : cases) {
        SelectionFixture f(c.row);
        f.selection.selectWordOrExpression(c.col, 0);
        EXPECT_EQ(f.ends(), c.expected) << c.name;
        EXPECT_EQ(f.selection.hasSelectionRange(), c.expected.first != c.expected.second) << c.name;
        EXPECT_EQ(f.selection.selectionMode(), SelectionService::SelectionMode::word) << c.name;
        EXPECT_EQ(f.selection.wordSelectionAnchor(),
                  (SelectionService::WordAnchor{c.expected.first, c.expected.second}))
            << c.name;
        EXPECT_TRUE(f.selection.active()) << c.name;
    }
}

TEST(SelectionService, BracketMatchingLooksDownToTheViewportAndUpIntoTheScrollback)
{
    // Twelve lines on a 10 x 4 screen: the "(" of line 0 is in the scrollback, its ")" on line 11.
    std::string output = "(";
    for (int line = 1; line < 11; ++line) {
        output += "\r\nline" + std::to_string(line);
    }
    output += "\r\n)";
    SelectionFixture f(output, 10, 4, 100);
    f.selection.selectWordOrExpression(0, 11);
    EXPECT_EQ(f.ends(), (Ends{{0, 0}, {1, 11}}));

    f.selection.selectWordOrExpression(0, 0);
    EXPECT_EQ(f.ends(), (Ends{{0, 0}, {1, 11}}));

    // Scrolled to the top, the ")" lies below the viewport.
    f.terminal.buffer->setYDisp(0);
    f.selection.selectWordOrExpression(0, 0);
    EXPECT_EQ(f.ends(), (Ends{{0, 0}, {0, 0}}));
    EXPECT_FALSE(f.selection.hasSelectionRange());
}

TEST(SelectionService, SelectAllReachesTheRingCapacityAndCopiesTheLinesThatExist)
{
    SelectionFixture f("first\r\nsecond", 80, 24, 500);
    f.selection.selectAll();
    EXPECT_EQ(f.ends(), (Ends{{0, 0}, {79, 523}}));
    EXPECT_TRUE(f.selection.hasSelectionRange());
    EXPECT_EQ(f.selection.selectedText(), "first\nsecond");
}

TEST(SelectionService, RowSelectionCopiesTheWholeRowIncludingTheLastColumn)
{
    SelectionFixture f("abc\r\n0123456789", 10, 3);
    f.selection.selectRow(1);
    EXPECT_EQ(f.ends(), (Ends{{0, 1}, {9, 1}}));
    EXPECT_TRUE(f.selection.selectingRows());
    EXPECT_EQ(f.selection.selectionMode(), SelectionService::SelectionMode::row);
    EXPECT_EQ(f.selection.selectedText(), "0123456789");
}

TEST(SelectionService, ShiftExtendBeyondTheAnchorKeepsTheOldEnd)
{
    SelectionFixture f("foo bar baz qux");
    f.selection.setSelection({4, 0}, {7, 0});
    f.selection.shiftExtend(1, 0);
    EXPECT_EQ(f.ends(), (Ends{{7, 0}, {1, 0}}));
    EXPECT_EQ(f.selection.selectedText(), "oo bar");

    // Now backward: a click after the anchor swaps again.
    f.selection.shiftExtend(10, 0);
    EXPECT_EQ(f.ends(), (Ends{{1, 0}, {10, 0}}));

    // A click on the same side only moves the end.
    f.selection.shiftExtend(13, 0);
    EXPECT_EQ(f.ends(), (Ends{{1, 0}, {13, 0}}));
}

TEST(SelectionService, WordModeSnapsExtensionsToWholeWords)
{
    SelectionFixture f("foo bar baz qux");
    f.selection.selectWordOrExpression(5, 0);
    ASSERT_EQ(f.ends(), (Ends{{4, 0}, {7, 0}}));

    f.selection.dragExtend(9, 0);
    EXPECT_EQ(f.ends(), (Ends{{4, 0}, {11, 0}}));
    f.selection.dragExtend(1, 0);
    EXPECT_EQ(f.ends(), (Ends{{0, 0}, {7, 0}}));
    f.selection.dragExtend(6, 0);
    EXPECT_EQ(f.ends(), (Ends{{4, 0}, {7, 0}}));

    f.selection.setWordSelectionAnchor(std::nullopt);
    f.selection.shiftExtend(13, 0);
    EXPECT_EQ(f.ends(), (Ends{{4, 0}, {15, 0}}));
    EXPECT_EQ(f.selection.selectedText(), "bar baz qux");
    f.selection.dragExtend(1, 0);
    EXPECT_EQ(f.ends(), (Ends{{4, 0}, {0, 0}}));
    EXPECT_EQ(f.selection.selectedText(), "foo ");
}

TEST(SelectionService, CharacterModeDragMovesOnlyTheEnd)
{
    SelectionFixture f("abc\r\ndef");
    f.selection.startSelection({2, 1});
    f.selection.dragExtend(1, 0);
    EXPECT_EQ(f.ends(), (Ends{{2, 1}, {1, 0}}));
    EXPECT_EQ(f.selection.selectedText(), "bc\nde");
    f.selection.startSelection();
    EXPECT_EQ(f.ends(), (Ends{{2, 1}, {2, 1}}));
    EXPECT_EQ(f.selection.selectedText(), "");
}

TEST(SelectionService, SetSelectionClampsToTheLastLineAndColumn)
{
    SelectionFixture f("abc", 10, 3);
    f.selection.setSelection({1, 0}, {50, 100});
    EXPECT_EQ(f.ends(), (Ends{{1, 0}, {9, 2}}));
    EXPECT_TRUE(f.selection.active());
    EXPECT_EQ(f.selection.selectedText(), "bc");
}

TEST(SelectionService, NotifiesEveryVisibleChangeAndClearsThePivotWhenInactive)
{
    SelectionFixture f("abc");
    EXPECT_EQ(f.selection.debugDescription(),
              "[Selection (active=false, start=col=0 row=0 end=col=0 row=0 hasSR=false pivot=col=0 row=0]");
    f.selection.setActive(false);
    EXPECT_EQ(f.delegate.redraws, 0);
    EXPECT_FALSE(f.selection.pivot());

    f.selection.setActive(true);
    f.selection.setActive(true);
    EXPECT_EQ(f.delegate.redraws, 1);
    f.selection.selectAll();
    f.selection.selectRow(0);
    f.selection.selectWordOrExpression(0, 0);
    f.selection.dragExtend(2, 0);
    f.selection.shiftExtend(1, 0);
    f.selection.startSelection();
    f.selection.startSelection({1, 0});
    f.selection.setSelection({0, 0}, {1, 0});
    EXPECT_EQ(f.delegate.redraws, 9);
}

} // namespace
