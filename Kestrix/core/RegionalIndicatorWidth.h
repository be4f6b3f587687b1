#pragma once

namespace kestrix {

// How many columns a regional-indicator flag is given.
enum class RegionalIndicatorWidth {
    wide,
    narrow,
};

} // namespace kestrix
