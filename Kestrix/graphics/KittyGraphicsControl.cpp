#include "Kestrix/graphics/KittyGraphicsControl.h"
#include "Kestrix/model/SignedDecimal.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

namespace kestrix {

namespace {

// The value of each one-letter key, indexed by the key byte; empty when the key was not given.
// A later pair with the same key replaces an earlier one.
class ControlValues {
public:
    explicit ControlValues(std::span<const uint8_t> section)
    {
        while (!section.empty()) {
            const auto comma = std::find(section.begin(), section.end(), uint8_t{','});
            take(section.first(static_cast<size_t>(comma - section.begin())));
            section = comma == section.end() ? section.last(0) : section.subspan(comma - section.begin() + 1);
        }
    }

    const std::optional<std::string_view> &operator[](char key) const
    {
        return values_[static_cast<uint8_t>(key)];
    }

private:
    void take(std::span<const uint8_t> piece)
    {
        const auto equals = std::find(piece.begin(), piece.end(), uint8_t{'='});
        const auto keyLength = static_cast<size_t>(equals - piece.begin());
        // Keys of other lengths never name a field; pairs with bytes outside ASCII are dropped.
        if (equals == piece.end() || keyLength != 1 ||
            std::any_of(piece.begin(), piece.end(), [](uint8_t byte) { return byte >= 0x80; })) {
            return;
        }
        const std::span<const uint8_t> value = piece.subspan(keyLength + 1);
        values_[piece[0]] = std::string_view(reinterpret_cast<const char *>(value.data()), value.size());
    }

    std::array<std::optional<std::string_view>, 128> values_{};
};

// An unsigned decimal within 32 bits; "-0" and the like count as unreadable.
std::optional<uint32_t> parseUnsigned(std::string_view text)
{
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

class ControlReader {
public:
    explicit ControlReader(const ControlValues &values)
        : values_(values)
    {
    }

    void read(char key, int64_t &field) const
    {
        if (const auto &text = values_[key]) {
            field = parseSignedDecimal(*text).value_or(field);
        }
    }
    // 0 counts as no id.
    void read(char key, std::optional<uint32_t> &field) const
    {
        if (const auto &text = values_[key]) {
            const std::optional<uint32_t> value = parseUnsigned(*text);
            field = value == 0u ? std::nullopt : value;
        }
    }
    void read(char key, char &field) const
    {
        if (const auto &text = values_[key]; text && !text->empty()) {
            field = text->front();
        }
    }
    void read(char key, std::optional<char> &field) const
    {
        if (const auto &text = values_[key]; text && !text->empty()) {
            field = text->front();
        }
    }

private:
    const ControlValues &values_;
};

} // namespace

std::pair<KittyGraphicsControl, std::span<const uint8_t>>
parseKittyGraphicsControl(std::span<const uint8_t> bytes)
{
    const auto semicolon = std::find(bytes.begin(), bytes.end(), uint8_t{';'});
    const auto sectionLength = static_cast<size_t>(semicolon - bytes.begin());
    const std::span<const uint8_t> payload =
        semicolon == bytes.end() ? bytes.last(0) : bytes.subspan(sectionLength + 1);

    const ControlValues values(bytes.first(sectionLength));
    const ControlReader reader(values);
    KittyGraphicsControl control;
    reader.read('a', control.action);
    reader.read('q', control.suppressResponses);
    reader.read('f', control.format);
    reader.read('t', control.transmission);
    reader.read('s', control.width);
    reader.read('v', control.height);
    reader.read('x', control.cropX);
    reader.read('y', control.cropY);
    reader.read('w', control.cropWidth);
    reader.read('h', control.cropHeight);
    reader.read('S', control.dataSize);
    reader.read('O', control.dataOffset);
    reader.read('i', control.imageId);
    reader.read('I', control.imageNumber);
    reader.read('p', control.placementId);
    reader.read('P', control.parentImageId);
    reader.read('Q', control.parentPlacementId);
    reader.read('H', control.offsetH);
    reader.read('V', control.offsetV);
    reader.read('X', control.pixelOffsetX);
    reader.read('Y', control.pixelOffsetY);
    reader.read('U', control.unicodePlaceholder);
    reader.read('z', control.zIndex);
    reader.read('o', control.compression);
    reader.read('c', control.columns);
    reader.read('r', control.rows);
    reader.read('C', control.cursorPolicy);
    reader.read('d', control.deleteMode);
    // Only direct transmissions come in chunks.
    if (control.transmission == 'd') {
        reader.read('m', control.more);
    }
    return {control, payload};
}

} // namespace kestrix
