// The character under a focused block cursor, drawn over the block as the QPainter path's caret
// draws it: from the caret's corner on whole points, in the caret's text colour, cut to the caret.

#include "Kestrix/rendering/gpu/MetalTerminalRenderer.h"

#include <cmath>

namespace kestrix {

namespace {

void appendQuad(std::vector<GlyphVertex> &vertices, const TexturedRect &quad, const GpuColor &color)
{
    const GpuRect &p = quad.rect;
    const GpuRect &t = quad.texture;
    vertices.insert(vertices.end(), {{{p.min.x, p.min.y}, {t.min.x, t.min.y}, color},
                                     {{p.max.x, p.min.y}, {t.max.x, t.min.y}, color},
                                     {{p.min.x, p.max.y}, {t.min.x, t.max.y}, color},
                                     {{p.max.x, p.min.y}, {t.max.x, t.min.y}, color},
                                     {{p.max.x, p.max.y}, {t.max.x, t.max.y}, color},
                                     {{p.min.x, p.max.y}, {t.min.x, t.max.y}, color}});
}

} // namespace

void MetalTerminalRenderer::appendCursorText(DrawData &data, const MetalCursorRect &rect, const MetalCaretState &caret,
                                             int64_t columns, const MetalRowGeometry &geometry, CellTextPainter &text)
{
    const double s = geometry.scale;
    // The caret's corner on whole points, as the caret widget of the QPainter path sits.
    const double left = std::floor(static_cast<double>(rect.x0) / s);
    const double top = std::floor(static_cast<double>(geometry.screenRow) * geometry.cellHeight);
    const QPointF origin(left, top + geometry.cellHeight - geometry.baselineOffset);
    const GpuColor ink = metalRgba(caret.textColor);
    const GpuClip clip{{{rect.x0, rect.y0}, {rect.x1, rect.y1}}, false};
    for (const CellTextPainter::PlacedGlyph &placed : text.layOutText(caret.font, caret.text, origin, columns)) {
        const std::optional<PlacedCell> glyph = placedGlyphCell(placed, geometry, ink);
        if (!glyph) {
            continue;
        }
        const TextCell &cell = glyph->cell;
        const TexturedRect quad{{cell.position, {cell.position.x + cell.size.x, cell.position.y + cell.size.y}},
                                {cell.texOrigin, {cell.texOrigin.x + cell.texSize.x, cell.texOrigin.y + cell.texSize.y}}};
        if (const std::optional<TexturedRect> clipped = clipTexturedRect(quad, clip)) {
            appendQuad(glyph->colour ? data.cursorGlyphVerticesColor : data.cursorGlyphVerticesGray, *clipped,
                       cell.color);
        }
    }
}

} // namespace kestrix
