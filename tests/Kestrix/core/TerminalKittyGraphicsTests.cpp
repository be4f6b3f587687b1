#include "Kestrix/graphics/KittyGraphicsPending.h"
#include "Kestrix/model/Base64.h"
#include "ReportingDelegate.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

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
    host.terminal.options.allowsKittyLocalMedia = true;
    EXPECT_EQ(host.reply(apc("a=t,t=f,i=4,m=1;L25vbmU=")), reply("i=4;EINVAL: bad path"));
    EXPECT_FALSE(host.terminal.kittyGraphicsState.pending);
}

// A file the temporary-file medium would accept and a shared-memory object, each holding one valid
// 1 × 1 RGBA pixel, so that reading either would store an image.
struct LocalMediaFixture : ::testing::Test {
    LocalMediaFixture()
    {
        char name[] = "/tmp/kestrix-tty-graphics-protocol-XXXXXX";
        directory = ::mkdtemp(name);
        file = directory / "pixel";
        std::ofstream(file, std::ios::binary) << std::string_view("\x01\x02\x03\x04", 4);
        const int fd = ::shm_open(sharedMemory.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        (void)!::write(fd, "\x01\x02\x03\x04", 4);
        ::close(fd);
    }
    ~LocalMediaFixture() override
    {
        std::filesystem::remove_all(directory);
        ::shm_unlink(sharedMemory.c_str());
    }

    bool sharedMemoryExists() const
    {
        const int fd = ::shm_open(sharedMemory.c_str(), O_RDONLY, 0);
        if (fd >= 0) {
            ::close(fd);
        }
        return fd >= 0;
    }
    static std::string named(const std::string &name) { return Base64::encode(bytesOf(name)); }
    std::string readFile() const
    {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    std::filesystem::path directory;
    std::filesystem::path file;
    std::string sharedMemory = "/kestrix-local-media-" + std::to_string(::getpid());
};

TEST_F(LocalMediaFixture, RefusedLocalMediaTouchNothingAndAnswerAlikeForAnyName)
{
    const std::string missingFile = (directory / "missing").string();
    const std::string refusal = reply("i=1;EPERM: transmission medium not allowed");
    const std::string commands[] = {
        "a=t,i=1,t=f;" + named(file.string()),   "a=t,i=1,t=f;" + named(missingFile),
        "a=T,i=1,t=f;" + named("/etc/shadow"),   "a=t,i=1,t=f;" + named("/proc/self/status"),
        "a=t,i=1,t=t;" + named(file.string()),   "a=t,i=1,t=t;" + named(missingFile),
        "a=T,i=1,t=t,s=1,v=1;" + named(file.string()),
        "a=t,i=1,t=s;" + named(sharedMemory),    "a=t,i=1,t=s;" + named("/kestrix-missing"),
        "a=t,i=1,t=s,f=100;" + named(sharedMemory),
        "a=t,i=1,t=f,o=z;",
    };
    TerminalWithHost host;
    for (const std::string &command : commands) {
        EXPECT_EQ(host.reply(apc(command)), refusal) << command;
    }
    EXPECT_TRUE(host.terminal.kittyGraphicsState.imagesById.empty());
    EXPECT_EQ(readFile(), std::string_view("\x01\x02\x03\x04", 4));
    EXPECT_TRUE(sharedMemoryExists());
    // The direct medium is unaffected.
    EXPECT_EQ(host.reply(apc("a=t,i=2,s=1,v=1;" + std::string(onePixel))), reply("i=2;OK"));
}

TEST_F(LocalMediaFixture, AllowedLocalMediaReadFilesAndSharedMemory)
{
    TerminalOptions options = testing::optionsOfSize(10, 5);
    options.allowsKittyLocalMedia = true;
    TerminalWithHost host(options);
    EXPECT_EQ(host.reply(apc("a=t,i=1,s=1,v=1,t=f;" + named(file.string()))), reply("i=1;OK"));
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(host.reply(apc("a=t,i=2,s=1,v=1,t=t;" + named(file.string()))), reply("i=2;OK"));
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(host.reply(apc("a=t,i=3,s=1,v=1,t=s;" + named(sharedMemory))), reply("i=3;OK"));
    EXPECT_FALSE(sharedMemoryExists());
}

TEST(TerminalKittyGraphics, AnUploadIsDecodedAsItArrivesAndNeverHeldPastTheLimit)
{
    KittyGraphicsPending upload;
    for (int chunk = 0; chunk < 3; ++chunk) {
        upload.appendChunk(bytesOf("AAAA"), 10);
        EXPECT_LE(upload.data.capacity(), 10u);
    }
    EXPECT_EQ(upload.data.size(), 9u);
    upload.appendChunk(bytesOf("AAAA"), 10);
    EXPECT_TRUE(upload.isRefused);
    EXPECT_TRUE(upload.data.empty());
    upload.appendChunk(bytesOf("AA=="), 10);
    EXPECT_TRUE(upload.data.empty());

    TerminalWithHost host;
    host.terminal.kittyGraphicsState.pending = upload;
    host.terminal.kittyGraphicsState.pending->control.imageId = 3;
    EXPECT_EQ(host.reply(apc("m=0;AA==")), reply("i=3;EINVAL: bad payload"));
    EXPECT_FALSE(host.terminal.kittyGraphicsState.pending);
}

TEST(TerminalKittyGraphics, EachChunkMayEndInPadding)
{
    struct Case {
        std::vector<std::string> chunks;
        std::string expected;
    };
    // Two pixels of 4 bytes each, 1 × 2, sent the ways clients split them.
    const Case cases[] = {
        // Every chunk encoded on its own, padding included.
        {{"a=T,i=1,s=1,v=2,m=1;AAAAAA==", "m=0;AAAAAA=="}, reply("i=1;OK")},
        {{"a=T,i=1,s=1,v=2,m=1;AAAA", "m=1;AAA=", "m=0;AAAA"}, reply("i=1;OK")},
        // One text cut anywhere, a quartet running on into the next chunk.
        {{"a=T,i=1,s=1,v=2,m=1;AAAAA", "m=0;AAAAAA="}, reply("i=1;OK")},
        {{"a=T,i=1,s=1,v=2,m=1;AAAAAAA\r\n", "m=1;AAA\n", "m=0;A="}, reply("i=1;OK")},
        // Padding inside a chunk ends it; a text that stops inside a quartet is malformed.
        {{"a=T,i=1,s=1,v=2,m=1;AAAAAA==AAAAAA==", "m=0;"}, reply("i=1;EINVAL: bad payload")},
        {{"a=T,i=1,s=1,v=2,m=1;AAAAAAAAAAA", "m=0;"}, reply("i=1;EINVAL: bad payload")},
        // Without "i" the image shows and nothing answers.
        {{"a=T,f=32,s=1,v=2,m=1;AAAAAA==", "m=0;AAAAAA=="}, ""},
    };
    for (const Case &each : cases) {
        TerminalWithHost host;
        std::string replies;
        for (const std::string &chunk : each.chunks) {
            replies += host.reply(apc(chunk));
        }
        EXPECT_EQ(replies, each.expected) << each.chunks.front();
    }
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
        // Without "i" or "I" nothing is answered, error or not.
        {"a=x,p=2", ""},
        {"a=t,t=x;" + pixel, ""},
        {"a=q,s=1,v=1;" + pixel, ""},
        {"a=T,s=2,v=2;" + pixel, ""},
        {"a=p,p=3", ""},
        {"a=Q,i=3", reply("i=3;EINVAL: unsupported action")},
        {"a=q,i=31,s=1,v=1,q=1;" + pixel, ""},
        {"a=q,i=31,q=2;AA", ""},
        {"a=q,i=31,p=4,s=1,v=1;" + pixel, reply("i=31,p=4;OK")},
        {"a=q,i=31,t=f,s=1,v=1;" + pixel, reply("i=31;OK")},
        {"a=q,i=31,s=2,v=1;" + pixel, reply("i=31;EINVAL: bad payload")},
        {"a=t,i=1,I=2;" + pixel, reply("i=1;EINVAL: i and I are mutually exclusive")},
        {"a=T,i=1,I=2;" + pixel, reply("i=1;EINVAL: i and I are mutually exclusive")},
        {"a=t,s=1,v=1;" + pixel, ""},
        {"", ""},
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
