#pragma once

#include "Kestrix/graphics/KittyPlaceholderCell.h"
#include "Kestrix/model/BufferLine.h"
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

// Where a row's image quads may go and what double height stretches them about, in pixels: a
// double-height half is cut to its own row across the view, any other line only to the view.
struct MetalRowImageFrame {
    GpuClip clip;
    float anchorY = 0;
};
MetalRowImageFrame rowImageFrame(const MetalRowGeometry &geometry);

// Kitty images with a z-index below 0 go under the text, the other Kitty images over it, both in z
// order; images from other protocols come last, in their own order. Kitty pixel offsets (device
// pixels of the window) move an image right and down.
void appendLineImageDraws(RowDrawData &data, const std::optional<BufferLine::ImageList> &images,
                          const MetalRowGeometry &geometry, MetalImageTextures &textures);

// Each cell shows its own piece of its placement's image, which is fitted into the placement's cells
// keeping its aspect. Placements and images come from the geometry's frame; without them, nothing.
void appendPlaceholderImageDraws(RowDrawData &data, std::span<const KittyPlaceholderCell> cells,
                                 const MetalRowGeometry &geometry, MetalImageTextures &textures);

} // namespace kestrix
