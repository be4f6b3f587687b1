#pragma once

#include <cstdint>
#include <string>

namespace kestrix {

// A cell address: a column and a buffer row (scrollback included unless a caller says otherwise).
// Positions order by row first, then by column.
struct Position {
    enum class compareResult { before, after, equal };

    int64_t col = 0;
    int64_t row = 0;

    static compareResult compare(const Position &a, const Position &b);

    std::string debugDescription() const;

    bool operator==(const Position &) const = default;
};

} // namespace kestrix
