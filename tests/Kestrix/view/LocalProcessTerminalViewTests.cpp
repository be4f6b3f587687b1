#include "Kestrix/view/LocalProcessTerminalView.h"
#include "TerminalViewTestSupport.h"
#include "../../support/WaitUntil.h"

#include <QClipboard>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <QGuiApplication>

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace kestrix {
namespace {

using testing::FixedFontMeasurer;

// Cells of 7 x 14 at scale 1.
constexpr FontMeasurement sevenByFourteen{10, 3, 1, 7};
constexpr int scrollerWidth = 15;

QRect gridFrame(int cols, int rows)
{
    return QRect(0, 0, cols * 7 + scrollerWidth, rows * 14);
}

class RecordingProcessHost final : public LocalProcessTerminalViewDelegate {
public:
    void processViewDidResize(LocalProcessTerminalView &, int64_t cols, int64_t rows) override
    {
        sizes.push_back({cols, rows});
    }
    void processViewTitleDidChange(LocalProcessTerminalView &, const std::string &title) override
    {
        titles.push_back(title);
    }
    void processViewDirectoryDidChange(LocalProcessTerminalView &, const std::optional<std::string> &directory) override
    {
        directories.push_back(directory);
    }
    void processViewProcessDidExit(LocalProcessTerminalView &, std::optional<int32_t> exitCode) override
    {
        exits.push_back(exitCode);
    }

    std::vector<std::pair<int64_t, int64_t>> sizes;
    std::vector<std::string> titles;
    std::vector<std::optional<std::string>> directories;
    std::vector<std::optional<int32_t>> exits;
};

// A local-process view in a shown window. With `queue`, deferred work waits for the test; without
// it, it runs on the Qt event loop, as a running program needs.
struct ProcessViewFixture {
    explicit ProcessViewFixture(QRect frame = gridFrame(80, 24), TaskQueue *queue = nullptr)
        : measurer(std::make_shared<FixedFontMeasurer>(sevenByFourteen))
    {
        TerminalViewEnvironment environment;
        environment.fontMeasurer = measurer;
        environment.mainQueue = queue;
        environment.backingScale = [this] { return scale; };
        window.resize(1600, 1000);
        view = new LocalProcessTerminalView(&window, frame, std::nullopt, environment);
        view->setProcessDelegate(&host);
        window.show();
    }
    ~ProcessViewFixture()
    {
        view->setProcessDelegate(nullptr);
        delete view;
    }

    std::string screenText()
    {
        Terminal &t = view->getTerminal();
        std::string text;
        for (int64_t row = 0; row < t.buffer->lines().count(); ++row) {
            text += t.buffer->lines()[row].translateToString(true) + "\n";
        }
        return text;
    }
    bool waitForScreen(const std::string &needle)
    {
        return calvero::testing::waitUntil([&] { return screenText().find(needle) != std::string::npos; });
    }
    void startShell()
    {
        view->startChildProcess("/bin/sh", {}, std::vector<std::string>{"TERM=xterm-256color", "PS1=$ ", "PATH=/usr/bin:/bin"});
        ASSERT_TRUE(view->process().running());
    }

    double scale = 1;
    std::shared_ptr<FixedFontMeasurer> measurer;
    RecordingProcessHost host;
    QWidget window;
    LocalProcessTerminalView *view = nullptr;
};

TEST(LocalProcessTerminalViewTest, WindowSizeCountsDevicePixelsAndNeverWraps)
{
    ManualTaskQueue queue;
    ProcessViewFixture f(gridFrame(80, 24), &queue);
    f.scale = 2;
    winsize size = f.view->processWindowSize(f.view->process());
    EXPECT_EQ(size.ws_row, 24);
    EXPECT_EQ(size.ws_col, 80);
    EXPECT_EQ(size.ws_xpixel, 1120);
    EXPECT_EQ(size.ws_ypixel, 672);

    // 80 x 7 x 1000 pixels do not fit in 16 bits: the most that does, not what is left after wrapping.
    f.scale = 1000;
    size = f.view->processWindowSize(f.view->process());
    EXPECT_EQ(size.ws_row, 24);
    EXPECT_EQ(size.ws_col, 80);
    EXPECT_EQ(size.ws_xpixel, 65535);
    EXPECT_EQ(size.ws_ypixel, 65535);
}

TEST(LocalProcessTerminalViewTest, BeforeStartResizeAndTypingReachNothing)
{
    ManualTaskQueue queue;
    ProcessViewFixture f(gridFrame(80, 24), &queue);
    f.view->resize(gridFrame(100, 30).size());
    EXPECT_EQ(f.view->getTerminal().cols, 100);
    f.view->send(std::string_view("echo hi\r"));
    queue.runPending();
    EXPECT_TRUE(f.host.sizes.empty());
    EXPECT_EQ(f.view->process().sendCount(), 0);
    EXPECT_EQ(f.view->process().total(), 0);
}

TEST(LocalProcessTerminalViewTest, TitleDirectoryAndClipboardNotices)
{
    ManualTaskQueue queue;
    ProcessViewFixture f(gridFrame(80, 24), &queue);
    const std::string_view notices = "\x1b]0;build\x07\x1b]7;file:///tmp\x07";
    f.view->processDidReceive(f.view->process(),
                              std::span(reinterpret_cast<const uint8_t *>(notices.data()), notices.size()));
    EXPECT_EQ(f.host.titles, std::vector<std::string>{"build"});
    ASSERT_EQ(f.host.directories.size(), 1u);
    EXPECT_EQ(f.host.directories[0], "file:///tmp");

    const std::string hello = "h\xc3\xa9llo";
    f.view->copyToClipboard(*f.view, std::span(reinterpret_cast<const uint8_t *>(hello.data()), hello.size()));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("héllo"));
    const std::optional<std::vector<uint8_t>> read = f.view->readClipboard(*f.view);
    ASSERT_TRUE(read);
    EXPECT_EQ(std::string(read->begin(), read->end()), hello);

    for (const std::string &invalid : {std::string("\xff\xfe"), std::string("ab\xc3"), std::string("\xed\xa0\x80")}) {
        f.view->copyToClipboard(*f.view, std::span(reinterpret_cast<const uint8_t *>(invalid.data()), invalid.size()));
        EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("héllo"));
    }
    QGuiApplication::clipboard()->clear();
    EXPECT_EQ(f.view->readClipboard(*f.view), std::nullopt);
}

TEST(LocalProcessTerminalViewTest, LinksOpenOnlyWithASchemeAndAskUnlessPlainlyHarmless)
{
    struct Case {
        const char *link;
        bool asked;
        bool opened;
    };
    const std::vector<Case> cases = {
        {"https://example.com/a?b=c", false, true},
        {"HTTP://example.com", false, true},
        {"mailto:someone@example.com", false, true},
        {"file:///etc/passwd", true, true},
        {"ssh://host", true, true},
        {"/etc/passwd", false, false},
        {"./run.sh", false, false},
        {"run.sh", false, false},
        {"~/notes", false, false},
        {"", false, false},
        {"http://[::1", false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.link);
        ManualTaskQueue queue;
        ProcessViewFixture f(gridFrame(80, 24), &queue);
        std::vector<QUrl> opened;
        std::vector<QUrl> asked;
        f.view->setLinkHandlers([&](const QUrl &url) { opened.push_back(url); },
                                [&](const QUrl &url) {
                                    asked.push_back(url);
                                    return true;
                                });
        f.view->openLink(*f.view, c.link, {});
        // Nothing opens inside the output that asked.
        EXPECT_TRUE(opened.empty());
        queue.runPending();
        EXPECT_EQ(!asked.empty(), c.asked);
        EXPECT_EQ(!opened.empty(), c.opened);
    }

    // Refused by the user: not opened.
    ManualTaskQueue queue;
    ProcessViewFixture f(gridFrame(80, 24), &queue);
    int opened = 0;
    f.view->setLinkHandlers([&](const QUrl &) { ++opened; }, [](const QUrl &) { return false; });
    f.view->openLink(*f.view, "file:///etc/passwd", {});
    queue.runPending();
    EXPECT_EQ(opened, 0);
}

TEST(LocalProcessTerminalViewTest, RunsAShellThatTypesResizesAndExits)
{
    ProcessViewFixture f;
    f.startShell();
    ASSERT_TRUE(f.waitForScreen("$ "));
    // Quoted, so only the output reads "hi" on a line of its own.
    f.view->send(std::string_view("echo h\"\"i\r"));
    EXPECT_TRUE(f.waitForScreen("hi\n")) << f.screenText();

    f.view->resize(gridFrame(100, 30).size());
    ASSERT_EQ(f.view->getTerminal().cols, 100);
    ASSERT_EQ(f.host.sizes.size(), 1u);
    EXPECT_EQ(f.host.sizes[0], (std::pair<int64_t, int64_t>{100, 30}));
    f.view->send(std::string_view("stty size\r"));
    EXPECT_TRUE(f.waitForScreen("30 100\n")) << f.screenText();

    // Starting again while it runs does nothing.
    const int32_t pid = f.view->process().shellPid();
    f.startShell();
    EXPECT_EQ(f.view->process().shellPid(), pid);

    f.view->send(std::string_view("exit 3\r"));
    EXPECT_TRUE(calvero::testing::waitUntil([&] { return !f.host.exits.empty(); })) << f.screenText();
    ASSERT_EQ(f.host.exits.size(), 1u);
    EXPECT_EQ(f.host.exits[0], 768);

    // Once it ended, a resize is not told and the view can start a program again.
    f.view->resize(gridFrame(90, 30).size());
    EXPECT_EQ(f.host.sizes.size(), 1u);
    f.startShell();
    f.view->send(std::string_view("exit 0\r"));
    EXPECT_TRUE(calvero::testing::waitUntil([&] { return f.host.exits.size() == 2; }));
    EXPECT_EQ(f.host.exits[1], 0);
}

TEST(LocalProcessTerminalViewTest, LogFilesNeverFollowALinkPlantedInTheirPlace)
{
    const auto directory =
        std::filesystem::temp_directory_path() / ("kestrix-view-log-" + std::to_string(::getpid()));
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    std::ofstream(directory / "target") << "keep";
    std::filesystem::create_symlink(directory / "target", directory / "log-0");

    ProcessViewFixture f;
    f.view->setLoggingDirectory(directory.string());
    ::testing::internal::CaptureStdout();
    f.view->startChildProcess("/bin/sh", {"-c", "printf data"});
    const bool exited = calvero::testing::waitUntil([&] { return !f.host.exits.empty(); });
    const std::string printed = ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(exited);
    EXPECT_TRUE(f.waitForScreen("data"));
    EXPECT_NE(printed.find("Got error while logging data dump to " + (directory / "log-0").string()),
              std::string::npos)
        << printed;
    std::stringstream target;
    target << std::ifstream(directory / "target").rdbuf();
    EXPECT_EQ(target.str(), "keep");
    EXPECT_TRUE(std::filesystem::is_symlink(directory / "log-0"));
    EXPECT_EQ(f.view->process().logFileCounter(), 0);
    std::filesystem::remove_all(directory);
}

} // namespace
} // namespace kestrix
