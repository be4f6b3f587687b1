#pragma once

#include <cstdint>
#include <string>

namespace kestrix {

// One match: the term searched for (for a regular expression, the text it matched), its first cell
// in buffer coordinates and its width in cells, which may run on into following rows.
struct SearchResult {
    std::string term;
    int64_t col = 0;
    int64_t row = 0;
    int64_t size = 0;

    bool operator==(const SearchResult &) const = default;
};

} // namespace kestrix
