#include "Kestrix/rendering/gpu/GpuGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestrix {

namespace {

// A decoration never has more bars than this: a bar thinner than a pixel over a wide row would
// otherwise make millions of them.
constexpr double mostBarsPerDecoration = 65536;

GpuRect ordered(GpuPoint a, GpuPoint b)
{
    return {{std::min(a.x, b.x), std::min(a.y, b.y)}, {std::max(a.x, b.x), std::max(a.y, b.y)}};
}

bool hasArea(const GpuRect &rect)
{
    return rect.max.x > rect.min.x && rect.max.y > rect.min.y;
}

float proportion(float value, float from, float length, float texFrom, float texTo)
{
    return texFrom + (value - from) / length * (texTo - texFrom);
}

void appendBar(float x0, float x1, float centerY, float thickness, LineRenderMode mode, float anchorY,
               const GpuClip &clip, std::vector<ColorCell> &cells, const GpuColor &color)
{
    const GpuRect bar = applyRenderMode({{x0, centerY - thickness / 2}, {x1, centerY + thickness / 2}}, mode, anchorY);
    if (const std::optional<GpuRect> clipped = clipRect(bar, clip)) {
        cells.push_back({clipped->min, {clipped->width(), clipped->height()}, color});
    }
}

// Bars of `length` every `period` from the start, the last cut at the end.
void appendBroken(const DecorationSpan &span, float length, float period, LineRenderMode mode, const GpuClip &clip,
                  std::vector<ColorCell> &cells, const GpuColor &color)
{
    for (float x = span.startX; x < span.endX; x += period) {
        appendBar(x, std::min(x + length, span.endX), span.centerY, span.thickness, mode, span.anchorY, clip, cells,
                  color);
    }
}

// Flat segments of one stroke width following a sine of period four widths.
void appendCurly(const DecorationSpan &span, float width, LineRenderMode mode, const GpuClip &clip,
                 std::vector<ColorCell> &cells, const GpuColor &color)
{
    const double period = 4.0 * width;
    for (float x = span.startX; x < span.endX;) {
        const float end = std::min(x + width, span.endX);
        const double phase = 2 * std::numbers::pi * (x - span.startX) / period;
        const auto centerY = static_cast<float>(span.centerY + width * std::sin(phase));
        appendBar(x, end, centerY, span.thickness, mode, span.anchorY, clip, cells, color);
        x = end;
    }
}

} // namespace

GpuRect applyRenderMode(const GpuRect &rect, LineRenderMode mode, float anchorY)
{
    GpuPoint a = rect.min;
    GpuPoint b = rect.max;
    if (mode != LineRenderMode::single) {
        a.x *= 2;
        b.x *= 2;
    }
    if (mode == LineRenderMode::doubledTop || mode == LineRenderMode::doubledDown) {
        a.y = 2 * a.y - anchorY;
        b.y = 2 * b.y - anchorY;
    }
    return ordered(a, b);
}

std::optional<GpuRect> clipRect(const GpuRect &rect, const GpuClip &clip)
{
    if (clip.unclipped) {
        return rect;
    }
    const GpuRect cut{{std::max(rect.min.x, clip.rect.min.x), std::max(rect.min.y, clip.rect.min.y)},
                      {std::min(rect.max.x, clip.rect.max.x), std::min(rect.max.y, clip.rect.max.y)}};
    if (!hasArea(cut)) {
        return std::nullopt;
    }
    return cut;
}

std::optional<TexturedRect> clipTexturedRect(const TexturedRect &quad, const GpuClip &clip)
{
    if (clip.unclipped) {
        return quad;
    }
    if (!hasArea(quad.rect)) {
        return std::nullopt;
    }
    const std::optional<GpuRect> cut = clipRect(quad.rect, clip);
    if (!cut) {
        return std::nullopt;
    }
    const GpuRect &r = quad.rect;
    const GpuRect &t = quad.texture;
    return TexturedRect{*cut,
                        {{proportion(cut->min.x, r.min.x, r.width(), t.min.x, t.max.x),
                          proportion(cut->min.y, r.min.y, r.height(), t.min.y, t.max.y)},
                         {proportion(cut->max.x, r.min.x, r.width(), t.min.x, t.max.x),
                          proportion(cut->max.y, r.min.y, r.height(), t.min.y, t.max.y)}}};
}

RectF aspectFitRect(double imageWidth, double imageHeight, const RectF &target)
{
    if (!(imageWidth > 0 && imageHeight > 0 && target.width > 0 && target.height > 0)) {
        return target;
    }
    const double factor = std::min(target.width / imageWidth, target.height / imageHeight);
    const double width = imageWidth * factor;
    const double height = imageHeight * factor;
    return {target.x + (target.width - width) / 2, target.y + (target.height - height) / 2, width, height};
}

std::optional<ImageDraw> makeImageDraw(std::shared_ptr<GpuTexture> texture, LineRenderMode mode, const GpuClip &clip,
                                       const GpuRect &destination, const GpuRect &textureRect, float anchorY,
                                       double scale)
{
    const auto s = static_cast<float>(scale);
    const GpuRect scaled{{destination.min.x * s, destination.min.y * s}, {destination.max.x * s, destination.max.y * s}};
    const std::optional<TexturedRect> quad = clipTexturedRect({applyRenderMode(scaled, mode, anchorY), textureRect}, clip);
    if (!quad) {
        return std::nullopt;
    }
    const GpuRect &p = quad->rect;
    const GpuRect &t = quad->texture;
    const GpuColor white{1, 1, 1, 1};
    ImageDraw draw{std::move(texture), {}};
    draw.vertices = {
        {{p.min.x, p.min.y}, {t.min.x, t.min.y}, white}, {{p.max.x, p.min.y}, {t.max.x, t.min.y}, white},
        {{p.min.x, p.max.y}, {t.min.x, t.max.y}, white}, {{p.max.x, p.min.y}, {t.max.x, t.min.y}, white},
        {{p.max.x, p.max.y}, {t.max.x, t.max.y}, white}, {{p.min.x, p.max.y}, {t.min.x, t.max.y}, white},
    };
    return draw;
}

void appendDecorationCells(UnderlineStyle style, LineRenderMode mode, const GpuClip &clip,
                           std::vector<ColorCell> &cells, const DecorationSpan &span, const GpuColor &color)
{
    const float width = std::max(span.thickness, span.minimumThickness);
    const double length = static_cast<double>(span.endX) - span.startX;
    // A stroke without width (or a span without length) has nothing to draw and would never advance.
    if (style == UnderlineStyle::none || !(length > 0) || !std::isfinite(length) || !(width > 0) ||
        length / width > mostBarsPerDecoration) {
        return;
    }
    switch (style) {
    case UnderlineStyle::none:
        return;
    case UnderlineStyle::single:
    case UnderlineStyle::double_:
        appendBar(span.startX, span.endX, span.centerY, span.thickness, mode, span.anchorY, clip, cells, color);
        return;
    case UnderlineStyle::curly:
        appendCurly(span, width, mode, clip, cells, color);
        return;
    case UnderlineStyle::dotted:
        appendBroken(span, width, 3 * width, mode, clip, cells, color);
        return;
    case UnderlineStyle::dashed:
        appendBroken(span, 2 * width, 4 * width, mode, clip, cells, color);
        return;
    }
}

std::optional<KittyPlacementRecord> placementForPlaceholder(std::span<const KittyPlacementRecord> placements,
                                                            const KittyPlaceholderCell &cell)
{
    for (const KittyPlacementRecord &placement : placements) {
        const bool named = cell.placementId == 0 || cell.placementId == placement.placementId;
        const bool holdsCell = placement.cols > 0 && placement.rows > 0 && cell.placeholderCol >= 0 &&
                               cell.placeholderRow >= 0 && cell.placeholderCol < placement.cols &&
                               cell.placeholderRow < placement.rows;
        if (named && holdsCell) {
            return placement;
        }
    }
    return std::nullopt;
}

std::optional<LineIndexRange> visibleLineRange(int64_t yDisp, int64_t rows, int64_t lineCount)
{
    if (lineCount <= 0 || rows <= 0) {
        return std::nullopt;
    }
    const int64_t last = std::min(yDisp + rows - 1, lineCount - 1);
    if (last < yDisp || yDisp < 0) {
        return std::nullopt;
    }
    return LineIndexRange{yDisp, last};
}

} // namespace kestrix
