#pragma once

#include <QRectF>
#include <QSizeF>

#include <cstdint>
#include <optional>
#include <utility>

namespace kestrix {

// Screen rows, inclusive, both within 0 ... rows - 1.
using RowRange = std::pair<int64_t, int64_t>;
// Buffer line indices, inclusive.
using LineRange = std::pair<int64_t, int64_t>;

// The parts of a view a display update redraws: a rectangle of the widget for the painter, a range
// of buffer lines for the GPU renderer.
struct DirtyRegion {
    // The terminal's refresh range clipped to the screen: the end never passes the last row (a full
    // refresh marks one past it). Nothing when the range is empty or the screen has no rows.
    static std::optional<RowRange> clippedRows(int64_t refreshStart, int64_t refreshEnd, int64_t rows);

    // The rectangle of the widget (y down) that covers `refreshed` and one extra row below it, or
    // reaches the bottom edge when the last row is refreshed.
    static QRectF rectForRows(RowRange refreshed, int64_t rows, double cellHeight, QSizeF frame);

    // The buffer lines behind the refreshed screen rows, each clamped to the buffer; the visible
    // lines when the rows are not a proper range; nothing for an empty buffer.
    static std::optional<LineRange> metalDirtyRange(std::optional<RowRange> refreshed, int64_t yDisp,
                                                    int64_t lineCount, int64_t rows);
    // yDisp ... min(yDisp + rows - 1, lineCount - 1); nothing when empty.
    static std::optional<LineRange> visibleLines(int64_t yDisp, int64_t lineCount, int64_t rows);
};

} // namespace kestrix
