#include "OscTestSupport.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::oscBel;
using testing::OscDelegate;

// "PNG" with its signature byte, Base64-encoded.
const std::string imageBase64 = "iVBORw==";
const std::vector<uint8_t> imageBytes = {0x89, 'P', 'N', 'G'};

class InlineImageTest : public ::testing::Test {
protected:
    OscDelegate delegate;
    Terminal terminal{&delegate, TerminalOptions{}};
};

Terminal::FileArguments argumentsOf(const std::string &text)
{
    return Terminal::parseFileArguments({reinterpret_cast<const uint8_t *>(text.data()), text.size()});
}

TEST_F(InlineImageTest, InlineFileReachesTheDelegateDecoded)
{
    terminal.feedString(oscBel("1337;File=inline=1:" + imageBase64));
    ASSERT_EQ(delegate.images.size(), 1u);
    EXPECT_EQ(delegate.images[0].data, imageBytes);
    EXPECT_EQ(delegate.images[0].width, ImageSizeRequest::automatic());
    EXPECT_EQ(delegate.images[0].height, ImageSizeRequest::automatic());
    EXPECT_TRUE(delegate.images[0].preserveAspectRatio);
    EXPECT_TRUE(delegate.extendedCommands.empty());
}

TEST_F(InlineImageTest, SizeHintsAndAspectRatioArePassedOn)
{
    terminal.feedString(
        oscBel("1337;File=name=eA==;inline=1;width=50%;height=10;preserveAspectRatio=0:" + imageBase64));
    ASSERT_EQ(delegate.images.size(), 1u);
    EXPECT_EQ(delegate.images[0].width, ImageSizeRequest::percent(50));
    EXPECT_EQ(delegate.images[0].height, ImageSizeRequest::cells(10));
    EXPECT_FALSE(delegate.images[0].preserveAspectRatio);
}

TEST(InlineImageSize, SizeTable)
{
    const std::pair<const char *, ImageSizeRequest> cases[] = {
        {"auto", ImageSizeRequest::automatic()},    {"1", ImageSizeRequest::cells(1)},
        {"199", ImageSizeRequest::cells(199)},      {"+7", ImageSizeRequest::cells(7)},
        {"0", ImageSizeRequest::automatic()},       {"200", ImageSizeRequest::automatic()},
        {"-3", ImageSizeRequest::automatic()},      {"abc", ImageSizeRequest::automatic()},
        {"", ImageSizeRequest::automatic()},        {"1px", ImageSizeRequest::pixels(1)},
        {"4095px", ImageSizeRequest::pixels(4095)}, {"5000px", ImageSizeRequest::automatic()},
        {"0px", ImageSizeRequest::automatic()},     {"px", ImageSizeRequest::automatic()},
        {"100%", ImageSizeRequest::percent(100)},   {"101%", ImageSizeRequest::automatic()},
        {"0%", ImageSizeRequest::automatic()},      {"%", ImageSizeRequest::automatic()},
        {"10 %", ImageSizeRequest::automatic()},    {"99999999999999999999", ImageSizeRequest::automatic()},
        {"5%px", ImageSizeRequest::automatic()},
    };
    for (const auto &[value, expected] : cases) {
        EXPECT_EQ(Terminal::parseImageSize(argumentsOf(std::string("width=") + value), "width"), expected)
            << value;
    }
    EXPECT_EQ(Terminal::parseImageSize(argumentsOf("height=5"), "width"), ImageSizeRequest::automatic());
}

TEST(InlineImageArguments, ParsingStopsAtThePieceWithoutAValue)
{
    EXPECT_EQ(argumentsOf("a=1;b=x=y;a=2;"), (Terminal::FileArguments{{"a", "2"}, {"b", "x=y"}}));
    EXPECT_EQ(argumentsOf("a=1;;b=2"), (Terminal::FileArguments{{"a", "1"}}));
    EXPECT_EQ(argumentsOf("a=1;flag;b=2"), (Terminal::FileArguments{{"a", "1"}}));
    EXPECT_EQ(argumentsOf("a=1;b=\xff;c=3"), (Terminal::FileArguments{{"a", "1"}}));
    EXPECT_EQ(argumentsOf(""), Terminal::FileArguments{});
}

TEST_F(InlineImageTest, OtherKeysAndNonInlineFilesAreForwardedRaw)
{
    const std::vector<std::string> forwarded = {
        "SetMark=1",
        "File=inline=0:" + imageBase64,
        "File=name=eA==:" + imageBase64,
        "File=:" + imageBase64,
    };
    for (const std::string &data : forwarded) {
        terminal.feedString(oscBel("1337;" + data));
    }
    EXPECT_EQ(delegate.extendedCommands, forwarded);
    EXPECT_TRUE(delegate.images.empty());
}

TEST_F(InlineImageTest, ArgumentsAfterAnEmptyPieceAreNotRead)
{
    terminal.feedString(oscBel("1337;File=inline=1;;width=5:" + imageBase64));
    ASSERT_EQ(delegate.images.size(), 1u);
    EXPECT_EQ(delegate.images[0].width, ImageSizeRequest::automatic());
}

TEST_F(InlineImageTest, MalformedCommandsDoNothing)
{
    for (const std::string data :
         {"", "SetMark", "File=inline=1", "File=inline=1:iVBO*w==", "File=inline=1:iVBORw", "\xff=1"}) {
        terminal.feedString(oscBel("1337;" + data));
    }
    EXPECT_TRUE(delegate.images.empty());
    EXPECT_TRUE(delegate.extendedCommands.empty());
}

} // namespace
} // namespace kestrix
