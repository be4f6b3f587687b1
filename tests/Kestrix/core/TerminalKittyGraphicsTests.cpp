#include "Kestrix/graphics/KittyGraphicsPending.h"
#include "ReportingDelegate.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::TerminalWithHost;

// One 1 × 1 RGBA pixel, as base64.
constexpr std::string_view onePixel = "AAAAAA==";

std::span<const uint8_t> bytesOf(std::string_view text)
{
    return {reinterpret_cast<const uint8_t *>(text.data()), text.size()};
}

std::string apc(std::string_view command)
{
    return "\x1b_G" + std::string(command) + "\x1b\\";
}

std::string reply(std::string_view text)
{
    return "\x1b_G" + std::string(text) + "\x1b\\";
}

TEST(TerminalKittyGraphics, ChunksJoinUnderTheFirstChunksKeys)
{
    TerminalWithHost host;
    EXPECT_EQ(host.reply(apc("a=t,i=1,s=1,v=1,m=1;AAA")), "");
    EXPECT_EQ(host.reply(apc("a=x,i=9,q=1,m=1;AAA")), "");
    EXPECT_EQ(host.reply(apc("a=q,i=9,m=0;==")), reply("i=1;OK"));
    EXPECT_FALSE(host.terminal.kittyGraphicsState.pending);
    EXPECT_EQ(host.terminal.kittyGraphicsState.totalImageBytes, 4);
}

TEST(TerminalKittyGraphics, TheFirstChunksQuietKeyDecidesTheReply)
{
    TerminalWithHost host;
    host.reply(apc("a=t,i=1,q=2,m=1;AAA"));
    EXPECT_EQ(host.reply(apc("a=t,i=1;AA")), "");
}

TEST(TerminalKittyGraphics, ADeleteDropsAPendingUpload)
{
    TerminalWithHost host;
    host.reply(apc("a=t,i=1,m=1;AAAA"));
    EXPECT_EQ(host.reply(apc("a=d,d=a")), "");
    EXPECT_FALSE(host.terminal.kittyGraphicsState.pending);
    // The next final chunk stands on its own.
    EXPECT_EQ(host.reply(apc("a=t,i=2;AA==")), reply("i=2;EINVAL: bad payload"));
}

TEST(TerminalKittyGraphics, FileTransmissionsAreNeverChunked)
{
    TerminalWithHost host;
    EXPECT_EQ(host.reply(apc("a=t,t=f,i=4,m=1;L25vbmU=")), reply("i=4;EINVAL: bad path"));
    EXPECT_FALSE(host.terminal.kittyGraphicsState.pending);
}

TEST(TerminalKittyGraphics, AnUploadGrownPastAnyImageIsDroppedAndRefused)
{
    KittyGraphicsPending upload;
    upload.appendChunk(bytesOf("AAAA"), 6);
    EXPECT_EQ(upload.base64Payload.size(), 4u);
    upload.appendChunk(bytesOf("AAAA"), 6);
    EXPECT_TRUE(upload.exceedsLimit);
    EXPECT_TRUE(upload.base64Payload.empty());
    upload.appendChunk(bytesOf("A"), 6);
    EXPECT_TRUE(upload.base64Payload.empty());

    TerminalWithHost host;
    host.terminal.kittyGraphicsState.pending = upload;
    host.terminal.kittyGraphicsState.pending->control.imageId = 3;
    EXPECT_EQ(host.reply(apc("m=0;AA==")), reply("i=3;EINVAL: bad payload"));
    EXPECT_FALSE(host.terminal.kittyGraphicsState.pending);
}

TEST(TerminalKittyGraphics, RepliesByAction)
{
    struct Case {
        std::string command;
        std::string expected;
    };
    const std::string pixel(onePixel);
    const Case cases[] = {
        {"a=x,i=3", reply("i=3;EINVAL: unsupported action")},
        {"a=x,I=4,i=3", reply("i=3;EINVAL: unsupported action")},
        {"a=x,I=4", reply("I=4;EINVAL: unsupported action")},
        {"a=x,p=2", reply(";EINVAL: unsupported action")},
        {"a=Q,i=3", reply("i=3;EINVAL: unsupported action")},
        {"a=q,i=31,s=1,v=1,q=1;" + pixel, ""},
        {"a=q,i=31,q=2;AA", ""},
        {"a=q,i=31,p=4,s=1,v=1;" + pixel, reply("i=31,p=4;OK")},
        {"a=q,i=31,t=f,s=1,v=1;" + pixel, reply("i=31;OK")},
        {"a=q,i=31,s=2,v=1;" + pixel, reply("i=31;EINVAL: bad payload")},
        {"a=t,i=1,I=2;" + pixel, reply("i=1;EINVAL: i and I are mutually exclusive")},
        {"a=T,i=1,I=2;" + pixel, reply("i=1;EINVAL: i and I are mutually exclusive")},
        {"a=t,s=1,v=1;" + pixel, ""},
        {"", reply(";EINVAL: bad payload")},
        {"a=t,i=6,t=x;" + pixel, reply("i=6;ENOTSUP: unsupported transmission")},
        {"a=t,i=5,s=1,v=1,p=7;" + pixel, reply("i=5,p=7;OK")},
    };
    for (const Case &each : cases) {
        TerminalWithHost host;
        EXPECT_EQ(host.reply(apc(each.command)), each.expected) << each.command;
    }
}

TEST(TerminalKittyGraphics, QueriesStoreNothing)
{
    TerminalWithHost host;
    host.reply(apc("a=q,i=31,s=1,v=1;" + std::string(onePixel)));
    EXPECT_TRUE(host.terminal.kittyGraphicsState.imagesById.empty());
}

TEST(TerminalKittyGraphics, ImageNumbersTakeTheNextIdAndMoveToTheNewestImage)
{
    TerminalWithHost host;
    const std::string command = apc("a=t,I=7,s=1,v=1;" + std::string(onePixel));
    EXPECT_EQ(host.reply(command), reply("i=1,I=7;OK"));
    EXPECT_EQ(host.reply(command), reply("i=2,I=7;OK"));
    const KittyGraphicsState &state = host.terminal.kittyGraphicsState;
    EXPECT_EQ(state.imageNumbers.at(7), 2u);
    EXPECT_TRUE(state.imagesById.contains(1));
    EXPECT_EQ(state.nextImageId, 3u);
}

TEST(TerminalKittyGraphics, ImageIdsSkipZeroWhenTheCounterWraps)
{
    TerminalWithHost host;
    host.terminal.kittyGraphicsState.nextImageId = 0xFFFFFFFF;
    const std::string command = apc("a=t,I=7,s=1,v=1;" + std::string(onePixel));
    EXPECT_EQ(host.reply(command), reply("i=4294967295,I=7;OK"));
    EXPECT_EQ(host.reply(command), reply("i=1,I=7;OK"));
}

TEST(TerminalKittyGraphics, AnImageEvictedAtOnceIsStillAcknowledged)
{
    TerminalWithHost host;
    host.terminal.options.kittyImageCacheLimitBytes = 0;
    EXPECT_EQ(host.reply(apc("a=t,i=1,s=1,v=1;" + std::string(onePixel))), reply("i=1;OK"));
    EXPECT_TRUE(host.terminal.kittyGraphicsState.imagesById.empty());
}

TEST(TerminalKittyGraphics, EightBitControlsFrameGraphicsReplies)
{
    TerminalWithHost host;
    host.terminal.cc.send8bit = true;
    EXPECT_EQ(host.reply(apc("a=x,i=3")), "\x9fGi=3;EINVAL: unsupported action\x9c");
}

TEST(TerminalKittyGraphics, ResetEmptiesTheStoreButKeepsCountersAndUpload)
{
    TerminalWithHost host;
    host.reply(apc("a=t,I=7,s=1,v=1;" + std::string(onePixel)));
    host.reply(apc("a=t,i=9,m=1;AAAA"));
    host.terminal.clearKittyGraphics();
    const KittyGraphicsState &state = host.terminal.kittyGraphicsState;
    EXPECT_TRUE(state.imagesById.empty());
    EXPECT_TRUE(state.imageNumbers.empty());
    EXPECT_EQ(state.totalImageBytes, 0);
    EXPECT_EQ(state.nextImageAccessTick, 1u);
    EXPECT_EQ(state.nextImageId, 2u);
    EXPECT_TRUE(state.pending);
}

} // namespace
} // namespace kestrix
