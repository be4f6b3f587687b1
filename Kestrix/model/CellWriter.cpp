#include "Kestrix/model/CellWriter.h"

#include <algorithm>
#include <cstring>

namespace kestrix {

CellWriter::CellWriter(Buffer &buffer, const Attribute &attribute) : buffer_(buffer)
{
    blank_.attribute = attribute;
    std::memcpy(&tail_, reinterpret_cast<const char *>(&blank_) + sizeof(uint32_t), sizeof tail_);
    resume();
}

void CellWriter::widenLast()
{
    const int64_t col = last_ - cells_;
    if (last_->width == 1 && col + 1 < buffer_.cols()) {
        store(last_ + 1, continuationHead, tail_);
        last_->width = 2;
        ++x_;
    }
}

void CellWriter::suspend()
{
    line_->noteCellsWritten(x_);
    buffer_.setX(x_);
    if (last_ != nullptr) {
        buffer_.lastBufferStorage = {row_, last_ - cells_, buffer_.cols(), buffer_.rows()};
    }
}

// Takes up the cursor's line. No cell counts as written yet: a joining scalar goes to the cell the
// buffer recorded through the terminal's general path.
void CellWriter::resume()
{
    Buffer &b = buffer_;
    row_ = b.yBase() + b.y();
    line_ = &b.lines()[row_];
    x_ = b.x();
    cells_ = line_->cellsToWriteFrom(x_);
    const int64_t right = b.modes().marginMode ? b.marginRight() : b.cols() - 1;
    limit_ = b.modes().insertMode || x_ < 0 ? -1 : std::min({right + 1, b.cols(), line_->dataSize()});
    last_ = nullptr;
}

// Wraps, clamps or drops the cell as putCharacter does. The cell it writes is the one to join next;
// when it drops one, the cell written before stays the one.
void CellWriter::putThroughBuffer(int32_t code, int width)
{
    suspend();
    const Buffer::LastBufferStorage before = buffer_.lastBufferStorage;
    buffer_.lastBufferStorage.y = -1;
    CharData cell = blank_;
    cell.setValue(code, static_cast<int8_t>(width));
    buffer_.putCharacter(cell);
    const Buffer::LastBufferStorage written = buffer_.lastBufferStorage;
    if (written.y < 0) {
        buffer_.lastBufferStorage = before;
    }
    resume();
    if (written.y == row_) {
        last_ = cells_ + std::min(written.x, buffer_.cols() - 1);
    }
}

} // namespace kestrix
