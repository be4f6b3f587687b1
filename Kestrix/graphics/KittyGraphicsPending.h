#pragma once

#include "Kestrix/graphics/KittyGraphicsControl.h"

#include <cstdint>
#include <vector>

namespace kestrix {

// An upload whose first chunk announced more chunks.
struct KittyGraphicsPending {
    // The first chunk's keys; later chunks only add payload.
    KittyGraphicsControl control;
    // The payload text of every chunk so far, joined, not yet decoded.
    std::vector<uint8_t> base64Payload;
    // Set once the joined text grew past what any acceptable image can need: the text is dropped
    // and the final chunk is answered as a bad payload.
    bool exceedsLimit = false;
};

} // namespace kestrix
