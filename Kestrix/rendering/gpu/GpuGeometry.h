#pragma once

#include "Kestrix/graphics/KittyPlaceholderCell.h"
#include "Kestrix/graphics/KittyPlacementRecord.h"
#include "Kestrix/model/BufferLine.h"
#include "Kestrix/model/UnderlineStyle.h"
#include "Kestrix/rendering/GeometryPrimitives.h"
#include "Kestrix/rendering/gpu/GpuRecords.h"
#include "Kestrix/rendering/gpu/GpuTexture.h"

#include <memory>
#include <optional>
#include <span>
#include <vector>

// The geometry the GPU renderer's row builders share: quads in y-up drawable pixels, bent by a line's
// double-width or double-height mode, clipped to the row, and decoration bars.

namespace kestrix {

using LineRenderMode = BufferLine::RenderLineMode;

// An axis-aligned rectangle by its minimum and maximum corner.
struct GpuRect {
    GpuPoint min;
    GpuPoint max;

    float width() const { return max.x - min.x; }
    float height() const { return max.y - min.y; }

    friend bool operator==(const GpuRect &, const GpuRect &) = default;
};

// Where quads of a row may go; `unclipped` lets them pass whole.
struct GpuClip {
    GpuRect rect;
    bool unclipped = true;
};

// A textured quad: an image or a slice of one.
struct ImageDraw {
    std::shared_ptr<GpuTexture> texture;
    std::vector<GlyphVertex> vertices;
    // Filtered between texels when scaled; otherwise each pixel shows its nearest texel.
    bool smooth = true;
};

struct TexturedRect {
    GpuRect rect;
    GpuRect texture;

    friend bool operator==(const TexturedRect &, const TexturedRect &) = default;
};

// Double width doubles every x; double height also stretches y to twice about `anchorY` (2y - anchorY).
// The result's corners are re-ordered into minimum and maximum.
GpuRect applyRenderMode(const GpuRect &rect, LineRenderMode mode, float anchorY);

// The rectangle cut to the clip, or nothing when that leaves it empty in either axis.
std::optional<GpuRect> clipRect(const GpuRect &rect, const GpuClip &clip);

// The same, cutting the texture rectangle in proportion. A rectangle without area is dropped unless
// the clip lets everything pass.
std::optional<TexturedRect> clipTexturedRect(const TexturedRect &quad, const GpuClip &clip);

// The largest rectangle of the image's aspect centred in the target; the target itself when any of the
// sizes is not positive.
RectF aspectFitRect(double imageWidth, double imageHeight, const RectF &target);

// The six corners of a textured quad: `destination` is in points, `textureRect` in normalised
// texture coordinates, `anchorY` in pixels.
std::optional<ImageDraw> makeImageDraw(std::shared_ptr<GpuTexture> texture, LineRenderMode mode, const GpuClip &clip,
                                       const GpuRect &destination, const GpuRect &textureRect, float anchorY,
                                       double scale);

// The bars of one underline or strikethrough, all lengths in pixels.
struct DecorationSpan {
    float startX = 0;
    float endX = 0;
    float centerY = 0;
    float thickness = 0;
    float minimumThickness = 0;
    float anchorY = 0;
};

void appendDecorationCells(UnderlineStyle style, LineRenderMode mode, const GpuClip &clip,
                           std::vector<ColorCell> &cells, const DecorationSpan &span, const GpuColor &color);

// The first placement, in list order, whose grid holds the placeholder cell and whose id the cell
// names (or any, when the cell names 0).
std::optional<KittyPlacementRecord> placementForPlaceholder(std::span<const KittyPlacementRecord> placements,
                                                            const KittyPlaceholderCell &cell);

struct LineIndexRange {
    int64_t first = 0;
    int64_t last = 0;

    friend bool operator==(const LineIndexRange &, const LineIndexRange &) = default;
};

// The buffer lines on screen, both ends included; nothing when there are none.
std::optional<LineIndexRange> visibleLineRange(int64_t yDisp, int64_t rows, int64_t lineCount);

} // namespace kestrix
