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

    // The glyph is drawn `stretchX` times wider and `stretchY` times taller than the font's pixel size,
    // through a scaling transform as a QPainter with that transform draws text. Nothing for a glyph
    // without ink (a space) or too large to draw.
    std::optional<GlyphBitmap> rasterize(quint32 glyph, const QRawFont &font, double stretchX = 1,
                                         double stretchY = 1) const;
};

} // namespace kestrix
