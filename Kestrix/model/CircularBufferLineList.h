#pragma once

#include "Kestrix/model/BufferLine.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kestrix {

// All lines of one buffer, scrollback first and screen last, in a ring of `maxLength` slots: when it
// is full, a line added at the bottom drops the oldest one at the top without moving any other line.
//
// Slots are filled lazily. The slot array grows only as far as lines actually arrive, so a capacity of
// two billion lines costs nothing until it is used; a slot that was never written holds no line until
// it is read, when `makeEmpty` provides one. Logical line i lives in slot (startIndex + i) mod maxLength.
class CircularBufferLineList {
public:
    using LinePtr = std::unique_ptr<BufferLine>;
    // Makes the line of a slot that is read while empty; it is given the slot number.
    using MakeEmpty = std::function<LinePtr(int64_t slot)>;
    // Told whether the recycled or pushed line has images.
    using LineCallback = std::function<void(bool hasImages)>;
    using RowCallback = std::function<void(int64_t row)>;

    explicit CircularBufferLineList(int64_t maxLength);
    CircularBufferLineList(const CircularBufferLineList &) = delete;
    CircularBufferLineList &operator=(const CircularBufferLineList &) = delete;

    MakeEmpty makeEmpty;
    LineCallback onLineRecycled;
    LineCallback onLinePushed;

    int64_t count() const { return count_; }
    // Raising the count above `maxLength` is an internal consistency failure. Lowering it leaves the
    // slots as they are.
    void setCount(int64_t count);
    int64_t maxLength() const { return maxLength_; }
    // Keeps the first min(old, new) lines in logical order and restarts the ring at slot 0. A caller
    // that shrinks the ring drops the lines that no longer fit first (`dropOldest`).
    void setMaxLength(int64_t maxLength);
    int64_t startIndex() const { return startIndex_; }
    bool isFull() const { return count_ == maxLength_; }
    // Number of slots allocated so far; grows with the lines, never beyond `maxLength`.
    int64_t allocatedSlots() const { return static_cast<int64_t>(array_.size()); }

    // The line at logical index i, made by `makeEmpty` first when its slot is empty.
    [[gnu::always_inline]] BufferLine &operator[](int64_t index)
    {
        // Inline for the print path: a line that exists, within the ring.
        if (index >= 0 && index < maxLength_) {
            int64_t physical = startIndex_ + index;
            physical = physical >= maxLength_ ? physical - maxLength_ : physical;
            if (static_cast<size_t>(physical) < array_.size() && array_[static_cast<size_t>(physical)]) {
                return *array_[static_cast<size_t>(physical)];
            }
        }
        return lineMadeIfEmpty(index);
    }
    // The line stored in physical slot `slot`, or nothing when that slot holds none yet. Reading this
    // way makes no line, so an observer leaves the ring as it found it.
    const BufferLine *lineInSlot(int64_t slot) const
    {
        return slot >= 0 && static_cast<size_t>(slot) < array_.size() ? array_[static_cast<size_t>(slot)].get()
                                                                      : nullptr;
    }
    // The line at logical index i, or nothing when it is not made yet. Makes no line either.
    const BufferLine *lineIfMade(int64_t index) const
    {
        return index >= 0 && index < maxLength_ ? lineInSlot(physicalIndex(index)) : nullptr;
    }
    // Stores a line at logical index i, releasing the previous one.
    void set(int64_t index, LinePtr line);

    // Adds a line after the last one; on a full ring the oldest line drops off the top.
    void push(LinePtr line);
    // On a full ring: the oldest line becomes the newest, cleared with `attribute` (its wrap flag is
    // left to the caller), and is returned. Anything else is an internal consistency failure.
    BufferLine &recycle(const Attribute &attribute);
    // Moves `count` lines from logical `start` by `offset` slots; a move that runs past the capacity
    // drops the oldest lines. Refuses bad arguments with a printed message and false. The source slots
    // are left for the caller to fill.
    bool moveRange(int64_t start, int64_t count, int64_t offset);
    // Rotates the lines start..start+count-1 so that the line at start+shift comes first (a negative
    // shift turns the other way); a range outside the lines is cut to them. Nothing is allocated.
    void rotate(int64_t start, int64_t count, int64_t shift);
    // Replaces `deleteCount` lines at `start` by `items`, keeping the capacity (the oldest lines drop
    // off the top when the ring overflows), and tells `markRowDirty` every index it writes.
    void splice(int64_t start, int64_t deleteCount, std::vector<LinePtr> items,
                const RowCallback &markRowDirty = {});
    // Drops the `lines` oldest lines (at most `count`).
    void dropOldest(int64_t lines);
    // Takes every line out, oldest first, and leaves the ring empty; a slot never read comes out
    // absent. With `putLines` a caller reorders, removes or adds lines without copying a cell.
    std::vector<LinePtr> takeLines();
    // Makes `lines` the ring's lines from logical 0 on; when they are more than the capacity the
    // oldest are released. Returns how many were released. Lines that stood in the ring before and
    // were not handed back are released too. The line callbacks are not told.
    int64_t putLines(std::vector<LinePtr> lines);
    // Releases every line and starts over empty with a new capacity; the callbacks stay.
    void reset(int64_t maxLength);

private:
    int64_t physicalIndex(int64_t index) const;
    BufferLine &lineMadeIfEmpty(int64_t index);
    LinePtr &slot(int64_t index);
    void moveLine(int64_t from, int64_t to);
    void swapLines(int64_t first, int64_t second);
    void reverse(int64_t start, int64_t end);
    void prefetchNextRecycled() const;
    void refuse(int64_t start, int64_t count, int64_t offset, const char *message) const;

    std::vector<LinePtr> array_;
    int64_t startIndex_ = 0;
    int64_t count_ = 0;
    int64_t maxLength_ = 1;
};

} // namespace kestrix
