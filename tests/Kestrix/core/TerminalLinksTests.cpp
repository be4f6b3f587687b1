#include "Kestrix/core/LinkPattern.h"
#include "TerminalTestSupport.h"

#include <chrono>
#include <gtest/gtest.h>

namespace kestrix {
namespace {

using Range = LinkMatch::RowRange;

std::string osc8(const std::string &payload, const std::string &text)
{
    return "\x1b]8;" + payload + "\x1b\\" + text + "\x1b]8;;\x1b\\";
}

struct LinkCase {
    const char *name;
    std::string output;
    Position lookup;
    // Empty: no link.
    std::string text;
    std::vector<Range> rowRanges;
    bool isExplicit = false;
};

const std::string url40 = "https://x.test/" + std::string(25, 'a'); // exactly 40 characters

std::vector<LinkCase> linkCases()
{
    return {
        {"trailing comma left out", "see https://x.test/a, ok", {6, 0}, "https://x.test/a", {{0, 4, 20}}},
        {"trailing full stop left out", "at https://x.test/b.", {3, 0}, "https://x.test/b", {{0, 3, 19}}},
        {"explicit payload with parameters",
         "x " + osc8("id=1:foo=bar;https://x.test/a;b", "here") + " y",
         {3, 0},
         "https://x.test/a;b",
         {{0, 2, 6}},
         true},
        {"right half of a wide character",
         osc8("id=2;https://x.test/wide", "\xe4\xb8\xad") + "z",
         {1, 0},
         "https://x.test/wide",
         {{0, 0, 2}},
         true},
        {"payload without a separator falls back to the text",
         osc8("nolink", "https://y.test/z"),
         {4, 0},
         "https://y.test/z",
         {{0, 0, 16}}},
        {"url to the last column continues on an unflagged row",
         url40 + "\r\n/tail more",
         {2, 1},
         url40 + "/tail",
         {{0, 0, 40}, {1, 0, 5}}},
        {"astral character before a url",
         "\xf0\x9d\x90\x80 https://x.test/c",
         {5, 0},
         "https://x.test/c",
         {{0, 2, 18}}},
        {"emoji before a url", "\xf0\x9f\x98\x80 https://x.test/d", {6, 0}, "https://x.test/d", {{0, 3, 19}}},
        {"multi-scalar cluster before a url",
         "\xf0\x9f\x91\x8d\xf0\x9f\x8f\xbd https://x.test/e",
         {6, 0},
         "https://x.test/e",
         {{0, 3, 19}}},
        {"blank cell after a url", "https://x.test/f   ", {17, 0}, "", {}},
        {"cell outside any url", "word https://x.test/g", {1, 0}, "", {}},
        {"path after a dollar sign is not a link", "echo $HOME", {7, 0}, "", {}},
        {"relative path with a dot", "edit src/main.cpp now", {8, 0}, "src/main.cpp", {{0, 5, 17}}},
    };
}

TEST(TerminalLinksTest, LookupsGiveTheLinkTextAndRowRanges)
{
    for (const LinkCase &c : linkCases()) {
        SCOPED_TRACE(c.name);
        Terminal terminal{nullptr, testing::optionsOfSize(40, 6)};
        terminal.feedString(c.output);
        const std::optional<LinkMatch> match =
            terminal.linkMatch(LinkLookupLocation::buffer(c.lookup), LinkLookupMode::explicitAndImplicit);
        if (c.text.empty()) {
            EXPECT_FALSE(match.has_value()) << match->text;
            continue;
        }
        ASSERT_TRUE(match.has_value());
        EXPECT_EQ(match->text, c.text);
        EXPECT_EQ(match->rowRanges, c.rowRanges);
        EXPECT_EQ(match->isExplicit, c.isExplicit);
        EXPECT_EQ(match->row, c.lookup.row);
    }
}

TEST(TerminalLinksTest, ExplicitOnlyIgnoresUrlsInTheText)
{
    Terminal terminal{nullptr, testing::optionsOfSize(40, 4)};
    terminal.feedString("https://x.test/a " + osc8(";https://x.test/b", "b"));
    EXPECT_FALSE(terminal.linkMatch(LinkLookupLocation::buffer({2, 0}), LinkLookupMode::explicitOnly));
    const auto match = terminal.linkMatch(LinkLookupLocation::buffer({17, 0}), LinkLookupMode::explicitOnly);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->text, "https://x.test/b");
}

TEST(TerminalLinksTest, ScreenLocationsCountFromTheTopOfTheViewport)
{
    Terminal terminal{nullptr, testing::optionsOfSize(40, 3)};
    terminal.feedString("https://x.test/top\r\n\r\n\r\n\r\nhttps://x.test/bottom");
    const auto match =
        terminal.linkMatch(LinkLookupLocation::screen({3, 2}), LinkLookupMode::explicitAndImplicit);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->text, "https://x.test/bottom");
    EXPECT_EQ(match->row, terminal.buffer->yDisp() + 2);
}

TEST(TerminalLinksTest, FlaggedWrapJoinsRowsAndDropsNothing)
{
    Terminal terminal{nullptr, testing::optionsOfSize(20, 4)};
    terminal.feedString("\x1b[?7h"
                        "go https://x.test/long/path/x end");
    const auto match =
        terminal.linkMatch(LinkLookupLocation::buffer({2, 1}), LinkLookupMode::explicitAndImplicit);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->text, "https://x.test/long/path/x");
    EXPECT_EQ(match->rowRanges, (std::vector<Range>{{0, 3, 20}, {1, 0, 9}}));
    EXPECT_EQ(match->start, 0);
    EXPECT_EQ(match->end, 9);
}

// Lines a host can write to make the pattern backtrack without end: every lookup must still come
// back at once with no link, not after seconds (or hours).
TEST(TerminalLinksTest, HostileLinesGiveNoMatchWithinTheBound)
{
    const std::vector<std::string> hostileRows = {
        "http://" + std::string(60, ',') + " ",
        "http://[" + std::string(60, '1'),
        "http://" + std::string(73, ','),
    };
    for (const std::string &row : hostileRows) {
        SCOPED_TRACE(row);
        Terminal terminal{nullptr, testing::optionsOfSize(80, 24)};
        for (int64_t line = 0; line < 24; ++line) {
            terminal.feedString("\x1b[" + std::to_string(line + 1) + ";1H" + row);
        }
        const auto started = std::chrono::steady_clock::now();
        for (int64_t col : {3, 40, 70}) {
            const auto match = terminal.linkMatch(LinkLookupLocation::buffer({col, 12}),
                                                  LinkLookupMode::explicitAndImplicit);
            EXPECT_FALSE(match.has_value()) << match->text;
        }
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    }
}

TEST(TerminalLinksTest, AnExhaustedBudgetFindsNothingAfterwards)
{
    LinkPattern pattern(0);
    EXPECT_FALSE(pattern.matches(u"http://" + std::u16string(40, u',') + u" ").has_value());
    EXPECT_TRUE(pattern.exhausted());
    EXPECT_FALSE(pattern.matches(u"https://x.test/a").has_value());
}

} // namespace
} // namespace kestrix
