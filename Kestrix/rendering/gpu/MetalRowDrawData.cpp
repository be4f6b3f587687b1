// One row's backgrounds, glyphs and box and block glyphs as GPU cells, from the same row segments and
// glyph layout the QPainter path draws, so the two renderers agree by construction.

#include "Kestrix/rendering/BoxDrawingGlyph.h"
#include "Kestrix/rendering/StrikethroughGeometry.h"
#include "Kestrix/rendering/UnderlineGeometry.h"
#include "Kestrix/rendering/gpu/MetalTerminalRenderer.h"

#include <QFontMetricsF>

#include <cmath>

namespace kestrix {

namespace {

// The columns [first, end) a run covers.
std::pair<int64_t, int64_t> runColumns(const SegmentRun &run, int64_t columnWidth)
{
    return {run.cells.front().column, run.cells.back().column + columnWidth};
}

float pixel(double value)
{
    return static_cast<float>(std::round(value));
}

// How a row's render mode bends its quads: double width doubles every x, double height also
// stretches y about the row's top (upper half) or bottom (lower half) and cuts what leaves the row.
struct RowBend {
    LineRenderMode mode = LineRenderMode::single;
    float anchorY = 0;
    GpuClip clip;
};

RowBend rowBend(const MetalRowGeometry &g)
{
    const double s = g.scale;
    const double rowBottomPx = (g.viewHeight - static_cast<double>(g.screenRow + 1) * g.cellHeight) * s;
    const double rowTopPx = rowBottomPx + g.cellHeight * s;
    RowBend bend{g.renderMode, 0, {}};
    if (g.renderMode == LineRenderMode::doubledTop || g.renderMode == LineRenderMode::doubledDown) {
        bend.anchorY = static_cast<float>(g.renderMode == LineRenderMode::doubledTop ? rowTopPx : rowBottomPx);
        bend.clip = {{{0, static_cast<float>(rowBottomPx)}, {static_cast<float>(g.viewWidth * s), static_cast<float>(rowTopPx)}},
                     false};
    }
    return bend;
}

bool doublesHeight(LineRenderMode mode)
{
    return mode == LineRenderMode::doubledTop || mode == LineRenderMode::doubledDown;
}

// Glyphs of a bent row are drawn stretched, as sharp as the QPainter path's transformed text.
int stretchX(LineRenderMode mode)
{
    return mode == LineRenderMode::single ? 1 : 2;
}

int stretchY(LineRenderMode mode)
{
    return doublesHeight(mode) ? 2 : 1;
}

void pushColorCell(std::vector<ColorCell> &cells, const GpuRect &rect, const GpuColor &color, const RowBend &bend)
{
    if (const std::optional<GpuRect> placed = clipRect(applyRenderMode(rect, bend.mode, bend.anchorY), bend.clip)) {
        cells.push_back({placed->min, {placed->width(), placed->height()}, color});
    }
}

// `bent`: the cell already lies where the render mode puts it and is only cut to the row.
void pushTextCell(std::vector<TextCell> &cells, const TextCell &cell, const RowBend &bend, bool bent = false)
{
    const TexturedRect quad{{cell.position, {cell.position.x + cell.size.x, cell.position.y + cell.size.y}},
                            {cell.texOrigin, {cell.texOrigin.x + cell.texSize.x, cell.texOrigin.y + cell.texSize.y}}};
    const std::optional<TexturedRect> placed =
        clipTexturedRect({bent ? quad.rect : applyRenderMode(quad.rect, bend.mode, bend.anchorY), quad.texture}, bend.clip);
    if (placed) {
        cells.push_back({placed->rect.min,
                         {placed->rect.width(), placed->rect.height()},
                         placed->texture.min,
                         {placed->texture.width(), placed->texture.height()},
                         cell.color});
    }
}

// One bar of a stroke, y-down points, as a cell in y-up pixels.
void appendBar(std::vector<ColorCell> &cells, double x0, double x1, double centerY, double width,
               const MetalRowGeometry &g, const RowBend &bend, const GpuColor &color)
{
    if (!(x1 > x0) || !(width > 0)) {
        return;
    }
    const double s = g.scale;
    const double bottom = (g.viewHeight - centerY - width / 2) * s;
    pushColorCell(cells,
                  {{static_cast<float>(x0 * s), static_cast<float>(bottom)},
                   {static_cast<float>(x1 * s), static_cast<float>(bottom + width * s)}},
                  color, bend);
}

// A straight, flat-ended decoration stroke of the QPainter path as bars: each segment of its polyline
// becomes a bar, cut into dashes when the stroke is dashed.
void appendStroke(std::vector<ColorCell> &cells, const DecorationStroke &stroke, const MetalRowGeometry &g,
                  const RowBend &bend, const GpuColor &color)
{
    for (size_t i = 1; i < stroke.points.size(); ++i) {
        const PointF &from = stroke.points[i - 1];
        const PointF &to = stroke.points[i];
        const double left = std::min(from.x, to.x);
        const double right = std::max(from.x, to.x);
        const double centerY = (from.y + to.y) / 2;
        if (!stroke.isDashed()) {
            appendBar(cells, left, right, centerY, stroke.width, g, bend, color);
            continue;
        }
        const double period = stroke.dash + stroke.gap;
        for (double x = left; x < right && period > 0; x += period) {
            appendBar(cells, x, std::min(x + stroke.dash, right), centerY, stroke.width, g, bend, color);
        }
    }
}

// Curves and round caps are rasterized by QPainter, as the QPainter path draws them, rather than
// built from bars.
bool needsRasterizedStroke(const DecorationStroke &stroke)
{
    return stroke.points.size() > 2 || stroke.cap == StrokeCap::round;
}

// From the row's points to y-down device pixels, as the QPainter path transforms the row.
QTransform rowToDevice(const MetalRowGeometry &g)
{
    const double rowTop = static_cast<double>(g.screenRow) * g.cellHeight;
    QTransform row;
    switch (g.renderMode) {
    case LineRenderMode::single:
        break;
    case LineRenderMode::doubleWidth:
        row.scale(2, 1);
        break;
    case LineRenderMode::doubledTop:
        row.translate(0, rowTop);
        row.scale(2, 2);
        row.translate(0, -rowTop);
        break;
    case LineRenderMode::doubledDown:
        row.translate(0, rowTop + g.cellHeight);
        row.scale(2, 2);
        row.translate(0, -(rowTop + g.cellHeight));
        break;
    }
    return row * QTransform::fromScale(g.scale, g.scale);
}

} // namespace

void MetalTerminalRenderer::appendDecorationStroke(RowDrawData &data, const DecorationStroke &stroke,
                                                   const MetalRowGeometry &g, const GpuColor &color)
{
    const RowBend bend = rowBend(g);
    if (!needsRasterizedStroke(stroke)) {
        appendStroke(data.decorationCells, stroke, g, bend, color);
        return;
    }
    const std::optional<PlacedStroke> placed = decorationStrokeEntry(stroke, rowToDevice(g));
    if (!placed) {
        return;
    }
    const double viewHeightPx = g.viewHeight * g.scale;
    const GpuPoint position{static_cast<float>(placed->left),
                            static_cast<float>(viewHeightPx - static_cast<double>(placed->top + placed->entry.height))};
    pushTextCell(data.decorationStrokeCells, atlasCell(*grayscaleAtlas, placed->entry.region, position, color), bend,
                 true);
}

TextCell MetalTerminalRenderer::atlasCell(const GlyphAtlas &atlas, const AtlasRegion &region, GpuPoint position,
                                          const GpuColor &color)
{
    const auto size = static_cast<float>(atlas.size());
    const auto width = static_cast<float>(region.width);
    const auto height = static_cast<float>(region.height);
    return {position,
            {width, height},
            {static_cast<float>(region.x) / size, static_cast<float>(region.y) / size},
            {width / size, height / size},
            color};
}

RowDrawData MetalTerminalRenderer::buildRowDrawData(const RowSegments &row, const MetalRowGeometry &geometry,
                                                    CellTextPainter &text)
{
    RowDrawData data;
    appendRowBackgrounds(data, row, geometry);
    appendRowImages(data, row, geometry);
    appendRowGlyphs(data, row, geometry, text);
    appendRowCustomGlyphs(data, row, geometry);
    appendRowDecorations(data, row, geometry);
    appendRowPlaceholders(data, row, geometry);
    return data;
}

void MetalTerminalRenderer::appendRowBackgrounds(RowDrawData &data, const RowSegments &row,
                                                 const MetalRowGeometry &g)
{
    const double s = g.scale;
    const double rowBottom = g.viewHeight - static_cast<double>(g.screenRow + 1) * g.cellHeight;
    const RowBend bend = rowBend(g);
    for (const ViewLineSegment &segment : row.segments) {
        for (const SegmentRun &run : segment.runs) {
            if (run.cells.empty()) {
                continue;
            }
            const auto [start, end] = runColumns(run, segment.columnWidth);
            const QColor &color = run.attributes->selectionBackgroundColor.value_or(run.attributes->background);
            // The frame is cleared to the default background: an opaque run of that colour, margin
            // included, is already there.
            if (color == g.nativeBackground && color.alpha() == 255) {
                continue;
            }
            // The margin right of the grid keeps the frame's background.
            const double right = static_cast<double>(end) * g.cellWidth;
            const double left = static_cast<double>(start) * g.cellWidth;
            pushColorCell(data.backgroundCells,
                          {{static_cast<float>(left * s), static_cast<float>(rowBottom * s)},
                           {static_cast<float>(right * s), static_cast<float>((rowBottom + g.cellHeight) * s)}},
                          metalRgba(color), bend);
        }
    }
}

std::optional<MetalTerminalRenderer::PlacedCell>
MetalTerminalRenderer::placedGlyphCell(const CellTextPainter::PlacedGlyph &placed, const MetalRowGeometry &g,
                                       const GpuColor &ink)
{
    const double s = g.scale;
    const LineRenderMode mode = g.renderMode;
    // The glyph is drawn through the device scale as the QPainter path's scaled painter draws it,
    // not from a font of the scaled size, which hints differently.
    const std::optional<GlyphEntry> entry = glyphEntry(placed.glyph, placed.font, s * stretchX(mode), s * stretchY(mode));
    if (!entry || entry->width <= 0 || entry->height <= 0) {
        return std::nullopt;
    }
    const bool colour = entry->atlasKind == GlyphAtlasKind::color;
    const GlyphAtlas &atlas = colour ? *colorAtlas : *grayscaleAtlas;
    TextCell cell = atlasCell(atlas, entry->region, {}, colour ? GpuColor{1, 1, 1, 1} : ink);
    double originX = placed.origin.x() * s;
    double originY = (g.viewHeight - placed.origin.y()) * s;
    if (mode != LineRenderMode::single) {
        originX *= 2;
    }
    if (doublesHeight(mode)) {
        originY = 2 * originY - rowBend(g).anchorY;
    }
    if (placed.scale == 1) {
        // Glyph origins land on whole pixels as the QPainter path puts them: rounded for coverage
        // glyphs, floored across for colour bitmaps.
        const double left = colour ? std::floor(originX) : std::round(originX);
        cell.position = {static_cast<float>(left) + static_cast<float>(entry->bearingX),
                         pixel(originY) + static_cast<float>(entry->bearingY)};
    } else {
        // A glyph fitted into a wide slot is the same bitmap drawn smaller about its origin.
        const double f = placed.scale;
        cell.position = {static_cast<float>(originX + entry->bearingX * f),
                         static_cast<float>(originY + entry->bearingY * f)};
        cell.size = {static_cast<float>(entry->width * f), static_cast<float>(entry->height * f)};
    }
    return PlacedCell{cell, colour};
}

void MetalTerminalRenderer::appendRowGlyphs(RowDrawData &data, const RowSegments &row, const MetalRowGeometry &g,
                                            CellTextPainter &text)
{
    const double rowTop = static_cast<double>(g.screenRow) * g.cellHeight;
    const double baseline = rowTop + g.cellHeight - g.baselineOffset;
    const RowBend bend = rowBend(g);
    for (const ViewLineSegment &segment : row.segments) {
        for (const SegmentRun &run : segment.runs) {
            const TextAttributes &attributes = *run.attributes;
            const GpuColor ink = metalRgba(attributes.foreground.isValid() ? attributes.foreground : g.nativeForeground);
            for (const CellTextPainter::PlacedGlyph &placed :
                 text.layOutRun(attributes.font, run.cells, segment.columnWidth, baseline)) {
                if (const std::optional<PlacedCell> glyph = placedGlyphCell(placed, g, ink)) {
                    pushTextCell(glyph->colour ? data.glyphCellsColor : data.glyphCellsGray, glyph->cell, bend, true);
                }
            }
        }
    }
}

void MetalTerminalRenderer::appendRowCustomGlyphs(RowDrawData &data, const RowSegments &row,
                                                  const MetalRowGeometry &g)
{
    const double s = g.scale;
    const double rowTop = static_cast<double>(g.screenRow) * g.cellHeight;
    const double viewHeightPx = g.viewHeight * s;
    const RowBend bend = rowBend(g);
    const int sx = stretchX(g.renderMode);
    const int sy = stretchY(g.renderMode);
    // The cell's corner moves as the row bends; its glyph is already drawn stretched.
    const auto place = [&](const std::optional<CustomGlyphEntry> &entry, double leftPx, double topPx, const QColor &color) {
        if (entry && grayscaleAtlas) {
            const GpuPoint top{pixel(leftPx), pixel(viewHeightPx - topPx)};
            const GpuPoint bentTop = applyRenderMode({top, top}, g.renderMode, bend.anchorY).min;
            const GpuPoint position{bentTop.x, bentTop.y - static_cast<float>(entry->height)};
            pushTextCell(data.glyphCellsGray, atlasCell(*grayscaleAtlas, entry->region, position, metalRgba(color)),
                         bend, true);
        }
    };
    if (!row.boxDrawings.empty()) {
        const int baseThickness = boxDrawingBaseThickness(g.underlineThickness, s);
        for (const BoxDrawingRenderItem &item : row.boxDrawings) {
            const RectF cell = boxDrawingCellRect(item.column, static_cast<int>(item.columnWidth), 0, rowTop,
                                                  g.cellWidth, g.cellHeight, s);
            const int widthPx = static_cast<int>(std::lround(cell.width * s));
            const int heightPx = static_cast<int>(std::lround(cell.height * s));
            place(customGlyphEntry(item.code, widthPx, heightPx, baseThickness, true, s, sx, sy), cell.x * s,
                  cell.y * s, item.color);
        }
    }
    for (const BlockElementRenderItem &item : row.blockElements) {
        const double left = static_cast<double>(item.column) * g.cellWidth * s;
        const int widthPx = wholePixels(static_cast<double>(item.columnWidth) * g.cellWidth, s);
        const int heightPx = wholePixels(g.cellHeight, s);
        place(customGlyphEntry(item.code, widthPx, heightPx, 0, g.antiAliasBlockGlyphs, s, sx, sy), left, rowTop * s,
              item.color);
    }
}

void MetalTerminalRenderer::appendRowDecorations(RowDrawData &data, const RowSegments &row, const MetalRowGeometry &g)
{
    const double rowTop = static_cast<double>(g.screenRow) * g.cellHeight;
    const double baseline = rowTop + g.cellHeight - g.baselineOffset;
    const GpuColor defaultColor = metalRgba(g.nativeForeground);
    std::vector<DecorationStroke> strokes;
    for (const ViewLineSegment &segment : row.segments) {
        for (const SegmentRun &run : segment.runs) {
            const TextAttributes &attributes = *run.attributes;
            if (attributes.underlineStyleValue) {
                // Every underline of a row follows the normal font's line.
                strokes.clear();
                const UnderlineGeometry geometry(g.underlineThickness, g.underlinePosition, g.cellWidth, g.scale);
                for (const SegmentCell &cell : run.cells) {
                    geometry.appendStrokes(underlineStyle(attributes),
                                           {static_cast<double>(cell.column) * g.cellWidth, baseline},
                                           segment.columnWidth, strokes);
                }
                const GpuColor color = attributes.underlineColor ? metalRgba(*attributes.underlineColor) : defaultColor;
                for (const DecorationStroke &stroke : strokes) {
                    appendDecorationStroke(data, stroke, g, color);
                }
            }
            if (attributes.strikethroughStyleValue) {
                strokes.clear();
                const QFontMetricsF runFont(attributes.font);
                const StrikethroughGeometry geometry(runFont.lineWidth(), runFont.xHeight(), g.cellWidth, g.scale);
                for (const SegmentCell &cell : run.cells) {
                    geometry.appendStrokes(*attributes.strikethroughStyleValue,
                                           {static_cast<double>(cell.column) * g.cellWidth, baseline},
                                           segment.columnWidth, strokes);
                }
                const GpuColor color =
                    attributes.strikethroughColor ? metalRgba(*attributes.strikethroughColor) : defaultColor;
                for (const DecorationStroke &stroke : strokes) {
                    appendDecorationStroke(data, stroke, g, color);
                }
            }
        }
    }
}

} // namespace kestrix
