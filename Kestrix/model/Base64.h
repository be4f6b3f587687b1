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

// Decodes Base64 text that arrives in pieces, with the rules of Base64::decodeIgnoringUnknown applied
// to each piece: bytes outside the alphabet are skipped, and padding may end each piece, since senders
// encode every piece on its own. A quartet may also run on into the next piece.
class Base64Decoder {
public:
    // Appends what the piece decodes to; false once the text is malformed, and from then on.
    bool append(std::span<const uint8_t> piece, std::vector<uint8_t> &out);
    // Ends the text: false when it is malformed or stops inside a quartet.
    bool finish() const;

private:
    uint32_t group_ = 0;
    int inGroup_ = 0;
    // The last character that counted was "=": more "=" may follow.
    bool isInPadding_ = false;
    bool isMalformed_ = false;
};

} // namespace kestrix
