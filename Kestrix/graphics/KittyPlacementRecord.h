#pragma once

#include <cstdint>
#include <optional>

namespace kestrix {

// One placement of an image. The first six fields are fixed when it is made.
struct KittyPlacementRecord {
    uint32_t imageId = 0;
    uint32_t placementId = 0;
    std::optional<uint32_t> parentImageId = std::nullopt;
    std::optional<uint32_t> parentPlacementId = std::nullopt;
    // Cells from the parent placement.
    int64_t parentOffsetH = 0;
    int64_t parentOffsetV = 0;
    // Device pixels inside the first cell.
    int64_t pixelOffsetX = 0;
    int64_t pixelOffsetY = 0;
    int64_t col = 0;
    // A line index counted from the buffer's oldest scrollback line (screen row plus yBase).
    int64_t row = 0;
    int64_t cols = 0;
    int64_t rows = 0;
    int64_t zIndex = 0;
    // Made for Unicode placeholders: it has no image cells.
    bool isVirtual = false;
    bool isAlternateBuffer = false;

    bool operator==(const KittyPlacementRecord &) const = default;
};

} // namespace kestrix
