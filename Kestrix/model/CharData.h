#pragma once

#include "Kestrix/model/Attribute.h"
#include "Kestrix/model/TinyAtom.h"
#include "Kestrix/model/Utf8.h"

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
//
// Code and width share one 32-bit word (cluster codes stay far below 2^23), so a cell takes 20
// bytes and a line of 200 cells fits its cells and its own overhead within 24 bytes per cell.
struct CharData {
    int32_t code : 24 = 0;
    int32_t width : 8 = 1;
    TinyAtom payload;
    Attribute attribute;

    // Cells once had a padding byte here; it reads as 0 for code written against that layout.
    static constexpr uint8_t unused = 0;

    // The fill of fresh lines and the answer of every out-of-range cell read.
    static const CharData nullCell;

    // Changes code and width in place; payload and attribute stay.
    void setValue(int32_t newCode, int8_t newWidth)
    {
        code = newCode;
        width = newWidth;
    }

    // The largest code a cell can hold.
    static constexpr int32_t maximumCode = (1 << 23) - 1;

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
static_assert(sizeof(CharData) == 20);

// True for a code that names a Unicode scalar value.
constexpr bool isUnicodeScalar(int32_t code)
{
    return code >= 0 && utf8::isScalarValue(static_cast<uint32_t>(code));
}

} // namespace kestrix
