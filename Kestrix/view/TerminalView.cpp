// Set-up, host output, display scheduling, user input to the host and the viewport.

#include "Kestrix/view/TerminalView.h"

#include "Kestrix/core/SearchService.h"
#include "Kestrix/core/SelectionService.h"
#include "Kestrix/model/Utf8.h"
#include "Kestrix/rendering/gpu/MetalTerminalRenderer.h"
#include "Kestrix/view/DirtyRegion.h"
#include "Kestrix/view/MainTaskQueue.h"
#include "Kestrix/view/MetalView.h"
#include "Kestrix/view/TerminalDebugView.h"
#include "Kestrix/view/TerminalProgressBarView.h"
#include "Kestrix/view/TerminalViewDelegate.h"

#include <QAccessible>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace kestrix {

namespace {

uint64_t monotonicNanoseconds()
{
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count());
}

std::span<const uint8_t> bytesOf(std::string_view text)
{
    return {reinterpret_cast<const uint8_t *>(text.data()), text.size()};
}

} // namespace

// MARK: Construction

TerminalView::TerminalView(QWidget *parent, const QRect &frame, std::optional<QFont> font,
                           TerminalViewEnvironment environment)
    : QWidget(parent)
    , environment_(std::move(environment))
    , fontSet_(font.value_or(defaultFont()))
{
    if (!environment_.fontMeasurer) {
        environment_.fontMeasurer = std::make_shared<FontMeasurer>();
    }
    if (environment_.mainQueue != nullptr) {
        mainQueue_ = environment_.mainQueue;
    } else {
        ownQueue_ = std::make_unique<MainTaskQueue>();
        mainQueue_ = ownQueue_.get();
    }
    setupView(frame);
}

TerminalView::~TerminalView()
{
    // The renderer lets go of its GL widget while both still exist, and the widget goes while the
    // view can still hear of it.
    metalRenderer_.reset();
    delete std::exchange(metalView_, nullptr);
    // Nothing the terminal does on its way out may reach a half-destroyed view.
    terminal_->setDelegate(nullptr);
    terminal_->setTaskQueue(nullptr);
}

void TerminalView::setupView(const QRect &frame)
{
    if (!frame.isNull()) {
        setGeometry(frame);
    }
    QWidget::setFont(fontSet_.normal);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::IBeamCursor);
    setupScroller();
    setupOptions(widthExcludingScroller(frame.width()), frame.height());
    setupProgressBar();
    layoutSubviews();
}

void TerminalView::setupScroller()
{
    scroller_ = new TerminalScroller(this);
    scroller_->setScrollerStyle(scrollerStyle_);
    scroller_->setKnobProportion(0.1);
    scroller_->setEnabled(false);
    connect(scroller_, &TerminalScroller::activated, this, &TerminalView::scrollerActivated);
}

void TerminalView::setScrollerStyle(TerminalScroller::Style style)
{
    scrollerStyle_ = style;
    restyleScroller();
}

void TerminalView::restyleScroller()
{
    if (scroller_ == nullptr) {
        return;
    }
    scroller_->setScrollerStyle(scrollerStyle_);
    const int scrollerWidth = TerminalScroller::scrollerWidth(scrollerStyle_);
    scroller_->setGeometry(std::max(width() - scrollerWidth, 0), 0, scrollerWidth, height());
}

void TerminalView::scrollerActivated()
{
    using Part = TerminalScroller::Part;
    const char *printed = nullptr;
    switch (scroller_->hitPart()) {
    case Part::decrementPage:
        pageUp();
        scroller_->setDoubleValue(scrollPosition());
        return;
    case Part::knob:
        scrollToPosition(scroller_->doubleValue());
        return;
    case Part::incrementPage:
        pageDown();
        scroller_->setDoubleValue(scrollPosition());
        return;
    case Part::noPart:
        printed = "Scroller .noPart clicked";
        break;
    case Part::decrementLine:
        printed = "Scroller .decrementLine clicked";
        break;
    case Part::incrementLine:
        printed = "Scroller .incrementLine clicked";
        break;
    case Part::knobSlot:
        printed = "Scroller .knobSlot clicked";
        break;
    }
    std::printf("%s\n", printed != nullptr ? printed : "Scroller: New value introduced");
    std::fflush(stdout);
}

void TerminalView::bufferSwitched()
{
    updateScroller();
}

void TerminalView::viewportScrolled()
{
    updateScroller();
    notifyScrollPosition();
}

void TerminalView::setupProgressBar()
{
    progressBarView_ = new TerminalProgressBarView(this, environment_.uptimeNs);
    // Above the scroller, which was added first.
    progressBarView_->raise();
    updateProgressBarFrame();
}

void TerminalView::setupOptions(double width, double height)
{
    resetCaches();
    cellDimension_ = computeCellDimension();

    TerminalOptions options;
    if (width != 0 || height != 0) {
        options.cols = static_cast<int64_t>(width / cellDimension_->width());
        options.rows = static_cast<int64_t>(height / cellDimension_->height());
    } else if (terminal_) {
        options = terminal_->options;
    }

    if (!terminal_) {
        terminal_ = std::make_unique<Terminal>(this, options, mainQueue_);
        search_ = std::make_unique<SearchService>(*terminal_);
    } else if (width != 0 || height != 0) {
        terminal_->options = options;
        terminal_->resetState(false);
        search_->invalidate();
    }

    // The terminal reports each colour back, which is how the view's defaults are first set.
    terminal_->setBackgroundColor(Color::defaultBackground());
    terminal_->setForegroundColor(Color::defaultForeground());
    selection_ = std::make_unique<SelectionService>(*terminal_);
    setupCaret();
    setNeedsDisplay(rect());
}

// MARK: Host output

void TerminalView::feedHostOutput(std::span<const uint8_t> bytes)
{
    // Row texts the search keeps are only good for the content they were read from.
    search_->invalidate();
    // The host may move the text under the selection.
    if (allowMouseReporting_) {
        selection_->setActive(false);
    }
    terminal_->feedBytes(bytes);
    // Output soon after a key is drawn at once, but not more often than once per frame: a host
    // flooding output while the user types would otherwise be drawn after every read.
    if (userInputIsRecent() && !updatedWithinAFrame()) {
        updateDisplayNow();
    } else {
        queueDisplayUpdate();
    }
}

void TerminalView::feedHostOutput(std::string_view text)
{
    feedHostOutput(bytesOf(text));
}

// MARK: Display scheduling

bool TerminalView::userInputIsRecent() const
{
    if (terminal_->synchronizedOutputActive) {
        return false;
    }
    uint64_t last = 0;
    {
        std::lock_guard lock(userInputLock_);
        last = lastUserInputUptimeNs_;
    }
    if (last == 0) {
        return false;
    }
    const uint64_t now = uptimeNs();
    return now >= last && now - last <= interactiveInputDisplayWindowNs;
}

void TerminalView::queueDisplayUpdate()
{
    // The terminal asks for a redraw when synchronized output ends.
    if (terminal_->synchronizedOutputActive) {
        return;
    }
    if (pendingDisplay_.exchange(true)) {
        return;
    }
    // Soon after input the wait stays one frame, so what the user typed shows promptly.
    const std::chrono::milliseconds delay =
        userInputIsRecent() ? displayCoalescingDelay : displayCoalescingDelayAfter(recentPainting());
    // An update that runs before this one is due (output drawn at once after a key) draws what it
    // was queued for; later output queues its own, so this one then has nothing left to do.
    mainQueue_->asyncAfter(delay, [view = QPointer<TerminalView>(this), queuedAfter = displayUpdates_] {
        if (view && view->displayUpdates_ == queuedAfter) {
            view->runQueuedDisplayUpdate();
        }
    });
}

void TerminalView::updateDisplayNow()
{
    if (isOnMainThread()) {
        runQueuedDisplayUpdate();
        return;
    }
    if (pendingDisplay_.exchange(true)) {
        return;
    }
    mainQueue_->async([view = QPointer<TerminalView>(this)] {
        if (view) {
            view->runQueuedDisplayUpdate();
        }
    });
}

std::chrono::milliseconds TerminalView::displayCoalescingDelayAfter(std::chrono::nanoseconds painting)
{
    const auto share = std::chrono::ceil<std::chrono::milliseconds>(painting * (paintingShareDivisor - 1));
    return std::clamp(share, displayCoalescingDelay, maximumDisplayCoalescingDelay);
}

void TerminalView::notePainting(std::chrono::nanoseconds duration)
{
    paintingSinceUpdate_ += duration;
}

bool TerminalView::updatedWithinAFrame() const
{
    const uint64_t now = uptimeNs();
    const auto frame = static_cast<uint64_t>(std::chrono::nanoseconds(displayCoalescingDelay).count());
    return lastUpdateUptimeNs_ != 0 && now >= lastUpdateUptimeNs_ && now - lastUpdateUptimeNs_ < frame;
}

std::chrono::nanoseconds TerminalView::recentPainting() const
{
    // Output after a pause is drawn at the normal pace; only a stream of updates is slowed by the
    // cost of painting it. The paint an update asked for may still be to come when output queues
    // the next one, so the frame before counts too.
    const uint64_t now = uptimeNs();
    const auto pause = static_cast<uint64_t>(std::chrono::nanoseconds(maximumDisplayCoalescingDelay).count());
    if (lastUpdateUptimeNs_ == 0 || now < lastUpdateUptimeNs_ || now - lastUpdateUptimeNs_ > pause) {
        return {};
    }
    return std::max(paintingSinceUpdate_, paintingOfLastFrame_);
}

void TerminalView::runQueuedDisplayUpdate()
{
    ++displayUpdates_;
    paintingOfLastFrame_ = paintingSinceUpdate_;
    paintingSinceUpdate_ = {};
    lastUpdateUptimeNs_ = uptimeNs();
    updateDisplay(true);
    pendingDisplay_ = false;
}

void TerminalView::updateDisplay(bool notifyAccessibility)
{
    Terminal &t = *terminal_;
    if (t.synchronizedOutputActive) {
        pendingDisplay_ = false;
        return;
    }
    const std::optional<RowRange> refreshed = DirtyRegion::clippedRows(t.refreshStart, t.refreshEnd, t.rows);
    if (refreshed) {
        if (notifyUpdateChanges_ && terminalDelegate_ != nullptr) {
            terminalDelegate_->rowsUpdated(*this, refreshed->first, refreshed->second);
        }
        t.resetDirtyRows();
        if (metalView_ != nullptr) {
            markMetalLinesDirty(
                DirtyRegion::metalDirtyRange(refreshed, t.buffer->yDisp(), t.buffer->lines().count(), t.rows));
            lastRenderedCursor_ = RenderedCursor{t.buffer->x(), t.buffer->yBase() + t.buffer->y(), t.cursorHidden};
            setMetalNeedsDisplay();
        } else {
            setNeedsDisplay(DirtyRegion::rectForRows(*refreshed, t.rows, cellDimension_->height(), size()));
        }
        if (notifyAccessibility && QAccessible::isActive()) {
            QAccessibleEvent valueChanged(this, QAccessible::ValueChanged);
            QAccessible::updateAccessibility(&valueChanged);
            QAccessibleEvent selectionChanged(this, QAccessible::TextSelectionChanged);
            QAccessible::updateAccessibility(&selectionChanged);
        }
    } else {
        if (notifyUpdateChanges_ && terminalDelegate_ != nullptr) {
            const int64_t cursorRow = t.buffer->yDisp() + t.buffer->y();
            terminalDelegate_->rowsUpdated(*this, cursorRow, cursorRow);
        }
        // Nothing changed: the GPU frame is drawn again only for a cursor that moved or changed.
        const RenderedCursor cursor{t.buffer->x(), t.buffer->yBase() + t.buffer->y(), t.cursorHidden};
        if (metalView_ != nullptr && lastRenderedCursor_ != cursor) {
            lastRenderedCursor_ = cursor;
            setMetalNeedsDisplay();
        }
    }
    updateDebugDisplay();
    updateCaretFrame();
    pendingDisplay_ = false;
}

TerminalDebugView *TerminalView::debug() const
{
    return debug_.data();
}

void TerminalView::setDebug(TerminalDebugView *overlay)
{
    debug_ = overlay;
}

void TerminalView::updateDebugDisplay()
{
    if (debug_) {
        debug_->refresh();
    }
}

void TerminalView::setNeedsDisplay(const QRectF &rect)
{
    if (metalView_ == nullptr) {
        update(rect.toAlignedRect());
        return;
    }
    // The GPU renderer redraws the lines under the rectangle.
    const Terminal &t = *terminal_;
    const double cellHeight = cellDimension_->height();
    const auto first = static_cast<int64_t>(std::floor(rect.top() / cellHeight));
    const auto last = static_cast<int64_t>(std::ceil(rect.bottom() / cellHeight)) - 1;
    const std::optional<RowRange> rows = DirtyRegion::clippedRows(std::max<int64_t>(first, 0), last, t.rows);
    if (rows) {
        markMetalLinesDirty(DirtyRegion::metalDirtyRange(rows, t.buffer->yDisp(), t.buffer->lines().count(), t.rows));
        setMetalNeedsDisplay();
    }
}

void TerminalView::fullRefresh()
{
    if (!terminal_) {
        return;
    }
    terminal_->markAllRowsDirty();
    queueDisplayUpdate();
}

bool TerminalView::isOnMainThread() const
{
    return QThread::currentThread() == thread();
}

uint64_t TerminalView::uptimeNs() const
{
    return environment_.uptimeNs ? environment_.uptimeNs() : monotonicNanoseconds();
}

// MARK: User input to the host

void TerminalView::send(std::span<const uint8_t> data)
{
    {
        std::lock_guard lock(userInputLock_);
        lastUserInputUptimeNs_ = uptimeNs();
    }
    ensureCaretIsVisible();
    if (terminalDelegate_ != nullptr) {
        terminalDelegate_->sendToHost(*this, data);
    }
}

void TerminalView::send(std::string_view txt)
{
    send(bytesOf(txt));
}

void TerminalView::ensureCaretIsVisible()
{
    const Terminal &t = *terminal_;
    if (t.synchronizedOutputActive) {
        return;
    }
    const Buffer &b = *t.buffer;
    const int64_t cursorLine = b.yBase() + b.y();
    if (cursorLine >= b.yDisp() && cursorLine < b.yDisp() + t.rows) {
        return;
    }
    scrollTo(b.yBase(), true);
}

// MARK: Viewport

int64_t TerminalView::maxScroll() const
{
    return std::max<int64_t>(terminal_->buffer->lines().count() - terminal_->rows, 0);
}

double TerminalView::scrollPosition() const
{
    const Terminal &t = *terminal_;
    const int64_t yDisp = t.buffer->yDisp();
    const int64_t scrollable = t.buffer->lines().count() - t.rows;
    if (t.isAlternateBufferActive() || yDisp <= 0) {
        return 0;
    }
    if (yDisp >= scrollable) {
        return 1;
    }
    return static_cast<double>(yDisp) / static_cast<double>(scrollable);
}

double TerminalView::scrollThumbsize() const
{
    const Terminal &t = *terminal_;
    if (t.isAlternateBufferActive()) {
        return 0;
    }
    const int64_t lineCount = std::max<int64_t>(t.buffer->lines().count(), 1);
    return std::max(static_cast<double>(t.rows) / static_cast<double>(lineCount), 0.01);
}

bool TerminalView::canScroll() const
{
    const Terminal &t = *terminal_;
    return !t.isAlternateBufferActive() && t.buffer->hasScrollback() && t.rows < t.buffer->lines().count();
}

void TerminalView::updateScroller()
{
    scroller_->setEnabled(canScroll());
    scroller_->setDoubleValue(scrollPosition());
    scroller_->setKnobProportion(scrollThumbsize());
}

void TerminalView::updateUserScrolling(int64_t row)
{
    userScrolling_ = row < maxScroll();
    terminal_->userScrolling = userScrolling_;
}

void TerminalView::scrollTo(int64_t row, bool notifyAccessibility)
{
    Terminal &t = *terminal_;
    row = std::clamp<int64_t>(row, 0, maxScroll());
    updateUserScrolling(row);
    if (row == t.buffer->yDisp()) {
        return;
    }
    t.buffer->setYDisp(row);
    t.markRowDirty(0);
    t.markRowDirty(t.rows);
    updateDisplay(notifyAccessibility);
    notifyScrollPosition();
    updateScroller();
    setNeedsDisplay(rect());
}

void TerminalView::scrollToPosition(double position)
{
    const int64_t range = maxScroll();
    if (std::isnan(position)) {
        position = 0;
    }
    const double target = std::clamp(position, 0.0, 1.0) * static_cast<double>(range);
    const int64_t row = std::clamp<int64_t>(static_cast<int64_t>(target), 0, range);
    if (row == terminal_->buffer->yDisp()) {
        updateUserScrolling(row);
    } else {
        scrollTo(row, true);
    }
}

void TerminalView::scrollUp(int64_t lines)
{
    scrollTo(std::max<int64_t>(terminal_->buffer->yDisp() - std::max<int64_t>(lines, 0), 0), true);
}

void TerminalView::scrollDown(int64_t lines)
{
    const int64_t yDisp = terminal_->buffer->yDisp();
    const int64_t range = maxScroll();
    // Compared before adding, so no count of lines can overflow the target.
    const int64_t target = lines >= range - yDisp ? range : yDisp + std::max<int64_t>(lines, 0);
    scrollTo(std::max<int64_t>(target, 0), true);
}

void TerminalView::pageUp()
{
    scrollUp(terminal_->rows);
}

void TerminalView::pageDown()
{
    scrollDown(terminal_->rows);
}

void TerminalView::changeScrollback(std::optional<int64_t> lines)
{
    terminal_->setScrollbackLines(lines);
    updateScroller();
    notifyScrollPosition();
    queueDisplayUpdate();
}

void TerminalView::setScrollSensitivity(double sensitivity)
{
    scrollSensitivity_ = std::max(sensitivity, minimumScrollSensitivity);
}

// MARK: Text

bool TerminalView::isPlainPrintableText(std::string_view text)
{
    if (text.empty() || !utf8::isValid(text)) {
        return false;
    }
    for (size_t index = 0; index < text.size();) {
        const uint32_t scalar = utf8::next(text, index);
        if (scalar < 0x20 || (scalar >= 0x7F && scalar <= 0x9F)) {
            return false;
        }
    }
    return true;
}

// MARK: Host notices

void TerminalView::notifySizeChanged()
{
    if (terminalDelegate_ != nullptr) {
        terminalDelegate_->terminalSizeChanged(*this, terminal_->cols, terminal_->rows);
    }
}

void TerminalView::notifyScrollPosition()
{
    if (terminalDelegate_ != nullptr) {
        terminalDelegate_->scrollPositionChanged(*this, scrollPosition());
    }
}

} // namespace kestrix
