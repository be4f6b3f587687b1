#pragma once

#include <cstdint>

namespace kestrix {

// A width or height hint of an inline image: a number of cells, of pixels, a percentage of the
// terminal's extent, or the image's own size.
struct ImageSizeRequest {
    enum class Kind : uint8_t {
        cells,
        pixels,
        percent,
        // The image's natural size ("auto" in the protocol).
        automatic,
    };

    Kind kind = Kind::automatic;
    int64_t value = 0;

    static constexpr ImageSizeRequest cells(int64_t count) { return {Kind::cells, count}; }
    static constexpr ImageSizeRequest pixels(int64_t count) { return {Kind::pixels, count}; }
    static constexpr ImageSizeRequest percent(int64_t amount) { return {Kind::percent, amount}; }
    static constexpr ImageSizeRequest automatic() { return {Kind::automatic, 0}; }

    bool operator==(const ImageSizeRequest &) const = default;
};

} // namespace kestrix
