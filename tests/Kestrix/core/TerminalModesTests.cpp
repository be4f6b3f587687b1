#include "Kestrix/core/TaskQueue.h"
#include "Kestrix/core/Terminal.h"
#include "ReportingDelegate.h"
#include "TerminalTestSupport.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using namespace std::chrono_literals;
using testing::rowText;
using testing::TerminalWithHost;

std::string modeReport(const std::string &mode, int state, bool decPrivate, bool eightBit = false)
{
    return std::string(eightBit ? "\x9b" : "\x1b[") + (decPrivate ? "?" : "") + mode + ";" +
           std::to_string(state) + "$y";
}

TEST(TerminalModes, ModeRequestsAnswerTheStateAfterConstruction)
{
    const std::pair<const char *, int> privateModes[] = {
        {"1", 2},    {"2", 1},    {"3", 2},    {"5", 2},    {"6", 2},    {"7", 1},    {"8", 1},
        {"10", 4},   {"13", 2},   {"25", 1},   {"40", 1},   {"47", 2},   {"95", 1},   {"1001", 2},
        {"1034", 4}, {"1047", 2}, {"1048", 2}, {"1049", 2}, {"2026", 2}, {"9999", 0},
    };
    for (const auto &[mode, state] : privateModes) {
        TerminalWithHost host;
        EXPECT_EQ(host.reply(std::string("\x1b[?") + mode + "$p"), modeReport(mode, state, true)) << mode;
        host.terminal.cc.send8bit = true;
        EXPECT_EQ(host.reply(std::string("\x1b[?") + mode + "$p"), modeReport(mode, state, true, true))
            << mode;
    }
    const std::pair<const char *, int> ansiModes[] = {
        {"0", 0}, {"1", 4},  {"2", 2},  {"3", 2},  {"4", 2},
        {"6", 0}, {"12", 1}, {"19", 4}, {"20", 2}, {"21", 0},
    };
    for (const auto &[mode, state] : ansiModes) {
        TerminalWithHost host;
        EXPECT_EQ(host.reply(std::string("\x1b[") + mode + "$p"), modeReport(mode, state, false)) << mode;
    }
    TerminalWithHost host;
    EXPECT_EQ(host.reply("\x1b[$p"), "\x1b[0;0$y");
    EXPECT_EQ(host.reply("\x1b[?$p"), "\x1b[?0;0$y");
}

TEST(TerminalModes, PrivateModesSetAndResetWhatTheRequestReports)
{
    const char *modes[] = {"1",    "4",    "6",    "7",    "9",    "12",   "40",   "45",   "47",
                           "66",   "69",   "1000", "1002", "1003", "1004", "1005", "1006", "1015",
                           "1016", "1047", "1048", "1049", "2004", "2026"};
    for (const char *mode : modes) {
        TerminalWithHost host;
        host.terminal.feedString(std::string("\x1b[?") + mode + "h");
        EXPECT_EQ(host.reply(std::string("\x1b[?") + mode + "$p"), modeReport(mode, 1, true)) << mode;
        host.terminal.feedString(std::string("\x1b[?") + mode + "l");
        EXPECT_EQ(host.reply(std::string("\x1b[?") + mode + "$p"), modeReport(mode, 2, true)) << mode;
    }
}

TEST(TerminalModes, WritingModesChangeInTheTerminalAndBothBuffers)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.feedString("\x1b[4h\x1b[?69h\x1b[?7l");
    for (const Buffer *each : {t.normalBuffer.get(), t.altBuffer.get()}) {
        EXPECT_TRUE(each->modes().insertMode);
        EXPECT_TRUE(each->modes().marginMode);
        EXPECT_FALSE(each->modes().wraparound);
    }
    EXPECT_TRUE(t.insertMode && t.marginMode && !t.wraparound);
    EXPECT_EQ(host.reply("\x1b[4$p"), "\x1b[4;1$y");
    t.feedString("\x1b[4l\x1b[?69l\x1b[?7h");
    for (const Buffer *each : {t.normalBuffer.get(), t.altBuffer.get()}) {
        EXPECT_FALSE(each->modes().insertMode || each->modes().marginMode || !each->modes().wraparound);
    }
}

TEST(TerminalModes, WritingModesSetOnOneScreenGovernTheOtherAndSurviveANewScreen)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    // Wraparound turned off on the normal screen: the alternate screen overwrites its last column.
    t.feedString("\x1b[?7l\x1b[?1049h0123456789AB");
    EXPECT_EQ(rowText(t, 0), "012345678B");
    EXPECT_EQ(rowText(t, 1), "");
    // Insert mode turned on on the alternate screen: the normal screen shifts its text.
    t.feedString("\x1b[4h\x1b[?1049l\x1b[Hxy\x1b[Hab");
    EXPECT_EQ(rowText(t, 0), "abxy");
    // A full reset builds a new normal screen, which reads the reset modes and later changes.
    t.feedString("\x1b" "c0123456789AB");
    EXPECT_EQ(rowText(t, 0), "0123456789");
    EXPECT_EQ(rowText(t, 1), "AB");
    t.feedString("\x1b[?7l\x1b[3H0123456789CD");
    EXPECT_EQ(rowText(t, 2), "012345678D");
}

TEST(TerminalModes, UnknownModesDoNotStopTheRestOfTheList)
{
    TerminalWithHost host;
    host.terminal.feedString("\x1b[?9999;1;41;63h\x1b[30;20h");
    EXPECT_TRUE(host.terminal.applicationCursor);
    EXPECT_TRUE(host.terminal.lineFeedMode);
    // Other intermediates do nothing.
    host.terminal.feedString("\x1b[>1l\x1b[>20l");
    EXPECT_TRUE(host.terminal.applicationCursor);
    EXPECT_TRUE(host.terminal.lineFeedMode);
    host.terminal.feedString("\x1b[20l");
    EXPECT_FALSE(host.terminal.lineFeedMode);
}

TEST(TerminalModes, SoftResetTurnsInsertModeOffEverywhere)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.feedString("\x1b[4h\x1b[?7l\x1b[?6h\x1b[?1h\x1b[?66h\x1b[?25l\x1b[61\"p");
    t.curAttr.fg = Attribute::Color::ansi256(1);
    t.ansiColors[1] = Color(1, 2, 3);
    const int revealed = host.delegate.revealed;
    t.feedString("\x1b[!p");
    for (const Buffer *each : {t.normalBuffer.get(), t.altBuffer.get()}) {
        EXPECT_FALSE(each->modes().insertMode);
        EXPECT_TRUE(each->modes().wraparound);
    }
    EXPECT_FALSE(t.insertMode);
    EXPECT_TRUE(t.wraparound);
    EXPECT_FALSE(t.originMode || t.applicationCursor || t.applicationKeypad || t.cursorHidden);
    EXPECT_EQ(t.curAttr, Attribute());
    EXPECT_EQ(t.conformance, Terminal::TerminalConformance::vt500);
    EXPECT_EQ(t.ansiColors, t.defaultAnsiColors);
    EXPECT_EQ(host.delegate.revealed, revealed + 1);
}

TEST(TerminalModes, AlternateScreenModesKeepOrClearItsContents)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.feedString("\x1b[?47hX\x1b[?47l");
    EXPECT_FALSE(t.isAlternateBufferActive());
    t.feedString("\x1b[?47h");
    EXPECT_TRUE(t.isAlternateBufferActive());
    EXPECT_EQ(rowText(t, 0), "X");
    EXPECT_EQ(host.reply("\x1b[?47$p"), "\x1b[?47;1$y");
    t.feedString("\x1b[?1047l\x1b[?1047h");
    EXPECT_EQ(rowText(t, 0), "");
    EXPECT_EQ(host.delegate.bufferSwitches, 5);
}

TEST(TerminalModes, ScreenSwitchShowsAHiddenCursorAndMarksTheScreenDirty)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.feedString("\x1b[?25l");
    EXPECT_EQ(host.delegate.concealed, 1);
    t.resetDirtyRows();
    t.feedString("\x1b[?1049h");
    EXPECT_FALSE(t.cursorHidden);
    EXPECT_EQ(host.delegate.revealed, 1);
    EXPECT_EQ(t.dirtyRowRange(), (std::pair<int64_t, int64_t>{0, 4}));
    // Showing a visible cursor tells nobody.
    t.feedString("\x1b[?25h");
    EXPECT_EQ(host.delegate.revealed, 1);
}

TEST(TerminalModes, Mode1049RestoresTheCursorOfTheNormalScreen)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.feedString("\x1b[3;4Habc\x1b[?1049h");
    EXPECT_TRUE(t.isAlternateBufferActive());
    t.feedString("\x1b[5;9Hxyz\x1b[?1049l");
    EXPECT_FALSE(t.isAlternateBufferActive());
    EXPECT_EQ(t.cursorPosition(), (std::pair<int64_t, int64_t>{6, 2}));
    EXPECT_EQ(rowText(t, 2), "   abc");
    // The alternate screen was cleared on the way out.
    t.feedString("\x1b[?47h");
    EXPECT_EQ(rowText(t, 4), "");
}

TEST(TerminalModes, ReverseWraparoundNeedsWraparound)
{
    TerminalWithHost host;
    host.terminal.feedString("\x1b[?7l\x1b[?45h");
    EXPECT_FALSE(host.terminal.reverseWraparound);
    host.terminal.feedString("\x1b[?7h\x1b[?45h");
    EXPECT_TRUE(host.terminal.reverseWraparound);
}

TEST(TerminalModes, ReverseVideoAttributeIsReportedUntilTheAttributeChanges)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.feedString("\x1b[?5h");
    EXPECT_EQ(t.curAttr.fg, Attribute::Color::defaultInvertedColor());
    EXPECT_EQ(t.curAttr.bg, Attribute::Color::defaultInvertedColor());
    EXPECT_EQ(host.reply("\x1b[?5$p"), "\x1b[?5;1$y");
    t.curAttr.style = CharacterStyle::bold;
    EXPECT_EQ(host.reply("\x1b[?5$p"), "\x1b[?5;2$y");
    t.feedString("\x1b[?5l");
    EXPECT_EQ(t.curAttr, Attribute());
}

TEST(TerminalModes, FocusReportingSendsTheCurrentStateAtOnce)
{
    TerminalWithHost host;
    EXPECT_EQ(host.reply("\x1b[?1004h"), "\x1b[I");
    EXPECT_EQ(host.reply("\x1b[?1004l"), "");
    host.terminal.setFocused(false);
    EXPECT_EQ(host.delegate.sent, "");
    host.terminal.cc.send8bit = true;
    EXPECT_EQ(host.reply("\x1b[?1004h"), "\x9bO");
    host.delegate.sent.clear();
    host.terminal.setFocused(true);
    EXPECT_EQ(host.delegate.sent, "\x9bI");
}

TEST(TerminalModes, SynchronizedOutputTellsTheStartOnceAndReArmsItsTimeOut)
{
    ManualTaskQueue queue;
    TerminalWithHost host(testing::optionsOfSize(10, 5), &queue);
    host.terminal.feedString("\x1b[?2026h");
    queue.advance(600ms);
    host.terminal.feedString("\x1b[?2026h");
    EXPECT_EQ(host.delegate.synchronizedOutput, std::vector<bool>{true});
    queue.advance(600ms);
    EXPECT_TRUE(host.terminal.synchronizedOutputActive);
    queue.advance(400ms);
    EXPECT_FALSE(host.terminal.synchronizedOutputActive);
    EXPECT_EQ(host.delegate.synchronizedOutput, (std::vector<bool>{true, false}));

    host.terminal.feedString("\x1b[?2026h\x1b[?2026l");
    EXPECT_EQ(host.delegate.synchronizedOutput, (std::vector<bool>{true, false, true, false}));
}

TEST(TerminalModes, ColumnSwitchNeedsPermissionAndStartsAFreshScreen)
{
    TerminalWithHost host(testing::optionsOfSize(80, 5));
    Terminal &t = host.terminal;
    t.feedString("text\x1b[?40l\x1b[?3h");
    EXPECT_EQ(t.cols, 80);
    EXPECT_EQ(host.delegate.resizes, 0);

    t.feedString("\x1b[?40h\x1b[?25l\x1b[?3h");
    EXPECT_EQ(t.cols, 132);
    EXPECT_EQ(t.buffer->cols(), 132);
    EXPECT_EQ(t.options.cols, 132);
    EXPECT_EQ(rowText(t, 0), "");
    EXPECT_TRUE(t.cursorHidden);
    EXPECT_EQ(host.delegate.resizes, 1);
    EXPECT_EQ(host.reply("\x1b[?3$p"), "\x1b[?3;1$y");

    t.feedString("\x1b[?3l");
    EXPECT_EQ(t.cols, 80);
    EXPECT_EQ(host.delegate.resizes, 2);
    EXPECT_EQ(host.reply("\x1b[?3$p"), "\x1b[?3;2$y");
}

TEST(TerminalModes, ModeTwoDesignatesAsciiIntoEverySet)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.feedString("\x1b(0\x1b)0\x1b*0\x1b+0");
    ASSERT_TRUE(t.charset.has_value());
    t.feedString("\x1b[?2l");
    EXPECT_TRUE(t.charset.has_value());
    t.feedString("\x1b[?2h");
    EXPECT_FALSE(t.charset.has_value());
    for (const auto &each : t.gCharsets) {
        EXPECT_FALSE(each.has_value());
    }
}

TEST(TerminalModes, MouseModesTellTheDelegate)
{
    TerminalWithHost host;
    const int before = host.delegate.mouseModeChanges;
    host.terminal.feedString("\x1b[?1002h");
    EXPECT_EQ(host.terminal.mouseMode(), Terminal::MouseMode::buttonEventTracking);
    host.terminal.feedString("\x1b[?1000l");
    EXPECT_EQ(host.terminal.mouseMode(), Terminal::MouseMode::off);
    EXPECT_EQ(host.delegate.mouseModeChanges, before + 2);
}

TEST(TerminalModes, ConformanceLevelChoosesSevenOrEightBitReplies)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.feedString("\x1b[64;2\"p");
    EXPECT_EQ(t.conformance, Terminal::TerminalConformance::vt400);
    EXPECT_TRUE(t.cc.send8bit);
    EXPECT_EQ(host.reply("\x1b[5n"), "\x9b"
                                     "0n");
    t.feedString("\x1b[65\"p");
    EXPECT_EQ(t.conformance, Terminal::TerminalConformance::vt500);
    EXPECT_TRUE(t.cc.send8bit);
    t.feedString("\x1b[61\"p");
    EXPECT_EQ(t.conformance, Terminal::TerminalConformance::vt100);
    EXPECT_FALSE(t.cc.send8bit);
    t.feedString("\x1b[63;0\"p");
    EXPECT_TRUE(t.cc.send8bit);
    t.feedString("\x1b[62;1\"p");
    EXPECT_EQ(t.conformance, Terminal::TerminalConformance::vt200);
    EXPECT_FALSE(t.cc.send8bit);
}

TEST(TerminalModes, CursorStyleChangesAreToldOnce)
{
    TerminalWithHost host;
    Terminal &t = host.terminal;
    t.feedString("\x1b[4 q\x1b[4 q");
    EXPECT_EQ(t.options.cursorStyle, CursorStyle::steadyUnderline);
    EXPECT_EQ(host.delegate.cursorStyles, std::vector{CursorStyle::steadyUnderline});
    t.feedString("\x1b[7 q\x1b[2q");
    EXPECT_EQ(t.options.cursorStyle, CursorStyle::steadyUnderline);
    const std::pair<const char *, CursorStyle> cases[] = {
        {"\x1b[ q", CursorStyle::blinkBlock},      {"\x1b[2 q", CursorStyle::steadyBlock},
        {"\x1b[3 q", CursorStyle::blinkUnderline}, {"\x1b[5 q", CursorStyle::blinkBar},
        {"\x1b[6 q", CursorStyle::steadyBar},      {"\x1b[1 q", CursorStyle::blinkBlock},
    };
    for (const auto &[request, style] : cases) {
        t.feedString(request);
        EXPECT_EQ(t.options.cursorStyle, style) << request;
    }
}

TEST(TerminalModes, ShiftEscapeOptionTakesZeroAndOne)
{
    TerminalWithHost host;
    host.terminal.feedString("\x1b[>1s");
    EXPECT_TRUE(host.terminal.mouseShiftCapture);
    host.terminal.feedString("\x1b[>2s");
    EXPECT_TRUE(host.terminal.mouseShiftCapture);
    host.terminal.feedString("\x1b[>s");
    EXPECT_FALSE(host.terminal.mouseShiftCapture);
}

TEST(TerminalModes, UnhandledRequestsAreLoggedOnlyWhenLoggingIsOn)
{
    const std::pair<const char *, const char *> cases[] = {
        {"\x1b[?2l", "Info: Unhandled DEC Private Mode Reset (DECRST) with 2\n"},
        {"\x1b[?41h", "Info: Unhandled DEC Private Mode Set (DECSET) with 41\n"},
        {"\x1b[?63l", "Info: Unhandled DEC Private Mode Reset (DECRST) with 63\n"},
        {"\x1b[30h", "Info: Unhandled verbatim setMode with 30 and []\n"},
        {"\x1b[>4h", "Info: Unhandled setMode (SM) with 4 and [62]\n"},
        {"\x1b[1;2%!p", "Info: Unhandled CSI 3733 with pars=[1, 2]\n"},
        {"\x1b[1c", "Info: SendDeviceAttributes got [1] and \n"},
        {"\x1b[11t", "Info: Unhandled Window command: [11]\n"},
        {"\x1b[x", "Info: Not implemented CSI x with collect: collect=[] and pars=[0]\n"},
        {"\x1b[2{", "Info: CSI # { not implemented - XTPUSHSGR with [2]\n"},
        {"\x1b[}", "Info: CSI # } not implemented- XTPOPSGR with [0]\n"},
        {"\x1b[30l\x1b[?95h\x1b[?41l", ""},
    };
    for (const auto &[request, line] : cases) {
        TerminalWithHost host;
        ::testing::internal::CaptureStdout();
        host.terminal.feedString(request);
        host.terminal.silentLog = false;
        host.terminal.feedString(request);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), line) << request + 1;
    }
}

} // namespace
} // namespace kestrix
