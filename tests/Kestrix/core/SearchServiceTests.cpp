#include "Kestrix/core/SearchService.h"
#include "Kestrix/core/Terminal.h"
#include "tests/Kestrix/core/TerminalTestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace kestrix;
using namespace kestrix::testing;

namespace {

struct Found {
    int64_t col;
    int64_t row;
    int64_t size;
    std::string term;
};

std::optional<Found> found(const std::optional<SearchResult> &result)
{
    if (!result) {
        return std::nullopt;
    }
    return Found{result->col, result->row, result->size, result->term};
}

void expectFound(const std::optional<SearchResult> &result, std::optional<Found> expected,
                 const std::string &what)
{
    const auto actual = found(result);
    ASSERT_EQ(actual.has_value(), expected.has_value()) << what;
    if (expected) {
        EXPECT_EQ(actual->col, expected->col) << what;
        EXPECT_EQ(actual->row, expected->row) << what;
        EXPECT_EQ(actual->size, expected->size) << what;
        EXPECT_EQ(actual->term, expected->term) << what;
    }
}

// A terminal of `cols` columns, its text and a search service on a clock the test moves.
struct SearchTest : ::testing::Test {
    explicit SearchTest(int64_t cols = 20, int64_t rows = 5, int64_t scrollback = 100)
        : terminal(nullptr, optionsOfSize(cols, rows, scrollback))
        , search(terminal, [this] { return now; })
    {
    }

    void feedLines(const std::vector<std::string> &lines)
    {
        for (size_t i = 0; i < lines.size(); ++i) {
            terminal.feedString((i == 0 ? "" : "\r\n") + lines[i]);
        }
    }

    using Cells = std::vector<std::pair<int64_t, int64_t>>;
    using Step = std::optional<SearchResult> (SearchService::*)(std::string_view, const SearchOptions &);

    // The cells of four successive matches of "foo"; fewer when a step finds nothing.
    Cells fourSteps(Step step)
    {
        Cells cells;
        for (int i = 0; i < 4; ++i) {
            const auto result = (search.*step)("foo", SearchOptions{});
            if (!result) {
                break;
            }
            cells.emplace_back(result->col, result->row);
        }
        return cells;
    }

    double now = 1000;
    Terminal terminal;
    SearchService search;
};

struct NarrowSearchTest : SearchTest {
    NarrowSearchTest()
        : SearchTest(10, 4)
    {
    }
};

constexpr SearchOptions plain{};
constexpr SearchOptions caseSensitive{true, false, false};
constexpr SearchOptions regex{false, true, false};
constexpr SearchOptions wholeWord{false, false, true};

} // namespace

TEST_F(SearchTest, MatchesByOptionsWithinOneLine)
{
    const struct {
        const char *line;
        const char *term;
        SearchOptions options;
        std::optional<Found> expected;
    } cases[] = {
        {"hello World", "world", plain, Found{6, 0, 5, "world"}},
        {"hello World", "world", caseSensitive, std::nullopt},
        {"hello World", "World", caseSensitive, Found{6, 0, 5, "World"}},
        // Full case folding: the sharp s matches "SS".
        {"STRASSE 1", "stra\u00dfe", plain, Found{0, 0, 7, "stra\u00dfe"}},
        {"\u00c9t\u00e9", "\u00e9T\u00c9", plain, Found{0, 0, 3, "\u00e9T\u00c9"}},
        {"cut", "c.t", regex, Found{0, 0, 3, "cut"}},
        {"a CUT", "c.t", regex, Found{2, 0, 3, "CUT"}},
        {"a CUT", "c.t", SearchOptions{true, true, false}, std::nullopt},
        {"c.t", "(", regex, std::nullopt},
        // Empty matches are passed over, not taken for the end of the search.
        {"bba", "a*", regex, Found{2, 0, 1, "a"}},
        {"a cat.", "cat", wholeWord, Found{2, 0, 3, "cat"}},
        {"cat x", "cat", wholeWord, Found{0, 0, 3, "cat"}},
        {"x cat", "cat", wholeWord, Found{2, 0, 3, "cat"}},
        {"concat", "cat", wholeWord, std::nullopt},
        {"cat_x", "cat", wholeWord, std::nullopt},
        // A rejected occurrence does not hide a whole word later in the line.
        {"concat cat", "cat", wholeWord, Found{7, 0, 3, "cat"}},
        {"bobcat cats cat!", "cats?", SearchOptions{false, true, true}, Found{7, 0, 4, "cats"}},
        // Wide characters take two cells each.
        {"\u65e5\u672c\u8a9e abc", "abc", plain, Found{7, 0, 3, "abc"}},
        {"\u65e5\u672c\u8a9e abc", "\u672c", plain, Found{2, 0, 2, "\u672c"}},
        {"\U0001F600ab", "ab", plain, Found{2, 0, 2, "ab"}},
        {"x\U0001F600", "\U0001F600", plain, Found{1, 0, 2, "\U0001F600"}},
        // A term never matches half of a cell that holds a cluster.
        {"e\u0301x", "x", plain, Found{1, 0, 1, "x"}},
        {"e\u0301x", "e", caseSensitive, std::nullopt},
    };
    for (const auto &c : cases) {
        terminal.feedString("\x1b[2J\x1b[H");
        terminal.feedString(c.line);
        search.reset();
        expectFound(search.findNext(c.term, c.options), c.expected, std::string(c.line) + " / " + c.term);
    }
}

TEST_F(NarrowSearchTest, MatchRunsAcrossSoftWrappedRows)
{
    // Ten columns: "0123456789" fills row 0, "abcdef" continues on row 1.
    terminal.feedString("0123456789abcdef");
    expectFound(search.findNext("89ab", plain), Found{8, 0, 4, "89ab"}, "across the wrap");
    EXPECT_EQ(search.lastSelection, (SearchSelection{{8, 0}, {2, 1}}));
    expectFound(search.findNext("cde", plain), Found{2, 1, 3, "cde"}, "on the continuation row");
}

TEST_F(NarrowSearchTest, MatchFromTheLastColumnEndsOnTheNextRow)
{
    terminal.feedString("xxxxxxxxxabc");
    expectFound(search.findNext("abc", plain), Found{9, 0, 3, "abc"}, "from the last column");
    EXPECT_EQ(search.lastSelection, (SearchSelection{{9, 0}, {2, 1}}));
}

TEST_F(NarrowSearchTest, BlankThatPaddedAWrappedWideCharacterIsNoText)
{
    // The wide character does not fit in the last column, so it moves to row 1.
    terminal.feedString("012345678\u65e5z");
    expectFound(search.findNext("8\u65e5", plain), Found{8, 0, 4, "8\u65e5"}, "over the padding");
    expectFound(search.findNext("z", plain), Found{2, 1, 1, "z"}, "after the wide character");
}

TEST_F(SearchTest, FindNextMovesOnAndWrapsToTheTop)
{
    feedLines({"foo one", "two", "foo three foo"});
    EXPECT_EQ(fourSteps(&SearchService::findNext), (Cells{{0, 0}, {0, 2}, {10, 2}, {0, 0}}));
}

TEST_F(SearchTest, FindPreviousWrapsToTheBottom)
{
    feedLines({"foo one", "two", "foo three foo"});
    EXPECT_EQ(fourSteps(&SearchService::findPrevious), (Cells{{10, 2}, {0, 2}, {0, 0}, {10, 2}}));
}

TEST_F(SearchTest, FindPreviousFromTheFirstMatchOfTheLastLineWrapsToItsLastMatch)
{
    // Every match on the last line of the buffer: stepping back from the first wraps around to the
    // last one on the same line.
    feedLines({"x x"});
    const int64_t lastRow = terminal.buffer->lines().count() - 1;
    terminal.feedString("\x1b[" + std::to_string(lastRow + 1) + ";1Hab ab");
    expectFound(search.findNext("ab", plain), Found{0, lastRow, 2, "ab"}, "first");
    expectFound(search.findPrevious("ab", plain), Found{3, lastRow, 2, "ab"}, "wrapped");
}

TEST_F(NarrowSearchTest, FindPreviousFindsMatchesOnContinuationRows)
{
    // Row 0 "foo.......", row 1 "..foo" continues it; row 2 starts a new line with "foo".
    feedLines({"foo.........foo", "foo"});
    expectFound(search.findPrevious("foo", plain), Found{0, 2, 3, "foo"}, "last");
    expectFound(search.findPrevious("foo", plain), Found{2, 1, 3, "foo"}, "continuation row");
    expectFound(search.findPrevious("foo", plain), Found{0, 0, 3, "foo"}, "line start");
    expectFound(search.findNext("foo", plain), Found{2, 1, 3, "foo"}, "forward again");
}

TEST_F(SearchTest, ChangedTermStaysOnTheMatchWhenItStillMatches)
{
    feedLines({"foobar", "foo", "foobaz"});
    expectFound(search.findNext("foo", plain), Found{0, 0, 3, "foo"}, "first");
    expectFound(search.findNext("foob", plain), Found{0, 0, 4, "foob"}, "extended in place");
    expectFound(search.findNext("foob", plain), Found{0, 2, 4, "foob"}, "same term moves on");
    expectFound(search.findPrevious("fooba", plain), Found{0, 2, 5, "fooba"}, "previous keeps place");
    expectFound(search.findPrevious("fooba", plain), Found{0, 0, 5, "fooba"}, "then steps back");
}

TEST_F(SearchTest, OnlyMatchIsFoundAgain)
{
    feedLines({"abc", "unique", "xyz"});
    expectFound(search.findNext("uniq", plain), Found{0, 1, 4, "uniq"}, "first");
    expectFound(search.findNext("uniq", plain), Found{0, 1, 4, "uniq"}, "next");
    expectFound(search.findPrevious("uniq", plain), Found{0, 1, 4, "uniq"}, "previous");
}

TEST_F(SearchTest, EmptyTermFindsNothingAndForgetsTheSearch)
{
    feedLines({"foo"});
    ASSERT_TRUE(search.findNext("foo", caseSensitive));
    EXPECT_FALSE(search.findPrevious("", plain));
    EXPECT_FALSE(search.lastResult);
    EXPECT_FALSE(search.lastSelection);
    EXPECT_FALSE(search.state.cachedSearchTerm);
    EXPECT_FALSE(search.state.lastSearchOptions);

    ASSERT_TRUE(search.findNext("foo", caseSensitive));
    EXPECT_TRUE(search.findAll("", plain, 10).empty());
    EXPECT_TRUE(search.lastResult);
    EXPECT_EQ(search.state.cachedSearchTerm, "foo");
    EXPECT_EQ(search.state.lastSearchOptions, caseSensitive);
}

TEST_F(SearchTest, FindAllListsMatchesInBufferOrderUpToTheLimit)
{
    feedLines({"ab ab", "x", "ab", "abab"});
    const auto all = search.findAll("ab", plain, 100);
    std::vector<std::pair<int64_t, int64_t>> cells;
    for (const SearchResult &result : all) {
        cells.emplace_back(result.col, result.row);
    }
    EXPECT_EQ(cells, (std::vector<std::pair<int64_t, int64_t>>{{0, 0}, {3, 0}, {0, 2}, {0, 3}, {2, 3}}));
    EXPECT_EQ(search.findAll("ab", plain, 2).size(), 2u);
    EXPECT_TRUE(search.findAll("ab", plain, 0).empty());
    EXPECT_TRUE(search.findAll("zz", plain, 10).empty());
    // Finding all leaves the position of find-next alone.
    EXPECT_FALSE(search.lastSelection);
}

TEST_F(SearchTest, InvalidateRestartsFromTheTopWithTheSameTerm)
{
    feedLines({"foo", "foo"});
    ASSERT_TRUE(search.findNext("foo", wholeWord));
    expectFound(search.findNext("foo", wholeWord), Found{0, 1, 3, "foo"}, "second");
    search.invalidate();
    EXPECT_FALSE(search.lastSelection);
    EXPECT_FALSE(search.lastResult);
    EXPECT_EQ(search.state.cachedSearchTerm, "foo");
    EXPECT_EQ(search.state.lastSearchOptions, wholeWord);
    expectFound(search.findNext("foo", wholeWord), Found{0, 0, 3, "foo"}, "from the top");

    search.reset();
    EXPECT_FALSE(search.state.cachedSearchTerm);
    EXPECT_FALSE(search.state.lastSearchOptions);
    EXPECT_FALSE(search.lastSelection);
}

TEST_F(SearchTest, LineTextsAreReusedUntilIdleOrInvalidated)
{
    feedLines({"alpha"});
    ASSERT_TRUE(search.findNext("alpha", plain));
    // The same number of lines with other text: the cached text still answers.
    terminal.feedString("\r\x1b[2Komega");
    now += 14;
    EXPECT_FALSE(search.findNext("omega", plain));
    now += 14;
    EXPECT_FALSE(search.findNext("omega", plain)) << "each search restarts the idle time";
    now += 15;
    EXPECT_TRUE(search.findNext("omega", plain)) << "15 idle seconds drop the texts";

    terminal.feedString("\r\x1b[2Kdelta");
    EXPECT_FALSE(search.findNext("delta", plain));
    search.invalidate();
    EXPECT_TRUE(search.findNext("delta", plain));

    // A new line count drops them at once.
    terminal.feedString("\r\x1b[2Kgamma");
    EXPECT_FALSE(search.findNext("gamma", plain));
    terminal.feedString("\r\n\r\n\r\n\r\n\r\n\r\n");
    EXPECT_TRUE(search.findNext("gamma", plain));
}

TEST_F(SearchTest, MatchInTheScrollbackHasItsBufferRow)
{
    feedLines({"needle"});
    for (int i = 0; i < 30; ++i) {
        terminal.feedString("\r\nfiller");
    }
    expectFound(search.findNext("needle", plain), Found{0, 0, 6, "needle"}, "top of the scrollback");
    expectFound(search.findPrevious("filler", plain), Found{0, 30, 6, "filler"}, "last line");
}
