#pragma once

#include "Kestrix/core/ParserState.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kestrix {

// What the parser hands its error handler for a malformed byte. The byte lists are views into the
// parser's buffers, valid for the duration of the call. A handler that sets `abort` stops the
// current parse call and leaves the parser as it was before that call.
struct ParsingState {
    int64_t position = 0;
    uint8_t code = 0;
    ParserState currentState = ParserState::ground;
    int64_t print = -1;
    int64_t dcs = -1;
    std::span<const uint8_t> osc;
    std::span<const uint8_t> apc;
    std::span<const uint8_t> collect;
    std::vector<int32_t> parameters;
    bool abort = false;
};

} // namespace kestrix
