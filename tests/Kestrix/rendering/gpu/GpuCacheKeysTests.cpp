#include "Kestrix/rendering/gpu/GpuCacheKeys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string_view>
#include <unordered_set>

namespace kestrix {
namespace {

std::vector<uint8_t> bytesOf(std::string_view text)
{
    return {text.begin(), text.end()};
}

TEST(HeadHash, IsFnv1aOverTheFirstBytes)
{
    // The published FNV-1a 32-bit values.
    EXPECT_EQ(headHash({}), 0u);
    EXPECT_EQ(headHash(bytesOf("a")), 0xe40c292cu);
    EXPECT_EQ(headHash(bytesOf("foobar")), 0xbf9cf968u);
    EXPECT_EQ(headHash(bytesOf("foobar"), 1), 0xe30c2799u); // "f"
    EXPECT_EQ(headHash(bytesOf("foobar"), 0), 0u);

    std::vector<uint8_t> long1(1000, 7);
    std::vector<uint8_t> long2 = long1;
    long2[64] = 8;
    EXPECT_EQ(headHash(long1), headHash(long2));
    long2[63] = 8;
    EXPECT_NE(headHash(long1), headHash(long2));
    const std::vector<uint8_t> first64(long1.begin(), long1.begin() + 64);
    EXPECT_EQ(headHash(long1), headHash(first64));
}

TEST(KittyImageSignature, DescribesThePayloadAndItsTransmission)
{
    const KittyGraphicsImage png{KittyGraphicsPayload::png(bytesOf("0123456789")), 10, 1, 5};
    const KittyImageSignature pngSignature = kittyImageSignature(png);
    EXPECT_EQ(pngSignature, (KittyImageSignature{1, 0, 0, 10, headHash(bytesOf("0123456789")), 5}));

    const KittyGraphicsImage rgba{KittyGraphicsPayload::rgba(std::vector<uint8_t>(2 * 3 * 4, 9), 2, 3), 24, 1, 6};
    const KittyImageSignature rgbaSignature = kittyImageSignature(rgba);
    EXPECT_EQ(rgbaSignature.kind, 2);
    EXPECT_EQ(rgbaSignature.width, 2);
    EXPECT_EQ(rgbaSignature.height, 3);
    EXPECT_EQ(rgbaSignature.byteCount, 24);

    // Same size, same first 64 bytes, different rest: only the transmission tells them apart.
    std::vector<uint8_t> pixels(1000, 1);
    std::vector<uint8_t> changed = pixels;
    changed[500] = 2;
    const KittyGraphicsImage before{KittyGraphicsPayload::rgba(pixels, 10, 25), 1000, 1, 1};
    KittyGraphicsImage after{KittyGraphicsPayload::rgba(changed, 10, 25), 1000, 1, 1};
    EXPECT_EQ(kittyImageSignature(before), kittyImageSignature(after));
    after.revision = 2;
    EXPECT_NE(kittyImageSignature(before), kittyImageSignature(after));
}

TEST(KittyCacheStamp, SummarisesTheGraphicsState)
{
    KittyGraphicsState state;
    state.imagesById.emplace(3, KittyGraphicsImage{KittyGraphicsPayload::png(bytesOf("x")), 1, 1, 1});
    state.nextImageId = 7;
    state.nextPlacementId = 9;
    state.transmissionRevision = 4;
    EXPECT_EQ(kittyCacheStamp(state), (KittyCacheStamp{1, 0, 7, 9, 4}));
}

TEST(CacheSignature, AnyFieldMakesItDiffer)
{
    const CacheSignature base{2, 8, 16, 800, 600, 10, 24, 80, "Mono", 13, false, {1, 2, 3, 4, 5}};
    CacheSignature other = base;
    EXPECT_EQ(base, other);
    other.kittyStamp.nextPlacementId = 5;
    EXPECT_NE(base, other);
    other = base;
    other.kittyStamp.transmissionRevision = 6;
    EXPECT_NE(base, other);
    other = base;
    other.isAltBuffer = true;
    EXPECT_NE(base, other);
    other = base;
    other.yDisp = 11;
    EXPECT_NE(base, other);
}

TEST(GlyphKey, FloatsCompareNumericallyAndNegativeZeroHashesLikeZero)
{
    const GlyphKey zero{"Mono", 0.0, 5};
    const GlyphKey negativeZero{"Mono", -0.0, 5};
    EXPECT_EQ(zero, negativeZero);
    EXPECT_EQ(std::hash<GlyphKey>{}(zero), std::hash<GlyphKey>{}(negativeZero));
    const GlyphKey nan{"Mono", std::nan(""), 5};
    EXPECT_NE(nan, nan);

    std::unordered_set<GlyphKey> keys{{"Mono", 13, 5},       {"Mono", 13, 6},      {"Mono", 26, 5},
                                      {"Sans", 13, 5},       {"Mono", 13, 5, 2, 1}, {"Mono", 13, 5, 2, 2}};
    EXPECT_EQ(keys.size(), 6u);
    EXPECT_TRUE(keys.contains({"Mono", 13, 6}));
}

TEST(CustomGlyphKey, EveryFieldTakesPart)
{
    const CustomGlyphKey base{0x2500, 8, 16, 1, 1, true};
    std::unordered_set<CustomGlyphKey> keys{base};
    for (CustomGlyphKey other : {CustomGlyphKey{0x2501, 8, 16, 1, 1, true}, CustomGlyphKey{0x2500, 9, 16, 1, 1, true},
                                 CustomGlyphKey{0x2500, 8, 17, 1, 1, true}, CustomGlyphKey{0x2500, 8, 16, 2, 1, true},
                                 CustomGlyphKey{0x2500, 8, 16, 1, 2, true}, CustomGlyphKey{0x2500, 8, 16, 1, 1, false},
                                 CustomGlyphKey{0x2500, 8, 16, 1, 1, true, 2, 1}, CustomGlyphKey{0x2500, 8, 16, 1, 1, true, 1, 2}}) {
        EXPECT_NE(other, base);
        EXPECT_TRUE(keys.insert(other).second);
    }
}

} // namespace
} // namespace kestrix
