#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrix::utf8 {

constexpr uint32_t replacementCharacter = 0xFFFD;

// A value UTF-8 may carry: up to U+10FFFF, surrogates excepted.
constexpr bool isScalarValue(uint32_t value)
{
    return value < 0x110000 && !(value >= 0xD800 && value <= 0xDFFF);
}

// Writes the UTF-8 form of a scalar value (1 to 4 bytes) to `out`; returns its length.
inline size_t encode(uint32_t scalar, char *out)
{
    if (scalar < 0x80) {
        out[0] = static_cast<char>(scalar);
        return 1;
    }
    if (scalar < 0x800) {
        out[0] = static_cast<char>(0xC0 | scalar >> 6);
        out[1] = static_cast<char>(0x80 | (scalar & 0x3F));
        return 2;
    }
    if (scalar < 0x10000) {
        out[0] = static_cast<char>(0xE0 | scalar >> 12);
        out[1] = static_cast<char>(0x80 | (scalar >> 6 & 0x3F));
        out[2] = static_cast<char>(0x80 | (scalar & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | scalar >> 18);
    out[1] = static_cast<char>(0x80 | (scalar >> 12 & 0x3F));
    out[2] = static_cast<char>(0x80 | (scalar >> 6 & 0x3F));
    out[3] = static_cast<char>(0x80 | (scalar & 0x3F));
    return 4;
}

// Appends the UTF-8 form of a scalar value.
inline void append(std::string &text, uint32_t scalar)
{
    char bytes[4];
    text.append(bytes, encode(scalar, bytes));
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

// The length of the sequence each byte starts: 2 to 4 for the lead bytes 0xC2-0xF4, 1 for every
// other byte (ASCII, continuation bytes and the bytes that never appear in UTF-8).
inline constexpr std::array<uint8_t, 256> sequenceLengths = [] {
    std::array<uint8_t, 256> lengths{};
    for (int byte = 0; byte < 256; ++byte) {
        lengths[static_cast<size_t>(byte)] = byte >= 0xC2 && byte <= 0xDF   ? 2
                                             : byte >= 0xE0 && byte <= 0xEF ? 3
                                             : byte >= 0xF0 && byte <= 0xF4 ? 4
                                                                            : 1;
    }
    return lengths;
}();

inline bool isContinuation(uint8_t byte)
{
    return (byte & 0xC0) == 0x80;
}

struct Decoded {
    enum class Kind : uint8_t { scalar, invalid, incomplete };
    Kind kind;
    uint32_t scalar = 0;
    // Bytes taken: the sequence; for an invalid one its lead and the continuation bytes that belong
    // to it; for an incomplete one all that is there.
    size_t length = 0;
};

// decode, byte by byte with every check.
inline Decoded decodeChecked(const uint8_t *bytes, size_t available)
{
    const uint8_t lead = bytes[0];
    const size_t length = sequenceLengths[lead];
    uint32_t scalar = lead & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
    for (size_t k = 1; k < length; ++k) {
        if (k >= available) {
            return {Decoded::Kind::incomplete, 0, available};
        }
        // The second byte's range excludes overlong forms, surrogates and values above U+10FFFF.
        uint8_t low = 0x80;
        uint8_t high = 0xBF;
        if (k == 1) {
            low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
        }
        if (bytes[k] < low || bytes[k] > high) {
            size_t skip = 1;
            while (skip < length && skip < available && isContinuation(bytes[skip])) {
                ++skip;
            }
            return {Decoded::Kind::invalid, lead, skip};
        }
        scalar = scalar << 6 | (bytes[k] & 0x3F);
    }
    return {Decoded::Kind::scalar, scalar, length};
}

// Decodes the sequence whose lead byte (0xC2-0xF4) is bytes[0], with `available` bytes at hand.
// Overlong forms, surrogates and values above U+10FFFF are invalid; a byte that is not a
// continuation ends an invalid sequence and is read again as the start of the next one. The
// well-formed forms are tried first: a two-byte lead of 0xC2 or more is never overlong, three bytes
// must reach U+0800 and skip the surrogates, four must reach U+10000 and stay within U+10FFFF.
[[gnu::always_inline]] inline Decoded decode(const uint8_t *bytes, size_t available)
{
    const uint8_t lead = bytes[0];
    const size_t length = sequenceLengths[lead];
    if (length == 2 && available >= 2 && isContinuation(bytes[1])) {
        return {Decoded::Kind::scalar, static_cast<uint32_t>((lead & 0x1F) << 6 | (bytes[1] & 0x3F)), 2};
    }
    if (length == 3 && available >= 3 && isContinuation(bytes[1]) && isContinuation(bytes[2])) {
        const auto scalar =
            static_cast<uint32_t>((lead & 0x0F) << 12 | (bytes[1] & 0x3F) << 6 | (bytes[2] & 0x3F));
        if (scalar >= 0x800 && (scalar < 0xD800 || scalar > 0xDFFF)) {
            return {Decoded::Kind::scalar, scalar, 3};
        }
    }
    if (length == 4 && available >= 4 && isContinuation(bytes[1]) && isContinuation(bytes[2]) &&
        isContinuation(bytes[3])) {
        const auto scalar = static_cast<uint32_t>((lead & 0x07) << 18 | (bytes[1] & 0x3F) << 12 |
                                                  (bytes[2] & 0x3F) << 6 | (bytes[3] & 0x3F));
        if (scalar >= 0x10000 && scalar <= 0x10FFFF) {
            return {Decoded::Kind::scalar, scalar, 4};
        }
    }
    return decodeChecked(bytes, available);
}

// Whether text is well-formed UTF-8: no stray continuation bytes, no truncated sequences, no
// overlong forms, no surrogates and nothing above U+10FFFF.
inline bool isValid(std::string_view text)
{
    const auto *bytes = reinterpret_cast<const uint8_t *>(text.data());
    size_t i = 0;
    while (i < text.size()) {
        if (bytes[i] < 0x80) {
            ++i;
            continue;
        }
        if (sequenceLengths[bytes[i]] == 1) {
            return false;
        }
        const Decoded decoded = decode(bytes + i, text.size() - i);
        if (decoded.kind != Decoded::Kind::scalar) {
            return false;
        }
        i += decoded.length;
    }
    return true;
}

} // namespace kestrix::utf8
