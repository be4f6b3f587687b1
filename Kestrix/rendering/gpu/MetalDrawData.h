#pragma once

#include "Kestrix/rendering/gpu/GpuGeometry.h"
#include "Kestrix/rendering/gpu/GpuRecords.h"

#include <vector>

namespace kestrix {

// What one row, or a whole frame, draws, in the order the layers are drawn: backgrounds, images under
// the text, glyphs of the grayscale and of the colour atlas, decorations, then placeholder slices,
// images over the text and images from other protocols.
struct FrameDrawData {
    std::vector<ColorCell> backgroundCells;
    std::vector<TextCell> glyphCellsGray;
    std::vector<TextCell> glyphCellsColor;
    std::vector<ColorCell> decorationCells;
    std::vector<ImageDraw> underImageDraws;
    std::vector<ImageDraw> placeholderImageDraws;
    std::vector<ImageDraw> overImageDraws;
    std::vector<ImageDraw> otherImageDraws;
};

using RowDrawData = FrameDrawData;

} // namespace kestrix
