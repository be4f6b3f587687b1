#include "Kestrix/core/Terminal.h"
#include "TerminalTestSupport.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::RecordingDelegate;

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

} // namespace
} // namespace kestrix
