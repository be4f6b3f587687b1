#include "Kestrix/view/TerminalViewMetalFrame.h"

#include "Kestrix/core/UnicodeUtil.h"
#include "Kestrix/rendering/gpu/GpuCacheKeys.h"
#include "Kestrix/view/CaretView.h"
#include "Kestrix/view/TerminalView.h"

#include <algorithm>

namespace kestrix {

namespace {

size_t hashColor(size_t seed, const QColor &color)
{
    return hashCombine(seed, color.isValid() ? color.rgba64() : 0);
}

size_t hashPosition(size_t seed, const Position &position)
{
    return hashCombine(hashCombine(seed, static_cast<size_t>(position.col)), static_cast<size_t>(position.row));
}

MetalCaretState caretState(TerminalView &view)
{
    MetalCaretState caret;
    const CaretView *caretView = view.caretView();
    caret.color = caretView ? caretView->caretColor() : view.nativeForegroundColor();
    const std::optional<QColor> textColor = caretView ? caretView->caretTextColor() : std::nullopt;
    caret.textColor = textColor.value_or(view.nativeForegroundColor());
    caret.focused = !caretView || !caretView->tracksFocus() || view.hasFocusInActiveWindow();
    caret.font = view.fontSet().normal;
    Terminal &terminal = view.getTerminal();
    Buffer &buffer = *terminal.buffer;
    const int64_t line = buffer.yBase() + buffer.y();
    if (line < 0 || line >= buffer.lines().count()) {
        return caret;
    }
    const BufferLine &row = buffer.lines()[line];
    const CharData &cell = row[std::min(buffer.x(), row.dataSize() - 1)];
    const std::string text = cell.code != 0 ? terminal.stringForCellCode(cell.code) : std::string(" ");
    caret.text = QString::fromStdString(UnicodeUtil::forceEmojiPresentation(text));
    // The caret's colours stand in for the cell's; only the font of the cell's attribute is used.
    caret.font = view.makeAttributes(cell.attribute, caret.color, caret.textColor).font;
    return caret;
}

} // namespace

uint64_t metalAppearance(const TerminalView &view)
{
    size_t seed = 0;
    for (const QColor &color : {view.nativeForegroundColor(), view.nativeBackgroundColor(),
                                view.selectedTextBackgroundColor(), view.selectedTextForegroundColor()}) {
        seed = hashColor(seed, color);
    }
    seed = hashCombine(seed, (view.useBrightColors() ? 1u : 0u) | (view.customBlockGlyphs() ? 2u : 0u) |
                                 (view.antiAliasCustomBlockGlyphs() ? 4u : 0u));
    if (const std::optional<SelectionEnds> selection = view.selectionEnds(); selection && selection->active) {
        seed = hashPosition(hashPosition(hashCombine(seed, 1), selection->start), selection->end);
    }
    if (const auto &links = view.linkHighlightRange()) {
        seed = hashCombine(seed, links->size() + 1);
        for (const LinkRowRange &range : *links) {
            seed = hashCombine(hashCombine(hashCombine(seed, static_cast<size_t>(range.row)),
                                           static_cast<size_t>(range.start)),
                               static_cast<size_t>(range.end));
        }
    }
    return seed;
}

MetalFrameSource makeMetalFrameSource(TerminalView &view, std::optional<LineIndexRange> dirtyLines)
{
    MetalFrameSource source;
    const std::optional<QSizeF> cell = view.cellDimension();
    if (!cell) {
        return source;
    }
    source.terminal = &view.getTerminal();
    source.cellWidth = cell->width();
    source.cellHeight = cell->height();
    source.viewWidth = view.width();
    source.viewHeight = view.height();
    source.baselineOffset = view.baselineOffset();
    source.normalFont = view.fontSet().normal;
    source.nativeBackground = view.nativeBackgroundColor();
    source.nativeForeground = view.nativeForegroundColor();
    source.antiAliasBlockGlyphs = view.antiAliasCustomBlockGlyphs();
    source.backingScale = view.backingScale();
    source.appearance = metalAppearance(view);
    source.dirtyLines = dirtyLines;
    source.segmentRow = [&view](int64_t line, const BufferLine &bufferLine, int64_t cols) {
        return view.buildAttributedSegments(line, bufferLine, cols);
    };
    source.text = &view.cellTextPainter();
    source.caret = caretState(view);
    return source;
}

} // namespace kestrix
