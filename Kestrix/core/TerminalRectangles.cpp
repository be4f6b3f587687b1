// Rectangular area operations (DECCRA, DECFRA, DECERA, DECSERA) and column insertion and deletion
// (DECIC, DECDC).

#include "Kestrix/core/ControlParameters.h"
#include "Kestrix/core/Intermediates.h"
#include "Kestrix/core/Terminal.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

namespace kestrix {

using controlParameters::count;
using controlParameters::valueOr;

namespace {

// DECFRA's character parameter as a cell code: only printable characters of this terminal's 8-bit
// set (ASCII and Latin-1). A control, DEL or any other code would sit in the cells and travel with
// a copy into another program.
std::optional<int32_t> fillCode(int64_t parameter)
{
    if ((parameter >= 0x20 && parameter <= 0x7E) || (parameter >= 0xA0 && parameter <= 0xFF)) {
        return static_cast<int32_t>(parameter);
    }
    return std::nullopt;
}

// Runs `edit(line, row)` on the lines of screen rows `top` through `bottom` that exist and counts
// each as changed; the caller marks the rows dirty.
template <class Edit> void editRows(Buffer &buffer, int64_t top, int64_t bottom, Edit edit)
{
    CircularBufferLineList &lines = buffer.lines();
    for (int64_t row = top; row <= bottom; ++row) {
        const int64_t index = buffer.yBase() + row;
        if (index >= lines.count()) {
            break;
        }
        BufferLine &line = lines[index];
        edit(line, row);
        ++line.generation;
    }
}

} // namespace

void Terminal::fillRectangle(const CellRectangle &rectangle, const CharData &cell)
{
    editRows(*buffer, rectangle.top, rectangle.bottom, [&](BufferLine &line, int64_t) {
        for (int64_t col = rectangle.left; col <= rectangle.right; ++col) {
            line.setCell(col, cell);
        }
    });
    markRowsDirty(rectangle.top, rectangle.bottom);
}

void Terminal::cmdFillRectangle(ParameterSpan pars, ByteSpan collect)
{
    if (!intermediatesAre(collect, "$")) {
        logInfo("Not implemented CSI x with collect: collect=" + describeBytes(collect) +
                " and pars=" + describeParameters(pars));
        return;
    }
    const std::optional<int32_t> code = fillCode(pars.empty() ? 0 : pars[0]);
    const std::optional<CellRectangle> rectangle =
        getRectangleFromRequest(pars.empty() ? pars : pars.subspan(1));
    if (!code || !rectangle) {
        return;
    }
    CharData cell;
    cell.code = *code;
    cell.attribute = curAttr;
    fillRectangle(*rectangle, cell);
}

void Terminal::cmdEraseRectangleOrLocator(ParameterSpan pars, ByteSpan collect)
{
    if (intermediatesAre(collect, "'")) {
        std::printf("TODO: Enable Locator Reporting (DECELR)\n");
        return;
    }
    if (!intermediatesAre(collect, "$")) {
        return;
    }
    if (const std::optional<CellRectangle> rectangle = getRectangleFromRequest(pars)) {
        CharData cell;
        cell.code = ' ';
        cell.attribute = curAttr;
        fillRectangle(*rectangle, cell);
    }
}

// Only the characters go; colours, style and payload of every cell stay.
void Terminal::cmdSelectiveEraseRectangle(ParameterSpan pars, ByteSpan collect)
{
    if (!intermediatesAre(collect, "$")) {
        logInfo("CSI # { not implemented - XTPUSHSGR with " + describeParameters(pars));
        return;
    }
    const std::optional<CellRectangle> rectangle = getRectangleFromRequest(pars);
    if (!rectangle) {
        return;
    }
    editRows(*buffer, rectangle->top, rectangle->bottom, [&](BufferLine &line, int64_t) {
        for (int64_t col = rectangle->left; col <= rectangle->right; ++col) {
            CharData cell = line[col];
            cell.setValue(' ', 1);
            line.setCell(col, cell);
        }
    });
    markRowsDirty(rectangle->top, rectangle->bottom);
}

// The source is read whole before anything is written, so a destination that overlaps it gets the
// cells as they were.
void Terminal::cmdCopyRectangle(ParameterSpan pars, ByteSpan collect)
{
    if (!intermediatesAre(collect, "$")) {
        return;
    }
    const auto parameter = [pars](size_t index) { return valueOr(pars, index, 0); };
    // An absent or zero edge means the screen's edge, as for the other rectangle functions.
    const std::array<int64_t, 4> source = {
        std::max<int64_t>(parameter(0), 1),
        std::max<int64_t>(parameter(1), 1),
        parameter(2) > 0 ? parameter(2) : rows,
        parameter(3) > 0 ? parameter(3) : cols,
    };
    const std::optional<CellRectangle> from = getRectangleFromRequest(source);
    if (!from) {
        return;
    }
    const int64_t top = std::min(std::max<int64_t>(parameter(5), 1) - 1, rows - 1);
    const int64_t left = std::min(std::max<int64_t>(parameter(6), 1) - 1, cols - 1);
    const int64_t width = std::min(from->right - from->left + 1, cols - left);

    CircularBufferLineList &lines = buffer->lines();
    std::vector<CharData> cells;
    cells.reserve(static_cast<size_t>((from->bottom - from->top + 1) * width));
    for (int64_t row = from->top; row <= from->bottom; ++row) {
        const int64_t index = buffer->yBase() + row;
        const BufferLine *line = index < lines.count() ? &lines[index] : nullptr;
        for (int64_t col = from->left; col < from->left + width; ++col) {
            cells.push_back(line != nullptr ? (*line)[col] : CharData::nullCell);
        }
    }
    const int64_t height = std::min(from->bottom - from->top + 1, rows - top);
    editRows(*buffer, top, top + height - 1, [&](BufferLine &line, int64_t row) {
        const int64_t offset = row - top;
        for (int64_t col = 0; col < width; ++col) {
            line.setCell(left + col, cells[static_cast<size_t>(offset * width + col)]);
        }
    });
    markRowsDirty(top, top + height - 1);
}

// Insert and delete columns work on every row of the scroll region and between the margins.
void Terminal::cmdInsertColumns(ParameterSpan pars, ByteSpan collect)
{
    if (!intermediatesAre(collect, "'")) {
        logInfo("CSI # } not implemented- XTPOPSGR with " + describeParameters(pars));
        return;
    }
    Buffer &b = *buffer;
    const int64_t x = b.x();
    if (x > b.marginRight() || (marginMode && x < b.marginLeft())) {
        return;
    }
    const int64_t limit = marginMode ? b.marginRight() : cols - 1;
    const int64_t n = std::min(count(pars), cols);
    const CharData blank = eraseCell();
    editRows(b, b.scrollTop(), b.scrollBottom(), [&](BufferLine &line, int64_t) {
        line.insertCells(x, n, limit, blank);
        line.isWrapped = false;
    });
    markRowsDirty(b.scrollTop(), b.scrollBottom());
}

void Terminal::cmdDeleteColumns(ParameterSpan pars, ByteSpan)
{
    Buffer &b = *buffer;
    const int64_t x = b.x();
    if (b.y() < b.scrollTop() || b.y() > b.scrollBottom() || x == b.cols() ||
        (marginMode && (x < b.marginLeft() || x > b.marginRight()))) {
        return;
    }
    const int64_t limit = marginMode ? b.marginRight() : cols - 1;
    const int64_t n = std::min(count(pars), cols);
    const CharData blank = eraseCell();
    editRows(b, b.scrollTop(), b.scrollBottom(),
             [&](BufferLine &line, int64_t) { line.deleteCells(x, n, limit, blank); });
    markRowsDirty(b.scrollTop(), b.scrollBottom());
}

} // namespace kestrix
