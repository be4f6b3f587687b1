#pragma once

#include "TerminalTestSupport.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrix::testing {

// A delegate that also records what the reports and modes ask of their host, and answers the
// queries the way a test sets it up.
class ReportingDelegate : public RecordingDelegate {
public:
    std::optional<std::vector<uint8_t>>
    terminalWindowRequest(Terminal &, const WindowManipulationCommand &command) override
    {
        windowCommands.push_back(command);
        return windowAnswer;
    }
    std::optional<CellPixelSize> terminalCellPixelSize(Terminal &) override { return cellSize; }
    bool terminalAllowsHostQueries(Terminal &) override { return allowsHostQueries; }
    void terminalIconTitleDidChange(Terminal &, const std::string &title) override
    {
        iconTitles.push_back(title);
    }
    void terminalDidResize(Terminal &) override { ++resizes; }
    void terminalDidSwitchBuffer(Terminal &) override { ++bufferSwitches; }
    void terminalMouseModeDidChange(Terminal &) override { ++mouseModeChanges; }
    void terminalCursorStyleDidChange(Terminal &, CursorStyle style) override
    {
        cursorStyles.push_back(style);
    }

    std::vector<WindowManipulationCommand> windowCommands;
    std::optional<std::vector<uint8_t>> windowAnswer;
    std::optional<CellPixelSize> cellSize;
    bool allowsHostQueries = true;
    std::vector<std::string> iconTitles;
    int resizes = 0;
    int bufferSwitches = 0;
    int mouseModeChanges = 0;
    std::vector<CursorStyle> cursorStyles;
};

// A terminal with a reporting host; `reply` feeds host output and returns what went back.
struct TerminalWithHost {
    explicit TerminalWithHost(TerminalOptions options = optionsOfSize(10, 5), TaskQueue *queue = nullptr)
        : terminal(&delegate, std::move(options), queue)
    {
    }

    std::string reply(std::string_view hostOutput)
    {
        delegate.sent.clear();
        terminal.feedString(hostOutput);
        return delegate.sent;
    }

    ReportingDelegate delegate;
    Terminal terminal;
};

} // namespace kestrix::testing
