#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace kestrix {

// Names one placement: the image and the placement id within it.
struct KittyPlacementKey {
    uint32_t imageId = 0;
    uint32_t placementId = 0;

    bool operator==(const KittyPlacementKey &) const = default;
};

} // namespace kestrix

template <> struct std::hash<kestrix::KittyPlacementKey> {
    size_t operator()(const kestrix::KittyPlacementKey &key) const noexcept
    {
        return std::hash<uint64_t>{}(uint64_t{key.imageId} << 32 | key.placementId);
    }
};
