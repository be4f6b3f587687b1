#pragma once

#include "Kestrix/core/Terminal.h"

#include <cstdint>
#include <optional>
#include <utility>

namespace kestrix {

// The two ends of the selection as the user made them (start may lie after end), in buffer
// coordinates, and whether it shows.
struct SelectionEnds {
    Position start;
    Position end;
    bool active = false;

    bool operator==(const SelectionEnds &) const = default;
};

// The half-open column range [first, second) of a buffer row that the selection covers, clamped to
// 0...cols; none when the row is not selected. An end on the last column includes that column.
std::optional<std::pair<int64_t, int64_t>> selectedColumns(const std::optional<SelectionEnds> &selection,
                                                           int64_t row, int64_t cols);

} // namespace kestrix
