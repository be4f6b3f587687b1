#pragma once

#include "Kestrix/rendering/gpu/GlyphBitmap.h"

#include <QRawFont>

#include <optional>

namespace kestrix {

// Draws one glyph in white into a premultiplied BGRA bitmap just large enough for its ink, and tells
// whether the font gave it colours of its own. (The name is the renderer's; the drawing is QPainter's.)
class CoreTextGlyphRasterizer {
public:
    // Antialiased glyph edges; off, outlines are filled with hard edges. The renderer copies the
    // view's setting in.
    bool fontSmoothing = true;

    // `font` is already at device pixels. Nothing for a glyph without ink (a space) or too large to draw.
    std::optional<GlyphBitmap> rasterize(quint32 glyph, const QRawFont &font) const;
};

} // namespace kestrix
