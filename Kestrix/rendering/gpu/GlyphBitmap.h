#pragma once

#include <cstdint>
#include <vector>

namespace kestrix {

// One rasterized glyph: rows top to bottom, each pixel B, G, R, A, premultiplied.
struct GlyphBitmap {
    int width = 0;
    int height = 0;
    // The bitmap's lower-left corner relative to the glyph origin, whole pixels, y up.
    int bearingX = 0;
    int bearingY = 0;
    std::vector<uint8_t> pixels;
    // The font supplied its own colours (an emoji) instead of coverage only.
    bool isColor = false;
};

} // namespace kestrix
