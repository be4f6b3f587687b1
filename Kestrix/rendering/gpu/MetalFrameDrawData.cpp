// A frame from the terminal's visible lines: rows reused from the row cache while their line and
// everything else they depend on stay the same, rebuilt otherwise, then the cursor.

#include "Kestrix/core/Terminal.h"
#include "Kestrix/rendering/gpu/MetalTerminalRenderer.h"

#include <QFontMetricsF>

#include <algorithm>

namespace kestrix {

namespace {

template <typename Item>
void appendAll(std::vector<Item> &to, const std::vector<Item> &from)
{
    to.insert(to.end(), from.begin(), from.end());
}

bool blinks(CursorStyle style)
{
    return style == CursorStyle::blinkBlock || style == CursorStyle::blinkUnderline || style == CursorStyle::blinkBar;
}

// Equal for equal placements whatever order the table yields them in.
uint64_t placementsSummary(const MetalVirtualPlacements &placements)
{
    uint64_t summary = placements.size();
    for (const auto &[id, records] : placements) {
        size_t seed = id;
        for (const KittyPlacementRecord &record : records) {
            for (const int64_t value : {static_cast<int64_t>(record.placementId), record.pixelOffsetX, record.pixelOffsetY,
                                        record.cols, record.rows}) {
                seed = hashCombine(seed, std::hash<int64_t>{}(value));
            }
        }
        summary += seed;
    }
    return summary;
}

CacheSignature signatureOf(const MetalFrameSource &source, double scale, const MetalVirtualPlacements &placements)
{
    const Terminal &terminal = *source.terminal;
    const QFont &font = source.normalFont;
    return {scale,
            source.cellWidth,
            source.cellHeight,
            source.viewWidth,
            source.viewHeight,
            terminal.buffer->yDisp(),
            terminal.rows,
            terminal.cols,
            font.key(),
            font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF(),
            terminal.isAlternateBufferActive(),
            kittyCacheStamp(terminal.kittyGraphicsState),
            source.appearance,
            placementsSummary(placements)};
}

// The visible part of the lines the view saw change; nothing when none of them is visible.
std::optional<LineIndexRange> visibleDirtyLines(const std::optional<LineIndexRange> &dirty, LineIndexRange visible)
{
    if (!dirty) {
        return std::nullopt;
    }
    const LineIndexRange clamped{std::max(dirty->first, visible.first), std::min(dirty->last, visible.last)};
    if (clamped.last < clamped.first) {
        return std::nullopt;
    }
    return clamped;
}

MetalRowGeometry frameGeometry(const MetalFrameSource &source, double scale)
{
    const QFontMetricsF normal(source.normalFont);
    MetalRowGeometry geometry;
    geometry.cellWidth = source.cellWidth;
    geometry.cellHeight = source.cellHeight;
    geometry.baselineOffset = source.baselineOffset;
    geometry.viewWidth = source.viewWidth;
    geometry.viewHeight = source.viewHeight;
    geometry.scale = scale;
    geometry.cols = source.terminal->cols;
    geometry.nativeBackground = source.nativeBackground;
    geometry.nativeForeground = source.nativeForeground;
    geometry.underlineThickness = normal.lineWidth();
    geometry.underlinePosition = normal.underlinePos();
    geometry.antiAliasBlockGlyphs = source.antiAliasBlockGlyphs;
    geometry.backingScale = source.backingScale > 0 ? source.backingScale : 1;
    return geometry;
}

} // namespace

void appendRowToFrame(FrameDrawData &frame, const RowDrawData &row)
{
    appendAll(frame.backgroundCells, row.backgroundCells);
    appendAll(frame.glyphCellsGray, row.glyphCellsGray);
    appendAll(frame.glyphCellsColor, row.glyphCellsColor);
    appendAll(frame.decorationCells, row.decorationCells);
    appendAll(frame.decorationStrokeCells, row.decorationStrokeCells);
    appendAll(frame.underImageDraws, row.underImageDraws);
    appendAll(frame.placeholderImageDraws, row.placeholderImageDraws);
    appendAll(frame.overImageDraws, row.overImageDraws);
    appendAll(frame.otherImageDraws, row.otherImageDraws);
}

DrawData MetalTerminalRenderer::buildFrameDrawData(double scale, const MetalFrameSource &source)
{
    lastFrameStats = {};
    DrawData draw;
    if (!source.terminal || !source.terminal->buffer || !source.segmentRow || !source.text ||
        !(source.cellWidth > 0) || !(source.cellHeight > 0)) {
        return draw;
    }
    // Rows leave cells of the default background to the cleared frame.
    clearColor_ = metalRgba(source.nativeBackground);
    Terminal &terminal = *source.terminal;
    pruneKittyTextureCache(&terminal);
    Buffer &buffer = *terminal.buffer;
    CircularBufferLineList &lines = buffer.lines();
    const int64_t yDisp = buffer.yDisp();
    const std::optional<LineIndexRange> visible = visibleLineRange(yDisp, terminal.rows, lines.count());
    if (!visible) {
        return draw;
    }

    const MetalVirtualPlacements placements =
        virtualPlacementsByImage(terminal.kittyGraphicsState, terminal.isAlternateBufferActive());
    const CacheSignature signature = signatureOf(source, scale, placements);
    const bool signatureMatched = cacheSignature && *cacheSignature == signature;
    if (!signatureMatched) {
        rowCache.clear();
        cacheSignature = signature;
    }
    std::erase_if(rowCache, [&](const auto &entry) { return entry.first < visible->first || entry.first > visible->last; });
    const bool forceAll = !signatureMatched || rowCache.empty();
    const std::optional<LineIndexRange> dirty = visibleDirtyLines(source.dirtyLines, *visible);

    MetalRowGeometry geometry = frameGeometry(source, scale);
    geometry.virtualPlacements = &placements;
    geometry.kittyState = &terminal.kittyGraphicsState;
    for (int64_t index = visible->first; index <= visible->last; ++index) {
        const BufferLine &line = lines[index];
        auto cached = rowCache.find(index);
        const bool hit = cached != rowCache.end() && cached->second.lineSerial == line.serial() &&
                         cached->second.generation == line.generation;
        const bool dirtyLine = dirty && index >= dirty->first && index <= dirty->last;
        if (forceAll || !hit || dirtyLine) {
            geometry.screenRow = index - yDisp;
            geometry.renderMode = line.renderMode;
            const RowSegments segments = source.segmentRow(index, line, terminal.cols);
            RowCacheEntry entry{line.serial(), line.generation, buildRowDrawData(segments, geometry, *source.text)};
            cached = rowCache.insert_or_assign(index, std::move(entry)).first;
            ++lastFrameStats.rowsBuilt;
        } else {
            ++lastFrameStats.rowsReused;
        }
        appendRowToFrame(draw.frame, cached->second.data);
    }
    appendCursor(draw, source, *visible, geometry);
    return draw;
}

void MetalTerminalRenderer::appendCursor(DrawData &draw, const MetalFrameSource &source, LineIndexRange visible,
                                         MetalRowGeometry geometry)
{
    Terminal &terminal = *source.terminal;
    Buffer &buffer = *terminal.buffer;
    updateCursorBlink(blinks(terminal.options.cursorStyle) && !terminal.cursorHidden);
    MetalCursorState cursor;
    cursor.hidden = terminal.cursorHidden;
    cursor.style = terminal.options.cursorStyle;
    cursor.line = buffer.yBase() + buffer.y();
    cursor.column = buffer.x();
    cursor.cols = terminal.cols;
    cursor.lineCount = buffer.lines().count();
    cursor.firstVisible = visible.first;
    cursor.lastVisible = visible.last;
    cursor.yDisp = buffer.yDisp();
    cursor.focused = source.caret.focused;
    cursor.blinkOn = cursorBlinkOn;
    cursor.cellWidth = source.cellWidth;
    cursor.cellHeight = source.cellHeight;
    cursor.viewHeight = source.viewHeight;
    cursor.scale = geometry.scale;
    cursor.color = metalRgba(source.caret.color);
    if (cursor.line >= 0 && cursor.line < cursor.lineCount) {
        const BufferLine &line = buffer.lines()[cursor.line];
        cursor.cellColumns = std::max<int64_t>(1, line[std::min(cursor.column, line.dataSize() - 1)].width);
        cursor.renderMode = line.renderMode;
    }
    MetalCursorDrawData shape = buildCursorDrawData(cursor);
    draw.cursorColorVertices = std::move(shape.colorVertices);
    if (shape.blockRect) {
        geometry.screenRow = cursor.line - cursor.yDisp;
        geometry.renderMode = LineRenderMode::single;
        appendCursorText(draw, *shape.blockRect, source.caret, cursor.cellColumns, geometry, *source.text);
    }
}

} // namespace kestrix
