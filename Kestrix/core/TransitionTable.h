#pragma once

#include "Kestrix/core/ParserState.h"

#include <array>
#include <cstdint>

namespace kestrix {

// The parser's state machine as one flat table. Index: state << 8 | byte, where every byte at or
// above 0xA0 is looked up as 0xA0. Entry: action << 4 | next state.
class TransitionTable {
public:
    static constexpr int size = 4095;
    static constexpr uint8_t highestDistinctByte = 0xA0;

    struct Transition {
        ParserAction action;
        ParserState next;
    };

    // The table of the VT500-style parser, built once.
    static const TransitionTable &vt500();

    Transition lookup(ParserState state, uint8_t byte) const
    {
        const uint8_t column = byte < highestDistinctByte ? byte : highestDistinctByte;
        const uint8_t entry = table_[static_cast<int>(state) << 8 | column];
        return {static_cast<ParserAction>(entry >> 4), static_cast<ParserState>(entry & 0x0F)};
    }

    const std::array<uint8_t, size> &table() const { return table_; }

    constexpr TransitionTable() = default;
    constexpr void add(uint8_t byte, ParserState state, ParserAction action, ParserState next)
    {
        table_[static_cast<int>(state) << 8 | byte] =
            static_cast<uint8_t>(static_cast<uint8_t>(action) << 4 | static_cast<uint8_t>(next));
    }
    constexpr void addRange(uint8_t first, uint8_t last, ParserState state, ParserAction action,
                            ParserState next)
    {
        for (int byte = first; byte <= last; ++byte) {
            add(static_cast<uint8_t>(byte), state, action, next);
        }
    }

private:
    std::array<uint8_t, size> table_{};
};

} // namespace kestrix
