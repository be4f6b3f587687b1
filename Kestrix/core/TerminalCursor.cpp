// Cursor movement, tab stops, the scroll region and left/right margins, and saving and restoring
// the cursor.
//
// A cursor one past the last column is the pending-wrap state left by printing into the last
// column: the next character wraps first. Moves along the row start from the last column, and
// vertical moves drop the pending wrap, so the next character lands on the row the cursor reached.

#include "Kestrix/core/ControlParameters.h"
#include "Kestrix/core/Terminal.h"

#include <algorithm>

namespace kestrix {

using controlParameters::count;
using controlParameters::position;
using controlParameters::valueOr;

// MARK: Shared moves

void Terminal::moveCursorTo(int64_t col, int64_t row)
{
    Buffer &b = *buffer;
    markRowDirty(b.y());
    if (originMode) {
        b.setX(col + (marginMode ? b.marginLeft() : 0));
        b.setY(row + b.scrollTop());
    } else {
        b.setX(col);
        b.setY(row);
    }
    clampCursor(true);
}

void Terminal::moveCursorLeft(int64_t n)
{
    Buffer &b = *buffer;
    const int64_t x = std::min(b.x(), cols - 1);
    int64_t limit = marginMode ? b.marginLeft() : 0;
    if (x < limit) {
        limit = 0;
    }
    b.setX(std::max(x - std::max<int64_t>(n, 1), limit));
}

void Terminal::moveCursorRight(int64_t n)
{
    Buffer &b = *buffer;
    int64_t limit = marginMode ? b.marginRight() : cols - 1;
    if (b.x() > limit) {
        limit = cols - 1;
    }
    b.setX(std::min(b.x() + std::max<int64_t>(n, 0), limit));
}

namespace {

// Leaves the pending-wrap column for the last one.
void dropPendingWrap(Buffer &b, int64_t cols)
{
    if (b.x() >= cols) {
        b.setX(cols - 1);
    }
}

} // namespace

// MARK: Relative moves

void Terminal::cmdCursorUp(ParameterSpan pars, ByteSpan)
{
    Buffer &b = *buffer;
    const int64_t limit = b.y() < b.scrollTop() ? 0 : b.scrollTop();
    b.setY(std::max(b.y() - count(pars), limit));
    dropPendingWrap(b, cols);
}

void Terminal::cmdCursorDown(ParameterSpan pars, ByteSpan)
{
    Buffer &b = *buffer;
    const int64_t limit = b.y() > b.scrollBottom() ? b.rows() - 1 : b.scrollBottom();
    b.setY(std::min(b.y() + count(pars), limit));
    dropPendingWrap(b, cols);
}

void Terminal::cmdCursorForward(ParameterSpan pars, ByteSpan)
{
    moveCursorRight(count(pars));
}

void Terminal::cmdCursorBackward(ParameterSpan pars, ByteSpan)
{
    moveCursorLeft(count(pars));
}

void Terminal::cmdCursorNextLine(ParameterSpan pars, ByteSpan collect)
{
    cmdCursorDown(pars, collect);
    buffer->setX(buffer->marginLeft());
}

void Terminal::cmdCursorPrecedingLine(ParameterSpan pars, ByteSpan collect)
{
    cmdCursorUp(pars, collect);
    buffer->setX(buffer->marginLeft());
}

void Terminal::cmdHPositionRelative(ParameterSpan pars, ByteSpan)
{
    Buffer &b = *buffer;
    b.setX(std::min(b.x() + count(pars), cols - 1));
}

void Terminal::cmdVPositionRelative(ParameterSpan pars, ByteSpan)
{
    Buffer &b = *buffer;
    b.setY(std::min(b.y() + count(pars), rows - 1));
    dropPendingWrap(b, cols);
}

// MARK: Absolute moves

void Terminal::cmdCursorCharAbsolute(ParameterSpan pars, ByteSpan)
{
    const int64_t left = usingMargins() ? buffer->marginLeft() : 0;
    buffer->setX(std::min(left + std::min(position(pars), cols - 1), cols - 1));
}

void Terminal::cmdCursorPosition(ParameterSpan pars, ByteSpan)
{
    moveCursorTo(position(pars, 1), position(pars, 0));
}

// The same function as CUP under another name.
void Terminal::cmdHVPosition(ParameterSpan pars, ByteSpan collect)
{
    cmdCursorPosition(pars, collect);
}

void Terminal::cmdCharPosAbsolute(ParameterSpan pars, ByteSpan)
{
    buffer->setX(std::min(count(pars) - 1, cols - 1));
}

void Terminal::cmdLinePosAbsolute(ParameterSpan pars, ByteSpan)
{
    buffer->setY(std::min(count(pars) - 1, rows - 1));
    dropPendingWrap(*buffer, cols);
}

// MARK: Tab stops

void Terminal::cmdCursorForwardTab(ParameterSpan pars, ByteSpan)
{
    Buffer &b = *buffer;
    const int64_t p0 = valueOr(pars, 0, 0);
    const int64_t steps = cols <= 1 ? 0 : p0 > 1 ? std::min(p0, cols - 1) : 1;
    for (int64_t step = 0; step < steps; ++step) {
        const int64_t stop = b.nextTabStop(b.x(), marginMode);
        if (stop >= 0) {
            b.setX(stop);
        }
    }
}

void Terminal::cmdCursorBackwardTab(ParameterSpan pars, ByteSpan)
{
    Buffer &b = *buffer;
    if (b.x() > cols) {
        return;
    }
    const int64_t p0 = valueOr(pars, 0, 0);
    const int64_t steps = p0 > 1 ? std::min(p0, b.cols()) : 1;
    for (int64_t step = 0; step < steps; ++step) {
        b.setX(b.previousTabStop(b.x()));
    }
}

void Terminal::cmdTabClear(ParameterSpan pars, ByteSpan)
{
    switch (valueOr(pars, 0, 0)) {
    case 0:
        buffer->clearTabStop(buffer->x());
        break;
    case 3:
        std::fill(buffer->tabStops.begin(), buffer->tabStops.end(), false);
        break;
    default:
        break;
    }
}

// MARK: Scroll region and margins

void Terminal::cmdSetTopBottomMargins(ParameterSpan pars, ByteSpan collect)
{
    if (!collect.empty()) {
        return;
    }
    Buffer &b = *buffer;
    const int64_t top = position(pars, 0);
    const int64_t p1 = valueOr(pars, 1, 0);
    const int64_t bottom = p1 > 0 && p1 <= rows ? p1 : rows;
    if (top < bottom - 1) {
        b.setScrollTop(top);
        b.setScrollBottom(bottom - 1);
    }
    moveCursorTo(0, 0);
}

void Terminal::cmdSetLeftRightMargins(ParameterSpan pars, ByteSpan collect)
{
    if (!collect.empty()) {
        return;
    }
    Buffer &b = *buffer;
    const int64_t left = position(pars, 0);
    // 0 is the default, as for every position: the last column.
    const int64_t p1 = valueOr(pars, 1, 0);
    const int64_t right = std::clamp<int64_t>(p1 > 0 ? p1 - 1 : cols - 1, 0, cols - 1);
    // As with the scroll region, margins that leave fewer than two columns are refused.
    if (left < right) {
        b.setMarginLeft(left);
        b.setMarginRight(right);
    }
    moveCursorTo(0, 0);
}

// MARK: Saved cursor

void Terminal::cmdSaveCursor(ParameterSpan, ByteSpan collect)
{
    if (!collect.empty()) {
        return;
    }
    Buffer &b = *buffer;
    b.savedX = b.x();
    b.savedY = b.y();
    b.savedAttr = curAttr;
    b.savedCharset = charset;
    b.savedOriginMode = originMode;
    b.savedMarginMode = marginMode;
    b.savedWraparound = wraparound;
    b.savedReverseWraparound = reverseWraparound;
}

void Terminal::cmdRestoreCursor(ParameterSpan, ByteSpan collect)
{
    if (!collect.empty()) {
        return;
    }
    Buffer &b = *buffer;
    b.setX(std::clamp<int64_t>(b.savedX, 0, cols - 1));
    b.setY(std::clamp<int64_t>(b.savedY, 0, rows - 1));
    curAttr = b.savedAttr;
    charset = b.savedCharset;
    originMode = b.savedOriginMode;
    marginMode = b.savedMarginMode;
    wraparound = b.savedWraparound;
    reverseWraparound = b.savedReverseWraparound;
}

} // namespace kestrix
