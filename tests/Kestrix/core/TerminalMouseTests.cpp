#include "Kestrix/core/Terminal.h"
#include "ReportingDelegate.h"
#include "TerminalTestSupport.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::TerminalWithHost;
using Encoding = Terminal::MouseProtocolEncoding;

std::string press(TerminalWithHost &host, int64_t flags, int64_t x, int64_t y)
{
    host.delegate.sent.clear();
    host.terminal.sendMouseButton(flags, x, y);
    return host.delegate.sent;
}

TEST(TerminalMouse, ButtonCodesAndModifiers)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    const std::pair<int64_t, int64_t> buttons[] = {{1, 1}, {2, 2}, {3, 0}, {4, 64}, {5, 65}, {6, 0}, {0, 0}};
    for (const auto &[button, code] : buttons) {
        EXPECT_EQ(t.mouseButtonFlags(button, false, false, false, false), code) << button;
    }
    EXPECT_EQ(t.mouseButtonFlags(4, true, false, false, false), 3);

    t.feedString("\x1b[?9h");
    EXPECT_EQ(t.mouseButtonFlags(1, false, true, true, true), 1);
    for (const char *mode : {"\x1b[?1000h", "\x1b[?1002h", "\x1b[?1003h"}) {
        t.feedString(mode);
        EXPECT_EQ(t.mouseButtonFlags(1, false, true, true, true), 1 + 4 + 8 + 16) << mode;
        EXPECT_EQ(t.mouseButtonFlags(1, true, true, false, false), 3 + 4) << mode;
    }
}

TEST(TerminalMouse, SgrReportsTellAReleaseByTheFinalByte)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.feedString("\x1b[?1000h\x1b[?1006h");
    EXPECT_EQ(press(host, t.mouseButtonFlags(3, false, false, false, false), 0, 0), "\x1b[<0;1;1M");
    EXPECT_EQ(press(host, t.mouseButtonFlags(3, true, false, false, false), 0, 0), "\x1b[<0;1;1m");
    EXPECT_EQ(press(host, t.mouseButtonFlags(3, false, true, false, false), 0, 0), "\x1b[<4;1;1M");
    // A release keeps its modifier bits; a drag with button 3 held is not a release.
    EXPECT_EQ(press(host, t.mouseButtonFlags(3, true, false, false, true), 4, 2), "\x1b[<16;5;3m");
    host.delegate.sent.clear();
    t.sendMouseMotion(3, 1, 1, 1, 1);
    EXPECT_EQ(host.delegate.sent, "\x1b[<35;2;2M");
}

TEST(TerminalMouse, EveryEncodingInSevenAndEightBitForms)
{
    struct Case {
        Encoding encoding;
        const char *sevenBit;
        const char *eightBit;
    };
    // A press of button 1 at column 4, row 2, pixel 40, 35.
    const Case cases[] = {
        {Encoding::x10, "\x1b[M!%#", "\x9bM!%#"},
        {Encoding::utf8, "\x1b[M!%#", "\x9bM!%#"},
        {Encoding::sgr, "\x1b[<1;5;3M", "\x9b<1;5;3M"},
        {Encoding::urxvt, "\x1b[33;5;3M",
         "\x9b"
         "33;5;3M"},
        {Encoding::sgrPixel, "\x1b[<1;40;35M", "\x9b<1;40;35M"},
    };
    for (const Case &each : cases) {
        TerminalWithHost host;
        host.terminal.mouseProtocol = each.encoding;
        host.terminal.encodeAndSendMouse(1, 4, 2, 40, 35);
        EXPECT_EQ(host.delegate.sent, each.sevenBit);
        host.delegate.sent.clear();
        host.terminal.cc.send8bit = true;
        host.terminal.encodeAndSendMouse(1, 4, 2, 40, 35);
        EXPECT_EQ(host.delegate.sent, each.eightBit);
    }
}

TEST(TerminalMouse, ReleasesInTheOlderEncodingsReportCodeThree)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.mouseProtocol = Encoding::urxvt;
    EXPECT_EQ(press(host, 3, 0, 0), "\x1b[35;1;1M");
    t.mouseProtocol = Encoding::x10;
    EXPECT_EQ(press(host, 3, 0, 0), "\x1b[M#!!");
    t.mouseProtocol = Encoding::sgrPixel;
    EXPECT_EQ(press(host, 3 + 8, 7, 9), "\x1b[<8;7;9m");
}

TEST(TerminalMouse, X10PositionsStopAtTheLastByte)
{
    TerminalWithHost host;
    EXPECT_EQ(press(host, 0, 300, 221), std::string("\x1b[M ") + "\xff\xfe");
}

TEST(TerminalMouse, Utf8PositionsUseOneOrTwoBytesUpToTheirLimit)
{
    const std::pair<int64_t, std::string> columns[] = {
        {94, "\x7f"},       {95, "\xc2\x80"},   {2013, "\xdf\xbe"}, {2014, std::string(1, '\0')},
        {2015, "\xdf\xbf"}, {5000, "\xdf\xbf"},
    };
    for (const auto &[column, bytes] : columns) {
        TerminalWithHost host;
        host.terminal.mouseProtocol = Encoding::utf8;
        EXPECT_EQ(press(host, 0, column, 0), "\x1b[M " + bytes + "!") << column;
    }
}

} // namespace
} // namespace kestrix
