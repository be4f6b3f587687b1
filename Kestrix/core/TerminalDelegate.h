#pragma once

#include "Kestrix/core/CursorStyle.h"
#include "Kestrix/core/ProgressReport.h"
#include "Kestrix/core/WindowManipulationCommand.h"
#include "Kestrix/graphics/ImageSizeRequest.h"
#include "Kestrix/model/Color.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrix {

class Terminal;

// The size of one character cell in device pixels.
struct CellPixelSize {
    int64_t width = 0;
    int64_t height = 0;

    bool operator==(const CellPixelSize &) const = default;
};

// The colours a terminal answers OSC 10 and OSC 11 queries with.
struct TerminalColors {
    Color foreground;
    Color background;

    bool operator==(const TerminalColors &) const = default;
};

// Everything a Terminal tells or asks its host: the view, or a headless host. Every operation has a
// default, so a host overrides only what it cares about. The terminal calls these synchronously on
// the thread that feeds it, and a host may call back into the terminal from inside a notice.
class TerminalDelegate {
public:
    virtual ~TerminalDelegate() = default;

    virtual void terminalRevealedCursor(Terminal &source);
    virtual void terminalConcealedCursor(Terminal &source);
    virtual void terminalTitleDidChange(Terminal &source, const std::string &title);
    virtual void terminalIconTitleDidChange(Terminal &source, const std::string &title);
    // A CSI t window operation or report; the answer, when there is one, is sent back to the host.
    virtual std::optional<std::vector<uint8_t>>
    terminalWindowRequest(Terminal &source, const WindowManipulationCommand &command);
    // The terminal changed its own size (the 80/132-column switch).
    virtual void terminalDidResize(Terminal &source);
    // Every reply and report for the host leaves the terminal here.
    virtual void terminalSendToHost(Terminal &source, std::span<const uint8_t> data);
    virtual void terminalDidScroll(Terminal &source, int64_t position);
    virtual void terminalDidLineFeed(Terminal &source);
    virtual void terminalDidSwitchBuffer(Terminal &source);
    virtual void terminalSynchronizedOutput(Terminal &source, bool active);
    virtual void terminalBell(Terminal &source);
    // Hosts call this themselves (after a selection change); the terminal never does.
    virtual void terminalNeedsFullRedraw(Terminal &source);
    // Whether OSC 6, OSC 7 and the rectangle checksum request are honoured.
    virtual bool terminalAllowsHostQueries(Terminal &source);
    virtual std::optional<CellPixelSize> terminalCellPixelSize(Terminal &source);
    virtual void terminalMouseModeDidChange(Terminal &source);
    virtual void terminalCursorStyleDidChange(Terminal &source, CursorStyle style);
    virtual void terminalCurrentDirectoryDidChange(Terminal &source);
    virtual void terminalCurrentDocumentDidChange(Terminal &source);
    // One palette entry changed, or the whole table when there is no index.
    virtual void terminalPaletteDidChange(Terminal &source, std::optional<int64_t> index);
    // The colour notices store the colour back into the terminal by default; the terminal's
    // re-entrancy guard keeps that store from notifying a second time.
    virtual void terminalForegroundColorDidChange(Terminal &source, Color color);
    virtual void terminalBackgroundColorDidChange(Terminal &source, Color color);
    virtual void terminalCursorColorDidChange(Terminal &source, std::optional<Color> color);
    // The colours OSC 10 and 11 report; by default the terminal's own.
    virtual TerminalColors terminalCurrentColors(Terminal &source);
    // OSC 1337 commands other than inline images: all of the command's data, unchanged.
    virtual void terminalExtendedCommand(Terminal &source, std::span<const uint8_t> payload);
    virtual void terminalCopyToClipboard(Terminal &source, std::span<const uint8_t> data);
    virtual std::optional<std::vector<uint8_t>> terminalReadClipboard(Terminal &source);
    virtual void terminalDesktopNotification(Terminal &source, const std::string &title,
                                             const std::string &body);
    virtual void terminalProgressDidChange(Terminal &source, const ProgressReport &report);
    // A decoded Sixel image: width x height pixels of RGBA.
    virtual void terminalBitmapImage(Terminal &source, std::span<const uint8_t> bytes, int64_t width,
                                     int64_t height);
    // An encoded image file from OSC 1337 with its size hints.
    virtual void terminalInlineImage(Terminal &source, std::span<const uint8_t> data, ImageSizeRequest width,
                                     ImageSizeRequest height, bool preserveAspectRatio);
};

} // namespace kestrix
