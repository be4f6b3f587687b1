// Replays the committed fuzz seed corpus: real captures and UTF-8 edge cases must parse cleanly.

#include "fuzz/TerminalFuzzInput.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <vector>

TEST(TerminalFuzzCorpus, EverySeedRunsCleanly)
{
    const std::filesystem::path corpus =
        std::filesystem::path(CALVERO_TEST_DATA_DIR) / "fuzz-corpus" / "terminal";
    int seeds = 0;
    for (const auto &entry : std::filesystem::directory_iterator(corpus)) {
        std::ifstream file(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                         std::istreambuf_iterator<char>());
        // Every first byte picks another size and option set for the same stream.
        for (int selector : {0, 37, 0x47, 0xC9, 0xFF}) {
            std::vector<uint8_t> input = bytes;
            input.insert(input.begin(), static_cast<uint8_t>(selector));
            kestrix::fuzzing::feedFuzzInput(input);
        }
        ++seeds;
    }
    EXPECT_GE(seeds, 3);
}
