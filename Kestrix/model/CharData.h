#pragma once

#include "Kestrix/model/Attribute.h"
#include "Kestrix/model/TinyAtom.h"

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>

namespace kestrix {

// One screen cell. Plain data with no owned storage: lines keep cells in one contiguous block and move
// them with memory moves.
//
// `code`: 0 for an empty cell, 1..0x10FFFF a Unicode scalar, above 0x400000 a grapheme cluster
// interned by the terminal. `width`: 1 normal, 2 the first column of a wide character, 0 its
// continuation cell.
struct CharData {
    int32_t code = 0;
    int8_t width = 1;
    TinyAtom payload;
    uint8_t unused = 0;
    Attribute attribute;

    // The fill of fresh lines and the answer of every out-of-range cell read.
    static const CharData nullCell;

    // Changes code and width in place; payload and attribute stay.
    void setValue(int32_t newCode, int8_t newWidth)
    {
        code = newCode;
        width = newWidth;
    }

    // The payload behind this cell's atom; nothing when it has none.
    std::optional<std::string> getPayload() const;

    // The UTF-8 text of one scalar code; a blank for a surrogate, a negative code or one above
    // 0x10FFFF. Code 0 gives the one-character string U+0000.
    static std::string stringFromScalar(int32_t code);

    std::string debugDescription() const;

    bool operator==(const CharData &) const = default;
};

inline constexpr CharData CharData::nullCell{};

static_assert(std::is_trivially_copyable_v<CharData>);
static_assert(std::is_trivially_destructible_v<CharData>);
static_assert(sizeof(CharData) <= 24);

// True for a code that names a Unicode scalar value.
constexpr bool isUnicodeScalar(int32_t code)
{
    return code >= 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
}

} // namespace kestrix
