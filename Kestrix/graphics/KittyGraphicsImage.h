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
};

} // namespace kestrix
