// Dirty rows, the scroll of the scroll region, index and reverse index, and the column shifts of
// back and forward index.

#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"

#include <algorithm>
#include <cstdio>

namespace kestrix {

// MARK: Dirty rows

void Terminal::markRowDirty(int64_t row, bool scrolling)
{
    markRowDirty(row, *buffer, scrolling);
}

void Terminal::markRowsDirty(int64_t first, int64_t second)
{
    markRowDirty(first);
    markRowDirty(second);
}

void Terminal::markAllRowsDirty()
{
    refreshStart = 0;
    refreshEnd = rows;
    scrollInvariantRefreshStart = buffer->yDisp();
    scrollInvariantRefreshEnd = rows + buffer->yDisp();
}

std::optional<std::pair<int64_t, int64_t>> Terminal::dirtyRowRange() const
{
    if (refreshStart == INT64_MAX && refreshEnd == -1) {
        return std::nullopt;
    }
    return std::pair{refreshStart, refreshEnd};
}

std::optional<std::pair<int64_t, int64_t>> Terminal::dirtyScrollInvariantRowRange() const
{
    if (scrollInvariantRefreshStart == INT64_MAX && scrollInvariantRefreshEnd == -1) {
        return std::nullopt;
    }
    return std::pair{scrollInvariantRefreshStart, scrollInvariantRefreshEnd};
}

void Terminal::resetDirtyRows()
{
    refreshStart = INT64_MAX;
    refreshEnd = -1;
    scrollInvariantRefreshStart = INT64_MAX;
    scrollInvariantRefreshEnd = -1;
}

// MARK: Scrolling

// The cached blank line matches the buffer's width and the erase attribute, or is made anew.
void Terminal::prepareBlankLine(bool wrapped)
{
    const Attribute erase = eraseAttr();
    const int64_t width = buffer->cols();
    const bool reusable = blankLine && blankLine->dataSize() == width &&
                          (width == 0 || ((*blankLine)[0].attribute == erase && (*blankLine)[0].code == 0));
    if (!reusable) {
        blankLine = std::make_unique<BufferLine>(width, eraseCell());
    }
    blankLine->isWrapped = wrapped;
    ++blankLine->generation;
}

void Terminal::scroll(bool wrapped)
{
    Buffer &b = *buffer;
    CircularBufferLineList &lines = b.lines();
    const int64_t topRow = b.yBase() + b.scrollTop();
    const int64_t bottomRow = b.yBase() + b.scrollBottom();
    const bool partialWidth = marginMode && (b.marginLeft() > 0 || b.marginRight() < cols - 1);

    if (partialWidth) {
        scrollPartialWidth(topRow, bottomRow);
    } else if (b.scrollTop() != 0) {
        prepareBlankLine(wrapped);
        // A region below the top: nothing enters the scrollback.
        if (bottomRow >= lines.count()) {
            std::printf("scroll: bottomRow %lld >= lines.count %lld, state: yBase=%lld scrollTop=%lld "
                        "scrollBottom=%lld isAlternate=%s\n",
                        static_cast<long long>(bottomRow), static_cast<long long>(lines.count()),
                        static_cast<long long>(b.yBase()), static_cast<long long>(b.scrollTop()),
                        static_cast<long long>(b.scrollBottom()),
                        isAlternateBufferActive() ? "true" : "false");
            return;
        }
        // The top line turns round to the bottom and becomes the new blank line there, so the
        // region scrolls without allocating.
        if (bottomRow > topRow) {
            lines.rotate(topRow, bottomRow - topRow + 1, 1);
        }
        lines[bottomRow].becomeCopyOf(*blankLine);
    } else {
        scrollTopLineIntoScrollback(bottomRow, wrapped);
    }
    finishScroll();
}

// The region starts at the top: its top line leaves into the scrollback (or drops off a full ring).
void Terminal::scrollTopLineIntoScrollback(int64_t bottomRow, bool wrapped)
{
    Buffer &b = *buffer;
    CircularBufferLineList &lines = b.lines();
    const bool wasFull = lines.isFull();
    const bool bottomIsLast = lines.count() <= bottomRow + 1;
    if (bottomIsLast && wasFull) {
        // Reuse the oldest line as the new last line: the steady state of a long output, which
        // needs no blank line to copy.
        BufferLine &recycled = lines.recycle(eraseAttr());
        recycled.isWrapped = wrapped;
        ++recycled.generation;
    } else if (bottomIsLast) {
        prepareBlankLine(wrapped);
        lines.push(std::make_unique<BufferLine>(*blankLine));
    } else {
        // The bottom margin is above the last row: the new line goes in below it.
        prepareBlankLine(wrapped);
        std::vector<CircularBufferLineList::LinePtr> items;
        items.push_back(std::make_unique<BufferLine>(*blankLine));
        lines.splice(bottomRow + 1, 0, std::move(items));
    }
    if (wasFull) {
        if (b.hasScrollback()) {
            ++b.linesTop;
        }
        if (userScrolling) {
            // The view keeps showing the same text.
            b.setYDisp(std::max<int64_t>(b.yDisp() - 1, 0));
        }
    } else {
        b.setYBase(b.yBase() + 1);
        if (!userScrolling) {
            b.setYDisp(b.yDisp() + 1);
        }
    }
}

void Terminal::finishScroll()
{
    Buffer &b = *buffer;
    if (!userScrolling) {
        b.setYDisp(b.yBase());
    }
    refreshStart = std::min(refreshStart, b.scrollTop());
    refreshEnd = std::max(refreshEnd, b.scrollBottom());
    // A full-screen scroll into the scrollback leaves the scroll-invariant rows as they were.
    const bool intoScrollback = b.scrollTop() == 0 && b.hasScrollback() && b.scrollBottom() == rows - 1;
    if (!intoScrollback) {
        markRowDirty(b.scrollTop());
        markRowDirty(b.scrollBottom());
    }
    if (b.hasLinesWithImages()) {
        syncKittyPlacementsAfterScroll();
    }
    if (tdel_ != nullptr) {
        tdel_->terminalDidScroll(*this, b.yDisp());
    }
}

// Left and right margins in force: only the columns between them move up.
void Terminal::scrollPartialWidth(int64_t topRow, int64_t bottomRow)
{
    Buffer &b = *buffer;
    CircularBufferLineList &lines = b.lines();
    for (int64_t row = topRow; row <= bottomRow && row < lines.count(); ++row) {
        const bool hasSource = row < bottomRow && row + 1 < lines.count();
        shiftMarginColumns(row, hasSource ? std::optional<int64_t>(row + 1) : std::nullopt);
    }
}

// Copies the columns between the margins from `sourceRow` into `row`, or blanks them when there is
// no source; the row loses its wrap flag, images and line rendition either way.
void Terminal::shiftMarginColumns(int64_t row, std::optional<int64_t> sourceRow)
{
    Buffer &b = *buffer;
    CircularBufferLineList &lines = b.lines();
    const int64_t left = b.marginLeft();
    const int64_t width = b.marginRight() - left + 1;
    BufferLine &line = lines[row];
    if (sourceRow) {
        line.copyFrom(lines[*sourceRow], left, left, width);
    } else {
        line.fill(eraseCell(), left, width);
    }
    line.isWrapped = false;
    b.clearLineImages(row);
    line.renderMode = BufferLine::RenderLineMode::single;
    ++line.generation;
}

void Terminal::notifyLineFeed()
{
    if (tdel_ != nullptr) {
        tdel_->terminalDidLineFeed(*this);
    }
}

void Terminal::clampCursor(bool limitToLastColumn)
{
    Buffer &b = *buffer;
    b.setX(std::clamp<int64_t>(b.x(), 0, limitToLastColumn ? cols - 1 : cols));
    if (originMode) {
        b.setY(std::clamp<int64_t>(b.y(), b.scrollTop(), b.scrollBottom()));
    } else {
        b.setY(std::clamp<int64_t>(b.y(), 0, rows - 1));
    }
    markRowDirty(b.y());
}

// MARK: Index

void Terminal::cmdIndex()
{
    clampCursor(true);
    Buffer &b = *buffer;
    const bool roomBelow = b.y() + 1 <= b.scrollBottom();
    if (b.y() > b.scrollBottom()) {
        // Below the region the cursor only moves down to the last row: the region is not its to
        // scroll.
        if (b.y() < rows - 1) {
            b.setY(b.y() + 1);
        }
    } else if (marginMode && (b.x() < b.marginLeft() || roomBelow)) {
        // Left of the margins a cursor on the bottom margin stays put.
        if (roomBelow) {
            b.setY(b.y() + 1);
        }
    } else if (marginMode && b.x() > b.marginRight()) {
        // Right of the margins nothing happens.
    } else if (roomBelow) {
        b.setY(b.y() + 1);
    } else {
        scroll(false);
    }
    if (b.x() > cols && b.x() > 0) {
        b.setX(b.x() - 1);
    }
}

void Terminal::reverseIndex()
{
    clampCursor(true);
    Buffer &b = *buffer;
    const int64_t y = b.y();
    if (y != b.scrollTop()) {
        if (y > 0) {
            b.setY(y - 1);
        }
        return;
    }
    if (marginMode && (b.x() < b.marginLeft() || b.x() > b.marginRight())) {
        return;
    }
    CircularBufferLineList &lines = b.lines();
    const int64_t startRow = b.yBase() + y;
    const int64_t bottomRow = b.yBase() + b.scrollBottom();
    if (startRow >= lines.count()) {
        std::printf("reverseIndex: start index %lld >= lines.count %lld, state: y=%lld yBase=%lld "
                    "scrollTop=%lld scrollBottom=%lld isAlternate=%s\n",
                    static_cast<long long>(startRow), static_cast<long long>(lines.count()),
                    static_cast<long long>(y), static_cast<long long>(b.yBase()),
                    static_cast<long long>(b.scrollTop()), static_cast<long long>(b.scrollBottom()),
                    isAlternateBufferActive() ? "true" : "false");
        return;
    }
    const bool partialWidth = marginMode && (b.marginLeft() > 0 || b.marginRight() < cols - 1);
    if (!partialWidth) {
        const int64_t moved = b.scrollBottom() - y;
        if (moved > 0 && !lines.moveRange(startRow, moved, 1)) {
            std::printf(
                "Assertion on reverseIndex, state was: y=%lld scrollTop=%lld  yDisp=%lld linesTop=%lld "
                "isAlternate=%s\n",
                static_cast<long long>(y), static_cast<long long>(b.scrollTop()),
                static_cast<long long>(b.yDisp()), static_cast<long long>(b.linesTop),
                isAlternateBufferActive() ? "true" : "false");
        }
        lines.set(startRow, std::make_unique<BufferLine>(cols, eraseCell()));
    } else {
        for (int64_t row = std::min(bottomRow, lines.count() - 1); row >= startRow; --row) {
            shiftMarginColumns(row, row > startRow ? std::optional<int64_t>(row - 1) : std::nullopt);
        }
    }
    markRowDirty(b.scrollTop());
    markRowDirty(b.scrollBottom());
}

void Terminal::cmdBackIndex()
{
    if (buffer->x() == buffer->marginLeft()) {
        shiftColumns(true);
    } else {
        moveCursorLeft(1);
    }
}

void Terminal::cmdForwardIndex()
{
    Buffer &b = *buffer;
    if (b.x() == b.marginRight()) {
        shiftColumns(false);
    } else if (b.x() != b.cols()) {
        b.setX(b.x() + 1);
    }
}

// Moves the columns of the scroll region one place right (back index) or left (forward index).
void Terminal::shiftColumns(bool right)
{
    Buffer &b = *buffer;
    const int64_t left = b.marginLeft();
    const int64_t edge = marginMode ? b.marginRight() : cols - 1;
    if (b.y() < b.scrollTop() || b.y() > b.scrollBottom() || b.x() < left || b.x() > edge || edge <= left) {
        return;
    }
    CharData erase;
    erase.attribute = eraseAttr();
    for (int64_t row = b.scrollTop(); row <= b.scrollBottom(); ++row) {
        const int64_t index = b.yBase() + row;
        if (index >= b.lines().count()) {
            break;
        }
        BufferLine &line = b.lines()[index];
        if (right) {
            line.copyFrom(line, left, left + 1, edge - left);
            line.setCell(left, CharData::nullCell);
        } else {
            line.copyFrom(line, left + 1, left, edge - left);
            line.setCell(edge, erase);
        }
        ++line.generation;
    }
    markRowDirty(b.scrollTop());
    markRowDirty(b.scrollBottom());
}

} // namespace kestrix
