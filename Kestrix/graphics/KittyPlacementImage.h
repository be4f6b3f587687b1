#pragma once

#include "Kestrix/model/TerminalImage.h"

#include <cstdint>
#include <optional>

namespace kestrix {

// A line image that may be a stripe of a Kitty placement; the fields say which placement and where.
// The view's images derive from it, so the graphics code can find and move placements in lines.
class KittyPlacementImage : public TerminalImage {
public:
    bool kittyIsKitty = false;
    std::optional<uint32_t> kittyImageId = std::nullopt;
    std::optional<uint32_t> kittyImageNumber = std::nullopt;
    std::optional<uint32_t> kittyPlacementId = std::nullopt;
    int64_t kittyZIndex = 0;
    // The placement's top-left cell (row as a line index from the oldest line) and its extent.
    int64_t kittyCol = 0;
    int64_t kittyRow = 0;
    int64_t kittyCols = 0;
    int64_t kittyRows = 0;
    // Device pixels inside the first cell.
    int64_t kittyPixelOffsetX = 0;
    int64_t kittyPixelOffsetY = 0;
};

} // namespace kestrix
