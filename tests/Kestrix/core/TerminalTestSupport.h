#pragma once

#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrix::testing {

// A delegate that records the notices a test looks at.
class RecordingDelegate : public TerminalDelegate {
public:
    void terminalTitleDidChange(Terminal &, const std::string &title) override { titles.push_back(title); }
    void terminalDidScroll(Terminal &, int64_t position) override { scrollPositions.push_back(position); }
    void terminalDidLineFeed(Terminal &) override { ++lineFeeds; }
    void terminalSynchronizedOutput(Terminal &, bool active) override
    {
        synchronizedOutput.push_back(active);
    }
    void terminalBell(Terminal &) override { ++bells; }
    void terminalPaletteDidChange(Terminal &, std::optional<int64_t> index) override
    {
        paletteChanges.push_back(index);
    }
    void terminalForegroundColorDidChange(Terminal &, Color) override { ++foregroundNotices; }
    void terminalBackgroundColorDidChange(Terminal &source, Color color) override
    {
        ++backgroundNotices;
        if (storeBackgroundBack) {
            source.setBackgroundColor(color);
        }
    }
    void terminalSendToHost(Terminal &, std::span<const uint8_t> data) override
    {
        sent.append(data.begin(), data.end());
        ++sendCalls;
    }
    void terminalRevealedCursor(Terminal &) override { ++revealed; }
    void terminalConcealedCursor(Terminal &) override { ++concealed; }

    std::vector<std::string> titles;
    std::vector<int64_t> scrollPositions;
    int lineFeeds = 0;
    std::vector<bool> synchronizedOutput;
    int bells = 0;
    std::vector<std::optional<int64_t>> paletteChanges;
    int foregroundNotices = 0;
    int backgroundNotices = 0;
    bool storeBackgroundBack = false;
    std::string sent;
    int sendCalls = 0;
    int revealed = 0;
    int concealed = 0;
};

inline TerminalOptions optionsOfSize(int64_t cols, int64_t rows, int64_t scrollback = 500)
{
    TerminalOptions options;
    options.cols = cols;
    options.rows = rows;
    options.scrollback = scrollback;
    return options;
}

// The text of one viewport row, trailing blanks trimmed, clusters spelled out.
inline std::string rowText(Terminal &terminal, int64_t row)
{
    const BufferLine *line = terminal.screenLine(row);
    if (line == nullptr) {
        return {};
    }
    return line->translateToString(true, 0, -1, true, [&terminal](const CharData &cell) {
        return cell.code == 0 ? std::string(" ") : terminal.stringForCellCode(cell.code);
    });
}

inline std::vector<std::string> screenText(Terminal &terminal)
{
    std::vector<std::string> text;
    for (int64_t row = 0; row < terminal.rows; ++row) {
        text.push_back(rowText(terminal, row));
    }
    return text;
}

} // namespace kestrix::testing
