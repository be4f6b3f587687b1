#pragma once

#include <cstdint>
#include <optional>

namespace kestrix {

// The states of the escape-sequence parser, in the DEC VT500 manner.
enum class ParserState : uint8_t {
    ground,
    escape,
    escapeIntermediate,
    csiEntry,
    csiParam,
    csiIntermediate,
    csiIgnore,
    sosPmApcString,
    oscString,
    apcString,
    dcsEntry,
    dcsParam,
    dcsIgnore,
    dcsIntermediate,
    dcsPassthrough,
};

inline constexpr int parserStateCount = 15;

constexpr std::optional<ParserState> parserStateFromRawValue(uint8_t rawValue)
{
    if (rawValue >= parserStateCount) {
        return std::nullopt;
    }
    return static_cast<ParserState>(rawValue);
}

// What the parser does with a byte before it moves to the next state. The string actions serve
// both OSC and APC strings; the state being entered tells which.
enum class ParserAction : uint8_t {
    ignore,
    error,
    print,
    execute,
    stringStart,
    stringPut,
    stringEnd,
    csiDispatch,
    param,
    collect,
    escDispatch,
    clear,
    dcsHook,
    dcsPut,
    dcsUnhook,
};

} // namespace kestrix
