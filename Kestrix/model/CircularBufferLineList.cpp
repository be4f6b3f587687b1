#include "Kestrix/model/CircularBufferLineList.h"

#include "Kestrix/model/Diagnostics.h"

#include <algorithm>
#include <string>

namespace kestrix {

CircularBufferLineList::CircularBufferLineList(int64_t maxLength)
    : maxLength_(std::max<int64_t>(maxLength, 1))
{
}

void CircularBufferLineList::setCount(int64_t count)
{
    if (count > maxLength_ || count < 0) {
        fatalError("CircularBufferLineList: count " + std::to_string(count) + " outside 0..maxLength " +
                   std::to_string(maxLength_));
    }
    count_ = count;
}

void CircularBufferLineList::setMaxLength(int64_t maxLength)
{
    maxLength = std::max<int64_t>(maxLength, 1);
    if (maxLength == maxLength_) {
        return;
    }
    // Only slots that were ever allocated can hold a line; the rest are empty either way.
    int64_t kept = std::min({maxLength_, maxLength, allocatedSlots()});
    std::vector<LinePtr> fresh;
    fresh.reserve(static_cast<size_t>(kept));
    for (int64_t i = 0; i < kept; ++i) {
        int64_t physical = physicalIndex(i);
        fresh.push_back(physical < allocatedSlots() ? std::move(array_[static_cast<size_t>(physical)])
                                                    : nullptr);
    }
    array_ = std::move(fresh);
    startIndex_ = 0;
    maxLength_ = maxLength;
    count_ = std::min(count_, maxLength_);
}

int64_t CircularBufferLineList::physicalIndex(int64_t index) const
{
    if (index >= 0 && index < maxLength_) {
        // The common case, without a division.
        const int64_t physical = startIndex_ + index;
        return physical >= maxLength_ ? physical - maxLength_ : physical;
    }
    int64_t physical = (startIndex_ + index) % maxLength_;
    return physical < 0 ? physical + maxLength_ : physical;
}

CircularBufferLineList::LinePtr &CircularBufferLineList::slot(int64_t index)
{
    size_t physical = static_cast<size_t>(physicalIndex(index));
    if (physical >= array_.size()) {
        if (physical >= array_.capacity()) {
            size_t grown = std::max(physical + 1, array_.capacity() * 2);
            array_.reserve(std::min(grown, static_cast<size_t>(maxLength_)));
        }
        array_.resize(physical + 1);
    }
    return array_[physical];
}

BufferLine &CircularBufferLineList::lineMadeIfEmpty(int64_t index)
{
    if (LinePtr &line = slot(index)) {
        return *line;
    }
    LinePtr made = makeEmpty ? makeEmpty(physicalIndex(index)) : nullptr;
    if (!made) {
        fatalError("CircularBufferLineList: an empty slot was read without makeEmpty");
    }
    LinePtr &line = slot(index);
    line = std::move(made);
    return *line;
}

void CircularBufferLineList::moveLine(int64_t from, int64_t to)
{
    // Taken out first: making room for the target slot may reallocate the slot array.
    LinePtr line = std::move(slot(from));
    slot(to) = std::move(line);
}

void CircularBufferLineList::swapLines(int64_t first, int64_t second)
{
    // The first slot exists before the second is reached, so reaching the second cannot move it.
    LinePtr line = std::move(slot(first));
    LinePtr &other = slot(second);
    slot(first) = std::move(other);
    other = std::move(line);
}

// Reverses the order of the lines start..end-1.
void CircularBufferLineList::reverse(int64_t start, int64_t end)
{
    for (int64_t low = start, high = end - 1; low < high; ++low, --high) {
        swapLines(low, high);
    }
}

void CircularBufferLineList::rotate(int64_t start, int64_t count, int64_t shift)
{
    start = std::clamp<int64_t>(start, 0, count_);
    count = std::clamp<int64_t>(count, 0, count_ - start);
    if (count < 2) {
        return;
    }
    shift %= count;
    if (shift < 0) {
        shift += count;
    }
    if (shift == 0) {
        return;
    }
    reverse(start, start + shift);
    reverse(start + shift, start + count);
    reverse(start, start + count);
}

void CircularBufferLineList::set(int64_t index, LinePtr line)
{
    slot(index) = std::move(line);
}

void CircularBufferLineList::push(LinePtr line)
{
    bool hasImages = line && line->images.has_value();
    slot(count_) = std::move(line);
    if (count_ == maxLength_) {
        startIndex_ = (startIndex_ + 1) % maxLength_;
    } else {
        ++count_;
    }
    if (onLinePushed) {
        onLinePushed(hasImages);
    }
}

BufferLine &CircularBufferLineList::recycle(const Attribute &attribute)
{
    if (count_ != maxLength_) {
        fatalError("can only recycle when the buffer is full");
    }
    BufferLine &oldest = (*this)[0];
    bool hadImages = oldest.images.has_value();
    startIndex_ = startIndex_ + 1 == maxLength_ ? 0 : startIndex_ + 1;
    oldest.clear(attribute);
    // A recycled line starts over as a plain single-width line.
    oldest.renderMode = BufferLine::RenderLineMode::single;
    prefetchNextRecycled();
    if (onLineRecycled) {
        onLineRecycled(hadImages);
    }
    return oldest;
}

// The lines a long run of scrolls recycles next lie far back in memory: their cells are fetched a
// line ahead, while the host's next lines are parsed, not when they are printed. The line after
// that is only touched in its header (both of the cache lines it may span), which tells where its
// cells are on the following call.
void CircularBufferLineList::prefetchNextRecycled() const
{
    if (count_ < 3 || static_cast<int64_t>(array_.size()) < maxLength_) {
        return;
    }
    const LinePtr &next = array_[static_cast<size_t>(physicalIndex(1))];
    const LinePtr &afterNext = array_[static_cast<size_t>(physicalIndex(2))];
    if (next) {
        next->prefetchCells();
    }
    if (afterNext) {
        const char *header = reinterpret_cast<const char *>(afterNext.get());
        __builtin_prefetch(header, 1);
        __builtin_prefetch(header + sizeof(BufferLine) - 1, 1);
    }
}

void CircularBufferLineList::refuse(int64_t start, int64_t count, int64_t offset, const char *message) const
{
    printDiagnostic("Assertion at start=" + std::to_string(start) + " count=" + std::to_string(count) +
                    " offset=" + std::to_string(offset) + ": " + message);
}

bool CircularBufferLineList::moveRange(int64_t start, int64_t count, int64_t offset)
{
    if (count < 0) {
        refuse(start, count, offset, "count < 0");
        return false;
    }
    if (start < 0) {
        refuse(start, count, offset, "start < 0");
        return false;
    }
    if (start >= count_) {
        refuse(start, count, offset, "start >= self.count");
        return false;
    }
    if (start + offset <= 0) {
        refuse(start, count, offset, "start+offset <= 0");
        return false;
    }
    if (count > maxLength_) {
        refuse(start, count, offset, "count > maxLength");
        return false;
    }

    if (offset <= 0) {
        for (int64_t i = 0; i < count; ++i) {
            moveLine(start + i, start + i + offset);
        }
        return true;
    }

    int64_t end = start + count + offset;
    int64_t excess = end - maxLength_;
    if (excess <= 0) {
        for (int64_t i = count - 1; i >= 0; --i) {
            moveLine(start + i, start + i + offset);
        }
        count_ = std::max(count_, end);
        return true;
    }

    // The move runs past the capacity: its far end wraps onto the oldest slots, which may hold lines
    // that still have to move. Lift the lines out first, then drop the top and put them back.
    std::vector<LinePtr> moving(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i) {
        moving[static_cast<size_t>(i)] = std::move(slot(start + i));
    }
    count_ = maxLength_;
    startIndex_ = physicalIndex(excess);
    for (int64_t i = 0; i < count; ++i) {
        int64_t target = start + i + offset - excess;
        if (target >= 0) {
            slot(target) = std::move(moving[static_cast<size_t>(i)]);
        }
    }
    return true;
}

void CircularBufferLineList::splice(int64_t start, int64_t deleteCount, std::vector<LinePtr> items,
                                    const RowCallback &markRowDirty)
{
    auto report = [&](int64_t row) {
        if (markRowDirty) {
            markRowDirty(row);
        }
    };
    start = std::clamp<int64_t>(start, 0, count_);
    deleteCount = std::clamp<int64_t>(deleteCount, 0, count_ - start);
    if (deleteCount > 0) {
        for (int64_t i = start; i < count_ - deleteCount; ++i) {
            moveLine(i + deleteCount, i);
            report(i);
        }
        count_ -= deleteCount;
    }

    // Lines that will not fit fall off the top before anything moves, so no move lands on a line that
    // has yet to move. `dropped` keeps the reported rows in the coordinates the caller knows.
    int64_t inserted = static_cast<int64_t>(items.size());
    int64_t excess = count_ + inserted - maxLength_;
    int64_t dropped = 0;
    size_t firstItem = 0;
    if (excess > 0) {
        dropped = std::min(excess, start);
        dropOldest(dropped);
        start -= dropped;
        excess -= dropped;
        // Nothing is left above `start`: the first items themselves fall off.
        int64_t skipped = std::min(excess, inserted);
        firstItem = static_cast<size_t>(skipped);
        inserted -= skipped;
    }

    for (int64_t i = count_ - 1; i >= start; --i) {
        moveLine(i, i + inserted);
        report(i + inserted + dropped);
    }
    for (int64_t j = 0; j < inserted; ++j) {
        report(start + j + dropped);
        slot(start + j) = std::move(items[firstItem + static_cast<size_t>(j)]);
    }
    count_ += inserted;
}

void CircularBufferLineList::dropOldest(int64_t lines)
{
    lines = std::clamp<int64_t>(lines, 0, count_);
    startIndex_ = physicalIndex(lines);
    count_ -= lines;
}

std::vector<CircularBufferLineList::LinePtr> CircularBufferLineList::takeLines()
{
    std::vector<LinePtr> lines;
    lines.reserve(static_cast<size_t>(count_));
    for (int64_t i = 0; i < count_; ++i) {
        const int64_t physical = physicalIndex(i);
        lines.push_back(physical < allocatedSlots() ? std::move(array_[static_cast<size_t>(physical)])
                                                    : nullptr);
    }
    // Slots beyond the count may still hold lines; they must not come back later as stale rows.
    array_ = std::vector<LinePtr>();
    startIndex_ = 0;
    count_ = 0;
    return lines;
}

int64_t CircularBufferLineList::putLines(std::vector<LinePtr> lines)
{
    const int64_t excess = std::max<int64_t>(static_cast<int64_t>(lines.size()) - maxLength_, 0);
    lines.erase(lines.begin(), lines.begin() + excess);
    array_ = std::move(lines);
    startIndex_ = 0;
    count_ = static_cast<int64_t>(array_.size());
    return excess;
}

void CircularBufferLineList::reset(int64_t maxLength)
{
    array_ = std::vector<LinePtr>();
    startIndex_ = 0;
    count_ = 0;
    maxLength_ = std::max<int64_t>(maxLength, 1);
}

} // namespace kestrix
