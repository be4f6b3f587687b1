// The switch between the QPainter path and the GPU renderer, the GL widget's life across windows,
// and the GPU side of display updates.

#include "Kestrix/rendering/gpu/MetalError.h"
#include "Kestrix/rendering/gpu/MetalTerminalRenderer.h"
#include "Kestrix/view/CaretView.h"
#include "Kestrix/view/MetalView.h"
#include "Kestrix/view/TerminalView.h"
#include "Kestrix/view/TerminalViewMetalFrame.h"

#include <QEvent>
#include <QPointer>
#include <QtDebug>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace kestrix {

// MARK: Switch

void TerminalView::switchMetalRenderer(bool enabled)
{
    if (enabled == useMetalRenderer_) {
        return;
    }
    applyMetalRenderer(enabled);
    useMetalRenderer_ = enabled;
}

void TerminalView::applyMetalRenderer(bool enabled)
{
    if (!enabled) {
        removeMetalView();
        restoreCaretView();
        setNeedsDisplay(rect());
        return;
    }
    if (metalView_ != nullptr) {
        return;
    }
    std::unique_ptr<MetalView> surface(makeMetalView(rect()));
    // A failure leaves the view as it was: the new widget goes with the unwinding.
    std::unique_ptr<MetalTerminalRenderer> renderer = makeMetalRenderer(*surface);
    surface->setDelegate(renderer.get());
    metalView_ = surface.release();
    metalRenderer_ = std::move(renderer);
    metalBoundWindow_ = window();
    insertMetalView(metalView_, nullptr);
    markMetalLinesDirty(DirtyRegion::visibleLines(terminal_->buffer->yDisp(), terminal_->buffer->lines().count(),
                                                  terminal_->rows));
    setMetalNeedsDisplay();
}

MetalView *TerminalView::makeMetalView(const QRect &frame)
{
    auto *surface = new MetalView(nullptr);
    surface->setGeometry(frame);
    // Clicks, wheel and the pointer shape stay the view's.
    surface->setAttribute(Qt::WA_TransparentForMouseEvents);
    surface->setFocusPolicy(Qt::NoFocus);
    return surface;
}

std::unique_ptr<MetalTerminalRenderer> TerminalView::makeMetalRenderer(MetalView &surface)
{
    std::unique_ptr<MetalTerminalRenderer> renderer =
        environment_.makeMetalRenderer ? environment_.makeMetalRenderer(this, &surface)
                                       : std::make_unique<MetalTerminalRenderer>(this, &surface);
    const uint64_t generation = ++metalRendererGeneration_;
    renderer->setClearColor(nativeBackgroundColor());
    renderer->scaleFactorOverride = metalScaleFactorOverride_;
    renderer->setFrameBuilder(
        [this, target = renderer.get()](double scale) { return buildMetalFrame(*target, scale); });
    // Called inside the widget's GL set-up, where the widget must not go away: the fallback runs
    // from the queue, and only for the renderer that failed if it is still the view's.
    renderer->onSetupFailure = [this, generation](const MetalError &error) {
        mainQueue_->async([view = QPointer<TerminalView>(this), generation, error] {
            if (view && view->metalRenderer_ && view->metalRendererGeneration_ == generation) {
                view->fallBackToCoreGraphics(error);
            }
        });
    };
    return renderer;
}

void TerminalView::insertMetalView(MetalView *surface, QWidget *reference)
{
    surface->setParent(this);
    surface->installEventFilter(this);
    if (caretView_ != nullptr) {
        surface->stackUnder(caretView_);
        // The renderer draws the cursor itself.
        caretView_->updateCaretAnimation(false);
        caretView_->hide();
    } else if (reference != nullptr) {
        surface->stackUnder(reference);
        reference->stackUnder(surface);
    } else {
        surface->lower();
    }
    if (scroller_ != nullptr) {
        scroller_->raise();
    }
    surface->show();
}

void TerminalView::removeMetalView()
{
    // The renderer releases what it made in the widget's context while the widget still exists.
    metalRenderer_.reset();
    delete std::exchange(metalView_, nullptr);
    metalBoundWindow_ = nullptr;
    metalDirtyRange_.reset();
    lastRenderedCursor_.reset();
}

void TerminalView::restoreCaretView()
{
    if (caretView_ == nullptr) {
        return;
    }
    caretView_->updateCaretAnimation(CaretView::isBlinking(caretView_->style()));
    updateCaretFrame();
    caretView_->update();
}

// MARK: Window changes

void TerminalView::viewDidMoveToWindow()
{
    if (useMetalRenderer_ && window() != metalBoundWindow_.data()) {
        rebindMetalRenderer();
    }
}

void TerminalView::rebindMetalRenderer()
{
    if (!useMetalRenderer_ || metalView_ == nullptr) {
        return;
    }
    std::unique_ptr<MetalView> surface(makeMetalView(metalView_->geometry()));
    std::unique_ptr<MetalTerminalRenderer> renderer;
    try {
        renderer = makeMetalRenderer(*surface);
    } catch (const MetalError &error) {
        surface.reset();
        fallBackToCoreGraphics(error);
        return;
    }
    surface->setDelegate(renderer.get());
    MetalView *previous = metalView_;
    insertMetalView(surface.get(), previous);
    surface->update();
    metalRenderer_ = std::move(renderer);
    metalView_ = surface.release();
    delete previous;
    metalBoundWindow_ = window();
    markMetalLinesDirty(DirtyRegion::visibleLines(terminal_->buffer->yDisp(), terminal_->buffer->lines().count(),
                                                  terminal_->rows));
}

void TerminalView::fallBackToCoreGraphics(const MetalError &error)
{
    qCritical().noquote()
        << QStringLiteral("Kestrix: Metal renderer rebind failed; falling back to CoreGraphics: %1").arg(error.description());
    removeMetalView();
    useMetalRenderer_ = false;
    restoreCaretView();
    setNeedsDisplay(rect());
}

bool TerminalView::eventFilter(QObject *watched, QEvent *event)
{
    // The GL widget hears of a new top-level window when any ancestor of the view moves; the view
    // itself hears only of its own moves. The widget is in the middle of its own handling here.
    if (watched == metalView_ && event->type() == QEvent::WindowChangeInternal) {
        mainQueue_->async([view = QPointer<TerminalView>(this)] {
            if (view) {
                view->viewDidMoveToWindow();
            }
        });
    }
    return QWidget::eventFilter(watched, event);
}

// MARK: Redraws

void TerminalView::queueMetalDisplay()
{
    if (metalView_ == nullptr || pendingMetalDisplay_) {
        return;
    }
    pendingMetalDisplay_ = true;
    mainQueue_->asyncAfter(displayCoalescingDelay, [view = QPointer<TerminalView>(this)] {
        if (view) {
            view->pendingMetalDisplay_ = false;
            view->setMetalNeedsDisplay();
        }
    });
}

void TerminalView::setMetalNeedsDisplay()
{
    if (metalRenderer_) {
        metalRenderer_->setClearColor(nativeBackgroundColor());
        metalRenderer_->requestRedraw();
    }
}

void TerminalView::markMetalLinesDirty(std::optional<LineRange> lines)
{
    if (!lines) {
        return;
    }
    // Lines not yet drawn stay owed: a second update before the next frame adds to the first.
    if (metalDirtyRange_) {
        lines = LineRange{std::min(lines->first, metalDirtyRange_->first),
                          std::max(lines->second, metalDirtyRange_->second)};
    }
    metalDirtyRange_ = lines;
}

void TerminalView::setMetalScaleFactorOverride(std::optional<double> scale)
{
    const std::optional<double> previous = std::exchange(metalScaleFactorOverride_, scale);
    const bool changed = previous.has_value() != scale.has_value() ||
                         (scale && !(*previous == *scale));
    if (metalRenderer_) {
        metalRenderer_->scaleFactorOverride = scale;
    }
    if (changed && useMetalRenderer_ && metalView_ != nullptr) {
        setMetalNeedsDisplay();
    }
}

bool TerminalView::parseMetalLiveResizeThrottle(const char *value)
{
    if (value == nullptr) {
        return true;
    }
    return std::strcmp(value, "0") != 0 && std::strcmp(value, "false") != 0 && std::strcmp(value, "FALSE") != 0;
}

bool TerminalView::metalLiveResizeThrottle()
{
    static const bool throttle = parseMetalLiveResizeThrottle(std::getenv("KESTRIX_METAL_LIVE_RESIZE_THROTTLE"));
    return throttle;
}

bool TerminalView::inLiveResize(uint64_t now)
{
    const std::optional<uint64_t> previous = std::exchange(lastResizeNs_, now);
    const auto gap = static_cast<uint64_t>(std::chrono::nanoseconds(liveResizeGap).count());
    return previous && now >= *previous && now - *previous < gap;
}

DrawData TerminalView::buildMetalFrame(MetalTerminalRenderer &renderer, double scale)
{
    std::optional<LineIndexRange> dirty;
    if (const std::optional<LineRange> lines = takeMetalDirtyRange()) {
        dirty = LineIndexRange{lines->first, lines->second};
    }
    return renderer.buildFrameDrawData(scale, makeMetalFrameSource(*this, dirty));
}

} // namespace kestrix
