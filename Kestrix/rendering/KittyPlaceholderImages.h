#pragma once

#include "Kestrix/graphics/KittyGraphicsPayload.h"
#include "Kestrix/graphics/KittyGraphicsState.h"
#include "Kestrix/graphics/KittyPlacementRecord.h"

#include <QImage>
#include <QSize>

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

// What both renderers draw Kitty Unicode placeholder cells from, so they pick the same placement and
// the same pixels.

namespace kestrix {

// The virtual placements of one screen by image id, each list in placement id order.
using VirtualPlacements = std::unordered_map<uint32_t, std::vector<KittyPlacementRecord>>;

VirtualPlacements virtualPlacementsByImage(const KittyGraphicsState &state, bool alternateBuffer);

// A stored image's pixels with premultiplied colours, rows top to bottom; nothing when the data does
// not decode or its size is unusable.
std::optional<QImage> decodeKittyImage(const KittyGraphicsPayload &payload);

// The pixel size a stored image decodes to, read without decoding it (the raw size, or an encoded
// image's header); nothing when it cannot be read.
std::optional<QSize> kittyImagePixelSize(const KittyGraphicsPayload &payload);

// The Kitty images one draw shows, each decoded once, within a budget of decoded bytes: a host that
// shows many large images at once gets some of them undrawn rather than memory without bound.
class KittyImageDecodeCache {
public:
    // Several full-screen images of a large display.
    static constexpr int64_t defaultByteBudget = int64_t{512} << 20;

    explicit KittyImageDecodeCache(int64_t byteBudget = defaultByteBudget) : byteBudget_(byteBudget) {}

    // The stored image `imageId`; nothing when it is not stored, does not decode or does not fit the
    // budget (an image is not decoded when its declared size already does not fit).
    std::optional<QImage> image(uint32_t imageId, const KittyGraphicsState &state);
    int64_t decodedBytes() const { return decodedBytes_; }

private:
    int64_t byteBudget_;
    int64_t decodedBytes_ = 0;
    // Failures too, so cells of an image that cannot be shown do not try again.
    std::unordered_map<uint32_t, std::optional<QImage>> images_;
};

} // namespace kestrix
