#pragma once

#include "Kestrix/model/Position.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrix {

// A link found under a cell: the URI of an OSC 8 link or the matched text of a URL or path in the
// text, with every row piece it covers.
struct LinkMatch {
    // The columns [start, end) of one buffer row that a link covers.
    struct RowRange {
        int64_t row = 0;
        int64_t start = 0;
        int64_t end = 0;

        bool operator==(const RowRange &) const = default;
    };

    std::string text;
    // The buffer row of the looked-up cell and the columns [start, end) the link covers on it.
    int64_t row = 0;
    int64_t start = 0;
    int64_t end = 0;
    bool isExplicit = false;
    // Every row the link covers, in ascending row order.
    std::vector<RowRange> rowRanges;

    bool operator==(const LinkMatch &) const = default;
};

// Where a link is looked up: buffer coordinates, or a row counted from the top of the visible screen.
struct LinkLookupLocation {
    enum class Kind : uint8_t { buffer, screen };
    Kind kind = Kind::buffer;
    Position position;

    static LinkLookupLocation buffer(Position position) { return {Kind::buffer, position}; }
    static LinkLookupLocation screen(Position position) { return {Kind::screen, position}; }
};

enum class LinkLookupMode : uint8_t { explicitOnly, explicitAndImplicit };

// The cell that produced one character of a logical line's text; `width` is at least 1.
struct LumethImplicitCellRef {
    int64_t row = 0;
    int64_t col = 0;
    int64_t width = 1;
};

} // namespace kestrix
