#include "Kestrix/view/DirtyRegion.h"

#include <algorithm>

namespace kestrix {

std::optional<RowRange> DirtyRegion::clippedRows(int64_t refreshStart, int64_t refreshEnd, int64_t rows)
{
    if (rows <= 0 || refreshEnd < 0 || refreshStart > refreshEnd) {
        return std::nullopt;
    }
    const int64_t first = std::clamp<int64_t>(refreshStart, 0, rows - 1);
    const int64_t last = std::clamp<int64_t>(refreshEnd, first, rows - 1);
    return RowRange{first, last};
}

QRectF DirtyRegion::rectForRows(RowRange refreshed, int64_t rows, double cellHeight, QSizeF frame)
{
    const auto [first, last] = refreshed;
    const double top = static_cast<double>(first) * cellHeight;
    double bottom = frame.height();
    if (last + 1 != rows) {
        // One row more below: a glyph may reach into the row under its own.
        bottom = std::min(static_cast<double>(last + 2) * cellHeight, frame.height());
    }
    return QRectF(0, top, frame.width(), std::max(bottom - top, 0.0));
}

std::optional<LineRange> DirtyRegion::metalDirtyRange(std::optional<RowRange> refreshed, int64_t yDisp,
                                                      int64_t lineCount, int64_t rows)
{
    if (lineCount <= 0) {
        return std::nullopt;
    }
    if (refreshed && refreshed->first >= 0 && refreshed->second >= refreshed->first &&
        refreshed->second < rows) {
        auto clampLine = [&](int64_t row) {
            return std::max(std::min(yDisp + row, lineCount - 1), int64_t{0});
        };
        const int64_t start = clampLine(refreshed->first);
        const int64_t end = clampLine(refreshed->second);
        if (start <= end) {
            return LineRange{start, end};
        }
    }
    return visibleLines(yDisp, lineCount, rows);
}

std::optional<LineRange> DirtyRegion::visibleLines(int64_t yDisp, int64_t lineCount, int64_t rows)
{
    if (lineCount <= 0) {
        return std::nullopt;
    }
    const int64_t end = std::min(yDisp + rows - 1, lineCount - 1);
    if (yDisp > end) {
        return std::nullopt;
    }
    return LineRange{yDisp, end};
}

} // namespace kestrix
