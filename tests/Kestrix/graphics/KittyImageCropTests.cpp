#include "Kestrix/graphics/KittyGraphicsErrors.h"
#include "Kestrix/graphics/KittyImageCrop.h"

#include <gtest/gtest.h>
#include <png.h>
#include <vector>

namespace kestrix {
namespace {

// Pixel n of a test image holds the bytes n, n, n, 255, so a crop shows which pixels it kept.
std::vector<uint8_t> numberedPixels(int64_t width, int64_t height)
{
    std::vector<uint8_t> bytes;
    for (int64_t n = 0; n < width * height; ++n) {
        const auto value = static_cast<uint8_t>(n);
        bytes.insert(bytes.end(), {value, value, value, 255});
    }
    return bytes;
}

std::vector<uint8_t> pixelNumbers(const KittyGraphicsPayload &image)
{
    std::vector<uint8_t> numbers;
    const std::span<const uint8_t> bytes = image.bytes();
    for (size_t at = 0; at < bytes.size(); at += 4) {
        numbers.push_back(bytes[at]);
    }
    return numbers;
}

std::vector<uint8_t> encodedPng(int64_t width, int64_t height)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    const std::vector<uint8_t> pixels = numberedPixels(width, height);
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
    std::vector<uint8_t> encoded(size);
    png_image_write_to_memory(&image, encoded.data(), &size, 0, pixels.data(), 0, nullptr);
    encoded.resize(size);
    return encoded;
}

struct CropCase {
    int64_t x, y, width, height;
    std::vector<uint8_t> kept; // pixel numbers, row by row
    int64_t keptWidth;
};

TEST(KittyImageCrop, CutsTheClampedRectangleOutOfRawPixels)
{
    // A 4 × 3 image: pixels 0-3 on the first row, 4-7, 8-11.
    const KittyGraphicsPayload image = KittyGraphicsPayload::rgba(numberedPixels(4, 3), 4, 3);
    const std::vector<CropCase> cases{
        {1, 1, 2, 1, {5, 6}, 2},
        {2, 0, 0, 0, {2, 3, 6, 7, 10, 11}, 2}, // no width or height: to the edges
        {0, 2, 0, 5, {8, 9, 10, 11}, 4},       // a height past the edge is cut to it
        {-3, -3, 1, 1, {0}, 1},                // negative corners clamp to 0
    };
    for (const CropCase &each : cases) {
        SCOPED_TRACE(testing::Message()
                     << "x=" << each.x << " y=" << each.y << " w=" << each.width << " h=" << each.height);
        const KittyCropResult result = cropKittyImage(image, each.x, each.y, each.width, each.height);
        ASSERT_TRUE(result.image);
        EXPECT_EQ(result.image->width(), each.keptWidth);
        EXPECT_EQ(pixelNumbers(*result.image), each.kept);
    }
}

TEST(KittyImageCrop, ARectangleCoveringTheWholeImageLeavesItUncut)
{
    const KittyGraphicsPayload image = KittyGraphicsPayload::rgba(numberedPixels(50, 50), 50, 50);
    const KittyCropResult result = cropKittyImage(image, 0, 0, 100, 100);
    ASSERT_TRUE(result.image);
    EXPECT_EQ(result.image->bytes().data(), image.bytes().data());
}

TEST(KittyImageCrop, AnEmptyRectangleIsABadCrop)
{
    const KittyGraphicsPayload image = KittyGraphicsPayload::rgba(numberedPixels(4, 3), 4, 3);
    // x is clamped to 4, leaving no width; likewise y for the height.
    for (const auto &[x, y] :
         std::vector<std::pair<int64_t, int64_t>>{{5, 0}, {0, 3}, {INT64_MAX, INT64_MAX}}) {
        const KittyCropResult result = cropKittyImage(image, x, y, 0, 0);
        EXPECT_FALSE(result.image);
        EXPECT_EQ(result.error, kittyerror::badCrop);
    }
}

TEST(KittyImageCrop, AnEncodedImageIsDecodedAndStaysDecodedEvenUncropped)
{
    const KittyGraphicsPayload png = KittyGraphicsPayload::png(encodedPng(3, 2));
    const KittyCropResult whole = cropKittyImage(png, 0, 0, 50, 50);
    ASSERT_TRUE(whole.image);
    EXPECT_TRUE(whole.image->isRgba());
    EXPECT_EQ(pixelNumbers(*whole.image), (std::vector<uint8_t>{0, 1, 2, 3, 4, 5}));

    const KittyCropResult corner = cropKittyImage(png, 1, 1, 0, 0);
    ASSERT_TRUE(corner.image);
    EXPECT_EQ(pixelNumbers(*corner.image), (std::vector<uint8_t>{4, 5}));
}

TEST(KittyImageCrop, AnUndecodableEncodedImageCannotBeCropped)
{
    const KittyCropResult result = cropKittyImage(KittyGraphicsPayload::png({1, 2, 3}), 1, 0, 0, 0);
    EXPECT_FALSE(result.image);
    EXPECT_EQ(result.error, kittyerror::cannotCropPng);
}

} // namespace
} // namespace kestrix
