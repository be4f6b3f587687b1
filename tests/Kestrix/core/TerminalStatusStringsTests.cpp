#include "OscTestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::OscDelegate;

std::string decrqss(const std::string &request)
{
    return "\x1bP$q" + request + "\x1b\\";
}

class StatusStringTest : public ::testing::Test {
protected:
    OscDelegate delegate;
    Terminal terminal{&delegate, testing::xtermPaletteOptions(80, 24)};

    std::string answer(const std::string &request)
    {
        delegate.replies.clear();
        terminal.feedString(decrqss(request));
        return delegate.replies.size() == 1 ? delegate.replies[0]
                                            : "<" + std::to_string(delegate.replies.size()) + " replies>";
    }
};

TEST_F(StatusStringTest, ReportsTheCurrentSettings)
{
    terminal.curAttr.style = CharacterStyle::bold;
    terminal.curAttr.fg = Attribute::Color::ansi256(1);
    terminal.buffer->setMarginLeft(4);
    terminal.buffer->setMarginRight(59);
    const std::pair<std::string, std::string> cases[] = {
        {"m", "\x1bP1$r0;1;31m\x1b\\"}, {"r", "\x1bP1$r1;24r\x1b\\"},     {"s", "\x1bP1$r5;60s\x1b\\"},
        {"\"q", "\x1bP1$r\"q\x1b\\"},   {"\"p", "\x1bP1$r65;1\"p\x1b\\"},
    };
    for (const auto &[request, expected] : cases) {
        EXPECT_EQ(answer(request), expected) << request;
    }
    terminal.buffer->setScrollTop(2);
    terminal.buffer->setScrollBottom(19);
    EXPECT_EQ(answer("r"), "\x1bP1$r3;20r\x1b\\");
}

TEST_F(StatusStringTest, CursorStyleReportIsTheRealStyle)
{
    const std::pair<CursorStyle, std::string> cases[] = {
        {CursorStyle::blinkBlock, "1"},     {CursorStyle::steadyBlock, "2"},
        {CursorStyle::blinkUnderline, "3"}, {CursorStyle::steadyUnderline, "4"},
        {CursorStyle::blinkBar, "5"},       {CursorStyle::steadyBar, "6"},
    };
    for (const auto &[style, parameter] : cases) {
        terminal.options.cursorStyle = style;
        EXPECT_EQ(answer(" q"), "\x1bP1$r" + parameter + " q\x1b\\") << parameter;
    }
}

TEST_F(StatusStringTest, UnknownRequestsAnswerInvalidAndAreLogged)
{
    terminal.silentLog = false;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(answer("x"), "\x1bP0$r\x1b\\");
    EXPECT_EQ(answer(""), "\x1bP0$r\x1b\\");
    EXPECT_EQ(answer("mm"), "\x1bP0$r\x1b\\");
    EXPECT_EQ(answer("\xc3\xa9"), "\x1bP0$r\x1b\\");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Info: Unknown DCS + x\nInfo: Unknown DCS + \nInfo: Unknown DCS + mm\n"
              "Info: Unknown DCS + [195, 169]\n");
}

TEST_F(StatusStringTest, OverlongRequestIsUnrecognisedAndNotKeptWhole)
{
    terminal.silentLog = false;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(answer("m" + std::string(100000, ';')), "\x1bP0$r\x1b\\");
    const std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_LT(log.size(), 100u);
}

TEST_F(StatusStringTest, EightBitControlsFrameTheReplyWithSingleBytes)
{
    terminal.cc.send8bit = true;
    EXPECT_EQ(answer("m"), "\x90"
                           "1$r0m\x9c");
    EXPECT_EQ(answer("?"), "\x90"
                           "0$r\x9c");
}

// Sets or clears environment variables for one test and puts them back afterwards.
class ScopedEnvironment {
public:
    void set(const char *name, const char *value)
    {
        if (const char *old = std::getenv(name)) {
            saved_.emplace_back(name, std::string(old));
        } else {
            saved_.emplace_back(name, std::nullopt);
        }
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnvironment()
    {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) {
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            } else {
                ::unsetenv(it->first.c_str());
            }
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(ChildEnvironment, TerminalTypeLocaleAndTheCopiedVariablesInOrder)
{
    ScopedEnvironment environment;
    environment.set("LOGNAME", "remy");
    environment.set("USER", nullptr);
    environment.set("DISPLAY", ":1");
    environment.set("LC_TYPE", nullptr);
    environment.set("LC_CTYPE", "fr_FR.UTF-8");
    environment.set("HOME", "/home/remy");
    environment.set("SECRET_TOKEN", "never passed on");

    EXPECT_EQ(Terminal::childEnvironment(std::nullopt, false),
              (std::vector<std::string>{"TERM=xterm-256color", "LANG=en_US.UTF-8", "LOGNAME=remy",
                                        "DISPLAY=:1", "LC_CTYPE=fr_FR.UTF-8", "HOME=/home/remy"}));

    environment.set("USER", "remy");
    environment.set("LC_TYPE", "C");
    EXPECT_EQ(Terminal::childEnvironment("xterm-kestrix", true),
              (std::vector<std::string>{"TERM=xterm-kestrix", "COLORTERM=truecolor", "LANG=en_US.UTF-8",
                                        "LOGNAME=remy", "USER=remy", "DISPLAY=:1", "LC_TYPE=C",
                                        "LC_CTYPE=fr_FR.UTF-8", "HOME=/home/remy"}));
}

} // namespace
} // namespace kestrix
