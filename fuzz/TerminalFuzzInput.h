#pragma once

#include "Kestrix/core/TaskQueue.h"
#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace kestrix::fuzzing {

// Takes every notice a terminal sends, so the paths behind them run too.
class RecordingDelegate final : public TerminalDelegate {
public:
    void terminalSendToHost(Terminal &, std::span<const uint8_t> data) override { sentBytes += data.size(); }
    void terminalTitleDidChange(Terminal &, const std::string &title) override { titleBytes += title.size(); }
    void terminalBell(Terminal &) override { ++bells; }
    void terminalDidScroll(Terminal &, int64_t) override { ++scrolls; }

    size_t sentBytes = 0;
    size_t titleBytes = 0;
    size_t bells = 0;
    size_t scrolls = 0;
};

// Feeds arbitrary bytes to a small terminal: the first byte picks a few options, the rest is host
// output, fed in pieces whose sizes come from the input so read boundaries vary too.
inline void feedFuzzInput(std::span<const uint8_t> input)
{
    if (input.empty()) {
        return;
    }
    const uint8_t selector = input[0];
    input = input.subspan(1);

    TerminalOptions options;
    options.cols = 2 + selector % 40;
    options.rows = 1 + (selector >> 3) % 12;
    options.scrollback = selector & 0x40 ? 20 : 0;
    options.regionalIndicatorWidth =
        selector & 0x80 ? RegionalIndicatorWidth::narrow : RegionalIndicatorWidth::wide;

    RecordingDelegate delegate;
    ManualTaskQueue queue;
    Terminal terminal(&delegate, options, &queue);
    size_t offset = 0;
    while (offset < input.size()) {
        const size_t piece = std::min<size_t>(input.size() - offset, 1 + input[offset] % 97);
        terminal.feedBytes(input.subspan(offset, piece));
        offset += piece;
    }
    terminal.resizeScreen(3 + selector % 17, 2 + selector % 5);
    terminal.feedString("after resize \xe2\x9d\xa4\xef\xb8\x8f\r\n");
    queue.advance(std::chrono::seconds(2));
    terminal.pruneUnusedAtoms();
}

} // namespace kestrix::fuzzing
