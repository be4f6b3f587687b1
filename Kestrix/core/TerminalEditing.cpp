// Erasing, inserting and deleting cells and lines, scrolling the region, and repeating a character.
//
// What these leave blank is the erase cell (the background of the current attribute), except the
// scroll functions SU and SD, which open default blanks. Every column range is cut to the line, and
// a range whose start is past its end is empty, so the pending-wrap column (one past the last) never
// reaches a cell. Counts are cut to what the region holds before any loop: moving lines further than
// that gives the same screen. Nothing here allocates: lines turn within the ring and are cleared in
// place.

#include "Kestrix/core/ControlParameters.h"
#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"

#include <algorithm>

namespace kestrix {

using controlParameters::count;
using controlParameters::valueOr;

namespace {

int64_t saturatingProduct(int64_t a, int64_t b)
{
    int64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) ? INT64_MAX : product;
}

// Cells start..end-1 of a line, cut to it, become `cell`; the line's generation changes.
void eraseCells(BufferLine &line, int64_t start, int64_t end, const CharData &cell)
{
    line.replaceCells(start, std::min(end, line.dataSize()), cell);
}

} // namespace

// MARK: Erasing

void Terminal::eraseWholeLine(int64_t row, bool clearImages)
{
    Buffer &b = *buffer;
    const int64_t index = b.yBase() + row;
    if (row < 0 || row >= rows || index >= b.lines().count()) {
        return;
    }
    if (clearImages) {
        b.clearLineImages(index);
    }
    BufferLine &line = b.lines()[index];
    eraseCells(line, 0, cols, eraseCell());
    line.isWrapped = false;
    markRowDirty(row);
}

void Terminal::cmdEraseInDisplay(ParameterSpan pars, ByteSpan)
{
    Buffer &b = *buffer;
    const int64_t x = b.x();
    const int64_t y = b.y();
    switch (valueOr(pars, 0, 0)) {
    case 0: {
        markRowDirty(y);
        BufferLine &line = b.lines()[b.yBase() + y];
        eraseCells(line, x, cols, eraseCell());
        if (x == 0) {
            line.isWrapped = false;
        }
        for (int64_t row = y + 1; row < rows; ++row) {
            eraseWholeLine(row, false);
        }
        markRowDirty(rows - 1);
        break;
    }
    case 1: {
        markRowDirty(y);
        BufferLine &line = b.lines()[b.yBase() + y];
        eraseCells(line, 0, x + 1, eraseCell());
        line.isWrapped = false;
        // Erasing through the last column ends the row, so the row below no longer continues it.
        if (x + 1 >= cols && y + 1 < rows) {
            BufferLine &next = b.lines()[b.yBase() + y + 1];
            next.isWrapped = false;
            ++next.generation;
        }
        for (int64_t row = y - 1; row >= 0; --row) {
            eraseWholeLine(row, false);
        }
        markRowDirty(0);
        break;
    }
    case 2:
        markRowDirty(rows - 1);
        for (int64_t row = rows - 1; row >= 0; --row) {
            eraseWholeLine(row, true);
        }
        clearKittyGraphics();
        markRowDirty(0);
        break;
    case 3:
        eraseScrollback();
        break;
    default:
        break;
    }
}

// Drops every line above the screen; the screen itself stays.
void Terminal::eraseScrollback()
{
    Buffer &b = *buffer;
    CircularBufferLineList &lines = b.lines();
    const int64_t dropped = std::min(lines.count() - rows, b.yBase());
    if (dropped <= 0) {
        return;
    }
    if (b.hasLinesWithImages()) {
        for (int64_t row = 0; row < dropped; ++row) {
            b.clearLineImages(row);
        }
    }
    lines.dropOldest(dropped);
    b.linesTop = 0;
    b.setYBase(std::max<int64_t>(b.yBase() - dropped, 0));
    b.setYDisp(std::max<int64_t>(b.yDisp() - dropped, 0));
    // A view scrolled back now shows other lines, and its scroller a shorter buffer.
    markAllRowsDirty();
    if (tdel_ != nullptr) {
        tdel_->terminalDidScroll(*this, b.yDisp());
    }
}

void Terminal::cmdEraseInLine(ParameterSpan pars, ByteSpan)
{
    Buffer &b = *buffer;
    int64_t start = 0;
    int64_t end = 0;
    switch (valueOr(pars, 0, 0)) {
    case 0:
        start = b.x();
        end = cols;
        break;
    case 1:
        end = b.x() + 1;
        break;
    case 2:
        end = cols;
        break;
    default:
        return;
    }
    eraseCells(b.lines()[b.yBase() + b.y()], start, end, eraseCell());
    markRowDirty(b.y());
}

void Terminal::cmdEraseChars(ParameterSpan pars, ByteSpan)
{
    Buffer &b = *buffer;
    BufferLine &line = b.lines()[b.yBase() + b.y()];
    // The end never passes the line, so the sum cannot overflow.
    const int64_t end = b.x() + std::min(count(pars), line.dataSize());
    eraseCells(line, b.x(), end, eraseCell());
    markRowDirty(b.y());
}

// MARK: Cells

void Terminal::cmdInsertChars(ParameterSpan pars, ByteSpan)
{
    Buffer &b = *buffer;
    const int64_t x = b.x();
    const int64_t limit = marginMode ? b.marginRight() : cols - 1;
    if ((marginMode && x < b.marginLeft()) || x > limit) {
        return;
    }
    b.lines()[b.yBase() + b.y()].insertCells(x, count(pars), limit, eraseCell());
    markRowDirty(b.y());
}

void Terminal::cmdDeleteChars(ParameterSpan pars, ByteSpan)
{
    Buffer &b = *buffer;
    const int64_t x = b.x();
    const int64_t limit = marginMode ? b.marginRight() : cols - 1;
    if ((marginMode && x < b.marginLeft()) || x > limit || x >= b.cols()) {
        return;
    }
    const int64_t n = std::min(count(pars), limit - x + 1);
    b.lines()[b.yBase() + b.y()].deleteCells(x, n, limit, eraseCell());
    markRowDirty(b.y());
}

// MARK: Lines

// Rows first..last of the screen (inclusive) move by `shift` rows, up when positive and down when
// negative; the rows that open become `blank`. Under left/right margins only the columns between
// them move, otherwise whole lines turn within the ring. `shift` is at most the height of the range.
void Terminal::shiftRows(int64_t first, int64_t last, int64_t shift, const CharData &blank)
{
    Buffer &b = *buffer;
    CircularBufferLineList &lines = b.lines();
    const int64_t height = last - first + 1;
    if (shift == 0 || height <= 0 || b.yBase() + last >= lines.count()) {
        return;
    }
    const bool up = shift > 0;
    const int64_t distance = std::min(up ? shift : -shift, height);
    const int64_t openFirst = up ? last - distance + 1 : first;
    const int64_t openLast = up ? last : first + distance - 1;

    if (marginMode) {
        const int64_t left = b.marginLeft();
        const int64_t width = b.marginRight() - left + 1;
        // Copied in the order that reads every source row before it is overwritten.
        for (int64_t step = 0; step < height - distance; ++step) {
            const int64_t row = up ? first + step : last - step;
            const int64_t source = up ? row + distance : row - distance;
            lines[b.yBase() + row].copyFrom(lines[b.yBase() + source], left, left, width);
        }
        for (int64_t row = openFirst; row <= openLast; ++row) {
            lines[b.yBase() + row].fill(blank, left, width);
        }
        return;
    }
    lines.rotate(b.yBase() + first, height, up ? distance : -distance);
    for (int64_t row = openFirst; row <= openLast; ++row) {
        const int64_t index = b.yBase() + row;
        b.clearLineImages(index);
        BufferLine &line = lines[index];
        line.resize(b.cols(), blank);
        line.fill(blank);
        line.isWrapped = false;
        line.renderMode = BufferLine::RenderLineMode::single;
    }
}

// Whether the cursor column lets IL and DL move lines: under left/right margins it must be between them.
bool Terminal::cursorInsideMargins() const
{
    return !marginMode || (buffer->x() >= buffer->marginLeft() && buffer->x() <= buffer->marginRight());
}

void Terminal::markLineEditDirty()
{
    Buffer &b = *buffer;
    markRowDirty(b.y());
    markRowDirty(b.scrollBottom());
    if (b.scrollTop() != 0 || b.scrollBottom() != rows - 1) {
        markRowDirty(b.scrollTop());
    }
}

void Terminal::cmdInsertLines(ParameterSpan pars, ByteSpan)
{
    Buffer &b = *buffer;
    if (b.y() < b.scrollTop() || b.y() > b.scrollBottom()) {
        return;
    }
    if (cursorInsideMargins()) {
        shiftRows(b.y(), b.scrollBottom(), -std::min(count(pars), rows), eraseCell());
    }
    markLineEditDirty();
}

void Terminal::cmdDeleteLines(ParameterSpan pars, ByteSpan)
{
    clampCursor(true);
    Buffer &b = *buffer;
    // Outside the scroll region nothing moves, as for IL.
    if (b.y() < b.scrollTop() || b.y() > b.scrollBottom()) {
        return;
    }
    if (cursorInsideMargins()) {
        shiftRows(b.y(), b.scrollBottom(), std::min(count(pars), rows), eraseCell());
    }
    markLineEditDirty();
}

void Terminal::cmdScrollUp(ParameterSpan pars, ByteSpan)
{
    Buffer &b = *buffer;
    shiftRows(b.scrollTop(), b.scrollBottom(), std::min(count(pars), rows), CharData::nullCell);
    markRowDirty(b.scrollTop());
    markRowDirty(b.scrollBottom());
}

void Terminal::cmdScrollDown(ParameterSpan pars, ByteSpan)
{
    Buffer &b = *buffer;
    shiftRows(b.scrollTop(), b.scrollBottom(), -std::min(count(pars), rows), CharData::nullCell);
    markRowDirty(b.scrollTop());
    markRowDirty(b.scrollBottom());
}

// MARK: Repeat

void Terminal::cmdRepeatPrecedingCharacter(ParameterSpan pars, ByteSpan)
{
    Buffer &b = *buffer;
    const int64_t n = std::min(count(pars), saturatingProduct(2 * cols, rows));
    CharData cell;
    if (b.x() > 0) {
        const BufferLine &line = b.lines()[b.yBase() + b.y()];
        cell = line[b.x() - 1];
        // Left of the cursor is the second half of a wide character: repeat the whole character.
        if (cell.width == 0 && b.x() >= 2 && line[b.x() - 2].width == 2) {
            cell = line[b.x() - 2];
        }
    }
    markRowDirty(b.y());
    for (int64_t i = 0; i < n; ++i) {
        b.putCharacter(cell);
    }
    markRowDirty(b.y());
}

} // namespace kestrix
