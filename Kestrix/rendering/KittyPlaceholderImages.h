#pragma once

#include "Kestrix/graphics/KittyGraphicsPayload.h"
#include "Kestrix/graphics/KittyGraphicsState.h"
#include "Kestrix/graphics/KittyPlacementRecord.h"

#include <QImage>

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

// What both renderers draw Kitty Unicode placeholder cells from, so they pick the same placement and
// the same pixels.

namespace kestrix {

// The virtual placements of one screen by image id, each list in placement id order.
using VirtualPlacements = std::unordered_map<uint32_t, std::vector<KittyPlacementRecord>>;

VirtualPlacements virtualPlacementsByImage(const KittyGraphicsState &state, bool alternateBuffer);

// A stored image's pixels with premultiplied colours, rows top to bottom; nothing when the data does
// not decode or its size is unusable.
std::optional<QImage> decodeKittyImage(const KittyGraphicsPayload &payload);

} // namespace kestrix
