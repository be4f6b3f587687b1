// libFuzzer entry: text fed to a terminal at once must leave the same cells as the same text fed a
// byte at a time, whose split UTF-8 sequences take the scalar-at-a-time print path.

#include "Kestrix/core/Terminal.h"
#include "tests/support/PrintedState.h"

#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

using namespace kestrix;

using calvero::testing::printedWholeAndBytewise;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2) {
        return 0;
    }
    const uint8_t selector = data[0];
    const uint8_t modes = data[1];
    TerminalOptions options;
    options.cols = 2 + selector % 13;
    options.rows = 1 + (selector >> 4) % 4;
    options.scrollback = 3;
    options.regionalIndicatorWidth =
        modes & 1 ? RegionalIndicatorWidth::narrow : RegionalIndicatorWidth::wide;
    // No wraparound, insert mode, margins, a colour, a character set.
    const char *const setUps[] = {"\x1b[?7l", "\x1b[4h", "\x1b[?69h\x1b[2;5s", "\x1b[31m", "\x1b(0"};
    std::string setUp;
    for (size_t bit = 0; bit < std::size(setUps); ++bit) {
        if (modes & (2 << bit)) {
            setUp += setUps[bit];
        }
    }
    // Print data and a few controls only: no escape sequences.
    std::string text;
    for (size_t i = 2; i < size; ++i) {
        const uint8_t byte = data[i];
        if (byte == 0x1b || (byte < 0x20 && byte != '\r' && byte != '\n' && byte != '\b' && byte != '\t')) {
            continue;
        }
        text += static_cast<char>(byte);
    }
    const auto states = printedWholeAndBytewise(options, setUp, text);
    if (states.whole != states.bytewise) {
        std::abort();
    }
    return 0;
}
