// The pointer: presses, drags, releases and motion reported to the host in the mode it asked for,
// or used to select text (click counts, Shift-extension, dragging with auto-scroll past the edges);
// and the wheel, which reports, scrolls the viewport or sends cursor keys.

#include "Kestrix/view/EscapeSequences.h"
#include "Kestrix/view/TerminalView.h"
#include "Kestrix/view/TerminalViewDelegate.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kestrix {
namespace {

bool reportsButtons(Terminal::MouseMode mode)
{
    return mode == Terminal::MouseMode::vt200 || mode == Terminal::MouseMode::buttonEventTracking ||
           mode == Terminal::MouseMode::anyEvent;
}

bool reportsDrags(Terminal::MouseMode mode)
{
    return mode == Terminal::MouseMode::buttonEventTracking || mode == Terminal::MouseMode::anyEvent;
}

// The report codes of the buttons: left 0, middle 1, right 2.
int64_t buttonCode(Qt::MouseButton button)
{
    switch (button) {
    case Qt::MiddleButton:
        return 1;
    case Qt::RightButton:
        return 2;
    default:
        return 0;
    }
}

constexpr int64_t releaseCode = 3;
constexpr int64_t wheelUpCode = 64;
constexpr int64_t wheelDownCode = 65;
constexpr int64_t motionBit = 32;
// Qt reports wheel notches in eighths of a degree, 15 degrees a notch.
constexpr double angleUnitsPerNotch = 120;

} // namespace

TerminalView::MouseHit TerminalView::calculateMouseHit(QPointF point) const
{
    const Terminal &t = *terminal_;
    const Buffer &buffer = *t.buffer;
    const auto column = static_cast<int64_t>(point.x() / cellDimension_->width());
    const auto row = static_cast<int64_t>(point.y() / cellDimension_->height());
    const int64_t lastLine = std::max<int64_t>(terminal_->buffer->lines().count() - 1, 0);
    const Position grid{std::clamp<int64_t>(column, 0, t.cols - 1),
                        std::clamp<int64_t>(row + buffer.yDisp(), 0, lastLine)};
    const Position pixels{static_cast<int64_t>(std::clamp<double>(point.x(), 0, width())),
                          static_cast<int64_t>(std::clamp<double>(point.y(), 0, height()))};
    return {grid, pixels};
}

int64_t TerminalView::screenRow(const MouseHit &hit) const
{
    const Buffer &buffer = *terminal_->buffer;
    return std::clamp<int64_t>(hit.grid.row - buffer.yDisp(), 0, buffer.rows() - 1);
}

int64_t TerminalView::encodeMouseButton(Qt::MouseButton button, bool release,
                                        Qt::KeyboardModifiers modifiers) const
{
    return withModifierBits(release ? releaseCode : buttonCode(button), modifiers);
}

// x10 reports carry no modifiers.
int64_t TerminalView::withModifierBits(int64_t code, Qt::KeyboardModifiers modifiers) const
{
    if (!reportsButtons(terminal_->mouseMode())) {
        return code;
    }
    return code | (modifiers.testFlag(Qt::ShiftModifier) ? 4 : 0) |
           (modifiers.testFlag(Qt::AltModifier) ? 8 : 0) | (modifiers.testFlag(Qt::ControlModifier) ? 16 : 0);
}

void TerminalView::sendMouseReport(int64_t flags, const MouseHit &hit)
{
    terminal_->encodeAndSendMouse(flags, hit.grid.col, screenRow(hit), hit.pixels.col, hit.pixels.row);
}

void TerminalView::sendMouseRelease(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                                    const MouseHit &hit)
{
    reportedPresses_.setFlag(button, false);
    terminal_->sendMouseRelease(withModifierBits(buttonCode(button), modifiers), hit.grid.col, screenRow(hit),
                                hit.pixels.col, hit.pixels.row);
}

bool TerminalView::shiftBypassesMouseReporting(Qt::KeyboardModifiers modifiers) const
{
    return modifiers.testFlag(Qt::ShiftModifier) && !terminal_->mouseShiftCapture;
}

bool TerminalView::mouseReportingApplies(Qt::KeyboardModifiers modifiers) const
{
    return allowMouseReporting_ && !shiftBypassesMouseReporting(modifiers);
}

int64_t TerminalView::countClick(QPointF position)
{
    const uint64_t now = uptimeNs();
    const auto interval = static_cast<uint64_t>(QApplication::doubleClickInterval()) * 1'000'000;
    const bool continues =
        clickCount_ > 0 && now >= lastClickUptimeNs_ && now - lastClickUptimeNs_ <= interval &&
        (position - lastClickPosition_).manhattanLength() <= QApplication::startDragDistance();
    clickCount_ = continues ? clickCount_ + 1 : 1;
    lastClickUptimeNs_ = now;
    lastClickPosition_ = position;
    return clickCount_;
}

void TerminalView::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    const int64_t clicks = countClick(event->position());
    if (mouseReportingApplies(event->modifiers()) && reportsButtons(terminal_->mouseMode())) {
        sendMouseReport(encodeMouseButton(event->button(), false, event->modifiers()),
                        calculateMouseHit(event->position()));
        reportedPresses_.setFlag(event->button());
        return;
    }
    // As on every Linux desktop, the middle button pastes what was last selected.
    if (event->button() == Qt::MiddleButton) {
        pastePrimarySelection();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const Position cell = calculateMouseHit(event->position()).grid;
    selectionPressCell_ = cell;
    didSelectByPress_ = clicks != 1;
    if (clicks == 2) {
        selection_->selectWordOrExpression(cell.col, cell.row);
    } else if (clicks == 1) {
        if (selection_->active()) {
            if (event->modifiers().testFlag(Qt::ShiftModifier)) {
                selection_->shiftExtend(cell.col, cell.row);
                didSelectByPress_ = true;
            } else {
                selection_->setActive(false);
            }
        }
    } else {
        selection_->selectRow(cell.row);
    }
    setNeedsDisplay(rect());
}

void TerminalView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click: counted like any other.
    mousePressEvent(event);
}

void TerminalView::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    if (event->buttons() == Qt::NoButton) {
        mouseMoved(*event);
        return;
    }
    const MouseHit hit = calculateMouseHit(event->position());
    const Terminal::MouseMode mode = terminal_->mouseMode();
    if (mouseReportingApplies(event->modifiers()) && mode != Terminal::MouseMode::off) {
        if (reportsDrags(mode)) {
            const Qt::MouseButton button = (event->buttons() & Qt::LeftButton)     ? Qt::LeftButton
                                           : (event->buttons() & Qt::MiddleButton) ? Qt::MiddleButton
                                                                                   : Qt::RightButton;
            sendMouseReport(encodeMouseButton(button, false, event->modifiers()) + motionBit, hit);
        }
        return;
    }
    if (!(event->buttons() & Qt::LeftButton)) {
        return;
    }
    if (selection_->active()) {
        selection_->dragExtend(hit.grid.col, hit.grid.row);
    } else {
        // From the pressed cell: the first motion may come cells later.
        selection_->startSelection(selectionPressCell_.value_or(hit.grid));
        selection_->startSelection();
    }
    didSelectionDrag_ = true;
    lastSelectionDragPoint_ = event->position();
    autoScrollDelta_ = 0;

    const int64_t offset = hit.grid.row - terminal_->buffer->yDisp();
    const int64_t rows = terminal_->buffer->rows();
    if (selection_->active() && offset <= 0) {
        autoScrollDelta_ = -calcScrollingVelocity(-offset);
        startSelectionAutoScroll();
    } else if (selection_->active() && offset >= rows) {
        autoScrollDelta_ = calcScrollingVelocity(offset - rows);
        startSelectionAutoScroll();
    } else {
        cancelSelectionAutoScroll();
    }
    setNeedsDisplay(rect());
}

void TerminalView::mouseMoved(const QMouseEvent &event)
{
    if (rect().contains(event.position().toPoint())) {
        pointerMovedOverLinks(event.position());
    }
    // Motion without a button is the host's only while it asks for every event.
    if (terminal_->mouseMode() != Terminal::MouseMode::anyEvent || !allowMouseReporting_) {
        return;
    }
    sendMouseReport(encodeMouseButton(Qt::LeftButton, true, event.modifiers()) + motionBit,
                    calculateMouseHit(event.position()));
}

void TerminalView::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    stopSelectionAutoScrollTimer();
    selectionPressCell_.reset();
    const MouseHit hit = calculateMouseHit(event->position());
    // A selection is offered to the desktop once it is made, whoever gets the release.
    const bool selected = event->button() == Qt::LeftButton && (didSelectionDrag_ || didSelectByPress_);
    if (selected) {
        publishSelection();
    }
    didSelectByPress_ = false;
    if (event->button() == Qt::LeftButton && !selected && openLinkOnRelease(*event, hit)) {
        didSelectionDrag_ = false;
        return;
    }
    if (allowMouseReporting_) {
        if (shiftBypassesMouseReporting(event->modifiers())) {
            didSelectionDrag_ = false;
            return;
        }
        if (terminal_->mouseMode() != Terminal::MouseMode::off) {
            sendMouseRelease(event->button(), event->modifiers(), hit);
            return;
        }
    }
    didSelectionDrag_ = false;
}

bool TerminalView::openLinkOnRelease(const QMouseEvent &event, const MouseHit &hit)
{
    const bool ctrl = event.modifiers().testFlag(Qt::ControlModifier);
    const Position cell{hit.grid.col, screenRow(hit)};
    updateLinkHighlight(cell, commandActive_ || ctrl);
    auto link = linkAt(cell.col, cell.row, ctrl);
    if (!link) {
        return false;
    }
    // The host saw the press: it must see the release too, or it would hold the button forever.
    if (reportedPresses_.testFlag(event.button())) {
        sendMouseRelease(event.button(), event.modifiers(), hit);
    }
    if (terminalDelegate_ != nullptr) {
        terminalDelegate_->openLink(*this, link->first, link->second);
    }
    return true;
}

void TerminalView::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    lastReportedLink_.reset();
    hideUrlPreview();
    if (linkHighlightRange_ && linkHighlightMode_ != LinkHighlightMode::always &&
        linkHighlightMode_ != LinkHighlightMode::alwaysWithModifier) {
        std::optional<std::vector<LinkRowRange>> old = std::move(linkHighlightRange_);
        linkHighlightRange_.reset();
        markLinkHighlightRowsDirty(old, std::nullopt);
        queueDisplayUpdate();
    }
}

int64_t TerminalView::calcScrollingVelocity(int64_t delta) const
{
    if (delta < 2) {
        return 1;
    }
    if (delta < 6) {
        return 3;
    }
    if (delta < 10) {
        return 10;
    }
    return std::max<int64_t>(terminal_->rows, 20);
}

void TerminalView::startSelectionAutoScroll()
{
    if (autoScrollGeneration_ != 0) {
        return;
    }
    autoScrollGeneration_ = ++autoScrollGenerations_;
    scheduleSelectionAutoScrollTick();
}

void TerminalView::scheduleSelectionAutoScrollTick()
{
    mainQueue_->asyncAfter(selectionAutoScrollInterval,
                           [view = QPointer<TerminalView>(this), generation = autoScrollGeneration_] {
                               if (view && view->autoScrollGeneration_ == generation) {
                                   view->selectionAutoScrollTick();
                                   view->scheduleSelectionAutoScrollTick();
                               }
                           });
}

void TerminalView::selectionAutoScrollTick()
{
    if (autoScrollDelta_ == 0) {
        return;
    }
    if (autoScrollDelta_ < 0) {
        scrollTo(std::max<int64_t>(0, terminal_->buffer->yDisp() + autoScrollDelta_), true);
    } else {
        scrollDown(autoScrollDelta_);
    }
    // The selection follows the text that scrolls under a resting pointer.
    if (selection_->active() && lastSelectionDragPoint_) {
        const Position cell = calculateMouseHit(*lastSelectionDragPoint_).grid;
        selection_->dragExtend(cell.col, cell.row);
    }
    setNeedsDisplay(rect());
}

void TerminalView::cancelSelectionAutoScroll()
{
    autoScrollGeneration_ = 0;
}

void TerminalView::stopSelectionAutoScrollTimer()
{
    cancelSelectionAutoScroll();
    autoScrollDelta_ = 0;
    lastSelectionDragPoint_.reset();
}

void TerminalView::wheelEvent(QWheelEvent *event)
{
    event->accept();
    if (!cellDimension_ || cellDimension_->height() <= 0) {
        return;
    }
    const bool precise = !event->pixelDelta().isNull();
    // A touchpad moves by pixels; a wheel notch moves the lines the desktop asks for.
    const double notches = event->angleDelta().y() / angleUnitsPerNotch * scrollSensitivity_;
    const double dy = precise ? event->pixelDelta().y() : notches * QApplication::wheelScrollLines();
    if (dy == 0) {
        return;
    }
    const double delta = precise ? dy * scrollSensitivity_ : dy;
    int64_t lines = 0;
    if (precise) {
        const double cellHeight = cellDimension_->height();
        const double total = delta + scrollAccumulator_;
        lines = static_cast<int64_t>(total / cellHeight);
        scrollAccumulator_ = total - static_cast<double>(lines) * cellHeight;
        if (lines == 0) {
            return;
        }
    } else {
        scrollAccumulator_ = 0;
        lines = static_cast<int64_t>(std::round(delta));
        if (lines == 0) {
            lines = dy > 0 ? 1 : -1;
        }
    }
    const bool up = lines > 0;
    const int64_t count = std::abs(lines);

    Terminal &t = *terminal_;
    if (mouseReportingApplies(event->modifiers()) && t.mouseMode() != Terminal::MouseMode::off) {
        const MouseHit hit = calculateMouseHit(event->position());
        const int64_t flags = withModifierBits(up ? wheelUpCode : wheelDownCode, event->modifiers());
        // A program that reads the wheel scrolls by its own step: one report per notch.
        const int64_t reports =
            precise ? count : std::max<int64_t>(1, static_cast<int64_t>(std::round(std::abs(notches))));
        for (int64_t i = 0; i < reports; ++i) {
            sendMouseReport(flags, hit);
        }
        return;
    }
    if (!t.isAlternateBufferActive()) {
        if (up) {
            scrollTo(std::max<int64_t>(0, t.buffer->yDisp() - count), true);
        } else {
            scrollDown(count);
        }
        return;
    }
    const std::string_view key =
        up ? (t.applicationCursor ? EscapeSequences::moveUpApp : EscapeSequences::moveUpNormal)
           : (t.applicationCursor ? EscapeSequences::moveDownApp : EscapeSequences::moveDownNormal);
    for (int64_t i = 0; i < count; ++i) {
        send(key);
    }
}

} // namespace kestrix
