// The caret on the cursor cell, and the view state that changes how rows are drawn.

#include "Kestrix/rendering/CellTextPainter.h"
#include "Kestrix/view/CaretView.h"
#include "Kestrix/view/ColorConversions.h"
#include "Kestrix/view/TerminalView.h"

namespace kestrix {

void TerminalView::setupCaret()
{
    const QSize cell = cellDimension_->toSize();
    if (caretView_ == nullptr) {
        caretView_ = new CaretView(terminal_->options.cursorStyle, this, QRect(QPoint(0, 0), cell));
    } else {
        caretView_->resize(cell);
        caretView_->update();
    }
    caretView_->updateCaretAnimation(CaretView::isBlinking(caretView_->style()));
}

bool TerminalView::hasFocusInActiveWindow() const
{
    return hasFocus() && isActiveWindow();
}

void TerminalView::updateCaretFrame()
{
    if (caretView_ == nullptr || !cellDimension_) {
        return;
    }
    // The GPU renderer draws the cursor itself.
    if (metalView_ != nullptr) {
        caretView_->hide();
        return;
    }
    Terminal &t = *terminal_;
    Buffer &buffer = *t.buffer;
    const int64_t row = buffer.yBase() + buffer.y();
    if (row >= buffer.yDisp() + t.rows || row < buffer.yDisp() || t.cursorHidden) {
        caretView_->hide();
        return;
    }
    caretView_->show();
    BufferLine &line = buffer.lines()[row];
    const double factor = line.renderMode == BufferLine::RenderLineMode::single ? 1.0 : 2.0;
    const CharData &cell = line[std::min(buffer.x(), line.dataSize() - 1)];
    const int64_t columns = std::max<int64_t>(1, cell.width);
    const double cw = cellDimension_->width() * factor;
    const double ch = cellDimension_->height();
    caretView_->setGeometry(QRectF(static_cast<double>(buffer.x()) * cw,
                                   static_cast<double>(row - buffer.yDisp()) * ch,
                                   static_cast<double>(columns) * cw, ch)
                                .toAlignedRect());
    caretView_->setText(cell);
}

void TerminalView::terminalRevealedCursor(Terminal &)
{
    if (useMetalRenderer_) {
        queueMetalDisplay();
        return;
    }
    updateCaretFrame();
}

void TerminalView::terminalConcealedCursor(Terminal &)
{
    if (useMetalRenderer_) {
        queueMetalDisplay();
        return;
    }
    caretView_->hide();
}

void TerminalView::terminalCursorStyleDidChange(Terminal &, CursorStyle style)
{
    caretView_->setStyle(style);
    caretView_->updateCaretAnimation(CaretView::isBlinking(style));
    caretView_->resize(cellDimension_->toSize());
    caretView_->update();
    if (useMetalRenderer_) {
        queueMetalDisplay();
    }
}

void TerminalView::terminalCursorColorDidChange(Terminal &source, std::optional<Color> color)
{
    TerminalDelegate::terminalCursorColorDidChange(source, color);
    caretView_->setCaretColor(color ? makeNSColor(*color) : caretView_->defaultCaretColor());
}

CellTextPainter &TerminalView::cellTextPainter()
{
    if (!cellTextPainter_) {
        cellTextPainter_ = std::make_unique<CellTextPainter>(
            CellTextPainter::Grid{cellDimension_->width(), cellDimension_->height(), baselineOffset()});
    }
    return *cellTextPainter_;
}

void TerminalView::setLinkHighlightMode(LinkHighlightMode mode)
{
    linkHighlightMode_ = mode;
    updateLinkHighlightTracking();
}

void TerminalView::setLinkHighlightRange(std::optional<std::vector<LinkRowRange>> range)
{
    linkHighlightRange_ = std::move(range);
    fullRefresh();
}

void TerminalView::setCommandActive(bool active)
{
    if (commandActive_ == active) {
        return;
    }
    if (active) {
        commandKeyPressed();
    } else {
        commandKeyReleased();
    }
}

} // namespace kestrix
