#pragma once

#include "Kestrix/rendering/gpu/GlyphAtlas.h"

namespace kestrix {

// Where a font glyph lies in one of the two atlases, and how its bitmap sits on the glyph origin.
struct GlyphEntry {
    AtlasRegion region;
    int width = 0;
    int height = 0;
    // The bitmap's lower-left corner from the glyph origin, pixels, y up.
    int bearingX = 0;
    int bearingY = 0;
    bool isColor = false;
    GlyphAtlasKind atlasKind = GlyphAtlasKind::grayscale;
};

// Where a procedural box-drawing or block glyph lies in the grayscale atlas; its bitmap is one cell.
struct CustomGlyphEntry {
    AtlasRegion region;
    int width = 0;
    int height = 0;
};

// A stroke's bitmap in the atlas and the device pixel (y-down) its top-left corner goes to.
struct PlacedStroke {
    CustomGlyphEntry entry;
    int64_t left = 0;
    int64_t top = 0;
};

} // namespace kestrix
