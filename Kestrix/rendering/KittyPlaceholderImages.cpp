#include "Kestrix/rendering/KittyPlaceholderImages.h"

#include "Kestrix/graphics/KittyImageDecoding.h"
#include "Kestrix/rendering/AppleImage.h"

#include <algorithm>
#include <limits>

namespace kestrix {

VirtualPlacements virtualPlacementsByImage(const KittyGraphicsState &state, bool alternateBuffer)
{
    VirtualPlacements placements;
    for (const auto &[key, record] : state.placementsByKey) {
        if (record.isVirtual && record.isAlternateBuffer == alternateBuffer) {
            placements[record.imageId].push_back(record);
        }
    }
    // The table has no order of its own; "any placement" picks the lowest id, the same on every draw.
    for (auto &[id, records] : placements) {
        std::ranges::sort(records, {}, &KittyPlacementRecord::placementId);
    }
    return placements;
}

std::optional<QImage> decodeKittyImage(const KittyGraphicsPayload &payload)
{
    const std::span<const uint8_t> bytes = payload.bytes();
    if (payload.isRgba()) {
        return imageFromStraightRgba(bytes, payload.width(), payload.height());
    }
    if (bytes.empty() || bytes.size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
        return std::nullopt;
    }
    QImage decoded = QImage::fromData(bytes.data(), static_cast<int>(bytes.size()));
    if (decoded.isNull()) {
        return std::nullopt;
    }
    return decoded.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

std::optional<QSize> kittyImagePixelSize(const KittyGraphicsPayload &payload)
{
    int64_t width = payload.width();
    int64_t height = payload.height();
    if (payload.isPng()) {
        const std::optional<KittyImageSize> declared = kittyEncodedImageSize(payload.bytes());
        if (!declared) {
            return std::nullopt;
        }
        width = declared->width;
        height = declared->height;
    }
    constexpr int64_t largest = std::numeric_limits<int>::max();
    if (width <= 0 || height <= 0 || width > largest || height > largest) {
        return std::nullopt;
    }
    return QSize(static_cast<int>(width), static_cast<int>(height));
}

std::optional<QImage> KittyImageDecodeCache::image(uint32_t imageId, const KittyGraphicsState &state)
{
    if (const auto cached = images_.find(imageId); cached != images_.end()) {
        return cached->second;
    }
    std::optional<QImage> image;
    if (const auto stored = state.imagesById.find(imageId); stored != state.imagesById.end()) {
        const KittyGraphicsPayload &payload = stored->second.payload;
        const std::optional<QSize> size = kittyImagePixelSize(payload);
        const int64_t declared = size ? int64_t{size->width()} * size->height() * 4 : 0;
        if (size && decodedBytes_ + declared <= byteBudget_) {
            image = decodeKittyImage(payload);
        }
        if (image && decodedBytes_ + image->sizeInBytes() > byteBudget_) {
            image.reset();
        }
        if (image) {
            decodedBytes_ += image->sizeInBytes();
        }
    }
    images_.emplace(imageId, image);
    return image;
}

} // namespace kestrix
