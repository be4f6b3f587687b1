#include "Kestrix/rendering/gpu/MetalImageDrawData.h"

#include "Kestrix/rendering/AppleImage.h"

#include <QRectF>

namespace kestrix {

namespace {

// The QPainter path lays images out in y-down points; the GPU's quads are y-up.
GpuRect upward(const QRectF &rect, double viewHeight)
{
    return {{static_cast<float>(rect.left()), static_cast<float>(viewHeight - rect.bottom())},
            {static_cast<float>(rect.right()), static_cast<float>(viewHeight - rect.top())}};
}

double rowTop(const MetalRowGeometry &g)
{
    return static_cast<double>(g.screenRow) * g.cellHeight;
}

void appendImages(std::vector<ImageDraw> &draws, const std::vector<std::shared_ptr<AppleImage>> &images,
                  bool withPixelOffsets, const MetalRowGeometry &g, MetalImageTextures &textures)
{
    const MetalRowImageFrame frame = rowImageFrame(g);
    for (const std::shared_ptr<AppleImage> &image : images) {
        std::shared_ptr<GpuTexture> texture = textures.imageTexture(image);
        if (!texture) {
            continue;
        }
        QPointF origin(static_cast<double>(image->col()) * g.cellWidth, rowTop(g));
        if (withPixelOffsets) {
            // Offsets are device pixels into the first cell, rightwards and downwards.
            origin += QPointF(static_cast<double>(image->kittyPixelOffsetX) / g.backingScale,
                              static_cast<double>(image->kittyPixelOffsetY) / g.backingScale);
        }
        // The stripe's own extent, as the QPainter path draws it, so stripes meet at any cell height.
        const QRectF placed(origin, image->image().deviceIndependentSize());
        if (std::optional<ImageDraw> draw = makeImageDraw(std::move(texture), g.renderMode, frame.clip,
                                                          upward(placed, g.viewHeight), {{0, 0}, {1, 1}},
                                                          frame.anchorY, g.scale)) {
            // The QPainter path draws line images unfiltered: scaled (double size, another scale than
            // the stripe was made at) each pixel shows one source pixel.
            draw->smooth = false;
            draws.push_back(std::move(*draw));
        }
    }
}

} // namespace

MetalRowImageFrame rowImageFrame(const MetalRowGeometry &g)
{
    const double s = g.scale;
    const auto rowTopPx = static_cast<float>((g.viewHeight - rowTop(g)) * s);
    const auto rowBottomPx = static_cast<float>((g.viewHeight - rowTop(g) - g.cellHeight) * s);
    const auto viewWidthPx = static_cast<float>(g.viewWidth * s);
    switch (g.renderMode) {
    case LineRenderMode::doubledTop:
        return {{{{0, rowBottomPx}, {viewWidthPx, rowTopPx}}, false}, rowTopPx};
    case LineRenderMode::doubledDown:
        return {{{{0, rowBottomPx}, {viewWidthPx, rowTopPx}}, false}, rowBottomPx};
    case LineRenderMode::single:
    case LineRenderMode::doubleWidth:
        break;
    }
    return {{{{0, 0}, {viewWidthPx, static_cast<float>(g.viewHeight * s)}}, false}, 0};
}

void appendLineImageDraws(RowDrawData &data, const std::optional<BufferLine::ImageList> &images,
                          const MetalRowGeometry &geometry, MetalImageTextures &textures)
{
    const SortedLineImages sorted = sortLineImages(images);
    appendImages(data.underImageDraws, sorted.kittyBelowText, true, geometry, textures);
    appendImages(data.overImageDraws, sorted.kittyAboveText, true, geometry, textures);
    appendImages(data.otherImageDraws, sorted.others, false, geometry, textures);
}

void appendPlaceholderImageDraws(RowDrawData &data, std::span<const KittyPlaceholderCell> cells,
                                 const MetalRowGeometry &g, MetalImageTextures &textures)
{
    if (cells.empty() || !g.kittyState || !g.virtualPlacements) {
        return;
    }
    const MetalRowImageFrame frame = rowImageFrame(g);
    const double cw = g.cellWidth;
    const double ch = g.cellHeight;
    const double top = rowTop(g);
    for (const KittyPlaceholderCell &cell : cells) {
        const auto placements = g.virtualPlacements->find(cell.imageId);
        if (placements == g.virtualPlacements->end()) {
            continue;
        }
        const std::optional<KittyPlacementRecord> record = placementForPlaceholder(placements->second, cell);
        if (!record) {
            continue;
        }
        const std::optional<MetalImageTexture> texture = textures.kittyTexture(cell.imageId, *g.kittyState);
        if (!texture) {
            continue;
        }
        // The whole placement, placed so that this cell shows its own slice of it.
        const QRectF placement(static_cast<double>(cell.col - cell.placeholderCol) * cw +
                                   static_cast<double>(record->pixelOffsetX) / g.backingScale,
                               top - static_cast<double>(cell.placeholderRow) * ch +
                                   static_cast<double>(record->pixelOffsetY) / g.backingScale,
                               static_cast<double>(record->cols) * cw, static_cast<double>(record->rows) * ch);
        if (!(placement.width() > 0 && placement.height() > 0)) {
            continue;
        }
        const QRectF fitted = aspectFitRect(texture->imageSize, placement);
        const QRectF visible = fitted.intersected(QRectF(static_cast<double>(cell.col) * cw, top, cw, ch));
        if (visible.isEmpty()) {
            continue;
        }
        // The texture's rows run bottom to top, as y-up positions do.
        const auto fraction = [](double offset, double length) { return static_cast<float>(offset / length); };
        const GpuRect slice{{fraction(visible.left() - fitted.left(), fitted.width()),
                             fraction(fitted.bottom() - visible.bottom(), fitted.height())},
                            {fraction(visible.right() - fitted.left(), fitted.width()),
                             fraction(fitted.bottom() - visible.top(), fitted.height())}};
        if (std::optional<ImageDraw> draw = makeImageDraw(texture->texture, g.renderMode, frame.clip,
                                                          upward(visible, g.viewHeight), slice, frame.anchorY, g.scale)) {
            data.placeholderImageDraws.push_back(std::move(*draw));
        }
    }
}

} // namespace kestrix
