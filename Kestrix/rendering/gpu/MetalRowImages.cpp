// The images of a row: the line's own images and the slices of Kitty images that placeholder cells
// show.

#include "Kestrix/core/Terminal.h"
#include "Kestrix/rendering/gpu/MetalImageDrawData.h"
#include "Kestrix/rendering/gpu/MetalTerminalRenderer.h"

namespace kestrix {

void MetalTerminalRenderer::appendRowImages(RowDrawData &data, const RowSegments &row, const MetalRowGeometry &geometry)
{
    if (imageTextures) {
        appendLineImageDraws(data, row.images, geometry, *imageTextures);
    }
}

void MetalTerminalRenderer::appendRowPlaceholders(RowDrawData &data, const RowSegments &row,
                                                  const MetalRowGeometry &geometry)
{
    if (imageTextures) {
        appendPlaceholderImageDraws(data, row.placeholders, geometry, *imageTextures);
    }
}

void MetalTerminalRenderer::pruneKittyTextureCache(const Terminal *terminal)
{
    if (imageTextures) {
        imageTextures->beginFrame(terminal ? &terminal->kittyGraphicsState : nullptr);
    }
}

} // namespace kestrix
