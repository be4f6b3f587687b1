#include "Kestrix/model/Buffer.h"

#include "Kestrix/model/Diagnostics.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

namespace kestrix {

int64_t Buffer::ringCapacity(int64_t rows, std::optional<int64_t> scrollback)
{
    rows = std::clamp<int64_t>(rows, 1, maximumCapacity);
    int64_t extra = std::clamp<int64_t>(scrollback.value_or(0), 0, maximumCapacity);
    return std::min(rows + extra, maximumCapacity);
}

Buffer::Buffer(int64_t cols, int64_t rows, int64_t tabStopWidth, std::optional<int64_t> scrollback)
    : Buffer(cols, rows, tabStopWidth, scrollback, ownModes_)
{
}

Buffer::Buffer(int64_t cols, int64_t rows, int64_t tabStopWidth, std::optional<int64_t> scrollback,
               WritingModes &modes)
    : scroll([](bool) { fatalError("This should be set after creating a buffer"); })
    , lines_(ringCapacity(rows, scrollback))
    , scrollBottom_(std::max<int64_t>(rows, 1) - 1)
    , marginRight_(std::max<int64_t>(cols, 1) - 1)
    , hasScrollback_(scrollback.has_value())
    , cols_(std::max<int64_t>(cols, 1))
    , rows_(std::max<int64_t>(rows, 1))
    , scrollback_(scrollback)
    , modes_(&modes)
{
    installLineCallbacks();
    setupTabStops(-1, tabStopWidth);
}

void Buffer::setScrollTop(int64_t row)
{
    if (row >= 0) {
        scrollTop_ = row;
    }
}

void Buffer::setScrollBottom(int64_t row)
{
    if (row >= 0) {
        scrollBottom_ = row;
    }
}

void Buffer::installLineCallbacks()
{
    // The ring belongs to this buffer, so the callbacks never outlive it.
    lines_.makeEmpty = [this](int64_t) { return makeEmptyLine(); };
    lines_.onLineRecycled = [this](bool hadImages) {
        if (hadImages) {
            --linesWithImagesCount_;
        }
    };
    lines_.onLinePushed = [this](bool hasImages) {
        if (hasImages) {
            ++linesWithImagesCount_;
        }
    };
}

std::unique_ptr<BufferLine> Buffer::makeEmptyLine() const
{
    return std::make_unique<BufferLine>(cols_, CharData::nullCell);
}

std::unique_ptr<BufferLine> Buffer::getBlankLine(const Attribute &attribute, bool isWrapped) const
{
    CharData blank;
    blank.attribute = attribute;
    return std::make_unique<BufferLine>(cols_, blank, isWrapped);
}

void Buffer::fillViewportRows(std::optional<Attribute> attribute)
{
    if (lines_.count() != 0) {
        return;
    }
    for (int64_t row = 0; row < rows_; ++row) {
        lines_.push(getBlankLine(attribute.value_or(Attribute())));
    }
}

void Buffer::clear()
{
    yDisp_ = 0;
    linesTop = 0;
    xBase = 0;
    x_ = 0;
    y_ = 0;
    yBase_ = 0;
    lines_.reset(ringCapacity(rows_, scrollback_));
    linesWithImagesCount_ = 0;
    scrollTop_ = 0;
    scrollBottom_ = rows_ - 1;
    marginLeft_ = 0;
    marginRight_ = cols_ - 1;
}

void Buffer::softReset()
{
    savedAttr = Attribute();
    savedX = 0;
    savedY = 0;
    savedCharset.reset();
    savedOriginMode = false;
    savedMarginMode = false;
    savedWraparound = false;
    savedReverseWraparound = false;
    marginLeft_ = 0;
    marginRight_ = cols_ - 1;
}

const CharData &Buffer::charAt(int64_t col, int64_t row)
{
    if (row < 0 || row >= lines_.count()) {
        return CharData::nullCell;
    }
    BufferLine &line = lines_[row];
    if (col < 0 || col >= line.dataSize()) {
        return CharData::nullCell;
    }
    return line[col];
}

// MARK: Tab stops

void Buffer::setupTabStops(int64_t index, int64_t tabWidth)
{
    int64_t start = 0;
    if (index == -1) {
        tabStops.assign(static_cast<size_t>(cols_), 0);
    } else {
        tabStops.resize(static_cast<size_t>(cols_), 0);
        index = std::clamp<int64_t>(index, 0, cols_ - 1);
        start = tabStops[static_cast<size_t>(index)] ? index : previousTabStop(index);
    }
    if (tabWidth <= 0) {
        return;
    }
    for (int64_t column = start; column < cols_; column += tabWidth) {
        tabStops[static_cast<size_t>(column)] = 1;
    }
}

void Buffer::setTabStop(int64_t at)
{
    if (at >= 0 && at < static_cast<int64_t>(tabStops.size())) {
        tabStops[static_cast<size_t>(at)] = 1;
    }
}

void Buffer::clearTabStop(int64_t at)
{
    if (at >= 0 && at < static_cast<int64_t>(tabStops.size())) {
        tabStops[static_cast<size_t>(at)] = 0;
    }
}

int64_t Buffer::nextTabStop(int64_t from, bool withinMargins) const
{
    if (from == -1) {
        from = x_;
    }
    int64_t limit = withinMargins ? marginRight_ : cols_ - 1;
    int64_t last = std::min(limit, static_cast<int64_t>(tabStops.size()) - 1);
    int64_t column = std::max<int64_t>(from + 1, 0);
    if (column > last) {
        return limit;
    }
    const uint8_t *stops = tabStops.data();
    if constexpr (std::endian::native == std::endian::little) {
        // Eight stops a step: a tab crosses up to eight columns, and source text is full of them.
        // Adding 0x7F to the low seven bits of a byte carries into its top bit unless they are 0;
        // with the byte's own top bit, the top bit says whether the byte is not 0.
        constexpr uint64_t lowBits = 0x7F7F7F7F7F7F7F7FULL;
        for (; column + 8 <= last + 1; column += 8) {
            uint64_t word = 0;
            std::memcpy(&word, stops + column, sizeof word);
            if (const uint64_t set = (((word & lowBits) + lowBits) | word) & ~lowBits) {
                return column + std::countr_zero(set) / 8;
            }
        }
    }
    for (; column <= last; ++column) {
        if (stops[column] != 0) {
            return column;
        }
    }
    return limit;
}

int64_t Buffer::previousTabStop(int64_t from) const
{
    if (from == -1) {
        from = x_;
    }
    int64_t column = std::min(from, static_cast<int64_t>(tabStops.size())) - 1;
    while (column > 0 && !tabStops[static_cast<size_t>(column)]) {
        --column;
    }
    return std::clamp<int64_t>(column, 0, cols_ - 1);
}

// MARK: Inline images

void Buffer::clearLineImages(int64_t row)
{
    if (row < 0 || row >= lines_.count()) {
        return;
    }
    BufferLine &line = lines_[row];
    if (line.images) {
        line.images.reset();
        --linesWithImagesCount_;
        ++line.generation;
    }
}

void Buffer::appendLineImage(std::shared_ptr<TerminalImage> image, int64_t row)
{
    if (!image || row < 0 || row >= lines_.count()) {
        return;
    }
    BufferLine &line = lines_[row];
    if (!line.images) {
        line.images.emplace();
        ++linesWithImagesCount_;
    }
    line.images->push_back(std::move(image));
    ++line.generation;
}

void Buffer::recountLinesWithImages()
{
    int64_t counted = 0;
    for (int64_t row = 0; row < lines_.count(); ++row) {
        if (lines_[row].images) {
            ++counted;
        }
    }
    linesWithImagesCount_ = counted;
}

// MARK: Printing

void Buffer::wrapCursor()
{
    x_ = modes_->marginMode ? marginLeft_ : 0;
    // The line-feed rule: only the region's bottom row scrolls it; below the region the cursor moves
    // down, and on the last row it stays.
    if (y_ == scrollBottom_) {
        scroll(true);
    } else if (y_ < rows_ - 1) {
        ++y_;
        BufferLine &line = lines_[yBase_ + y_];
        line.isWrapped = true;
        ++line.generation;
    }
}

void Buffer::putCharacter(const CharData &cell)
{
    int64_t width = cell.width;
    int64_t right = rightEdge();
    if (x_ + width - 1 > right) {
        if (modes_->wraparound) {
            wrapCursor();
        } else if (width >= 2) {
            return;
        } else {
            x_ = right;
        }
    }

    BufferLine &line = lines_[yBase_ + y_];
    CharData blank;
    blank.attribute = cell.attribute;
    if (modes_->insertMode) {
        line.insertCells(x_, width, right, blank);
        // A wide character pushed against the edge lost its second half.
        if (line[std::min(cols_ - 1, line.dataSize() - 1)].width == 2) {
            line.setCell(cols_ - 1, blank);
        }
    }
    lastBufferStorage = {yBase_ + y_, x_, cols_, rows_};
    if (x_ >= cols_) {
        x_ = cols_ - 1;
    }
    line.setCell(x_, cell);
    ++x_;

    CharData continuation = blank;
    continuation.width = 0;
    for (int64_t i = 1; i < width && x_ < cols_; ++i) {
        line.setCell(x_, continuation);
        ++x_;
    }
}

// MARK: Size

void Buffer::shrinkRing(int64_t capacity)
{
    int64_t excess = lines_.count() - capacity;
    if (excess > 0) {
        lines_.dropOldest(excess);
        // Dropped lines were scrollback: the screen and the saved cursor row stay where they are.
        yBase_ = std::max<int64_t>(yBase_ - excess, 0);
        yDisp_ = std::max<int64_t>(yDisp_ - excess, 0);
        if (hasLinesWithImages()) {
            recountLinesWithImages();
        }
    }
    lines_.setMaxLength(capacity);
}

void Buffer::changeScrollback(std::optional<int64_t> lines)
{
    if (lines) {
        lines = std::max<int64_t>(*lines, 0);
    }
    scrollback_ = lines;
    hasScrollback_ = lines.has_value();
    int64_t capacity = ringCapacity(rows_, scrollback_);
    if (capacity == lines_.maxLength()) {
        return;
    }
    if (capacity > lines_.maxLength()) {
        lines_.setMaxLength(capacity);
    } else {
        shrinkRing(capacity);
    }
}

void Buffer::growRows(int64_t newCols, int64_t newRows, int64_t &addToY)
{
    for (int64_t row = rows_; row < newRows && lines_.count() < newRows + yBase_; ++row) {
        if (yBase_ > 0 && lines_.count() <= yBase_ + row + addToY + 1) {
            // Pull a scrollback line into view.
            --yBase_;
            ++addToY;
            if (yDisp_ > 0) {
                --yDisp_;
            }
        } else {
            lines_.push(std::make_unique<BufferLine>(newCols, CharData::nullCell));
        }
    }
}

void Buffer::shrinkRows(int64_t newRows)
{
    for (int64_t row = rows_; row > newRows && lines_.count() > newRows + yBase_; --row) {
        if (yBase_ + y_ + 1 < lines_.count()) {
            // A line below the cursor goes first. Its slot is released so it never comes back stale.
            if (lines_[lines_.count() - 1].images) {
                --linesWithImagesCount_;
            }
            lines_.set(lines_.count() - 1, nullptr);
            lines_.setCount(lines_.count() - 1);
        } else {
            ++yBase_;
            ++yDisp_;
        }
    }
}

void Buffer::resize(int64_t newCols, int64_t newRows)
{
    newCols = std::max<int64_t>(newCols, 1);
    newRows = std::max<int64_t>(newRows, 1);
    marginRight_ = std::min(marginRight_, newCols - 1);
    marginLeft_ = std::min(marginLeft_, marginRight_);

    int64_t capacity = ringCapacity(newRows, scrollback_);
    if (lines_.maxLength() < capacity) {
        lines_.setMaxLength(capacity);
    }

    if (lines_.count() > 0) {
        if (cols_ < newCols) {
            for (int64_t row = 0; row < lines_.count(); ++row) {
                lines_[row].resize(newCols, CharData::nullCell);
            }
        }
        int64_t addToY = 0;
        if (rows_ < newRows) {
            growRows(newCols, newRows, addToY);
        } else if (rows_ > newRows) {
            shrinkRows(newRows);
        }
        if (capacity < lines_.maxLength()) {
            shrinkRing(capacity);
        }
        x_ = std::min(x_, newCols - 1);
        y_ = std::min(y_, newRows - 1) + addToY;
        savedX = std::min(savedX, newCols - 1);
        scrollTop_ = 0;
    }
    scrollBottom_ = newRows - 1;
    tabStops.resize(static_cast<size_t>(newCols), 0);

    if (hasScrollback_ && cols_ != newCols) {
        reflow(cols_, newCols, newRows);
        recountLinesWithImages();
        if (newCols < cols_) {
            for (int64_t row = 0; row < lines_.count(); ++row) {
                lines_[row].resize(newCols, CharData::nullCell);
            }
        }
    }

    for (int64_t row = 0; row < lines_.count(); ++row) {
        if (int64_t width = lines_[row].dataSize(); width < newCols) {
            fatalError("stop here newCols=" + std::to_string(newCols) +
                       " but the element has: " + std::to_string(width));
        }
    }
    rows_ = newRows;
    cols_ = newCols;
}

} // namespace kestrix
