#include "Kestrix/model/CharData.h"

namespace kestrix {
namespace {

std::string utf8FromScalar(uint32_t scalar)
{
    std::string text;
    if (scalar < 0x80) {
        text += static_cast<char>(scalar);
    } else if (scalar < 0x800) {
        text += static_cast<char>(0xC0 | (scalar >> 6));
        text += static_cast<char>(0x80 | (scalar & 0x3F));
    } else if (scalar < 0x10000) {
        text += static_cast<char>(0xE0 | (scalar >> 12));
        text += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (scalar & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (scalar >> 18));
        text += static_cast<char>(0x80 | ((scalar >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (scalar & 0x3F));
    }
    return text;
}

} // namespace

std::optional<std::string> CharData::getPayload() const
{
    return TinyAtom::lookup(payload.code);
}

std::string CharData::stringFromScalar(int32_t code)
{
    if (!isUnicodeScalar(code)) {
        return " ";
    }
    return utf8FromScalar(static_cast<uint32_t>(code));
}

std::string CharData::debugDescription() const
{
    return "CharData: " + std::to_string(code) + " " +
           (isUnicodeScalar(code) ? utf8FromScalar(static_cast<uint32_t>(code)) : std::string("?"));
}

} // namespace kestrix
