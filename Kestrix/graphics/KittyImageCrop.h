#pragma once

#include "Kestrix/graphics/KittyGraphicsPayload.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrix {

// The image a placement shows, or the error text that refuses the crop.
struct KittyCropResult {
    std::optional<KittyGraphicsPayload> image;
    std::string_view error;
};

// Cuts the rectangle at (x, y) of `width` × `height` pixels out of an image; a width or height below
// 1 means "to the image's edge", and the rectangle is clamped to the image. An encoded image is
// decoded to pixels first and stays decoded even when the rectangle covers all of it.
KittyCropResult cropKittyImage(const KittyGraphicsPayload &image, int64_t x, int64_t y, int64_t width,
                               int64_t height);

} // namespace kestrix
