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

// How much inflating a payload may produce.
struct KittyInflationLimit {
    int64_t bytes = kittyPayloadLimit;
    // An encoded image is also held to what an image of the size its header declares can need, from
    // the moment that header has been inflated.
    bool isEncodedImage = false;
};

// What a payload of `control` may inflate to: exactly the s × v pixels of a raw format (nothing for
// sides out of range or an unknown format), for an encoded image `declaredSize` (the "S" key, where
// the medium leaves it free to name the inflated size) or else the payload limit.
KittyInflationLimit kittyInflationLimit(const KittyGraphicsControl &control, std::optional<int64_t> declaredSize);

// The most bytes a PNG of width × height can sensibly take: its pixels at 16 bits a channel with
// filter bytes, twice over for the encoding's overhead, plus room for ancillary chunks.
int64_t kittyEncodedImageByteBound(int64_t width, int64_t height);

// Inflates a zlib stream; nothing for a corrupt or truncated stream or one that inflates past the
// limit. The limit is checked as the output grows, so a small bomb stops as soon as it passes it.
std::optional<std::vector<uint8_t>> kittyInflateZlib(std::span<const uint8_t> data,
                                                     KittyInflationLimit limit = {});

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
