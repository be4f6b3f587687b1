#include "Kestrix/model/CharData.h"

namespace kestrix {

std::optional<std::string> CharData::getPayload() const
{
    return TinyAtom::lookup(payload.code);
}

std::string CharData::stringFromScalar(int32_t code)
{
    if (!isUnicodeScalar(code)) {
        return " ";
    }
    std::string text;
    utf8::append(text, static_cast<uint32_t>(code));
    return text;
}

std::string CharData::debugDescription() const
{
    return "CharData: " + std::to_string(code) + " " +
           (isUnicodeScalar(code) ? stringFromScalar(code) : std::string("?"));
}

} // namespace kestrix
