#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrix {

// Standard Base64 (alphabet A-Z a-z 0-9 + /, "=" padding, no line breaks).
class Base64 {
public:
    static std::string encode(std::span<const uint8_t> bytes);
    // Strict: the length is a multiple of four, "=" appears only as one or two final padding
    // characters, and every other character is in the alphabet. Nothing for anything else.
    static std::optional<std::vector<uint8_t>> decode(std::span<const uint8_t> text);
    // The same rules over the text with every byte outside the alphabet and "=" skipped, so line
    // breaks and other stray bytes do not matter.
    static std::optional<std::vector<uint8_t>> decodeIgnoringUnknown(std::span<const uint8_t> text);
};

} // namespace kestrix
