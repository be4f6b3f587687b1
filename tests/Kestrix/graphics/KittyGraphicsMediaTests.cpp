#include "Kestrix/graphics/KittyGraphicsErrors.h"
#include "Kestrix/graphics/KittyGraphicsMedia.h"
#include "Kestrix/model/Base64.h"
#include "KittyTestImages.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrix {
namespace {

namespace fs = std::filesystem;
using testing::bytesOf;

KittyGraphicsControl control(char transmission, int64_t format = 32, int64_t width = 1, int64_t height = 1)
{
    KittyGraphicsControl result;
    result.transmission = transmission;
    result.format = format;
    result.width = width;
    result.height = height;
    return result;
}

// The error text, or "" for an image.
std::string outcome(const KittyPayloadResult &result)
{
    if (const auto *message = std::get_if<std::string_view>(&result)) {
        return std::string(*message);
    }
    return "";
}

std::string outcome(const KittyGraphicsControl &command, std::string_view payload)
{
    return outcome(loadKittyPayload(command, bytesOf(payload), KittyLocalMedia::allowed));
}

void writeFile(const fs::path &path, std::string_view contents)
{
    std::ofstream(path, std::ios::binary) << contents;
}

// A scratch directory under /tmp whose name carries the temporary-file marker.
struct KittyMediaFiles : ::testing::Test {
    KittyMediaFiles()
    {
        char name[] = "/tmp/kestrix-tty-graphics-protocol-XXXXXX";
        directory = ::mkdtemp(name);
    }
    ~KittyMediaFiles() override { fs::remove_all(directory); }

    fs::path file(std::string_view name, std::string_view contents)
    {
        const fs::path path = directory / name;
        writeFile(path, contents);
        return path;
    }

    fs::path directory;
};

TEST(KittyGraphicsMedia, DirectMediumChecksTheData)
{
    struct Case {
        KittyGraphicsControl control;
        std::string payload;
        std::string expected;
    };
    const Case cases[] = {
        {control('d'), "abcd", ""},
        {control('d'), "", "EINVAL: bad payload"},
        {control('d'), "abc", "EINVAL: bad payload"},
        {control('x'), "abcd", "ENOTSUP: unsupported transmission"},
    };
    for (const Case &each : cases) {
        EXPECT_EQ(outcome(each.control, each.payload), each.expected) << each.payload;
    }
}

TEST(KittyGraphicsMedia, CompressionIsZlibOrNothing)
{
    const std::vector<uint8_t> pixels = {1, 2, 3, 4};
    const std::vector<uint8_t> stream = testing::zlibCompressed(pixels);
    KittyGraphicsControl command = control('d');
    command.compression = 'z';
    EXPECT_EQ(outcome(command, std::string(stream.begin(), stream.end())), "");
    EXPECT_EQ(outcome(command, std::string(stream.begin(), stream.end() - 2)), "EINVAL: bad payload");
    command.compression = 'x';
    EXPECT_EQ(outcome(command, std::string(pixels.begin(), pixels.end())), "EINVAL: bad payload");
}

TEST(KittyGraphicsMedia, TemporaryDirectoriesAreWholePathComponents)
{
    EXPECT_TRUE(isAllowedKittyTempPath("/tmp/a"));
    EXPECT_TRUE(isAllowedKittyTempPath("/dev/shm/a"));
    EXPECT_FALSE(isAllowedKittyTempPath("/tmpfoo/a"));
    EXPECT_FALSE(isAllowedKittyTempPath("/home/a"));
}

TEST_F(KittyMediaFiles, FilePathsOutsideImageAreasAreRefused)
{
    fs::create_symlink("/proc/self/status", directory / "link");
    fs::create_directory(directory / "sub");
    ::mkfifo((directory / "fifo").c_str(), 0600);
    struct Case {
        std::string path;
        std::string expected;
    };
    const Case cases[] = {
        {"/proc/self/status", "EINVAL: bad path"},
        {(directory / "link").string(), "EINVAL: bad path"},
        {"/dev/null", "EINVAL: bad path"},
        {(directory / "missing").string(), "EINVAL: bad path"},
        {std::string("/tmp/a\0b", 8), "EINVAL: bad path"},
        {"/tmp/\xff", "EINVAL: bad path"},
        {(directory / "sub").string(), "EINVAL: bad payload"},
        // Not read, so it cannot block the terminal.
        {(directory / "fifo").string(), "EINVAL: bad payload"},
    };
    for (const Case &each : cases) {
        EXPECT_EQ(outcome(control('f'), each.path), each.expected) << each.path;
    }
}

TEST_F(KittyMediaFiles, FileReadsHonourOffsetAndSize)
{
    const fs::path path = file("pixels", "xxABCDEFGH");
    struct Case {
        int64_t offset;
        int64_t size;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {2, 0, "ABCDEFGH"},    {2, 4, "ABCD"},        {9, 100, "H"},         {10, 0, ""},
        {11, 0, std::nullopt}, {-1, 0, std::nullopt}, {0, -1, std::nullopt},
    };
    for (const Case &each : cases) {
        const auto bytes = readKittyFile(path.string(), each.offset, each.size, false);
        const std::optional<std::string> text =
            bytes ? std::optional<std::string>(std::string(bytes->begin(), bytes->end())) : std::nullopt;
        EXPECT_EQ(text, each.expected) << each.offset << " " << each.size;
    }
    KittyGraphicsControl command = control('f', 32, 1, 2);
    command.dataOffset = 2;
    EXPECT_EQ(outcome(command, path.string()), "");
    EXPECT_TRUE(fs::exists(path));
    command.dataOffset = 11;
    EXPECT_EQ(outcome(command, path.string()), "EINVAL: bad payload");
}

TEST_F(KittyMediaFiles, TemporaryFilesAreDeletedOnceOpened)
{
    const fs::path good = file("good", "ABCD");
    const fs::path bad = file("bad", "ABC");
    EXPECT_EQ(outcome(control('t'), good.string()), "");
    EXPECT_EQ(outcome(control('t'), bad.string()), "EINVAL: bad payload");
    EXPECT_FALSE(fs::exists(good));
    EXPECT_FALSE(fs::exists(bad));
}

TEST(KittyGraphicsMedia, TemporaryFilesMustCarryTheMarker)
{
    char name[] = "/tmp/kestrix-media-XXXXXX";
    const int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    ::write(fd, "ABCD", 4);
    ::close(fd);
    EXPECT_EQ(outcome(control('t'), name), "EINVAL: bad temp path");
    EXPECT_TRUE(fs::exists(name));
    fs::remove(name);
}

// A shared-memory object made for one test, removed afterwards if the code under test left it.
struct SharedMemory {
    explicit SharedMemory(std::string_view contents)
        : name("/kestrix-test-" + std::to_string(::getpid()) + "-" + std::to_string(++counter))
    {
        const int fd = ::shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        ::write(fd, contents.data(), contents.size());
        ::close(fd);
    }
    ~SharedMemory() { ::shm_unlink(name.c_str()); }

    bool exists() const
    {
        const int fd = ::shm_open(name.c_str(), O_RDONLY, 0);
        if (fd >= 0) {
            ::close(fd);
        }
        return fd >= 0;
    }

    std::string name;
    static inline int counter = 0;
};

TEST(KittyGraphicsMedia, SharedMemoryIsReadOnceAndUnlinked)
{
    const std::vector<uint8_t> png = testing::pngImage(2, 2);
    const SharedMemory object(std::string("xx") + std::string(png.begin(), png.end()));
    KittyGraphicsControl command = control('s', 100, 0, 0);
    command.dataOffset = 2;
    EXPECT_EQ(outcome(command, object.name), "");
    EXPECT_FALSE(object.exists());
    EXPECT_EQ(outcome(command, object.name), "EINVAL: bad payload");
}

TEST(KittyGraphicsMedia, SharedMemoryRangesFollowTheDeclaredPixels)
{
    struct Case {
        KittyGraphicsControl control;
        std::string contents;
        std::string expected;
        bool unlinked;
    };
    KittyGraphicsControl shifted = control('s', 32, 1, 1);
    shifted.dataOffset = 1;
    KittyGraphicsControl shortened = control('s', 100, 0, 0);
    shortened.dataSize = 3;
    const Case cases[] = {
        {control('s', 32, 1, 1), "ABCDEF", "", true},
        {control('s', 24, 1, 1), "ABC", "", true},
        {control('s', 32, 2, 1), "ABCD", "EINVAL: bad payload", true},
        {control('s', 24, 0, 1), "ABC", "EINVAL: bad payload", false},
        {control('s', 7, 1, 1), "ABCD", "EINVAL: bad payload", false},
        {shifted, "ABCD", "EINVAL: bad payload", true},
        {shortened, "ABCDEF", "EINVAL: bad payload", true},
    };
    for (const Case &each : cases) {
        const SharedMemory object(each.contents);
        EXPECT_EQ(outcome(each.control, object.name), each.expected) << each.contents;
        EXPECT_EQ(object.exists(), !each.unlinked) << each.contents;
    }
    EXPECT_EQ(outcome(control('s'), std::string("/a\0b", 4)), "EINVAL: bad payload");
    EXPECT_EQ(outcome(control('s'), "/kestrix-test-missing"), "EINVAL: bad payload");
}

TEST(KittyGraphicsMedia, SharedMemoryThatIsNoObjectIsNeitherReadNorRemoved)
{
    if (!fs::is_directory("/dev/shm")) {
        GTEST_SKIP() << "no /dev/shm";
    }
    const std::string name = "kestrix-test-fifo-" + std::to_string(::getpid());
    const fs::path path = fs::path("/dev/shm") / name;
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(readKittySharedMemory(name, std::nullopt, 0, 0), std::nullopt);
    EXPECT_TRUE(fs::exists(path));
    fs::remove(path);
}

} // namespace
} // namespace kestrix
