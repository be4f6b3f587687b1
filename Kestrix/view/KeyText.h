#pragma once

#include "Kestrix/model/Utf8.h"

#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

// Small UTF-8 helpers for key and input-method text.

constexpr bool isUnicodeScalarValue(char32_t value)
{
    return utf8::isScalarValue(static_cast<uint32_t>(value));
}

// C0 controls, DEL and C1 controls.
constexpr bool isControlCharacter(char32_t scalar)
{
    return scalar < 0x20 || (scalar >= 0x7F && scalar <= 0x9F);
}

// Malformed sequences decode to U+FFFD, one per offending byte.
std::vector<char32_t> decodeUtf8Scalars(std::string_view text);

// A value that is not a Unicode scalar value encodes as U+FFFD.
std::string encodeUtf8(char32_t scalar);

bool containsControlCharacter(std::string_view text);

} // namespace kestrix
