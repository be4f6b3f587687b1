#include "Kestrix/core/SearchEngine.h"
#include "Kestrix/core/Terminal.h"
#include "tests/Kestrix/core/TerminalTestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <tuple>

using namespace kestrix;
using namespace kestrix::testing;

namespace {

struct SearchEngineTest : ::testing::Test {
    explicit SearchEngineTest(int64_t cols = 20, int64_t rows = 5, int64_t scrollback = 100)
        : terminal(nullptr, optionsOfSize(cols, rows, scrollback))
        , cache(terminal)
        , engine(terminal, cache)
    {
    }

    Terminal terminal;
    SearchLineCache cache;
    SearchEngine engine;
};

struct WideSearchEngineTest : SearchEngineTest {
    WideSearchEngineTest()
        : SearchEngineTest(80, 24, 3000)
    {
    }
};

// Column, row and size of a match.
using Where = std::tuple<int64_t, int64_t, int64_t>;

Where where(const SearchResult &result)
{
    return {result.col, result.row, result.size};
}

SearchText textOf(std::u16string_view characters)
{
    SearchText text;
    for (char16_t c : characters) {
        text.appendCharacter(c);
    }
    return text;
}

} // namespace

TEST_F(SearchEngineTest, WholeWordNeedsLineEndsOrNonWordCharactersAround)
{
    const struct {
        std::u16string_view text;
        int64_t index;
        int64_t length;
        bool expected;
    } cases[] = {
        {u"cat", 0, 3, true},     {u"a cat.", 2, 3, true}, {u"(cat)", 1, 3, true},
        {u"concat", 3, 3, false}, {u"cat_x", 0, 3, false}, {u"cats", 0, 3, false},
        {u"x9cat", 2, 3, false},  {u"~cat?", 1, 3, true},  {u"\u00e9cat", 1, 3, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(engine.isWholeWord(textOf(c.text), c.index, c.length), c.expected)
            << std::string(c.text.begin(), c.text.end());
    }
}

TEST_F(SearchEngineTest, FindNextFromAPositionDoesNotWrap)
{
    terminal.feedString("foo\r\nbar foo");
    const auto second = engine.findNext("foo", {1, 0}, {});
    ASSERT_TRUE(second);
    EXPECT_EQ(where(*second), Where(4, 1, 3));
    EXPECT_FALSE(engine.findNext("foo", {5, 1}, {}));
    EXPECT_FALSE(engine.findNext("foo", {21, 0}, {})) << "a column past the row";
    EXPECT_FALSE(engine.findNext("", {0, 0}, {}));
}

TEST_F(SearchEngineTest, ExpressionSeesTheWholeLineAroundItsStart)
{
    terminal.feedString("x ab");
    const SearchOptions regex{false, true, false};
    EXPECT_FALSE(engine.findNext("^ab", {2, 0}, regex));
    const auto behind = engine.findNext("(?<=x )ab", {2, 0}, regex);
    ASSERT_TRUE(behind);
    EXPECT_EQ(behind->col, 2);
}

TEST_F(WideSearchEngineTest, TermAtTheEndOfAVeryLongWrappedLineIsFound)
{
    // One logical line over 2000 rows, all in the scrollback but its tail.
    const std::string filler(80 * 2000 - 3, 'a');
    terminal.feedString(filler + "xyz");
    const int64_t lastRow = 1999;
    const auto match = engine.findNext("xyz", {0, 0}, {});
    ASSERT_TRUE(match);
    EXPECT_EQ(where(*match), Where(77, lastRow, 3));
    EXPECT_FALSE(engine.findNext("xyzz", {0, 0}, {}));
    const auto back = engine.previousMatch("a", {}, std::nullopt, std::nullopt);
    ASSERT_TRUE(back);
    EXPECT_EQ(where(*back), Where(76, lastRow, 1));
}

TEST_F(WideSearchEngineTest, BacktrackingPatternGivesUpWithinTheWorkLimit)
{
    engine.workLimit = std::chrono::milliseconds(50);
    // Catastrophic backtracking on every line: without the limit one line would take years.
    for (int i = 0; i < 20; ++i) {
        terminal.feedString(std::string(40, 'a') + "!\r\n");
    }
    const SearchOptions regex{false, true, false};
    EXPECT_FALSE(engine.nextMatch("(a+)+$", regex, std::nullopt, std::nullopt));
    EXPECT_FALSE(engine.previousMatch("(a|aa)+$", regex, std::nullopt, std::nullopt));
    EXPECT_FALSE(engine.findNext("(a+)+$", {0, 0}, regex));
}

TEST_F(WideSearchEngineTest, DeeplyBacktrackingPatternOnAHugeLineFailsSafely)
{
    std::string line;
    for (int i = 0; i < 100000; ++i) {
        line += i % 2 == 0 ? 'a' : 'b';
    }
    terminal.feedString(line);
    const SearchOptions regex{false, true, false};
    // Either the stack limit or the work limit ends it; nothing is found and nothing crashes.
    EXPECT_FALSE(engine.findNext("(a|b)*c", {0, 0}, regex));
    // An ordinary expression over the same line still works.
    const auto match = engine.findNext("b(ab){3}", {0, 0}, regex);
    ASSERT_TRUE(match);
    EXPECT_EQ(where(*match), Where(1, 0, 7));
}
