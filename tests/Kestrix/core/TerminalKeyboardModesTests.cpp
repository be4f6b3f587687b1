#include "Kestrix/core/Terminal.h"
#include "ReportingDelegate.h"
#include "TerminalTestSupport.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::TerminalWithHost;

std::vector<int64_t> stackValues(const Terminal::KeyboardModeState &state)
{
    std::vector<int64_t> values;
    for (KittyKeyboardFlags each : state.stack) {
        values.push_back(each.rawValue);
    }
    return values;
}

TEST(TerminalKeyboardModes, EachScreenKeepsItsOwnFlags)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.feedString("\x1b[>1u");
    EXPECT_EQ(t.currentKeyboardFlags(), KittyKeyboardFlags::disambiguateEscapeCodes);
    t.feedString("\x1b[?1049h");
    EXPECT_TRUE(t.currentKeyboardFlags().isEmpty());
    t.feedString("\x1b[>8u");
    EXPECT_EQ(t.keyboardModeAlt.flags.rawValue, 8);
    t.feedString("\x1b[?1049l");
    EXPECT_EQ(t.currentKeyboardFlags().rawValue, 1);
    EXPECT_EQ(stackValues(t.keyboardModeNormal), std::vector<int64_t>{0});
}

TEST(TerminalKeyboardModes, PushesKeepTheNewestSixteenEntries)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    for (int i = 1; i <= 17; ++i) {
        t.feedString("\x1b[>" + std::to_string(i) + "u");
    }
    const std::vector<int64_t> stack = stackValues(t.keyboardModeNormal);
    ASSERT_EQ(stack.size(), Terminal::maximumKeyboardModeStackDepth);
    // The first push saved 0; it is gone, and so is nothing else.
    EXPECT_EQ(stack.front(), 1);
    EXPECT_EQ(stack.back(), 16);
    EXPECT_EQ(t.currentKeyboardFlags().rawValue, 17);
}

TEST(TerminalKeyboardModes, PopRestoresOrEmptiesTheStack)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.feedString("\x1b[>1u\x1b[>2u\x1b[>3u\x1b[<2u");
    EXPECT_EQ(t.currentKeyboardFlags().rawValue, 1);
    EXPECT_EQ(stackValues(t.keyboardModeNormal), std::vector<int64_t>{0});
    t.feedString("\x1b[<u");
    EXPECT_EQ(t.currentKeyboardFlags().rawValue, 0);
    EXPECT_TRUE(t.keyboardModeNormal.stack.empty());

    t.feedString("\x1b[>1u\x1b[>2u\x1b[<5u");
    EXPECT_TRUE(t.keyboardModeNormal.stack.empty());
    EXPECT_EQ(t.currentKeyboardFlags().rawValue, 0);
}

TEST(TerminalKeyboardModes, SetReplacesAddsOrRemovesBits)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    const std::pair<const char *, int64_t> steps[] = {
        {"\x1b[=2u", 2},      {"\x1b[=5;2u", 7}, {"\x1b[=4;3u", 3},  {"\x1b[=31;9u", 3},
        {"\x1b[=255;1u", 31}, {"\x1b[=u", 0},    {"\x1b[>255u", 31},
    };
    for (const auto &[request, flags] : steps) {
        t.feedString(request);
        EXPECT_EQ(t.currentKeyboardFlags().rawValue, flags) << request;
    }
}

TEST(TerminalKeyboardModes, QueryAnswersTheCurrentFlags)
{
    TerminalWithHost host;
    host.terminal.feedString("\x1b[=3u");
    EXPECT_EQ(host.reply("\x1b[?u"), "\x1b[?3u");
    host.terminal.cc.send8bit = true;
    EXPECT_EQ(host.reply("\x1b[?u"), "\x9b?3u");
}

TEST(TerminalKeyboardModes, OtherCsiUAreDeclined)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    EXPECT_FALSE(t.kittyKeyboardCsiU(std::vector<int64_t>{0}, {}));
    const uint8_t dollar[] = {'$'};
    const uint8_t two[] = {'>', '>'};
    EXPECT_FALSE(t.kittyKeyboardCsiU(std::vector<int64_t>{0}, dollar));
    EXPECT_FALSE(t.kittyKeyboardCsiU(std::vector<int64_t>{1}, two));
    EXPECT_EQ(host.reply("\x1b[$u\x1b['u"), "");
    EXPECT_TRUE(t.currentKeyboardFlags().isEmpty());
}

TEST(TerminalKeyboardModes, ResetClearsBothScreens)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.feedString("\x1b[>1u\x1b[?1049h\x1b[>2u\x1b[?1049l\x1b"
                 "c");
    EXPECT_EQ(t.keyboardModeNormal, Terminal::KeyboardModeState{});
    EXPECT_EQ(t.keyboardModeAlt, Terminal::KeyboardModeState{});
}

} // namespace
} // namespace kestrix
