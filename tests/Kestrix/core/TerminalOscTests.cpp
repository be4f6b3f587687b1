#include "OscTestSupport.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::oscBel;
using testing::OscDelegate;
using testing::oscSt;

class OscTest : public ::testing::Test {
protected:
    OscDelegate delegate;
    Terminal terminal{&delegate, testing::xtermPaletteOptions()};
};

TEST_F(OscTest, DirectoryAndDocumentAreStoredUnparsed)
{
    terminal.feedString(oscBel("7;file://host/home/r\xc3\xa9my"));
    terminal.feedString(oscSt("6;file://host/tmp/a.txt"));
    EXPECT_EQ(terminal.hostCurrentDirectory, "file://host/home/r\xc3\xa9my");
    EXPECT_EQ(terminal.hostCurrentDocument, "file://host/tmp/a.txt");
    EXPECT_EQ(delegate.directoryNotices, 1);
    EXPECT_EQ(delegate.documentNotices, 1);
}

TEST_F(OscTest, DirectoryIsIgnoredWhenHostQueriesAreRefusedOrTheTextIsNotUtf8)
{
    delegate.allowsHostQueries = false;
    terminal.feedString(oscBel("7;file:///etc"));
    delegate.allowsHostQueries = true;
    terminal.feedString(oscBel("7;file:///\xff\xfe"));
    EXPECT_EQ(terminal.hostCurrentDirectory, std::nullopt);
    EXPECT_EQ(delegate.directoryNotices, 0);

    Terminal alone(nullptr, TerminalOptions{});
    alone.feedString(oscBel("7;file:///etc"));
    EXPECT_EQ(alone.hostCurrentDirectory, std::nullopt);
}

TEST(OscProgress, ReportTable)
{
    using State = ProgressReportState;
    struct Case {
        std::string data;
        std::optional<ProgressReport> expected;
    };
    const std::vector<Case> cases = {
        {"4;0", ProgressReport{State::remove, std::nullopt}},
        {"4;0;50", ProgressReport{State::remove, std::nullopt}},
        {"4;1", ProgressReport{State::set, 0}},
        {"4;1;", ProgressReport{State::set, 0}},
        {"4;1;42", ProgressReport{State::set, 42}},
        {"4;1;+42;junk", ProgressReport{State::set, 42}},
        {"4;2;250", ProgressReport{State::error, 100}},
        {"4;2;-5", ProgressReport{State::error, 0}},
        {"4;3", ProgressReport{State::indeterminate, std::nullopt}},
        {"4;4;7", ProgressReport{State::pause, 7}},
        {"4;4", ProgressReport{State::pause, std::nullopt}},
        {"4;5", std::nullopt},
        {"4;7", std::nullopt},
        {"4;1;x", std::nullopt},
        {"4;1;99999999999999999999", ProgressReport{State::set, 100}},
        {"4;1;-99999999999999999999", ProgressReport{State::set, 0}},
        {"4;01", std::nullopt},
        {"4;", std::nullopt},
        {"4", std::nullopt},
        {"5;1", std::nullopt},
        {"", std::nullopt},
        {"4;1;\xc3\xa9", std::nullopt},
    };
    for (const Case &c : cases) {
        const auto bytes = reinterpret_cast<const uint8_t *>(c.data.data());
        EXPECT_EQ(Terminal::parseProgressReport({bytes, c.data.size()}), c.expected) << c.data;
    }
}

TEST_F(OscTest, ProgressReachesTheDelegateAndOtherFormsTheFallback)
{
    int64_t fallbackCode = -1;
    terminal.parser().oscHandlerFallback = [&fallbackCode](int64_t code, ByteSpan) { fallbackCode = code; };
    terminal.feedString(oscBel("9;4;3"));
    ASSERT_EQ(delegate.progressReports.size(), 1u);
    EXPECT_EQ(delegate.progressReports[0],
              (ProgressReport{ProgressReportState::indeterminate, std::nullopt}));
    EXPECT_EQ(fallbackCode, -1);
    terminal.feedString(oscBel("9;4;7"));
    EXPECT_EQ(delegate.progressReports.size(), 1u);
    EXPECT_EQ(fallbackCode, 9);
}

TEST_F(OscTest, UnknownProgressFormLogsTheFallbackLine)
{
    terminal.silentLog = false;
    ::testing::internal::CaptureStdout();
    terminal.feedString(oscBel("9;4;1;x"));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Info: Kestrix: Unknown OSC code: 9\n");
}

TEST_F(OscTest, ClipboardQueryAnswersInBase64WithSelectionCWhenNoneIsGiven)
{
    delegate.clipboard = std::vector<uint8_t>{'h', 'i', '!', 0x00};
    terminal.feedString(oscBel("52;;?"));
    terminal.feedString(oscBel("52;p;?"));
    EXPECT_EQ(delegate.replies,
              (std::vector<std::string>{"\x1b]52;c;aGkhAA==\x1b\\", "\x1b]52;p;aGkhAA==\x1b\\"}));

    terminal.cc.send8bit = true;
    terminal.feedString(oscBel("52;c;?"));
    EXPECT_EQ(delegate.replies.back(), "\x9d"
                                       "52;c;aGkhAA==\x9c");
}

TEST_F(OscTest, ClipboardQueryWithoutClipboardDataSendsNothing)
{
    terminal.feedString(oscBel("52;c;?"));
    EXPECT_TRUE(delegate.replies.empty());
}

TEST_F(OscTest, ClipboardSetDecodesStrictBase64)
{
    terminal.feedString(oscBel("52;c;aGVsbG8="));
    terminal.feedString(oscBel("52;;d29ybGQ="));
    terminal.feedString(oscBel("52;c;"));
    for (const char *invalid :
         {"52;c;aGVsbG8", "52;c;aGV sbG8=", "52;c;aGVs*G8=", "52;c;a=Vs", "52;c", "52"}) {
        terminal.feedString(oscBel(invalid));
    }
    EXPECT_EQ(delegate.copied, (std::vector<std::string>{"hello", "world", ""}));
}

TEST_F(OscTest, NotificationBodyKeepsItsSemicolons)
{
    terminal.feedString(oscBel("777;notify;Build;done; 3 warnings;0 errors"));
    terminal.feedString(oscBel("777;notify;Title only"));
    terminal.feedString(oscBel("777;notify;T;"));
    terminal.feedString(oscBel("777;other;T;B"));
    terminal.feedString(oscBel("777;notify;\xff;B"));
    EXPECT_EQ(delegate.notifications, (std::vector<std::pair<std::string, std::string>>{
                                          {"Build", "done; 3 warnings;0 errors"}, {"T", ""}}));
}

} // namespace
} // namespace kestrix
