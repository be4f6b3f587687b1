#include "Kestrix/graphics/KittyGraphicsPending.h"

namespace kestrix {

void KittyGraphicsPending::appendChunk(std::span<const uint8_t> payload, size_t limit)
{
    if (exceedsLimit) {
        return;
    }
    if (base64Payload.size() > limit || payload.size() > limit - base64Payload.size()) {
        exceedsLimit = true;
        base64Payload = {};
        return;
    }
    base64Payload.insert(base64Payload.end(), payload.begin(), payload.end());
}

} // namespace kestrix
