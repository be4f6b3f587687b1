#include "Kestrix/view/KeyText.h"

namespace kestrix {

std::vector<char32_t> decodeUtf8Scalars(std::string_view text)
{
    const auto *bytes = reinterpret_cast<const uint8_t *>(text.data());
    std::vector<char32_t> scalars;
    scalars.reserve(text.size());
    size_t index = 0;
    while (index < text.size()) {
        const uint8_t lead = bytes[index];
        if (lead < 0x80) {
            scalars.push_back(lead);
            ++index;
            continue;
        }
        const bool leads = utf8::sequenceLengths[lead] > 1;
        const utf8::Decoded decoded =
            leads ? utf8::decode(bytes + index, text.size() - index) : utf8::Decoded{utf8::Decoded::Kind::invalid};
        if (decoded.kind == utf8::Decoded::Kind::scalar) {
            scalars.push_back(decoded.scalar);
            index += decoded.length;
        } else {
            // One replacement per byte: the bytes after a bad lead are read again on their own.
            scalars.push_back(utf8::replacementCharacter);
            ++index;
        }
    }
    return scalars;
}

std::string encodeUtf8(char32_t scalar)
{
    std::string text;
    utf8::append(text, isUnicodeScalarValue(scalar) ? static_cast<uint32_t>(scalar) : utf8::replacementCharacter);
    return text;
}

bool containsControlCharacter(std::string_view text)
{
    for (char32_t scalar : decodeUtf8Scalars(text)) {
        if (isControlCharacter(scalar))
            return true;
    }
    return false;
}

} // namespace kestrix
