// What the terminal tells the view, and the replies the view gives it.

#include "Kestrix/view/ColorConversions.h"
#include "Kestrix/view/TerminalView.h"
#include "Kestrix/view/TerminalViewDelegate.h"

#include <QPointer>

#include <cmath>
#include <cstdio>
#include <string>

namespace kestrix {

namespace {

// CSI in the form the terminal currently sends, the parameters, then the final byte.
std::vector<uint8_t> controlSequence(const CC &cc, const std::string &parameters, char finalByte)
{
    std::vector<uint8_t> reply;
    if (cc.send8bit) {
        reply.push_back(0x9B);
    } else {
        reply.push_back(0x1B);
        reply.push_back('[');
    }
    reply.insert(reply.end(), parameters.begin(), parameters.end());
    reply.push_back(static_cast<uint8_t>(finalByte));
    return reply;
}

} // namespace

void TerminalView::terminalTitleDidChange(Terminal &, const std::string &title)
{
    if (terminalDelegate_ != nullptr) {
        terminalDelegate_->titleChanged(*this, title);
    }
}

std::optional<std::vector<uint8_t>>
TerminalView::terminalWindowRequest(Terminal &source, const WindowManipulationCommand &command)
{
    using Kind = WindowManipulationCommand::Kind;
    switch (command.kind) {
    case Kind::reportTextAreaPixelDimension: {
        if (!cellDimension_) {
            return std::nullopt;
        }
        const double scale = backingScale();
        const auto height = static_cast<int64_t>(
            std::round(static_cast<double>(source.rows) * cellDimension_->height() * scale));
        const auto width = static_cast<int64_t>(
            std::round(static_cast<double>(source.cols) * cellDimension_->width() * scale));
        return controlSequence(source.cc, "4;" + std::to_string(height) + ";" + std::to_string(width), 't');
    }
    case Kind::reportCellSizeInPixels: {
        if (!cellDimension_) {
            return std::nullopt;
        }
        const double scale = backingScale();
        const auto height = static_cast<int64_t>(cellDimension_->height() * scale);
        const auto width = static_cast<int64_t>(cellDimension_->width() * scale);
        return controlSequence(source.cc, "6;" + std::to_string(height) + ";" + std::to_string(width), 't');
    }
    case Kind::resizeWindowTo:
        std::printf("Request to resize to %lldx%lld\n", static_cast<long long>(command.width),
                    static_cast<long long>(command.height));
        std::fflush(stdout);
        return std::nullopt;
    default:
        // The window belongs to the application; a host does not move or resize it.
        return std::nullopt;
    }
}

void TerminalView::terminalDidResize(Terminal &)
{
    notifySizeChanged();
    updateScroller();
}

void TerminalView::terminalSendToHost(Terminal &, std::span<const uint8_t> data)
{
    // Replies are not user input: no time stamp, and the viewport stays where it is.
    if (terminalDelegate_ != nullptr) {
        terminalDelegate_->sendToHost(*this, data);
    }
}

void TerminalView::terminalDidScroll(Terminal &, int64_t)
{
    viewportScrolled();
}

void TerminalView::terminalDidSwitchBuffer(Terminal &)
{
    bufferSwitched();
}

void TerminalView::terminalSynchronizedOutput(Terminal &, bool active)
{
    if (active) {
        return;
    }
    updateScroller();
    queueDisplayUpdate();
    notifyScrollPosition();
}

void TerminalView::terminalBell(Terminal &)
{
    if (terminalDelegate_ != nullptr) {
        terminalDelegate_->ringBell(*this);
    }
}

void TerminalView::terminalNeedsFullRedraw(Terminal &source)
{
    if (metalView_ == nullptr) {
        setNeedsDisplay(rect());
        return;
    }
    markMetalLinesDirty(DirtyRegion::visibleLines(source.buffer->yDisp(), source.buffer->lines().count(), source.rows));
    queueMetalDisplay();
}

bool TerminalView::terminalAllowsHostQueries(Terminal &)
{
    return true;
}

std::optional<CellPixelSize> TerminalView::terminalCellPixelSize(Terminal &)
{
    if (!cellDimension_) {
        return std::nullopt;
    }
    return cellSizeInPixels();
}

void TerminalView::terminalMouseModeDidChange(Terminal &source)
{
    // Pointer motion without a button reaches the view while the host asks for all of it, or while
    // links need it.
    if (source.mouseMode() == Terminal::MouseMode::anyEvent) {
        installTrackingArea();
    } else {
        releaseLinkTracking();
    }
}

void TerminalView::terminalCurrentDirectoryDidChange(Terminal &source)
{
    if (terminalDelegate_ != nullptr) {
        terminalDelegate_->currentDirectoryChanged(*this, source.hostCurrentDirectory);
    }
}

void TerminalView::terminalPaletteDidChange(Terminal &, std::optional<int64_t> index)
{
    if (!index) {
        colors_.fill(std::nullopt);
    } else if (*index >= 0 && *index < static_cast<int64_t>(colors_.size())) {
        colors_[static_cast<size_t>(*index)].reset();
    }
    colorsChanged();
}

void TerminalView::terminalForegroundColorDidChange(Terminal &, Color color)
{
    setNativeForegroundColor(makeNSColor(color));
    colorsChanged();
}

void TerminalView::terminalBackgroundColorDidChange(Terminal &, Color color)
{
    setNativeBackgroundColor(makeNSColor(color));
    colorsChanged();
}

void TerminalView::terminalExtendedCommand(Terminal &, std::span<const uint8_t> payload)
{
    if (terminalDelegate_ != nullptr) {
        terminalDelegate_->inlineImagePayload(*this, payload);
    }
}

void TerminalView::terminalCopyToClipboard(Terminal &, std::span<const uint8_t> data)
{
    if (terminalDelegate_ != nullptr) {
        terminalDelegate_->copyToClipboard(*this, data);
    }
}

std::optional<std::vector<uint8_t>> TerminalView::terminalReadClipboard(Terminal &)
{
    if (terminalDelegate_ == nullptr) {
        return std::nullopt;
    }
    return terminalDelegate_->readClipboard(*this);
}

void TerminalView::terminalProgressDidChange(Terminal &, const ProgressReport &report)
{
    deliverProgressReport(report);
}

void TerminalView::deliverProgressReport(const ProgressReport &report)
{
    if (isOnMainThread()) {
        applyProgressReport(report);
        return;
    }
    mainQueue_->async([view = QPointer<TerminalView>(this), report] {
        if (view) {
            view->applyProgressReport(report);
        }
    });
}

} // namespace kestrix
