#pragma once

#include "Kestrix/graphics/ImageSizeRequest.h"

#include <cstdint>
#include <optional>

namespace kestrix {

// What a Kitty placement tells the view while it hands over the image: the view labels the image
// cells with it and records the placement.
struct KittyPlacementContext {
    std::optional<uint32_t> imageId = std::nullopt;
    std::optional<uint32_t> imageNumber = std::nullopt;
    std::optional<uint32_t> placementId = std::nullopt;
    std::optional<uint32_t> parentImageId = std::nullopt;
    std::optional<uint32_t> parentPlacementId = std::nullopt;
    int64_t parentOffsetH = 0;
    int64_t parentOffsetV = 0;
    int64_t zIndex = 0;
    ImageSizeRequest widthRequest = ImageSizeRequest::automatic();
    ImageSizeRequest heightRequest = ImageSizeRequest::automatic();
    bool preserveAspectRatio = true;
    int64_t cursorPolicy = 0;
    bool isRelative = false;
    int64_t pixelOffsetX = 0;
    int64_t pixelOffsetY = 0;

    bool operator==(const KittyPlacementContext &) const = default;
};

} // namespace kestrix
