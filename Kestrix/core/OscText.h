#pragma once

// Small readers of the text fields inside OSC and DCS strings.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kestrix::osctext {

inline std::string_view asText(std::span<const uint8_t> bytes)
{
    return {reinterpret_cast<const char *>(bytes.data()), bytes.size()};
}

inline bool isAscii(std::string_view text)
{
    for (char c : text) {
        if (static_cast<uint8_t>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// The pieces between separators; empty pieces are kept or dropped.
std::vector<std::string_view> split(std::string_view text, char separator, bool keepEmpty);

// A whole text read as a decimal integer with an optional "+" or "-": nothing for empty text or any
// other character; a value beyond 64 bits saturates.
std::optional<int64_t> parseDecimal(std::string_view text);

} // namespace kestrix::osctext
