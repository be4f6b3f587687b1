#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrix::utf8 {

// Appends the UTF-8 form of a scalar value.
inline void append(std::string &text, uint32_t scalar)
{
    if (scalar < 0x80) {
        text += static_cast<char>(scalar);
    } else if (scalar < 0x800) {
        text += static_cast<char>(0xC0 | scalar >> 6);
        text += static_cast<char>(0x80 | (scalar & 0x3F));
    } else if (scalar < 0x10000) {
        text += static_cast<char>(0xE0 | scalar >> 12);
        text += static_cast<char>(0x80 | (scalar >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (scalar & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | scalar >> 18);
        text += static_cast<char>(0x80 | (scalar >> 12 & 0x3F));
        text += static_cast<char>(0x80 | (scalar >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (scalar & 0x3F));
    }
}

// The scalar starting at `index` of text that is known to be valid UTF-8; advances `index`.
inline uint32_t next(std::string_view text, size_t &index)
{
    const auto lead = static_cast<uint8_t>(text[index++]);
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    uint32_t scalar = extra == 3 ? lead & 0x07 : extra == 2 ? lead & 0x0F : extra == 1 ? lead & 0x1F : lead;
    while (extra-- > 0 && index < text.size()) {
        scalar = scalar << 6 | (static_cast<uint8_t>(text[index++]) & 0x3F);
    }
    return scalar;
}

inline size_t scalarCount(std::string_view text)
{
    size_t count = 0;
    for (char c : text) {
        count += (static_cast<uint8_t>(c) & 0xC0) != 0x80;
    }
    return count;
}

// The last scalar of valid UTF-8 text; 0 for empty text.
inline uint32_t lastScalar(std::string_view text)
{
    if (text.empty()) {
        return 0;
    }
    size_t start = text.size() - 1;
    while (start > 0 && (static_cast<uint8_t>(text[start]) & 0xC0) == 0x80) {
        --start;
    }
    return next(text, start);
}

// Whether text is well-formed UTF-8: no stray continuation bytes, no truncated sequences, no
// overlong forms, no surrogates and nothing above U+10FFFF.
inline bool isValid(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<uint8_t>(text[i]);
        int length = 0;
        uint32_t scalar = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            scalar = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            scalar = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            scalar = lead & 0x07;
        } else {
            return false;
        }
        if (text.size() - i < static_cast<size_t>(length)) {
            return false;
        }
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<uint8_t>(text[i + static_cast<size_t>(k)]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            scalar = scalar << 6 | (next & 0x3F);
        }
        const bool overlong = (length == 3 && scalar < 0x800) || (length == 4 && scalar < 0x10000);
        if (overlong || scalar > 0x10FFFF || (scalar >= 0xD800 && scalar <= 0xDFFF)) {
            return false;
        }
        i += static_cast<size_t>(length);
    }
    return true;
}

} // namespace kestrix::utf8
