#include "Kestrix/rendering/SelectedColumns.h"

#include <algorithm>

namespace kestrix {

std::optional<std::pair<int64_t, int64_t>> selectedColumns(const std::optional<SelectionEnds> &selection,
                                                           int64_t row, int64_t cols)
{
    if (!selection || !selection->active || cols <= 0) {
        return std::nullopt;
    }
    const int64_t lastColumn = cols - 1;
    // The end cell is included only when it is the last column; elsewhere the end is exclusive.
    const auto throughEnd = [&](int64_t column) { return column == lastColumn ? column + 1 : column; };
    Position first = selection->start;
    Position last = selection->end;
    if (last.row < first.row) {
        std::swap(first, last);
    }
    int64_t from = 0;
    int64_t to = 0;
    if (first.row == last.row) {
        if (row != first.row) {
            return std::nullopt;
        }
        from = std::min(first.col, last.col);
        to = throughEnd(std::max(first.col, last.col));
    } else if (row == first.row) {
        from = first.col;
        to = cols;
    } else if (row == last.row) {
        from = 0;
        to = throughEnd(last.col);
    } else if (row > first.row && row < last.row) {
        from = 0;
        to = cols;
    } else {
        return std::nullopt;
    }
    from = std::clamp<int64_t>(from, 0, cols);
    to = std::clamp<int64_t>(to, 0, cols);
    if (to <= from) {
        return std::nullopt;
    }
    return std::pair{from, to};
}

} // namespace kestrix
