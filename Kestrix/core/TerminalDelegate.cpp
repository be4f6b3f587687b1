#include "Kestrix/core/TerminalDelegate.h"

#include "Kestrix/core/Terminal.h"

namespace kestrix {

void TerminalDelegate::terminalRevealedCursor(Terminal &) {}

void TerminalDelegate::terminalConcealedCursor(Terminal &) {}

void TerminalDelegate::terminalTitleDidChange(Terminal &, const std::string &) {}

void TerminalDelegate::terminalIconTitleDidChange(Terminal &, const std::string &) {}

std::optional<std::vector<uint8_t>> TerminalDelegate::terminalWindowRequest(Terminal &,
                                                                            const WindowManipulationCommand &)
{
    return std::nullopt;
}

void TerminalDelegate::terminalDidResize(Terminal &) {}

void TerminalDelegate::terminalSendToHost(Terminal &, std::span<const uint8_t>) {}

void TerminalDelegate::terminalDidScroll(Terminal &, int64_t) {}

void TerminalDelegate::terminalDidLineFeed(Terminal &) {}

void TerminalDelegate::terminalDidSwitchBuffer(Terminal &) {}

void TerminalDelegate::terminalSynchronizedOutput(Terminal &, bool) {}

void TerminalDelegate::terminalBell(Terminal &) {}

void TerminalDelegate::terminalNeedsFullRedraw(Terminal &) {}

bool TerminalDelegate::terminalAllowsHostQueries(Terminal &)
{
    return true;
}

std::optional<CellPixelSize> TerminalDelegate::terminalCellPixelSize(Terminal &)
{
    return std::nullopt;
}

void TerminalDelegate::terminalMouseModeDidChange(Terminal &) {}

void TerminalDelegate::terminalCursorStyleDidChange(Terminal &, CursorStyle) {}

void TerminalDelegate::terminalCurrentDirectoryDidChange(Terminal &) {}

void TerminalDelegate::terminalCurrentDocumentDidChange(Terminal &) {}

void TerminalDelegate::terminalPaletteDidChange(Terminal &, std::optional<int64_t>) {}

// The colour notices store the value into the terminal; its guard keeps that store from notifying
// a second time.
void TerminalDelegate::terminalForegroundColorDidChange(Terminal &source, Color color)
{
    source.setForegroundColor(color);
}

void TerminalDelegate::terminalBackgroundColorDidChange(Terminal &source, Color color)
{
    source.setBackgroundColor(color);
}

void TerminalDelegate::terminalCursorColorDidChange(Terminal &source, std::optional<Color> color)
{
    source.setCursorColor(color);
}

TerminalColors TerminalDelegate::terminalCurrentColors(Terminal &source)
{
    return {source.foregroundColor(), source.backgroundColor()};
}

void TerminalDelegate::terminalExtendedCommand(Terminal &, std::span<const uint8_t>) {}

void TerminalDelegate::terminalCopyToClipboard(Terminal &, std::span<const uint8_t>) {}

std::optional<std::vector<uint8_t>> TerminalDelegate::terminalReadClipboard(Terminal &)
{
    return std::nullopt;
}

void TerminalDelegate::terminalDesktopNotification(Terminal &, const std::string &, const std::string &) {}

void TerminalDelegate::terminalProgressDidChange(Terminal &, const ProgressReport &) {}

void TerminalDelegate::terminalBitmapImage(Terminal &, std::span<const uint8_t>, int64_t, int64_t) {}

void TerminalDelegate::terminalInlineImage(Terminal &, std::span<const uint8_t>, ImageSizeRequest,
                                           ImageSizeRequest, bool)
{
}

} // namespace kestrix
