#include "Kestrix/rendering/gpu/MetalImageTextures.h"
#include "tests/Kestrix/rendering/gpu/FakeGpu.h"
#include "tests/support/KittyImages.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

KittyGraphicsPayload solidRgba(int64_t width, int64_t height, std::array<uint8_t, 4> pixel)
{
    std::vector<uint8_t> bytes;
    for (int64_t i = 0; i < width * height; ++i) {
        bytes.insert(bytes.end(), pixel.begin(), pixel.end());
    }
    return KittyGraphicsPayload::rgba(std::move(bytes), width, height);
}

const FakeTexture &fake(const std::shared_ptr<GpuTexture> &texture)
{
    return dynamic_cast<const FakeTexture &>(*texture);
}

struct ImageTextures : ::testing::Test {
    FakeTextureFactory factory;
    MetalImageTextures textures{factory, 64};
    KittyGraphicsState state;
};

TEST_F(ImageTextures, RawRgbaIsUploadedPremultipliedWithItsBottomRowFirst)
{
    // Straight RGBA, rows top to bottom: half-transparent red, green; blue, transparent white.
    storeKittyImage(state, 3, KittyGraphicsPayload::rgba({255, 0, 0, 128, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 0}, 2, 2));
    const std::optional<MetalImageTexture> texture = textures.kittyTexture(3, state);
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->imageSize, QSizeF(2, 2));
    const FakeTexture &uploaded = fake(texture->texture);
    EXPECT_EQ(uploaded.format(), GpuPixelFormat::bgra8);
    // B, G, R, A: texture row 0 is the image's bottom row.
    EXPECT_EQ(uploaded.pixels, (std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 0, 0, 0, 0, 128, 128, 0, 255, 0, 255}));
}

TEST_F(ImageTextures, AKittyTextureIsKeptWhileItsSignatureHoldsAndReplacedWhenTheImageChanges)
{
    storeKittyImage(state, 4, solidRgba(2, 1, {1, 2, 3, 255}));
    const auto first = textures.kittyTexture(4, state);
    ASSERT_TRUE(first);
    EXPECT_EQ(textures.kittyTexture(4, state)->texture, first->texture);
    EXPECT_EQ(factory.made, 1);
    // Same size and byte count, another head of data.
    storeKittyImage(state, 4, solidRgba(2, 1, {9, 2, 3, 255}));
    const auto changed = textures.kittyTexture(4, state);
    EXPECT_NE(changed->texture, first->texture);
    EXPECT_EQ(fake(changed->texture).pixels[2], 9);
    // The same bytes sent again are a new transmission.
    storeKittyImage(state, 4, solidRgba(2, 1, {9, 2, 3, 255}), 2);
    EXPECT_NE(textures.kittyTexture(4, state)->texture, changed->texture);
    EXPECT_EQ(factory.made, 3);
    EXPECT_EQ(textures.kittyTexture(5, state), std::nullopt);
}

TEST_F(ImageTextures, ImagesBeyondTheGpuLimitAreShrunkToItAndUnusableOnesMakeNoTexture)
{
    // 64 is the limit here: the longer side shrinks to it, the aspect stays.
    storeKittyImage(state, 1, solidRgba(200, 10, {0, 0, 255, 255}));
    storeKittyImage(state, 2, solidPng(QSize(20, 300)));
    const auto wide = textures.kittyTexture(1, state);
    const auto tall = textures.kittyTexture(2, state);
    ASSERT_TRUE(wide && tall);
    EXPECT_EQ((std::pair{wide->texture->width(), wide->texture->height()}), (std::pair{64, 3}));
    EXPECT_EQ((std::pair{tall->texture->width(), tall->texture->height()}), (std::pair{4, 64}));
    // Placements are fitted by the image's own size.
    EXPECT_EQ(wide->imageSize, QSizeF(200, 10));
    // A long thin image keeps at least one row.
    storeKittyImage(state, 3, solidRgba(1000, 1, {0, 0, 255, 255}));
    EXPECT_EQ(textures.kittyTexture(3, state)->texture->height(), 1);

    const int made = factory.made;
    // No pixels, fewer bytes than the size needs, a size beyond any image, data that does not decode.
    storeKittyImage(state, 10, KittyGraphicsPayload::rgba({}, 0, 0));
    storeKittyImage(state, 11, KittyGraphicsPayload::rgba({1, 2, 3, 4}, 2, 2));
    storeKittyImage(state, 12, KittyGraphicsPayload::rgba({1, 2, 3, 4}, int64_t{1} << 40, int64_t{1} << 40));
    storeKittyImage(state, 13, KittyGraphicsPayload::png({0x89, 'P', 'N', 'G', 1, 2, 3}));
    for (uint32_t id : {10u, 11u, 12u, 13u}) {
        EXPECT_EQ(textures.kittyTexture(id, state), std::nullopt) << id;
    }
    EXPECT_EQ(factory.made, made);
    EXPECT_EQ(MetalImageTextures::texturePixels(QImage(), 64), std::nullopt);
}

TEST_F(ImageTextures, ALineImageTextureIsMadeOnceAndGoesWithItsImage)
{
    QImage pixels(4, 2, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(Qt::red);
    auto image = std::make_shared<AppleImage>(pixels, 4, 2, 0);
    std::weak_ptr<GpuTexture> texture = textures.imageTexture(image);
    ASSERT_FALSE(texture.expired());
    EXPECT_EQ(textures.imageTexture(image), texture.lock());
    EXPECT_EQ(factory.made, 1);
    EXPECT_EQ(textures.imageTexture(std::make_shared<AppleImage>(QImage(), 4, 2, 0)), nullptr);

    image.reset();
    textures.beginFrame(&state);
    EXPECT_TRUE(texture.expired());
    EXPECT_EQ(textures.imageTextureCount(), 0u);
}

TEST_F(ImageTextures, TexturesNoFrameShowsAreFreedAndDeletedKittyImagesLoseTheirs)
{
    storeKittyImage(state, 1, solidRgba(1, 1, {1, 1, 1, 255}));
    storeKittyImage(state, 2, solidRgba(1, 1, {2, 2, 2, 255}));
    storeKittyImage(state, 3, solidRgba(1, 1, {3, 3, 3, 255}));
    // A cached row keeps showing image 1; image 2 is asked for again by the next frame; 3 by nothing.
    const std::shared_ptr<GpuTexture> heldByARow = textures.kittyTexture(1, state)->texture;
    std::weak_ptr<GpuTexture> second = textures.kittyTexture(2, state)->texture;
    std::weak_ptr<GpuTexture> third = textures.kittyTexture(3, state)->texture;
    textures.beginFrame(&state);
    EXPECT_EQ(textures.kittyTextureCount(), 3u);
    textures.kittyTexture(2, state);
    textures.beginFrame(&state);
    EXPECT_TRUE(third.expired());
    EXPECT_FALSE(second.expired());
    textures.beginFrame(&state);
    EXPECT_TRUE(second.expired());
    EXPECT_EQ(textures.kittyTextureCount(), 1u);

    // Deleting the image drops its texture even while a row still holds it; without a terminal all go.
    state.imagesById.erase(1);
    textures.beginFrame(&state);
    EXPECT_EQ(textures.kittyTextureCount(), 0u);
    storeKittyImage(state, 1, solidRgba(1, 1, {1, 1, 1, 255}));
    textures.kittyTexture(1, state);
    textures.beginFrame(nullptr);
    EXPECT_EQ(textures.kittyTextureCount(), 0u);
}

TEST_F(ImageTextures, ATextureTheGpuRefusesIsTriedAgain)
{
    factory.refuseAbove = 1;
    storeKittyImage(state, 1, solidRgba(2, 2, {1, 1, 1, 255}));
    EXPECT_EQ(textures.kittyTexture(1, state), std::nullopt);
    factory.refuseAbove = 0;
    EXPECT_TRUE(textures.kittyTexture(1, state));
}

TEST(ImageTextureBudget, ImagesBeyondTheBudgetWaitUntilTexturesNoFrameNeedsAreFreed)
{
    FakeTextureFactory factory;
    // Room for three 10 × 10 textures.
    MetalImageTextures textures(factory, 64, 3 * 10 * 10 * 4);
    KittyGraphicsState state;
    for (uint32_t id = 1; id <= 5; ++id) {
        storeKittyImage(state, id, solidRgba(10, 10, {1, 2, 3, 255}));
    }
    storeKittyImage(state, 6, solidPng(QSize(20, 20)));
    const std::shared_ptr<GpuTexture> shownByARow = textures.kittyTexture(1, state)->texture;
    EXPECT_TRUE(textures.kittyTexture(2, state));
    EXPECT_TRUE(textures.kittyTexture(3, state));
    // The frame that shows all three has no room for a fourth.
    EXPECT_EQ(textures.kittyTexture(4, state), std::nullopt);
    EXPECT_EQ(textures.residentBytes(), 3 * 400);

    // In the next frame, textures it has not asked for make room, but not the one a row holds.
    textures.beginFrame(&state);
    EXPECT_TRUE(textures.kittyTexture(4, state));
    EXPECT_TRUE(textures.kittyTexture(5, state));
    EXPECT_EQ(textures.kittyTexture(1, state)->texture, shownByARow);
    EXPECT_LE(textures.residentBytes(), 3 * 400);
    // An image larger than the whole budget is never drawn.
    EXPECT_EQ(textures.kittyTexture(6, state), std::nullopt);
    EXPECT_EQ(factory.made, 5);
}

} // namespace
} // namespace kestrix
