#pragma once

#include "Kestrix/model/Buffer.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace kestrix {

// Whether code and width fill a cell's first word from its low bits, as bit-fields do on a
// little-endian machine. Told by the byte order: not every compiler can look at bit-fields in a
// constant expression, and a test holds the two ways of building a cell's first word together.
constexpr bool cellCodeFillsLowBits()
{
    return std::endian::native == std::endian::little;
}

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
    // A cell's bytes after its code and width (payload and attribute): the same in every cell the
    // writer stores, kept in one register.
    using Tail = uint32_t __attribute__((vector_size(16)));

    CellWriter(Buffer &buffer, const Attribute &attribute);

    // Inline: the print path writes every cell through it.
    [[gnu::always_inline]] void put(int32_t code, int width)
    {
        if (x_ + width <= limit_) {
            CharData *const cell = cells_ + x_;
            store(cell, headOf(code, width), tail_);
            // A narrow cell leaves its neighbour alone: the continuation then goes to a spare cell,
            // which costs less than a branch on the width.
            store(width == 2 ? cell + 1 : &spare_, continuationHead, tail_);
            last_ = cell;
            x_ += width;
            return;
        }
        putThroughBuffer(code, width);
    }

    // Whether a cell of the width goes in place, before the edge.
    bool fits(int width) const { return x_ + width <= limit_; }

    // The cell written last since the writer started or resumed, which a joining scalar changes in
    // place; null when it has written none.
    CharData *last() const { return last_; }
    // Makes the last cell, single-width, two columns wide when the line has room for it.
    void widenLast();

    void suspend();
    void resume();

    // For a loop that keeps the writer's place in registers: cells go to `cells[x]` on, each ending
    // by `limit` (no cell fits when it is -1), stored with `store` and `tail`; `movedTo` hands the
    // place back.
    struct Place {
        CharData *cells;
        int64_t x;
        int64_t limit;
    };
    Place place() const { return {cells_, x_, limit_}; }
    Tail tail() const { return tail_; }
    void movedTo(int64_t x, CharData *last)
    {
        x_ = x;
        last_ = last;
    }

    // A cell's first four bytes: its code and width.
    static uint32_t headOf(int32_t code, int width)
    {
        if constexpr (cellCodeFillsLowBits()) {
            return (static_cast<uint32_t>(code) & 0xFFFFFF) | static_cast<uint32_t>(width) << 24;
        } else {
            CharData cell;
            cell.setValue(code, static_cast<int8_t>(width));
            uint32_t head = 0;
            std::memcpy(&head, &cell, sizeof head);
            return head;
        }
    }
    // The head of a wide character's continuation: no code, no width.
    static constexpr uint32_t continuationHead = 0;
    // Stores a whole cell from registers. A cell put together in memory and copied would be read
    // back in wider pieces than it was written, which stalls until the stores have drained.
    static void store(CharData *cell, uint32_t head, Tail tail)
    {
        auto *const bytes = reinterpret_cast<char *>(cell);
        std::memcpy(bytes, &head, sizeof head);
        std::memcpy(bytes + sizeof head, &tail, sizeof tail);
    }

private:
    static_assert(sizeof(CharData) == sizeof(uint32_t) + sizeof(Tail));

    void putThroughBuffer(int32_t code, int width);

    Buffer &buffer_;
    BufferLine *line_ = nullptr;
    CharData *cells_ = nullptr;
    CharData *last_ = nullptr;
    int64_t row_ = 0;
    int64_t x_ = 0;
    // Cells end by this column (exclusive); -1 sends every cell through the buffer.
    int64_t limit_ = -1;
    Tail tail_{};
    CharData blank_;
    CharData spare_;
};

} // namespace kestrix
