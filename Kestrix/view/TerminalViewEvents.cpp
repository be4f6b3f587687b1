// The Qt side of the view: frame changes, focus, font changes and painting.

#include "Kestrix/core/SearchService.h"
#include "Kestrix/view/CaretView.h"
#include "Kestrix/view/MainTaskQueue.h"
#include "Kestrix/view/MetalView.h"
#include "Kestrix/view/TerminalProgressBarView.h"
#include "Kestrix/view/TerminalView.h"
#include "Kestrix/view/TerminalViewDelegate.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPointer>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <chrono>

namespace kestrix {

double TerminalView::widthExcludingScroller(double width) const
{
    if (scroller_ != nullptr && !scroller_->isHidden()) {
        width -= TerminalScroller::scrollerWidth(scroller_->scrollerStyle());
    }
    return std::max(width, 0.0);
}

bool TerminalView::resizeTerminalToFrame(QSizeF size)
{
    if (size.width() == 0 && size.height() == 0) {
        return false;
    }
    Terminal &t = *terminal_;
    const auto rows = static_cast<int64_t>(size.height() / cellDimension_->height());
    const auto cols = static_cast<int64_t>(widthExcludingScroller(size.width()) / cellDimension_->width());
    // Compared as the terminal will take it (at least 2 x 1), so a collapsed frame resizes once and
    // then stays put.
    if (std::max(cols, Terminal::MINIMUM_COLS) == t.cols &&
        std::max(rows, Terminal::MINIMUM_ROWS) == t.rows) {
        return false;
    }
    selection_->setActive(false);
    t.resizeScreen(cols, rows);
    search_->invalidate();
    notifySizeChanged();
    updateScroller();
    return true;
}

void TerminalView::layoutSubviews()
{
    restyleScroller();
    layoutFindBar();
    updateProgressBarFrame();
}

void TerminalView::updateProgressBarFrame()
{
    // A strip along the top edge, full width.
    progressBarView_->setGeometry(0, 0, width(), TerminalProgressBarView::stripHeight);
}

void TerminalView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutSubviews();
    if (metalView_ != nullptr) {
        metalView_->setGeometry(rect());
    }
    if (!cellDimension_) {
        return;
    }
    // Layouts hand a hidden view passing sizes (a tab in the back, a view between two holders).
    // The grid, and with it the host's window size, follows only the frame the view is seen in.
    if (isVisible()) {
        resizeTerminalToFrame(event->size());
    }
    if (!useMetalRenderer_) {
        setNeedsDisplay(rect());
    } else if (inLiveResize(uptimeNs()) && metalLiveResizeThrottle()) {
        queueMetalDisplay();
    } else {
        setMetalNeedsDisplay();
    }
    updateScroller();
}

void TerminalView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A view is shown at the frame it last had; the layouts that place it run from the event
    // loop, so the grid is fitted once they have.
    if (fitToFramePending_) {
        return;
    }
    fitToFramePending_ = true;
    mainQueue_->async([view = QPointer<TerminalView>(this)] {
        if (view) {
            view->fitToFrameOnceShown();
        }
    });
}

void TerminalView::fitToFrameOnceShown()
{
    fitToFramePending_ = false;
    if (isVisible() && cellDimension_ && resizeTerminalToFrame(size())) {
        setNeedsDisplay(rect());
    }
}

void TerminalView::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    // Reports "ESC [ I" when the host asked for focus reports.
    terminal_->setFocused(true);
    caretView_->setFocused(true);
}

void TerminalView::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    terminal_->setFocused(false);
    caretView_->setFocused(false);
}

void TerminalView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ParentChange) {
        viewDidMoveToWindow();
    }
    // Setting the widget's font sets the terminal's font; a change that leaves the face as it was
    // (a style refresh) re-measures nothing.
    if (event->type() == QEvent::FontChange && terminal_ && font() != fontSet_.normal) {
        fontSet_ = FontSet(font());
        resetFontMetrics();
    }
    // The caret blinks only in the active window.
    if (event->type() == QEvent::ActivationChange && caretView_ != nullptr) {
        caretView_->updateCaretAnimation(isActiveWindow() && CaretView::isBlinking(caretView_->style()));
        caretView_->update();
    }
}

void TerminalView::paintEvent(QPaintEvent *event)
{
    // The GL widget over the view draws instead.
    if (metalView_ != nullptr) {
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    QPainter painter(this);
    drawTerminalContents(painter, event->rect(), terminal_->buffer->yDisp());
    painter.end();
    notePainting(std::chrono::steady_clock::now() - start);
}

} // namespace kestrix
