#pragma once

#include <cstdint>

namespace kestrix {

// When links are drawn underlined: under the pointer, or always; either only while Ctrl is held.
enum class LinkHighlightMode : uint8_t { hover, hoverWithModifier, always, alwaysWithModifier };

// The columns [start, end) of one buffer row that the link under the pointer covers.
struct LinkRowRange {
    int64_t row = 0;
    int64_t start = 0;
    int64_t end = 0;

    bool operator==(const LinkRowRange &) const = default;
};

} // namespace kestrix
