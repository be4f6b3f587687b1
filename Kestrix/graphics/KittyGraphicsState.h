#pragma once

#include "Kestrix/graphics/KittyGraphicsImage.h"
#include "Kestrix/graphics/KittyGraphicsPending.h"
#include "Kestrix/graphics/KittyPlacementKey.h"
#include "Kestrix/graphics/KittyPlacementRecord.h"

#include <cstdint>
#include <optional>
#include <unordered_map>

namespace kestrix {

// The Kitty images and placements of one terminal. It lives as long as its terminal; a reset empties
// it. Renderers use the two table sizes and the two id counters as a change stamp.
struct KittyGraphicsState {
    std::unordered_map<uint32_t, KittyGraphicsImage> imagesById;
    // Image number ("I") to the id it was given.
    std::unordered_map<uint32_t, uint32_t> imageNumbers;
    // The next id for an image sent with a number only; wraps, never reset.
    uint32_t nextImageId = 1;
    // The next id for a virtual placement without one; never reset.
    uint32_t nextPlacementId = 1;
    std::optional<KittyGraphicsPending> pending;
    std::unordered_map<KittyPlacementKey, KittyPlacementRecord> placementsByKey;
    // The sum of byteSize over imagesById; never below 0.
    int64_t totalImageBytes = 0;
    uint64_t nextImageAccessTick = 1;
    // Counts the stored transmissions; never reset, so renderers see every new image data.
    uint64_t transmissionRevision = 0;
};

} // namespace kestrix
