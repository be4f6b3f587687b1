#include "Kestrix/core/Terminal.h"
#include "ReportingDelegate.h"
#include "TerminalTestSupport.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::RecordingDelegate;
using testing::TerminalWithHost;
using Kind = WindowManipulationCommand::Kind;

TEST(TerminalReplies, ItemsOfEveryKindGoOutConcatenatedInOneCall)
{
    RecordingDelegate delegate;
    Terminal terminal(&delegate, TerminalOptions{});
    const std::vector<uint8_t> bytes = {'1', ';'};
    const std::string text = "2";
    terminal.sendReply({terminal.csi(), bytes, text, "x", uint8_t{'R'}});
    EXPECT_EQ(delegate.sent, "\x1b[1;2xR");
    EXPECT_EQ(delegate.sendCalls, 1);

    terminal.sendReply({});
    EXPECT_EQ(delegate.sendCalls, 2);
}

TEST(TerminalReplies, IntroducersFollowEightBitControls)
{
    Terminal terminal(nullptr, TerminalOptions{});
    EXPECT_EQ(terminal.csi(), "\x1b[");
    EXPECT_EQ(terminal.dcs(), "\x1bP");
    EXPECT_EQ(terminal.osc(), "\x1b]");
    EXPECT_EQ(terminal.st(), "\x1b\\");
    terminal.cc.send8bit = true;
    EXPECT_EQ(terminal.csi(), "\x9b");
    EXPECT_EQ(terminal.dcs(), "\x90");
    EXPECT_EQ(terminal.osc(), "\x9d");
    EXPECT_EQ(terminal.st(), "\x9c");
}

TEST(TerminalReplies, WithoutADelegateNothingIsSent)
{
    Terminal terminal(nullptr, TerminalOptions{});
    terminal.sendReply({"a"});
    terminal.sendReply("b");
    RecordingDelegate delegate;
    terminal.setDelegate(&delegate);
    terminal.sendReply("c");
    EXPECT_EQ(delegate.sent, "c");
}

struct ReplyCase {
    const char *request;
    const char *sevenBit;
    const char *eightBit;
};

// Every report in both forms, on a 10 x 5 terminal with the cursor at home and a host that knows no
// cell size.
const ReplyCase replyCases[] = {
    {"\x1b[c", "\x1b[?65;4;1;2;6;21;22;17;28c", "\x9b?65;4;1;2;6;21;22;17;28c"},
    {"\x1b[0c", "\x1b[?65;4;1;2;6;21;22;17;28c", "\x9b?65;4;1;2;6;21;22;17;28c"},
    {"\x1b[>c", "\x1b[>65;20;1c", "\x9b>65;20;1c"},
    {"\x1b[>0c", "\x1b[>65;20;1c", "\x9b>65;20;1c"},
    {"\x1b[1c", "", ""},
    {"\x1b[=c", "", ""},
    {"\x1b[5n", "\x1b[0n",
     "\x9b"
     "0n"},
    {"\x1b[6n", "\x1b[1;1R",
     "\x9b"
     "1;1R"},
    {"\x1b[7n", "", ""},
    {"\x1b[?6n", "\x1b[?1;1;1R", "\x9b?1;1;1R"},
    {"\x1b[?15n", "\x1b[?10n", "\x9b?10n"},
    {"\x1b[?25n", "\x1b[?21n", "\x9b?21n"},
    {"\x1b[?26n", "\x1b[?27;1;0;0n", "\x9b?27;1;0;0n"},
    {"\x1b[?55n", "\x1b[?53n", "\x9b?53n"},
    {"\x1b[?56n", "\x1b[?57;1n", "\x9b?57;1n"},
    {"\x1b[?62n", "\x1b[0*{",
     "\x9b"
     "0*{"},
    {"\x1b[?63;7n", "\x1bP7!~0000\x1b\\",
     "\x90"
     "7!~0000\x9c"},
    {"\x1b[?63n", "\x1bP0!~0000\x1b\\",
     "\x90"
     "0!~0000\x9c"},
    {"\x1b[?75n", "\x1b[?70n", "\x9b?70n"},
    {"\x1b[?85n", "\x1b[?83n", "\x9b?83n"},
    {"\x1b[?99n", "", ""},
    {"\x1b[>6n", "", ""},
    {"\x1b[14t", "\x1b[4;80;100t",
     "\x9b"
     "4;80;100t"},
    {"\x1b[14;2t", "\x1b[4;80;100t",
     "\x9b"
     "4;80;100t"},
    {"\x1b[15t", "\x1b[5;80;100t",
     "\x9b"
     "5;80;100t"},
    {"\x1b[16t", "\x1b[6;16;10t",
     "\x9b"
     "6;16;10t"},
    {"\x1b[18t", "\x1b[8;5;10t",
     "\x9b"
     "8;5;10t"},
    {"\x1b[19t", "\x1b[9;5;10t",
     "\x9b"
     "9;5;10t"},
    {"\x1b[20t", "\x1b]L\x1b\\", "\x9dL\x9c"},
    {"\x1b[21t", "\x1b]l\x1b\\", "\x9dl\x9c"},
    {"\x1b[11t", "", ""},
    {"\x1b[1;1;1;1;1;1*y", "\x1bP1!~0020\x1b\\",
     "\x90"
     "1!~0020\x9c"},
    {"\x1b[*y", "\x1bP0!~0000\x1b\\",
     "\x90"
     "0!~0000\x9c"},
    {"\x1b[9;1*y", "\x1bP9!~0000\x1b\\",
     "\x90"
     "9!~0000\x9c"},
    {"\x1b[1;1;1;1;1;1y", "", ""},
};

TEST(TerminalReports, RepliesInSevenAndEightBitForms)
{
    for (const ReplyCase &each : replyCases) {
        TerminalWithHost host;
        EXPECT_EQ(host.reply(each.request), each.sevenBit) << each.request;
        host.terminal.cc.send8bit = true;
        EXPECT_EQ(host.reply(each.request), each.eightBit) << each.request;
    }
}

TEST(TerminalReports, PrimaryAttributesFollowTheTerminalName)
{
    const std::pair<const char *, const char *> cases[] = {
        {"xterm", "\x1b[?65;4;1;2;6;21;22;17;28c"},
        {"screen-256color", "\x1b[?1;2c"},
        {"rxvt-unicode-256color", "\x1b[?1;2c"},
        {"linux", "\x1b[?6c"},
        {"vt100", ""},
    };
    for (const auto &[name, expected] : cases) {
        TerminalOptions options;
        options.termName = name;
        TerminalWithHost host(options);
        EXPECT_EQ(host.reply("\x1b[c"), expected) << name;
        EXPECT_EQ(host.reply("\x1b[>c"), "\x1b[>65;20;1c") << name;
    }
    TerminalOptions withoutSixel;
    withoutSixel.enableSixelReported = false;
    TerminalWithHost host(withoutSixel);
    EXPECT_EQ(host.reply("\x1b[c"), "\x1b[?65;1;2;6;21;22;17;28c");
}

TEST(TerminalReports, CursorPositionIsRelativeToTheRegionInOriginModeAndNeverBelowOne)
{
    TerminalWithHost host(testing::optionsOfSize(10, 10));
    Buffer &buffer = *host.terminal.buffer;
    buffer.setScrollTop(4);
    buffer.setMarginLeft(2);
    host.terminal.originMode = true;
    buffer.setY(4);
    buffer.setX(2);
    EXPECT_EQ(host.reply("\x1b[6n"), "\x1b[1;1R");
    // Without margin mode the private report counts columns from the screen's edge.
    EXPECT_EQ(host.reply("\x1b[?6n"), "\x1b[?1;3;1R");

    // The cursor above the region (origin mode set after the cursor moved there).
    buffer.setY(1);
    EXPECT_EQ(host.reply("\x1b[6n"), "\x1b[1;1R");
    EXPECT_EQ(host.reply("\x1b[?6n"), "\x1b[?1;3;1R");
}

// A cursor waiting to wrap after the last column reports that column, with autowrap on or off.
TEST(TerminalReports, CursorPositionWaitingToWrapIsTheLastColumn)
{
    const std::pair<const char *, const char *> cases[] = {
        {"AAAAAAAAAA\x1b[6n", "\x1b[1;10R"},
        {"AAAAAAAAAA\x1b[?6n", "\x1b[?1;10;1R"},
        {"AAAAAAAA\xe4\xb8\x80\x1b[6n", "\x1b[1;10R"},
        {"\x1b[?7lAAAAAAAAAAAA\x1b[6n", "\x1b[1;10R"},
        {"\x1b[?7lAAAAAAAAAAAA\x1b[?6n", "\x1b[?1;10;1R"},
        {"\x1b[?6h\x1b[2;4r\x1b[3;1HAAAAAAAAAA\x1b[6n", "\x1b[3;10R"},
    };
    for (const auto &[request, expected] : cases) {
        TerminalWithHost host;
        EXPECT_EQ(host.reply(request), expected) << request;
    }
}

TEST(TerminalReports, ChecksumSumsTheScalarsOfTheRectangle)
{
    TerminalWithHost host;
    host.terminal.feedString("A\xc3\xa9");
    EXPECT_EQ(host.reply("\x1b[1;1;1;1;1;1*y"), "\x1bP1!~0041\x1b\\");
    // A, é and eight blanks counted as spaces.
    EXPECT_EQ(host.reply("\x1b[2;1;1;1;1*y"), "\x1bP2!~022a\x1b\\");
    EXPECT_EQ(host.reply("\x1b[3;1;2;2;1;1*y"), "\x1bP3!~0000\x1b\\");

    host.delegate.allowsHostQueries = false;
    EXPECT_EQ(host.reply("\x1b[1;1;1;1;1;1*y"), "\x1bP1!~0000\x1b\\");
}

TEST(TerminalReports, ChecksumOfAClusterCountsEveryScalar)
{
    TerminalWithHost host;
    host.terminal.feedString("e\xcc\x81");
    EXPECT_EQ(host.reply("\x1b[1;1;1;1;1;1*y"), "\x1bP1!~0366\x1b\\");
}

// The checksum is 16 bits wide, whatever the sum of the scalars (blanks and the second halves of
// wide characters count as spaces): four hexadecimal digits.
TEST(TerminalReports, ChecksumIsSixteenBitsWide)
{
    const std::pair<const char *, const char *> cases[] = {
        {"\xf0\x9f\x98\x80", "\x1bP1!~f6a0\x1b\\"},
        {"\xef\xbf\xbd\xef\xbf\xbd", "\x1bP1!~007a\x1b\\"},
        {"\xf0\x9f\x98\x80\xf0\x9f\x98\x80\xf0\x9f\x98\x80", "\x1bP1!~e260\x1b\\"},
    };
    for (const auto &[text, expected] : cases) {
        TerminalWithHost host;
        host.terminal.feedString(text);
        EXPECT_EQ(host.reply("\x1b[1;1;1;1;1;6*y"), expected) << text;
    }
}

TEST(TerminalReports, WindowRequestsReachTheDelegateAsCommands)
{
    TerminalWithHost host;
    const std::pair<const char *, WindowManipulationCommand> cases[] = {
        {"\x1b[1t", WindowManipulationCommand::of(Kind::deiconifyWindow)},
        {"\x1b[2t", WindowManipulationCommand::of(Kind::iconifyWindow)},
        {"\x1b[3;10;20t", WindowManipulationCommand::moveWindowTo(10, 20)},
        {"\x1b[4;300;400t", WindowManipulationCommand::resizeWindowTo(400, 300)},
        {"\x1b[5t", WindowManipulationCommand::of(Kind::bringToFront)},
        {"\x1b[6t", WindowManipulationCommand::of(Kind::sendToBack)},
        {"\x1b[7t", WindowManipulationCommand::of(Kind::refreshWindow)},
        {"\x1b[8;24;80t", WindowManipulationCommand::resizeTerminal(80, 24)},
        {"\x1b[9;0t", WindowManipulationCommand::of(Kind::restoreMaximizedWindow)},
        {"\x1b[9;1t", WindowManipulationCommand::of(Kind::maximizeWindow)},
        {"\x1b[9;2t", WindowManipulationCommand::of(Kind::maximizeWindowVertically)},
        {"\x1b[9;3t", WindowManipulationCommand::of(Kind::maximizeWindowHorizontally)},
        {"\x1b[10;0t", WindowManipulationCommand::of(Kind::undoFullScreen)},
        {"\x1b[10;1t", WindowManipulationCommand::of(Kind::switchToFullScreen)},
        {"\x1b[10;2t", WindowManipulationCommand::of(Kind::toggleFullScreen)},
    };
    for (const auto &[request, command] : cases) {
        host.delegate.windowCommands.clear();
        EXPECT_EQ(host.reply(request), "") << request;
        EXPECT_EQ(host.delegate.windowCommands, std::vector{command}) << request;
    }
    host.delegate.windowCommands.clear();
    host.terminal.feedString("\x1b[3;10t\x1b[9t\x1b[11t\x1b[13t\x1b[1;1t");
    EXPECT_TRUE(host.delegate.windowCommands.empty());
}

TEST(TerminalReports, WindowReportsSendTheDelegatesAnswerOrTheCellSize)
{
    TerminalWithHost host;
    host.delegate.cellSize = CellPixelSize{7, 15};
    EXPECT_EQ(host.reply("\x1b[16t"), "\x1b[6;15;7t");
    EXPECT_EQ(host.reply("\x1b[14t"), "\x1b[4;75;70t");
    EXPECT_EQ(host.delegate.windowCommands.back(),
              WindowManipulationCommand::of(Kind::reportTextAreaPixelDimension));

    host.delegate.windowAnswer = std::vector<uint8_t>{'x', 'y'};
    EXPECT_EQ(host.reply("\x1b[18t"), "xy");
    EXPECT_EQ(host.delegate.windowCommands.back(),
              WindowManipulationCommand::of(Kind::reportTextAreaCharacters));

    // A huge cell size saturates instead of overflowing.
    host.delegate.windowAnswer.reset();
    host.delegate.cellSize = CellPixelSize{INT64_MAX, INT64_MAX};
    EXPECT_EQ(host.reply("\x1b[14t"), "\x1b[4;9223372036854775807;9223372036854775807t");
}

TEST(TerminalReports, TitleStacksPushAndPopEachTitle)
{
    TerminalWithHost host;
    host.terminal.feedString("\x1b]2;first\x07\x1b]1;icon\x07\x1b[22;0t\x1b[22;0t\x1b[23;0t");
    EXPECT_EQ(host.terminal.terminalTitleStack, std::vector<std::string>{"first"});
    EXPECT_EQ(host.terminal.terminalIconStack, std::vector<std::string>{"icon"});

    host.terminal.feedString("\x1b]2;second\x07\x1b[22;2t\x1b]2;third\x07");
    EXPECT_EQ(host.terminal.terminalTitleStack.size(), 2u);
    EXPECT_EQ(host.terminal.terminalIconStack.size(), 1u);
    host.terminal.feedString("\x1b[23;2t");
    // The popped title is the current one again: a push now saves it, not the one it replaced.
    EXPECT_EQ(host.terminal.terminalTitle, "second");
    EXPECT_EQ(host.delegate.titles.back(), "second");
    host.terminal.feedString("\x1b[23;1t");
    EXPECT_EQ(host.terminal.iconTitle, "icon");
    EXPECT_EQ(host.delegate.iconTitles.back(), "icon");
    EXPECT_TRUE(host.terminal.terminalIconStack.empty());

    // Popping an empty stack changes nothing.
    const size_t notices = host.delegate.iconTitles.size();
    host.terminal.feedString("\x1b[23;1t");
    EXPECT_EQ(host.delegate.iconTitles.size(), notices);
}

TEST(TerminalReports, TitleStacksKeepTheNewestHundredEntries)
{
    TerminalWithHost host;
    for (int i = 0; i < 101; ++i) {
        host.terminal.feedString("\x1b]0;t" + std::to_string(i) + "\x07\x1b[22;0t");
    }
    ASSERT_EQ(host.terminal.terminalTitleStack.size(), Terminal::maximumTitleStackDepth);
    EXPECT_EQ(host.terminal.terminalTitleStack.front(), "t1");
    EXPECT_EQ(host.terminal.terminalTitleStack.back(), "t100");
    EXPECT_EQ(host.terminal.terminalIconStack.size(), Terminal::maximumTitleStackDepth);
}

TEST(TerminalReports, WithoutADelegateWindowOperationsDoNothing)
{
    Terminal terminal(nullptr, testing::optionsOfSize(10, 5));
    terminal.feedString("\x1b[22;0t\x1b[18t\x1b[c\x1b[6n");
    EXPECT_TRUE(terminal.terminalTitleStack.empty());
}

} // namespace
} // namespace kestrix
