#pragma once

#include "Kestrix/core/CursorStyle.h"
#include "Kestrix/core/RegionalIndicatorWidth.h"
#include "Kestrix/model/Ansi256PaletteStrategy.h"

#include <cstdint>
#include <string>

namespace kestrix {

// The configuration a Terminal is built from. An aggregate: `TerminalOptions{}` gives the defaults,
// and braces with all thirteen values in declaration order give any other configuration.
struct TerminalOptions {
    int64_t cols = 80;
    int64_t rows = 25;
    // Copied into the line-feed mode on every reset: LF then also returns the carriage.
    bool convertEol = false;
    std::string termName = "xterm-256color";
    CursorStyle cursorStyle = CursorStyle::blinkBlock;
    bool screenReaderMode = false;
    int64_t scrollback = 500;
    int64_t tabStopWidth = 8;
    // Whether the primary device attributes announce Sixel graphics.
    bool enableSixelReported = true;
    int64_t kittyImageCacheLimitBytes = 320 * 1024 * 1024;
    Ansi256PaletteStrategy ansi256PaletteStrategy = Ansi256PaletteStrategy::base16Lab;
    RegionalIndicatorWidth regionalIndicatorWidth = RegionalIndicatorWidth::wide;
    // Whether Kitty images may come from local files, temporary files and shared-memory objects.
    // Only a terminal that shows a local program may allow it: for a remote host those media would
    // read and delete files on this machine.
    bool allowsKittyLocalMedia = false;

    bool operator==(const TerminalOptions &) const = default;
};

} // namespace kestrix
