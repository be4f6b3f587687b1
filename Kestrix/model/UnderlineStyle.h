#pragma once

#include <cstdint>
#include <optional>

namespace kestrix {

// The kind of underline of a cell. `double_` carries a trailing underscore only because `double` is a
// C++ keyword.
enum class UnderlineStyle : uint8_t {
    none = 0,
    single = 1,
    double_ = 2,
    curly = 3,
    dotted = 4,
    dashed = 5,
};

// The kind stored in a byte; nothing for a byte above the last kind.
constexpr std::optional<UnderlineStyle> underlineStyleFromRawValue(uint8_t rawValue)
{
    if (rawValue > static_cast<uint8_t>(UnderlineStyle::dashed)) {
        return std::nullopt;
    }
    return static_cast<UnderlineStyle>(rawValue);
}

} // namespace kestrix
