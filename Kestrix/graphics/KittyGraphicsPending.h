#pragma once

#include "Kestrix/graphics/KittyGraphicsControl.h"
#include "Kestrix/graphics/KittyImageDecoding.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kestrix {

// An upload whose first chunk announced more chunks.
struct KittyGraphicsPending {
    // The base64 text of the largest payload an image may have.
    static constexpr size_t maximumPayloadText = (kittyPayloadLimit + 2) / 3 * 4;

    // Adds one chunk's payload text; past `limit` bytes in all, the text is dropped for good.
    void appendChunk(std::span<const uint8_t> payload, size_t limit = maximumPayloadText);

    // The first chunk's keys; later chunks only add payload.
    KittyGraphicsControl control;
    // The payload text of every chunk so far, joined, not yet decoded.
    std::vector<uint8_t> base64Payload;
    // Set once the joined text grew past what any acceptable image can need: the text is dropped
    // and the final chunk is answered as a bad payload.
    bool exceedsLimit = false;
};

} // namespace kestrix
