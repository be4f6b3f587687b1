#pragma once

#include "Kestrix/graphics/KittyGraphicsControl.h"
#include "Kestrix/graphics/KittyImageDecoding.h"
#include "Kestrix/model/Base64.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kestrix {

// The payload of one command as it arrives, possibly in several chunks: each chunk's base64 text is
// decoded as it comes (clients encode every chunk on its own, padding included), so only the image
// bytes are kept, and never more of them than any image may have.
struct KittyGraphicsPending {
    explicit KittyGraphicsPending(KittyGraphicsControl first = {})
        : control(first)
    {
    }

    // Decodes one chunk's payload text onto what came before; past `limit` bytes in all, the data is
    // dropped for good.
    void appendChunk(std::span<const uint8_t> payload, size_t limit = kittyPayloadLimit);
    // The bytes of the whole payload once the last chunk is in: empty when the text was malformed or
    // grew past the limit, which every medium refuses as a bad payload.
    std::vector<uint8_t> takeData();

    // The first chunk's keys; later chunks only add payload.
    KittyGraphicsControl control;
    // The decoded payload so far.
    std::vector<uint8_t> data;
    Base64Decoder decoder;
    // Set once the text was malformed or grew past what any acceptable image can need: the data is
    // dropped and the final chunk is answered as a bad payload.
    bool isRefused = false;
};

} // namespace kestrix
