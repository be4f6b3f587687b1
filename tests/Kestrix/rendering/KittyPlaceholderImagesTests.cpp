#include "Kestrix/rendering/KittyPlaceholderImages.h"

#include <QBuffer>

#include <gtest/gtest.h>

namespace kestrix {
namespace {

void store(KittyGraphicsState &state, uint32_t id, KittyGraphicsPayload payload)
{
    const auto bytes = static_cast<int64_t>(payload.bytes().size());
    state.imagesById.insert_or_assign(id, KittyGraphicsImage{std::move(payload), bytes, 1, 1});
}

KittyGraphicsPayload rgba(int64_t width, int64_t height)
{
    return KittyGraphicsPayload::rgba(std::vector<uint8_t>(static_cast<size_t>(width * height * 4), 200), width, height);
}

KittyGraphicsPayload png(QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::green);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return KittyGraphicsPayload::png({data.begin(), data.end()});
}

TEST(KittyImageDecodeCache, EachImageIsDecodedOnceAndImagesBeyondTheBudgetAreNotShown)
{
    KittyGraphicsState state;
    store(state, 1, rgba(4, 4));
    store(state, 2, png(QSize(4, 4)));
    store(state, 3, rgba(4, 4));
    store(state, 4, KittyGraphicsPayload::png({1, 2, 3}));
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
    EXPECT_EQ(kittyImagePixelSize(png(QSize(7, 5))), QSize(7, 5));
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
