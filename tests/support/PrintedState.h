#pragma once

#include "Kestrix/core/Terminal.h"

#include <string>
#include <string_view>
#include <vector>

namespace calvero::testing {

// Everything printing leaves behind: every line of the buffer with its wrap flag and cells (clusters
// spelled out, as codes depend on the order of interning), the cursor and the last cell written.
inline std::vector<std::string> printedState(kestrix::Terminal &terminal)
{
    std::vector<std::string> state;
    kestrix::Buffer &b = *terminal.buffer;
    for (int64_t row = 0; row < b.lines().count(); ++row) {
        const kestrix::BufferLine &line = b.lines()[row];
        std::string text = line.isWrapped ? "wrapped|" : "|";
        for (int64_t col = 0; col < line.dataSize(); ++col) {
            const kestrix::CharData &cell = line[col];
            text += terminal.stringForCellCode(cell.code) + "/" + std::to_string(cell.width) + "/" +
                    cell.attribute.sgrParameters() + "|";
        }
        state.push_back(text);
    }
    const kestrix::Buffer::LastBufferStorage &last = b.lastBufferStorage;
    state.push_back("cursor " + std::to_string(b.x()) + "," + std::to_string(b.y()) + " last " +
                    std::to_string(last.y) + "," + std::to_string(last.x) + " " + std::to_string(last.cols) +
                    "x" + std::to_string(last.rows));
    return state;
}

struct WholeAndBytewise {
    std::vector<std::string> whole;
    std::vector<std::string> bytewise;
};

// Feeds `text`, after `setUp`, at once to one terminal and a byte at a time to another: split
// sequences take the scalar-at-a-time path, whole runs the one writing cells in place. The two
// states must match.
inline WholeAndBytewise printedWholeAndBytewise(const kestrix::TerminalOptions &options,
                                                std::string_view setUp, std::string_view text)
{
    kestrix::Terminal whole(nullptr, options);
    kestrix::Terminal bytewise(nullptr, options);
    whole.feedString(setUp);
    bytewise.feedString(setUp);
    whole.feedString(text);
    for (const char byte : text) {
        bytewise.feedString(std::string_view(&byte, 1));
    }
    return {printedState(whole), printedState(bytewise)};
}

} // namespace calvero::testing
