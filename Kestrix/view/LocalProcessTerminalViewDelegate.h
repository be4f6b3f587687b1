#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrix {

class LocalProcessTerminalView;

// How a LocalProcessTerminalView tells the application about its program. Called on the main thread,
// always with the view as the first argument.
class LocalProcessTerminalViewDelegate {
public:
    virtual ~LocalProcessTerminalViewDelegate() = default;

    // The grid changed size while the program runs; its pseudo-terminal has the new size already.
    virtual void processViewDidResize(LocalProcessTerminalView &source, int64_t cols, int64_t rows) = 0;
    virtual void processViewTitleDidChange(LocalProcessTerminalView &source, const std::string &title) = 0;
    virtual void processViewDirectoryDidChange(LocalProcessTerminalView &source,
                                               const std::optional<std::string> &directory) = 0;
    // The status word as waitpid filled it, or nothing when it could not be collected.
    virtual void processViewProcessDidExit(LocalProcessTerminalView &source, std::optional<int32_t> exitCode) = 0;
};

} // namespace kestrix
