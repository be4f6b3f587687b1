#pragma once

#include <cstdint>

namespace kestrix {

// A window operation or report a host asked for with CSI t. Only the fields named by a kind's
// factory carry meaning; the others stay 0.
struct WindowManipulationCommand {
    enum class Kind : uint8_t {
        moveWindowTo,
        resizeWindowTo,
        resizeTo,
        resizeTerminal,
        // resizeTo(lines:): a number of lines (CSI t with a parameter of 24 or more).
        resizeToLines,
        deiconifyWindow,
        iconifyWindow,
        bringToFront,
        sendToBack,
        refreshWindow,
        restoreMaximizedWindow,
        maximizeWindow,
        maximizeWindowVertically,
        maximizeWindowHorizontally,
        undoFullScreen,
        switchToFullScreen,
        toggleFullScreen,
        reportTerminalState,
        reportTerminalPosition,
        reportTextAreaPosition,
        reportTextAreaPixelDimension,
        reportTerminalWindowPixelDimension,
        reportSizeOfScreenInPixels,
        reportCellSizeInPixels,
        reportTextAreaCharacters,
        reportScreenSizeCharacters,
        reportIconLabel,
        reportWindowTitle,
    };

    Kind kind = Kind::refreshWindow;
    int64_t x = 0;
    int64_t y = 0;
    int64_t width = 0;
    int64_t height = 0;
    int64_t cols = 0;
    int64_t rows = 0;
    int64_t lines = 0;

    static constexpr WindowManipulationCommand moveWindowTo(int64_t x, int64_t y)
    {
        WindowManipulationCommand command{Kind::moveWindowTo};
        command.x = x;
        command.y = y;
        return command;
    }
    static constexpr WindowManipulationCommand resizeWindowTo(int64_t width, int64_t height)
    {
        WindowManipulationCommand command{Kind::resizeWindowTo};
        command.width = width;
        command.height = height;
        return command;
    }
    static constexpr WindowManipulationCommand resizeTo(int64_t cols, int64_t rows)
    {
        WindowManipulationCommand command{Kind::resizeTo};
        command.cols = cols;
        command.rows = rows;
        return command;
    }
    static constexpr WindowManipulationCommand resizeTerminal(int64_t cols, int64_t rows)
    {
        WindowManipulationCommand command{Kind::resizeTerminal};
        command.cols = cols;
        command.rows = rows;
        return command;
    }
    static constexpr WindowManipulationCommand resizeToLines(int64_t lines)
    {
        WindowManipulationCommand command{Kind::resizeToLines};
        command.lines = lines;
        return command;
    }
    // Any kind without arguments.
    static constexpr WindowManipulationCommand of(Kind kind) { return WindowManipulationCommand{kind}; }

    bool operator==(const WindowManipulationCommand &) const = default;
};

} // namespace kestrix
