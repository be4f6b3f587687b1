#pragma once

#include "Kestrix/graphics/KittyGraphicsPayload.h"

#include <cstdint>

namespace kestrix {

// One stored image.
struct KittyGraphicsImage {
    KittyGraphicsPayload payload;
    // Fixed at storing: the pixel bytes of rgba, the encoded bytes of png.
    int64_t byteSize = 0;
    // The tick of the last store or put; larger is more recent.
    uint64_t lastAccessTick = 0;
    // Which transmission stored it: differs for every store, so a renderer can tell an image sent
    // again under the same id from the one it already holds.
    uint64_t revision = 0;
};

} // namespace kestrix
