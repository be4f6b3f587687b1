#pragma once

#include "Kestrix/graphics/KittyGraphicsState.h"
#include "Kestrix/graphics/KittyPlaceholderCell.h"
#include "Kestrix/rendering/KittyPlaceholderImages.h"
#include "Kestrix/rendering/RowSegments.h"
#include "Kestrix/rendering/gpu/GpuGeometry.h"
#include "Kestrix/rendering/gpu/MetalDrawData.h"
#include "Kestrix/rendering/gpu/MetalImageTextures.h"
#include "Kestrix/rendering/gpu/MetalTerminalRenderer.h"

#include <optional>
#include <span>

// One row's images as GPU quads, placed as the QPainter path places them: line images (Sixel, inline
// files and Kitty placements cut into stripes) below or above the text, and the slice of a Kitty
// image that each Unicode placeholder cell shows.

namespace kestrix {

// Where a row's quads may go and what double height stretches them about, in pixels: a double-height
// half is cut to its own row across the view, any other line only to the view.
struct MetalRowImageFrame {
    GpuClip clip;
    float anchorY = 0;
};
MetalRowImageFrame rowImageFrame(const MetalRowGeometry &geometry, LineRenderMode mode);

// What a row's images come from: the textures, and for placeholder cells the terminal's Kitty images
// and the screen's virtual placements (nothing without a terminal).
struct MetalRowImageSources {
    MetalImageTextures &textures;
    const KittyGraphicsState *kittyState = nullptr;
    const VirtualPlacements *virtualPlacements = nullptr;
};

// Kitty images with a z-index below 0 go under the text, the other Kitty images over it, both in z
// order; images from other protocols come last, in their own order. Kitty pixel offsets move an image
// right and down.
void appendLineImageDraws(RowDrawData &data, const std::optional<BufferLine::ImageList> &images,
                          const MetalRowGeometry &geometry, LineRenderMode mode, MetalImageTextures &textures);

// Each cell shows its own piece of its placement's image, which is fitted into the placement's cells
// keeping its aspect.
void appendPlaceholderImageDraws(RowDrawData &data, std::span<const KittyPlaceholderCell> cells,
                                 const MetalRowGeometry &geometry, LineRenderMode mode,
                                 const MetalRowImageSources &sources);

// Both of the above for one row.
void appendRowImageDraws(RowDrawData &data, const RowSegments &row, const MetalRowGeometry &geometry,
                         LineRenderMode mode, const MetalRowImageSources &sources);

} // namespace kestrix
