#pragma once

#include "Kestrix/graphics/KittyPlaceholderCell.h"
#include "Kestrix/model/BufferLine.h"
#include "Kestrix/rendering/BlockElementRect.h"
#include "Kestrix/rendering/TextAttributes.h"

#include <QColor>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace kestrix {

// The text of one cell at its column. Glyphs are placed by the cell they came from, so a cell whose
// text shapes to several glyphs (combining marks, variation selectors) never moves its neighbours.
struct SegmentCell {
    int64_t column = 0;
    QString text;
};

// Neighbouring cells drawn with the same attributes.
struct SegmentRun {
    std::shared_ptr<const TextAttributes> attributes;
    std::vector<SegmentCell> cells;
};

// A run of cells of one width (1, or 2 for wide characters) in a row.
struct ViewLineSegment {
    int64_t column = 0;
    int64_t columnWidth = 1;
    // One per run of equal attributes, plus one per box, block or placeholder cell.
    int64_t characterCount = 0;
    std::vector<SegmentRun> runs;

    // All cell texts in order.
    QString text() const;
};

// A box-drawing cell, drawn from geometry in its colour.
struct BoxDrawingRenderItem {
    int64_t column = 0;
    int64_t columnWidth = 1;
    uint32_t code = 0;
    QColor color;
};

// A block-element cell, filled from its rectangles in its colour.
struct BlockElementRenderItem {
    int64_t column = 0;
    int64_t columnWidth = 1;
    uint32_t code = 0;
    QColor color;
    std::span<const BlockElementRect> rects;
};

// What one row is drawn from.
struct RowSegments {
    std::vector<ViewLineSegment> segments;
    // The line's own images, unchanged.
    std::optional<BufferLine::ImageList> images;
    // Cells that stand for a slice of a Kitty image.
    std::vector<KittyPlaceholderCell> placeholders;
    std::vector<BlockElementRenderItem> blockElements;
    std::vector<BoxDrawingRenderItem> boxDrawings;
};

} // namespace kestrix
