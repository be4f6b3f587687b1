#include "Kestrix/process/HeadlessTerminal.h"
#include "tests/Kestrix/process/ProcessTestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace kestrix {
namespace {

using namespace std::chrono_literals;
using testing::runUntil;

// What a terminal of the default options answers to `query`, to compare with what the child saw.
std::string replyOfAFreshTerminal(const std::string &query)
{
    struct Recording : TerminalDelegate {
        void terminalSendToHost(Terminal &, std::span<const uint8_t> data) override
        {
            replies.append(data.begin(), data.end());
        }
        std::string replies;
    } recording;
    Terminal terminal(&recording, TerminalOptions{});
    terminal.feedString(query);
    return recording.replies;
}

class HeadlessTerminalTest : public ::testing::Test {
protected:
    bool runUntilEnd()
    {
        size_t before = ends.size();
        return runUntil(queue, [&] { return ends.size() > before; });
    }

    void runShell(const std::string &script)
    {
        headless.process()->startProcess("/bin/sh", {"-c", script});
        ASSERT_TRUE(runUntilEnd());
    }

    // The text of a screen row, trailing blanks trimmed.
    std::string row(int64_t row)
    {
        std::string text;
        for (int64_t col = 0; col < headless.terminal().cols; ++col) {
            auto cell = headless.terminal().cellAt(col, row);
            if (cell && cell->width != 0) {
                text += cell->code == 0 ? " " : headless.terminal().stringForCellCode(cell->code);
            }
        }
        return text.erase(text.find_last_not_of(' ') + 1);
    }

    ManualTaskQueue queue;
    std::vector<std::optional<int32_t>> ends;
    HeadlessTerminal headless{TerminalOptions{}, queue,
                              [this](std::optional<int32_t> code) { ends.push_back(code); }};
};

TEST_F(HeadlessTerminalTest, RealProgramOutputFillsTheScreenAndScrollback)
{
    runShell("seq 1 30; printf 'a\\tb\\bc'");
    // 31 lines on 25 rows: the first six went into the scrollback.
    for (int64_t r = 0; r < 24; ++r) {
        EXPECT_EQ(row(r), std::to_string(r + 7)) << "row " << r;
    }
    EXPECT_EQ(row(24), "a       c");
    EXPECT_EQ(headless.terminal().buffer->yBase(), 6);
    EXPECT_EQ(headless.terminal().cursorPosition(), (std::pair<int64_t, int64_t>{9, 24}));
}

TEST_F(HeadlessTerminalTest, ColouredOutputWithCursorMovesReadsBackAsText)
{
    runShell("printf 'junk\\033[2J\\033[3;5H\\033[1;31mred\\033[0m \\033[38;5;208mamber\\033[m"
             "\\033[1;1Htop\\033[10G|\\033[3;9H\\033[1P\\033[5;1H'");
    EXPECT_EQ(row(0), "top      |");
    EXPECT_EQ(row(1), "");
    EXPECT_EQ(row(2), "    red mber");
    EXPECT_EQ(headless.terminal().cursorPosition(), (std::pair<int64_t, int64_t>{0, 4}));
    auto red = headless.terminal().cellAt(4, 2);
    auto plain = headless.terminal().cellAt(7, 2);
    ASSERT_TRUE(red && plain);
    EXPECT_NE(red->attribute, plain->attribute);
}

TEST_F(HeadlessTerminalTest, ChildSeesTheTerminalsSizeWithSixteenPixelCells)
{
    winsize size = headless.processWindowSize(*headless.process());
    EXPECT_EQ(size.ws_row, 25);
    EXPECT_EQ(size.ws_col, 80);
    EXPECT_EQ(size.ws_xpixel, 16);
    EXPECT_EQ(size.ws_ypixel, 16);
    runShell("stty size");
    EXPECT_EQ(row(0), "25 80");
}

TEST_F(HeadlessTerminalTest, ALocalProgramMayHandOverItsImagesAsFiles)
{
    char name[] = "/tmp/kestrix-headless-image-XXXXXX";
    const int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "\x01\x02\x03\x04", 4), 4);
    ::close(fd);
    const std::string path = name;
    runShell("printf '\\033_Ga=t,i=7,s=1,v=1,q=2,t=f;%s\\033\\\\' \"$(printf %s '" + path + "' | base64 -w0)\"");
    std::filesystem::remove(path);
    EXPECT_TRUE(headless.terminal().kittyGraphicsState.imagesById.contains(7));
}

TEST_F(HeadlessTerminalTest, AKittyImageLeavesTheCursorRightOfItsLastCell)
{
    headless.terminal().feedString("\x1b_Ga=T,s=1,v=1,c=4,r=3;AAAAAA==\x1b\\");
    EXPECT_EQ(headless.terminal().cursorPosition(), (std::pair<int64_t, int64_t>{4, 2}));
}

TEST_F(HeadlessTerminalTest, TerminalRepliesReachTheChild)
{
    headless.process()->startProcess("/bin/sh",
                                     {"-c", "stty raw -echo; printf 'ready\\r\\n'; head -c 3 | od -An -c"});
    ASSERT_TRUE(runUntil(queue, [&] { return row(0) == "ready"; }));
    headless.terminal().sendFocusReport();
    ASSERT_TRUE(runUntilEnd());
    EXPECT_EQ(row(1), " 033   [   I");
    EXPECT_EQ(headless.process()->sendCount(), 1);
}

TEST_F(HeadlessTerminalTest, DeviceAttributesQueryIsAnsweredToTheChild)
{
    // The child reads the answer byte by byte up to its final "c" and shows it with ESC as "E".
    runShell("stty raw -echo; printf '\\033[c'; reply=''; "
             "while c=$(dd bs=1 count=1 2>/dev/null); do reply=\"$reply$c\"; [ \"$c\" = c ] && break; done; "
             "printf '%s' \"$reply\" | tr '\\033' E");
    std::string expected = replyOfAFreshTerminal("\x1b[c");
    ASSERT_FALSE(expected.empty());
    std::replace(expected.begin(), expected.end(), '\x1b', 'E');
    EXPECT_EQ(row(0), expected);
}

TEST_F(HeadlessTerminalTest, FullScreenEditorDrawsOnTheAlternateScreen)
{
    auto file = std::filesystem::temp_directory_path() / ("kestrix-vi-" + std::to_string(::getpid()));
    std::ofstream(file) << "first line\nsecond line\n";
    headless.terminal().feedString("kept on the normal screen\r\n");
    headless.process()->startProcess("/usr/bin/vi", {"-u", "NONE", "-N", file.string()});
    ASSERT_TRUE(runUntil(queue, [&] { return row(1) == "second line" && row(2) == "~"; }))
        << row(0) << "|" << row(1) << "|" << row(24);
    EXPECT_TRUE(headless.terminal().isAlternateBufferActive());
    EXPECT_EQ(row(0), "first line");
    EXPECT_NE(row(24).find(file.filename().string()), std::string::npos) << row(24);
    headless.sendString("ggdw:wq\r");
    ASSERT_TRUE(runUntilEnd());
    EXPECT_EQ(ends[0], 0);
    EXPECT_FALSE(headless.terminal().isAlternateBufferActive());
    EXPECT_EQ(row(0), "kept on the normal screen");
    std::ifstream edited(file);
    std::string first;
    std::getline(edited, first);
    EXPECT_EQ(first, "line");
    std::filesystem::remove(file);
}

TEST_F(HeadlessTerminalTest, SendStringBeforeStartWritesNothing)
{
    headless.sendString("early\n");
    EXPECT_EQ(headless.process()->sendCount(), 0);
    headless.process()->startProcess("/bin/sh", {"-c", "read line; printf '<%s>' \"$line\""});
    headless.sendString("late\n");
    ASSERT_TRUE(runUntilEnd());
    EXPECT_EQ(headless.process()->sendCount(), 1);
    EXPECT_NE(row(1).find("<late>"), std::string::npos) << row(0) << "|" << row(1);
}

TEST_F(HeadlessTerminalTest, ExitStatusReachesOnEndAsTheStatusWord)
{
    runShell("exit 3");
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0], 768);
}

TEST_F(HeadlessTerminalTest, SetScrollbackLimitsTheNormalBuffer)
{
    headless.setScrollback(2);
    EXPECT_EQ(headless.terminal().options.scrollback, 2);
    runShell("seq 1 40");
    EXPECT_EQ(headless.terminal().normalBuffer->lines().count(), 25 + 2);
    EXPECT_EQ(row(0), "17");

    headless.setScrollback(std::nullopt);
    EXPECT_EQ(headless.terminal().options.scrollback, 0);
    EXPECT_FALSE(headless.terminal().normalBuffer->hasScrollback());
    EXPECT_EQ(row(0), "17"); // the screen stays
}

TEST_F(HeadlessTerminalTest, DirectoryFromOsc7IsKept)
{
    runShell("printf '\\033]7;file://build-host/srv/some%%20dir\\033\\\\'");
    EXPECT_EQ(headless.dir(), "file://build-host/srv/some%20dir");
}

TEST_F(HeadlessTerminalTest, KeepsTheReportedDirectoryAndEveryBitmap)
{
    Terminal &terminal = headless.terminal();
    EXPECT_FALSE(headless.dir());
    terminal.hostCurrentDirectory = "/srv/www";
    headless.terminalCurrentDirectoryDidChange(terminal);
    EXPECT_EQ(headless.dir(), "/srv/www");

    const uint8_t red[] = {255, 0, 0, 255};
    headless.terminalBitmapImage(terminal, red, 1, 1);
    headless.terminalBitmapImage(terminal, {}, 0, 0);
    ASSERT_EQ(headless.images().size(), 2u);
    EXPECT_EQ(headless.images()[0].bytes, std::vector<uint8_t>(red, red + 4));
    EXPECT_EQ(headless.images()[0].width, 1);
    EXPECT_EQ(headless.images()[1].height, 0);
}

TEST_F(HeadlessTerminalTest, SixelOutputIsKeptAsABitmap)
{
    headless.terminal().feedString("\x1bPq#0;2;100;0;0#0~~-\x1b\\");
    ASSERT_EQ(headless.images().size(), 1u);
    EXPECT_EQ(headless.images()[0].width, 2);
    EXPECT_EQ(headless.images()[0].height, 6);
    EXPECT_EQ(headless.images()[0].bytes.size(), 2u * 6 * 4);
}

TEST_F(HeadlessTerminalTest, ImagesKeepTheNewestWithinTheImageBudget)
{
    Terminal &terminal = headless.terminal();
    terminal.options.kittyImageCacheLimitBytes = 10;
    const std::vector<uint8_t> four(4, 7);
    for (int i = 1; i <= 3; ++i) {
        headless.terminalBitmapImage(terminal, four, i, 1);
    }
    ASSERT_EQ(headless.images().size(), 2u) << "12 bytes do not fit in 10";
    EXPECT_EQ(headless.images()[0].width, 2);
    EXPECT_EQ(headless.images()[1].width, 3);

    for (size_t i = 0; i < HeadlessTerminal::maximumImageCount + 5; ++i) {
        headless.terminalBitmapImage(terminal, {}, 0, 0);
    }
    EXPECT_EQ(headless.images().size(), HeadlessTerminal::maximumImageCount);
}

TEST_F(HeadlessTerminalTest, AnswersHostQueriesItself)
{
    Terminal &terminal = headless.terminal();
    EXPECT_TRUE(headless.terminalAllowsHostQueries(terminal));
    EXPECT_FALSE(headless.terminalWindowRequest(terminal, WindowManipulationCommand{}));
    EXPECT_FALSE(headless.terminalCellPixelSize(terminal));
    EXPECT_FALSE(headless.terminalReadClipboard(terminal));
}

TEST_F(HeadlessTerminalTest, ReleasingWhileTheChildRunsLeavesNoZombie)
{
    auto owned = std::make_unique<HeadlessTerminal>(TerminalOptions{}, queue, [](std::optional<int32_t>) {});
    owned->process()->startProcess("/bin/sleep", {"30"});
    pid_t child = owned->process()->shellPid();
    owned.reset();
    EXPECT_TRUE(runUntil(queue, [&] { return !testing::isOurChild(child); }));
}

} // namespace
} // namespace kestrix
