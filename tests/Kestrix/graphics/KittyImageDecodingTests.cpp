#include "Kestrix/graphics/KittyGraphicsMedia.h"
#include "Kestrix/graphics/KittyImageDecoding.h"
#include "KittyTestImages.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

namespace kestrix {
namespace {

using testing::pngImage;
using testing::zlibCompressed;

KittyGraphicsControl raw(int64_t format, int64_t width, int64_t height)
{
    KittyGraphicsControl control;
    control.format = format;
    control.width = width;
    control.height = height;
    return control;
}

TEST(KittyImageDecoding, RawPixelsMustMatchTheDeclaredSize)
{
    struct Case {
        KittyGraphicsControl control;
        size_t bytes;
        bool accepted;
    };
    const Case cases[] = {
        {raw(32, 2, 2), 16, true}, {raw(32, 2, 2), 15, false},       {raw(32, 2, 2), 17, false},
        {raw(24, 2, 2), 12, true}, {raw(24, 10000, 1), 30000, true}, {raw(24, 10001, 1), 30003, false},
        {raw(24, 0, 1), 0, false}, {raw(32, 1, -1), 4, false},       {raw(7, 1, 1), 4, false},
        {raw(32, 1, 1), 0, false},
    };
    for (const Case &each : cases) {
        const auto payload = makeKittyGraphicsPayload(each.control, std::vector<uint8_t>(each.bytes));
        EXPECT_EQ(payload.has_value(), each.accepted)
            << "f=" << each.control.format << " s=" << each.control.width << " bytes " << each.bytes;
    }
}

TEST(KittyImageDecoding, RgbGainsAnOpaqueAlpha)
{
    const auto payload = makeKittyGraphicsPayload(raw(24, 1, 1), {10, 20, 30});
    ASSERT_TRUE(payload && payload->isRgba());
    EXPECT_EQ(std::vector<uint8_t>(payload->bytes().begin(), payload->bytes().end()),
              (std::vector<uint8_t>{10, 20, 30, 255}));
    EXPECT_EQ(payload->width(), 1);
}

TEST(KittyImageDecoding, EncodedImagesAreKeptAsTheyCameWhenTheirSizeIsInRange)
{
    const std::vector<uint8_t> small = pngImage(3, 2);
    const auto payload = makeKittyGraphicsPayload(raw(100, 0, 0), small);
    ASSERT_TRUE(payload && payload->isPng());
    EXPECT_TRUE(std::equal(small.begin(), small.end(), payload->bytes().begin(), payload->bytes().end()));
    EXPECT_EQ(kittyEncodedImageSize(small), (KittyImageSize{3, 2}));

    EXPECT_FALSE(makeKittyGraphicsPayload(raw(100, 0, 0), pngImage(20000, 1)));
    EXPECT_FALSE(makeKittyGraphicsPayload(raw(100, 0, 0), {1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(kittyEncodedImageSize(pngImage(20000, 1)), (KittyImageSize{20000, 1}));
}

TEST(KittyImageDecoding, EncodedImagesDecodeToStraightRgba)
{
    const auto decoded = decodeKittyImageToRgba(pngImage(2, 1, {200, 100, 50, 128}));
    ASSERT_TRUE(decoded && decoded->isRgba());
    EXPECT_EQ(decoded->width(), 2);
    EXPECT_EQ(decoded->height(), 1);
    EXPECT_EQ(std::vector<uint8_t>(decoded->bytes().begin(), decoded->bytes().end()),
              (std::vector<uint8_t>{200, 100, 50, 128, 200, 100, 50, 128}));
    EXPECT_FALSE(decodeKittyImageToRgba(pngImage(10001, 1)));
    EXPECT_FALSE(decodeKittyImageToRgba(std::vector<uint8_t>{0x89, 'P', 'N', 'G'}));
}

TEST(KittyImageDecoding, InflationAcceptsOnlyWholeStreamsWithinTheLimit)
{
    const std::vector<uint8_t> plain(200000, 7);
    const std::vector<uint8_t> stream = zlibCompressed(plain);
    EXPECT_EQ(kittyInflateZlib(stream), plain);

    std::vector<uint8_t> truncated(stream.begin(), stream.end() - 10);
    std::vector<uint8_t> corrupt = stream;
    corrupt[2] ^= 0xFF;
    EXPECT_FALSE(kittyInflateZlib(truncated));
    EXPECT_FALSE(kittyInflateZlib(corrupt));
    EXPECT_FALSE(kittyInflateZlib({}));
    // A stream that inflates past the limit is refused, not inflated whole.
    EXPECT_FALSE(kittyInflateZlib(stream, {.bytes = 100000}));
    EXPECT_FALSE(kittyInflateZlib(stream, {.bytes = 199999}));
    EXPECT_TRUE(kittyInflateZlib(stream, {.bytes = 200000}));
}

// `count` zero bytes after `prefix`, deflated a window at a time so the test never holds them.
std::vector<uint8_t> zlibBomb(std::span<const uint8_t> prefix, size_t count)
{
    z_stream stream{};
    deflateInit(&stream, Z_BEST_COMPRESSION);
    std::vector<uint8_t> out;
    std::vector<uint8_t> window(65536);
    const std::vector<uint8_t> zeros(65536, 0);
    const auto pump = [&](std::span<const uint8_t> input, int flush) {
        stream.next_in = const_cast<Bytef *>(input.data());
        stream.avail_in = static_cast<uInt>(input.size());
        do {
            stream.next_out = window.data();
            stream.avail_out = static_cast<uInt>(window.size());
            deflate(&stream, flush);
            out.insert(out.end(), window.begin(), window.end() - stream.avail_out);
        } while (stream.avail_out == 0);
    };
    pump(prefix, Z_NO_FLUSH);
    for (size_t done = 0; done < count; done += zeros.size()) {
        pump(zeros, done + zeros.size() < count ? Z_NO_FLUSH : Z_FINISH);
    }
    deflateEnd(&stream);
    return out;
}

int64_t peakResidentKilobytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(KittyImageDecoding, InflationStopsAtWhatTheDeclaredImageNeeds)
{
    const std::vector<uint8_t> png = pngImage(2, 3);
    const std::vector<uint8_t> pngStream = zlibCompressed(png);
    const std::vector<uint8_t> pixels(2 * 3 * 4, 9);
    const std::vector<uint8_t> pixelStream = zlibCompressed(pixels);
    KittyGraphicsControl compressed = raw(32, 2, 3);
    compressed.compression = 'z';
    EXPECT_TRUE(decodeKittyDirectPayload(compressed, pixelStream));
    compressed.height = 2;
    EXPECT_FALSE(decodeKittyDirectPayload(compressed, pixelStream));

    KittyGraphicsControl encoded = raw(100, 0, 0);
    encoded.compression = 'z';
    EXPECT_TRUE(decodeKittyDirectPayload(encoded, pngStream));
    encoded.dataSize = static_cast<int64_t>(png.size());
    EXPECT_TRUE(decodeKittyDirectPayload(encoded, pngStream));
    encoded.dataSize -= 1;
    EXPECT_FALSE(decodeKittyDirectPayload(encoded, pngStream));
}

TEST(KittyImageDecoding, ACompressionBombStopsAtTheDeclaredSize)
{
    // 64 MiB of zeros each, in about 64 KiB of payload: behind 4 declared bytes of raw pixels,
    // behind the header of a 1 × 1 PNG, and behind a 10000 × 10000 PNG header declared by "S" as
    // 1000 bytes.
    constexpr size_t bombSize = 64 * 1024 * 1024;
    const std::vector<uint8_t> smallPng = pngImage(1, 1);
    std::vector<uint8_t> largeHeader = pngImage(1, 1);
    largeHeader[16 + 2] = 0x27; // width and height 0x2710 = 10000
    largeHeader[16 + 3] = 0x10;
    largeHeader[20 + 2] = 0x27;
    largeHeader[20 + 3] = 0x10;
    KittyGraphicsControl rawPixels = raw(32, 1, 1);
    KittyGraphicsControl encoded = raw(100, 0, 0);
    KittyGraphicsControl declared = raw(100, 0, 0);
    declared.dataSize = 1000;
    const std::pair<KittyGraphicsControl, std::span<const uint8_t>> bombs[] = {
        {rawPixels, {}},
        {encoded, std::span(smallPng).first(33)},
        {declared, std::span(largeHeader).first(33)},
    };
    const int64_t before = peakResidentKilobytes();
    for (auto [control, prefix] : bombs) {
        control.compression = 'z';
        EXPECT_FALSE(decodeKittyDirectPayload(control, zlibBomb(prefix, bombSize)));
    }
    // A bound stops each within a few windows; inflating a bomb whole would take all of it.
    EXPECT_LT(peakResidentKilobytes() - before, 16 * 1024);
}

} // namespace
} // namespace kestrix
