#pragma once

#include "Kestrix/model/Buffer.h"

#include <cstdint>

namespace kestrix {

// Writes printed cells of one or two columns at a buffer's cursor straight into the cursor's line,
// leaving what Buffer::putCharacter leaves cell by cell. A cell that fits before the right edge
// (margin or last column) is stored in place with its continuation cell; any other (a wrap, the
// edge without wraparound, insert mode, a cursor left of the line) goes through putCharacter.
//
// While it writes, the buffer's cursor, its `lastBufferStorage` and the line's change count lag
// behind: `suspend` brings them up to date before anything else reads or changes the buffer, and
// `resume` takes them up again.
class CellWriter {
public:
    CellWriter(Buffer &buffer, const Attribute &attribute);

    // Inline: the print path writes every cell through it.
    void put(int32_t code, int width)
    {
        if (x_ + width <= limit_) {
            CharData *const cell = cells_ + x_;
            // Built in place: a cell put together on the side and copied would be read back in
            // wider pieces than it was written, which stalls until the stores have drained.
            *cell = blank_;
            cell->setValue(code, static_cast<int8_t>(width));
            // A narrow cell leaves its neighbour alone: the continuation then goes to a spare cell,
            // which costs less than a branch on the width.
            *(width == 2 ? cell + 1 : &spare_) = continuation_;
            last_ = cell;
            x_ += width;
            return;
        }
        putThroughBuffer(code, width);
    }

    // The cell written last since the writer started or resumed, which a joining scalar changes in
    // place; null when it has written none.
    CharData *last() const { return last_; }
    // Makes the last cell, single-width, two columns wide when the line has room for it.
    void widenLast();

    void suspend();
    void resume();

private:
    void putThroughBuffer(int32_t code, int width);

    Buffer &buffer_;
    BufferLine *line_ = nullptr;
    CharData *cells_ = nullptr;
    CharData *last_ = nullptr;
    int64_t row_ = 0;
    int64_t x_ = 0;
    // Cells end by this column (exclusive); -1 sends every cell through the buffer.
    int64_t limit_ = -1;
    CharData blank_;
    CharData continuation_;
    CharData spare_;
};

} // namespace kestrix
