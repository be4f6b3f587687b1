// The rows of the terminal drawn with QPainter: backgrounds and selection, images below the text,
// box and block cells, the text on the grid with its decorations, images above the text, and the
// strip below the last whole row.

#include "Kestrix/rendering/CellTextPainter.h"
#include "Kestrix/rendering/KittyPlaceholderImages.h"
#include "Kestrix/rendering/gpu/GpuGeometry.h"
#include "Kestrix/rendering/AppleImage.h"
#include "Kestrix/view/TerminalView.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kestrix {

namespace {

// The first and last buffer rows a dirty rectangle touches; the last comes from its bottom edge,
// which may lie on a row boundary.
std::pair<int64_t, int64_t> dirtyRows(const QRectF &dirtyRect, double cellHeight, int64_t yDisp, int64_t rows)
{
    const auto rowAt = [&](double y) {
        const double row = std::trunc(std::max(y, 0.0) / cellHeight);
        return yDisp + static_cast<int64_t>(std::min(row, static_cast<double>(rows + 1)));
    };
    return {rowAt(dirtyRect.top()), rowAt(dirtyRect.bottom())};
}

// The columns [first, end) a run covers.
std::pair<int64_t, int64_t> runColumns(const SegmentRun &run, int64_t columnWidth)
{
    return {run.cells.front().column, run.cells.back().column + columnWidth};
}

} // namespace

double TerminalView::baselineOffset() const
{
    const FontMeasurement metrics = environment_.fontMeasurer->measure(fontSet_.normal);
    return std::ceil(metrics.descent + metrics.leading);
}

void TerminalView::drawTerminalContents(QPainter &painter, const QRectF &dirtyRect, int64_t yDisp)
{
    Terminal &t = *terminal_;
    const double ch = cellDimension_->height();
    painter.fillRect(dirtyRect, *nativeBg_);
    CircularBufferLineList &lines = t.buffer->lines();
    const auto [first, last] = dirtyRows(dirtyRect, ch, yDisp, t.rows);
    KittyPlaceholderDrawing placeholders = makeKittyPlaceholderDrawing();
    for (int64_t row = std::max<int64_t>(first, 0); row <= last && row < lines.count(); ++row) {
        drawRow(painter, row, lines[row], yDisp, placeholders);
    }
    const double strip = std::fmod(static_cast<double>(height()), ch);
    const QRectF bottomStrip(0, height() - strip, width(), strip);
    if (strip > 0 && bottomStrip.intersects(dirtyRect)) {
        painter.fillRect(bottomStrip, *nativeBg_);
    }
}

void TerminalView::drawRow(QPainter &painter, int64_t row, BufferLine &line, int64_t yDisp,
                           KittyPlaceholderDrawing &placeholders)
{
    const double ch = cellDimension_->height();
    const double rowTop = static_cast<double>(row - yDisp) * ch;
    painter.save();
    // Double-height halves are clipped to their own band across the whole width.
    const QRectF band(0, rowTop, width(), ch);
    switch (line.renderMode) {
    case BufferLine::RenderLineMode::single:
        break;
    case BufferLine::RenderLineMode::doubleWidth:
        painter.scale(2, 1);
        break;
    case BufferLine::RenderLineMode::doubledTop:
        painter.setClipRect(band, Qt::IntersectClip);
        painter.translate(0, rowTop);
        painter.scale(2, 2);
        painter.translate(0, -rowTop);
        break;
    case BufferLine::RenderLineMode::doubledDown:
        painter.setClipRect(band, Qt::IntersectClip);
        painter.translate(0, rowTop + ch);
        painter.scale(2, 2);
        painter.translate(0, -(rowTop + ch));
        break;
    }

    const RowSegments segments = buildAttributedSegments(row, line, terminal_->cols);
    const SortedLineImages images = sortLineImages(segments.images);
    drawRowBackgrounds(painter, segments, rowTop);
    drawRowImages(painter, images.kittyBelowText, rowTop, true);
    drawBoxCharacters(painter, segments.boxDrawings, rowTop);
    drawBlockElements(painter, segments.blockElements, rowTop);
    drawRowText(painter, segments, rowTop);
    drawKittyPlaceholders(painter, segments.placeholders, rowTop, placeholders);
    drawRowImages(painter, images.kittyAboveText, rowTop, true);
    drawRowImages(painter, images.others, rowTop, false);
    painter.restore();
}

void TerminalView::drawRowBackgrounds(QPainter &painter, const RowSegments &row, double rowTop)
{
    const double cw = cellDimension_->width();
    const double ch = cellDimension_->height();
    const int64_t cols = terminal_->cols;
    const double frameRight = width();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const ViewLineSegment &segment : row.segments) {
        for (const SegmentRun &run : segment.runs) {
            if (run.cells.empty()) {
                continue;
            }
            const auto [start, end] = runColumns(run, segment.columnWidth);
            const QColor &color =
                run.attributes->selectionBackgroundColor.value_or(run.attributes->background);
            QRectF rect(static_cast<double>(start) * cw, rowTop, static_cast<double>(end - start) * cw, ch);
            if (end >= cols) {
                // The margin right of the grid shows the default background, unless the last cell's
                // own background is that colour anyway and simply runs on to the edge.
                if (color == *nativeBg_) {
                    rect.setRight(std::max(rect.right(), frameRight));
                } else if (frameRight > rect.right()) {
                    painter.fillRect(QRectF(rect.right(), rowTop, frameRight - rect.right(), ch), *nativeBg_);
                }
            }
            painter.fillRect(rect, color);
        }
    }
    painter.restore();
}

void TerminalView::drawRowText(QPainter &painter, const RowSegments &row, double rowTop)
{
    const double cw = cellDimension_->width();
    CellTextPainter &text = cellTextPainter();
    const double baseline = rowTop + cellDimension_->height() - text.grid().baselineOffset;
    std::vector<PointF> glyphOrigins;
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, fontSmoothing_);
    for (const ViewLineSegment &segment : row.segments) {
        for (const SegmentRun &run : segment.runs) {
            const TextAttributes &attributes = *run.attributes;
            painter.setPen(attributes.foreground.isValid() ? attributes.foreground : *nativeFg_);
            text.drawRun(painter, attributes.font, run.cells, segment.columnWidth, baseline);
            if (attributes.underlineStyleValue || attributes.strikethroughStyleValue) {
                glyphOrigins.clear();
                for (const SegmentCell &cell : run.cells) {
                    glyphOrigins.push_back({static_cast<double>(cell.column) * cw, baseline});
                }
                drawUnderlines(painter, attributes, glyphOrigins, segment.columnWidth);
            }
        }
    }
}

void TerminalView::drawRowImages(QPainter &painter, const std::vector<std::shared_ptr<AppleImage>> &images,
                                 double rowTop, bool withPixelOffsets)
{
    const double cw = cellDimension_->width();
    const double s = backingScale();
    for (const auto &apple : images) {
        if (apple->image().isNull()) {
            continue;
        }
        QPointF origin(static_cast<double>(apple->col()) * cw, rowTop);
        if (withPixelOffsets) {
            // Offsets are device pixels into the first cell, rightwards and downwards.
            origin += QPointF(static_cast<double>(apple->kittyPixelOffsetX) / s,
                              static_cast<double>(apple->kittyPixelOffsetY) / s);
        }
        // The stripe's own extent, not its whole-pixel size: at a fractional cell height stripes meet.
        painter.drawImage(QRectF(origin, apple->image().deviceIndependentSize()), apple->image());
    }
}

TerminalView::KittyPlaceholderDrawing TerminalView::makeKittyPlaceholderDrawing() const
{
    return {virtualPlacementsByImage(terminal_->kittyGraphicsState, terminal_->isAlternateBufferActive()),
            KittyImageDecodeCache()};
}

void TerminalView::drawKittyPlaceholders(QPainter &painter, std::span<const KittyPlaceholderCell> cells,
                                         double rowTop, KittyPlaceholderDrawing &drawing) const
{
    if (cells.empty() || drawing.virtualPlacements.empty()) {
        return;
    }
    const double cw = cellDimension_->width();
    const double ch = cellDimension_->height();
    const double s = backingScale();
    for (const KittyPlaceholderCell &cell : cells) {
        const auto placements = drawing.virtualPlacements.find(cell.imageId);
        if (placements == drawing.virtualPlacements.end()) {
            continue;
        }
        const std::optional<KittyPlacementRecord> record = placementForPlaceholder(placements->second, cell);
        if (!record) {
            continue;
        }
        const std::optional<QImage> image = drawing.images.image(cell.imageId, terminal_->kittyGraphicsState);
        if (!image) {
            continue;
        }
        // The whole placement, placed so that this cell shows its own slice of it.
        const QRectF placement(static_cast<double>(cell.col - cell.placeholderCol) * cw +
                                   static_cast<double>(record->pixelOffsetX) / s,
                               rowTop - static_cast<double>(cell.placeholderRow) * ch +
                                   static_cast<double>(record->pixelOffsetY) / s,
                               static_cast<double>(record->cols) * cw,
                               static_cast<double>(record->rows) * ch);
        if (!(placement.width() > 0 && placement.height() > 0)) {
            continue;
        }
        painter.save();
        painter.setClipRect(QRectF(static_cast<double>(cell.col) * cw, rowTop, cw, ch), Qt::IntersectClip);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(aspectFitRect(image->deviceIndependentSize(), placement), *image);
        painter.restore();
    }
}

} // namespace kestrix
