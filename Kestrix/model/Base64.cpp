#include "Kestrix/model/Base64.h"

#include <array>

namespace kestrix {

namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint8_t notInAlphabet = 0xFF;

constexpr std::array<uint8_t, 256> sextets = [] {
    std::array<uint8_t, 256> values{};
    values.fill(notInAlphabet);
    for (uint8_t i = 0; i < 64; ++i) {
        values[static_cast<uint8_t>(alphabet[i])] = i;
    }
    return values;
}();

} // namespace

std::string Base64::encode(std::span<const uint8_t> bytes)
{
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t group = uint32_t{bytes[i]} << 16 | uint32_t{bytes[i + 1]} << 8 | bytes[i + 2];
        text += alphabet[group >> 18 & 0x3F];
        text += alphabet[group >> 12 & 0x3F];
        text += alphabet[group >> 6 & 0x3F];
        text += alphabet[group & 0x3F];
    }
    const size_t rest = bytes.size() - i;
    if (rest > 0) {
        const uint32_t group = uint32_t{bytes[i]} << 16 | (rest == 2 ? uint32_t{bytes[i + 1]} << 8 : 0);
        text += alphabet[group >> 18 & 0x3F];
        text += alphabet[group >> 12 & 0x3F];
        text += rest == 2 ? alphabet[group >> 6 & 0x3F] : '=';
        text += '=';
    }
    return text;
}

namespace {

// Decodes the characters that `keep` accepts: their number is a multiple of four, and "=" appears
// only as one or two final padding characters.
template <typename Keep>
std::optional<std::vector<uint8_t>> decodeKept(std::span<const uint8_t> text, Keep keep)
{
    size_t kept = 0;
    size_t padding = 0;
    for (const uint8_t character : text) {
        if (!keep(character)) {
            continue;
        }
        if (character == '=') {
            ++padding;
        } else if (padding > 0 || sextets[character] == notInAlphabet) {
            return std::nullopt;
        }
        ++kept;
    }
    if (kept % 4 != 0 || padding > 2) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    bytes.reserve(kept / 4 * 3);
    uint32_t group = 0;
    size_t inGroup = 0;
    for (const uint8_t character : text) {
        if (!keep(character) || character == '=') {
            continue;
        }
        group = group << 6 | sextets[character];
        if (++inGroup == 4) {
            bytes.push_back(static_cast<uint8_t>(group >> 16));
            bytes.push_back(static_cast<uint8_t>(group >> 8));
            bytes.push_back(static_cast<uint8_t>(group));
            group = 0;
            inGroup = 0;
        }
    }
    // The last quartet held 2 or 3 characters before its padding.
    if (padding == 2) {
        bytes.push_back(static_cast<uint8_t>(group >> 4));
    } else if (padding == 1) {
        bytes.push_back(static_cast<uint8_t>(group >> 10));
        bytes.push_back(static_cast<uint8_t>(group >> 2));
    }
    return bytes;
}

} // namespace

std::optional<std::vector<uint8_t>> Base64::decode(std::span<const uint8_t> text)
{
    return decodeKept(text, [](uint8_t) { return true; });
}

std::optional<std::vector<uint8_t>> Base64::decodeIgnoringUnknown(std::span<const uint8_t> text)
{
    Base64Decoder decoder;
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3);
    if (!decoder.append(text, bytes) || !decoder.finish()) {
        return std::nullopt;
    }
    return bytes;
}

bool Base64Decoder::append(std::span<const uint8_t> piece, std::vector<uint8_t> &out)
{
    // Padding ends a piece: characters after it in the same piece are malformed.
    bool paddedInThisPiece = false;
    for (const uint8_t character : piece) {
        if (isMalformed_) {
            break;
        }
        if (character == '=') {
            if (inGroup_ >= 2) {
                // A quartet of 2 or 3 characters holds 1 or 2 bytes.
                out.push_back(static_cast<uint8_t>(group_ >> (inGroup_ == 2 ? 4 : 10)));
                if (inGroup_ == 3) {
                    out.push_back(static_cast<uint8_t>(group_ >> 2));
                }
                group_ = 0;
                inGroup_ = 0;
                isInPadding_ = true;
                paddedInThisPiece = true;
            } else if (inGroup_ != 0 || !isInPadding_) {
                isMalformed_ = true;
            }
            continue;
        }
        const uint8_t sextet = sextets[character];
        if (sextet == notInAlphabet) {
            continue;
        }
        if (paddedInThisPiece) {
            isMalformed_ = true;
            break;
        }
        isInPadding_ = false;
        group_ = group_ << 6 | sextet;
        if (++inGroup_ == 4) {
            out.push_back(static_cast<uint8_t>(group_ >> 16));
            out.push_back(static_cast<uint8_t>(group_ >> 8));
            out.push_back(static_cast<uint8_t>(group_));
            group_ = 0;
            inGroup_ = 0;
        }
    }
    return !isMalformed_;
}

bool Base64Decoder::finish() const
{
    return !isMalformed_ && inGroup_ == 0;
}

} // namespace kestrix
