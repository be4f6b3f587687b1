#pragma once

#include "Kestrix/core/CursorStyle.h"
#include "Kestrix/model/BufferLine.h"
#include "Kestrix/rendering/gpu/GpuRecords.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace kestrix {

// What the cursor's shape depends on, read from the terminal and the view at the end of a frame build.
struct MetalCursorState {
    bool hidden = false;
    CursorStyle style = CursorStyle::blinkBlock;
    // The cursor's buffer line (yBase + y) and column, and the buffer's size.
    int64_t line = 0;
    int64_t column = 0;
    int64_t cols = 0;
    int64_t lineCount = 0;
    // The visible lines, both ends included, and the display offset.
    int64_t firstVisible = 0;
    int64_t lastVisible = 0;
    int64_t yDisp = 0;
    // The display width of the cell under the cursor, and the cursor line's render mode.
    int64_t cellColumns = 1;
    BufferLine::RenderLineMode renderMode = BufferLine::RenderLineMode::single;
    // Focused, or the caret does not follow focus.
    bool focused = true;
    bool blinkOn = true;
    double cellWidth = 0;
    double cellHeight = 0;
    double viewHeight = 0;
    double scale = 1;
    GpuColor color;
};

// The cursor's pixel rectangle, y up.
struct MetalCursorRect {
    float x0 = 0;
    float y0 = 0;
    float x1 = 0;
    float y1 = 0;
};

struct MetalCursorDrawData {
    std::vector<ColorVertex> colorVertices;
    // Where a focused block cursor redraws the character under it; absent for other shapes.
    std::optional<MetalCursorRect> blockRect;
};

// The cursor's shape as triangles: nothing while it is hidden, off screen, outside the line or in the
// off phase of a blinking style; a filled block, an underline or a bar when focused; a hollow box when
// not. A cursor on a wide character covers all its cells; on a double-width line it doubles.
MetalCursorDrawData buildCursorDrawData(const MetalCursorState &state);

} // namespace kestrix
