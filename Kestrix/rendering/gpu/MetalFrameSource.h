#pragma once

#include "Kestrix/rendering/RowSegments.h"
#include "Kestrix/rendering/gpu/GpuGeometry.h"

#include <QColor>
#include <QFont>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace kestrix {

class BufferLine;
class CellTextPainter;
class Terminal;

// How the view shows its caret in this frame.
struct MetalCaretState {
    QColor color;
    // What the character under a block caret is drawn in.
    QColor textColor;
    // Focused, or the caret does not follow focus; otherwise it is a hollow box.
    bool focused = true;
    // The character under the caret and the font it is drawn with.
    QString text = QStringLiteral(" ");
    QFont font;
};

// Everything a frame is built from: the terminal and what the view adds to it. Lengths are points.
struct MetalFrameSource {
    Terminal *terminal = nullptr;
    double cellWidth = 0;
    double cellHeight = 0;
    double viewWidth = 0;
    double viewHeight = 0;
    // The normal font's baseline height above the bottom of a cell.
    double baselineOffset = 0;
    QFont normalFont;
    QColor nativeBackground;
    QColor nativeForeground;
    bool antiAliasBlockGlyphs = true;
    // Device pixels per point of the window, which Kitty pixel offsets are divided by.
    double backingScale = 1;
    // A summary of the view's drawing state beyond the lines (colours, selection, highlights): when it
    // changes, every row is drawn again.
    uint64_t appearance = 0;
    // Buffer lines the view saw change since the last frame; lines whose own generation changed are
    // drawn again anyway.
    std::optional<LineIndexRange> dirtyLines;
    // The segments of a buffer line, as the QPainter path draws them.
    std::function<RowSegments(int64_t line, const BufferLine &bufferLine, int64_t cols)> segmentRow;
    // The QPainter path's glyph layout, shared so that both renderers place glyphs alike.
    CellTextPainter *text = nullptr;
    MetalCaretState caret;
};

} // namespace kestrix
