#include "Kestrix/rendering/KittyPlaceholderImages.h"
#include "tests/support/KittyImages.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

KittyGraphicsPayload rgba(int64_t width, int64_t height)
{
    return KittyGraphicsPayload::rgba(std::vector<uint8_t>(static_cast<size_t>(width * height * 4), 200), width, height);
}

TEST(KittyImageDecodeCache, EachImageIsDecodedOnceAndImagesBeyondTheBudgetAreNotShown)
{
    KittyGraphicsState state;
    storeKittyImage(state, 1, rgba(4, 4));
    storeKittyImage(state, 2, solidPng(QSize(4, 4)));
    storeKittyImage(state, 3, rgba(4, 4));
    storeKittyImage(state, 4, KittyGraphicsPayload::png({1, 2, 3}));
    // Room for two 4 × 4 images.
    KittyImageDecodeCache images(2 * 4 * 4 * 4);
    const std::optional<QImage> first = images.image(1, state);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->size(), QSize(4, 4));
    EXPECT_EQ(first->cacheKey(), images.image(1, state)->cacheKey());
    EXPECT_EQ(images.image(2, state)->pixelColor(0, 0), QColor(Qt::green));
    EXPECT_EQ(images.image(3, state), std::nullopt);
    EXPECT_EQ(images.image(4, state), std::nullopt);
    EXPECT_EQ(images.image(9, state), std::nullopt);
    EXPECT_EQ(images.decodedBytes(), 2 * 4 * 4 * 4);
}

TEST(KittyImagePixelSize, RawSizesAndEncodedHeadersAreReadWithoutDecoding)
{
    EXPECT_EQ(kittyImagePixelSize(rgba(3, 2)), QSize(3, 2));
    EXPECT_EQ(kittyImagePixelSize(solidPng(QSize(7, 5))), QSize(7, 5));
    EXPECT_EQ(kittyImagePixelSize(KittyGraphicsPayload::png({1, 2, 3})), std::nullopt);
    EXPECT_EQ(kittyImagePixelSize(KittyGraphicsPayload::rgba({}, 0, 0)), std::nullopt);
    EXPECT_EQ(kittyImagePixelSize(KittyGraphicsPayload::rgba({}, int64_t{1} << 40, 1)), std::nullopt);
}

TEST(VirtualPlacements, OnlyVirtualPlacementsOfTheScreenByImageInPlacementIdOrder)
{
    KittyGraphicsState state;
    for (const uint32_t placementId : {9u, 2u, 5u}) {
        state.placementsByKey[{1, placementId}] =
            KittyPlacementRecord{.imageId = 1, .placementId = placementId, .isVirtual = true};
    }
    state.placementsByKey[{1, 3}] = KittyPlacementRecord{.imageId = 1, .placementId = 3};
    state.placementsByKey[{2, 1}] =
        KittyPlacementRecord{.imageId = 2, .placementId = 1, .isVirtual = true, .isAlternateBuffer = true};
    const VirtualPlacements normal = virtualPlacementsByImage(state, false);
    ASSERT_EQ(normal.size(), 1u);
    std::vector<uint32_t> ids;
    for (const KittyPlacementRecord &record : normal.at(1)) {
        ids.push_back(record.placementId);
    }
    EXPECT_EQ(ids, (std::vector<uint32_t>{2, 5, 9}));
    EXPECT_EQ(virtualPlacementsByImage(state, true).at(2).size(), 1u);
}

} // namespace
} // namespace kestrix
