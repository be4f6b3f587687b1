#include "Kestrix/graphics/KittyGraphicsPending.h"

#include <algorithm>

namespace kestrix {

void KittyGraphicsPending::appendChunk(std::span<const uint8_t> payload, size_t limit)
{
    if (isRefused) {
        return;
    }
    std::vector<uint8_t> piece;
    piece.reserve(payload.size() / 4 * 3 + 3);
    if (!decoder.append(payload, piece) || data.size() > limit || piece.size() > limit - data.size()) {
        isRefused = true;
        data = {};
        return;
    }
    // Grown by hand, never past the limit: doubling alone could reserve twice what an image may hold.
    const size_t needed = data.size() + piece.size();
    if (needed > data.capacity()) {
        data.reserve(std::min(std::max(needed, data.capacity() * 2), limit));
    }
    data.insert(data.end(), piece.begin(), piece.end());
}

std::vector<uint8_t> KittyGraphicsPending::takeData()
{
    if (isRefused || !decoder.finish()) {
        return {};
    }
    return std::move(data);
}

} // namespace kestrix
