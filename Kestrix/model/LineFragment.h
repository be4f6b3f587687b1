#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrix {

// A piece of extracted text and the cells it came from: one per buffer row a logical line spans, plus
// a line-break fragment ("\n" at location -1) where the logical line ends.
struct LineFragment {
    static constexpr int64_t lineBreakLocation = -1;

    std::optional<std::string> text;
    int64_t line = 0;
    int64_t location = 0;
    int64_t length = 0;

    static LineFragment lineBreak(int64_t row) { return {"\n", row, lineBreakLocation, 1}; }

    bool operator==(const LineFragment &) const = default;
};

} // namespace kestrix
