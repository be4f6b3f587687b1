// The images of a row: the line's own images and the slices of Kitty images that placeholder cells
// show.

#include "Kestrix/core/Terminal.h"
#include "Kestrix/rendering/gpu/MetalTerminalRenderer.h"

namespace kestrix {

void MetalTerminalRenderer::appendRowImages(RowDrawData &, const RowSegments &, const MetalRowGeometry &)
{
}

void MetalTerminalRenderer::appendRowPlaceholders(RowDrawData &, const RowSegments &, const MetalRowGeometry &)
{
}

void MetalTerminalRenderer::pruneKittyTextureCache(const Terminal *)
{
}

} // namespace kestrix
