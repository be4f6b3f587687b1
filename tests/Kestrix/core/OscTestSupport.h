#pragma once

#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrix::testing {

// A delegate that records what the operating-system commands tell or ask their host.
class OscDelegate : public TerminalDelegate {
public:
    struct InlineImage {
        std::vector<uint8_t> data;
        ImageSizeRequest width;
        ImageSizeRequest height;
        bool preserveAspectRatio = false;
    };

    void terminalSendToHost(Terminal &, std::span<const uint8_t> data) override
    {
        replies.emplace_back(data.begin(), data.end());
    }
    bool terminalAllowsHostQueries(Terminal &) override { return allowsHostQueries; }
    void terminalCurrentDirectoryDidChange(Terminal &) override { ++directoryNotices; }
    void terminalCurrentDocumentDidChange(Terminal &) override { ++documentNotices; }
    void terminalPaletteDidChange(Terminal &, std::optional<int64_t> index) override
    {
        paletteChanges.push_back(index);
    }
    void terminalForegroundColorDidChange(Terminal &source, Color color) override
    {
        foregroundNotices.push_back(color);
        TerminalDelegate::terminalForegroundColorDidChange(source, color);
    }
    void terminalBackgroundColorDidChange(Terminal &source, Color color) override
    {
        backgroundNotices.push_back(color);
        TerminalDelegate::terminalBackgroundColorDidChange(source, color);
    }
    void terminalCursorColorDidChange(Terminal &source, std::optional<Color> color) override
    {
        cursorNotices.push_back(color);
        TerminalDelegate::terminalCursorColorDidChange(source, color);
    }
    TerminalColors terminalCurrentColors(Terminal &source) override
    {
        return currentColors ? *currentColors : TerminalDelegate::terminalCurrentColors(source);
    }
    void terminalExtendedCommand(Terminal &, std::span<const uint8_t> payload) override
    {
        extendedCommands.emplace_back(payload.begin(), payload.end());
    }
    void terminalCopyToClipboard(Terminal &, std::span<const uint8_t> data) override
    {
        copied.emplace_back(data.begin(), data.end());
    }
    std::optional<std::vector<uint8_t>> terminalReadClipboard(Terminal &) override { return clipboard; }
    void terminalDesktopNotification(Terminal &, const std::string &title, const std::string &body) override
    {
        notifications.emplace_back(title, body);
    }
    void terminalProgressDidChange(Terminal &, const ProgressReport &report) override
    {
        progressReports.push_back(report);
    }
    void terminalInlineImage(Terminal &, std::span<const uint8_t> data, ImageSizeRequest width,
                             ImageSizeRequest height, bool preserveAspectRatio) override
    {
        images.push_back({{data.begin(), data.end()}, width, height, preserveAspectRatio});
    }

    bool allowsHostQueries = true;
    std::optional<TerminalColors> currentColors;
    std::optional<std::vector<uint8_t>> clipboard;

    std::vector<std::string> replies;
    int directoryNotices = 0;
    int documentNotices = 0;
    std::vector<std::optional<int64_t>> paletteChanges;
    std::vector<Color> foregroundNotices;
    std::vector<Color> backgroundNotices;
    std::vector<std::optional<Color>> cursorNotices;
    std::vector<std::string> extendedCommands;
    std::vector<std::string> copied;
    std::vector<std::pair<std::string, std::string>> notifications;
    std::vector<ProgressReport> progressReports;
    std::vector<InlineImage> images;
};

// The palette strategy that leaves the palette alone when the colours change, so palette notices
// come only from the commands under test.
inline TerminalOptions xtermPaletteOptions(int64_t cols = 80, int64_t rows = 25)
{
    TerminalOptions options;
    options.cols = cols;
    options.rows = rows;
    options.ansi256PaletteStrategy = Ansi256PaletteStrategy::xterm;
    return options;
}

// Turns an OSC body into the bytes a host sends, ended by BEL or ST.
inline std::string oscBel(const std::string &body)
{
    return "\x1b]" + body + "\x07";
}

inline std::string oscSt(const std::string &body)
{
    return "\x1b]" + body + "\x1b\\";
}

} // namespace kestrix::testing
