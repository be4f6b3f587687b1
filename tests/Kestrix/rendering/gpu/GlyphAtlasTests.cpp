#include "Kestrix/rendering/gpu/GlyphAtlas.h"

#include "FakeGpu.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kestrix {
namespace {

// A bitmap whose every pixel is distinct: alpha = 10 × row + column + 1 (rows top to bottom).
GlyphBitmap numberedBitmap(int width, int height)
{
    GlyphBitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const auto value = static_cast<uint8_t>(10 * row + column + 1);
            bitmap.pixels.insert(bitmap.pixels.end(), {value, value, value, value});
        }
    }
    return bitmap;
}

uint8_t grayAt(const GlyphAtlas &atlas, int x, int y)
{
    return atlas.data()[static_cast<size_t>(y) * static_cast<size_t>(atlas.size()) + static_cast<size_t>(x)];
}

const FakeTexture &fakeTexture(const GlyphAtlas &atlas)
{
    return dynamic_cast<const FakeTexture &>(atlas.texture());
}

// The texture holds the atlas's copy wherever something was uploaded; in these tests, everywhere.
void expectTextureMatchesData(const GlyphAtlas &atlas)
{
    EXPECT_EQ(fakeTexture(atlas).width(), atlas.size());
    EXPECT_TRUE(fakeTexture(atlas).pixels == atlas.data());
}

// Fills the current shelf and the rest of the atlas with 30 × 30 glyphs (32 × 32 padded).
std::vector<AtlasRegion> fillWithSquares(GlyphAtlas &atlas)
{
    std::vector<AtlasRegion> regions;
    const int perSide = atlas.size() / 32;
    for (int i = 0; i < perSide * perSide; ++i) {
        regions.push_back(*atlas.allocate(30, 30));
    }
    return regions;
}

TEST(GlyphAtlas, InitialSizeIsClampedToTheSmallestSizeAndTheCap)
{
    FakeTextureFactory device;
    const auto small = GlyphAtlas::create(device, GlyphAtlasFormat::grayscale, 100, 8192);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->size(), 256);
    EXPECT_EQ(small->maxSize(), 8192);
    EXPECT_EQ(small->data().size(), 256u * 256u);

    const auto capped = GlyphAtlas::create(device, GlyphAtlasFormat::bgra, 1024, 512);
    ASSERT_TRUE(capped);
    EXPECT_EQ(capped->size(), 512);
    EXPECT_EQ(capped->maxSize(), 512);
    EXPECT_EQ(capped->bytesPerPixel(), 4);
    EXPECT_EQ(capped->data().size(), 512u * 512u * 4u);

    const auto tiny = GlyphAtlas::create(device, GlyphAtlasFormat::grayscale, 1024, 100);
    ASSERT_TRUE(tiny);
    EXPECT_EQ(tiny->size(), 256);
    EXPECT_EQ(tiny->maxSize(), 256);
}

TEST(GlyphAtlas, NoAtlasWithoutItsFirstTexture)
{
    FakeTextureFactory device;
    device.refuseAbove = 128;
    EXPECT_FALSE(GlyphAtlas::create(device, GlyphAtlasFormat::grayscale, 1024, 8192));
}

TEST(GlyphAtlas, FirstRegionSitsInsideItsGutterAndTheShelfMovesOn)
{
    FakeTextureFactory device;
    auto atlas = GlyphAtlas::create(device, GlyphAtlasFormat::grayscale, 256, 8192);
    EXPECT_EQ(atlas->allocate(10, 20), (AtlasRegion{1, 1, 10, 20}));
    EXPECT_EQ(atlas->nextX(), 12);
    EXPECT_EQ(atlas->nextY(), 0);
    EXPECT_EQ(atlas->rowHeight(), 22);
    EXPECT_EQ(atlas->allocate(5, 5), (AtlasRegion{13, 1, 5, 5}));
    EXPECT_EQ(atlas->rowHeight(), 22);
    EXPECT_FALSE(atlas->didReset());
}

TEST(GlyphAtlas, EmptyOrOversizedGlyphsGetNoRegion)
{
    FakeTextureFactory device;
    auto atlas = GlyphAtlas::create(device, GlyphAtlasFormat::grayscale, 256, 512);
    for (const auto &[width, height] : {std::pair{0, 5}, {5, 0}, {-1, 5}, {511, 5}, {5, 600}, {INT32_MAX, 1}}) {
        EXPECT_FALSE(atlas->allocate(width, height)) << width << " x " << height;
        EXPECT_FALSE(atlas->didReset());
    }
    EXPECT_EQ(atlas->size(), 256);
    EXPECT_EQ(atlas->allocate(510, 510), (AtlasRegion{1, 1, 510, 510}));
    EXPECT_EQ(atlas->size(), 512);
}

TEST(GlyphAtlas, FullAtlasGrowsToTheSmallestDoublingThatFitsAndKeepsRegionsAndPixels)
{
    FakeTextureFactory device;
    LogCapture log("MetalAtlas");
    auto atlas = GlyphAtlas::create(device, GlyphAtlasFormat::grayscale, 256, 8192);
    const std::vector<AtlasRegion> regions = fillWithSquares(*atlas);
    ASSERT_EQ(regions.size(), 64u);
    EXPECT_EQ(regions.back(), (AtlasRegion{225, 225, 30, 30}));
    atlas->upload(numberedBitmap(30, 30), regions.back());
    const std::vector<uint8_t> before = atlas->data();

    const std::optional<AtlasRegion> next = atlas->allocate(30, 30);
    EXPECT_EQ(next, (AtlasRegion{1, 257, 30, 30}));
    EXPECT_EQ(atlas->size(), 512);
    EXPECT_FALSE(atlas->didReset());
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            ASSERT_EQ(grayAt(*atlas, x, y), before[static_cast<size_t>(y) * 256 + static_cast<size_t>(x)]);
        }
    }
    expectTextureMatchesData(*atlas);
    EXPECT_EQ(log.count("glyph atlas (grayscale) grow: 256 -> 512"), 1);

    // A glyph taller than twice the atlas skips a size.
    auto other = GlyphAtlas::create(device, GlyphAtlasFormat::grayscale, 256, 8192);
    EXPECT_EQ(other->allocate(600, 10), (AtlasRegion{1, 1, 600, 10}));
    EXPECT_EQ(other->size(), 1024);
}

TEST(GlyphAtlas, FullAtlasAtItsCapResetsAndLogsOnceUntilItGrows)
{
    FakeTextureFactory device;
    LogCapture log("MetalAtlas");
    auto atlas = GlyphAtlas::create(device, GlyphAtlasFormat::bgra, 256, 256);
    const std::vector<AtlasRegion> regions = fillWithSquares(*atlas);
    GlyphBitmap bitmap = numberedBitmap(30, 30);
    atlas->upload(bitmap, regions.front());

    EXPECT_EQ(atlas->allocate(30, 30), (AtlasRegion{1, 1, 30, 30}));
    EXPECT_TRUE(atlas->didReset());
    EXPECT_EQ(atlas->size(), 256);
    EXPECT_EQ(atlas->nextX(), 32);
    EXPECT_TRUE(std::all_of(atlas->data().begin(), atlas->data().end(), [](uint8_t byte) { return byte == 0; }));
    expectTextureMatchesData(*atlas);

    // 63 more fill it again; the 64th resets once more, without a second message.
    int resets = 0;
    for (int i = 0; i < 64; ++i) {
        EXPECT_TRUE(atlas->allocate(30, 30));
        resets += atlas->didReset() ? 1 : 0;
    }
    EXPECT_EQ(resets, 1);
    const QString message = "glyph atlas (bgra) reset at size 256: glyph working set exceeds capacity";
    EXPECT_EQ(log.count(message), 1);
    ASSERT_FALSE(log.messages.empty());
    EXPECT_EQ(log.messages.front().type, QtWarningMsg);
}

TEST(GlyphAtlas, GrowthThatTheGpuRefusesIsLoggedAndTheAtlasResets)
{
    FakeTextureFactory device;
    LogCapture log("MetalAtlas");
    auto atlas = GlyphAtlas::create(device, GlyphAtlasFormat::grayscale, 256, 8192);
    device.refuseAbove = 256;
    fillWithSquares(*atlas);
    EXPECT_EQ(atlas->allocate(30, 30), (AtlasRegion{1, 1, 30, 30}));
    EXPECT_TRUE(atlas->didReset());
    EXPECT_EQ(atlas->size(), 256);
    EXPECT_EQ(log.count("glyph atlas (grayscale) grow to 512 failed: texture allocation"), 1);
    EXPECT_EQ(log.count("glyph atlas (grayscale) reset at size 256: glyph working set exceeds capacity"), 1);
}

TEST(GlyphAtlas, FrozenFullAtlasSkipsGlyphsAndLogsOnce)
{
    FakeTextureFactory device;
    LogCapture log("MetalAtlas");
    auto atlas = GlyphAtlas::create(device, GlyphAtlasFormat::grayscale, 256, 8192);
    fillWithSquares(*atlas);
    atlas->setFrozen(true);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(atlas->allocate(30, 30));
        EXPECT_FALSE(atlas->didReset());
    }
    EXPECT_EQ(atlas->size(), 256);
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages[0].text, "glyph atlas (grayscale) frozen and full; glyphs will be skipped this frame");
    EXPECT_EQ(log.messages[0].type, QtCriticalMsg);

    atlas->setFrozen(false);
    EXPECT_TRUE(atlas->allocate(30, 30));
    EXPECT_EQ(atlas->size(), 512);
}

TEST(GlyphAtlas, UploadFlipsRowsAndTheGutterRepeatsTheEdges)
{
    FakeTextureFactory device;
    auto atlas = GlyphAtlas::create(device, GlyphAtlasFormat::grayscale, 256, 8192);
    const AtlasRegion region = *atlas->allocate(3, 2);
    ASSERT_EQ(region, (AtlasRegion{1, 1, 3, 2}));
    atlas->upload(numberedBitmap(3, 2), region);

    // Bitmap row 0 (the top: 1 2 3) lands on the upper atlas row; the gutter repeats the nearest pixel.
    const std::vector<std::vector<uint8_t>> expected = {
        {11, 11, 12, 13, 13}, // gutter below, a copy of atlas row 1
        {11, 11, 12, 13, 13}, // bitmap row 1
        {1, 1, 2, 3, 3},      // bitmap row 0
        {1, 1, 2, 3, 3},      // gutter above
    };
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(grayAt(*atlas, x, y), expected[static_cast<size_t>(y)][static_cast<size_t>(x)]) << x << "," << y;
        }
    }
    EXPECT_EQ(grayAt(*atlas, 5, 1), 0);
    EXPECT_EQ(grayAt(*atlas, 1, 4), 0);
    // Only the padded rectangle went up, and it matches.
    const FakeTexture &texture = fakeTexture(*atlas);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(texture.pixels[static_cast<size_t>(y) * 256 + static_cast<size_t>(x)], grayAt(*atlas, x, y));
        }
    }
    EXPECT_EQ(texture.pixels[5], 0xAB);
}

TEST(GlyphAtlas, ColourAtlasKeepsAllFourBytes)
{
    FakeTextureFactory device;
    auto atlas = GlyphAtlas::create(device, GlyphAtlasFormat::bgra, 256, 8192);
    const AtlasRegion region = *atlas->allocate(1, 1);
    GlyphBitmap bitmap{1, 1, 0, 0, {10, 20, 30, 40}, true};
    atlas->upload(bitmap, region);
    const auto pixelAt = [&](int x, int y) {
        const size_t offset = (static_cast<size_t>(y) * 256 + static_cast<size_t>(x)) * 4;
        return std::vector<uint8_t>(atlas->data().begin() + static_cast<ptrdiff_t>(offset),
                                    atlas->data().begin() + static_cast<ptrdiff_t>(offset + 4));
    };
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(pixelAt(x, y), (std::vector<uint8_t>{10, 20, 30, 40})) << x << "," << y;
        }
    }
}

TEST(GlyphAtlas, BitmapsOfAnotherSizeOrShortOfPixelsAreIgnored)
{
    FakeTextureFactory device;
    auto atlas = GlyphAtlas::create(device, GlyphAtlasFormat::grayscale, 256, 8192);
    const AtlasRegion region = *atlas->allocate(3, 2);
    const int uploadsBefore = fakeTexture(*atlas).uploads;
    atlas->upload(numberedBitmap(2, 2), region);
    GlyphBitmap short_ = numberedBitmap(3, 2);
    short_.pixels.resize(10);
    atlas->upload(short_, region);
    atlas->upload(numberedBitmap(3, 2), AtlasRegion{255, 255, 3, 2});
    EXPECT_EQ(fakeTexture(*atlas).uploads, uploadsBefore);
    EXPECT_TRUE(std::all_of(atlas->data().begin(), atlas->data().end(), [](uint8_t byte) { return byte == 0; }));
}

TEST(GlyphAtlas, SizeCapFromTheEnvironmentAndTheGpu)
{
    struct Case {
        std::optional<std::string_view> value;
        bool isColor;
        int maxTextureSize;
        int expected;
    };
    const Case cases[] = {
        {std::nullopt, true, 16384, 4096},
        {std::nullopt, false, 16384, 8192},
        {"100", false, 16384, 256},
        {"-7", true, 16384, 256},
        {"+2048", true, 16384, 2048},
        {"99999", false, 16384, 16384},
        {"99999", false, 8192, 8192},
        {"abc", true, 16384, 4096},
        {"", false, 16384, 8192},
        {"12px", false, 16384, 8192},
        {" 512", false, 16384, 8192},
        {"+-5", false, 16384, 8192},
        {"99999999999999999999", true, 16384, 4096},
        // Never above what the GPU makes.
        {std::nullopt, false, 4096, 4096},
        {"8192", true, 2048, 2048},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(GlyphAtlas::maximumSize(c.isColor, c.maxTextureSize, c.value), c.expected)
            << (c.value ? std::string(*c.value) : "(unset)") << " colour " << c.isColor << " gpu "
            << c.maxTextureSize;
    }
}

TEST(GlyphAtlas, SizeCapReadsKestrixAtlasMax)
{
    const QByteArray saved = qgetenv("KESTRIX_ATLAS_MAX");
    qputenv("KESTRIX_ATLAS_MAX", "1000");
    EXPECT_EQ(GlyphAtlas::maximumSize(true, 16384), 1000);
    qunsetenv("KESTRIX_ATLAS_MAX");
    EXPECT_EQ(GlyphAtlas::maximumSize(true, 16384), 4096);
    if (!saved.isNull()) {
        qputenv("KESTRIX_ATLAS_MAX", saved);
    }
}

} // namespace
} // namespace kestrix
