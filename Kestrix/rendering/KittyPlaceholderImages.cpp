#include "Kestrix/rendering/KittyPlaceholderImages.h"

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

} // namespace kestrix
