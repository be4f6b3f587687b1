#include "Kestrix/view/KeyText.h"

#include <cstdint>

namespace kestrix {
namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

struct Decoded {
    char32_t scalar;
    std::size_t length;
};

// Decodes the sequence at the start of bytes; a malformed one takes one byte.
Decoded decodeOne(std::string_view bytes)
{
    const auto byteAt = [&](std::size_t i) { return static_cast<uint8_t>(bytes[i]); };
    const uint8_t lead = byteAt(0);
    if (lead < 0x80)
        return {lead, 1};

    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        return {replacementCharacter, 1};
    }
    if (bytes.size() < length)
        return {replacementCharacter, 1};
    for (std::size_t i = 1; i < length; ++i) {
        if ((byteAt(i) & 0xC0) != 0x80)
            return {replacementCharacter, 1};
        value = (value << 6) | (byteAt(i) & 0x3F);
    }
    if (value < minimum || !isUnicodeScalarValue(value))
        return {replacementCharacter, 1};
    return {value, length};
}

} // namespace

std::vector<char32_t> decodeUtf8Scalars(std::string_view utf8)
{
    std::vector<char32_t> scalars;
    scalars.reserve(utf8.size());
    while (!utf8.empty()) {
        const Decoded decoded = decodeOne(utf8);
        scalars.push_back(decoded.scalar);
        utf8.remove_prefix(decoded.length);
    }
    return scalars;
}

std::string encodeUtf8(char32_t scalar)
{
    if (!isUnicodeScalarValue(scalar))
        scalar = replacementCharacter;
    std::string out;
    if (scalar < 0x80) {
        out += static_cast<char>(scalar);
    } else if (scalar < 0x800) {
        out += static_cast<char>(0xC0 | (scalar >> 6));
        out += static_cast<char>(0x80 | (scalar & 0x3F));
    } else if (scalar < 0x10000) {
        out += static_cast<char>(0xE0 | (scalar >> 12));
        out += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (scalar & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (scalar >> 18));
        out += static_cast<char>(0x80 | ((scalar >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (scalar & 0x3F));
    }
    return out;
}

bool containsControlCharacter(std::string_view utf8)
{
    for (char32_t scalar : decodeUtf8Scalars(utf8)) {
        if (isControlCharacter(scalar))
            return true;
    }
    return false;
}

} // namespace kestrix
