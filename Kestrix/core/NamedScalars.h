#pragma once

#include <cstdint>

namespace kestrix {

// Scalars and bytes the print path and the width and grapheme rules single out by name.

inline constexpr uint32_t zeroWidthJoiner = 0x200D;
inline constexpr uint32_t textPresentationSelector = 0xFE0E;
inline constexpr uint32_t emojiPresentationSelector = 0xFE0F;

constexpr bool isRegionalIndicator(uint32_t scalar)
{
    return scalar >= 0x1F1E6 && scalar <= 0x1F1FF;
}

constexpr bool isPresentationSelector(uint32_t scalar)
{
    return scalar == textPresentationSelector || scalar == emojiPresentationSelector;
}

constexpr bool isPrintableAscii(uint8_t byte)
{
    return byte >= 0x20 && byte <= 0x7E;
}

} // namespace kestrix
