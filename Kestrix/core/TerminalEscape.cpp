// The bodies of the ESC sequences with their own logic: line rendition (ESC # 3 to 6) and the
// screen alignment test (ESC # 8). The ESC table itself is in the parser's dispatch.

#include "Kestrix/core/Terminal.h"

namespace kestrix {

// Only how the row is drawn changes; its cells and the cursor stay.
void Terminal::setLineRenderMode(BufferLine::RenderLineMode mode)
{
    const int64_t index = buffer->yBase() + buffer->y();
    if (index >= buffer->lines().count()) {
        return;
    }
    BufferLine &line = buffer->lines()[index];
    line.renderMode = mode;
    ++line.generation;
    markRowDirty(buffer->y());
}

// DECALN: the whole screen becomes "E" in the current colours; region and margins stay.
void Terminal::cmdScreenAlignmentTest()
{
    CharData cell;
    cell.code = cellCode("E");
    cell.attribute.fg = curAttr.fg;
    cell.attribute.bg = curAttr.bg;
    cell.attribute.underlineColor = curAttr.underlineColor;
    moveCursorTo(0, 0);
    CircularBufferLineList &lines = buffer->lines();
    for (int64_t row = 0; row < rows; ++row) {
        const int64_t index = buffer->yBase() + row;
        if (index >= lines.count()) {
            break;
        }
        BufferLine &line = lines[index];
        line.fill(cell);
        line.isWrapped = false;
        ++line.generation;
    }
    markAllRowsDirty();
    moveCursorTo(0, 0);
}

} // namespace kestrix
