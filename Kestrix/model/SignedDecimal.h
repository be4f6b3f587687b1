#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrix {

// A decimal with an optional sign ("+" or "-") and digits only, within 64 bits; anything else,
// including an empty text, "+-1" or trailing bytes, is no number.
inline std::optional<int64_t> parseSignedDecimal(std::string_view text)
{
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') {
            return std::nullopt;
        }
    }
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

} // namespace kestrix
