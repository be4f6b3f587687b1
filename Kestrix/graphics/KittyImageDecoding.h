#pragma once

#include "Kestrix/graphics/KittyGraphicsControl.h"
#include "Kestrix/graphics/KittyGraphicsPayload.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kestrix {

// The largest payload at any stage: decoded base64, a file or shared-memory object, inflated data.
inline constexpr int64_t kittyPayloadLimit = 419430400;
// Widths and heights lie in 1...kittyMaximumImageSide.
inline constexpr int64_t kittyMaximumImageSide = 10000;

constexpr bool isKittyImageSide(int64_t side)
{
    return side >= 1 && side <= kittyMaximumImageSide;
}

// Inflates a zlib stream; nothing for a corrupt or truncated stream or one that inflates past
// `limit` (checked as it grows, so a small bomb cannot take the memory first).
std::optional<std::vector<uint8_t>> kittyInflateZlib(std::span<const uint8_t> data,
                                                     int64_t limit = kittyPayloadLimit);

// Checks fetched (and inflated) bytes against the control's format and size: f=24 and f=32 raw
// pixels of s × v, f=100 an encoded image the decoder can size. Nothing when they do not fit.
std::optional<KittyGraphicsPayload> makeKittyGraphicsPayload(const KittyGraphicsControl &control,
                                                             std::vector<uint8_t> data);

struct KittyImageSize {
    int64_t width = 0;
    int64_t height = 0;

    bool operator==(const KittyImageSize &) const = default;
};

// The pixel size an encoded image declares, without a range test; nothing when it cannot be read.
std::optional<KittyImageSize> kittyEncodedImageSize(std::span<const uint8_t> data);

// An encoded image decoded to an rgba payload (straight alpha, as every rgba payload); nothing when
// it cannot be decoded or a side lies outside 1...kittyMaximumImageSide.
std::optional<KittyGraphicsPayload> decodeKittyImageToRgba(std::span<const uint8_t> data);

} // namespace kestrix
