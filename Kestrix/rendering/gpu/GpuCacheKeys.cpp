#include "Kestrix/rendering/gpu/GpuCacheKeys.h"

#include <QHash>

#include <algorithm>

namespace kestrix {

uint32_t headHash(std::span<const uint8_t> bytes, size_t limit)
{
    const size_t count = std::min(bytes.size(), limit);
    if (count == 0) {
        return 0;
    }
    uint32_t hash = 2166136261u;
    for (const uint8_t byte : bytes.first(count)) {
        hash ^= byte;
        hash *= 16777619u;
    }
    return hash;
}

KittyImageSignature kittyImageSignature(const KittyGraphicsImage &image)
{
    const KittyGraphicsPayload &payload = image.payload;
    const std::span<const uint8_t> bytes = payload.bytes();
    KittyImageSignature signature;
    signature.kind = payload.isRgba() ? 2 : 1;
    signature.width = payload.isRgba() ? payload.width() : 0;
    signature.height = payload.isRgba() ? payload.height() : 0;
    signature.byteCount = static_cast<int64_t>(bytes.size());
    signature.headHash = headHash(bytes);
    signature.revision = image.revision;
    return signature;
}

KittyCacheStamp kittyCacheStamp(const KittyGraphicsState &state)
{
    return {static_cast<int64_t>(state.imagesById.size()), static_cast<int64_t>(state.placementsByKey.size()),
            state.nextImageId, state.nextPlacementId, state.transmissionRevision};
}

size_t hashCombine(size_t seed, size_t value)
{
    return seed ^ (value + 0x9e3779b97f4a7c15ull + (seed << 6) + (seed >> 2));
}

size_t hashDouble(double value)
{
    return std::hash<double>{}(value == 0 ? 0.0 : value);
}

} // namespace kestrix

size_t std::hash<kestrix::GlyphKey>::operator()(const kestrix::GlyphKey &key) const noexcept
{
    size_t seed = qHash(key.fontName);
    seed = kestrix::hashCombine(seed, kestrix::hashDouble(key.size));
    seed = kestrix::hashCombine(seed, kestrix::hashDouble(key.stretchX));
    seed = kestrix::hashCombine(seed, kestrix::hashDouble(key.stretchY));
    return kestrix::hashCombine(seed, key.glyph);
}

size_t std::hash<kestrix::CustomGlyphKey>::operator()(const kestrix::CustomGlyphKey &key) const noexcept
{
    size_t seed = key.codePoint;
    seed = kestrix::hashCombine(seed, std::hash<int64_t>{}(key.cellWidthPx));
    seed = kestrix::hashCombine(seed, std::hash<int64_t>{}(key.cellHeightPx));
    seed = kestrix::hashCombine(seed, std::hash<int64_t>{}(key.baseThicknessPx));
    seed = kestrix::hashCombine(seed, std::hash<int64_t>{}(key.scale));
    seed = kestrix::hashCombine(seed, static_cast<size_t>(key.stretchX) * 16 + static_cast<size_t>(key.stretchY));
    return kestrix::hashCombine(seed, key.antiAlias ? 1 : 0);
}

size_t std::hash<kestrix::DecorationStrokeKey>::operator()(const kestrix::DecorationStrokeKey &key) const noexcept
{
    size_t seed = key.roundCap ? 1 : 0;
    for (double value : key.devicePoints) {
        seed = kestrix::hashCombine(seed, kestrix::hashDouble(value));
    }
    seed = kestrix::hashCombine(seed, kestrix::hashDouble(key.width));
    seed = kestrix::hashCombine(seed, kestrix::hashDouble(key.dash));
    seed = kestrix::hashCombine(seed, kestrix::hashDouble(key.gap));
    seed = kestrix::hashCombine(seed, kestrix::hashDouble(key.scaleX));
    return kestrix::hashCombine(seed, kestrix::hashDouble(key.scaleY));
}
