#include "Kestrix/graphics/KittyImageDecoding.h"
#include "KittyTestImages.h"

#include <gtest/gtest.h>

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
    EXPECT_FALSE(kittyInflateZlib(stream, 100000));
    EXPECT_TRUE(kittyInflateZlib(stream, 200000));
}

} // namespace
} // namespace kestrix
