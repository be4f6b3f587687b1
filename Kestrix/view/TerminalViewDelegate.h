#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrix {

class TerminalView;

// How a TerminalView reaches its host: the component that owns the byte stream (a session's
// terminal coordinator, or a view that runs a local child). The view calls these on the main thread,
// always with itself as the first argument, and skips them while no delegate is set.
class TerminalViewDelegate {
public:
    virtual ~TerminalViewDelegate() = default;

    // The cell grid changed: a frame or font change that altered it, or the terminal resizing itself.
    virtual void terminalSizeChanged(TerminalView &source, int64_t cols, int64_t rows) = 0;
    virtual void titleChanged(TerminalView &source, const std::string &title) = 0;
    // The terminal's current directory as the host last announced it.
    virtual void currentDirectoryChanged(TerminalView &source,
                                         const std::optional<std::string> &directory) = 0;
    // User input and the terminal's own replies, for the host.
    virtual void sendToHost(TerminalView &source, std::span<const uint8_t> data) = 0;
    // The viewport moved; the position runs from 0 (top of the scrollback) to 1 (live screen).
    virtual void scrollPositionChanged(TerminalView &source, double position) = 0;
    virtual void openLink(TerminalView &source, const std::string &link,
                          const std::map<std::string, std::string> &parameters) = 0;
    virtual void ringBell(TerminalView &source) = 0;
    virtual void copyToClipboard(TerminalView &source, std::span<const uint8_t> content) = 0;
    virtual std::optional<std::vector<uint8_t>> readClipboard(TerminalView &source) = 0;
    // An OSC 1337 payload the terminal does not handle itself, unchanged.
    virtual void inlineImagePayload(TerminalView &source, std::span<const uint8_t> content) = 0;
    // Screen rows redrawn by a display update, while the view is asked to tell.
    virtual void rowsUpdated(TerminalView &source, int64_t startRow, int64_t endRow) = 0;
};

} // namespace kestrix
