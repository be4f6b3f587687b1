#pragma once

#include <cstdint>
#include <optional>

namespace kestrix {

// The kind of a key event; the raw value is the event-type subfield on the wire.
enum class KittyKeyboardEventType : int64_t {
    press = 1,
    repeatPress = 2,
    release = 3,
};

constexpr std::optional<KittyKeyboardEventType> kittyKeyboardEventType(int64_t rawValue)
{
    if (rawValue < 1 || rawValue > 3)
        return std::nullopt;
    return static_cast<KittyKeyboardEventType>(rawValue);
}

} // namespace kestrix
