#pragma once

#include "Kestrix/rendering/KittyPlaceholderImages.h"
#include "Kestrix/rendering/gpu/GpuGeometry.h"
#include "Kestrix/rendering/gpu/GpuRecords.h"

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace kestrix {

// What one row, or a whole frame, draws, in the order the layers are drawn: backgrounds, images under
// the text, glyphs of the grayscale and of the colour atlas, decorations (bars, then strokes from the
// grayscale atlas), then placeholder slices,
// images over the text and images from other protocols.
struct FrameDrawData {
    std::vector<ColorCell> backgroundCells;
    std::vector<TextCell> glyphCellsGray;
    std::vector<TextCell> glyphCellsColor;
    std::vector<ColorCell> decorationCells;
    std::vector<TextCell> decorationStrokeCells;
    std::vector<ImageDraw> underImageDraws;
    std::vector<ImageDraw> placeholderImageDraws;
    std::vector<ImageDraw> overImageDraws;
    std::vector<ImageDraw> otherImageDraws;
};

using RowDrawData = FrameDrawData;

// Appends every list of a row to the same list of the frame.
void appendRowToFrame(FrameDrawData &frame, const RowDrawData &row);

// One frame: the rows' lists, then the cursor drawn over them (its shape, then the character under a
// block cursor from either atlas).
struct DrawData {
    FrameDrawData frame;
    std::vector<ColorVertex> cursorColorVertices;
    std::vector<GlyphVertex> cursorGlyphVerticesGray;
    std::vector<GlyphVertex> cursorGlyphVerticesColor;
};

// The virtual (Unicode placeholder) Kitty placements of the active buffer by image id, each list in
// placement id order.
using MetalVirtualPlacements = VirtualPlacements;

// A row drawn earlier and the line it was drawn from: reused while the line at its index is the same
// line (its serial) unchanged since (its generation).
struct RowCacheEntry {
    uint64_t lineSerial = 0;
    uint64_t generation = 0;
    RowDrawData data;
};

// How much of the last frame build was drawn anew.
struct FrameBuildStats {
    int64_t rowsBuilt = 0;
    int64_t rowsReused = 0;
};

} // namespace kestrix
